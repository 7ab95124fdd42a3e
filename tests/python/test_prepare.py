"""Preparation of actions for external wallets: the prepared dict, its bytes
and the equality of those bytes with what a local Signer signs."""

import base64
import hashlib
import inspect
import struct

import nacl.signing
import pytest

from vorn_keychain import _native as vk

B58_ALPHABET = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"


def b58encode(data: bytes) -> str:
    n = int.from_bytes(data, "big")
    out = ""
    while n:
        n, r = divmod(n, 58)
        out = B58_ALPHABET[r] + out
    pad = len(data) - len(data.lstrip(b"\0"))
    return "1" * pad + out


def b58decode(text: str) -> bytes:
    n = 0
    for ch in text:
        n = n * 58 + B58_ALPHABET.index(ch)
    body = n.to_bytes((n.bit_length() + 7) // 8, "big") if n else b""
    pad = len(text) - len(text.lstrip("1"))
    return b"\0" * pad + body


def u64(n):
    return struct.pack("<Q", n)


def u32(n):
    return struct.pack("<I", n)


def f64(x):
    return struct.pack("<d", x)


def wire_str(s: str) -> bytes:
    b = s.encode()
    return u64(len(b)) + b


def fixed(x: float) -> int:
    # x * 1e8, rounded half away from zero (the wire's fixed-point rule).
    s = x * 100000000.0
    return int(s + 0.5) if s >= 0 else 0


ACCOUNT = b58encode(b"\x11" * 32)
AGENT = b58encode(b"\x22" * 32)
OTHER = b58encode(b"\x33" * 32)
OID = b58encode(b"\xab" * 32)
NONCE = 1700000000000000000

PREPARED_KEYS_WITH_ID = [
    "message_bytes", "message_base58", "message_base64", "message_hex",
    "order_id", "actions", "account", "signer", "nonce",
]
PREPARED_KEYS_WITH_IDS = [
    "message_bytes", "message_base58", "message_base64", "message_hex",
    "order_ids", "actions", "account", "signer", "nonce",
]
PREPARED_KEYS_PLAIN = [
    "message_bytes", "message_base58", "message_base64", "message_hex",
    "actions", "account", "signer", "nonce",
]

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}
MARKET = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
          "order_type": {"type": "market"}}
CANCEL = {"type": "cancel", "symbol": "BTC-USD", "order_id": OID}
STOP = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.25, "trigger_price": 90000}

# The worked limit-order message: BTC-USD buy 100000 x 0.25 GTC, nonce
# 1700000000000000000, account 0x11 * 32, mainnet.
LIMIT_RECORD = bytes.fromhex(
    "01000000" "0700000000000000" "4254432d555344" "01"
    "00a0724e18090000" "40787d0100000000" "00000000" "00" "00")
LIMIT_MESSAGE = (bytes.fromhex("0100000000000000") + LIMIT_RECORD
                 + bytes.fromhex("00002a36fe9c9717") + b"\x11" * 32 + b"\x01")
LIMIT_ORDER_ID = "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY"


def suffix(nonce=NONCE, account=b"\x11" * 32, domain=1):
    return u64(nonce) + account + bytes([domain])


def single(index: int, record: bytes, nonce=NONCE, domain=1) -> bytes:
    return u64(1) + u32(index) + record + suffix(nonce, domain=domain)


def order_id(seqno: int, canonical: bytes, account: bytes, nonce: int) -> str:
    return b58encode(hashlib.sha256(u32(seqno) + canonical + account + u64(nonce)).digest())


def check_encodings(p):
    msg = p["message_bytes"]
    assert type(msg) is bytes
    assert p["message_base58"] == b58encode(msg)
    assert p["message_base64"] == base64.b64encode(msg).decode()
    assert p["message_hex"] == msg.hex()


def verifies(pubkey_b58: str, message: bytes, signature_b58: str) -> bool:
    try:
        nacl.signing.VerifyKey(b58decode(pubkey_b58)).verify(message, b58decode(signature_b58))
        return True
    except Exception:
        return False


@pytest.fixture
def signer():
    seed = bytes(range(1, 33))
    return vk.Signer(vk.Keypair(seed), "mainnet")


