"""Order dicts in the simplified shape: which keys are read, in which order,
with which conversion, and the exact messages for bad input."""

import math

import pytest

from conftest import b58encode, raises
from vorn_keychain import _native as vk

OID = b58encode(b"\xab" * 32)
BASE = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.1}


def numpy_like_bool(value, with_slot=True):
    """An object whose type looks like NumPy's boolean scalar (module numpy,
    name bool_), with or without a __bool__ slot."""
    ns = {"__module__": "numpy"}
    if with_slot:
        ns["__bool__"] = lambda self: value
    cls = type("bool_", (), ns)
    return cls()


@pytest.fixture
def item(signer):
    def sign_one(order):
        return signer.sign(order, nonce=1)["actions"][0]
    return sign_one


class TestItemType:
    def test_not_a_dict(self, signer):
        with pytest.raises(TypeError):
            signer.sign([BASE])
        with pytest.raises(TypeError):
            signer.sign("order")

    def test_missing_or_bad_type(self, signer):
        with raises(ValueError, "Missing 'type' field"):
            signer.sign({"symbol": "X"})
        with pytest.raises(TypeError):
            signer.sign({"type": 1})
        with raises(ValueError, "Invalid item type: Order"):
            signer.sign(dict(BASE, type="Order"))
        with raises(ValueError, "Invalid item type:  order"):
            signer.sign(dict(BASE, type=" order"))


