"""Signer.sign for every order kind: the action JSON, the order id, the key
order of the result, and the Ed25519 signature over the signing message,
which the tests rebuild byte by byte from the wire layout."""

import math

import pytest

from conftest import (
    LIMIT,
    LIMIT_JSON,
    MARKET,
    NONCE,
    OID,
    OID_BYTES,
    SIGNED_KEYS,
    b58decode,
    b58encode,
    cancel_all,
    cancel_order,
    fixed,
    limit_order,
    market_order,
    message,
    modify_order,
    on_fill,
    order_id,
    raises,
    range_oco,
    stop_like,
    string,
    trailing_stop,
    trigger_basket,
    u32,
    u64,
    verifies,
)
from vorn_keychain import _native as vk

BUILDER = bytes([0x33]) * 32
CODE = b58encode(BUILDER)
LIMIT_RECORD = limit_order("BTC-USD", True, 100000, 0.25)
MARKET_CANONICAL = u32(0) + string("ETH-USD") + b"\x00" + fixed(1.5) + b"\x00\x00"
STOP = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.25, "trigger_price": 95000}
STOP_JSON = {"st": {"c": "BTC-USD", "d": False, "i": False, "lim": None, "sz": 0.25, "tr": 95000.0}}


def check(signer, tx, records, account, nonce=NONCE, wv=0, domain=1):
    msg = message(records, nonce, account, domain=domain, wv=wv)
    assert verifies(signer.pubkey, msg, tx["signature"]), "signature does not verify over the rebuilt message"
    assert tx["nonce"] == nonce
    assert tx["account"] == tx["signer"] == signer.pubkey