# ---------------------------------------------------------------- single order

class TestPrepareOrder:
    def test_worked_limit_order(self):
        p = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_WITH_ID
        assert p["message_bytes"] == LIMIT_MESSAGE
        assert len(p["message_bytes"]) == 91
        check_encodings(p)
        assert p["order_id"] == LIMIT_ORDER_ID
        assert p["actions"] == [{"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0,
                                       "r": False, "sz": 0.25, "tif": "GTC"}}]
        assert list(p["actions"][0]["l"]) == ["b", "c", "i", "px", "r", "sz", "tif"]
        assert type(p["actions"][0]["l"]["px"]) is float
        assert p["account"] == ACCOUNT
        assert p["signer"] == ACCOUNT
        assert p["nonce"] == NONCE and type(p["nonce"]) is int

    def test_signer_equal_to_account_gives_identical_bytes(self):
        a = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=NONCE)
        b = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, signer=ACCOUNT, nonce=NONCE)
        assert a == b
        assert a["message_bytes"] == b["message_bytes"]

    def test_separate_signer_is_recorded_but_not_in_the_bytes(self):
        a = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=NONCE)
        b = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, AGENT, NONCE)
        assert b["signer"] == AGENT
        assert b["account"] == ACCOUNT
        assert b["message_bytes"] == a["message_bytes"]

    def test_none_behaves_like_omission(self):
        a = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, signer=None, nonce=NONCE)
        b = vk.py_prepare_order(order=LIMIT, signature_domain="mainnet", account=ACCOUNT, nonce=NONCE)
        assert a == b

    def test_domain_byte(self):
        for name, byte in (("mainnet", 1), ("testnet", 2), ("devnet", 3)):
            p = vk.py_prepare_order(LIMIT, name, ACCOUNT, nonce=NONCE)
            assert p["message_bytes"][-1] == byte
            assert p["message_bytes"][:-1] == LIMIT_MESSAGE[:-1]

    def test_market_order_id_and_record(self):
        p = vk.py_prepare_order(MARKET, "mainnet", ACCOUNT, nonce=7)
        record = u32(0) + wire_str("ETH-USD") + b"\x00" + u64(fixed(1.5)) + b"\x00\x00"
        assert p["message_bytes"] == u64(1) + record + suffix(7)
        assert p["order_id"] == order_id(0, record, b"\x11" * 32, 7)
        assert p["actions"] == [{"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "sz": 1.5}}]

    def test_cancel_has_no_order_id(self):
        p = vk.py_prepare_order(CANCEL, "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_PLAIN
        assert p["message_bytes"] == single(3, wire_str("BTC-USD") + b"\xab" * 32)
        assert len(p["message_bytes"]) == 100

    def test_on_fill_attachment(self):
        order = dict(LIMIT, on_fill={"actions": [STOP]})
        p = vk.py_prepare_order(order, "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_PLAIN  # an on-fill item has no order id
        [action] = p["actions"]
        assert list(action) == ["of"]
        assert action["of"]["trigger"] == {"l": {"b": True, "c": "BTC-USD", "i": False, "px": 100000.0,
                                                 "r": False, "sz": 0.25, "tif": "GTC"}}
        assert list(action["of"]["actions"][0]) == ["st"]
        msg = p["message_bytes"]
        # count 1, then the on-fill index 10 wrapping the limit record.
        assert msg[:12] == u64(1) + u32(10)
        assert msg[12:12 + len(LIMIT_RECORD)] == LIMIT_RECORD

    def test_on_fill_errors(self):
        with pytest.raises(ValueError, match=r"^Missing on_fill\.actions$"):
            vk.py_prepare_order(dict(LIMIT, on_fill={}), "mainnet", ACCOUNT, nonce=1)
        with pytest.raises(TypeError):
            vk.py_prepare_order(dict(LIMIT, on_fill=[STOP]), "mainnet", ACCOUNT, nonce=1)

    def test_default_nonces_increase(self):
        a = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT)
        b = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT)
        assert b["nonce"] > a["nonce"] > 1_600_000_000 * 10**9
        assert a["message_bytes"][-41:-33] == u64(a["nonce"])

    def test_same_bytes_as_signer(self, signer):
        for order in (LIMIT, MARKET, CANCEL, STOP):
            p = vk.py_prepare_order(order, "mainnet", signer.pubkey, nonce=NONCE + 5)
            s = signer.sign(order, nonce=NONCE + 5)
            assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
            assert s["actions"] == p["actions"]
            assert s.get("order_id") == p.get("order_id")
            assert s["nonce"] == p["nonce"]

    def test_input_errors(self):
        # The domain is parsed before the order is looked at.
        with pytest.raises(ValueError, match=r"^invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet$"):
            vk.py_prepare_order(42, "Mainnet", ACCOUNT)
        with pytest.raises(ValueError, match=r"^invalid base58: provided string contained invalid character '0' at byte 0$"):
            vk.py_prepare_order(LIMIT, "mainnet", "0" + ACCOUNT[1:])
        with pytest.raises(ValueError, match=r"^invalid key length: expected 32, got 31$"):
            vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, b58encode(b"\x05" * 31))
        with pytest.raises(TypeError):
            vk.py_prepare_order(42, "mainnet", ACCOUNT)
        with pytest.raises(ValueError, match=r"^Missing 'type' field$"):
            vk.py_prepare_order({}, "mainnet", ACCOUNT)
        with pytest.raises(TypeError):
            vk.py_prepare_order(LIMIT, 1, ACCOUNT)
        with pytest.raises(OverflowError):
            vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=-1)
        with pytest.raises(OverflowError):
            vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=2**64)
        trigger = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 1.0})
        with pytest.raises(ValueError, match=r"^invalid order: trigger orders are not supported by VORN API; use market$"):
            vk.py_prepare_order(trigger, "mainnet", ACCOUNT, nonce=1)

    def test_binding_errors(self):
        with pytest.raises(TypeError):
            vk.py_prepare_order(LIMIT, "mainnet")
        with pytest.raises(TypeError):
            vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, None, None, None)
        with pytest.raises(TypeError):
            vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, bogus=1)

    def test_max_nonce(self):
        p = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, nonce=2**64 - 1)
        assert p["nonce"] == 2**64 - 1
        assert p["message_bytes"][-41:-33] == b"\xff" * 8


