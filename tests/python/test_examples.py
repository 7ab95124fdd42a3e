"""The example scripts run as a user runs them, and what they print holds up:
signatures verify over the messages the same inputs prepare (whose bytes the
golden files pin), nonces follow the documented rules, and the error cases
carry the module's real exceptions."""

import base64
import json
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import LIMIT, b58decode, b58encode, verifies
from vorn_keychain import _native as vk

ROOT = pathlib.Path(__file__).resolve().parents[2]


def run_example(name):
    done = subprocess.run([sys.executable, str(ROOT / "examples" / name)], env=dict(os.environ, PYTHONPATH=str(ROOT)),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


def check_signed(account, tx, item):
    prepared = vk.py_prepare_order(item, "devnet", account, nonce=tx["nonce"])
    assert verifies(account, prepared["message_bytes"], tx["signature"])
    assert (tx.get("order_id"), tx["actions"]) == (prepared.get("order_id"), prepared["actions"])


def test_sign_order():
    out = json.loads(run_example("sign_order.py"))
    account, limit = out["account"], out["limit"]
    check_signed(account, limit, dict(LIMIT, price=50000.0))
    check_signed(account, out["market"], dict(LIMIT, symbol="ETH-USD", is_buy=False, price=0, size=1.5,
                                              order_type={"type": "market"}, slippage=0.01))
    check_signed(account, out["cancel"], {"type": "cancel", "symbol": "BTC-USD", "order_id": limit["order_id"]})


def test_batch_sign_ladder_has_consecutive_nonces_and_verifies():
    out = json.loads(run_example("batch_sign.py"))
    ladder = out["ladder"]
    nonces = [tx["nonce"] for tx in ladder]
    assert len(ladder) == 12 and nonces == list(range(nonces[0], nonces[0] + 12))
    for i, tx in enumerate(ladder):
        check_signed(out["account"], tx, dict(LIMIT, price=49000.0 + 50 * i, size=0.01))
    assert len(out["bracket"]["actions"]) == 3


def test_wallet_flow_every_mode_verifies_over_what_the_wallet_signed():
    out = json.loads(run_example("wallet_flow.py"))
    account, msg = out["account"], bytes.fromhex(out["message_hex"])
    assert verifies(account, msg, out["direct"]["signature"])
    assert set(out["modes"]) == {"raw", "base58", "offchain"}
    for mode, entry in out["modes"].items():
        assert entry["signed"]["nonce"] == out["nonce"]
        assert verifies(account, bytes.fromhex(entry["wallet_message_hex"]), entry["signed"]["signature"]), mode
    assert out["modes"]["raw"]["wallet_message_hex"] == out["message_hex"]
    assert bytes.fromhex(out["modes"]["base58"]["wallet_message_hex"]) == b58encode(msg).encode()
    assert out["modes"]["offchain"]["clear_sign_message"].startswith("Vorn Exchange Transaction\n")


def test_solana_deposit_transaction_carries_owner_and_blockhash():
    out = json.loads(run_example("solana_deposit.py"))
    for key in ("deposit_transaction_base64", "withdraw_intent_transaction_base64"):
        raw = base64.b64decode(out[key])
        assert b58decode(out["owner"]) in raw and b58decode(out["recent_blockhash"]) in raw
        assert raw[0] == 1 and raw[1:65] == bytes(64)  # one empty signature slot for the owner's wallet
    assert out["instruction"]["accounts"][0] == {"pubkey": out["owner"], "is_signer": True, "is_writable": True}


@pytest.fixture(scope="module")
def error_cases():
    return {c["case"]: c for c in json.loads(run_example("error_handling.py"))}


@pytest.mark.parametrize("case,exception", [("missing_price", "ValueError"), ("bad_domain", "ValueError"),
                                            ("wrong_signature", "ValueError"), ("wrong_type", "TypeError"),
                                            ("negative_nonce", "OverflowError")])
def test_error_handling_reports_real_exceptions(error_cases, case, exception):
    assert error_cases[case]["exception"] == exception and error_cases[case]["message"]


def test_demo_prints_a_finalised_order():
    assert "finalised from the wallet's signature" in run_example("demo.py")


# The README's first steps and pitfalls.

def test_market_order_signs_no_price_and_trigger_is_the_same_market_order():
    out = json.loads(run_example("market_order.py"))
    assert out["price_is_not_signed"] and out["trigger_is_the_same_market_order"]
    check_signed(out["account"], out["market"], dict(LIMIT, price=0, size=0.1, order_type={"type": "market"}))
    assert [next(iter(tx["actions"][0])) for tx in (out["stop"], out["take_profit"])] == ["st", "tp"]


def test_group_order_ids_only_when_asked_and_equal_the_prepared_ones():
    out = json.loads(run_example("group_order_ids.py"))
    tx, ladder = out["with_ids"], [dict(LIMIT, price=49000.0 + 100 * i, size=0.01) for i in range(3)]
    prepared = vk.py_prepare_order_group(ladder, "devnet", out["account"], nonce=tx["nonce"])
    assert "order_ids" not in out["without_ids"] and tx["order_ids"] == prepared["order_ids"]
    assert verifies(out["account"], prepared["message_bytes"], tx["signature"])


def test_load_keys_gives_the_wallet_and_catches_a_public_key_as_secret():
    out = json.loads(run_example("load_keys.py"))
    assert out["from_secret"] == out["from_id_json"] == out["expected_address"]
    assert out["public_key_as_secret"].startswith("this secret is the key of ")


def test_wallet_signature_bytes_finalise_through_their_base58():
    out = json.loads(run_example("wallet_signature.py"))
    assert verifies(out["account"], bytes.fromhex(out["message_hex"]), out["signed"]["signature"])


def test_asyncio_chunks_sign_every_order_with_unique_nonces():
    out = json.loads(run_example("asyncio_batches.py"))
    assert len({tx["nonce"] for tx in out["signed"]}) == 1000 and out["loop_ticks_meanwhile"] > 0
    check_signed(out["account"], out["signed"][999], dict(LIMIT, price=40999.0, size=0.01))


def test_what_is_checked_and_what_is_signed_as_given():
    out = json.loads(run_example("what_is_checked.py"))
    assert out["misspelt_key_ignored"] and out["reduce_only_differs"]
    assert out["nan_price_actions"][0]["l"]["px"] is None and out["negative_size_actions"][0]["l"]["sz"] == -1.0
    assert out["text_price_refused"]["notes"] == ["in orders[1], key 'price'"]
