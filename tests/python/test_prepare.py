"""Preparation of actions for external wallets: the prepared dict, its bytes
and the equality of those bytes with what a local Signer signs."""

import inspect

import pytest

from conftest import (
    CANCEL,
    LIMIT,
    LIMIT_JSON,
    MARKET,
    NONCE,
    OID_BYTES,
    agent_wallet,
    approve_fee,
    b58decode,
    b58encode,
    cancel_order,
    check_encodings,
    create_sub_account,
    f64,
    faucet,
    fixed,
    limit_order,
    liquidator,
    market_order,
    message,
    order_id,
    raises,
    remove_sub_account,
    revoke_fee,
    string,
    transfer,
    u32,
    u64,
    verifies,
)
from vorn_keychain import _native as vk

ACCOUNT_KEY, AGENT_KEY, OTHER_KEY = b"\x11" * 32, b"\x22" * 32, b"\x33" * 32
ACCOUNT, AGENT, OTHER = b58encode(ACCOUNT_KEY), b58encode(AGENT_KEY), b58encode(OTHER_KEY)

KEYS = ["message_bytes", "message_base58", "message_base64", "message_hex", "actions", "account", "signer", "nonce"]
KEYS_WITH_ID = KEYS[:4] + ["order_id"] + KEYS[4:]
KEYS_WITH_IDS = KEYS[:4] + ["order_ids"] + KEYS[4:]

STOP = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.25, "trigger_price": 90000}
TRIGGER = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 1.0})
TRIGGER_REFUSED = "invalid order: trigger orders are not supported by VORN API; use market"

# The worked limit-order message: BTC-USD buy 100000 x 0.25 GTC, nonce
# 1700000000000000000, account 0x11 * 32, mainnet.
LIMIT_RECORD = bytes.fromhex(
    "01000000" "0700000000000000" "4254432d555344" "01"
    "00a0724e18090000" "40787d0100000000" "00000000" "00" "00")
LIMIT_MESSAGE = (bytes.fromhex("0100000000000000") + LIMIT_RECORD
                 + bytes.fromhex("00002a36fe9c9717") + ACCOUNT_KEY + b"\x01")
LIMIT_ORDER_ID = "Fbm6qhWswsSgBru54SFczGfq9U8M5926ZKjQtK6JzEjY"
MARKET_RECORD = market_order("ETH-USD", False, 1.5)


def prepare(order=LIMIT, domain="mainnet", account=ACCOUNT, **kw):
    kw.setdefault("nonce", NONCE)
    return vk.py_prepare_order(order, domain, account, **kw)


# ---------------------------------------------------------------- single order

