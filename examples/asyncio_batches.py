"""Signing from asyncio without stalling the event loop for a whole batch.

Every call holds the interpreter lock from start to end (the pool's workers
sign in parallel, but the calling thread keeps the lock), so
``await asyncio.to_thread(signer.sign_all, orders)`` still stops the event
loop until the whole batch is signed. Sign large batches in chunks: each
chunk is one short stall, and the loop runs between chunks. Each chunk
reserves its own range of nonces, so nonces stay unique across chunks.

    PYTHONPATH=. python examples/asyncio_batches.py
"""

import asyncio
import json
from typing import Any

import vorn_keychain as vk

CHUNK = 100  # one short stall of the event loop each (README, "asyncio and threads")


async def sign_in_chunks(signer: vk.Signer, orders: list[dict[str, Any]]) -> list[Any]:
    signed: list[Any] = []
    for i in range(0, len(orders), CHUNK):
        signed += await asyncio.to_thread(signer.sign_all, orders[i:i + CHUNK])
    return signed


async def main() -> dict[str, Any]:
    signer = vk.Signer(vk.Keypair(), "devnet")
    orders = [{"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 40000.0 + i, "size": 0.01}
              for i in range(1000)]
    ticks = 0

    async def heartbeat() -> None:  # other work of the event loop
        nonlocal ticks
        while True:
            await asyncio.sleep(0)
            ticks += 1

    beat = asyncio.create_task(heartbeat())
    signed = await sign_in_chunks(signer, orders)
    beat.cancel()
    return {"account": signer.pubkey, "signed": signed, "loop_ticks_meanwhile": ticks}


print(json.dumps(asyncio.run(main())))