class TestOrder:
    def test_minimal_order(self, item):
        assert item(BASE) == {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0, "r": False,
                                    "sz": 0.1, "tif": "GTC"}}

    def test_missing_keys_in_reading_order(self, signer):
        with raises(ValueError, "Missing 'symbol'"):
            signer.sign({"type": "order", "is_buy": 1, "price": "x"})
        with raises(ValueError, "Missing 'is_buy'"):
            signer.sign({"type": "order", "symbol": "X", "price": "x"})
        with raises(ValueError, "Missing 'price'"):
            signer.sign({"type": "order", "symbol": "X", "is_buy": True, "size": "x"})
        with raises(ValueError, "Missing 'size'"):
            signer.sign({"type": "order", "symbol": "X", "is_buy": True, "price": 1})

    def test_wrong_types(self, signer):
        for key, value in (("symbol", 5), ("is_buy", 1), ("is_buy", None), ("price", "1"), ("price", None),
                           ("size", [1]), ("slippage", "x")):
            with pytest.raises(TypeError) as e:
                signer.sign(dict(BASE, **{key: value}), nonce=1)
            assert "argument" not in str(e.value)

    def test_numbers_accept_int_and_float_conversions(self, item):
        class Price:
            def __float__(self):
                return 123.5
        assert item(dict(BASE, price=Price(), size=2))["l"]["px"] == 123.5
        assert item(dict(BASE, size=True))["l"]["sz"] == 1.0

    def test_lenient_flags(self, item):
        assert item(dict(BASE, reduce_only=1))["l"]["r"] is False
        assert item(dict(BASE, reduce_only="true"))["l"]["r"] is False
        assert item(dict(BASE, iso=None))["l"]["i"] is False
        assert item(dict(BASE, reduce_only=True, iso=True))["l"]["r"] is True
        assert item(dict(BASE, reduce_only=numpy_like_bool(True)))["l"]["r"] is True
        assert item(dict(BASE, reduce_only=numpy_like_bool(False)))["l"]["r"] is False

    def test_numpy_boolean_side(self, item, signer):
        assert item(dict(BASE, is_buy=numpy_like_bool(False)))["l"]["b"] is False
        with raises(TypeError, "object of type 'bool_' does not define a '__bool__' conversion"):
            signer.sign(dict(BASE, is_buy=numpy_like_bool(True, with_slot=False)))

    def test_time_in_force(self, item, signer):
        def tif(value):
            return item(dict(BASE, order_type={"type": "limit", "tif": value}))["l"]["tif"]
        assert tif("alo") == "ALO"
        assert tif("Ioc") == "IOC"
        assert tif("GTC") == "GTC"
        assert tif(5) == "GTC"
        assert tif(None) == "GTC"
        # Upper-casing follows the interpreter: a dotless i upper-cases to I.
        assert tif("\u0131oc") == "IOC"
        assert item(dict(BASE, order_type={"type": "limit"}))["l"]["tif"] == "GTC"
        with raises(ValueError, "Invalid tif: FOK"):
            signer.sign(dict(BASE, order_type={"type": "limit", "tif": "FOK"}))
        with raises(ValueError, "Invalid tif: fok"):
            signer.sign(dict(BASE, order_type={"type": "limit", "tif": "fok"}))

    def test_order_type_errors(self, signer):
        with pytest.raises(TypeError):
            signer.sign(dict(BASE, order_type="limit"))
        with raises(ValueError, "Missing order_type.type"):
            signer.sign(dict(BASE, order_type={}))
        with pytest.raises(TypeError):
            signer.sign(dict(BASE, order_type={"type": 1}))
        with raises(ValueError, "Invalid order_type: Market"):
            signer.sign(dict(BASE, order_type={"type": "Market"}))

    def test_order_type_is_read_before_client_id(self, signer):
        with raises(ValueError, "Invalid order_type: x"):
            signer.sign(dict(BASE, order_type={"type": "x"}, client_id="0", commission=1))

    def test_market_forms(self, item, signer):
        assert "m" in item(dict(BASE, order_type={"type": "market"}))
        assert "m" in item(dict(BASE, order_type={"type": "trigger"}))
        # Any value but False is a market flag; a bad trigger price is 0.0.
        assert "m" in item(dict(BASE, order_type={"type": "trigger", "is_market": 0, "trigger_px": "x"}))
        assert "m" in item(dict(BASE, order_type={"type": "trigger", "is_market": None}))
        with raises(ValueError, "invalid order: trigger orders are not supported by VORN API; use market"):
            signer.sign(dict(BASE, order_type={"type": "trigger", "is_market": False}))

    def test_client_id(self, item, signer):
        assert item(dict(BASE, client_id=OID)) == item(BASE)
        with pytest.raises(TypeError):
            signer.sign(dict(BASE, client_id=5))
        with raises(ValueError, "invalid hash length: expected 32 bytes, got 31"):
            signer.sign(dict(BASE, client_id=b58encode(bytes(31))))
        with raises(ValueError, "invalid base58: provided string contained invalid character 'O' at byte 1"):
            signer.sign(dict(BASE, client_id="1O"))

    def test_client_id_does_not_change_the_signature(self, signer):
        assert (signer.sign(dict(BASE, client_id=OID), nonce=4)["signature"]
                == signer.sign(BASE, nonce=4)["signature"])

    def test_commission_is_refused(self, signer):
        with raises(ValueError, "commission was renamed to builder_code"):
            signer.sign(dict(BASE, commission={"to": OID, "fee": 1}))
        with raises(ValueError, "commission was renamed to builder_code"):
            signer.sign(dict(BASE, commission=None, builder_code={"to": OID, "fee": 1}))

    def test_other_keys_are_ignored(self, item):
        assert item(dict(BASE, extra=object(), trigger_price="x")) == item(BASE)


