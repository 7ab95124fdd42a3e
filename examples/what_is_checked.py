"""What the module checks before it signs, and what it leaves to the exchange.

Checked (refused with an exception): the Python types of the values (a bool
must be a bool, a number a number: the text "50000.0" is refused), the
required keys, the names of item types, order types and times in force, the
builder-code fee (1 to 15), and the exchange's rules for signed orders (no
resting trigger orders, slippage only on market orders, an on-fill trigger
must be a market or limit order, no empty group).

Not checked (signed as given; the exchange judges them): the numbers
themselves (NaN, infinite, negative and zero prices and sizes; a NaN or
infinite number is written as null in the action JSON), and keys the module
does not know, which are ignored: ``"reduceOnly": True`` is not
``"reduce_only": True`` and signs a plain order.

    PYTHONPATH=. python examples/what_is_checked.py
"""

import json

import vorn_keychain as vk

signer = vk.Signer(vk.Keypair(), "devnet")
order = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 50000.0, "size": 0.25}

nan_price = signer.sign(dict(order, price=float("nan")), nonce=1)
negative_size = signer.sign(dict(order, size=-1.0), nonce=1)
misspelt = signer.sign(dict(order, reduceOnly=True), nonce=1)
plain = signer.sign(order, nonce=1)
reduce_only = signer.sign(dict(order, reduce_only=True), nonce=1)

try:
    signer.sign_all([order, dict(order, price="50000.0")])
    refused = None
except TypeError as exc:
    refused = {"message": str(exc), "notes": exc.__notes__}  # the note names the bad element

print(json.dumps({
    "nan_price_actions": nan_price["actions"],
    "negative_size_actions": negative_size["actions"],
    "misspelt_key_ignored": misspelt["signature"] == plain["signature"],
    "reduce_only_differs": reduce_only["signature"] != plain["signature"],
    "text_price_refused": refused,
}, indent=2))
