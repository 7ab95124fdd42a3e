"""The example scripts run as a user runs them, and what they print holds up:
signatures verify over independently rebuilt messages, nonces follow the
documented rules, and the error cases carry the module's real exceptions."""

import base64
import json
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import b58decode, b58encode, cancel_order, limit_order, market_order, message, order_id, verifies

ROOT = pathlib.Path(__file__).resolve().parents[2]
DEVNET = 3


def run_example(name):
    env = dict(os.environ, PYTHONPATH=str(ROOT))
    done = subprocess.run([sys.executable, str(ROOT / "examples" / name)], env=env, capture_output=True,
                          text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_sign_order_limit_verifies_over_rebuilt_message():
    out = json.loads(run_example("sign_order.py"))
    account = out["account"]
    limit = out["limit"]
    record = limit_order("BTC-USD", True, 50000.0, 0.25)
    msg = message([record], limit["nonce"], b58decode(account), domain=DEVNET)
    assert verifies(account, msg, limit["signature"])
    assert limit["order_id"] == order_id(record, b58decode(account), limit["nonce"])
    market = out["market"]
    # A slippage bound switches the message to the format that carries it.
    msg = message([market_order("ETH-USD", False, 1.5, slippage=0.01, wv=2)], market["nonce"], b58decode(account),
                  domain=DEVNET, wv=2)
    assert verifies(account, msg, market["signature"])
    cancel = out["cancel"]
    assert cancel["actions"] == [{"cx": {"c": "BTC-USD", "oid": limit["order_id"]}}]
    msg = message([cancel_order("BTC-USD", b58decode(limit["order_id"]))], cancel["nonce"], b58decode(account),
                  domain=DEVNET)
    assert verifies(account, msg, cancel["signature"])


def test_batch_sign_ladder_has_consecutive_nonces_and_verifies():
    out = json.loads(run_example("batch_sign.py"))
    account = out["account"]
    ladder = out["ladder"]
    assert len(ladder) == 12
    nonces = [tx["nonce"] for tx in ladder]
    assert nonces == list(range(nonces[0], nonces[0] + 12))
    for i, tx in enumerate(ladder):
        msg = message([limit_order("BTC-USD", True, 49000.0 + 50 * i, 0.01)], tx["nonce"], b58decode(account),
                      domain=DEVNET)
        assert verifies(account, msg, tx["signature"]), i
    assert len(out["bracket"]["actions"]) == 3


def test_wallet_flow_every_mode_verifies_over_what_the_wallet_signed():
    out = json.loads(run_example("wallet_flow.py"))
    account = out["account"]
    msg = bytes.fromhex(out["message_hex"])
    assert verifies(account, msg, out["direct"]["signature"])
    assert set(out["modes"]) == {"raw", "base58", "offchain"}
    for mode, entry in out["modes"].items():
        signed = entry["signed"]
        assert signed["nonce"] == out["nonce"]
        wallet_msg = bytes.fromhex(entry["wallet_message_hex"])
        assert verifies(account, wallet_msg, signed["signature"]), mode
    assert out["modes"]["raw"]["wallet_message_hex"] == out["message_hex"]
    assert bytes.fromhex(out["modes"]["base58"]["wallet_message_hex"]) == \
        b58encode(msg).encode()
    assert out["modes"]["offchain"]["clear_sign_message"]


def test_solana_deposit_transaction_carries_owner_and_blockhash():
    out = json.loads(run_example("solana_deposit.py"))
    for key in ("deposit_transaction_base64", "withdraw_intent_transaction_base64"):
        raw = base64.b64decode(out[key])
        assert b58decode(out["owner"]) in raw
        assert b58decode(out["recent_blockhash"]) in raw
        assert raw[0] == 1  # one signature slot, left empty for the owner's wallet
        assert raw[1:65] == bytes(64)
    assert out["instruction"]["accounts"][0] == {"pubkey": out["owner"], "is_signer": True, "is_writable": True}


@pytest.fixture(scope="module")
def error_cases():
    return {c["case"]: c for c in json.loads(run_example("error_handling.py"))}


@pytest.mark.parametrize("case,exception", [
    ("missing_price", "ValueError"),
    ("bad_domain", "ValueError"),
    ("wrong_signature", "ValueError"),
    ("wrong_type", "TypeError"),
    ("negative_nonce", "OverflowError"),
])
def test_error_handling_reports_real_exceptions(error_cases, case, exception):
    assert error_cases[case]["exception"] == exception
    assert error_cases[case]["message"]


def test_demo_prints_a_finalised_order():
    out = run_example("demo.py")
    assert "finalised from the wallet's signature" in out
