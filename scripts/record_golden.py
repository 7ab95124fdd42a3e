#!/usr/bin/env python3
"""Record the module's outputs for a fixed list of calls as JSON files under
tests/golden/ (tests/python/test_golden.py replays them).

Usage: PYTHONPATH=<tree with the built module> python scripts/record_golden.py [OUT_DIR]

Every case is a call on the module: a function, a class method, or a method
of a Keypair / Signer made from a fixed secret. Inputs and results use plain
JSON with a few tags: {"$bytes": hex}, {"$bytearray": hex}, {"$tuple": [...]},
{"$keypair": secret hex} (a Keypair made with Keypair.from_bytes), {"$signer":
repr}, {"$object": null} (a plain object()) and {"$dict": [[key, value], ...]}
for dicts whose keys are not text. A result is {"result": value} or
{"error": [exception type name, message]}. Nonces are always explicit, so the
files are the same on every run.

For a signed result the case also carries "message": the exact bytes that the
signature verifies over (taken from the matching preparation or rebuilt from
the record layout and checked with an independent Ed25519 verifier), so the
core tests can use signed cases as byte vectors too.

Files: actions.json holds every successful signing and preparation whose
inputs and outputs are finite numbers (readable by a strict JSON reader);
edge.json the successful cases with NaN or infinite numbers; wallet.json,
solana.json and misc.json the other successes; errors.json every refusal.
"""

import base64
import json
import math
import struct
import sys
from pathlib import Path

import nacl.exceptions
import nacl.signing

from vorn_keychain import _native as vk

B58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"


def b58(data: bytes) -> str:
    n = int.from_bytes(data, "big")
    out = ""
    while n:
        n, r = divmod(n, 58)
        out = B58[r] + out
    return "1" * (len(data) - len(data.lstrip(b"\0"))) + out


def b58d(text: str) -> bytes:
    n = 0
    for ch in text:
        n = n * 58 + B58.index(ch)
    body = n.to_bytes((n.bit_length() + 7) // 8, "big") if n else b""
    return b"\0" * (len(text) - len(text.lstrip("1"))) + body


# ---------------------------------------------------------------- encoding


def enc(v):
    if isinstance(v, bool) or v is None or isinstance(v, (int, float, str)):
        if type(v) not in (bool, int, float, str, type(None)):
            raise TypeError(f"subclass {type(v)} cannot be recorded")
        return v
    if type(v) is bytes:
        return {"$bytes": v.hex()}
    if type(v) is bytearray:
        return {"$bytearray": v.hex()}
    if type(v) is tuple:
        return {"$tuple": [enc(x) for x in v]}
    if type(v) is list:
        return [enc(x) for x in v]
    if type(v) is dict:
        if all(type(k) is str and not k.startswith("$") for k in v):
            return {k: enc(x) for k, x in v.items()}
        return {"$dict": [[enc(k), enc(x)] for k, x in v.items()]}
    if type(v) is vk.Keypair:
        return {"$keypair": v.secret_key().hex()}
    if type(v) is vk.Signer:
        return {"$signer": repr(v)}
    if type(v) is object:
        return {"$object": None}
    raise TypeError(f"cannot record {type(v)}")


def dec(v):
    if isinstance(v, list):
        return [dec(x) for x in v]
    if not isinstance(v, dict):
        return v
    if len(v) == 1:
        (tag, x), = v.items()
        if tag == "$bytes":
            return bytes.fromhex(x)
        if tag == "$bytearray":
            return bytearray.fromhex(x)
        if tag == "$tuple":
            return tuple(dec(i) for i in x)
        if tag == "$keypair":
            return vk.Keypair.from_bytes(bytes.fromhex(x))
        if tag == "$object":
            return object()
        if tag == "$dict":
            return {dec(k): dec(i) for k, i in x}
    return {k: dec(x) for k, x in v.items()}


def target(case):
    """The object and attribute name a case calls or reads."""
    path = case["call"].split(".")
    if "signer" in case:
        s = case["signer"]
        obj = vk.Signer(vk.Keypair.from_bytes(bytes.fromhex(s["secret"])), s["domain"])
        for flag, setter in (("order_id", obj.set_compute_order_id), ("batch_ids", obj.set_compute_batch_order_ids)):
            if flag in s:
                setter(s[flag])
    elif "keypair" in case:
        obj = vk.Keypair.from_bytes(bytes.fromhex(case["keypair"]))
    else:
        obj = vk
        path = ["module"] + path
    for name in path[1:-1]:
        obj = getattr(obj, name)
    return obj, path[-1]


def run(case):
    """Make the call a case describes; return the encoded outcome."""
    obj, name = target(case)
    try:
        value = getattr(obj, name)
        if not case.get("property"):
            value = value(*dec(case["args"]), **dec(case["kwargs"]))
    except Exception as e:  # noqa: BLE001 - every refusal is recorded
        return {"error": [type(e).__name__, str(e)]}
    return {"result": enc(value)}


# ---------------------------------------------------------------- inputs

SEED = bytes(range(1, 33))
SEED2 = bytes(range(100, 132))
SIGNER_KEY = nacl.signing.SigningKey(SEED)
WALLET_KEY = nacl.signing.SigningKey(SEED2)
ME = b58(bytes(SIGNER_KEY.verify_key))
WALLET = b58(bytes(WALLET_KEY.verify_key))
NONCE = 1700000000000000000
A, B, OID, CODE = (b58(bytes([x]) * 32) for x in (0x44, 0x55, 0xAB, 0x33))
ACCT = b58(b"\x11" * 32)
HASH = b58(bytes(range(32)))
BLOCKHASH = b58(bytes(range(200, 232)))
OWNERS = [WALLET, ME, b58(bytes(nacl.signing.SigningKey(bytes([7]) * 32).verify_key))]
OFF_CURVE = b58(b"\x01" + b"\x00" * 30 + b"\x80")

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
MARKET = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
          "order_type": {"type": "market"}}
CANCEL = {"type": "cancel", "symbol": "BTC-USD", "order_id": OID}
STOP = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.25, "trigger_price": 95000}
RANGE = {"type": "range", "symbol": "ETH-USD", "is_buy": True, "size": 2, "pmin": 3000, "pmax": 3500}
TRAIL = {"type": "trailing_stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trail_bps": 50, "step_bps": 5}
BASKET = {"type": "trig", "symbol": "BTC-USD", "is_buy": False, "trigger_price": 96000,
          "actions": [dict(LIMIT, price=95000), CANCEL]}
BUILDER = {"to": CODE, "fee": 5}