class TestCancelAndModify:
    def test_cancel(self, signer):
        with raises(ValueError, "Missing 'symbol'"):
            signer.sign({"type": "cancel", "order_id": OID})
        with raises(ValueError, "Missing 'order_id'"):
            signer.sign({"type": "cancel", "symbol": "X"})
        with raises(ValueError, "invalid base58: provided string contained invalid character '0' at byte 0"):
            signer.sign({"type": "cancel", "symbol": "X", "order_id": "0"})

    def test_modify_reads_amount_before_checking_the_id(self, signer):
        with raises(ValueError, "Missing 'amount'"):
            signer.sign({"type": "modify", "symbol": "X", "order_id": "0bad"})
        with raises(ValueError, "invalid base58: provided string contained invalid character '0' at byte 0"):
            signer.sign({"type": "modify", "symbol": "X", "order_id": "0bad", "amount": 1})
        with pytest.raises(TypeError):
            signer.sign({"type": "modify", "symbol": "X", "order_id": 7, "amount": 1})
        with raises(ValueError, "Missing 'order_id'"):
            signer.sign({"type": "modify", "symbol": "X", "amount": 1})

    def test_cancel_all_symbol_lists(self, item):
        assert item({"type": "cancel_all"}) == {"cxa": {"c": []}}
        assert item({"type": "cancel_all", "symbols": "BTC-USD"}) == {"cxa": {"c": []}}
        assert item({"type": "cancel_all", "symbols": ["A", 1]}) == {"cxa": {"c": []}}
        assert item({"type": "cancel_all", "symbols": ("A", "B")}) == {"cxa": {"c": ["A", "B"]}}


class TestConditional:
    STOP = {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 2}

    def test_stop_keys(self, signer):
        for missing, text in (("symbol", "Missing 'symbol'"), ("is_buy", "Missing 'is_buy'"),
                              ("size", "Missing 'size'"), ("trigger_price", "Missing 'trigger_price'")):
            order = {k: v for k, v in self.STOP.items() if k != missing}
            with raises(ValueError, text):
                signer.sign(order)

    def test_stop_limit_price_not_a_number_is_none(self, item):
        assert item(dict(self.STOP, limit_price="x"))["st"]["lim"] is None
        assert item(dict(self.STOP, limit_price=None))["st"]["lim"] is None

    def test_range_keys(self, signer, item):
        base = {"type": "range", "symbol": "X", "is_buy": True, "size": 1, "pmin": 1, "pmax": 2}
        with raises(ValueError, "Missing 'pmin'"):
            signer.sign({k: v for k, v in base.items() if k != "pmin"})
        with raises(ValueError, "Missing 'pmax'"):
            signer.sign({k: v for k, v in base.items() if k != "pmax"})
        rng = item(dict(base, lmin="x", lmax=3))["rng"]
        assert rng["lmin"] is None and rng["lmax"] == 3.0

    def test_trailing_stop_integers(self, signer, item):
        base = {"type": "trl", "symbol": "X", "is_buy": True, "size": 1, "trail_bps": 10, "step_bps": 1}
        with raises(ValueError, "Missing 'trail_bps'"):
            signer.sign({k: v for k, v in base.items() if k != "trail_bps"})
        with raises(ValueError, "Missing 'step_bps'"):
            signer.sign({k: v for k, v in base.items() if k != "step_bps"})
        with pytest.raises(OverflowError):
            signer.sign(dict(base, trail_bps=-1))
        with pytest.raises(OverflowError):
            signer.sign(dict(base, step_bps=2**32))
        with pytest.raises(TypeError):
            signer.sign(dict(base, trail_bps="5"))
        with pytest.raises(TypeError):
            signer.sign(dict(base, trail_bps=5.0))
        assert item(dict(base, trail_bps=2**32 - 1))["trl"]["trb"] == 2**32 - 1
        assert item(dict(base, limit_price="x"))["trl"]["lim"] is None

    def test_trigger_basket(self, signer, item):
        base = {"type": "trig", "symbol": "X", "is_buy": True, "trigger_price": 1, "actions": []}
        with raises(ValueError, "trig.iso is not supported; remove the top-level iso field"):
            signer.sign(dict(base, iso=False))
        with raises(ValueError, "Missing 'actions'"):
            signer.sign({k: v for k, v in base.items() if k != "actions"})
        with pytest.raises(TypeError):
            signer.sign(dict(base, actions=(BASE,)))
        with raises(ValueError, "Missing 'size'"):
            signer.sign(dict(base, actions=[BASE, {"type": "order", "symbol": "X", "is_buy": True, "price": 1}]))
        nested = dict(base, actions=[dict(base, actions=[BASE])])
        assert item(nested)["trig"]["actions"][0]["trig"]["actions"][0]["l"]["c"] == "BTC-USD"

    def test_on_fill(self, signer):
        with raises(ValueError, "Missing 'trigger'"):
            signer.sign({"type": "of", "actions": []})
        with pytest.raises(TypeError):
            signer.sign({"type": "of", "trigger": [BASE], "actions": []})
        with raises(ValueError, "Missing 'actions'"):
            signer.sign({"type": "of", "trigger": BASE})
        with raises(ValueError, "Missing 'type' field"):
            signer.sign({"type": "of", "trigger": {}, "actions": []})
        # An empty child list parses; it has no order id.
        acct = b58encode(b"\x11" * 32)
        assert vk.compute_order_id_from_order({"type": "of", "trigger": BASE, "actions": []}, 1, acct) is None

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


