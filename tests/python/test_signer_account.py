"""Signer account operations: the action JSON, the signed bytes and the
checks each method makes before a nonce is drawn."""

import pytest

from conftest import (
    NONCE,
    SIGNED_KEYS,
    agent_wallet,
    approve_fee,
    b58decode,
    b58encode,
    create_sub_account,
    faucet,
    liquidator,
    message,
    oracle_price,
    pyth_oracle,
    raises,
    remove_sub_account,
    revoke_fee,
    transfer,
    user_settings,
    verifies,
    whitelist_faucet,
)
from vorn_keychain import _native as vk

OUT_OF_RANGE = "out of range integral type conversion attempted"
KEY_A = b"\x44" * 32
KEY_B = b"\x55" * 32
A = b58encode(KEY_A)
B = b58encode(KEY_B)


def check(signer, tx, records, nonce=NONCE):
    account = b58decode(signer.pubkey)
    assert verifies(signer.pubkey, message(records, nonce, account), tx["signature"])
    assert list(tx) == SIGNED_KEYS
    assert tx["nonce"] == nonce and tx["account"] == signer.pubkey == tx["signer"]


# Each operation: the call, its action JSON and its rebuilt record.
OPERATIONS = {
    **{f"agent_wallet_{d}": (lambda s, d=d: s.sign_agent_wallet(A, d, nonce=NONCE),
                             [{"agentWalletCreation": {"a": A, "d": d}}], agent_wallet(KEY_A, d)) for d in (True, False)},
    **{m: (lambda s, m=m: getattr(s, m)(A, 15, nonce=NONCE), [{"abc": {"fee": 15, "to": A}}], approve_fee(KEY_A, 15))
       for m in ("sign_approve_builder_code", "sign_approve_commission_fee")},
    **{m: (lambda s, m=m: getattr(s, m)(A, nonce=NONCE), [{"rbc": {"to": A}}], revoke_fee(KEY_A))
       for m in ("sign_revoke_builder_code", "sign_revoke_commission_fee")},
    "remove_sub_account": (lambda s: s.sign_remove_sub_account(A, nonce=NONCE),
                           [{"removeSubAccount": {"toRemove": A}}], remove_sub_account(KEY_A)),
    **{f"transfer_{kind}": (lambda s, kind=kind: s.sign_transfer(A, B, 12.5, kind=kind, nonce=NONCE),
                            [{"transfer": {"from": A, "k": "external" if code else "internal", "marginAmount": 12.5,
                                           "to": B}}], transfer(code, KEY_A, KEY_B, 12.5))
       for kind, code in ((None, 0), ("internal", 0), ("external", 1))},
    "transfer_by_keyword": (
        lambda s: s.sign_transfer(nonce=NONCE, kind="external", margin_amount=1, to_pubkey=B, from_pubkey=A),
        [{"transfer": {"from": A, "k": "external", "marginAmount": 1.0, "to": B}}], transfer(1, KEY_A, KEY_B, 1.0)),
    "create_sub_account": (lambda s: s.sign_create_sub_account("alpha", 100, nonce=NONCE),
                           [{"createSubAccount": {"marginAmount": 100.0, "name": "alpha"}}],
                           create_sub_account("alpha", 100.0)),
    "create_sub_account_plain": (lambda s: s.sign_create_sub_account("beta", nonce=NONCE),
                                 [{"createSubAccount": {"name": "beta"}}], create_sub_account("beta")),
    **{f"whitelist_faucet_{f}": (lambda s, f=f: s.sign_whitelist_faucet(A, f, nonce=NONCE),
                                 [{"whitelistFaucet": {"target": A, "whitelist": f}}], whitelist_faucet(KEY_A, f))
       for f in (True, False)},
    "user_settings_empty": (lambda s: s.sign_user_settings([], nonce=NONCE), [{"updateUserSettings": {"m": {}}}],
                            user_settings([])),
    # Duplicates keep the later pair.
    "user_settings_duplicates": (
        lambda s: s.sign_user_settings((("ETH-USD", 5), ("BTC-USD", 10), ("ETH-USD", 3)), nonce=NONCE),
        [{"updateUserSettings": {"m": {"BTC-USD": 10.0, "ETH-USD": 3.0}}}],
        user_settings((("ETH-USD", 5), ("BTC-USD", 10), ("ETH-USD", 3)))),
}