# Every item kind and the variants of each that change the bytes or the text.
ORDERS = {
    "limit_gtc": LIMIT,
    "limit_ioc_flags": dict(LIMIT, reduce_only=True, iso=True, order_type={"type": "limit", "tif": "ioc"}),
    "limit_alo": dict(LIMIT, is_buy=False, order_type={"type": "limit", "tif": "ALO"}),
    "limit_builder_code": dict(LIMIT, builder_code=BUILDER),
    "limit_client_id": dict(LIMIT, client_id=HASH),
    "limit_on_fill": dict(LIMIT, on_fill={"actions": [STOP]}),
    "limit_tiny": dict(LIMIT, price=1e-9, size=5e-9),
    "limit_huge": dict(LIMIT, price=1e300, size=2.0**64),
    "limit_negative": dict(LIMIT, price=-5.5, size=-0.0),
    "limit_rounding": dict(LIMIT, price=0.123456785, size=123456789.123456789),
    "limit_unicode": dict(LIMIT, symbol="BTC-\u20ac"),
    "limit_all_fields": dict(LIMIT, reduce_only=False, iso=True, order_type={"type": "limit", "tif": "GTC"},
                             client_id=HASH, builder_code={"to": CODE, "fee": 3}, on_fill={"actions": [STOP]}),
    "market_all_fields": dict(MARKET, reduce_only=True, iso=False, slippage=0.5, builder_code=BUILDER,
                              order_type={"type": "trigger", "is_market": True, "trigger_px": 1.5}),
    "market": MARKET,
    "market_slippage": dict(MARKET, slippage=0.01),
    "market_builder_code": dict(MARKET, builder_code={"to": CODE, "fee": 15}),
    "market_reduce_only": dict(MARKET, reduce_only=True),
    "trigger_market": dict(MARKET, order_type={"type": "trigger", "is_market": True, "trigger_px": 123.0}),
    "cancel": CANCEL,
    "modify": {"type": "modify", "symbol": "SOL-USD", "order_id": OID, "amount": 2.5},
    "cancel_all": {"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]},
    "cancel_all_empty": {"type": "cancel_all"},
    "stop": dict(STOP, limit_price=89000.5),
    "stop_short": dict(STOP, type="st"),
    "stop_builder_code": dict(STOP, type="st", iso=True, builder_code={"to": CODE, "fee": 15}),
    "take_profit": dict(STOP, type="take_profit", is_buy=True, trigger_price=110000, limit_price=110500),
    "take_profit_short": dict(STOP, type="tp"),
    "stop_all_fields": dict(STOP, limit_price=89000, iso=False, builder_code=BUILDER),
    "take_profit_all_fields": dict(STOP, type="tp", limit_price=96000, iso=True, builder_code=BUILDER),
    "range": dict(RANGE, lmax=3510.25),
    "range_short": dict(RANGE, type="rng", lmin=2990, lmax=3510, iso=True, builder_code=BUILDER),
    "trailing_stop": TRAIL,
    "trailing_short": dict(TRAIL, type="trl", is_buy=True, limit_price=7.0, builder_code=BUILDER),
    "trailing_all_fields": dict(TRAIL, limit_price=7.5, iso=True, builder_code=BUILDER),
    "trigger_basket": BASKET,
    "trigger_basket_nested": dict(BASKET, actions=[dict(BASKET, actions=[MARKET, STOP])]),
    "on_fill": {"type": "on_fill", "trigger": LIMIT, "actions": [STOP]},
    "on_fill_short": {"type": "of", "trigger": MARKET, "actions": [dict(STOP, type="tp", is_buy=True), CANCEL]},
}
EDGE_ORDERS = {
    "limit_nan_size": dict(LIMIT, size=math.nan),
    "limit_inf_price": dict(LIMIT, price=math.inf),
    "limit_negative_inf": dict(LIMIT, price=-math.inf),
    "stop_nan_limit": dict(STOP, limit_price=math.nan),
    "market_nan_slippage": dict(MARKET, slippage=math.nan),
}
LIQ = {"cross_exposure": 1.5, "scoring_skew": 2, "toxicity": 0.25, "urgency_size_fraction": 0.5, "sweep_sds": 3,
       "instruments": [{"symbol": "ETH-USD", "max_exposure": 1000, "reserve": 0.1, "volume_rampup": 7},
                       {"symbol": "BTC-USD", "rfactor": 2.5, "max_sweep_bps": 40, "max_adl_percent": 0.3},
                       {"symbol": "SOL-USD", "volume_percent": 0.2, "volume_min": 5, "max_adl_notional": 9}]}
LIQ_LENIENT = {"toxicity": "high", "sweep_sds": None,
               "instruments": [{"symbol": "A", "max_exposure": "x", "volume_rampup": 2.9},
                               {"symbol": "B", "volume_rampup": -5}, {"symbol": "C", "volume_rampup": 1e30}]}

CASES = []


def case(name, call, *args, _on_signer=None, _on_keypair=None, _prop=False, **kwargs):
    c = {"name": name, "call": call, "args": enc(list(args)), "kwargs": enc(kwargs)}
    if _on_signer is not None:
        c["signer"] = _on_signer
    if _on_keypair is not None:
        c["keypair"] = _on_keypair.hex()
    if _prop:
        c["property"] = True
    CASES.append(c)
    return c


def signer(domain="mainnet", seed=SEED, **flags):
    return {"secret": seed.hex(), "domain": domain, **flags}


S = signer()


def sign(name, method, *args, s=S, **kwargs):
    return case(name, "Signer." + method, *args, _on_signer=s, **kwargs)


def live(fn, *args, **kwargs):
    """The value of a call made now, as an input for a later case."""
    return fn(*args, **kwargs)


# ---- Signer: every item kind, every method

for k, o in {**ORDERS, **EDGE_ORDERS}.items():
    sign(f"sign/order/{k}", "sign", o, nonce=NONCE)
for d in ("testnet", "devnet"):
    sign(f"sign/order/limit_{d}", "sign", LIMIT, s=signer(d), nonce=7)
sign("sign/order/limit_without_id", "sign", LIMIT, s=signer(order_id=False), nonce=NONCE)
sign("sign/order/nonce_max", "sign", LIMIT, nonce=2**64 - 1)
sign("sign/order/nonce_zero", "sign", CANCEL, nonce=0)
sign("sign/order/keywords", "sign", nonce=NONCE, order=MARKET)
BATCH12 = [dict(LIMIT, price=100 + i, size=0.5 + i) for i in range(12)]
MIXED = [LIMIT, MARKET, CANCEL, ORDERS["modify"], ORDERS["cancel_all"], ORDERS["stop"], ORDERS["range"], TRAIL,
         BASKET, ORDERS["on_fill"], ORDERS["market_slippage"]]
sign("sign/all/three", "sign_all", [LIMIT, MARKET, CANCEL], base_nonce=NONCE)
sign("sign/all/twelve", "sign_all", BATCH12, base_nonce=900)
sign("sign/all/mixed_eleven", "sign_all", MIXED, base_nonce=NONCE)
sign("sign/all/without_batch_ids", "sign_all", BATCH12[:10], s=signer(batch_ids=False), base_nonce=5)
sign("sign/all/empty", "sign_all", [], base_nonce=1)
sign("sign/all/wrapping_nonce", "sign_all", [LIMIT, LIMIT], base_nonce=2**64 - 1)
sign("sign/group/bracket", "sign_group", [LIMIT, dict(STOP, limit_price=89000), dict(STOP, type="tp", trigger_price=1e5)],
     nonce=NONCE)
sign("sign/group/ids", "sign_group", [LIMIT, CANCEL, MARKET], nonce=NONCE)
sign("sign/group/cancels", "sign_group", [CANCEL, CANCEL], nonce=NONCE)
sign("sign/group/twelve", "sign_group", BATCH12, nonce=NONCE)
sign("sign/group/mixed_eleven", "sign_group", MIXED, nonce=NONCE)
sign("sign/group/without_batch_ids", "sign_group", [LIMIT, MARKET], s=signer(batch_ids=False), nonce=NONCE)
sign("sign/sign_order/two", "sign_order", [LIMIT, MARKET], nonce=NONCE)
sign("sign/sign_order/one", "sign_order", [CANCEL], nonce=3)
sign("sign/orders_batch/three", "sign_orders_batch", [[LIMIT], [CANCEL, MARKET], [TRAIL]], base_nonce=NONCE)
sign("sign/orders_batch/twelve", "sign_orders_batch", [[o] for o in BATCH12[:6]] + [BATCH12[6:9], BATCH12[9:]]
     + [[MARKET, CANCEL]] * 4, base_nonce=40)
sign("sign/faucet/basic", "sign_faucet", nonce=NONCE)
sign("sign/faucet/nonce_bool", "sign_faucet", nonce=True)
for d in (True, False):
    sign(f"sign/agent_wallet/{str(d).lower()}", "sign_agent_wallet", A, d, nonce=NONCE)
    sign(f"sign/whitelist_faucet/{str(d).lower()}", "sign_whitelist_faucet", A, d, nonce=NONCE)
for fee in (1, 7, 15):
    sign(f"sign/approve_builder_code/fee{fee}", "sign_approve_builder_code", A, fee, nonce=NONCE)
    sign(f"sign/approve_commission_fee/fee{fee}", "sign_approve_commission_fee", B, fee, nonce=NONCE)
sign("sign/revoke_builder_code/basic", "sign_revoke_builder_code", A, nonce=NONCE)
sign("sign/revoke_commission_fee/basic", "sign_revoke_commission_fee", B, nonce=NONCE)
sign("sign/user_settings/pairs", "sign_user_settings", [("ETH-USD", 5), ("BTC-USD", 10.5)], nonce=NONCE)
sign("sign/user_settings/duplicates", "sign_user_settings", (("ETH-USD", 5), ("BTC-USD", 10), ("ETH-USD", 3)),
     nonce=NONCE)
sign("sign/user_settings/empty", "sign_user_settings", [], nonce=NONCE)
sign("sign/user_settings/unicode", "sign_user_settings", [("\u20ac-USD", 2), ("A-USD", 1e-3)], nonce=NONCE)
sign("sign/liquidator/full", "sign_update_liquidator_config", LIQ, nonce=NONCE)
sign("sign/liquidator/lenient", "sign_update_liquidator_config", LIQ_LENIENT, nonce=NONCE)
sign("sign/liquidator/empty", "sign_update_liquidator_config", {}, nonce=NONCE)
sign("sign/oracle_prices/two", "sign_oracle_prices", [(1700000000, "BTC-USD", 100000.5), (1700000001, "ETH-USD", 3000)],
     nonce=NONCE)
sign("sign/pyth_oracle/two", "sign_pyth_oracle", [(1700000000, 3, 6500000000000, -8), (1700000001, 4, 2**63 + 2048, 32767)],
     nonce=NONCE)
sign("sign/pyth_oracle/low_exponent", "sign_pyth_oracle", [(1, 2, 3, -32768)], nonce=1)
sign("sign/remove_sub_account/basic", "sign_remove_sub_account", A, nonce=NONCE)
for kind in (None, "internal", "external"):
    sign(f"sign/transfer/{kind}", "sign_transfer", A, B, 12.5, kind=kind, nonce=NONCE)
sign("sign/transfer/keywords", "sign_transfer", nonce=NONCE, kind="external", margin_amount=1, to_pubkey=B,
     from_pubkey=A)
sign("sign/create_sub_account/margin", "sign_create_sub_account", "alpha", 100, nonce=NONCE)
sign("sign/create_sub_account/plain", "sign_create_sub_account", "beta", nonce=NONCE)
sign("sign/create_sub_account/unicode", "sign_create_sub_account", "d\u00e9sk \u65e5\u672c", 0.5, nonce=NONCE)
sign("sign/bytes/empty", "sign_bytes", b"")
sign("sign/bytes/text", "sign_bytes", b"hello world")
sign("sign/bytes/bytearray", "sign_bytes", bytearray(b"\x00\xff" * 40))

# ---- preparation: every function, every item kind

for k, o in {**ORDERS, **EDGE_ORDERS}.items():
    case(f"prepare/order/{k}", "py_prepare_order", o, "mainnet", ACCT, nonce=NONCE)
for d in ("testnet", "devnet"):
    case(f"prepare/order/limit_{d}", "py_prepare_order", LIMIT, d, ACCT, nonce=NONCE)
case("prepare/order/agent", "py_prepare_order", LIMIT, "mainnet", ACCT, A, NONCE)
case("prepare/order/keywords", "py_prepare_order", order=MARKET, signature_domain="mainnet", account=ACCT, nonce=9)
case("prepare/order/nonce_max", "py_prepare_order", LIMIT, "mainnet", ACCT, nonce=2**64 - 1)
case("prepare/all_orders/three", "py_prepare_all_orders", [LIMIT, MARKET, CANCEL], "mainnet", ACCT, base_nonce=500)
case("prepare/all_orders/twelve", "py_prepare_all_orders", BATCH12, "devnet", ACCT, A, 900)
case("prepare/all_orders/mixed_eleven", "py_prepare_all_orders", MIXED, "mainnet", ACCT, base_nonce=NONCE)
case("prepare/all_orders/wrapping_nonce", "py_prepare_all_orders", [LIMIT, LIMIT], "mainnet", ACCT,
     base_nonce=2**64 - 1)
case("prepare/all_orders/empty", "py_prepare_all_orders", [], "mainnet", ACCT, base_nonce=1)
case("prepare/group/ids", "py_prepare_order_group", [LIMIT, CANCEL, MARKET], "mainnet", ACCT, nonce=NONCE)
case("prepare/group/cancels", "py_prepare_order_group", [CANCEL, CANCEL], "mainnet", ACCT, nonce=NONCE)
case("prepare/group/one", "py_prepare_order_group", [LIMIT], "testnet", ACCT, nonce=NONCE)
case("prepare/group/mixed_eleven", "py_prepare_order_group", MIXED, "mainnet", ACCT, A, NONCE)
case("prepare/group/twelve", "py_prepare_order_group", BATCH12, "mainnet", ACCT, nonce=NONCE)
for d in (True, False):
    case(f"prepare/agent_wallet/{str(d).lower()}", "py_prepare_agent_wallet_auth", A, d, "mainnet", ACCT, nonce=NONCE)
for fee in (1, 15):
    case(f"prepare/approve_builder_code/fee{fee}", "py_prepare_approve_builder_code", B, fee, "mainnet", ACCT,
         nonce=NONCE)
    case(f"prepare/approve_commission_fee/fee{fee}", "py_prepare_approve_commission_fee", B, fee, "testnet", ACCT,
         A, nonce=NONCE)
case("prepare/revoke_builder_code/basic", "py_prepare_revoke_builder_code", B, "mainnet", ACCT, nonce=NONCE)
case("prepare/revoke_commission_fee/basic", "py_prepare_revoke_commission_fee", B, "devnet", ACCT, nonce=NONCE)
case("prepare/liquidator/full", "py_prepare_update_liquidator_config", LIQ, "mainnet", ACCT, nonce=NONCE)
case("prepare/liquidator/lenient", "py_prepare_update_liquidator_config", LIQ_LENIENT, "mainnet", ACCT, nonce=NONCE)
case("prepare/liquidator/empty", "py_prepare_update_liquidator_config", {}, "mainnet", ACCT, nonce=NONCE)
case("prepare/faucet/basic", "py_prepare_faucet_request", "mainnet", ACCT, nonce=NONCE)
case("prepare/faucet/agent", "py_prepare_faucet_request", "testnet", ACCT, A, 5)
case("prepare/create_sub_account/margin", "py_prepare_create_sub_account", "desk", "mainnet", ACCT, 12.5, nonce=NONCE)
case("prepare/create_sub_account/plain", "py_prepare_create_sub_account", "desk", "mainnet", ACCT, nonce=NONCE)
case("prepare/create_sub_account/unicode", "py_prepare_create_sub_account", "\u65e5\u672c", "mainnet", ACCT, 1e-8,
     nonce=NONCE)
case("prepare/remove_sub_account/basic", "py_prepare_remove_sub_account", B, "mainnet", ACCT, nonce=NONCE)
for kind in (None, "internal", "external"):
    case(f"prepare/transfer/{kind}", "py_prepare_transfer", A, B, 3, "mainnet", ACCT, kind, nonce=NONCE)
case("prepare/transfer/basic", "py_prepare_transfer", A, B, 0.1, "mainnet", ACCT, nonce=NONCE)

# ---- order ids

for k, o in {**ORDERS, **EDGE_ORDERS}.items():
    case(f"order_id/simplified/{k}", "compute_order_id_from_order", o, NONCE, ACCT)
COMPACT = {
    "limit": {"l": {"c": "BTC-USD", "b": True, "px": 100000, "sz": 0.25}},
    "limit_full": {"l": {"c": "BTC-USD", "b": False, "px": 1.5, "sz": 2, "r": True, "i": True, "tif": "ALO",
                         "cloid": HASH, "builder_code": BUILDER}},
    "market": {"m": {"c": "ETH-USD", "b": False, "sz": 1.5}},
    "market_slippage": {"m": {"c": "ETH-USD", "b": True, "sz": 1.5, "r": True, "slippage": 0.02}},
    "cancel": {"cx": {"c": "BTC-USD", "oid": OID}},
    "modify": {"mod": {"c": "BTC-USD", "oid": OID, "sz": 3}},
    "cancel_all": {"cxa": {"c": ["BTC-USD"]}},
    "market_full": {"m": {"c": "ETH-USD", "b": True, "sz": 1.5, "r": True, "i": True, "slippage": 0.02,
                          "builder_code": BUILDER}},
}
for k, o in COMPACT.items():
    case(f"order_id/compact/{k}", "compute_order_id_from_order", o, 42, ACCT)
for k, data in {"empty": b"", "short": b"abc", "record": bytes(range(256)) * 2}.items():
    case(f"order_id/bytes/{k}", "compute_order_id", data)

# ---- wallet modes, finalisation, prepared signing

U = lambda fmt, *v: struct.pack("<" + fmt, *v)  # noqa: E731


def wstr(s: str) -> bytes:
    return U("Q", len(s.encode())) + s.encode()


def rebuilt(method, args, kwargs, account: bytes, domain: int):
    """The signing message of the Signer methods that have no preparation."""
    nonce = kwargs["nonce"]
    if method == "sign_user_settings":
        m = dict(args[0])
        keys = sorted(m, key=lambda s: s.encode())
        recs = [U("IQ", 18, len(keys)) + b"".join(wstr(k) + U("d", m[k]) for k in keys)]
    elif method == "sign_oracle_prices":
        recs = [U("IQ", 11, t) + wstr(s) + U("d", p) for t, s, p in args[0]]
    elif method == "sign_pyth_oracle":
        recs = [U("IQ", 13, len(args[0])) + b"".join(U("QQQh", *e) for e in args[0])]
    elif method == "sign_whitelist_faucet":
        recs = [U("I", 19) + b58d(args[0]) + bytes([args[1]])]
    else:
        return None
    return U("Q", len(recs)) + b"".join(recs) + U("Q", nonce) + account + bytes([domain])


PREPARED = {
    **{k: live(vk.py_prepare_order, ORDERS[k], "mainnet", WALLET, nonce=NONCE) for k in ORDERS},
    "group": live(vk.py_prepare_order_group, [LIMIT, ORDERS["cancel_all"]], "devnet", ACCT, WALLET, 42),
    "agent_wallet": live(vk.py_prepare_agent_wallet_auth, A, False, "mainnet", WALLET, nonce=NONCE),
    "approve_builder_code": live(vk.py_prepare_approve_builder_code, B, 7, "mainnet", WALLET, nonce=NONCE),
    "approve_commission_fee": live(vk.py_prepare_approve_commission_fee, B, 9, "mainnet", WALLET, nonce=NONCE),
    "revoke_builder_code": live(vk.py_prepare_revoke_builder_code, B, "mainnet", WALLET, nonce=NONCE),
    "revoke_commission_fee": live(vk.py_prepare_revoke_commission_fee, B, "mainnet", WALLET, nonce=NONCE),
    "faucet": live(vk.py_prepare_faucet_request, "testnet", WALLET, nonce=8),
    "create_sub_account": live(vk.py_prepare_create_sub_account, "desk", "mainnet", WALLET, 12.5, nonce=NONCE),
    "create_sub_account_plain": live(vk.py_prepare_create_sub_account, "desk", "mainnet", WALLET, nonce=NONCE),
    "create_sub_account_unicode": live(vk.py_prepare_create_sub_account, "d\u00e9sk", "mainnet", WALLET, nonce=NONCE),
    "remove_sub_account": live(vk.py_prepare_remove_sub_account, B, "mainnet", WALLET, nonce=NONCE),
    "transfer_internal": live(vk.py_prepare_transfer, WALLET, B, 2.5, "testnet", WALLET, nonce=7),
    "transfer_external": live(vk.py_prepare_transfer, WALLET, B, 2.5, "testnet", WALLET, "external", nonce=7),
    "liquidator": live(vk.py_prepare_update_liquidator_config, LIQ, "mainnet", WALLET, nonce=NONCE),
    "limit_nan": live(vk.py_prepare_order, EDGE_ORDERS["limit_nan_size"], "mainnet", WALLET, nonce=NONCE),
    "limit_inf": live(vk.py_prepare_order, EDGE_ORDERS["limit_inf_price"], "mainnet", WALLET, nonce=NONCE),
    "stop_nan": live(vk.py_prepare_order, EDGE_ORDERS["stop_nan_limit"], "mainnet", WALLET, nonce=NONCE),
    "control_symbol": live(vk.py_prepare_order, dict(LIMIT, symbol="BTC\nUSD"), "mainnet", WALLET, nonce=NONCE),
    "delete_symbol": live(vk.py_prepare_order, dict(LIMIT, symbol="BTC\x7fUSD"), "mainnet", WALLET, nonce=NONCE),
    "control_name": live(vk.py_prepare_create_sub_account, "a\rb", "mainnet", WALLET, nonce=1),
}
WALLET_SIGNER = vk.Signer(vk.Keypair.from_bytes(SEED2), "mainnet")
# The actions without a preparation function: a prepared dict made from the
# signed transaction and its message (checked against the signature).
for k, method, args in (("user_settings", "sign_user_settings", ([("ETH-USD", 5), ("BTC-USD", 10.5)],)),
                        ("oracle_prices", "sign_oracle_prices", ([(1700000000, "BTC-USD", 100000.5),
                                                                  (1700000001, "ETH-USD", 3000)],)),
                        ("pyth_oracle", "sign_pyth_oracle", ([(1700000000, 3, 6500000000000, -8)],)),
                        ("whitelist_faucet", "sign_whitelist_faucet", (A, True))):
    tx = getattr(WALLET_SIGNER, method)(*args, nonce=NONCE)
    msg = rebuilt(method, args, {"nonce": NONCE}, b58d(WALLET), 1)
    WALLET_KEY.verify_key.verify(msg, b58d(tx["signature"]))
    PREPARED[k] = {"message_bytes": msg, "message_base58": b58(msg), "message_base64": base64.b64encode(msg).decode(),
                   "message_hex": msg.hex(), "actions": tx["actions"], "account": tx["account"],
                   "signer": tx["signer"], "nonce": tx["nonce"]}
WALLETS = {}
for k, p in PREPARED.items():
    for mode in ("raw", "base58", "offchain"):
        c = case(f"wallet/{mode}/{k}", "prepare_wallet_message", p, mode)
        try:
            WALLETS[k, mode] = vk.prepare_wallet_message(p, mode)
        except ValueError:
            pass


def wsig(message: bytes) -> str:
    return b58(WALLET_KEY.sign(message).signature)


for k in ("limit_gtc", "group", "transfer_external", "faucet", "cancel", "liquidator", "user_settings", "pyth_oracle"):
    p = PREPARED[k]
    own = signer(("mainnet", "testnet", "devnet")[p["message_bytes"][-1] - 1], SEED2)
    case(f"finalize/transaction/{k}", "py_finalize_transaction", p, wsig(p["message_bytes"]))
    for mode in ("raw", "base58", "offchain"):
        if (k, mode) in WALLETS:
            w = WALLETS[k, mode]
            case(f"finalize/wallet/{mode}/{k}", "finalize_wallet_message", w, wsig(w["message_bytes"]))
            case(f"sign/wallet_prepared/{mode}/{k}", "Signer.sign_wallet_prepared", w, _on_signer=own)
    case(f"sign/prepared/{k}", "Signer.sign_prepared", p, _on_signer=own)
case("finalize/transaction/keywords", "py_finalize_transaction", prepared=PREPARED["market"],
     signature=wsig(PREPARED["market"]["message_bytes"]))
raw = WALLETS["limit_gtc", "raw"]
case("finalize/wallet/raw/without_text_key", "finalize_wallet_message",
     {k: v for k, v in raw.items() if k != "clear_sign_message"}, wsig(raw["message_bytes"]))
case("finalize/wallet/raw/list_bytes", "finalize_wallet_message", dict(raw, message_bytes=list(raw["message_bytes"])),
     wsig(raw["message_bytes"]))

# ---- Solana

for i, owner in enumerate(OWNERS):
    for amount in (0, 1, 1_000_000, 2**64 - 1):
        case(f"solana/deposit_tx/{i}_{amount}", "export_deposit_transaction", owner, amount, BLOCKHASH)
        case(f"solana/withdraw_tx/{i}_{amount}", "export_withdraw_intent_transaction", owner, amount, HASH)
        case(f"solana/deposit_ix/{i}_{amount}", "build_deposit_instruction", owner, amount)
        case(f"solana/withdraw_ix/{i}_{amount}", "build_withdraw_intent_instruction", owner, amount)
# Owner encodings at the edges of the curve test: small-order points, x = 0
# with the sign bit, y >= p, and two points just off the curve.
P25519 = 2**255 - 19


def y_encoding(y, sign=False):
    raw = bytearray(y.to_bytes(32, "little"))
    raw[31] |= 0x80 if sign else 0
    return bytes(raw)


EDGE_OWNERS = ([y_encoding(y, s) for y in (0, 1, P25519 - 1) for s in (False, True)]
               + [y_encoding(P25519 + k, s) for k in range(19) for s in (False, True)]
               + [y_encoding(y, s) for y in range(2, 40) for s in (False, True)]
               + [bytes.fromhex("26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05"),
                  bytes.fromhex("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa")])
for raw in EDGE_OWNERS:
    case(f"solana/owner_edge/{raw.hex()}", "build_withdraw_intent_instruction", b58(raw), 3)
case("solana/deposit_tx/keywords", "export_deposit_transaction", recent_blockhash=HASH, amount=5, owner=WALLET)

# ---- validation, Keypair, Signer objects

for k, text in {"valid": A, "zero_key": b58(bytes(32)), "short": b58(bytes(31)), "long": b58(bytes(33)), "empty": "",
                "bad_char": "0" + A[1:], "unicode": "\u20ac", "spaces": " " + A}.items():
    case(f"validate/pubkey/{k}", "validate_pubkey", text)
    case(f"validate/hash/{k}", "validate_hash", text)
for k, seed in {"seed1": SEED, "seed2": SEED2, "zeros": bytes(32)}.items():
    full = seed + bytes(nacl.signing.SigningKey(seed).verify_key)
    for member in ("to_base58", "to_bytes", "secret_key", "__repr__", "__str__"):
        case(f"keypair/{k}/{member}", "Keypair." + member, _on_keypair=full)
    case(f"keypair/{k}/pubkey", "Keypair.pubkey", _on_keypair=full, _prop=True)
    case(f"keypair/{k}/from_bytes_32", "Keypair.from_bytes", seed)
    case(f"keypair/{k}/from_bytes_64", "Keypair.from_bytes", full)
    case(f"keypair/{k}/from_base58", "Keypair.from_base58", b58(full))
    case(f"keypair/{k}/init_bytes", "Keypair", seed)
    case(f"keypair/{k}/init_base58", "Keypair", b58(full))
    for d in ("mainnet", "testnet", "devnet"):
        case(f"signer/{k}/init_{d}", "Signer", vk.Keypair.from_bytes(full), d)
        case(f"signer/{k}/from_base58_{d}", "Signer.from_base58", b58(full), d)
    case(f"signer/{k}/pubkey", "Signer.pubkey", _on_signer=signer(seed=seed), _prop=True)
    case(f"signer/{k}/repr", "Signer.__repr__", _on_signer=signer("testnet", seed))
for strategy in ("timestamp", "counter", "high_frequency"):
    case(f"signer/with_nonce_manager/{strategy}", "Signer.with_nonce_manager", vk.Keypair.from_bytes(SEED), strategy,
         "mainnet")
for method in ("set_compute_order_id", "set_compute_batch_order_ids"):
    for value in (True, False):
        case(f"signer/flags/{method}/{value}", "Signer." + method, value, _on_signer=S)
    sign(f"error/signer/{method}_none", method, None)
for flags in ({}, {"order_id": False}, {"batch_ids": False}):
    name = "_".join(flags) or "defaults"
    case(f"signer/flags/{name}/order_id", "Signer.computes_order_id", _on_signer=signer(**flags))
    case(f"signer/flags/{name}/batch_ids", "Signer.computes_batch_order_ids", _on_signer=signer(**flags))

# ---- docstrings and text signatures of every public callable

for name in vk.__all__:
    members = [name]
    if isinstance(getattr(vk, name), type):
        members += [f"{name}.{m}" for m in vars(getattr(vk, name)) if not m.startswith("__")]
    for m in members:
        for attr in ("__doc__", "__text_signature__"):
            if hasattr(eval("vk." + m), attr):
                case(f"surface/{m}/{attr}", f"{m}.{attr}", _prop=True)
case("surface/module/__doc__", "__doc__", _prop=True)
case("surface/module/__all__", "__all__", _prop=True)

# ---------------------------------------------------------------- refusals

FULL1 = SEED + bytes(SIGNER_KEY.verify_key)
KP = vk.Keypair.from_bytes(FULL1)
BASE = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.1}
TO = CODE
TRL = {"type": "trl", "symbol": "X", "is_buy": True, "size": 1, "trail_bps": 10, "step_bps": 1}
TRIG = {"type": "trig", "symbol": "X", "is_buy": True, "trigger_price": 1, "actions": []}
RNG = {"type": "range", "symbol": "X", "is_buy": True, "size": 1, "pmin": 1, "pmax": 2}
STP = {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 2}


