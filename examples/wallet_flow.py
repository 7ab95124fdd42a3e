"""The external-wallet flow: the process holds no trading key.

1. ``py_prepare_order`` builds the exact message the exchange verifies.
2. ``prepare_wallet_message`` wraps it for the wallet's signing mode:
   "raw" (the bytes themselves), "base58" (their base58 text) or "offchain"
   (a Solana off-chain message whose body is a human-readable clear-sign text).
3. The wallet signs ``wallet["message_bytes"]`` elsewhere.
4. ``finalize_wallet_message`` checks the signature and returns the signed
   transaction, the same dict that ``Signer.sign`` returns.

The wallet is simulated here by a local Signer's ``sign_bytes``.

    PYTHONPATH=. python examples/wallet_flow.py
"""

from __future__ import annotations

import json
from typing import Any

import vorn_keychain as vk

wallet_key = vk.Signer(vk.Keypair(), "mainnet")  # stands in for a hardware or browser wallet
account = wallet_key.pubkey

# The annotation is only for type checkers: OrderDict exists in the stubs.
order: vk.OrderDict = {
    "type": "order",
    "symbol": "SOL-USD",
    "is_buy": True,
    "price": 150.25,
    "size": 4.0,
    "order_type": {"type": "limit", "tif": "ALO"},
}
prepared = vk.py_prepare_order(order, "mainnet", account)

modes: dict[str, Any] = {}
for mode in ("raw", "base58", "offchain"):
    wallet = vk.prepare_wallet_message(prepared, mode)
    signature = wallet_key.sign_bytes(wallet["message_bytes"])  # done by the wallet
    signed = vk.finalize_wallet_message(wallet, signature)
    modes[mode] = {
        "wallet_message_hex": wallet["message_bytes"].hex(),
        "clear_sign_message": wallet["clear_sign_message"],
        "signed": signed,
    }

# Without a wallet mode: sign the prepared bytes themselves and finalise.
direct = vk.py_finalize_transaction(prepared, wallet_key.sign_bytes(prepared["message_bytes"]))

print(json.dumps({
    "account": account,
    "nonce": prepared["nonce"],
    "message_hex": prepared["message_hex"],
    "modes": modes,
    "direct": direct,
}, indent=2))
