"""Shared helpers for the binding tests (``from conftest import ...``): fixed
keys, base58, signature checks, child interpreters."""

import json
import os
import re
import subprocess
import sys

import nacl.exceptions
import nacl.signing
import pytest

from vorn_keychain import _native as vk

# Memory measurements mean nothing under AddressSanitizer (its quarantine
# keeps freed memory, its shadow memory defeats address-space limits).
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")
skip_under_asan = pytest.mark.skipif(UNDER_ASAN, reason="memory is not measurable under AddressSanitizer")

SEED = bytes(range(1, 33))
LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
B58_ALPHABET = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"


def b58encode(data: bytes) -> str:
    n = int.from_bytes(data, "big")
    out = ""
    while n:
        n, r = divmod(n, 58)
        out = B58_ALPHABET[r] + out
    return "1" * (len(data) - len(data.lstrip(b"\0"))) + out


def b58decode(text: str) -> bytes:
    n = 0
    for ch in text:
        n = n * 58 + B58_ALPHABET.index(ch)
    body = n.to_bytes((n.bit_length() + 7) // 8, "big") if n else b""
    return b"\0" * (len(text) - len(text.lstrip("1"))) + body


OID = b58encode(b"\xab" * 32)
OTHER = b58encode(b"\x22" * 32)


def verifies(pubkey_b58: str, msg: bytes, signature_b58: str) -> bool:
    try:
        nacl.signing.VerifyKey(b58decode(pubkey_b58)).verify(msg, b58decode(signature_b58))
        return True
    except nacl.exceptions.BadSignatureError:
        return False


HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(vk.__file__)))  # the tree whose module is under test


def run_child(args, timeout=600, **env):
    """Runs the interpreter with args, importing the module under test; returns the JSON of its last line."""
    proc = subprocess.run([sys.executable, "-X", "faulthandler", *args], capture_output=True, text=True,
                          timeout=timeout, env=dict(os.environ, PYTHONPATH=os.pathsep.join([ROOT, HERE]), **env))
    assert proc.returncode == 0, f"exit {proc.returncode}\n{proc.stdout[-3000:]}\n{proc.stderr[-3000:]}"
    return json.loads(proc.stdout.splitlines()[-1])


def raises(exc, text):
    """pytest.raises for an exact message."""
    return pytest.raises(exc, match="^" + re.escape(text) + "$")


@pytest.fixture
def keypair():
    return vk.Keypair.from_bytes(SEED)


@pytest.fixture
def signer(keypair):
    return vk.Signer(keypair, "mainnet")