class TestPrepareOrder:
    def test_worked_limit_order(self):
        p = prepare()
        assert list(p) == KEYS_WITH_ID
        assert p["message_bytes"] == LIMIT_MESSAGE == message([limit_order("BTC-USD", True, 100000, 0.25)], NONCE,
                                                               ACCOUNT_KEY)
        assert len(p["message_bytes"]) == 91
        check_encodings(p)
        assert p["order_id"] == LIMIT_ORDER_ID == vk.compute_order_id_from_order(LIMIT, NONCE, ACCOUNT)
        assert b58decode(LIMIT_ORDER_ID).hex() == "d8eb3ab207e6091e944986d006bb049028a247b922148ab36c249b4b86c48c8f"
        assert p["actions"] == [LIMIT_JSON]
        assert list(p["actions"][0]["l"]) == ["b", "c", "i", "px", "r", "sz", "tif"]
        assert type(p["actions"][0]["l"]["px"]) is float
        assert p["account"] == p["signer"] == ACCOUNT
        assert p["nonce"] == NONCE and type(p["nonce"]) is int

    def test_signer_is_recorded_but_not_in_the_bytes(self):
        plain = prepare()
        assert prepare(signer=ACCOUNT) == plain
        assert prepare(signer=None) == plain
        assert vk.py_prepare_order(order=LIMIT, signature_domain="mainnet", account=ACCOUNT, nonce=NONCE) == plain
        agent = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT, AGENT, NONCE)
        assert (agent["signer"], agent["account"]) == (AGENT, ACCOUNT)
        assert agent["message_bytes"] == plain["message_bytes"]

    @pytest.mark.parametrize("name,byte", [("mainnet", 1), ("testnet", 2), ("devnet", 3)])
    def test_domain_byte(self, name, byte):
        msg = prepare(domain=name)["message_bytes"]
        assert msg == LIMIT_MESSAGE[:-1] + bytes([byte])

    def test_market_and_cancel(self):
        p = prepare(MARKET, nonce=7)
        assert p["message_bytes"] == message([MARKET_RECORD], 7, ACCOUNT_KEY)
        assert p["order_id"] == order_id(MARKET_RECORD, ACCOUNT_KEY, 7)
        assert p["actions"] == [{"m": {"b": False, "c": "ETH-USD", "i": False, "r": False, "sz": 1.5}}]
        p = prepare(CANCEL)
        assert list(p) == KEYS
        assert p["message_bytes"] == message([cancel_order("BTC-USD", OID_BYTES)], NONCE, ACCOUNT_KEY) == (
            bytes.fromhex("0100000000000000" "03000000" "0700000000000000" "4254432d555344") + OID_BYTES
            + bytes.fromhex("00002a36fe9c9717") + ACCOUNT_KEY + b"\x01")
        assert len(p["message_bytes"]) == 100

    def test_on_fill_attachment(self):
        p = prepare(dict(LIMIT, on_fill={"actions": [STOP]}))
        assert list(p) == KEYS  # an on-fill item has no order id
        [action] = p["actions"]
        assert list(action) == ["of"]
        assert action["of"]["trigger"] == LIMIT_JSON
        assert list(action["of"]["actions"][0]) == ["st"]
        # count 1, then the on-fill index 10 wrapping the limit record.
        assert p["message_bytes"][:12 + len(LIMIT_RECORD)] == u64(1) + u32(10) + LIMIT_RECORD
        with raises(ValueError, "Missing on_fill.actions"):
            prepare(dict(LIMIT, on_fill={}))
        with pytest.raises(TypeError):
            prepare(dict(LIMIT, on_fill=[STOP]))

    def test_nonces(self):
        a, b = vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT), vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT)
        assert b["nonce"] > a["nonce"] > 1_600_000_000 * 10**9
        assert a["message_bytes"][-41:-33] == u64(a["nonce"])
        top = prepare(nonce=2**64 - 1)
        assert top["nonce"] == 2**64 - 1 and top["message_bytes"][-41:-33] == b"\xff" * 8

    @pytest.mark.parametrize("order", [LIMIT, MARKET, CANCEL, STOP])
    def test_same_bytes_as_signer(self, signer, order):
        p = prepare(order, account=signer.pubkey, nonce=NONCE + 5)
        s = signer.sign(order, nonce=NONCE + 5)
        assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
        assert (s["actions"], s.get("order_id"), s["nonce"]) == (p["actions"], p.get("order_id"), p["nonce"])

    @pytest.mark.parametrize("args,kw,error", [
        # The domain is parsed before the order is looked at.
        ((42, "Mainnet", ACCOUNT), {},
         (ValueError, "invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet")),
        ((LIMIT, "mainnet", "0" + ACCOUNT[1:]), {},
         (ValueError, "invalid base58: provided string contained invalid character '0' at byte 0")),
        ((LIMIT, "mainnet", ACCOUNT, b58encode(b"\x05" * 31)), {}, (ValueError, "invalid key length: expected 32, got 31")),
        (({}, "mainnet", ACCOUNT), {}, (ValueError, "Missing 'type' field")),
        ((TRIGGER, "mainnet", ACCOUNT), {"nonce": 1}, (ValueError, TRIGGER_REFUSED)),
        ((42, "mainnet", ACCOUNT), {}, (TypeError, None)),
        ((LIMIT, 1, ACCOUNT), {}, (TypeError, None)),
        ((LIMIT, "mainnet", ACCOUNT), {"nonce": -1}, (OverflowError, None)),
        ((LIMIT, "mainnet", ACCOUNT), {"nonce": 2**64}, (OverflowError, None)),
        ((LIMIT, "mainnet"), {}, (TypeError, None)),
        ((LIMIT, "mainnet", ACCOUNT, None, None, None), {}, (TypeError, None)),
        ((LIMIT, "mainnet", ACCOUNT), {"bogus": 1}, (TypeError, None)),
    ])
    def test_input_errors(self, args, kw, error):
        exc, text = error
        with raises(exc, text) if text else pytest.raises(exc):
            vk.py_prepare_order(*args, **kw)


