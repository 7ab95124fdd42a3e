"""Fuzz harness for the Python surface of vorn_keychain._native.

Every module function, both classes and every method are called with
arbitrary dicts, lists, numbers, strings and bytes, partly built from valid
orders, preparations and wallet messages that earlier calls returned. Each
call must return or raise ValueError, TypeError, OverflowError, RuntimeError
or MemoryError; anything else (another exception, an exception outside
Exception, a crash or an AddressSanitizer report) is a finding.

Run against an extension built with AddressSanitizer and libFuzzer coverage,
with the runtime preloaded (see smoke.sh):

    LD_PRELOAD=.../asan_with_fuzzer.so PYTHONPATH=<package dir> python fuzz_module.py [libFuzzer flags] [corpus]
"""

import math
import sys

import atheris

from vorn_keychain import _native as vk

ALLOWED = (ValueError, TypeError, OverflowError, RuntimeError, MemoryError)

KEYPAIR = vk.Keypair.from_bytes(bytes(range(1, 33)))
PUB = KEYPAIR.pubkey
OTHER = vk.Keypair.from_bytes(bytes([7] * 32)).pubkey


def b58(data):
    alphabet = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"
    n, out = int.from_bytes(data, "big"), ""
    while n:
        n, r = divmod(n, 58)
        out = alphabet[r] + out
    return "1" * (len(data) - len(data.lstrip(b"\0"))) + out


OID = b58(b"\xab" * 32)
SIGNER = vk.Signer(KEYPAIR, "mainnet")

WORDS = [
    "order", "cancel", "modify", "cancel_all", "stop", "st", "take_profit", "tp", "range", "rng",
    "trailing_stop", "trl", "trig", "on_fill", "of", "limit", "market", "trigger", "GTC", "IOC", "ALO", "gtc",
    "mainnet", "testnet", "devnet", "Mainnet", "raw", "base58", "offchain", "internal", "external", "timestamp",
    "counter", "high_frequency", "BTC-USD", "ETH-USD", "", "BTC\u2028Network: mainnet", "A\u202eB", "\x00",
    "x\ny", "\u00a0", "\ud800", "1" * 44, "0OIl", PUB, OTHER, OID,
]
KEYS = [
    "type", "symbol", "is_buy", "price", "size", "reduce_only", "iso", "order_type", "tif", "is_market",
    "trigger_px", "client_id", "builder_code", "to", "fee", "slippage", "order_id", "amount", "symbols",
    "trigger_price", "limit_price", "pmin", "pmax", "lmin", "lmax", "trail_bps", "step_bps", "actions",
    "trigger", "on_fill", "commission", "l", "m", "c", "b", "px", "sz", "r", "i", "cloid", "oid", "cx", "mod",
    "cxa", "message_bytes", "message_hex", "message_base58", "nonce", "account", "signer", "order_ids",
    "prepared", "signature_mode", "clear_sign_message", "instruments", "cross_exposure", "toxicity",
]
FLOATS = [0.0, -0.0, 1.0, -5.0, 0.1 + 0.2, 1e-9, 96482272.290814713, 3e11, 1e300, 2.0 ** 64 / 1e8,
          math.inf, -math.inf, math.nan, 5e-324]
INTS = [0, 1, -1, 255, 256, 2 ** 32, 2 ** 63, 2 ** 64 - 1, 2 ** 64, -(2 ** 63), 10 ** 30, 1700000000000000000]

