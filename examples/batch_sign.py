"""Sign many orders at once.

- ``sign_all``: every order becomes its own transaction, with nonces
  base, base + 1, ...; from 10 orders on they are signed in parallel on a
  shared worker pool.
- ``sign_group``: several orders in ONE atomic transaction (here a bracket:
  entry, stop loss and take profit).

    PYTHONPATH=. python examples/batch_sign.py
"""

import json
from typing import Any

import vorn_keychain as vk

signer = vk.Signer(vk.Keypair(), "devnet")

# A ladder of 12 bids, one transaction each.
ladder: list[dict[str, Any]] = [
    {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 49000.0 + 50 * i, "size": 0.01}
    for i in range(12)
]
ladder_txs = signer.sign_all(ladder)

# Entry, stop loss and take profit signed together: all or nothing.
bracket = signer.sign_group(
    [
        {"type": "order", "symbol": "ETH-USD", "is_buy": True, "price": 3000.0, "size": 1.0},
        {"type": "stop", "symbol": "ETH-USD", "is_buy": False, "size": 1.0, "trigger_price": 2900.0},
        {"type": "take_profit", "symbol": "ETH-USD", "is_buy": False, "size": 1.0, "trigger_price": 3300.0,
         "limit_price": 3295.0},
    ]
)

print(json.dumps({"account": signer.pubkey, "ladder": ladder_txs, "bracket": bracket}, indent=2))