class TestBuilderCode:
    TO = b58encode(b"\x33" * 32)

    def test_none_is_absent(self, item):
        assert item(dict(BASE, builder_code=None)) == item(BASE)

    def test_shape_errors(self, signer):
        with raises(ValueError, "builder_code must be omitted or an object"):
            signer.sign(dict(BASE, builder_code=[self.TO, 1]))
        with raises(ValueError, "Missing builder_code.to"):
            signer.sign(dict(BASE, builder_code={"fee": 1}))
        with raises(ValueError, "Missing builder_code.fee"):
            signer.sign(dict(BASE, builder_code={"to": self.TO}))
        with pytest.raises(OverflowError):
            signer.sign(dict(BASE, builder_code={"to": self.TO, "fee": 256}))
        with pytest.raises(TypeError):
            signer.sign(dict(BASE, builder_code={"to": 5, "fee": 1}))
        with raises(ValueError, "invalid key length: expected 32, got 31"):
            signer.sign(dict(BASE, builder_code={"to": b58encode(bytes(31)), "fee": 1}))

    @pytest.mark.parametrize("fee", [0, 16, 255])
    def test_fee_range_is_checked_by_the_commission_constructor(self, signer, fee):
        with raises(ValueError, "invalid order: builder-code fee must be 1..=15 bps"):
            signer.sign(dict(BASE, builder_code={"to": self.TO, "fee": fee}))

    def test_fee_is_read_before_the_key_is_decoded(self, signer):
        with raises(ValueError, "Missing builder_code.fee"):
            signer.sign(dict(BASE, builder_code={"to": "0"}))

    def test_accepted_on_every_kind_that_carries_one(self, item):
        code = {"to": self.TO, "fee": 3}
        for order, key in ((dict(BASE, builder_code=code), "l"),
                           ({"type": "tp", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 1,
                             "builder_code": code}, "tp"),
                           ({"type": "rng", "symbol": "X", "is_buy": True, "size": 1, "pmin": 1, "pmax": 2,
                             "builder_code": code}, "rng"),
                           ({"type": "trl", "symbol": "X", "is_buy": True, "size": 1, "trail_bps": 1,
                             "step_bps": 1, "builder_code": code}, "trl")):
            assert item(order)[key]["builderCode"] == {"fee": 3, "to": self.TO}

    def test_not_read_by_cancels(self, item):
        assert item({"type": "cancel", "symbol": "X", "order_id": OID, "builder_code": 5}) == {
            "cx": {"c": "X", "oid": OID}}


def test_parsing_does_not_change_the_dict(signer):
    order = dict(BASE, order_type={"type": "limit", "tif": "alo"}, builder_code=None)
    before = repr(order)
    signer.sign(order, nonce=1)
    assert repr(order) == before


def test_nan_price_is_carried(signer):
    assert signer.sign(dict(BASE, price=math.nan), nonce=1)["actions"][0]["l"]["px"] is None
