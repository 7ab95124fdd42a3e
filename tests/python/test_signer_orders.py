"""Signer.sign for every order kind: the action JSON, the order id, the key
order of the result, and the Ed25519 signature over the signing message,
which the tests rebuild byte by byte from the wire layout."""

import hashlib
import math

import pytest

from conftest import (
    NONCE,
    agent_wallet,
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

OID = b58encode(b"\xab" * 32)
BUILDER = bytes([0x33]) * 32

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
MARKET = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
          "order_type": {"type": "market"}}


def order_id(canonical: bytes, account: bytes, nonce: int, seqno: int = 0) -> str:
    return b58encode(hashlib.sha256(u32(seqno) + canonical + account + u64(nonce)).digest())


def check(signer, tx, records, account, nonce=NONCE, wv=0, domain=1):
    msg = message(records, nonce, account, domain=domain, wv=wv)
    assert verifies(signer.pubkey, msg, tx["signature"]), "signature does not verify over the rebuilt message"
    assert tx["nonce"] == nonce
    assert tx["account"] == signer.pubkey
    assert tx["signer"] == signer.pubkey
    return msg


class TestWorkedExamples:
    """The worked layouts of the signing message, with the signer's own key as
    the account (a signer always signs for its own account)."""

    def test_limit_order_bytes(self, signer, account):
        tx = signer.sign(LIMIT, nonce=NONCE)
        expected = bytes.fromhex(
            "0100000000000000"  # action count
            "01000000"  # TxLimitOrder
            "0700000000000000" "4254432d555344"  # "BTC-USD"
            "01"  # buy
            "00a0724e18090000"  # price 100000 fixed-point
            "40787d0100000000"  # size 0.25 fixed-point
            "00000000" "00" "00"  # GTC, not reduce-only, not iso
            "00002a36fe9c9717"  # nonce 1700000000000000000
        ) + account + b"\x01"
        assert len(expected) == 91
        assert expected == message([limit_order("BTC-USD", True, 100000, 0.25)], NONCE, account)
        assert verifies(signer.pubkey, expected, tx["signature"])

    def test_limit_order_id_of_the_worked_example(self):
        account = b58encode(b"\x11" * 32)
        oid = vk.compute_order_id_from_order(LIMIT, NONCE, account)
        assert oid == "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY"
        assert b58decode(oid).hex() == "d8eb3ab207e6091e944986d006bb049028a247b922148ab36c249b4b86c48c8f"

    def test_cancel_bytes(self, signer, account):
        tx = signer.sign({"type": "cancel", "symbol": "BTC-USD", "order_id": OID}, nonce=NONCE)
        expected = bytes.fromhex("0100000000000000" "03000000" "0700000000000000" "4254432d555344")
        expected += b"\xab" * 32 + bytes.fromhex("00002a36fe9c9717") + account + b"\x01"
        assert len(expected) == 100
        assert verifies(signer.pubkey, expected, tx["signature"])

    def test_agent_wallet_bytes(self, signer, account):
        agent = b"\x22" * 32
        tx = signer.sign_agent_wallet(b58encode(agent), False, nonce=NONCE)
        expected = bytes.fromhex("0100000000000000" "11000000") + agent + b"\x00"
        expected += bytes.fromhex("00002a36fe9c9717") + account + b"\x01"
        assert len(expected) == 86
        assert expected == message([agent_wallet(agent, False)], NONCE, account)
        assert verifies(signer.pubkey, expected, tx["signature"])
        assert tx["actions"] == [{"agentWalletCreation": {"a": b58encode(agent), "d": False}}]


