"""Shared helpers for the signer tests: base58, an independent encoder of the
exchange's signing message (written from the wire layout, not from the
module), keys and signature checks.

The test modules import the helpers with ``from conftest import ...``.
"""

import base64
import hashlib
import math
import os
import re
import struct

import nacl.signing
import pytest

from vorn_keychain import _native as vk

B58_ALPHABET = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"

# Memory measurements mean nothing under AddressSanitizer (its quarantine
# keeps freed memory, its shadow memory defeats address-space limits).
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")
skip_under_asan = pytest.mark.skipif(UNDER_ASAN, reason="memory is not measurable under AddressSanitizer")

# A fixed seed so that keys and signatures are reproducible.
SEED = bytes(range(1, 33))
NONCE = 1700000000000000000

# Orders of the worked examples.
LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
MARKET = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
          "order_type": {"type": "market"}}
LIMIT_JSON = {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0, "r": False, "sz": 0.25, "tif": "GTC"}}
OID_BYTES = b"\xab" * 32


def b58encode(data: bytes) -> str:
    n = int.from_bytes(data, "big")
    out = ""
    while n:
        n, r = divmod(n, 58)
        out = B58_ALPHABET[r] + out
    pad = len(data) - len(data.lstrip(b"\0"))
    return "1" * pad + out