def without(d, *keys):
    return {k: v for k, v in d.items() if k not in keys}


BAD_ORDERS = {
    "no_type": {"symbol": "X"}, "type_case": dict(BASE, type="Order"), "type_space": dict(BASE, type=" order"),
    "type_int": {"type": 1}, "type_none": dict(BASE, type=None),
    "no_symbol": {"type": "order", "is_buy": 1, "price": "x"}, "no_is_buy": {"type": "order", "symbol": "X"},
    "no_price": {"type": "order", "symbol": "X", "is_buy": True, "size": "x"},
    "no_size": {"type": "order", "symbol": "X", "is_buy": True, "price": 1},
    "symbol_int": dict(BASE, symbol=5), "is_buy_int": dict(BASE, is_buy=1), "is_buy_none": dict(BASE, is_buy=None),
    "price_text": dict(BASE, price="1"), "price_none": dict(BASE, price=None), "size_list": dict(BASE, size=[1]),
    "size_object": dict(BASE, size=object()), "slippage_text": dict(BASE, slippage="x"),
    "slippage_on_limit": dict(BASE, slippage=0.01),
    "tif_fok": dict(BASE, order_type={"type": "limit", "tif": "FOK"}),
    "tif_lower_fok": dict(BASE, order_type={"type": "limit", "tif": "fok"}),
    "order_type_empty": dict(BASE, order_type={}), "order_type_case": dict(BASE, order_type={"type": "Market"}),
    "order_type_text": dict(BASE, order_type="limit"), "order_type_type_int": dict(BASE, order_type={"type": 1}),
    "order_type_first": dict(BASE, order_type={"type": "x"}, client_id="0", commission=1),
    "trigger_resting": dict(BASE, order_type={"type": "trigger", "is_market": False, "trigger_px": 5}),
    "client_id_short": dict(BASE, client_id=b58(bytes(31))), "client_id_bad": dict(BASE, client_id="1O"),
    "client_id_int": dict(BASE, client_id=5), "commission_renamed": dict(BASE, commission={"to": OID, "fee": 1}),
    "commission_none": dict(BASE, commission=None, builder_code={"to": OID, "fee": 1}),
    "builder_code_list": dict(BASE, builder_code=[TO, 1]), "builder_code_no_to": dict(BASE, builder_code={"fee": 1}),
    "builder_code_no_fee": dict(BASE, builder_code={"to": TO}), "builder_code_bad_to": dict(BASE, builder_code={"to": "0"}),
    "builder_code_short_to": dict(BASE, builder_code={"to": b58(bytes(31)), "fee": 1}),
    "builder_code_to_int": dict(BASE, builder_code={"to": 5, "fee": 1}),
    **{f"builder_code_fee_{f}": dict(BASE, builder_code={"to": TO, "fee": f}) for f in (0, 16, 255, 256, -1, 2**70)},
    "cancel_no_symbol": {"type": "cancel", "order_id": OID}, "cancel_no_id": {"type": "cancel", "symbol": "X"},
    "cancel_bad_id": {"type": "cancel", "symbol": "X", "order_id": "0"},
    "cancel_long_id": {"type": "cancel", "symbol": "X", "order_id": b58(bytes(33))},
    "modify_no_amount": {"type": "modify", "symbol": "X", "order_id": "0bad"},
    "modify_bad_id": {"type": "modify", "symbol": "X", "order_id": "0bad", "amount": 1},
    "modify_no_id": {"type": "modify", "symbol": "X", "amount": 1},
    "modify_id_int": {"type": "modify", "symbol": "X", "order_id": 7, "amount": 1},
    **{f"stop_no_{k}": without(STP, k) for k in ("symbol", "is_buy", "size", "trigger_price")},
    "range_no_pmin": without(RNG, "pmin"), "range_no_pmax": without(RNG, "pmax"),
    "trailing_no_trail": without(TRL, "trail_bps"), "trailing_no_step": without(TRL, "step_bps"),
    "trailing_negative": dict(TRL, trail_bps=-1), "trailing_too_big": dict(TRL, step_bps=2**32),
    "trailing_text": dict(TRL, trail_bps="5"), "trailing_float": dict(TRL, trail_bps=5.0),
    "basket_iso": dict(TRIG, iso=False), "basket_no_actions": without(TRIG, "actions"),
    "basket_tuple": dict(TRIG, actions=(BASE,)),
    "basket_bad_child": dict(TRIG, actions=[BASE, {"type": "order", "symbol": "X", "is_buy": True, "price": 1}]),
    "on_fill_no_trigger": {"type": "of", "actions": []}, "on_fill_no_actions": {"type": "of", "trigger": BASE},
    "on_fill_empty_trigger": {"type": "of", "trigger": {}, "actions": []},
    "on_fill_list_trigger": {"type": "of", "trigger": [BASE], "actions": []},
    "on_fill_cancel_trigger": {"type": "of", "trigger": CANCEL, "actions": []},
    "on_fill_attachment_empty": dict(BASE, on_fill={}),
    "on_fill_attachment_list": dict(BASE, on_fill=[STP]),
    "on_fill_attachment_bad_child": dict(BASE, on_fill={"actions": [{"type": "x"}]}),
    "on_fill_attachment_tuple": dict(BASE, on_fill={"actions": (STP,)}),
    "on_fill_attachment_bad_order": {"type": "order", "symbol": "X", "on_fill": {"actions": []}},
    "not_a_dict": [BASE], "text": "order", "none": None,
}
for k, o in BAD_ORDERS.items():
    sign(f"error/sign/{k}", "sign", o, nonce=1)
    case(f"error/prepare_order/{k}", "py_prepare_order", o, "mainnet", ACCT, nonce=1)
    case(f"error/order_id/{k}", "compute_order_id_from_order", o, 1, ACCT)
