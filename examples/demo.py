"""A short tour: sign an order locally, then prepare one for an external
wallet, let the wallet sign it, and finalise it."""

import json

from vorn_keychain import _native as vk

keypair = vk.Keypair()
signer = vk.Signer(keypair, "devnet")
print("account:", keypair.pubkey)

order = {
    "type": "order",
    "symbol": "BTC-USD",
    "is_buy": True,
    "price": 50000.0,
    "size": 0.25,
    "order_type": {"type": "limit", "tif": "GTC"},
}

signed = signer.sign(order)
print("signed order:")
print(json.dumps(signed, indent=2))

# The external-wallet road: no key in the process until the wallet signs.
prepared = vk.py_prepare_order(order, "devnet", keypair.pubkey)
print("prepared message: %d bytes, nonce %d" % (len(prepared["message_bytes"]), prepared["nonce"]))
wallet_signature = signer.sign_bytes(prepared["message_bytes"])  # stands in for the wallet
finalised = vk.py_finalize_transaction(prepared, wallet_signature)
print("finalised from the wallet's signature:")
print(json.dumps(finalised, indent=2))
