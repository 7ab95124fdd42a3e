"""Shared helpers for the binding tests (``from conftest import ...``): fixed
keys, base58, signature checks, child interpreters."""

import contextlib
import json
import os
import subprocess
import sys

import nacl.exceptions
import nacl.signing
import pytest

from vorn_keychain import _native as vk

# The golden recorder is the one home of the case encoding, the call a case
# makes, and the reference base58 codec.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from record_golden import b58 as b58encode, b58d as b58decode, dec, run, target  # noqa: E402,F401

# Memory measurements mean nothing under AddressSanitizer (its quarantine
# keeps freed memory, its shadow memory defeats address-space limits).
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")
skip_under_asan = pytest.mark.skipif(UNDER_ASAN, reason="memory is not measurable under AddressSanitizer")

SEED = bytes(range(1, 33))
LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
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


@contextlib.contextmanager
def raises(exc, text):
    """pytest.raises for an exact message (pytest's match also reads the
    notes that name the bad element)."""
    with pytest.raises(exc) as info:
        yield info
    assert str(info.value) == text


@pytest.fixture
def keypair():
    return vk.Keypair.from_bytes(SEED)


@pytest.fixture
def signer(keypair):
    return vk.Signer(keypair, "mainnet")
