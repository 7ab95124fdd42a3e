"""Replay of the recorded outputs in tests/golden/*.json: every case is called
again and its whole result (dict keys and their order, bytes, exact floats,
int or float, list or tuple) or its exception type and message must be the
same. scripts/record_golden.py writes the files and documents the tags."""

import json
from pathlib import Path

import pytest

from vorn_keychain import _native as vk

GOLDEN = Path(__file__).resolve().parent.parent / "golden"
CASES = {c["name"]: c for f in sorted(GOLDEN.glob("*.json")) for c in json.loads(f.read_text(encoding="utf-8"))}


def enc(v):
    t = type(v)
    if t in (bool, int, float, str, type(None)):
        return v
    if t in (bytes, bytearray):
        return {"$" + t.__name__: v.hex()}
    if t is tuple:
        return {"$tuple": [enc(x) for x in v]}
    if t is list:
        return [enc(x) for x in v]
    if t is dict:
        if all(type(k) is str and not k.startswith("$") for k in v):
            return {k: enc(x) for k, x in v.items()}
        return {"$dict": [[enc(k), enc(x)] for k, x in v.items()]}
    if t is vk.Keypair:
        return {"$keypair": v.secret_key().hex()}
    if t is vk.Signer:
        return {"$signer": repr(v)}
    raise AssertionError(f"unexpected result type {t}")


TAGS = {"$bytes": bytes.fromhex, "$bytearray": bytearray.fromhex, "$object": lambda _: object(),
        "$tuple": lambda x: tuple(dec(i) for i in x), "$dict": lambda x: {dec(k): dec(i) for k, i in x},
        "$keypair": lambda x: vk.Keypair.from_bytes(bytes.fromhex(x))}


def dec(v):
    if isinstance(v, list):
        return [dec(x) for x in v]
    if not isinstance(v, dict):
        return v
    if len(v) == 1 and next(iter(v)) in TAGS:
        (tag, x), = v.items()
        return TAGS[tag](x)
    return {k: dec(x) for k, x in v.items()}


def target(case):
    """The object and attribute name a case calls or reads."""
    path = case["call"].split(".")
    if "signer" in case:
        s = case["signer"]
        obj = vk.Signer(vk.Keypair.from_bytes(bytes.fromhex(s["secret"])), s["domain"])
        for flag, set_flag in (("order_id", obj.set_compute_order_id), ("batch_ids", obj.set_compute_batch_order_ids)):
            if flag in s:
                set_flag(s[flag])
    elif "keypair" in case:
        obj = vk.Keypair.from_bytes(bytes.fromhex(case["keypair"]))
    else:
        obj, path = vk, ["module"] + path
    for name in path[1:-1]:
        obj = getattr(obj, name)
    return obj, path[-1]


def outcome(case):
    obj, name = target(case)
    try:
        value = getattr(obj, name)
        if not case.get("property"):
            value = value(*dec(case["args"]), **dec(case["kwargs"]))
    except Exception as e:  # noqa: BLE001 - refusals are part of the record
        return {"error": [type(e).__name__, str(e)]}
    return {"result": enc(value)}


def test_the_record_is_broad():
    assert {"sign", "prepare", "wallet", "finalize", "solana", "keypair", "signer", "error"} <= {
        name.split("/")[0] for name in CASES} and len(CASES) > 1000


@pytest.mark.parametrize("name", list(CASES))
def test_case(name):
    case = CASES[name]
    expected = {k: case[k] for k in ("result", "error") if k in case}
    # Compared as JSON text: key order, -0.0, 1 versus 1.0 and NaN all count.
    assert json.dumps(outcome(case)) == json.dumps(expected)


def first_cases(readers=()):
    """For each callable its first successful and first refused case, as
    {(call, kind): {"result"|"error": case}}; the calls in `readers` get one
    entry per item kind of their first argument, the one with the most
    fields. Used by the sweeps."""
    out = {}
    for name, case in CASES.items():
        if case.get("property") or name.startswith(("surface/", "sign/bytes")):
            continue
        first = (dec(case["args"]) or [None])[0]
        kind = first.get("type", next(iter(first), None)) if isinstance(first, dict) else None
        slot = out.setdefault((case["call"], kind if case["call"] in readers else None), {})
        outcome = "result" if "result" in case else "error"
        if outcome not in slot or (case["call"] in readers
                                   and len(json.dumps(case["args"])) > len(json.dumps(slot[outcome]["args"]))):
            slot[outcome] = case
    return out


def call_of(case, drop_nonce=False):
    """The case's callable and its decoded arguments (explicit nonces dropped on request)."""
    obj, name = target(case)
    kwargs = {k: v for k, v in dec(case["kwargs"]).items() if not (drop_nonce and k in ("nonce", "base_nonce"))}
    return getattr(obj, name), dec(case["args"]), kwargs