class TestAccountOperations:
    @pytest.mark.parametrize("name", list(OPERATIONS))
    def test_operation(self, signer, name):
        call, actions, record = OPERATIONS[name]
        tx = call(signer)
        assert tx["actions"] == actions
        check(signer, tx, [record])

    def test_faucet(self, signer):
        tx = signer.sign_faucet(nonce=NONCE)
        assert tx["actions"] == [{"faucet": {"u": signer.pubkey}}]
        check(signer, tx, [faucet(b58decode(signer.pubkey))])

    def test_user_settings(self, signer):
        pairs = [("ETH-USD", 5), ("BTC-USD", 10.5)]
        tx = signer.sign_user_settings(pairs, nonce=NONCE)
        assert tx["actions"] == [{"updateUserSettings": {"m": {"BTC-USD": 10.5, "ETH-USD": 5.0}}}]
        assert list(tx["actions"][0]["updateUserSettings"]["m"]) == ["BTC-USD", "ETH-USD"]
        check(signer, tx, [user_settings(pairs)])

    def test_liquidator_config(self, signer):
        cfg = {
            "cross_exposure": 1.5, "scoring_skew": 2, "toxicity": 0.25, "urgency_size_fraction": 0.5,
            "sweep_sds": 3,
            "instruments": [
                {"symbol": "ETH-USD", "max_exposure": 1000, "reserve": 0.1, "volume_rampup": 7},
                {"symbol": "BTC-USD", "rfactor": 2.5, "max_sweep_bps": 40, "max_adl_percent": 0.3},
                {"symbol": "SOL-USD", "volume_percent": 0.2, "volume_min": 5, "max_adl_notional": 9},
            ],
        }
        tx = signer.sign_update_liquidator_config(cfg, nonce=NONCE)
        liq = tx["actions"][0]["liq"]
        assert list(liq) == ["cross_exposure", "instruments", "scoring_skew", "sweep_sds", "toxicity",
                             "urgency_size_fraction"]
        assert [i["symbol"] for i in liq["instruments"]] == ["BTC-USD", "ETH-USD", "SOL-USD"]
        eth = liq["instruments"][1]
        assert list(eth) == ["max_adl_notional", "max_adl_percent", "max_exposure", "max_sweep_bps", "reserve",
                             "rfactor", "symbol", "volume_min", "volume_percent", "volume_rampup"]
        assert eth["max_exposure"] == 1000.0 and isinstance(eth["max_exposure"], float)
        assert eth["volume_rampup"] == 7 and isinstance(eth["volume_rampup"], int)
        assert liq["scoring_skew"] == 2.0 and isinstance(liq["scoring_skew"], float)
        check(signer, tx, [liquidator(cfg)])

    def test_liquidator_config_lenient_numbers(self, signer):
        cfg = {"toxicity": "high", "sweep_sds": None,
               "instruments": [{"symbol": "A", "max_exposure": "x", "volume_rampup": 2.9},
                               {"symbol": "B", "volume_rampup": -5},
                               {"symbol": "C", "volume_rampup": 1e30},
                               {"symbol": "D", "reserve": float("inf")}]}
        tx = signer.sign_update_liquidator_config(cfg, nonce=NONCE)
        liq = tx["actions"][0]["liq"]
        assert liq["toxicity"] == 0.0 and liq["sweep_sds"] == 0.0
        a, b, c, d = liq["instruments"]
        assert a["max_exposure"] == 0.0 and a["volume_rampup"] == 2
        assert b["volume_rampup"] == 0
        # Saturated to the u64 maximum, which comes back as the nearest float.
        assert c["volume_rampup"] == float(2**64) and isinstance(c["volume_rampup"], float)
        assert d["reserve"] is None
        expected = {"instruments": [{"symbol": "A", "volume_rampup": 2}, {"symbol": "B"},
                                    {"symbol": "C", "volume_rampup": 2**64 - 1},
                                    {"symbol": "D", "reserve": float("inf")}]}
        check(signer, tx, [liquidator(expected)])

    def test_liquidator_config_empty(self, signer):
        tx = signer.sign_update_liquidator_config({}, nonce=NONCE)
        assert tx["actions"][0]["liq"]["instruments"] == []
        check(signer, tx, [liquidator({})])

    def test_oracle_prices(self, signer):
        prices = [(1700000000, "BTC-USD", 100000.5), (1700000001, "ETH-USD", 3000)]
        tx = signer.sign_oracle_prices(prices, nonce=NONCE)
        assert tx["actions"] == [{"px": {"c": "BTC-USD", "px": 100000.5, "t": 1700000000}},
                                 {"px": {"c": "ETH-USD", "px": 3000.0, "t": 1700000001}}]
        check(signer, tx, [oracle_price(t, s, p) for t, s, p in prices])

    def test_pyth_oracle(self, signer):
        entries = [(1700000000, 3, 6500000000000, -8), (1700000001, 4, 2**63 + 2048, 32767)]
        tx = signer.sign_pyth_oracle(entries, nonce=NONCE)
        oracles = tx["actions"][0]["o"]["oracles"]
        assert oracles[0] == {"e": -8, "fi": 3, "px": 6500000000000, "t": 1700000000}
        # A price beyond the signed 64-bit range comes back as a float.
        assert oracles[1]["px"] == float(2**63 + 2048) and isinstance(oracles[1]["px"], float)
        check(signer, tx, [pyth_oracle(entries)])


