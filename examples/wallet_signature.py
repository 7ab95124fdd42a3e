"""An external wallet's 64-byte signature, finalised.

Wallets (and signing libraries) return the Ed25519 signature as 64 raw
bytes; the finalising functions (``finalize_wallet_message``,
``py_finalize_transaction``) take its base58 text. Base58 (Bitcoin
alphabet, as Solana uses) is a few lines of Python, shown here. PyNaCl
stands in for the wallet.

    PYTHONPATH=. python examples/wallet_signature.py
"""

import json

import nacl.signing

import vorn_keychain as vk

ALPHABET = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"


def b58encode(raw: bytes) -> str:
    """Base58 text of bytes: the number in base 58, one '1' per leading zero byte."""
    n, text = int.from_bytes(raw, "big"), ""
    while n:
        n, digit = divmod(n, 58)
        text = ALPHABET[digit] + text
    return "1" * (len(raw) - len(raw.lstrip(b"\0"))) + text


wallet_key = vk.Keypair()  # the wallet holds this key; only its address is shared
account = wallet_key.pubkey

order = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 50000.0, "size": 0.25}
prepared = vk.py_prepare_order(order, "devnet", account)
wallet = vk.prepare_wallet_message(prepared, "raw")

# In the wallet: 64 raw bytes over wallet["message_bytes"].
signature = nacl.signing.SigningKey(wallet_key.secret_key()).sign(wallet["message_bytes"]).signature
assert len(signature) == 64

signed = vk.finalize_wallet_message(wallet, b58encode(signature))
print(json.dumps({"account": account, "message_hex": wallet["message_bytes"].hex(), "signed": signed}, indent=2))
