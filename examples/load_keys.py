"""Loading a signing key, and the trap of loading a public key.

- A base58 secret (a wallet's "export private key"): ``Keypair.from_base58``.
  It takes the base58 of the 64-byte secret (seed and public key) or of the
  32-byte seed alone.
- A Solana CLI key file (``id.json``, a JSON list of 64 numbers):
  ``Keypair.from_bytes(bytes(json.load(f)))``. Handing the file's text to
  ``from_base58`` fails with "invalid base58: provided string contained
  invalid character '[' at byte 0".
- The trap: a public key is 32 bytes of base58 too, so
  ``Keypair.from_base58(pubkey)`` succeeds and silently gives another key
  (the 32 bytes are taken as a seed). Check the loaded key's ``pubkey``
  against the address you expect.

    PYTHONPATH=. python examples/load_keys.py
"""

import json
import os
import tempfile

import vorn_keychain as vk

wallet = vk.Keypair()  # stands in for the key you already have
expected_address = wallet.pubkey


def load_checked(secret_b58: str, address: str) -> vk.Keypair:
    """The key for this secret, refused unless it signs for `address`."""
    keypair = vk.Keypair.from_base58(secret_b58)
    if keypair.pubkey != address:
        raise ValueError(f"this secret is the key of {keypair.pubkey}, not of {address}")
    return keypair


from_secret = load_checked(wallet.to_base58(), expected_address)

with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "id.json")
    with open(path, "w") as f:
        json.dump(list(wallet.to_bytes()), f)  # what `solana-keygen new` writes
    with open(path) as f:
        from_id_json = vk.Keypair.from_bytes(bytes(json.load(f)))

try:
    load_checked(expected_address, expected_address)  # the public key given as the secret
    trap = "not caught"
except ValueError as exc:
    trap = str(exc)

print(json.dumps({
    "expected_address": expected_address,
    "from_secret": from_secret.pubkey,
    "from_id_json": from_id_json.pubkey,
    "public_key_as_secret": trap,
}, indent=2))