class TestRefusals:
    @pytest.mark.parametrize("fee", [0, 16, 255])
    def test_approve_fee_range(self, signer, fee):
        with raises(ValueError, "invalid order: builder-code fee must be 1..=15 bps"):
            signer.sign_approve_builder_code(A, fee)

    @pytest.mark.parametrize("fee", [256, -1, 2**70])
    def test_approve_fee_overflow(self, signer, fee):
        with raises(OverflowError, OUT_OF_RANGE):
            signer.sign_approve_commission_fee(A, fee)

    @pytest.mark.parametrize("call,error", [
        (lambda s: s.sign_oracle_prices([]), (ValueError, "invalid order: oracle prices array cannot be empty")),
        (lambda s: s.sign_pyth_oracle(()), (ValueError, "invalid order: pyth oracle array cannot be empty")),
        (lambda s: s.sign_pyth_oracle([(1, 2, 3, 32768)]), (OverflowError, OUT_OF_RANGE)),
        (lambda s: s.sign_pyth_oracle([(1, 2, 3, -32769)]), (OverflowError, OUT_OF_RANGE)),
        # Tuple sequences: their shape first, then each member.
        (lambda s: s.sign_user_settings("BTC-USD"), (TypeError, "Can't extract `str` to `Vec`")),
        (lambda s: s.sign_user_settings([("BTC-USD", 1, 2)]),
         (ValueError, "expected tuple of length 2, but got tuple of length 3")),
        (lambda s: s.sign_oracle_prices([(1, "BTC-USD")]),
         (ValueError, "expected tuple of length 3, but got tuple of length 2")),
        (lambda s: s.sign_pyth_oracle([()]), (ValueError, "expected tuple of length 4, but got tuple of length 0")),
        (lambda s: s.sign_user_settings([["BTC-USD", 1]]), (TypeError, None)),
        (lambda s: s.sign_user_settings(5), (TypeError, None)),
        (lambda s: s.sign_user_settings([(1, 2)]), (TypeError, None)),
        (lambda s: s.sign_oracle_prices([("1", "BTC-USD", 1.0)]), (TypeError, None)),
        (lambda s: s.sign_oracle_prices([(-1, "BTC-USD", 1.0)]), (OverflowError, None)),
        (lambda s: s.sign_transfer(A, B, 1, kind="Internal"), (ValueError, "Invalid transfer kind: Internal")),
        (lambda s: s.sign_transfer(A, B, 1, kind=""), (ValueError, "Invalid transfer kind: ")),
        (lambda s: s.sign_transfer(A, B, 1, kind=1), (TypeError, "argument 'kind': 'int' object cannot be converted to 'str'")),
        (lambda s: s.sign_update_liquidator_config([]),
         (TypeError, "argument 'config': 'list' object cannot be converted to 'dict'")),
        (lambda s: s.sign_update_liquidator_config({"instruments": ({"symbol": "A"},)}), (TypeError, None)),
        (lambda s: s.sign_update_liquidator_config({"instruments": None}), (TypeError, None)),
        (lambda s: s.sign_update_liquidator_config({"instruments": ["A"]}), (TypeError, None)),
        (lambda s: s.sign_update_liquidator_config({"instruments": [{"symbol": "A"}, {"reserve": 1}]}),
         (ValueError, "Missing 'symbol'")),
        (lambda s: s.sign_update_liquidator_config({"instruments": [{"symbol": None}]}), (TypeError, None)),
        # The nonce is converted before the configuration is parsed.
        (lambda s: s.sign_update_liquidator_config("not a dict", nonce=-1), (OverflowError, None)),
        # Every argument is converted before any key is decoded.
        (lambda s: s.sign_agent_wallet("bad0", 1), (TypeError, "argument 'delete': 'int' object cannot be converted to 'bool'")),
        (lambda s: s.sign_agent_wallet("bad0", True, nonce=-1), (OverflowError, None)),
        (lambda s: s.sign_transfer("0", "0", "x"),
         (TypeError, "argument 'margin_amount': 'str' object cannot be converted to 'float'")),
        (lambda s: s.sign_whitelist_faucet("0", None),
         (TypeError, "argument 'whitelist': 'NoneType' object cannot be converted to 'bool'")),
        (lambda s: s.sign_agent_wallet("bad0", True),
         (ValueError, "invalid base58: provided string contained invalid character '0' at byte 3")),
        (lambda s: s.sign_transfer(A, b58encode(bytes(31)), 1), (ValueError, "invalid key length: expected 32, got 31")),
        (lambda s: s.sign_remove_sub_account(""), (ValueError, "invalid key length: expected 32, got 0")),
    ])
    def test_argument_errors(self, signer, call, error):
        exc, text = error
        with raises(exc, text) if text else pytest.raises(exc):
            call(signer)

    def test_pyth_exponent_lower_bound(self, signer):
        tx = signer.sign_pyth_oracle([(1, 2, 3, -32768)], nonce=1)
        assert tx["actions"][0]["o"]["oracles"][0]["e"] == -32768

    def test_failed_inputs_consume_no_nonce(self, keypair):
        s = vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")
        attempts = [
            lambda: s.sign_agent_wallet("bad0", True),
            lambda: s.sign_approve_builder_code(A, 0),
            lambda: s.sign_oracle_prices([]),
            lambda: s.sign_pyth_oracle([]),
            lambda: s.sign_transfer(A, B, 1, kind="x"),
            lambda: s.sign_remove_sub_account("1"),
            lambda: s.sign({"type": "order"}),
            lambda: s.sign_group([]),
        ]
        for attempt in attempts:
            with pytest.raises((ValueError, TypeError)):
                attempt()
        assert s.sign_faucet()["nonce"] == 0
