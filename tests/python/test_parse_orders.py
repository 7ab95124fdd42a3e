"""Order dicts in the simplified shape: which keys are read, in which order,
with which conversion, and the exact messages for bad input."""

import math

import pytest

from conftest import OID, b58encode, raises
from vorn_keychain import _native as vk

BASE = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.1}
TO = b58encode(b"\x33" * 32)
STOP = {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 2}
RANGE = {"type": "range", "symbol": "X", "is_buy": True, "size": 1, "pmin": 1, "pmax": 2}
TRAILING = {"type": "trl", "symbol": "X", "is_buy": True, "size": 1, "trail_bps": 10, "step_bps": 1}
BASKET = {"type": "trig", "symbol": "X", "is_buy": True, "trigger_price": 1, "actions": []}
BASE58_0 = "invalid base58: provided string contained invalid character '0' at byte 0"
FEE_RANGE = "invalid order: builder-code fee must be 1..=15 bps"


def numpy_like_bool(value, with_slot=True):
    """An object whose type looks like NumPy's boolean scalar (module numpy,
    name bool_), with or without a __bool__ slot."""
    ns = {"__module__": "numpy"}
    if with_slot:
        ns["__bool__"] = lambda self: value
    cls = type("bool_", (), ns)
    return cls()


def without(d, *keys):
    return {k: v for k, v in d.items() if k not in keys}


@pytest.fixture
def item(signer):
    def sign_one(order):
        return signer.sign(order, nonce=1)["actions"][0]
    return sign_one


# Orders refused with a ValueError: the first missing or malformed key, in
# reading order, decides the message.
VALUE_ERRORS = [
    ({"symbol": "X"}, "Missing 'type' field"),
    (dict(BASE, type="Order"), "Invalid item type: Order"),
    (dict(BASE, type=" order"), "Invalid item type:  order"),
    ({"type": "order", "is_buy": 1, "price": "x"}, "Missing 'symbol'"),
    ({"type": "order", "symbol": "X", "price": "x"}, "Missing 'is_buy'"),
    ({"type": "order", "symbol": "X", "is_buy": True, "size": "x"}, "Missing 'price'"),
    ({"type": "order", "symbol": "X", "is_buy": True, "price": 1}, "Missing 'size'"),
    (dict(BASE, order_type={"type": "limit", "tif": "FOK"}), "Invalid tif: FOK"),
    (dict(BASE, order_type={"type": "limit", "tif": "fok"}), "Invalid tif: fok"),
    (dict(BASE, order_type={}), "Missing order_type.type"),
    (dict(BASE, order_type={"type": "Market"}), "Invalid order_type: Market"),
    # The order type is read before the client id and the commission.
    (dict(BASE, order_type={"type": "x"}, client_id="0", commission=1), "Invalid order_type: x"),
    (dict(BASE, order_type={"type": "trigger", "is_market": False}),
     "invalid order: trigger orders are not supported by VORN API; use market"),
    (dict(BASE, client_id=b58encode(bytes(31))), "invalid hash length: expected 32 bytes, got 31"),
    (dict(BASE, client_id="1O"), "invalid base58: provided string contained invalid character 'O' at byte 1"),
    (dict(BASE, commission={"to": OID, "fee": 1}), "commission was renamed to builder_code"),
    (dict(BASE, commission=None, builder_code={"to": OID, "fee": 1}), "commission was renamed to builder_code"),
    ({"type": "cancel", "order_id": OID}, "Missing 'symbol'"),
    ({"type": "cancel", "symbol": "X"}, "Missing 'order_id'"),
    ({"type": "cancel", "symbol": "X", "order_id": "0"}, BASE58_0),
    # A modify reads its amount before the id's base58 is checked.
    ({"type": "modify", "symbol": "X", "order_id": "0bad"}, "Missing 'amount'"),
    ({"type": "modify", "symbol": "X", "order_id": "0bad", "amount": 1}, BASE58_0),
    ({"type": "modify", "symbol": "X", "amount": 1}, "Missing 'order_id'"),
    *[(without(STOP, key), f"Missing '{key}'") for key in ("symbol", "is_buy", "size", "trigger_price")],
    (without(RANGE, "pmin"), "Missing 'pmin'"),
    (without(RANGE, "pmax"), "Missing 'pmax'"),
    (without(TRAILING, "trail_bps"), "Missing 'trail_bps'"),
    (without(TRAILING, "step_bps"), "Missing 'step_bps'"),
    (dict(BASKET, iso=False), "trig.iso is not supported; remove the top-level iso field"),
    (without(BASKET, "actions"), "Missing 'actions'"),
    (dict(BASKET, actions=[BASE, {"type": "order", "symbol": "X", "is_buy": True, "price": 1}]), "Missing 'size'"),
    ({"type": "of", "actions": []}, "Missing 'trigger'"),
    ({"type": "of", "trigger": BASE}, "Missing 'actions'"),
    ({"type": "of", "trigger": {}, "actions": []}, "Missing 'type' field"),
    (dict(BASE, builder_code=[TO, 1]), "builder_code must be omitted or an object"),
    (dict(BASE, builder_code={"fee": 1}), "Missing builder_code.to"),
    (dict(BASE, builder_code={"to": TO}), "Missing builder_code.fee"),
    # The fee is read before the key is decoded.
    (dict(BASE, builder_code={"to": "0"}), "Missing builder_code.fee"),
    (dict(BASE, builder_code={"to": b58encode(bytes(31)), "fee": 1}), "invalid key length: expected 32, got 31"),
    *[(dict(BASE, builder_code={"to": TO, "fee": fee}), FEE_RANGE) for fee in (0, 16, 255)],
]

