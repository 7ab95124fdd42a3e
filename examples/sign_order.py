"""Sign single orders with a local key: a limit order, a market order with a
slippage bound, and a cancel of the limit order by its order id.

    PYTHONPATH=. python examples/sign_order.py

Prints one JSON document with the account and the three signed transactions,
each ready to post to the exchange's API.
"""

import json

import vorn_keychain as vk

keypair = vk.Keypair()  # a new random key; Keypair.from_base58(secret) loads a stored one
signer = vk.Signer(keypair, "devnet")

limit = signer.sign(
    {
        "type": "order",
        "symbol": "BTC-USD",
        "is_buy": True,
        "price": 50000.0,
        "size": 0.25,
        "order_type": {"type": "limit", "tif": "GTC"},
    }
)

market = signer.sign(
    {
        "type": "order",
        "symbol": "ETH-USD",
        "is_buy": False,
        "price": 0.0,  # a market order carries no price
        "size": 1.5,
        "slippage": 0.01,
        "order_type": {"type": "market"},
    }
)

# A single signed order reports its exchange order id; cancel by that id.
cancel = signer.sign({"type": "cancel", "symbol": "BTC-USD", "order_id": limit["order_id"]})

print(json.dumps({"account": signer.pubkey, "limit": limit, "market": market, "cancel": cancel}, indent=2))
