"""How long a batch holds the interpreter lock, as an asyncio program sees it.

    PYTHONPATH=. .venv/bin/python bench/lock_hold.py [--rounds N]

A call holds the interpreter lock from start to end, so a batch run with
``asyncio.to_thread`` still stalls the event loop for the whole batch. For
each batch size this prints the call's duration (median and range of the
rounds: the time the lock is held) and the longest gap an event loop saw
between ticks of a 1 ms timer while the batch ran in a thread, whole and in
chunks of 100 (each chunk its own to_thread call).
"""

import argparse
import asyncio
import os
import statistics
import time

from vorn_keychain import _native as vk

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000.0, "size": 0.25}


def held_ms(signer, orders, rounds):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        signer.sign_all(orders)
        times.append((time.perf_counter() - start) * 1e3)
    return times


async def longest_stall_ms(signer, orders, chunk):
    """The longest gap between ticks of a 1 ms timer while the batch runs."""
    stall, done = 0.0, False

    async def ticker():
        nonlocal stall
        last = time.perf_counter()
        while not done:
            await asyncio.sleep(0.001)
            now = time.perf_counter()
            stall = max(stall, now - last)
            last = now

    tick = asyncio.create_task(ticker())
    await asyncio.sleep(0.01)
    for i in range(0, len(orders), chunk):
        await asyncio.to_thread(signer.sign_all, orders[i:i + chunk])
    done = True
    await tick
    return stall * 1e3


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=9)
    args = parser.parse_args()
    signer = vk.Signer(vk.Keypair(), "mainnet")
    print(f"{os.cpu_count()} logical processors, load average {os.getloadavg()[0]:.1f} (a shared machine inflates these)")
    print(f"{'batch':>7} {'lock held, ms (median, min-max)':>34} {'loop stall, whole':>18} {'in chunks of 100':>17}")
    for n in (1000, 10000):
        orders = [dict(LIMIT, price=100000.0 + i) for i in range(n)]
        signer.sign_all(orders)  # warm the pool
        held = held_ms(signer, orders, args.rounds)
        whole = max(asyncio.run(longest_stall_ms(signer, orders, n)) for _ in range(3))
        chunked = max(asyncio.run(longest_stall_ms(signer, orders, 100)) for _ in range(3))
        cell = f"{statistics.median(held):.1f} ({min(held):.1f}-{max(held):.1f})"
        print(f"{n:>7} {cell:>34} {whole:>15.1f} ms {chunked:>14.1f} ms")


if __name__ == "__main__":
    main()