class TestOrders:
    def test_limit(self, signer, account):
        tx = signer.sign(LIMIT, nonce=NONCE)
        assert list(tx) == ["actions", "nonce", "account", "signer", "signature", "order_id"]
        assert tx["actions"] == [
            {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0, "r": False, "sz": 0.25, "tif": "GTC"}}
        ]
        inner = tx["actions"][0]["l"]
        assert list(inner) == ["b", "c", "i", "px", "r", "sz", "tif"]
        assert isinstance(inner["px"], float)
        rec = limit_order("BTC-USD", True, 100000, 0.25)
        check(signer, tx, [rec], account)
        assert tx["order_id"] == order_id(rec, account, NONCE)

    def test_limit_flags_and_tif(self, signer, account):
        order = dict(LIMIT, reduce_only=True, iso=True, order_type={"type": "limit", "tif": "ioc"})
        tx = signer.sign(order, nonce=5)
        assert tx["actions"][0]["l"]["tif"] == "IOC"
        assert tx["actions"][0]["l"]["r"] is True and tx["actions"][0]["l"]["i"] is True
        rec = limit_order("BTC-USD", True, 100000, 0.25, tif=1, reduce_only=True, iso=True)
        check(signer, tx, [rec], account, nonce=5)
        assert tx["order_id"] == order_id(rec, account, 5)

    def test_market(self, signer, account):
        tx = signer.sign(MARKET, nonce=NONCE)
        assert tx["actions"] == [{"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "sz": 1.5}}]
        rec = market_order("ETH-USD", False, 1.5)
        check(signer, tx, [rec], account)
        canonical = u32(0) + string("ETH-USD") + b"\x00" + fixed(1.5) + b"\x00\x00"
        assert tx["order_id"] == order_id(canonical, account, NONCE)

    def test_market_with_slippage_uses_format_two(self, signer, account):
        tx = signer.sign(dict(MARKET, slippage=0.01), nonce=NONCE)
        assert tx["actions"][0]["m"]["slippage"] == 0.01
        assert list(tx["actions"][0]["m"]) == ["b", "c", "i", "r", "slippage", "sz"]
        rec = market_order("ETH-USD", False, 1.5, slippage=0.01, wv=2)
        assert rec.endswith(b"\x00\x01" + bytes.fromhex("40420f0000000000"))
        check(signer, tx, [rec], account, wv=2)
        # The id carries 01 and the slippage, not the commission slot.
        canonical = u32(0) + string("ETH-USD") + b"\x00" + fixed(1.5) + b"\x00\x00" + b"\x01" + fixed(0.01)
        assert tx["order_id"] == order_id(canonical, account, NONCE)

    def test_trigger_type_with_market_flag(self, signer, account):
        order = dict(MARKET, order_type={"type": "trigger", "is_market": True, "trigger_px": 123.0})
        tx = signer.sign(order, nonce=NONCE)
        assert "m" in tx["actions"][0]
        check(signer, tx, [market_order("ETH-USD", False, 1.5)], account)

    def test_limit_with_builder_code_uses_format_three(self, signer, account):
        order = dict(LIMIT, builder_code={"to": b58encode(BUILDER), "fee": 5})
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"][0]["l"]["builderCode"] == {"fee": 5, "to": b58encode(BUILDER)}
        rec = limit_order("BTC-USD", True, 100000, 0.25, commission=(BUILDER, 5), wv=3)
        check(signer, tx, [rec], account, wv=3)
        # The builder code does not enter the order id.
        assert tx["order_id"] == order_id(limit_order("BTC-USD", True, 100000, 0.25), account, NONCE)

    def test_cancel(self, signer, account):
        tx = signer.sign({"type": "cancel", "symbol": "BTC-USD", "order_id": OID}, nonce=NONCE)
        assert list(tx) == ["actions", "nonce", "account", "signer", "signature"]
        assert tx["actions"] == [{"cx": {"c": "BTC-USD", "oid": OID}}]
        check(signer, tx, [cancel_order("BTC-USD", b"\xab" * 32)], account)

    def test_modify(self, signer, account):
        tx = signer.sign({"type": "modify", "symbol": "SOL-USD", "order_id": OID, "amount": 2.5}, nonce=NONCE)
        assert tx["actions"] == [{"mod": {"c": "SOL-USD", "oid": OID, "sz": 2.5}}]
        rec = modify_order(b"\xab" * 32, "SOL-USD", 2.5)
        assert rec.endswith(bytes.fromhex("0000000000000440"))
        check(signer, tx, [rec], account)
        assert "order_id" not in tx

    def test_cancel_all(self, signer, account):
        tx = signer.sign({"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]}, nonce=NONCE)
        assert tx["actions"] == [{"cxa": {"c": ["BTC-USD", "ETH-USD"]}}]
        check(signer, tx, [cancel_all(["BTC-USD", "ETH-USD"])], account)

    def test_cancel_all_empty(self, signer, account):
        tx = signer.sign({"type": "cancel_all"}, nonce=NONCE)
        assert tx["actions"] == [{"cxa": {"c": []}}]
        check(signer, tx, [u32(4) + u64(0)], account)

    @pytest.mark.parametrize("kind,key,index", [("stop", "st", 5), ("st", "st", 5), ("take_profit", "tp", 6),
                                                ("tp", "tp", 6)])
    def test_stop_and_take_profit(self, signer, account, kind, key, index):
        order = {"type": kind, "symbol": "BTC-USD", "is_buy": False, "size": 0.5, "trigger_price": 90000,
                 "limit_price": 89000.5}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"] == [
            {key: {"c": "BTC-USD", "d": False, "i": False, "lim": 89000.5, "sz": 0.5, "tr": 90000.0}}
        ]
        check(signer, tx, [stop_like(index, "BTC-USD", False, 0.5, 90000, 89000.5)], account)
        assert "order_id" not in tx

    def test_stop_without_limit_price(self, signer, account):
        order = {"type": "stop", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trigger_price": 1}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"][0]["st"]["lim"] is None
        check(signer, tx, [stop_like(5, "BTC-USD", True, 1, 1, None)], account)

    def test_stop_with_builder_code(self, signer, account):
        order = {"type": "st", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trigger_price": 2,
                 "iso": True, "builder_code": {"to": b58encode(BUILDER), "fee": 15}}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"][0]["st"]["builderCode"] == {"fee": 15, "to": b58encode(BUILDER)}
        rec = stop_like(5, "BTC-USD", True, 1, 2, None, iso=True, commission=(BUILDER, 15), wv=3)
        check(signer, tx, [rec], account, wv=3)

    @pytest.mark.parametrize("kind", ["range", "rng"])
    def test_range(self, signer, account, kind):
        order = {"type": kind, "symbol": "ETH-USD", "is_buy": True, "size": 2, "pmin": 3000, "pmax": 3500,
                 "lmax": 3510.25}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"] == [{"rng": {"c": "ETH-USD", "d": True, "i": False, "lmax": 3510.25, "lmin": None,
                                          "pmax": 3500.0, "pmin": 3000.0, "sz": 2.0}}]
        check(signer, tx, [range_oco("ETH-USD", True, 2, 3000, 3500, None, 3510.25)], account)

    @pytest.mark.parametrize("kind", ["trailing_stop", "trl"])
    def test_trailing_stop(self, signer, account, kind):
        order = {"type": kind, "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trail_bps": 50,
                 "step_bps": 5}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"] == [{"trl": {"b": False, "c": "BTC-USD", "i": False, "lim": None, "stb": 5,
                                          "sz": 0.1, "trb": 50}}]
        assert isinstance(tx["actions"][0]["trl"]["trb"], int)
        check(signer, tx, [trailing_stop("BTC-USD", False, 0.1, 50, 5)], account)

    def test_trailing_stop_with_limit(self, signer, account):
        order = {"type": "trl", "symbol": "BTC-USD", "is_buy": True, "size": 1, "trail_bps": 1,
                 "step_bps": 2, "limit_price": 7.0}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"][0]["trl"]["lim"] == 7.0
        check(signer, tx, [trailing_stop("BTC-USD", True, 1, 1, 2, 7.0)], account)

    def test_trigger_basket(self, signer, account):
        child = dict(LIMIT, price=95000)
        cancel = {"type": "cancel", "symbol": "BTC-USD", "order_id": OID}
        order = {"type": "trig", "symbol": "BTC-USD", "is_buy": False, "trigger_price": 96000,
                 "actions": [child, cancel]}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"] == [{"trig": {
            "actions": [
                {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 95000.0, "r": False, "sz": 0.25,
                       "tif": "GTC"}},
                {"cx": {"c": "BTC-USD", "oid": OID}},
            ],
            "c": "BTC-USD", "d": False, "tr": 96000.0}}]
        rec = trigger_basket("BTC-USD", False, 96000, [limit_order("BTC-USD", True, 95000, 0.25),
                                                      cancel_order("BTC-USD", b"\xab" * 32)])
        check(signer, tx, [rec], account)
        assert "order_id" not in tx

    @pytest.mark.parametrize("kind", ["on_fill", "of"])
    def test_on_fill(self, signer, account, kind):
        stop = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.25, "trigger_price": 95000}
        order = {"type": kind, "trigger": LIMIT, "actions": [stop]}
        tx = signer.sign(order, nonce=NONCE)
        assert tx["actions"] == [{"of": {
            "actions": [{"st": {"c": "BTC-USD", "d": False, "i": False, "lim": None, "sz": 0.25,
                                "tr": 95000.0}}],
            "trigger": {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0, "r": False, "sz": 0.25,
                              "tif": "GTC"}}}}]
        rec = on_fill(limit_order("BTC-USD", True, 100000, 0.25), [stop_like(5, "BTC-USD", False, 0.25, 95000)])
        check(signer, tx, [rec], account)

    def test_on_fill_attachment_is_ignored_by_sign(self, signer, account):
        order = dict(LIMIT, on_fill={"actions": [{"type": "cancel_all"}]})
        tx = signer.sign(order, nonce=NONCE)
        assert list(tx["actions"][0]) == ["l"]
        check(signer, tx, [limit_order("BTC-USD", True, 100000, 0.25)], account)

    def test_other_networks(self, keypair):
        for name, byte in (("testnet", 2), ("devnet", 3)):
            s = vk.Signer(keypair, name)
            tx = s.sign(LIMIT, nonce=9)
            check(s, tx, [limit_order("BTC-USD", True, 100000, 0.25)], b58decode(s.pubkey), nonce=9, domain=byte)

    def test_same_nonce_same_signature(self, signer):
        assert signer.sign(LIMIT, nonce=1)["signature"] == signer.sign(LIMIT, nonce=1)["signature"]
        assert signer.sign(LIMIT, nonce=1)["signature"] != signer.sign(LIMIT, nonce=2)["signature"]