# Orders refused with a TypeError or OverflowError for a wrong Python value.
TYPE_ERRORS = [
    ([BASE], TypeError), ("order", TypeError), ({"type": 1}, TypeError),
    (dict(BASE, order_type="limit"), TypeError), (dict(BASE, order_type={"type": 1}), TypeError),
    (dict(BASE, client_id=5), TypeError),
    ({"type": "modify", "symbol": "X", "order_id": 7, "amount": 1}, TypeError),
    (dict(TRAILING, trail_bps=-1), OverflowError), (dict(TRAILING, step_bps=2**32), OverflowError),
    (dict(TRAILING, trail_bps="5"), TypeError), (dict(TRAILING, trail_bps=5.0), TypeError),
    (dict(BASKET, actions=(BASE,)), TypeError),
    ({"type": "of", "trigger": [BASE], "actions": []}, TypeError),
    (dict(BASE, builder_code={"to": TO, "fee": 256}), OverflowError),
    (dict(BASE, builder_code={"to": 5, "fee": 1}), TypeError),
]


class TestRefusals:
    @pytest.mark.parametrize("order,text", VALUE_ERRORS)
    def test_value_errors(self, signer, order, text):
        with raises(ValueError, text):
            signer.sign(order, nonce=1)

    @pytest.mark.parametrize("order,exc", TYPE_ERRORS)
    def test_type_errors(self, signer, order, exc):
        with pytest.raises(exc):
            signer.sign(order, nonce=1)

    @pytest.mark.parametrize("key,value", [("symbol", 5), ("is_buy", 1), ("is_buy", None), ("price", "1"),
                                           ("price", None), ("size", [1]), ("slippage", "x")])
    def test_field_types_name_no_argument(self, signer, key, value):
        with pytest.raises(TypeError) as e:
            signer.sign(dict(BASE, **{key: value}), nonce=1)
        assert "argument" not in str(e.value)

    def test_numpy_boolean_without_a_slot(self, signer):
        with raises(TypeError, "object of type 'bool_' does not define a '__bool__' conversion"):
            signer.sign(dict(BASE, is_buy=numpy_like_bool(True, with_slot=False)))