# Orders with an order id: the order, its JSON, its record, the message format
# and the canonical record of the id.
WITH_ID = {
    "limit": (LIMIT, LIMIT_JSON, LIMIT_RECORD, 0, LIMIT_RECORD),
    "limit_flags_and_tif": (
        dict(LIMIT, reduce_only=True, iso=True, order_type={"type": "limit", "tif": "ioc"}),
        {"l": dict(LIMIT_JSON["l"], i=True, r=True, tif="IOC")},
        limit_order("BTC-USD", True, 100000, 0.25, tif=1, reduce_only=True, iso=True), 0,
        limit_order("BTC-USD", True, 100000, 0.25, tif=1, reduce_only=True, iso=True)),
    "market": (MARKET, {"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "sz": 1.5}},
               market_order("ETH-USD", False, 1.5), 0, MARKET_CANONICAL),
    # Slippage needs format two; the id carries 01 and the slippage, not the commission slot.
    "market_with_slippage": (
        dict(MARKET, slippage=0.01), {"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "slippage": 0.01,
                                            "sz": 1.5}},
        market_order("ETH-USD", False, 1.5, slippage=0.01, wv=2), 2, MARKET_CANONICAL + b"\x01" + fixed(0.01)),
    "trigger_with_market_flag": (
        dict(MARKET, order_type={"type": "trigger", "is_market": True, "trigger_px": 123.0}),
        {"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "sz": 1.5}},
        market_order("ETH-USD", False, 1.5), 0, MARKET_CANONICAL),
    # A builder code needs format three and does not enter the order id.
    "limit_with_builder_code": (
        dict(LIMIT, builder_code={"to": CODE, "fee": 5}), {"l": dict(LIMIT_JSON["l"], builderCode={"fee": 5, "to": CODE})},
        limit_order("BTC-USD", True, 100000, 0.25, commission=(BUILDER, 5), wv=3), 3, LIMIT_RECORD),
    # sign ignores an on-fill attachment.
    "on_fill_attachment_ignored": (dict(LIMIT, on_fill={"actions": [{"type": "cancel_all"}]}), LIMIT_JSON,
                                   LIMIT_RECORD, 0, LIMIT_RECORD),
}

# Items without an order id: the item, its JSON, its record and the format.
WITHOUT_ID = {
    "cancel": ({"type": "cancel", "symbol": "BTC-USD", "order_id": OID}, {"cx": {"c": "BTC-USD", "oid": OID}},
               cancel_order("BTC-USD", OID_BYTES), 0),
    "modify": ({"type": "modify", "symbol": "SOL-USD", "order_id": OID, "amount": 2.5},
               {"mod": {"c": "SOL-USD", "oid": OID, "sz": 2.5}}, modify_order(OID_BYTES, "SOL-USD", 2.5), 0),
    "cancel_all": ({"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]},
                   {"cxa": {"c": ["BTC-USD", "ETH-USD"]}}, cancel_all(["BTC-USD", "ETH-USD"]), 0),
    "cancel_all_empty": ({"type": "cancel_all"}, {"cxa": {"c": []}}, u32(4) + u64(0), 0),
    **{f"stop_{kind}": ({"type": kind, "symbol": "BTC-USD", "is_buy": False, "size": 0.5, "trigger_price": 90000,
                         "limit_price": 89000.5},
                        {key: {"c": "BTC-USD", "d": False, "i": False, "lim": 89000.5, "sz": 0.5, "tr": 90000.0}},
                        stop_like(index, "BTC-USD", False, 0.5, 90000, 89000.5), 0)
       for kind, key, index in (("stop", "st", 5), ("st", "st", 5), ("take_profit", "tp", 6), ("tp", "tp", 6))},
    "stop_without_limit": ({"type": "stop", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trigger_price": 1},
                           {"st": {"c": "BTC-USD", "d": True, "i": False, "lim": None, "sz": 1.0, "tr": 1.0}},
                           stop_like(5, "BTC-USD", True, 1, 1, None), 0),
    "stop_with_builder_code": (
        {"type": "st", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trigger_price": 2, "iso": True,
         "builder_code": {"to": CODE, "fee": 15}},
        {"st": {"builderCode": {"fee": 15, "to": CODE}, "c": "BTC-USD", "d": True, "i": True, "lim": None, "sz": 1.0,
                "tr": 2.0}},
        stop_like(5, "BTC-USD", True, 1, 2, None, iso=True, commission=(BUILDER, 15), wv=3), 3),
    **{f"range_{kind}": ({"type": kind, "symbol": "ETH-USD", "is_buy": True, "size": 2, "pmin": 3000, "pmax": 3500,
                          "lmax": 3510.25},
                         {"rng": {"c": "ETH-USD", "d": True, "i": False, "lmax": 3510.25, "lmin": None, "pmax": 3500.0,
                                  "pmin": 3000.0, "sz": 2.0}},
                         range_oco("ETH-USD", True, 2, 3000, 3500, None, 3510.25), 0) for kind in ("range", "rng")},
    **{f"trailing_{kind}": ({"type": kind, "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trail_bps": 50,
                             "step_bps": 5},
                            {"trl": {"b": False, "c": "BTC-USD", "i": False, "lim": None, "stb": 5, "sz": 0.1,
                                     "trb": 50}},
                            trailing_stop("BTC-USD", False, 0.1, 50, 5), 0) for kind in ("trailing_stop", "trl")},
    "trailing_with_limit": ({"type": "trl", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trail_bps": 1,
                             "step_bps": 2, "limit_price": 7.0},
                            {"trl": {"b": True, "c": "BTC-USD", "i": False, "lim": 7.0, "stb": 2, "sz": 1.0, "trb": 1}},
                            trailing_stop("BTC-USD", True, 1, 1, 2, 7.0), 0),
    "trigger_basket": (
        {"type": "trig", "symbol": "BTC-USD", "is_buy": False, "trigger_price": 96000,
         "actions": [dict(LIMIT, price=95000), {"type": "cancel", "symbol": "BTC-USD", "order_id": OID}]},
        {"trig": {"actions": [{"l": dict(LIMIT_JSON["l"], px=95000.0)}, {"cx": {"c": "BTC-USD", "oid": OID}}],
                  "c": "BTC-USD", "d": False, "tr": 96000.0}},
        trigger_basket("BTC-USD", False, 96000, [limit_order("BTC-USD", True, 95000, 0.25),
                                                 cancel_order("BTC-USD", OID_BYTES)]), 0),
    **{f"on_fill_{kind}": ({"type": kind, "trigger": LIMIT, "actions": [STOP]},
                           {"of": {"actions": [STOP_JSON], "trigger": LIMIT_JSON}},
                           on_fill(LIMIT_RECORD, [stop_like(5, "BTC-USD", False, 0.25, 95000)]), 0)
       for kind in ("on_fill", "of")},
}


class TestOrders:
    @pytest.mark.parametrize("name", list(WITH_ID))
    def test_with_order_id(self, signer, account, name):
        order, action, record, wv, canonical = WITH_ID[name]
        tx = signer.sign(order, nonce=NONCE)
        assert list(tx) == SIGNED_KEYS + ["order_id"]
        assert tx["actions"] == [action]
        assert list(tx["actions"][0][next(iter(action))]) == sorted(action[next(iter(action))])
        check(signer, tx, [record], account, wv=wv)
        assert tx["order_id"] == order_id(canonical, account, NONCE)

    @pytest.mark.parametrize("name", list(WITHOUT_ID))
    def test_without_order_id(self, signer, account, name):
        order, action, record, wv = WITHOUT_ID[name]
        tx = signer.sign(order, nonce=NONCE)
        assert list(tx) == SIGNED_KEYS
        assert tx["actions"] == [action]
        check(signer, tx, [record], account, wv=wv)

    def test_value_types_and_fixed_layouts(self, signer):
        assert type(signer.sign(LIMIT, nonce=1)["actions"][0]["l"]["px"]) is float
        assert type(signer.sign(WITHOUT_ID["trailing_trl"][0], nonce=1)["actions"][0]["trl"]["trb"]) is int
        assert market_order("ETH-USD", False, 1.5, slippage=0.01, wv=2).endswith(
            b"\x00\x01" + bytes.fromhex("40420f0000000000"))
        assert modify_order(OID_BYTES, "SOL-USD", 2.5).endswith(bytes.fromhex("0000000000000440"))

    @pytest.mark.parametrize("name,byte", [("testnet", 2), ("devnet", 3)])
    def test_other_networks(self, keypair, name, byte):
        s = vk.Signer(keypair, name)
        check(s, s.sign(LIMIT, nonce=9), [LIMIT_RECORD], b58decode(s.pubkey), nonce=9, domain=byte)

    def test_same_nonce_same_signature(self, signer):
        assert signer.sign(LIMIT, nonce=1)["signature"] == signer.sign(LIMIT, nonce=1)["signature"]
        assert signer.sign(LIMIT, nonce=1)["signature"] != signer.sign(LIMIT, nonce=2)["signature"]


class TestRefusedByTheCore:
    @pytest.mark.parametrize("order,text", [
        (dict(LIMIT, slippage=0.01), "invalid order: slippage is only supported on market orders"),
        (dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 5}),
         "invalid order: trigger orders are not supported by VORN API; use market"),
        ({"type": "of", "trigger": {"type": "cancel", "symbol": "X", "order_id": OID}, "actions": []},
         "invalid order: on-fill trigger must be a market or limit order"),
        (dict(LIMIT, builder_code={"to": CODE, "fee": 0}), "invalid order: builder-code fee must be 1..=15 bps"),
        (dict(LIMIT, builder_code={"to": CODE, "fee": 16}), "invalid order: builder-code fee must be 1..=15 bps"),
    ])
    def test_refusals(self, signer, order, text):
        with raises(ValueError, text):
            signer.sign(order, nonce=1)


class TestOrderIdFlag:
    def test_flag_off_gives_five_keys(self, signer):
        signer.set_compute_order_id(False)
        assert signer.computes_order_id() is False
        assert list(signer.sign(LIMIT, nonce=1)) == SIGNED_KEYS
        signer.set_compute_order_id(True)
        assert "order_id" in signer.sign(LIMIT, nonce=1)

    def test_nan_size_renders_null(self, signer):
        assert signer.sign(dict(LIMIT, size=math.nan), nonce=1)["actions"][0]["l"]["sz"] is None

    @pytest.mark.parametrize("size,units", [(0.000000005, 1), (1e-9, 0)])
    def test_fixed_point_rounding(self, signer, account, size, units):
        # 0.000000005 is half a unit and rounds away from zero; 1e-9 rounds to 0.
        rec = limit_order("BTC-USD", True, 100000, size)
        assert rec[4 + 15 + 1 + 8:4 + 15 + 1 + 16] == u64(units)
        check(signer, signer.sign(dict(LIMIT, size=size), nonce=3), [rec], account, nonce=3)
