#!/usr/bin/env python3
"""Re-record the module's outputs in tests/golden/*.json (tests/python/test_golden.py
replays them).

Usage: PYTHONPATH=<tree with the built module> python scripts/record_golden.py [OUT_DIR]

The files are their own case list: each case is a call on the module, given
by "name", "call" (a function, "Class.method" or "Class.attribute"), "args"
and "kwargs", with "signer" ({"secret": hex, "domain": ..., optional
"order_id" / "batch_ids" flags}) or "keypair" (secret hex) for a method of a
Signer or Keypair made from a fixed secret, and "property": true for an
attribute that is read, not called. The recorder drops every recorded outcome,
makes each call again and writes what it gives: {"result": value} or
{"error": [exception type name, message]}, and for a successful Signer case
"messages", the exact bytes each signature verifies over (taken from the
matching preparation or rebuilt from the record layout, and checked with an
independent Ed25519 verifier), so a signed case is a byte vector too (the
wheel test verifies over it). To add a case, append its call to any of the
files and re-record.

Values are plain JSON with a few tags: {"$bytes": hex}, {"$bytearray": hex},
{"$tuple": [...]}, {"$keypair": secret hex} (a Keypair.from_bytes), {"$signer":
repr}, {"$object": null} (a plain object()) and {"$dict": [[key, value], ...]}
for dicts whose keys are not text. Nonces are always explicit, so the files
are the same on every run.

Files: actions.json holds the successful signings and preparations whose
inputs and outputs are finite numbers (readable by a strict JSON reader);
edge.json the successful ones with NaN or infinite numbers; wallet.json,
solana.json and misc.json the other successes; errors.json the refusals. A
case stays where it is when re-recorded, except that one whose numbers are no
longer all finite moves from actions.json to edge.json.
"""

import inspect
import json
import struct
import sys
from pathlib import Path

import nacl.exceptions
import nacl.signing

from vorn_keychain import _native as vk

B58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"
FILES = ("actions", "edge", "wallet", "solana", "misc", "errors")
OUTCOMES = ("result", "error", "messages")


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


# ---------------------------------------------------------------- the message behind each signature

U = lambda fmt, *v: struct.pack("<" + fmt, *v)  # noqa: E731


def wstr(s: str) -> bytes:
    return U("Q", len(s.encode())) + s.encode()


def rebuilt(method, args, kwargs, account: bytes, domain: int):
    """The signing message of the Signer methods that have no preparation, from the record layout."""
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
    return U("Q", len(recs)) + b"".join(recs) + U("Q", kwargs["nonce"]) + account + bytes([domain])


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
        base = kwargs["base_nonce"]
        if method == "sign_all":  # the signer's reader ignores on_fill attachments
            msgs = [p["message_bytes"] for p in vk.py_prepare_all_orders(
                [dict(o, on_fill=None) if "on_fill" in o else o for o in items], domain, me, base_nonce=base)]
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
                args = ({k: v for k, v in args[0].items() if k != "on_fill"},)
            fn = getattr(vk, PREPARE_OF[method])
            names = [n for n in inspect.signature(fn).parameters if n not in ("signature_domain", "account", "signer")]
            bound = dict(zip(names, args), **kwargs, signature_domain=domain, account=me)
            msg = fn(**bound)["message_bytes"]
        msgs, sigs = [msg], [result["signature"]]
    key = nacl.signing.VerifyKey(b58d(me))
    for m, s in zip(msgs, sigs, strict=True):
        key.verify(m, b58d(s))
    return [{"$bytes": m.hex()} for m in msgs]


def record(case):
    """The case's call with the outcome it gives now."""
    c = {k: v for k, v in case.items() if k not in OUTCOMES}
    c.update(run(c))
    if "result" in c and c["name"].startswith("sign/") and "signer" in c:
        try:
            msgs = messages_of(c)
        except nacl.exceptions.BadSignatureError as e:
            raise SystemExit(f"{c['name']}: signature does not verify over the rebuilt message") from e
        if msgs is not None:
            c["messages"] = msgs
    return c


def finite(case):
    try:  # a strict dump fails on NaN and infinities only, not on text that spells them
        json.dumps(case, allow_nan=False)
        return True
    except ValueError:
        return False


def main():
    golden = Path(__file__).resolve().parent.parent / "tests" / "golden"
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else golden
    files, seen = {name: [] for name in FILES}, set()
    for name in FILES:
        for case in json.loads((golden / f"{name}.json").read_text(encoding="utf-8")):
            assert case["name"] not in seen, f"duplicate case name {case['name']}"
            seen.add(case["name"])
            c = record(case)
            files["edge" if name == "actions" and not finite(c) else name].append(c)
    out.mkdir(parents=True, exist_ok=True)
    for name, recorded in files.items():
        with open(out / f"{name}.json", "w", encoding="utf-8") as f:
            json.dump(recorded, f, indent=1, ensure_ascii=False, allow_nan=name != "actions")
            f.write("\n")
        print(f"{name}.json: {len(recorded)} cases")


if __name__ == "__main__":
    main()