class TestRefusedByTheCore:
    def test_limit_with_slippage(self, signer):
        with pytest.raises(ValueError, match="^invalid order: slippage is only supported on market orders$"):
            signer.sign(dict(LIMIT, slippage=0.01), nonce=1)

    def test_resting_trigger_order(self, signer):
        order = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 5})
        with pytest.raises(ValueError, match="^invalid order: trigger orders are not supported by VORN API; use market$"):
            signer.sign(order, nonce=1)

    def test_on_fill_with_cancel_trigger(self, signer):
        order = {"type": "of", "trigger": {"type": "cancel", "symbol": "X", "order_id": OID}, "actions": []}
        with pytest.raises(ValueError, match="^invalid order: on-fill trigger must be a market or limit order$"):
            signer.sign(order, nonce=1)

    @pytest.mark.parametrize("fee", [0, 16])
    def test_builder_fee_out_of_range(self, signer, fee):
        order = dict(LIMIT, builder_code={"to": b58encode(BUILDER), "fee": fee})
        with pytest.raises(ValueError, match=r"^invalid order: builder-code fee must be 1\.\.=15 bps$"):
            signer.sign(order, nonce=1)


class TestOrderIdFlag:
    def test_flag_off_gives_five_keys(self, signer):
        signer.set_compute_order_id(False)
        assert signer.computes_order_id() is False
        tx = signer.sign(LIMIT, nonce=1)
        assert list(tx) == ["actions", "nonce", "account", "signer", "signature"]
        signer.set_compute_order_id(True)
        assert "order_id" in signer.sign(LIMIT, nonce=1)

    def test_nan_size_renders_null(self, signer):
        tx = signer.sign(dict(LIMIT, size=math.nan), nonce=1)
        assert tx["actions"][0]["l"]["sz"] is None

    def test_fixed_point_rounding(self, signer, account):
        # 0.000000005 is half a unit and rounds away from zero; 1e-9 rounds to 0.
        for size, units in ((0.000000005, 1), (1e-9, 0)):
            tx = signer.sign(dict(LIMIT, size=size), nonce=3)
            rec = limit_order("BTC-USD", True, 100000, size)
            assert rec[4 + 15 + 1 + 8:4 + 15 + 1 + 16] == u64(units)
            check(signer, tx, [rec], account, nonce=3)