for k in ("no_type", "no_size", "trigger_resting", "builder_code_fee_0", "tif_fok", "cancel_bad_id"):
    sign(f"error/sign_all/{k}", "sign_all", [LIMIT] * 11 + [BAD_ORDERS[k]], base_nonce=1)
    sign(f"error/group/{k}", "sign_group", [LIMIT, BAD_ORDERS[k]], nonce=1)
    sign(f"error/orders_batch/{k}", "sign_orders_batch", [[LIMIT]] * 10 + [[CANCEL, BAD_ORDERS[k]]], base_nonce=1)
    case(f"error/prepare_all/{k}", "py_prepare_all_orders", [LIMIT] * 12 + [BAD_ORDERS[k]], "mainnet", ACCT,
         base_nonce=1)
    case(f"error/prepare_group/{k}", "py_prepare_order_group", [BAD_ORDERS[k], LIMIT], "mainnet", ACCT, nonce=1)

COMPACT_ERRORS = {
    "l_empty": {"l": {}}, "l_no_b": {"l": {"c": "X"}}, "l_no_px": {"l": {"c": "X", "b": True}},
    "l_no_sz": {"l": {"c": "X", "b": True, "px": 1}}, "l_commission": {"l": {"c": "X", "b": True, "px": 1, "sz": 1,
                                                                            "commission": 1}},
    "l_bad_cloid": {"l": {"c": "X", "b": True, "px": 1, "sz": 1, "cloid": "0"}},
    "l_bad_builder": {"l": {"c": "X", "b": True, "px": 1, "sz": 1, "builder_code": {"to": "0", "fee": 1}}},
    "l_list": {"l": [1]}, "l_symbol_int": {"l": {"c": 5, "b": True, "px": 1, "sz": 1}},
    "m_empty": {"m": {}}, "m_no_b": {"m": {"c": "X"}}, "m_no_sz": {"m": {"c": "X", "b": True}},
    "m_commission": {"m": {"c": "X", "b": True, "sz": 1, "commission": 1}},
    "m_slippage_text": {"m": {"c": "X", "b": True, "sz": 1, "slippage": "x"}},
    "cx_empty": {"cx": {}}, "cx_no_oid": {"cx": {"c": "X"}}, "mod_empty": {"mod": {}}, "mod_no_oid": {"mod": {"c": "X"}},
    "mod_no_sz": {"mod": {"c": "X", "oid": "bad0"}}, "mod_bad_oid": {"mod": {"c": "X", "oid": "bad0", "sz": 1}},
    "both_l_and_m": {"l": {"c": "X", "b": True, "px": 1, "sz": 1}, "m": {"c": "X", "b": True, "sz": 1}},
}
for k, o in COMPACT_ERRORS.items():
    case(f"error/order_id_compact/{k}", "compute_order_id_from_order", o, 1, ACCT)
