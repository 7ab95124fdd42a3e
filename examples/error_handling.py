"""What the module raises, and how to tell the cases apart.

- ValueError: the input is well typed but wrong (a missing key, a bad enum
  text, a bad key or signature, a rule of the exchange). The message says why.
- TypeError: a value of the wrong Python type.
- OverflowError: an integer out of range (a negative nonce, a fee above 255).
- RuntimeError: a Signer used again from inside one of its own calls.

No exception class of its own is defined; every message is fixed text.

    PYTHONPATH=. python examples/error_handling.py
"""

import json
from collections.abc import Callable
from typing import Any

import vorn_keychain as vk

signer = vk.Signer(vk.Keypair(), "devnet")


class ReentrantAmount:
    """A number whose conversion calls back into the signer that is reading it."""

    def __float__(self) -> float:
        signer.sign_faucet()
        return 1.0


def missing_price() -> Any:
    return signer.sign({"type": "order", "symbol": "BTC-USD", "is_buy": True, "size": 1.0})


def bad_tif() -> Any:
    return signer.sign({"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1.0, "size": 1.0,
                        "order_type": {"type": "limit", "tif": "FOK"}})


def bad_domain() -> Any:
    return vk.Signer(vk.Keypair(), "Mainnet")  # type: ignore[arg-type]  # domains are lower case


def fee_out_of_rules() -> Any:
    return signer.sign_approve_builder_code(signer.pubkey, 16)


def wrong_signature() -> Any:
    prepared = vk.py_prepare_faucet_request("devnet", signer.pubkey)
    return vk.py_finalize_transaction(prepared, signer.sign_bytes(b"some other message"))


def wrong_type() -> Any:
    return signer.sign({"type": "order", "symbol": "BTC-USD", "is_buy": "yes", "price": 1.0, "size": 1.0})


def negative_nonce() -> Any:
    return signer.sign_faucet(nonce=-1)


def reentrant_use() -> Any:
    return signer.sign_transfer(signer.pubkey, signer.pubkey, ReentrantAmount())  # type: ignore[arg-type]


CASES: list[Callable[[], Any]] = [missing_price, bad_tif, bad_domain, fee_out_of_rules, wrong_signature,
                                  wrong_type, negative_nonce, reentrant_use]

report = []
for case in CASES:
    try:
        case()
        report.append({"case": case.__name__, "exception": None, "message": None})
    except (ValueError, TypeError, OverflowError, RuntimeError) as exc:
        report.append({"case": case.__name__, "exception": type(exc).__name__, "message": str(exc)})

print(json.dumps(report, indent=2))
