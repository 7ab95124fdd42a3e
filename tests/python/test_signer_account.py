"""Signer account operations: the action JSON, the signed bytes and the
checks each method makes before a nonce is drawn."""

import pytest

from conftest import (
    NONCE,
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

KEY_A = b"\x44" * 32
KEY_B = b"\x55" * 32
A = b58encode(KEY_A)
B = b58encode(KEY_B)


def check(signer, tx, records, nonce=NONCE):
    account = b58decode(signer.pubkey)
    assert verifies(signer.pubkey, message(records, nonce, account), tx["signature"])
    assert list(tx) == ["actions", "nonce", "account", "signer", "signature"]
    assert tx["nonce"] == nonce and tx["account"] == signer.pubkey == tx["signer"]


class TestAccountOperations:
    def test_faucet(self, signer):
        tx = signer.sign_faucet(nonce=NONCE)
        assert tx["actions"] == [{"faucet": {"u": signer.pubkey}}]
        check(signer, tx, [faucet(b58decode(signer.pubkey))])

    @pytest.mark.parametrize("delete", [True, False])
    def test_agent_wallet(self, signer, delete):
        tx = signer.sign_agent_wallet(A, delete, nonce=NONCE)
        assert tx["actions"] == [{"agentWalletCreation": {"a": A, "d": delete}}]
        check(signer, tx, [agent_wallet(KEY_A, delete)])

    @pytest.mark.parametrize("method", ["sign_approve_builder_code", "sign_approve_commission_fee"])
    def test_approve(self, signer, method):
        tx = getattr(signer, method)(A, 15, nonce=NONCE)
        assert tx["actions"] == [{"abc": {"fee": 15, "to": A}}]
        check(signer, tx, [approve_fee(KEY_A, 15)])

    @pytest.mark.parametrize("method", ["sign_revoke_builder_code", "sign_revoke_commission_fee"])
    def test_revoke(self, signer, method):
        tx = getattr(signer, method)(A, nonce=NONCE)
        assert tx["actions"] == [{"rbc": {"to": A}}]
        check(signer, tx, [revoke_fee(KEY_A)])

    def test_user_settings(self, signer):
        pairs = [("ETH-USD", 5), ("BTC-USD", 10.5)]
        tx = signer.sign_user_settings(pairs, nonce=NONCE)
        assert tx["actions"] == [{"updateUserSettings": {"m": {"BTC-USD": 10.5, "ETH-USD": 5.0}}}]
        assert list(tx["actions"][0]["updateUserSettings"]["m"]) == ["BTC-USD", "ETH-USD"]
        check(signer, tx, [user_settings(pairs)])

    def test_user_settings_duplicates_keep_the_later_pair(self, signer):
        pairs = (("ETH-USD", 5), ("BTC-USD", 10), ("ETH-USD", 3))
        tx = signer.sign_user_settings(pairs, nonce=NONCE)
        assert tx["actions"] == [{"updateUserSettings": {"m": {"BTC-USD": 10.0, "ETH-USD": 3.0}}}]
        check(signer, tx, [user_settings(pairs)])

    def test_user_settings_empty(self, signer):
        tx = signer.sign_user_settings([], nonce=NONCE)
        assert tx["actions"] == [{"updateUserSettings": {"m": {}}}]
        check(signer, tx, [user_settings([])])

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

    def test_remove_sub_account(self, signer):
        tx = signer.sign_remove_sub_account(A, nonce=NONCE)
        assert tx["actions"] == [{"removeSubAccount": {"toRemove": A}}]
        check(signer, tx, [remove_sub_account(KEY_A)])

    @pytest.mark.parametrize("kind,code", [(None, 0), ("internal", 0), ("external", 1)])
    def test_transfer(self, signer, kind, code):
        tx = signer.sign_transfer(A, B, 12.5, kind=kind, nonce=NONCE)
        name = "external" if code else "internal"
        assert tx["actions"] == [{"transfer": {"from": A, "k": name, "marginAmount": 12.5, "to": B}}]
        check(signer, tx, [transfer(code, KEY_A, KEY_B, 12.5)])

    def test_create_sub_account(self, signer):
        tx = signer.sign_create_sub_account("alpha", 100, nonce=NONCE)
        assert tx["actions"] == [{"createSubAccount": {"marginAmount": 100.0, "name": "alpha"}}]
        check(signer, tx, [create_sub_account("alpha", 100.0)])
        tx = signer.sign_create_sub_account("beta", nonce=NONCE)
        assert tx["actions"] == [{"createSubAccount": {"name": "beta"}}]
        check(signer, tx, [create_sub_account("beta")])

    @pytest.mark.parametrize("flag", [True, False])
    def test_whitelist_faucet(self, signer, flag):
        tx = signer.sign_whitelist_faucet(A, flag, nonce=NONCE)
        assert tx["actions"] == [{"whitelistFaucet": {"target": A, "whitelist": flag}}]
        check(signer, tx, [whitelist_faucet(KEY_A, flag)])

    def test_keyword_arguments(self, signer):
        tx = signer.sign_transfer(nonce=NONCE, kind="external", margin_amount=1, to_pubkey=B, from_pubkey=A)
        check(signer, tx, [transfer(1, KEY_A, KEY_B, 1.0)])


class TestRefusals:
    @pytest.mark.parametrize("fee", [0, 16, 255])
    def test_approve_fee_range(self, signer, fee):
        with raises(ValueError, "invalid order: builder-code fee must be 1..=15 bps"):
            signer.sign_approve_builder_code(A, fee)

    @pytest.mark.parametrize("fee", [256, -1, 2**70])
    def test_approve_fee_overflow(self, signer, fee):
        with raises(OverflowError, "out of range integral type conversion attempted"):
            signer.sign_approve_commission_fee(A, fee)

    def test_empty_oracle_lists(self, signer):
        with raises(ValueError, "invalid order: oracle prices array cannot be empty"):
            signer.sign_oracle_prices([])
        with raises(ValueError, "invalid order: pyth oracle array cannot be empty"):
            signer.sign_pyth_oracle(())

    def test_pyth_exponent_range(self, signer):
        with raises(OverflowError, "out of range integral type conversion attempted"):
            signer.sign_pyth_oracle([(1, 2, 3, 32768)])
        with raises(OverflowError, "out of range integral type conversion attempted"):
            signer.sign_pyth_oracle([(1, 2, 3, -32769)])
        tx = signer.sign_pyth_oracle([(1, 2, 3, -32768)], nonce=1)
        assert tx["actions"][0]["o"]["oracles"][0]["e"] == -32768

    def test_tuple_sequences(self, signer):
        with raises(TypeError, "Can't extract `str` to `Vec`"):
            signer.sign_user_settings("BTC-USD")
        with raises(ValueError, "expected tuple of length 2, but got tuple of length 3"):
            signer.sign_user_settings([("BTC-USD", 1, 2)])
        with raises(ValueError, "expected tuple of length 3, but got tuple of length 2"):
            signer.sign_oracle_prices([(1, "BTC-USD")])
        with raises(ValueError, "expected tuple of length 4, but got tuple of length 0"):
            signer.sign_pyth_oracle([()])
        with pytest.raises(TypeError):
            signer.sign_user_settings([["BTC-USD", 1]])
        with pytest.raises(TypeError):
            signer.sign_user_settings(5)
        with pytest.raises(TypeError):
            signer.sign_user_settings([(1, 2)])
        with pytest.raises(TypeError):
            signer.sign_oracle_prices([("1", "BTC-USD", 1.0)])
        with pytest.raises(OverflowError):
            signer.sign_oracle_prices([(-1, "BTC-USD", 1.0)])

    def test_transfer_kind(self, signer):
        with raises(ValueError, "Invalid transfer kind: Internal"):
            signer.sign_transfer(A, B, 1, kind="Internal")
        with raises(ValueError, "Invalid transfer kind: "):
            signer.sign_transfer(A, B, 1, kind="")
        with pytest.raises(TypeError, match="argument 'kind'"):
            signer.sign_transfer(A, B, 1, kind=1)

    def test_liquidator_config_shapes(self, signer):
        with pytest.raises(TypeError, match="argument 'config'"):
            signer.sign_update_liquidator_config([])
        with pytest.raises(TypeError):
            signer.sign_update_liquidator_config({"instruments": ({"symbol": "A"},)})
        with pytest.raises(TypeError):
            signer.sign_update_liquidator_config({"instruments": None})
        with pytest.raises(TypeError):
            signer.sign_update_liquidator_config({"instruments": ["A"]})
        with raises(ValueError, "Missing 'symbol'"):
            signer.sign_update_liquidator_config({"instruments": [{"symbol": "A"}, {"reserve": 1}]})
        with pytest.raises(TypeError):
            signer.sign_update_liquidator_config({"instruments": [{"symbol": None}]})

    def test_liquidator_nonce_is_converted_before_the_config(self, signer):
        with pytest.raises(OverflowError):
            signer.sign_update_liquidator_config("not a dict", nonce=-1)

    def test_conversions_before_keys_are_decoded(self, signer):
        with pytest.raises(TypeError, match="argument 'delete'"):
            signer.sign_agent_wallet("bad0", 1)
        with pytest.raises(OverflowError):
            signer.sign_agent_wallet("bad0", True, nonce=-1)
        with pytest.raises(TypeError, match="argument 'margin_amount'"):
            signer.sign_transfer("0", "0", "x")
        with pytest.raises(TypeError, match="argument 'whitelist'"):
            signer.sign_whitelist_faucet("0", None)
        with raises(ValueError, "invalid base58: provided string contained invalid character '0' at byte 3"):
            signer.sign_agent_wallet("bad0", True)
        with raises(ValueError, "invalid key length: expected 32, got 31"):
            signer.sign_transfer(A, b58encode(bytes(31)), 1)
        with raises(ValueError, "invalid key length: expected 32, got 0"):
            signer.sign_remove_sub_account("")

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
