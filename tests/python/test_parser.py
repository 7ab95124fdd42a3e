"""Order dicts as the binding reads them: the lenient shapes it accepts, values
converted through Python hooks, nesting depth, and refusals of values that
only exist in Python (the exact refusals of JSON inputs are golden cases)."""

import math

import pytest

from conftest import LIMIT, OID, OTHER, raises
from vorn_keychain import _native as vk

STOP = {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 2}
RANGE = {"type": "range", "symbol": "X", "is_buy": True, "size": 1, "pmin": 1, "pmax": 2}
TRAILING = {"type": "trl", "symbol": "X", "is_buy": True, "size": 1, "trail_bps": 10, "step_bps": 1}


def numpy_like_bool(value, with_slot=True):
    """An object whose type looks like NumPy's boolean scalar (module numpy, name bool_)."""
    return type("bool_", (), {"__module__": "numpy", **({"__bool__": lambda self: value} if with_slot else {})})()


Price = type("Price", (), {"__float__": lambda self: 123.5})

# (order, path into its action JSON, value there)
ACCEPTED = [
    (dict(LIMIT, price=Price(), size=2), "l.px", 123.5), (dict(LIMIT, size=True), "l.sz", 1.0),
    (dict(LIMIT, reduce_only=1), "l.r", False), (dict(LIMIT, reduce_only="true"), "l.r", False),
    (dict(LIMIT, iso=None), "l.i", False), (dict(LIMIT, reduce_only=numpy_like_bool(True)), "l.r", True),
    (dict(LIMIT, is_buy=numpy_like_bool(False)), "l.b", False), (dict(LIMIT, price=math.nan), "l.px", None),
    *[(dict(LIMIT, order_type={"type": "limit", "tif": tif}), "l.tif", want)
      for tif, want in (("alo", "ALO"), ("Ioc", "IOC"), (5, "GTC"), (None, "GTC"), ("\u0131oc", "IOC"))],
    (dict(LIMIT, order_type={"type": "limit"}), "l.tif", "GTC"),
    *[(dict(LIMIT, order_type=t), "m.c", "BTC-USD") for t in ({"type": "trigger"}, {"type": "trigger", "is_market": None},
                                                              {"type": "trigger", "is_market": 0, "trigger_px": "x"})],
    *[(({"type": "cancel_all"} if s is None else {"type": "cancel_all", "symbols": s}), "cxa.c", want)
      for s, want in ((None, []), ("BTC-USD", []), (["A", 1], []), (("A", "B"), ["A", "B"]))],
    (dict(STOP, limit_price="x"), "st.lim", None), (dict(STOP, limit_price=None), "st.lim", None),
    (dict(RANGE, lmin="x", lmax=3), "rng.lmin", None), (dict(RANGE, lmin="x", lmax=3), "rng.lmax", 3.0),
    (dict(TRAILING, trail_bps=2**32 - 1), "trl.trb", 2**32 - 1), (dict(TRAILING, limit_price="x"), "trl.lim", None),
    (dict(TRAILING, builder_code={"to": OTHER, "fee": 3}), "trl.builderCode", {"fee": 3, "to": OTHER}),
]


@pytest.mark.parametrize("order,path,expected", ACCEPTED)
def test_accepted_shapes(signer, order, path, expected):
    got = signer.sign(order, nonce=1)["actions"][0]
    for key in path.split("."):
        got = got[key]
    assert got == expected and type(got) is type(expected)


@pytest.mark.parametrize("extra", [{"client_id": OID}, {"extra": object(), "trigger_price": "x"},
                                   {"builder_code": None}])
def test_keys_that_change_nothing(signer, extra):
    assert signer.sign(dict(LIMIT, **extra), nonce=4) == signer.sign(LIMIT, nonce=4)


def test_reading_does_not_change_the_dict(signer):
    order = dict(LIMIT, order_type={"type": "limit", "tif": "alo"}, builder_code=None, on_fill={"actions": [STOP]})
    before = repr(order)
    signer.sign(order, nonce=1)
    vk.py_prepare_order(order, "mainnet", OTHER, nonce=1)
    vk.compute_order_id_from_order(order, 1, OTHER)
    assert repr(order) == before


@pytest.mark.parametrize("field,value,text", [
    ("is_buy", numpy_like_bool(True, with_slot=False),
     "object of type 'bool_' does not define a '__bool__' conversion"),
    ("size", object(), None), ("symbol", 5, None), ("is_buy", None, None), ("price", "1", None),
    ("slippage", "x", None)])
def test_python_values_refused(signer, field, value, text):
    with pytest.raises(TypeError) as e:
        signer.sign(dict(LIMIT, **{field: value}), nonce=1)
    # A field of a dict is not an argument: the message does not claim one.
    assert str(e.value) == text if text else "argument" not in str(e.value)


def nested(levels, leaf=LIMIT):
    for _ in range(levels - 1):
        leaf = {"type": "trig", "symbol": "X", "is_buy": True, "trigger_price": 1, "actions": [leaf]}
    return leaf


def test_nesting_up_to_the_bound_is_read(signer):
    depth, node = 0, signer.sign(nested(256), nonce=1)["actions"][0]
    while "trig" in node:
        depth, node = depth + 1, node["trig"]["actions"][0]
    assert depth == 255 and "l" in node
    assert len(signer.sign_all([nested(256)] * 10, base_nonce=1)) == 10


@pytest.mark.parametrize("levels", [257, 20000])
def test_deeper_nesting_raises_instead_of_crashing(signer, levels):
    with raises(RecursionError, "maximum recursion depth exceeded while parsing an order"):
        signer.sign(nested(levels), nonce=1)
    on_fill = LIMIT
    for _ in range(levels):
        on_fill = {"type": "of", "trigger": LIMIT, "actions": [on_fill]}
    for call in (lambda: signer.sign_all([on_fill] * 10, base_nonce=1),
                 lambda: vk.py_prepare_order_group([nested(levels)], "mainnet", OTHER, nonce=1)):
        with pytest.raises(RecursionError):
            call()