BAD_COMPACT = {"empty": {}, "two_keys": {"l": {}, "m": {}}, "unknown": {"x": {}}, "limit_no_px": {"l": {"c": "X", "b": True, "sz": 1}},
               "limit_bad_tif": {"l": {"c": "X", "b": True, "px": 1, "sz": 1, "tif": "FOK"}},
               "cancel_bad_oid": {"cx": {"c": "X", "oid": "0"}}, "cxa_text": {"cxa": {"c": "X"}},
               "market_fee": {"m": {"c": "X", "b": True, "sz": 1, "builder_code": {"to": TO, "fee": 0}}}}
for k, o in BAD_COMPACT.items():
    case(f"error/order_id_compact/{k}", "compute_order_id_from_order", o, 1, ACCT)
for k, args in {"nonce_negative": (LIMIT, -1, ACCT), "nonce_big": (LIMIT, 2**64, ACCT), "account_bad": (LIMIT, 1, "0"),
                "account_short": (LIMIT, 1, b58(bytes(31))), "account_int": (LIMIT, 1, 5), "order_list": ([], 1, ACCT)}.items():
    case(f"error/order_id_args/{k}", "compute_order_id_from_order", *args)
for k, arg in {"text": "abc", "int": 5, "none": None, "list": [1, 2]}.items():
    case(f"error/compute_order_id/{k}", "compute_order_id", arg)