# ---------------------------------------------------------------- batches and groups

class TestBatchAndGroup:
    @pytest.mark.parametrize("count", [3, 9, 10, 25])
    def test_all_orders_nonces_and_order(self, count):
        out = vk.py_prepare_all_orders([dict(LIMIT, size=0.25 + i) for i in range(count)], "mainnet", ACCOUNT,
                                       base_nonce=500)
        assert type(out) is list and len(out) == count
        for i, p in enumerate(out):
            assert list(p) == KEYS_WITH_ID
            assert p["nonce"] == 500 + i
            assert p["actions"][0]["l"]["sz"] == 0.25 + i
            record = LIMIT_RECORD[:28] + fixed(0.25 + i) + LIMIT_RECORD[36:]
            assert p["message_bytes"] == message([record], 500 + i, ACCOUNT_KEY)
            assert p["order_id"] == order_id(record, ACCOUNT_KEY, 500 + i)
            check_encodings(p)

    def test_all_orders_match_sign_all(self, signer):
        orders = [dict(LIMIT, price=100 + i) for i in range(12)]
        prepared = vk.py_prepare_all_orders(orders, "mainnet", signer.pubkey, None, 900)
        for p, s in zip(prepared, signer.sign_all(orders, base_nonce=900), strict=True):
            assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
            assert p["order_id"] == s["order_id"]

    def test_all_orders_nonces_without_a_base(self):
        assert vk.py_prepare_all_orders([], "mainnet", ACCOUNT) == []
        out = vk.py_prepare_all_orders([LIMIT, LIMIT], "devnet", ACCOUNT, signer=AGENT)
        assert out[1]["nonce"] == out[0]["nonce"] + 1
        assert all(p["signer"] == AGENT and p["message_bytes"][-1] == 3 for p in out)
        # A default base reserves the whole range: later timestamps lie beyond it.
        nonces = [p["nonce"] for p in vk.py_prepare_all_orders([LIMIT] * 12, "mainnet", ACCOUNT)]
        assert nonces == list(range(nonces[0], nonces[0] + 12))
        assert vk.current_timestamp() > nonces[-1]
        assert vk.py_prepare_order(LIMIT, "mainnet", ACCOUNT)["nonce"] > nonces[-1]
        wrapped = vk.py_prepare_all_orders([LIMIT, LIMIT], "mainnet", ACCOUNT, base_nonce=2**64 - 1)
        assert [p["nonce"] for p in wrapped] == [2**64 - 1, 0]

    def test_all_orders_ignore_on_fill(self):
        [p] = vk.py_prepare_all_orders([dict(LIMIT, on_fill={"actions": [STOP]})], "mainnet", ACCOUNT, base_nonce=NONCE)
        assert (p["message_bytes"], p["order_id"]) == (LIMIT_MESSAGE, LIMIT_ORDER_ID)

    @pytest.mark.parametrize("count", [5, 14])
    def test_all_orders_errors(self, count):
        orders = [LIMIT] * count
        orders[2] = TRIGGER
        with raises(ValueError, TRIGGER_REFUSED):
            vk.py_prepare_all_orders(orders, "mainnet", ACCOUNT, base_nonce=1)
        with raises(ValueError, "Missing 'size'"):
            vk.py_prepare_all_orders([LIMIT] * count + [{"type": "order", "symbol": "X", "is_buy": True, "price": 1}],
                                     "mainnet", ACCOUNT)
        with pytest.raises(TypeError):
            vk.py_prepare_all_orders((LIMIT,), "mainnet", ACCOUNT)

    def test_group_ids_and_bytes(self):
        p = vk.py_prepare_order_group([LIMIT, CANCEL, MARKET], "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == KEYS_WITH_IDS
        cancel = cancel_order("BTC-USD", OID_BYTES)
        assert p["message_bytes"] == message([LIMIT_RECORD, cancel, MARKET_RECORD], NONCE, ACCOUNT_KEY)
        # Sequence numbers are list positions: 0 for the limit, 2 for the market order.
        assert p["order_ids"] == [LIMIT_ORDER_ID, order_id(MARKET_RECORD, ACCOUNT_KEY, NONCE, seqno=2)]
        assert [list(a) for a in p["actions"]] == [["l"], ["cx"], ["m"]]

    @pytest.mark.parametrize("orders,keys", [([CANCEL, CANCEL], KEYS), ([LIMIT], KEYS_WITH_ID)])
    def test_group_id_keys(self, orders, keys):
        p = vk.py_prepare_order_group(orders, "mainnet", ACCOUNT, nonce=NONCE)
        assert list(p) == keys
        if len(orders) == 1:
            assert p["message_bytes"] == LIMIT_MESSAGE

    def test_group_errors(self):
        with raises(ValueError, "orders array cannot be empty"):
            vk.py_prepare_order_group([], "mainnet", ACCOUNT, nonce=1)
        with pytest.raises(TypeError):
            vk.py_prepare_order_group(LIMIT, "mainnet", ACCOUNT, nonce=1)

    def test_group_matches_sign_group(self, signer):
        p = vk.py_prepare_order_group([LIMIT, MARKET], "mainnet", signer.pubkey, nonce=77)
        s = signer.sign_group([LIMIT, MARKET], nonce=77)
        assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
        assert s["actions"] == p["actions"]


# ---------------------------------------------------------------- account operations

LIQ = {"cross_exposure": 1.5, "toxicity": 2,
       "instruments": [{"symbol": "ETH-USD", "max_exposure": 1000, "volume_rampup": 2.9},
                       {"symbol": "BTC-USD", "reserve": 0.5}]}

# Each preparation (for account `me`), the Signer call that signs the same
# action, the rebuilt record and the action JSON.
ACCOUNT_OPERATIONS = {
    "agent": (lambda me: vk.py_prepare_agent_wallet_auth(AGENT, True, "mainnet", me, nonce=NONCE),
              lambda s: s.sign_agent_wallet(AGENT, True, nonce=NONCE),
              agent_wallet(AGENT_KEY, True), {"agentWalletCreation": {"a": AGENT, "d": True}}),
    "approve_builder_code": (lambda me: vk.py_prepare_approve_builder_code(OTHER, 7, "mainnet", me, nonce=NONCE),
                             lambda s: s.sign_approve_builder_code(OTHER, 7, nonce=NONCE),
                             approve_fee(OTHER_KEY, 7), {"abc": {"fee": 7, "to": OTHER}}),
    "approve_commission_fee": (lambda me: vk.py_prepare_approve_commission_fee(OTHER, 7, "mainnet", me, nonce=NONCE),
                               lambda s: s.sign_approve_commission_fee(OTHER, 7, nonce=NONCE),
                               approve_fee(OTHER_KEY, 7), {"abc": {"fee": 7, "to": OTHER}}),
    "revoke_builder_code": (lambda me: vk.py_prepare_revoke_builder_code(OTHER, "mainnet", me, nonce=NONCE),
                            lambda s: s.sign_revoke_builder_code(OTHER, nonce=NONCE),
                            revoke_fee(OTHER_KEY), {"rbc": {"to": OTHER}}),
    "revoke_commission_fee": (lambda me: vk.py_prepare_revoke_commission_fee(OTHER, "mainnet", me, nonce=NONCE),
                              lambda s: s.sign_revoke_commission_fee(OTHER, nonce=NONCE),
                              revoke_fee(OTHER_KEY), {"rbc": {"to": OTHER}}),
    "faucet": (lambda me: vk.py_prepare_faucet_request("mainnet", me, nonce=NONCE),
               lambda s: s.sign_faucet(nonce=NONCE), None, None),
    "create_sub_account": (lambda me: vk.py_prepare_create_sub_account("desk", "mainnet", me, 12.5, nonce=NONCE),
                           lambda s: s.sign_create_sub_account("desk", 12.5, nonce=NONCE),
                           create_sub_account("desk", 12.5),
                           {"createSubAccount": {"marginAmount": 12.5, "name": "desk"}}),
    "create_sub_account_plain": (lambda me: vk.py_prepare_create_sub_account("desk", "mainnet", me, nonce=NONCE),
                                 lambda s: s.sign_create_sub_account("desk", nonce=NONCE),
                                 create_sub_account("desk"), {"createSubAccount": {"name": "desk"}}),
    "remove_sub_account": (lambda me: vk.py_prepare_remove_sub_account(OTHER, "mainnet", me, nonce=NONCE),
                           lambda s: s.sign_remove_sub_account(OTHER, nonce=NONCE),
                           remove_sub_account(OTHER_KEY), {"removeSubAccount": {"toRemove": OTHER}}),
    "transfer": (lambda me: vk.py_prepare_transfer(OTHER, AGENT, 3, "mainnet", me, "external", nonce=NONCE),
                 lambda s: s.sign_transfer(OTHER, AGENT, 3, "external", nonce=NONCE),
                 transfer(1, OTHER_KEY, AGENT_KEY, 3.0),
                 {"transfer": {"from": OTHER, "k": "external", "marginAmount": 3.0, "to": AGENT}}),
    "transfer_internal": (lambda me: vk.py_prepare_transfer(OTHER, AGENT, 3.0, "mainnet", me, nonce=NONCE),
                          lambda s: s.sign_transfer(OTHER, AGENT, 3.0, nonce=NONCE),
                          transfer(0, OTHER_KEY, AGENT_KEY, 3.0),
                          {"transfer": {"from": OTHER, "k": "internal", "marginAmount": 3.0, "to": AGENT}}),
    "liquidator_config": (lambda me: vk.py_prepare_update_liquidator_config(LIQ, "mainnet", me, nonce=NONCE),
                          lambda s: s.sign_update_liquidator_config(LIQ, nonce=NONCE),
                          liquidator(dict(LIQ, instruments=[dict(LIQ["instruments"][0], volume_rampup=2),
                                                            LIQ["instruments"][1]])), None),
}


class TestAccountOperations:
    @pytest.mark.parametrize("name", list(ACCOUNT_OPERATIONS))
    def test_bytes_json_and_signer_equality(self, signer, account, name):
        prepare_fn, sign_fn, record, action = ACCOUNT_OPERATIONS[name]
        if name == "faucet":  # the faucet pays the account itself
            record, action = faucet(account), {"faucet": {"u": signer.pubkey}}
        p = prepare_fn(signer.pubkey)
        assert list(p) == KEYS
        check_encodings(p)
        assert p["message_bytes"] == message([record], NONCE, account)
        s = sign_fn(signer)
        assert verifies(signer.pubkey, p["message_bytes"], s["signature"])
        assert p["actions"] == s["actions"]
        if action is not None:
            assert p["actions"] == [action]
        assert p["nonce"] == s["nonce"] == NONCE

    def test_worked_agent_wallet_message(self):
        p = vk.py_prepare_agent_wallet_auth(AGENT, False, "mainnet", ACCOUNT, nonce=NONCE)
        assert p["message_bytes"] == (bytes.fromhex("0100000000000000" "11000000") + AGENT_KEY + b"\x00"
                                      + bytes.fromhex("00002a36fe9c9717") + ACCOUNT_KEY + b"\x01")
        assert len(p["message_bytes"]) == 86
        with pytest.raises(TypeError):
            vk.py_prepare_agent_wallet_auth(AGENT, 1, "mainnet", ACCOUNT)

    def test_faucet_with_a_separate_signer(self):
        p = vk.py_prepare_faucet_request("mainnet", ACCOUNT, AGENT, NONCE)
        assert p["message_bytes"] == message([faucet(ACCOUNT_KEY)], NONCE, ACCOUNT_KEY)
        assert p["actions"] == [{"faucet": {"u": ACCOUNT}}] and p["signer"] == AGENT

    @pytest.mark.parametrize("fn", [vk.py_prepare_approve_builder_code, vk.py_prepare_approve_commission_fee])
    def test_builder_code_fee(self, fn):
        p = fn(OTHER, 7, "testnet", ACCOUNT, nonce=NONCE)
        assert p["message_bytes"] == message([approve_fee(OTHER_KEY, 7)], NONCE, ACCOUNT_KEY, domain=2)
        assert type(p["actions"][0]["abc"]["fee"]) is int
        for fee in (0, 16, 255):
            with raises(ValueError, "invalid order: builder-code fee must be 1..=15 bps"):
                fn(OTHER, fee, "testnet", ACCOUNT, nonce=NONCE)
        with pytest.raises(OverflowError):
            fn(OTHER, 256, "testnet", ACCOUNT, nonce=NONCE)

    def test_transfer_kind_and_amount(self):
        with raises(ValueError, "Invalid transfer kind: Internal"):
            vk.py_prepare_transfer(ACCOUNT, OTHER, 3.0, "mainnet", ACCOUNT, "Internal")
        with pytest.raises(TypeError):
            vk.py_prepare_transfer(ACCOUNT, OTHER, "3", "mainnet", ACCOUNT)

    def test_liquidator_config_json(self):
        p = vk.py_prepare_update_liquidator_config(LIQ, "mainnet", ACCOUNT, nonce=NONCE)
        record = (f64(1.5) + f64(0) + f64(2.0) + f64(0) + f64(0) + u64(2)
                  + string("BTC-USD") + f64(0) + f64(0.5) + f64(0) * 3 + u64(0) + f64(0) * 3
                  + string("ETH-USD") + f64(1000.0) + f64(0) * 4 + u64(2) + f64(0) * 3)
        assert p["message_bytes"] == message([u32(43) + record], NONCE, ACCOUNT_KEY)
        liq = p["actions"][0]["liq"]
        assert list(liq) == ["cross_exposure", "instruments", "scoring_skew", "sweep_sds", "toxicity",
                             "urgency_size_fraction"]
        assert [i["symbol"] for i in liq["instruments"]] == ["BTC-USD", "ETH-USD"]
        assert liq["instruments"][1]["volume_rampup"] == 2
        assert type(liq["instruments"][1]["max_exposure"]) is float
        with pytest.raises(TypeError):
            vk.py_prepare_update_liquidator_config([], "mainnet", ACCOUNT)


# ---------------------------------------------------------------- docstrings

class TestDocstrings:
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

    @pytest.mark.parametrize("name", [n for n in vk.__all__ if n.startswith("py_")])
    def test_sections_and_parameters(self, name):
        fn = getattr(vk, name)
        assert "Args:" in fn.__doc__ and "Returns:" in fn.__doc__
        for param in inspect.signature(fn).parameters.values():
            assert param.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD
            assert param.default in (inspect.Parameter.empty, None)