# ---------------------------------------------------------------- batches and groups

class TestBatchAndGroup:
    @pytest.mark.parametrize("count", [3, 9, 10, 25])
    def test_all_orders_nonces_and_order(self, count):
        orders = [dict(LIMIT, size=0.25 + i) for i in range(count)]
        out = vk.py_prepare_all_orders(orders, "mainnet", ACCOUNT, base_nonce=500)
        assert type(out) is list and len(out) == count
        for i, p in enumerate(out):
            assert list(p) == PREPARED_KEYS_WITH_ID
            assert p["nonce"] == 500 + i
            assert p["actions"][0]["l"]["sz"] == 0.25 + i
            record = LIMIT_RECORD[:28] + u64(fixed(0.25 + i)) + LIMIT_RECORD[36:]
            assert p["message_bytes"] == u64(1) + record + suffix(500 + i)
            assert p["order_id"] == order_id(0, record, b"\x11" * 32, 500 + i)
            check_encodings(p)

    def test_all_orders_match_sign_all(self, signer):
        orders = [dict(LIMIT, price=100 + i) for i in range(12)]
        prepared = vk.py_prepare_all_orders(orders, "mainnet", signer.pubkey, None, 900)
        signed = signer.sign_all(orders, base_nonce=900)
        for p, s in zip(prepared, signed, strict=True):
            assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
            assert p["order_id"] == s["order_id"]

    def test_all_orders_empty_and_default_base(self):
        assert vk.py_prepare_all_orders([], "mainnet", ACCOUNT) == []
        out = vk.py_prepare_all_orders([LIMIT, LIMIT], "devnet", ACCOUNT, signer=AGENT)
        assert out[1]["nonce"] == out[0]["nonce"] + 1
        assert all(p["signer"] == AGENT and p["message_bytes"][-1] == 3 for p in out)

    def test_all_orders_reserve_their_nonces(self):
        out = vk.py_prepare_all_orders([LIMIT] * 12, "mainnet", ACCOUNT)
        nonces = [p["nonce"] for p in out]
        assert nonces == list(range(nonces[0], nonces[0] + 12))
        # The next unique timestamp cannot reuse a nonce the batch took.
        assert vk.current_timestamp() > nonces[-1]
        assert vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT)["nonce"] > nonces[-1]

    def test_all_orders_ignore_on_fill(self):
        [p] = vk.py_prepare_all_orders([dict(LIMIT, on_fill={"actions": [STOP]})], "mainnet", ACCOUNT, base_nonce=NONCE)
        assert p["message_bytes"] == LIMIT_MESSAGE
        assert p["order_id"] == LIMIT_ORDER_ID

    def test_all_orders_wrapping_base(self):
        out = vk.py_prepare_all_orders([LIMIT, LIMIT], "mainnet", ACCOUNT, base_nonce=2**64 - 1)
        assert [p["nonce"] for p in out] == [2**64 - 1, 0]

    @pytest.mark.parametrize("count", [5, 14])
    def test_all_orders_failing_item(self, count):
        trigger = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 1.0})
        orders = [LIMIT] * count
        orders[2] = trigger
        with pytest.raises(ValueError, match=r"^invalid order: trigger orders are not supported by VORN API; use market$"):
            vk.py_prepare_all_orders(orders, "mainnet", ACCOUNT, base_nonce=1)

    def test_all_orders_input_errors(self):
        with pytest.raises(TypeError):
            vk.py_prepare_all_orders((LIMIT,), "mainnet", ACCOUNT)
        with pytest.raises(ValueError, match=r"^Missing 'size'$"):
            vk.py_prepare_all_orders([LIMIT] * 11 + [{"type": "order", "symbol": "X", "is_buy": True, "price": 1}],
                                     "mainnet", ACCOUNT)

    def test_group_ids_and_bytes(self):
        p = vk.py_prepare_order_group([LIMIT, CANCEL, MARKET], "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_WITH_IDS
        market = u32(0) + wire_str("ETH-USD") + b"\x00" + u64(fixed(1.5)) + b"\x00\x00"
        cancel = u32(3) + wire_str("BTC-USD") + b"\xab" * 32
        assert p["message_bytes"] == u64(3) + LIMIT_RECORD + cancel + market + suffix()
        # Sequence numbers are list positions: 0 for the limit, 2 for the market order.
        assert p["order_ids"] == [LIMIT_ORDER_ID, order_id(2, market, b"\x11" * 32, NONCE)]
        assert [list(a) for a in p["actions"]] == [["l"], ["cx"], ["m"]]

    def test_group_of_cancels_has_no_ids(self):
        p = vk.py_prepare_order_group([CANCEL, CANCEL], "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_PLAIN

    def test_group_single_item_gets_order_id(self):
        p = vk.py_prepare_order_group([LIMIT], "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_WITH_ID
        assert p["message_bytes"] == LIMIT_MESSAGE

    def test_group_errors(self):
        with pytest.raises(ValueError, match=r"^orders array cannot be empty$"):
            vk.py_prepare_order_group([], "mainnet", ACCOUNT, nonce=1)
        with pytest.raises(TypeError):
            vk.py_prepare_order_group(LIMIT, "mainnet", ACCOUNT, nonce=1)

    def test_group_matches_sign_group(self, signer):
        p = vk.py_prepare_order_group([LIMIT, MARKET], "mainnet", signer.pubkey, nonce=77)
        s = signer.sign_group([LIMIT, MARKET], nonce=77)
        assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
        assert s["actions"] == p["actions"]


# ---------------------------------------------------------------- account operations

class TestAccountOperations:
    def test_agent_wallet_worked_example(self):
        p = vk.py_prepare_agent_wallet_auth(AGENT, False, "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == PREPARED_KEYS_PLAIN
        assert p["message_bytes"] == (bytes.fromhex("0100000000000000" "11000000") + b"\x22" * 32 + b"\x00"
                                      + bytes.fromhex("00002a36fe9c9717") + b"\x11" * 32 + b"\x01")
        assert len(p["message_bytes"]) == 86
        assert p["actions"] == [{"agentWalletCreation": {"a": AGENT, "d": False}}]
        d = vk.py_prepare_agent_wallet_auth(AGENT, True, "mainnet", ACCOUNT, nonce=NONCE)
        assert d["message_bytes"][44] == 1
        with pytest.raises(TypeError):
            vk.py_prepare_agent_wallet_auth(AGENT, 1, "mainnet", ACCOUNT)

    def test_builder_code_approval(self):
        for fn in (vk.py_prepare_approve_builder_code, vk.py_prepare_approve_commission_fee):
            p = fn(OTHER, 7, "testnet", ACCOUNT, nonce=NONCE)
            assert list(p) == PREPARED_KEYS_PLAIN
            assert p["message_bytes"] == single(40, b"\x33" * 32 + b"\x07", domain=2)
            assert p["actions"] == [{"abc": {"fee": 7, "to": OTHER}}]
            assert type(p["actions"][0]["abc"]["fee"]) is int
            for fee in (0, 16, 255):
                with pytest.raises(ValueError, match=r"^invalid order: builder-code fee must be 1\.\.=15 bps$"):
                    fn(OTHER, fee, "testnet", ACCOUNT, nonce=NONCE)
            with pytest.raises(OverflowError):
                fn(OTHER, 256, "testnet", ACCOUNT, nonce=NONCE)

    def test_builder_code_revocation(self):
        for fn in (vk.py_prepare_revoke_builder_code, vk.py_prepare_revoke_commission_fee):
            p = fn(OTHER, "mainnet", ACCOUNT, nonce=NONCE)
            assert p["message_bytes"] == single(41, b"\x33" * 32)
            assert p["actions"] == [{"rbc": {"to": OTHER}}]

    def test_faucet(self):
        p = vk.py_prepare_faucet_request("mainnet", ACCOUNT, AGENT, NONCE)
        assert list(p) == PREPARED_KEYS_PLAIN
        assert p["message_bytes"] == single(16, b"\x11" * 32 + b"\x00")
        assert p["actions"] == [{"faucet": {"u": ACCOUNT}}]
        assert p["signer"] == AGENT

    def test_create_sub_account(self):
        p = vk.py_prepare_create_sub_account("desk", "mainnet", ACCOUNT, 12.5, nonce=NONCE)
        assert p["message_bytes"] == single(27, wire_str("desk") + b"\x01" + f64(12.5))
        assert p["actions"] == [{"createSubAccount": {"marginAmount": 12.5, "name": "desk"}}]
        q = vk.py_prepare_create_sub_account("desk", "mainnet", ACCOUNT, nonce=NONCE)
        assert q["message_bytes"] == single(27, wire_str("desk") + b"\x00")
        assert q["actions"] == [{"createSubAccount": {"name": "desk"}}]

    def test_remove_sub_account(self):
        p = vk.py_prepare_remove_sub_account(OTHER, "mainnet", ACCOUNT, nonce=NONCE)
        assert p["message_bytes"] == single(28, b"\x33" * 32)
        assert p["actions"] == [{"removeSubAccount": {"toRemove": OTHER}}]

    def test_transfer(self):
        p = vk.py_prepare_transfer(ACCOUNT, OTHER, 3, "mainnet", ACCOUNT, "external", nonce=NONCE)
        assert p["message_bytes"] == single(29, u32(1) + b"\x11" * 32 + b"\x33" * 32 + f64(3.0))
        assert p["actions"] == [{"transfer": {"from": ACCOUNT, "k": "external", "marginAmount": 3.0, "to": OTHER}}]
        q = vk.py_prepare_transfer(ACCOUNT, OTHER, 3.0, "mainnet", ACCOUNT, nonce=NONCE)
        assert q["message_bytes"][12:16] == u32(0)
        assert q["actions"][0]["transfer"]["k"] == "internal"
        with pytest.raises(ValueError, match=r"^Invalid transfer kind: Internal$"):
            vk.py_prepare_transfer(ACCOUNT, OTHER, 3.0, "mainnet", ACCOUNT, "Internal")
        with pytest.raises(TypeError):
            vk.py_prepare_transfer(ACCOUNT, OTHER, "3", "mainnet", ACCOUNT)

    def test_liquidator_config(self):
        config = {
            "cross_exposure": 1.5, "toxicity": 2,
            "instruments": [
                {"symbol": "ETH-USD", "max_exposure": 1000, "volume_rampup": 2.9},
                {"symbol": "BTC-USD", "reserve": 0.5},
            ],
        }
        p = vk.py_prepare_update_liquidator_config(config, "mainnet", ACCOUNT, nonce=NONCE)

        def instrument(symbol, max_exposure=0.0, reserve=0.0, rampup=0):
            return (wire_str(symbol) + f64(max_exposure) + f64(reserve) + f64(0) + f64(0) + f64(0)
                    + u64(rampup) + f64(0) + f64(0) + f64(0))

        record = (f64(1.5) + f64(0) + f64(2.0) + f64(0) + f64(0) + u64(2)
                  + instrument("BTC-USD", reserve=0.5) + instrument("ETH-USD", 1000.0, rampup=2))
        assert p["message_bytes"] == single(43, record)
        [action] = p["actions"]
        liq = action["liq"]
        assert list(liq) == ["cross_exposure", "instruments", "scoring_skew", "sweep_sds", "toxicity",
                             "urgency_size_fraction"]
        assert [i["symbol"] for i in liq["instruments"]] == ["BTC-USD", "ETH-USD"]
        assert liq["instruments"][1]["volume_rampup"] == 2
        assert type(liq["instruments"][1]["max_exposure"]) is float
        with pytest.raises(TypeError):
            vk.py_prepare_update_liquidator_config([], "mainnet", ACCOUNT)

    def test_same_bytes_as_signer(self, signer):
        me = signer.pubkey
        pairs = [
            (vk.py_prepare_agent_wallet_auth(AGENT, True, "mainnet", me, nonce=11),
             signer.sign_agent_wallet(AGENT, True, nonce=11)),
            (vk.py_prepare_approve_builder_code(OTHER, 3, "mainnet", me, nonce=12),
             signer.sign_approve_builder_code(OTHER, 3, nonce=12)),
            (vk.py_prepare_approve_commission_fee(OTHER, 3, "mainnet", me, nonce=13),
             signer.sign_approve_commission_fee(OTHER, 3, nonce=13)),
            (vk.py_prepare_revoke_builder_code(OTHER, "mainnet", me, nonce=14),
             signer.sign_revoke_builder_code(OTHER, nonce=14)),
            (vk.py_prepare_revoke_commission_fee(OTHER, "mainnet", me, nonce=15),
             signer.sign_revoke_commission_fee(OTHER, nonce=15)),
            (vk.py_prepare_faucet_request("mainnet", me, nonce=16), signer.sign_faucet(nonce=16)),
            (vk.py_prepare_create_sub_account("a", "mainnet", me, 2.0, nonce=17),
             signer.sign_create_sub_account("a", 2.0, nonce=17)),
            (vk.py_prepare_remove_sub_account(OTHER, "mainnet", me, nonce=18),
             signer.sign_remove_sub_account(OTHER, nonce=18)),
            (vk.py_prepare_transfer(me, OTHER, 1.25, "mainnet", me, "external", nonce=19),
             signer.sign_transfer(me, OTHER, 1.25, "external", nonce=19)),
            (vk.py_prepare_update_liquidator_config({"sweep_sds": 3.0}, "mainnet", me, nonce=20),
             signer.sign_update_liquidator_config({"sweep_sds": 3.0}, nonce=20)),
        ]
        for p, s in pairs:
            check_encodings(p)
            assert verifies(me, p["message_bytes"], s["signature"]), p["actions"]
            assert p["actions"] == s["actions"]
            assert p["nonce"] == s["nonce"]


# ---------------------------------------------------------------- introspection

SIGNATURES = {
    "py_prepare_order": "(order, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_all_orders": "(orders, signature_domain, account, signer=None, base_nonce=None)",
    "py_prepare_order_group": "(orders, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_agent_wallet_auth": "(agent_pubkey, delete, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_approve_builder_code": "(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_update_liquidator_config": "(config, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_approve_commission_fee": "(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_revoke_builder_code": "(to_pubkey, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_revoke_commission_fee": "(to_pubkey, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_faucet_request": "(signature_domain, account, signer=None, nonce=None)",
    "py_prepare_create_sub_account": "(name, signature_domain, account, margin_amount=None, signer=None, nonce=None)",
    "py_prepare_remove_sub_account": "(to_remove, signature_domain, account, signer=None, nonce=None)",
    "py_prepare_transfer": "(from_pubkey, to_pubkey, margin_amount, signature_domain, account, kind=None, signer=None, nonce=None)",
    "py_finalize_transaction": "(prepared, signature)",
}

FIRST_LINES = {
    "py_prepare_order": "Prepare a single order for external wallet signing",
    "py_prepare_all_orders": "Prepare multiple orders - each becomes its own transaction (parallel)",
    "py_prepare_order_group": "Prepare multiple orders as ONE atomic transaction",
    "py_prepare_agent_wallet_auth": "Prepare agent wallet creation for external signing",
    "py_prepare_approve_builder_code": "Prepare builder-code recipient approval for external signing",
    "py_prepare_update_liquidator_config": "Prepare a liquidator config update for external signing",
    "py_prepare_approve_commission_fee": "Prepare builder-code recipient approval for external signing",
    "py_prepare_revoke_builder_code": "Prepare builder-code recipient revocation for external signing",
    "py_prepare_revoke_commission_fee": "Prepare builder-code recipient revocation for external signing",
    "py_prepare_faucet_request": "Prepare faucet request for external signing",
    "py_prepare_create_sub_account": "Prepare a sub-account creation for external signing",
    "py_prepare_remove_sub_account": "Prepare a sub-account removal for external signing",
    "py_prepare_transfer": "Prepare a margin transfer for external signing",
    "py_finalize_transaction": "Finalize a prepared message with a signature from an external wallet",
}


class TestIntrospection:
    @pytest.mark.parametrize("name", list(SIGNATURES))
    def test_text_signature_and_first_line(self, name):
        fn = getattr(vk, name)
        assert fn.__text_signature__ == SIGNATURES[name]
        assert str(inspect.signature(fn)) == SIGNATURES[name]
        assert fn.__doc__.splitlines()[0] == FIRST_LINES[name]
        assert "Args:" in fn.__doc__ and "Returns:" in fn.__doc__

    def test_parameters_are_positional_or_keyword(self):
        for name in SIGNATURES:
            for param in inspect.signature(getattr(vk, name)).parameters.values():
                assert param.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD
                assert param.default in (inspect.Parameter.empty, None)

    def test_prepare_order_docstring(self):
        doc = vk.py_prepare_order.__doc__
        assert "Use this when you don't have access to the private key and need\nto sign with an external wallet." in doc
        for line in ("order: Order dict with type, symbol, is_buy, price, size, etc.",
                     "account: Account public key (base58)",
                     "signer: Signer public key (defaults to account)",
                     "nonce: Transaction nonce (defaults to current timestamp)",
                     "PreparedMessage dict with message_bytes to sign"):
            assert line in doc
        example = doc.split("Example:")[1]
        assert "py_prepare_order(" in example and "message_bytes" in example
        assert "py_finalize_transaction(" in example

    def test_other_docstring_paragraphs(self):
        assert "Optimized for HFT: each order gets independent confirmation/rejection." in vk.py_prepare_all_orders.__doc__
        assert "py_prepare_all_orders(" in vk.py_prepare_all_orders.__doc__.split("Example:")[1]
        assert "Use for bracket orders (entry + stop loss + take profit)." in vk.py_prepare_order_group.__doc__
        assert "py_prepare_order_group(" in vk.py_prepare_order_group.__doc__.split("Example:")[1]
        assert "py_prepare_agent_wallet_auth(" in vk.py_prepare_agent_wallet_auth.__doc__.split("Example:")[1]
        doc = vk.py_finalize_transaction.__doc__
        assert "prepared: PreparedMessage dict from prepare_* functions" in doc
        assert "signature: Base58-encoded signature from wallet" in doc
        assert "SignedTransaction dict ready for API submission" in doc
        assert "Example:" in doc

    def test_registration_order(self):
        names = [n for n in vk.__all__ if n.startswith("py_") or n.endswith("_wallet_message")]
        assert names == ["prepare_wallet_message", "finalize_wallet_message"] + list(SIGNATURES)