# Arguments of the Signer methods.
SIGNER_ERRORS = {
    "approve_fee_0": ("sign_approve_builder_code", (A, 0), {}), "approve_fee_16": ("sign_approve_builder_code", (A, 16), {}),
    "approve_fee_256": ("sign_approve_commission_fee", (A, 256), {}),
    "approve_fee_negative": ("sign_approve_commission_fee", (A, -1), {}),
    "approve_fee_text": ("sign_approve_commission_fee", (A, "1"), {}),
    "oracle_empty": ("sign_oracle_prices", ([],), {}), "pyth_empty": ("sign_pyth_oracle", ((),), {}),
    "pyth_exponent_high": ("sign_pyth_oracle", ([(1, 2, 3, 32768)],), {}),
    "pyth_exponent_low": ("sign_pyth_oracle", ([(1, 2, 3, -32769)],), {}),
    "pyth_short": ("sign_pyth_oracle", ([()],), {}),
    "settings_text": ("sign_user_settings", ("BTC-USD",), {}),
    "settings_triple": ("sign_user_settings", ([("BTC-USD", 1, 2)],), {}),
    "settings_list_pair": ("sign_user_settings", ([["BTC-USD", 1]],), {}),
    "settings_int": ("sign_user_settings", (5,), {}), "settings_int_key": ("sign_user_settings", ([(1, 2)],), {}),
    "oracle_pair": ("sign_oracle_prices", ([(1, "BTC-USD")],), {}),
    "oracle_text_time": ("sign_oracle_prices", ([("1", "BTC-USD", 1.0)],), {}),
    "oracle_negative_time": ("sign_oracle_prices", ([(-1, "BTC-USD", 1.0)],), {}),
    "transfer_kind_case": ("sign_transfer", (A, B, 1), {"kind": "Internal"}),
    "transfer_kind_empty": ("sign_transfer", (A, B, 1), {"kind": ""}),
    "transfer_kind_int": ("sign_transfer", (A, B, 1), {"kind": 1}),
    "transfer_amount_text": ("sign_transfer", ("0", "0", "x"), {}),
    "transfer_short_key": ("sign_transfer", (A, b58(bytes(31)), 1), {}),
    "liquidator_list": ("sign_update_liquidator_config", ([],), {}),
    "liquidator_tuple": ("sign_update_liquidator_config", ({"instruments": ({"symbol": "A"},)},), {}),
    "liquidator_none": ("sign_update_liquidator_config", ({"instruments": None},), {}),
    "liquidator_text_item": ("sign_update_liquidator_config", ({"instruments": ["A"]},), {}),
    "liquidator_no_symbol": ("sign_update_liquidator_config", ({"instruments": [{"symbol": "A"}, {"reserve": 1}]},), {}),
    "liquidator_symbol_none": ("sign_update_liquidator_config", ({"instruments": [{"symbol": None}]},), {}),
    "liquidator_nonce_first": ("sign_update_liquidator_config", ("not a dict",), {"nonce": -1}),
    "agent_delete_int": ("sign_agent_wallet", ("bad0", 1), {}),
    "agent_nonce_negative": ("sign_agent_wallet", ("bad0", True), {"nonce": -1}),
    "agent_bad_key": ("sign_agent_wallet", ("bad0", True), {}),
    "whitelist_none": ("sign_whitelist_faucet", ("0", None), {}),
    "remove_empty": ("sign_remove_sub_account", ("",), {}),
    "remove_int": ("sign_remove_sub_account", (5,), {}),
    "create_name_int": ("sign_create_sub_account", (5,), {}),
    "create_margin_text": ("sign_create_sub_account", ("a", "1"), {}),
    "faucet_nonce_big": ("sign_faucet", (), {"nonce": 2**64}),
    "faucet_nonce_float": ("sign_faucet", (), {"nonce": 1.0}),
    "faucet_extra": ("sign_faucet", (1, 2), {}), "faucet_keyword": ("sign_faucet", (), {"bogus": 1}),
    "sign_missing": ("sign", (), {}), "sign_twice": ("sign", (LIMIT,), {"order": LIMIT}),
    "sign_all_tuple": ("sign_all", ((LIMIT,),), {}), "sign_all_dict": ("sign_all", (LIMIT,), {}),
    "group_empty": ("sign_group", ([],), {}), "group_dict": ("sign_group", (LIMIT,), {}),
    "sign_order_empty": ("sign_order", ([],), {}),
    "batch_not_lists": ("sign_orders_batch", ([LIMIT],), {}), "batch_empty_inner": ("sign_orders_batch", ([[]],), {}),
    "bytes_text": ("sign_bytes", ("abc",), {}), "bytes_none": ("sign_bytes", (None,), {}),
    "flag_int": ("set_compute_order_id", (1,), {}),
    "prepared_none": ("sign_prepared", (None,), {}), "prepared_empty": ("sign_prepared", ({},), {}),
    "wallet_none": ("sign_wallet_prepared", (None,), {}), "wallet_empty": ("sign_wallet_prepared", ({},), {}),
}
for k, (method, args, kwargs) in SIGNER_ERRORS.items():
    sign(f"error/signer/{k}", method, *args, **kwargs)

# Arguments of the preparation functions, including the order they are read in.
PREPARE_ERRORS = {
    "order_domain_first": ("py_prepare_order", (42, "Mainnet", ACCT), {}),
    "order_bad_account": ("py_prepare_order", (LIMIT, "mainnet", "0" + ACCT[1:]), {}),
    "order_short_signer": ("py_prepare_order", (LIMIT, "mainnet", ACCT, b58(b"\x05" * 31)), {}),
    "order_int": ("py_prepare_order", (42, "mainnet", ACCT), {}),
    "order_domain_int": ("py_prepare_order", (LIMIT, 1, ACCT), {}),
    "order_domain_empty": ("py_prepare_order", (LIMIT, "", ACCT), {}),
    "order_nonce_negative": ("py_prepare_order", (LIMIT, "mainnet", ACCT), {"nonce": -1}),
    "order_nonce_big": ("py_prepare_order", (LIMIT, "mainnet", ACCT), {"nonce": 2**64}),
    "order_missing_account": ("py_prepare_order", (LIMIT, "mainnet"), {}),
    "order_too_many": ("py_prepare_order", (LIMIT, "mainnet", ACCT, None, None, None), {}),
    "order_keyword": ("py_prepare_order", (LIMIT, "mainnet", ACCT), {"bogus": 1}),
    "all_orders_tuple": ("py_prepare_all_orders", ((LIMIT,), "mainnet", ACCT), {}),
    "precedence_all_orders_dict": ("py_prepare_all_orders", ({}, "", ""), {}),
    "group_empty": ("py_prepare_order_group", ([], "mainnet", ACCT), {"nonce": 1}),
    "group_dict": ("py_prepare_order_group", (LIMIT, "mainnet", ACCT), {"nonce": 1}),
    "precedence_group_dict": ("py_prepare_order_group", ({}, "", ""), {}),
    "precedence_revoke_builder": ("py_prepare_revoke_builder_code", (1, "", ""), {}),
    "precedence_revoke_commission": ("py_prepare_revoke_commission_fee", (1, "", ""), {}),
    "precedence_remove": ("py_prepare_remove_sub_account", (1, "", ""), {}),
    "approve_fee_0": ("py_prepare_approve_builder_code", (B, 0, "mainnet", ACCT), {}),
    "approve_fee_16": ("py_prepare_approve_commission_fee", (B, 16, "mainnet", ACCT), {}),
    "approve_fee_256": ("py_prepare_approve_commission_fee", (B, 256, "mainnet", ACCT), {}),
    "approve_bad_key": ("py_prepare_approve_builder_code", ("0", 1, "mainnet", ACCT), {}),
    "agent_delete_int": ("py_prepare_agent_wallet_auth", (A, 1, "mainnet", ACCT), {}),
    "agent_bad_domain": ("py_prepare_agent_wallet_auth", (A, True, "main", ACCT), {}),
    "liquidator_list": ("py_prepare_update_liquidator_config", ([], "mainnet", ACCT), {}),
    "faucet_bad_account": ("py_prepare_faucet_request", ("mainnet", "xyz0"), {}),
    "faucet_domain_none": ("py_prepare_faucet_request", (None, ACCT), {}),
    "create_name_int": ("py_prepare_create_sub_account", (5, "mainnet", ACCT), {}),
    "create_margin_text": ("py_prepare_create_sub_account", ("a", "mainnet", ACCT, "x"), {}),
    "transfer_kind": ("py_prepare_transfer", (A, B, 1, "mainnet", ACCT, "Internal"), {}),
    "transfer_amount_text": ("py_prepare_transfer", (A, B, "1", "mainnet", ACCT), {}),
    "transfer_bad_from": ("py_prepare_transfer", ("0", B, 1, "mainnet", ACCT), {}),
}
for k, (fn, args, kwargs) in PREPARE_ERRORS.items():
    case(f"error/prepare/{k}", fn, *args, **kwargs)