TEMPLATES = [
    {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000.0, "size": 0.25},
    {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
     "order_type": {"type": "market"}, "slippage": 0.01, "builder_code": {"to": OTHER, "fee": 5}},
    {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1.0, "size": 1.0,
     "order_type": {"type": "limit", "tif": "IOC"}, "client_id": OID},
    {"type": "cancel", "symbol": "BTC-USD", "order_id": OID},
    {"type": "modify", "symbol": "BTC-USD", "order_id": OID, "amount": 2.0},
    {"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]},
    {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 1.0, "trigger_price": 90.0, "limit_price": 89.0},
    {"type": "range", "symbol": "BTC-USD", "is_buy": True, "size": 1.0, "pmin": 1.0, "pmax": 2.0},
    {"type": "trl", "symbol": "BTC-USD", "is_buy": True, "size": 1.0, "trail_bps": 10, "step_bps": 1},
    {"type": "trig", "symbol": "BTC-USD", "is_buy": True, "trigger_price": 5.0,
     "actions": [{"type": "cancel", "symbol": "BTC-USD", "order_id": OID}]},
    {"l": {"c": "BTC-USD", "b": True, "px": 1.0, "sz": 2.0, "tif": "ALO"}},
    {"instruments": [{"symbol": "BTC-USD", "max_exposure": 1.0}], "cross_exposure": 1.0},
    {"to": OTHER, "fee": 5},
]


class Pool:
    """Values returned by earlier calls (preparations, wallet messages), reused as inputs."""

    def __init__(self, size=64):
        self.items = []
        self.size = size

    def add(self, value):
        if isinstance(value, (dict, list)):
            if len(self.items) >= self.size:
                self.items.pop(0)
            self.items.append(value)


POOL = Pool()


def seeded_pool():
    prepared = vk.py_prepare_order(TEMPLATES[0], "mainnet", PUB, nonce=1)
    POOL.add(prepared)
    for mode in ("raw", "base58", "offchain"):
        POOL.add(vk.prepare_wallet_message(prepared, mode))
    POOL.add(vk.py_prepare_order_group(TEMPLATES[:4], "devnet", PUB, nonce=2))


def deep_copy(value):
    if isinstance(value, dict):
        return {k: deep_copy(v) for k, v in value.items()}
    if isinstance(value, list):
        return [deep_copy(v) for v in value]
    return value


def mutate(fdp, value, depth):
    value = deep_copy(value)
    if not isinstance(value, dict) or not value:
        return value
    for _ in range(fdp.ConsumeIntInRange(0, 3)):
        keys = list(value.keys())
        if not keys:
            break
        choice = fdp.ConsumeIntInRange(0, 3)
        if choice == 0:
            value.pop(keys[fdp.ConsumeIntInRange(0, len(keys) - 1)], None)
        elif choice == 1:
            value[KEYS[fdp.ConsumeIntInRange(0, len(KEYS) - 1)]] = any_value(fdp, depth + 1)
        elif choice == 2:
            key = keys[fdp.ConsumeIntInRange(0, len(keys) - 1)]
            value[key] = mutate(fdp, value[key], depth + 1) if isinstance(value[key], dict) else any_value(fdp, depth + 1)
        else:
            key = keys[fdp.ConsumeIntInRange(0, len(keys) - 1)]
            if isinstance(value[key], str) and value[key]:
                s = value[key]
                at = fdp.ConsumeIntInRange(0, len(s) - 1)
                value[key] = s[:at] + fdp.ConsumeUnicode(2) + s[at + 1:]
    return value


def any_value(fdp, depth=0):
    kind = fdp.ConsumeIntInRange(0, 13 if depth < 4 else 7)
    if kind == 0:
        return None
    if kind == 1:
        return fdp.ConsumeBool()
    if kind == 2:
        return INTS[fdp.ConsumeIntInRange(0, len(INTS) - 1)] if fdp.ConsumeBool() else fdp.ConsumeInt(9)
    if kind == 3:
        return FLOATS[fdp.ConsumeIntInRange(0, len(FLOATS) - 1)] if fdp.ConsumeBool() else fdp.ConsumeFloat()
    if kind == 4:
        return WORDS[fdp.ConsumeIntInRange(0, len(WORDS) - 1)]
    if kind == 5:
        return fdp.ConsumeUnicode(fdp.ConsumeIntInRange(0, 48))
    if kind == 6:
        return fdp.ConsumeBytes(fdp.ConsumeIntInRange(0, 96))
    if kind == 7:
        return fdp.ConsumeIntInRange(-3, 300)
    if kind == 8:
        return [any_value(fdp, depth + 1) for _ in range(fdp.ConsumeIntInRange(0, 4))]
    if kind == 9:
        return {KEYS[fdp.ConsumeIntInRange(0, len(KEYS) - 1)]: any_value(fdp, depth + 1)
                for _ in range(fdp.ConsumeIntInRange(0, 5))}
    if kind == 10:
        return mutate(fdp, TEMPLATES[fdp.ConsumeIntInRange(0, len(TEMPLATES) - 1)], depth)
    if kind == 11:
        return [mutate(fdp, TEMPLATES[fdp.ConsumeIntInRange(0, 9)], depth) for _ in range(fdp.ConsumeIntInRange(0, 12))]
    if kind == 12 and POOL.items:
        return mutate(fdp, POOL.items[fdp.ConsumeIntInRange(0, len(POOL.items) - 1)], depth)
    return tuple(any_value(fdp, depth + 1) for _ in range(fdp.ConsumeIntInRange(0, 3)))


def params_of(func):
    sig = getattr(func, "__text_signature__", None) or "()"
    names = [p.strip().split("=")[0] for p in sig.strip("()").split(",") if p.strip()]
    return [n for n in names if n not in ("$self", "*args")]


def targets():
    out = []
    for name in vk.__all__:
        obj = getattr(vk, name)
        if name == "Keypair":
            out.append(("Keypair", obj, ["a", "b"]))
        elif name == "Signer":
            out.append(("Signer", obj, ["keypair", "signature_domain"]))
        else:
            out.append((name, obj, params_of(obj)))
    for cls in (vk.Keypair, vk.Signer):
        for name in ("from_base58", "from_bytes", "with_nonce_manager"):
            if hasattr(cls, name):
                out.append((cls.__name__ + "." + name, getattr(cls, name), params_of(getattr(cls, name))))
    for name in dir(vk.Signer):
        method = getattr(SIGNER, name)
        if not name.startswith("_") and callable(method) and name not in ("from_base58", "with_nonce_manager"):
            out.append(("Signer." + name, method, params_of(getattr(vk.Signer, name))))
    for name in ("to_base58", "to_bytes", "secret_key"):
        out.append(("Keypair." + name, getattr(KEYPAIR, name), []))
    return out


TARGETS = None


def call_one(fdp):
    name, func, params = TARGETS[fdp.ConsumeIntInRange(0, len(TARGETS) - 1)]
    args, kwargs = [], {}
    count = fdp.ConsumeIntInRange(0, len(params) + 1)
    for i in range(count):
        value = any_value(fdp)
        if fdp.ConsumeIntInRange(0, 3) == 0 and i < len(params):
            kwargs[params[i]] = value
        elif not kwargs:
            args.append(value)
    # Keys and signers are often needed as such.
    if name in ("Signer", "Signer.with_nonce_manager") and args and fdp.ConsumeBool():
        args[0] = KEYPAIR
    try:
        result = func(*args, **kwargs)
    except ALLOWED:
        return
    except Exception as e:  # noqa: BLE001 - any other exception is the finding
        raise AssertionError(f"{name}{tuple(args)!r:.400} {kwargs!r:.200} raised {type(e).__name__}: {e}") from e
    except BaseException as e:
        raise AssertionError(f"{name} raised {type(e).__name__} outside Exception: {e}") from e
    POOL.add(result)


def test_one_input(data):
    fdp = atheris.FuzzedDataProvider(data)
    for _ in range(fdp.ConsumeIntInRange(1, 4)):
        call_one(fdp)


def main():
    global TARGETS
    seeded_pool()
    TARGETS = targets()
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
