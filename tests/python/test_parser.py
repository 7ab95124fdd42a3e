"""Order dicts as the binding reads them: values converted through Python
hooks, nesting depth, and refusals of values that only exist in Python (the
lenient JSON shapes and the exact refusals of JSON inputs are golden cases)."""

import pytest

from conftest import LIMIT, OTHER, raises
from vorn_keychain import _native as vk

STOP = {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 2}


def numpy_like_bool(value, with_slot=True):
    """An object whose type looks like NumPy's boolean scalar (module numpy, name bool_)."""
    return type("bool_", (), {"__module__": "numpy", **({"__bool__": lambda self: value} if with_slot else {})})()


Price = type("Price", (), {"__float__": lambda self: 123.5})


# Values that only exist in Python (the lenient JSON shapes are golden cases,
# sign/lenient/...): (order, path into its action JSON, value there).
@pytest.mark.parametrize("order,path,expected", [
    (dict(LIMIT, price=Price(), size=2), "l.px", 123.5), (dict(LIMIT, reduce_only=numpy_like_bool(True)), "l.r", True),
    (dict(LIMIT, is_buy=numpy_like_bool(False)), "l.b", False)])
def test_accepted_shapes(signer, order, path, expected):
    got = signer.sign(order, nonce=1)["actions"][0]
    for key in path.split("."):
        got = got[key]
    assert got == expected and type(got) is type(expected)


def test_reading_does_not_change_the_dict(signer):
    order = dict(LIMIT, order_type={"type": "limit", "tif": "alo"}, builder_code=None, on_fill={"actions": [STOP]})
    before = repr(order)
    signer.sign(order, nonce=1)
    vk.py_prepare_order(order, "mainnet", OTHER, nonce=1)
    vk.compute_order_id_from_order(order, 1, OTHER)
    assert repr(order) == before


def test_python_values_refused(signer):
    # A field of a dict is not an argument: the message does not claim one
    # (the refusals of JSON values are golden cases, error/sign/...).
    with raises(TypeError, "object of type 'bool_' does not define a '__bool__' conversion"):
        signer.sign(dict(LIMIT, is_buy=numpy_like_bool(True, with_slot=False)), nonce=1)


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