# Wallet modes and finalisation.
P = PREPARED["limit_gtc"]
RAW, OFF, B58W = WALLETS["limit_gtc", "raw"], WALLETS["limit_gtc", "offchain"], WALLETS["limit_gtc", "base58"]
flipped = bytearray(OFF["message_bytes"])
flipped[-2] ^= 1
WALLET_ERRORS = {
    **{f"mode_{i}": (P, m) for i, m in enumerate(("RAW", "Raw", "raw ", "", "off-chain", "hex"))},
    "mode_int": (P, 0), "prepared_list": ([P], "raw"), "prepared_none": (None, "raw"),
    "no_nonce": (without(P, "nonce"), "RAW"), "no_account": (without(P, "account"), "raw"),
    "no_actions": (without(P, "actions"), "raw"), "no_bytes": (without(P, "message_bytes"), "raw"),
    "no_signer": (without(P, "signer"), "raw"),
    **{f"{m}_other_account": (dict(P, account=A), m) for m in ("raw", "base58", "offchain")},
    **{f"{m}_other_nonce": (dict(P, nonce=NONCE + 1), m) for m in ("raw", "offchain")},
    **{f"{m}_bad_domain": (dict(P, message_bytes=P["message_bytes"][:-1] + b"\x04"), m) for m in ("raw", "offchain")},
    **{f"{m}_no_suffix": (dict(P, message_bytes=P["message_bytes"][:40]), m) for m in ("raw", "offchain")},
    **{f"{m}_empty_actions": (dict(P, actions=[]), m) for m in ("raw", "offchain")},
    "other_actions": (dict(P, actions=PREPARED["market"]["actions"]), "raw"),
    "nonce_text": (dict(P, nonce="1"), "raw"), "bytes_text": (dict(P, message_bytes="abc"), "raw"),
    "signer_bad": (dict(P, signer="0"), "offchain"), "account_bad": (dict(P, account="0"), "raw"),
}
for k, args in WALLET_ERRORS.items():
    case(f"error/wallet/{k}", "prepare_wallet_message", *args)
SIG = wsig(RAW["message_bytes"])
FINALIZE_ERRORS = {
    "not_dict": ([RAW], "1"), "empty": ({}, "1"), "mode_only": ({"signature_mode": "raw"}, "1"),
    "prepared_int": ({"prepared": 5}, "1"), "prepared_int_mode": ({"prepared": 5, "signature_mode": "raw"}, "1"),
    "prepared_empty": ({"prepared": {}, "signature_mode": "RAW"}, "1"),
    "mode_case": (dict(RAW, signature_mode="RAW"), "1"), "mode_none": (dict(RAW, signature_mode=None), "1"),
    "no_bytes": (without(RAW, "message_bytes"), "1"), "bytes_text": (dict(RAW, message_bytes="abc"), "1"),
    "text_bytes": (dict(RAW, clear_sign_message=b"text"), "1"),
    "sig_bad_char": (RAW, "0"), "sig_short": (RAW, "2"), "sig_int": (RAW, 5),
    "sig_other_message": (RAW, wsig(b"other")),
    "sig_over_raw_b58": (B58W, wsig(P["message_bytes"])), "sig_over_raw_off": (OFF, wsig(P["message_bytes"])),
    "flipped": (dict(OFF, message_bytes=bytes(flipped)), wsig(bytes(flipped))),
    "off_text_none": (dict(OFF, clear_sign_message=None), wsig(OFF["message_bytes"])),
    "off_text_changed": (dict(OFF, clear_sign_message=OFF["clear_sign_message"] + " "), wsig(OFF["message_bytes"])),
    "off_text_missing": (without(OFF, "clear_sign_message"), wsig(OFF["message_bytes"])),
    "raw_with_text": (dict(RAW, clear_sign_message="text"), SIG),
    "raw_as_base58": (dict(RAW, signature_mode="base58"), SIG),
    "base58_as_raw": (dict(B58W, signature_mode="raw"), wsig(B58W["message_bytes"])),
    "raw_longer": (dict(RAW, message_bytes=RAW["message_bytes"] + b"\x00"), wsig(RAW["message_bytes"] + b"\x00")),
}
for k, args in FINALIZE_ERRORS.items():
    case(f"error/finalize_wallet/{k}", "finalize_wallet_message", *args)
# Shapes of the prepared dict that the reader accepts.
PSIG = wsig(P["message_bytes"])
for k, prepared in {"actions_tuple": dict(P, actions=tuple(P["actions"])),
                    "bytes_list": dict(P, message_bytes=list(P["message_bytes"])),
                    "bytes_tuple": dict(P, message_bytes=tuple(P["message_bytes"])),
                    "order_ids_none": dict(P, order_ids=None),
                    "encodings_ignored": dict(P, message_base58="ignored", message_base64=None, message_hex=0),
                    "minimal": {k: P[k] for k in ("actions", "message_bytes", "account", "signer", "nonce")},
                    "ids_taken_over": dict(P, order_id="anything", order_ids=("a", "b")),
                    "odd_actions": dict(P, actions=[{"z": [1, -2, 2**63, 1.0, None, True, "\u00e9"]}])}.items():
    case(f"finalize/reader/{k}", "py_finalize_transaction", prepared, PSIG)
for k, args in {"nonce_changed": (dict(P, nonce=NONCE + 1), PSIG), "signer_changed": (dict(P, signer=A), PSIG),
                "network_zero": (dict(P, message_bytes=P["message_bytes"][:-1] + b"\x00"), PSIG),
                "suffix_missing": (dict(P, message_bytes=P["message_bytes"][-40:]), PSIG),
                "actions_empty": (dict(P, actions=[]), "0" * 10), "sig_long": (dict(P, account="broken"), "2" * 89),
                "sig_letter_o": (P, "O" * 87)}.items():
    case(f"error/finalize_transaction/{k}", "py_finalize_transaction", *args)
for k, ids in {"int": 5, "ints": [1], "text": "abc", "tuple_ints": (1, 2)}.items():
    case(f"error/finalize_transaction/order_ids_{k}", "py_finalize_transaction", dict(P, order_ids=ids), PSIG)
    w = dict(RAW, prepared=dict(RAW["prepared"], order_ids=ids))
    case(f"error/finalize_wallet/order_ids_{k}", "finalize_wallet_message", w, SIG)
for k, args in {"not_dict": ([P], SIG), "empty": ({}, SIG), "sig_bad": (P, "0OIl"), "sig_short": (P, "2"),
                "sig_wrong": (P, wsig(b"x")), "sig_none": (P, None), "other_account": (dict(P, account=A), SIG),
                "bad_domain": (dict(P, message_bytes=P["message_bytes"][:-1] + b"\x09"), SIG),
                "no_signer": (without(P, "signer"), SIG)}.items():
    case(f"error/finalize_transaction/{k}", "py_finalize_transaction", *args)
for k, (arg, s) in {"other_network": (OFF, signer("testnet", SEED2)), "other_key": (OFF, signer(seed=b"\x01" * 32)),
                    "text_none": (dict(OFF, clear_sign_message=None), signer(seed=SEED2)),
                    "mode_case": (dict(OFF, signature_mode="OFFCHAIN"), signer(seed=SEED2))}.items():
    case(f"error/sign_wallet_prepared/{k}", "Signer.sign_wallet_prepared", arg, _on_signer=s)
for k, (arg, s) in {"other_key": (P, S), "other_network": (P, signer("devnet", SEED2)),
                    "tampered": (dict(P, nonce=1), signer(seed=SEED2))}.items():
    case(f"error/sign_prepared/{k}", "Signer.sign_prepared", arg, _on_signer=s)

# Solana.
SOLANA_ERRORS = {
    "owner_bad": ("0", 1), "owner_short": (b58(bytes(31)), 1), "owner_off_curve": (OFF_CURVE, 1),
    "owner_int": (5, 1), "amount_negative": (WALLET, -1), "amount_big": (WALLET, 2**64), "amount_float": (WALLET, 1.5),
    "amount_text": (WALLET, "1"),
}
for k, args in SOLANA_ERRORS.items():
    case(f"error/solana/deposit_ix/{k}", "build_deposit_instruction", *args)
    case(f"error/solana/withdraw_ix/{k}", "build_withdraw_intent_instruction", *args)
    case(f"error/solana/deposit_tx/{k}", "export_deposit_transaction", *args, HASH)
