"""Replay of the recorded outputs in tests/golden/*.json: every case is called
again and its whole result (dict keys and their order, bytes, exact floats,
int or float, list or tuple) or its exception type and message must be the
same. scripts/record_golden.py writes the files and documents the tags."""

import json
from pathlib import Path

import pytest

from conftest import dec, run, target

GOLDEN = Path(__file__).resolve().parent.parent / "golden"
CASES = {c["name"]: c for f in sorted(GOLDEN.glob("*.json")) for c in json.loads(f.read_text(encoding="utf-8"))}


def test_the_record_is_broad():
    assert {"sign", "prepare", "wallet", "finalize", "solana", "keypair", "signer", "error"} <= {
        name.split("/")[0] for name in CASES} and len(CASES) > 1000


@pytest.mark.parametrize("name", list(CASES))
def test_case(name):
    case = CASES[name]
    expected = {k: case[k] for k in ("result", "error") if k in case}
    # Compared as JSON text: key order, -0.0, 1 versus 1.0 and NaN all count.
    assert json.dumps(run(case)) == json.dumps(expected)


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