class TestAccepted:
    def test_minimal_order(self, item):
        assert item(BASE) == {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0, "r": False,
                                    "sz": 0.1, "tif": "GTC"}}

    def test_numbers_accept_int_and_float_conversions(self, item):
        class Price:
            def __float__(self):
                return 123.5
        assert item(dict(BASE, price=Price(), size=2))["l"]["px"] == 123.5
        assert item(dict(BASE, size=True))["l"]["sz"] == 1.0

    @pytest.mark.parametrize("changes,flags", [
        ({"reduce_only": 1}, (False, False)), ({"reduce_only": "true"}, (False, False)), ({"iso": None}, (False, False)),
        ({"reduce_only": True, "iso": True}, (True, True)),
        ({"reduce_only": numpy_like_bool(True)}, (True, False)), ({"reduce_only": numpy_like_bool(False)}, (False, False)),
    ])
    def test_lenient_flags(self, item, changes, flags):
        inner = item(dict(BASE, **changes))["l"]
        assert (inner["r"], inner["i"]) == flags

    def test_numpy_boolean_side(self, item):
        assert item(dict(BASE, is_buy=numpy_like_bool(False)))["l"]["b"] is False

    # Upper-casing follows the interpreter: a dotless i upper-cases to I.
    @pytest.mark.parametrize("tif,expected", [("alo", "ALO"), ("Ioc", "IOC"), ("GTC", "GTC"), (5, "GTC"),
                                              (None, "GTC"), ("\u0131oc", "IOC")])
    def test_time_in_force(self, item, tif, expected):
        assert item(dict(BASE, order_type={"type": "limit", "tif": tif}))["l"]["tif"] == expected
        assert item(dict(BASE, order_type={"type": "limit"}))["l"]["tif"] == "GTC"

    # Any value but False is a market flag; a bad trigger price is 0.0.
    @pytest.mark.parametrize("order_type", [{"type": "market"}, {"type": "trigger"},
                                            {"type": "trigger", "is_market": 0, "trigger_px": "x"},
                                            {"type": "trigger", "is_market": None}])
    def test_market_forms(self, item, order_type):
        assert "m" in item(dict(BASE, order_type=order_type))

    def test_keys_that_change_nothing(self, item, signer):
        assert item(dict(BASE, client_id=OID)) == item(BASE)
        assert signer.sign(dict(BASE, client_id=OID), nonce=4)["signature"] == signer.sign(BASE, nonce=4)["signature"]
        assert item(dict(BASE, extra=object(), trigger_price="x")) == item(BASE)
        assert item(dict(BASE, builder_code=None)) == item(BASE)
        assert item({"type": "cancel", "symbol": "X", "order_id": OID, "builder_code": 5}) == {
            "cx": {"c": "X", "oid": OID}}

    @pytest.mark.parametrize("symbols,expected", [(None, []), ("BTC-USD", []), (["A", 1], []), (("A", "B"), ["A", "B"])])
    def test_cancel_all_symbol_lists(self, item, symbols, expected):
        order = {"type": "cancel_all"} if symbols is None else {"type": "cancel_all", "symbols": symbols}
        assert item(order) == {"cxa": {"c": expected}}

    def test_lenient_numbers(self, item):
        assert item(dict(STOP, limit_price="x"))["st"]["lim"] is None
        assert item(dict(STOP, limit_price=None))["st"]["lim"] is None
        rng = item(dict(RANGE, lmin="x", lmax=3))["rng"]
        assert rng["lmin"] is None and rng["lmax"] == 3.0
        assert item(dict(TRAILING, trail_bps=2**32 - 1))["trl"]["trb"] == 2**32 - 1
        assert item(dict(TRAILING, limit_price="x"))["trl"]["lim"] is None

    def test_nested_items(self, item):
        nested = dict(BASKET, actions=[dict(BASKET, actions=[BASE])])
        assert item(nested)["trig"]["actions"][0]["trig"]["actions"][0]["l"]["c"] == "BTC-USD"
        # An empty child list parses; it has no order id.
        acct = b58encode(b"\x11" * 32)
        assert vk.compute_order_id_from_order({"type": "of", "trigger": BASE, "actions": []}, 1, acct) is None

    def test_builder_code_on_every_kind_that_carries_one(self, item):
        code = {"to": TO, "fee": 3}
        for order, key in ((dict(BASE, builder_code=code), "l"), (dict(STOP, type="tp", builder_code=code), "tp"),
                           (dict(RANGE, type="rng", builder_code=code), "rng"), (dict(TRAILING, builder_code=code), "trl")):
            assert item(order)[key]["builderCode"] == {"fee": 3, "to": TO}

    def test_parsing_does_not_change_the_dict(self, signer):
        order = dict(BASE, order_type={"type": "limit", "tif": "alo"}, builder_code=None)
        before = repr(order)
        signer.sign(order, nonce=1)
        assert repr(order) == before

    def test_nan_price_is_carried(self, signer):
        assert signer.sign(dict(BASE, price=math.nan), nonce=1)["actions"][0]["l"]["px"] is None


class TestNesting:
    @staticmethod
    def nested(levels):
        order = BASE
        for _ in range(levels - 1):
            order = {"type": "trig", "symbol": "X", "is_buy": True, "trigger_price": 1, "actions": [order]}
        return order

    def test_nesting_up_to_the_bound_is_signed(self, signer):
        order = self.nested(256)
        tx = signer.sign(order, nonce=1)
        depth, node = 0, tx["actions"][0]
        while "trig" in node:
            depth, node = depth + 1, node["trig"]["actions"][0]
        assert depth == 255 and "l" in node
        assert len(signer.sign_all([order] * 10, base_nonce=1)) == 10

    @pytest.mark.parametrize("levels", [257, 20000])
    def test_deeper_nesting_raises_instead_of_crashing(self, signer, levels):
        with raises(RecursionError, "maximum recursion depth exceeded while parsing an order"):
            signer.sign(self.nested(levels), nonce=1)
        on_fill = BASE
        for _ in range(levels):
            on_fill = {"type": "of", "trigger": BASE, "actions": [on_fill]}
        with pytest.raises(RecursionError):
            signer.sign_all([on_fill] * 10, base_nonce=1)
