"""Batches are read in chunks while the pool signs: every result, and every
refusal, is what the one-at-a-time calls give."""

import gc
import json
import os

import pytest

from conftest import LIMIT, dec
from vorn_keychain import _native as vk

HERE = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(HERE, "..", "golden", "actions.json")) as f:
    # Every kind of order the golden cases sign one at a time.
    KINDS = [dec(c["args"][0]) for c in json.load(f) if c["call"] == "Signer.sign" and c["args"] and "result" in c]

# name -> (batch call, the same element alone with nonce base + i)
CALLS = {
    "sign_all": (lambda s, items, **kw: s.sign_all(items, **kw),
                 lambda s, item, nonce: s.sign(item, nonce=nonce)),
    "sign_orders_batch": (lambda s, items, **kw: s.sign_orders_batch([[x] for x in items], **kw),
                          lambda s, item, nonce: s.sign_group([item], nonce=nonce)),
    "py_prepare_all_orders": (lambda s, items, **kw: vk.py_prepare_all_orders(items, "mainnet", s.pubkey, **kw),
                              lambda s, item, nonce: vk.py_prepare_order(item, "mainnet", s.pubkey, nonce=nonce)),
}


def alone_outcome(signer, call, item, nonce):
    try:
        return CALLS[call][1](signer, item, nonce)
    except (ValueError, TypeError) as e:
        return type(e), str(e)


def batch_outcome(signer, call, items, **kw):
    try:
        return CALLS[call][0](signer, items, **kw)
    except (ValueError, TypeError) as e:
        return type(e), str(e)


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("n", [10, 37, 1000])
def test_results_equal_the_calls_one_at_a_time(signer, call, n):
    kinds = [k for k in KINDS if call != "py_prepare_all_orders" or "on_fill" not in k]
    items = [dict(kinds[i % len(kinds)], size=1 + i) for i in range(n)]
    base = 2**64 - 5  # the nonces wrap inside the batch
    got = CALLS[call][0](signer, items, base_nonce=base)
    assert got == [alone_outcome(signer, call, x, (base + i) % 2**64) for i, x in enumerate(items)]


SLIPPAGE_ON_LIMIT = dict(LIMIT, slippage=0.5)
RESTING_TRIGGER = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 1.0})
UNREADABLE = {"type": "order", "symbol": "BTC-USD"}


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("bad, first", [
    ({5: SLIPPAGE_ON_LIMIT, 25: RESTING_TRIGGER}, 5),   # the first refusal in input order wins
    ({3: SLIPPAGE_ON_LIMIT, 900: UNREADABLE}, 900),     # an unreadable element wins over any refusal
    ({999: UNREADABLE}, 999),                           # every element is read before anything is returned
    ({0: UNREADABLE, 500: dict(LIMIT, size="x")}, 0),
])
def test_the_first_failure_is_the_one_at_a_time_failure(signer, call, bad, first):
    items = [dict(LIMIT, price=100 + i) for i in range(1000)]
    for i, x in bad.items():
        items[i] = x
    expected = alone_outcome(signer, call, bad[first], 1)
    assert isinstance(expected, tuple)
    for _ in range(5):  # workers race; the answer must not
        assert batch_outcome(signer, call, items, base_nonce=1) == expected


@pytest.mark.parametrize("call", CALLS)
def test_a_bad_element_is_reported_before_a_later_bad_argument(signer, call):
    items = [LIMIT] * 20 + [UNREADABLE]
    expected = alone_outcome(signer, call, UNREADABLE, 1)
    assert batch_outcome(signer, call, items, base_nonce="x") == expected
    assert batch_outcome(signer, call, [LIMIT] * 20, base_nonce="x")[0] is TypeError
    if call == "py_prepare_all_orders":
        for later in (["nowhere", signer.pubkey], ["mainnet", "0"], ["mainnet", 7]):
            with pytest.raises(expected[0]) as raised:
                vk.py_prepare_all_orders(items, *later)
            assert str(raised.value) == expected[1]


def test_user_code_run_while_reading_can_run_a_batch_and_look_around_and_raise(signer):
    inner = []

    class Price:
        def __float__(self):
            inner.append(signer.sign_all([dict(LIMIT, price=7)] * 20, base_nonce=100))
            for o in gc.get_objects():  # no list still being filled is reachable
                if type(o) is list:
                    o[:]
            return 5.0

    class Broken:
        def __float__(self):
            raise RuntimeError("from user code")

    items = [dict(LIMIT, price=Price() if i % 100 == 0 else 5.0) for i in range(300)]
    assert signer.sign_all(items, base_nonce=1) == signer.sign_all([dict(LIMIT, price=5.0)] * 300, base_nonce=1)
    assert len(inner) == 3 and all(r == inner[0] and len(r) == 20 for r in inner)
    items[250] = dict(LIMIT, price=Broken())
    with pytest.raises(RuntimeError, match="from user code"):
        signer.sign_all(items, base_nonce=1)