def b58decode(text: str) -> bytes:
    n = 0
    for ch in text:
        n = n * 58 + B58_ALPHABET.index(ch)
    body = n.to_bytes((n.bit_length() + 7) // 8, "big") if n else b""
    pad = len(text) - len(text.lstrip("1"))
    return b"\0" * pad + body


OID = b58encode(OID_BYTES)
CANCEL = {"type": "cancel", "symbol": "BTC-USD", "order_id": OID}
SIGNED_KEYS = ["actions", "nonce", "account", "signer", "signature"]


# ---- primitive encodings (little-endian) ----


def u8(n):
    return struct.pack("<B", n)


def boolean(b):
    return b"\x01" if b else b"\x00"


def u32(n):
    return struct.pack("<I", n)


def u64(n):
    return struct.pack("<Q", n)


def i16(n):
    return struct.pack("<h", n)


def f64(x):
    return struct.pack("<d", x)


def string(s: str):
    raw = s.encode()
    return u64(len(raw)) + raw


def fixed(x: float) -> bytes:
    """x * 1e8 in binary64, rounded half away from zero, saturated to u64."""
    v = x * 100000000.0
    if math.isnan(v) or v <= 0:
        return u64(0)
    if v >= 2.0**64:
        return u64(2**64 - 1)
    r = math.floor(v)
    if v - r >= 0.5:
        r += 1
    return u64(min(r, 2**64 - 1))


def opt(value_bytes):
    return b"\x00" if value_bytes is None else b"\x01" + value_bytes


def opt_fixed(x):
    return opt(None if x is None or (isinstance(x, float) and math.isnan(x)) else fixed(x))


def commission_slot(commission):
    """commission: None or (to_bytes, fee)."""
    if commission is None:
        return b"\x00"
    return b"\x01" + commission[0] + u8(commission[1])


# ---- wire records ----


def limit_order(symbol, is_buy, price, size, tif=0, reduce_only=False, iso=False, commission=None, wv=0):
    out = u32(1) + string(symbol) + boolean(is_buy) + fixed(price) + fixed(size) + u32(tif)
    out += boolean(reduce_only) + boolean(iso)
    if wv != 0 or commission is not None:
        out += commission_slot(commission)
    return out


def market_order(symbol, is_buy, size, reduce_only=False, iso=False, commission=None, slippage=None, wv=0):
    out = u32(0) + string(symbol) + boolean(is_buy) + fixed(size) + boolean(reduce_only) + boolean(iso)
    if wv >= 1 or commission is not None:
        out += commission_slot(commission)
    if wv >= 2:
        out += opt_fixed(slippage)
    return out


def modify_order(order_id, symbol, size):
    return u32(2) + order_id + string(symbol) + f64(size)


def cancel_order(symbol, order_id):
    return u32(3) + string(symbol) + order_id


def cancel_all(symbols):
    return u32(4) + u64(len(symbols)) + b"".join(string(s) for s in symbols)


def stop_like(index, symbol, is_buy, size, trigger, limit=None, iso=False, commission=None, wv=0):
    out = u32(index) + string(symbol) + boolean(is_buy) + fixed(size) + fixed(trigger) + opt_fixed(limit)
    out += boolean(iso)
    if wv >= 2:
        out += commission_slot(commission)
    return out


def range_oco(symbol, is_buy, size, pmin, pmax, lmin=None, lmax=None, iso=False, commission=None, wv=0):
    out = u32(7) + string(symbol) + boolean(is_buy) + fixed(size) + fixed(pmin) + fixed(pmax)
    out += opt_fixed(lmin) + opt_fixed(lmax) + boolean(iso)
    if wv >= 2:
        out += commission_slot(commission)
    return out


def trigger_basket(symbol, is_buy, trigger, children):
    return u32(8) + string(symbol) + boolean(is_buy) + fixed(trigger) + u64(len(children)) + b"".join(children)


def trailing_stop(symbol, is_buy, size, trail, step, limit=None, iso=False, commission=None, wv=0):
    out = u32(9) + string(symbol) + boolean(is_buy) + fixed(size) + u32(trail) + u32(step) + opt_fixed(limit)
    out += boolean(iso)
    if wv >= 2:
        out += commission_slot(commission)
    return out


def on_fill(trigger, children):
    return u32(10) + trigger + u64(len(children)) + b"".join(children)


def oracle_price(timestamp, symbol, price):
    return u32(11) + u64(timestamp) + string(symbol) + f64(price)


def pyth_oracle(entries):
    body = b"".join(u64(t) + u64(fi) + u64(px) + i16(e) for t, fi, px, e in entries)
    return u32(13) + u64(len(entries)) + body


def faucet(user, amount=None):
    return u32(16) + user + opt(None if amount is None else f64(amount))


def agent_wallet(agent, delete):
    return u32(17) + agent + boolean(delete)


def user_settings(pairs):
    m = {}
    for symbol, lev in pairs:
        m[symbol] = lev
    keys = sorted(m, key=lambda s: s.encode())
    return u32(18) + u64(len(keys)) + b"".join(string(k) + f64(m[k]) for k in keys)


def whitelist_faucet(target, whitelist):
    return u32(19) + target + boolean(whitelist)


def create_sub_account(name, margin=None):
    return u32(27) + string(name) + opt(None if margin is None else f64(margin))


def remove_sub_account(key):
    return u32(28) + key


def transfer(kind, from_key, to_key, amount):
    return u32(29) + u32(kind) + from_key + to_key + f64(amount)


def approve_fee(to, fee):
    return u32(40) + to + u8(fee)


def revoke_fee(to):
    return u32(41) + to


def liquidator(cfg):
    out = u32(43)
    for k in ("cross_exposure", "scoring_skew", "toxicity", "urgency_size_fraction", "sweep_sds"):
        out += f64(cfg.get(k, 0.0))
    insts = sorted(cfg.get("instruments", []), key=lambda i: i["symbol"].encode())
    out += u64(len(insts))
    for i in insts:
        out += string(i["symbol"])
        for k in ("max_exposure", "reserve", "rfactor", "volume_percent", "volume_min"):
            out += f64(i.get(k, 0.0))
        out += u64(int(i.get("volume_rampup", 0)))
        for k in ("max_sweep_bps", "max_adl_notional", "max_adl_percent"):
            out += f64(i.get(k, 0.0))
    return out


MARKER = b"\xff" * 8 + b"vorn-actions"


def message(records, nonce, account: bytes, domain=1, wv=0):
    """The signing message: optional marker, count, records, nonce, account, domain."""
    head = MARKER + u8(wv) if wv in (2, 3) else b""
    return head + u64(len(records)) + b"".join(records) + u64(nonce) + account + u8(domain)


def order_id(canonical: bytes, account: bytes, nonce: int, seqno: int = 0) -> str:
    """The order id: SHA-256 of the sequence number, the canonical record, the account and the nonce."""
    return b58encode(hashlib.sha256(u32(seqno) + canonical + account + u64(nonce)).digest())


# ---- keys and checks ----


def verifies(pubkey_b58: str, msg: bytes, signature_b58: str) -> bool:
    key = nacl.signing.VerifyKey(b58decode(pubkey_b58))
    try:
        key.verify(msg, b58decode(signature_b58))
        return True
    except Exception:
        return False


def wallet_sign(key: nacl.signing.SigningKey, msg: bytes) -> str:
    """A signature made outside the module, as an external wallet makes it."""
    return b58encode(key.sign(msg).signature)


def check_encodings(prepared):
    """The three text forms of a prepared dict's message bytes."""
    msg = prepared["message_bytes"]
    assert type(msg) is bytes
    assert prepared["message_base58"] == b58encode(msg)
    assert prepared["message_base64"] == base64.b64encode(msg).decode()
    assert prepared["message_hex"] == msg.hex()


def raises(exc, text):
    """pytest.raises for an exact message."""
    return pytest.raises(exc, match="^" + re.escape(text) + "$")


@pytest.fixture
def native():
    return vk


@pytest.fixture
def keypair():
    return vk.Keypair.from_bytes(SEED)


@pytest.fixture
def signer(keypair):
    return vk.Signer(keypair, "mainnet")


@pytest.fixture
def account(signer):
    """The signer's own public key as raw bytes (the account of its messages)."""
    return b58decode(signer.pubkey)


@pytest.fixture
def other_key():
    return b58encode(bytes([0x22]) * 32)