for k, bh in {"bad": "0", "short": b58(bytes(31)), "int": 5, "empty": ""}.items():
    case(f"error/solana/deposit_tx/blockhash_{k}", "export_deposit_transaction", WALLET, 1, bh)
    case(f"error/solana/withdraw_tx/blockhash_{k}", "export_withdraw_intent_transaction", WALLET, 1, bh)

# Keypair, Signer, validation.
for k, arg in {"short": bytes(31), "middle": bytes(40), "long": bytes(65), "text_bad": "0OIl", "text_short": b58(bytes(10)),
               "int": 5, "mismatched": SEED + bytes(32)}.items():
    case(f"error/keypair/init_{k}", "Keypair", arg)
    case(f"error/keypair/from_bytes_{k}", "Keypair.from_bytes", arg)
    case(f"error/keypair/from_base58_{k}", "Keypair.from_base58", arg)
case("error/keypair/init_two", "Keypair", SEED, SEED)
case("error/keypair/init_keyword", "Keypair", key=SEED)
case("error/keypair/init_none", "Keypair", None)
case("error/keypair/init_bytearray", "Keypair", bytearray(SEED))
case("error/keypair/from_bytes_bytearray", "Keypair.from_bytes", bytearray(SEED))
case("error/keypair/from_base58_bytes", "Keypair.from_base58", b"abc")
case("error/keypair/from_base58_l", "Keypair.from_base58", "l11")
case("error/keypair/from_base58_domain_after_key", "Signer.from_base58", b58(b"abc"), "Mainnet")
# The binding's own messages for missing, surplus, unknown and repeated arguments.
BINDING = {
    "validate_missing": ("validate_pubkey", (), {}), "validate_two": ("validate_pubkey", ("a", "b"), {}),
    "validate_keyword": ("validate_pubkey", (), {"x": "a"}), "validate_twice": ("validate_pubkey", ("a",), {"s": "b"}),
    "order_id_missing_three": ("compute_order_id_from_order", (), {}),
    "order_id_missing_two": ("compute_order_id_from_order", ({},), {}),
    "order_id_four": ("compute_order_id_from_order", ({}, 1, "a", 4), {}),
    "wallet_missing_mode": ("prepare_wallet_message", ({},), {}),
    "wallet_keyword": ("prepare_wallet_message", ({},), {"modes": "raw"}),
    "deposit_missing": ("export_deposit_transaction", ("a", 1), {}),
    "deposit_ix_three": ("build_deposit_instruction", ("a", 1, "b"), {}),
    "random_hash_arg": ("random_hash", (1,), {}), "timestamp_keyword": ("current_timestamp", (), {"x": 1}),
    "from_bytes_missing": ("Keypair.from_bytes", (), {}),
    "signer_missing_domain": ("Signer", (KP,), {}), "signer_three": ("Signer", (KP, "mainnet", 1), {}),
    "signer_twice": ("Signer", (KP, "mainnet"), {"keypair": KP}),
    "prepare_too_many": ("py_prepare_faucet_request", ("mainnet", ACCT, None, None, None), {}),
    "finalize_missing": ("py_finalize_transaction", ({},), {}),
}
for k, (fn, args, kwargs) in BINDING.items():
    case(f"error/binding/{k}", fn, *args, **kwargs)
for k, (method, args, kwargs) in {"sign_base_nonce": ("sign", ({},), {"base_nonce": 1}),
                                  "sign_three": ("sign", ({}, 1, 2), {}), "transfer_missing": ("sign_transfer", ("a",), {}),
                                  "bytes_two": ("sign_bytes", (b"", b""), {}), "sign_order_missing": ("sign_order", (), {})}.items():
    sign(f"error/binding/signer_{k}", method, *args, **kwargs)
for k, args in {"domain_case": (KP, "Mainnet"), "domain_int": (KP, 1), "key_text": ("x", "mainnet"),
                "missing": (KP,), "none": (None, "mainnet")}.items():
    case(f"error/signer/init_{k}", "Signer", *args)
for k, args in {"domain": (b58(FULL1), "main"), "key": ("0", "mainnet"), "short": (b58(bytes(31)), "mainnet")}.items():
    case(f"error/signer/from_base58_{k}", "Signer.from_base58", *args)
for k, args in {"strategy": (KP, "Counter", "mainnet"), "strategy_first": (KP, "x", "Mainnet"), "domain": (KP, "counter", "x"),
                "strategy_int": (KP, 1, "mainnet")}.items():
    case(f"error/signer/with_nonce_manager_{k}", "Signer.with_nonce_manager", *args)
for fn in ("validate_pubkey", "validate_hash"):
    for k, arg in {"int": 5, "bytes": b"abc", "none": None}.items():
        case(f"error/{fn}/{k}", fn, arg)

# ---------------------------------------------------------------- the message behind each signature

PREPARE_OF = {"sign": "py_prepare_order", "sign_group": "py_prepare_order_group",
              "sign_order": "py_prepare_order_group", "sign_faucet": "py_prepare_faucet_request",
              "sign_agent_wallet": "py_prepare_agent_wallet_auth",
              "sign_approve_builder_code": "py_prepare_approve_builder_code",
              "sign_approve_commission_fee": "py_prepare_approve_commission_fee",
              "sign_revoke_builder_code": "py_prepare_revoke_builder_code",
              "sign_revoke_commission_fee": "py_prepare_revoke_commission_fee",
              "sign_update_liquidator_config": "py_prepare_update_liquidator_config",
              "sign_remove_sub_account": "py_prepare_remove_sub_account",
              "sign_create_sub_account": "py_prepare_create_sub_account", "sign_transfer": "py_prepare_transfer"}
DOMAINS = {"mainnet": 1, "testnet": 2, "devnet": 3}


def messages_of(c):
    """The messages a successful Signer case signed, each checked against its signature."""
    method = c["call"].split(".")[1]
    args, kwargs = dec(c["args"]), dec(c["kwargs"])
    domain, me = c["signer"]["domain"], vk.Keypair.from_bytes(bytes.fromhex(c["signer"]["secret"])).pubkey
    result = dec(c["result"])
    if method in ("sign_all", "sign_orders_batch"):
        items = args[0] if args else kwargs["orders" if method == "sign_all" else "batches"]
        fn = vk.py_prepare_all_orders if method == "sign_all" else None
        base = kwargs["base_nonce"]
        if fn:
            msgs = [p["message_bytes"] for p in fn([dict(o, on_fill=None) if "on_fill" in o else o for o in items],
                                                    domain, me, base_nonce=base)]
        else:
            msgs = [vk.py_prepare_order_group(b, domain, me, nonce=(base + i) % 2**64)["message_bytes"]
                    for i, b in enumerate(items)]
        sigs = [t["signature"] for t in result]
    elif method in ("sign_bytes", "sign_prepared", "sign_wallet_prepared", "__repr__") or not isinstance(result, dict):
        return None
    else:
        msg = rebuilt(method, args, kwargs, b58d(me), DOMAINS[domain])
        if msg is None:
            if method == "sign" and "on_fill" in (args[0] if args else kwargs["order"]):
                o = dict(args[0])
                del o["on_fill"]
                args = (o,)
            fn = getattr(vk, PREPARE_OF[method])
            names = list(__import__("inspect").signature(fn).parameters)
            bound = dict(zip([n for n in names if n not in ("signature_domain", "account", "signer")], args))
            bound.update(kwargs)
            bound.update(signature_domain=domain, account=me)
            msg = fn(**bound)["message_bytes"]
        msgs, sigs = [msg], [result["signature"]]
    key = nacl.signing.VerifyKey(b58d(me))
    for m, s in zip(msgs, sigs, strict=True):
        key.verify(m, b58d(s))
    return [{"$bytes": m.hex()} for m in msgs]


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "tests" / "golden")
    out.mkdir(parents=True, exist_ok=True)
    names = [c["name"] for c in CASES]
    assert len(names) == len(set(names)), "duplicate case names"
    files = {n: [] for n in ("actions", "edge", "wallet", "solana", "misc", "errors")}
    for c in CASES:
        c.update(run(c))
        try:  # a strict dump fails on NaN and infinities only, not on text that spells them
            json.dumps(c, allow_nan=False)
            nonfinite = False
        except ValueError:
            nonfinite = True
        if "error" in c:
            files["errors"].append(c)
        elif c["name"].startswith(("sign/", "prepare/")):
            if c["name"].startswith("sign/") and "signer" in c:
                try:
                    msgs = messages_of(c)
                except nacl.exceptions.BadSignatureError as e:
                    raise SystemExit(f"{c['name']}: signature does not verify over the rebuilt message") from e
                if msgs is not None:
                    c["messages"] = msgs
            files["edge" if nonfinite else "actions"].append(c)
        elif c["name"].startswith(("wallet/", "finalize/")):
            files["wallet"].append(c)
        elif c["name"].startswith("solana/"):
            files["solana"].append(c)
        else:
            files["misc"].append(c)
    for name, cases in files.items():
        with open(out / f"{name}.json", "w", encoding="utf-8") as f:
            json.dump(cases, f, indent=1, ensure_ascii=False, allow_nan=name != "actions")
            f.write("\n")
        print(f"{name}.json: {len(cases)} cases")


if __name__ == "__main__":
    main()
