"""Wallet signing modes (raw, base58, off-chain with clear-sign text), the
wallet dict and its reader, finalize_wallet_message and
Signer.sign_wallet_prepared."""

import hashlib
import inspect
import struct

import nacl.signing
import pytest

from conftest import LIMIT, SIGNED_KEYS, b58encode, raises
from conftest import wallet_sign as sign_with
from vorn_keychain import _native as vk

SEED = bytes(range(100, 132))
KEY = nacl.signing.SigningKey(SEED)
PUBKEY = bytes(KEY.verify_key)
ACCOUNT = b58encode(PUBKEY)
OTHER = b58encode(b"\x33" * 32)
NONCE = 1700000000000000000
WALLET_KEYS = ["prepared", "signature_mode", "message_bytes", "clear_sign_message"]
MODES = ["raw", "base58", "offchain"]

MODE_ERROR = "signing failed: signature mode must be raw, base58 or offchain"
DIFFERS = "signing failed: wallet message differs from selected encoding of the raw preparation"


def wallet_sign(message: bytes) -> str:
    return sign_with(KEY, message)


def prepare(order=LIMIT, domain="mainnet", **kw):
    kw.setdefault("nonce", NONCE)
    return vk.py_prepare_order(order, domain, ACCOUNT, **kw)


def envelope(text: str, signer: bytes, domain: int) -> bytes:
    # Solana off-chain message, header version 0, one signer.
    body = text.encode()
    printable = all(0x20 <= b <= 0x7E for b in body)
    return (b"\xff" + b"solana offchain" + b"\x00" + bytes([domain]) + b"\x00" * 31
            + bytes([0 if printable else 1]) + b"\x01" + signer + struct.pack("<H", len(body)) + body)


def expected_text(prepared, network: str, lines) -> str:
    head = [
        "Vorn Exchange Transaction",
        f"Network: {network}",
        f"Account: {prepared['account']}",
        f"Nonce: {prepared['nonce']}",
        f"Actions: {len(lines)}",
        "Signable-Hash: " + hashlib.sha256(prepared["message_bytes"]).hexdigest(),
    ]
    return "".join(line + "\n" for line in head + [f"[{i}] {l}" for i, l in enumerate(lines)])


LIMIT_LINE = "Limit BTC-USD Buy px=100000.00000000 sz=0.25000000 tif=GTC ro=false iso=false"


# ---------------------------------------------------------------- the three modes

class TestModes:
    @pytest.mark.parametrize("mode", ["raw", "base58"])
    def test_byte_modes(self, mode):
        p = prepare()
        w = vk.prepare_wallet_message(p, mode=mode)
        assert list(w) == WALLET_KEYS
        assert w["prepared"] == p
        assert w["signature_mode"] == mode
        expected = p["message_bytes"] if mode == "raw" else b58encode(p["message_bytes"]).encode("ascii")
        assert w["message_bytes"] == expected and type(w["message_bytes"]) is bytes
        assert w["clear_sign_message"] is None

    def test_offchain_limit_order(self):
        p = prepare()
        w = vk.prepare_wallet_message(prepared=p, mode="offchain")
        assert list(w) == WALLET_KEYS
        assert w["signature_mode"] == "offchain"
        text = expected_text(p, "mainnet", [LIMIT_LINE])
        assert w["clear_sign_message"] == text
        assert w["message_bytes"] == envelope(text, PUBKEY, 1)
        msg = w["message_bytes"]
        assert len(msg) == 85 + len(text.encode())
        assert msg[16] == 0 and msg[49] == 1 and msg[50] == 1

    def test_offchain_uses_the_prepared_signer_and_domain(self):
        p = vk.py_prepare_order_group(
            [LIMIT, {"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]}],
            "devnet", OTHER, signer=ACCOUNT, nonce=42)
        w = vk.prepare_wallet_message(p, "offchain")
        text = expected_text(p, "devnet", [LIMIT_LINE, "CancelAll BTC-USD,ETH-USD"])
        assert w["clear_sign_message"] == text
        assert "Account: " + OTHER + "\n" in text
        assert w["message_bytes"] == envelope(text, PUBKEY, 3)
        assert w["message_bytes"][17:49] == b"\x03" + b"\x00" * 31

    def test_offchain_account_operations(self):
        p = vk.py_prepare_transfer(ACCOUNT, OTHER, 2.5, "testnet", ACCOUNT, "external", nonce=7)
        w = vk.prepare_wallet_message(p, "offchain")
        line = f"Transfer External from={ACCOUNT} to={OTHER} amt=2.50000000"
        assert w["clear_sign_message"] == expected_text(p, "testnet", [line])
        p = vk.py_prepare_faucet_request("testnet", ACCOUNT, nonce=8)
        w = vk.prepare_wallet_message(p, "offchain")
        assert w["clear_sign_message"].endswith(f"[0] Faucet user={ACCOUNT} amount=-\n")

    def test_offchain_refusals(self):
        with raises(ValueError, "signing failed: invalid offchain clear-sign field: c"):
            vk.prepare_wallet_message(prepare(dict(LIMIT, symbol="BTC\nUSD")), "offchain")
        with raises(ValueError, "signing failed: invalid offchain clear-sign field: c"):
            vk.prepare_wallet_message(prepare(dict(LIMIT, symbol="BTC\x7fUSD")), "offchain")
        with raises(ValueError, "signing failed: invalid offchain clear-sign field: name"):
            vk.prepare_wallet_message(
                vk.py_prepare_create_sub_account("a\rb", "mainnet", ACCOUNT, nonce=1), "offchain")
        # Control bytes do not matter to the byte modes.
        raw = vk.prepare_wallet_message(prepare(dict(LIMIT, symbol="BTC\nUSD")), "raw")
        assert raw["clear_sign_message"] is None
        liq = vk.py_prepare_update_liquidator_config({}, "mainnet", ACCOUNT, nonce=1)
        with raises(ValueError, "signing failed: unsupported offchain clear-sign action: liq"):
            vk.prepare_wallet_message(liq, "offchain")
        assert vk.prepare_wallet_message(liq, "base58")["signature_mode"] == "base58"

    def test_mode_text(self):
        p = prepare()
        for mode in ("RAW", "Raw", "raw ", "", "off-chain", "hex"):
            with raises(ValueError, MODE_ERROR):
                vk.prepare_wallet_message(p, mode)
        with pytest.raises(TypeError):
            vk.prepare_wallet_message(p, 0)

    @pytest.mark.parametrize("mode", MODES)
    def test_preparation_is_checked_first(self, mode):
        p = prepare()
        for prepared, text in [
            (dict(p, account=OTHER), "signing failed: prepared account or nonce differs from raw signing bytes"),
            (dict(p, nonce=NONCE + 1), "signing failed: prepared account or nonce differs from raw signing bytes"),
            (dict(p, message_bytes=p["message_bytes"][:-1] + b"\x04"),
             "signing failed: prepared message has an invalid network domain"),
            (dict(p, message_bytes=p["message_bytes"][:40]),
             "signing failed: prepared message is missing its signing suffix"),
            (dict(p, actions=[]), "orders array cannot be empty"),
        ]:
            with raises(ValueError, text):
                vk.prepare_wallet_message(prepared, mode)

    def test_prepared_dict_is_read_before_the_mode(self):
        p = prepare()
        with raises(ValueError, "Missing 'nonce'"):
            vk.prepare_wallet_message({k: v for k, v in p.items() if k != "nonce"}, "RAW")
        with pytest.raises(TypeError):
            vk.prepare_wallet_message([p], "raw")


# ---------------------------------------------------------------- finalisation

class TestFinalizeWallet:
    @pytest.mark.parametrize("mode", MODES)
    def test_round_trip(self, mode):
        p = prepare()
        w = vk.prepare_wallet_message(p, mode)
        sig = wallet_sign(w["message_bytes"])
        s = vk.finalize_wallet_message(w, sig)
        assert list(s) == SIGNED_KEYS + ["order_id"]
        assert s["signature"] == sig
        assert s["actions"] == p["actions"] and s["nonce"] == NONCE and s["order_id"] == p["order_id"]
        assert s == vk.finalize_wallet_message(wallet=w, signature=sig)

    @pytest.mark.parametrize("mode", ["base58", "offchain"])
    def test_signature_over_raw_bytes_is_refused(self, mode):
        p = prepare()
        w = vk.prepare_wallet_message(p, mode)
        with raises(ValueError, "signing failed: signature does not verify for the prepared signer and message"):
            vk.finalize_wallet_message(w, wallet_sign(p["message_bytes"]))

    def test_tampered_wallet_messages(self):
        p = prepare()
        raw = vk.prepare_wallet_message(p, "raw")
        off = vk.prepare_wallet_message(p, "offchain")
        b58 = vk.prepare_wallet_message(p, "base58")
        flipped = bytearray(off["message_bytes"])
        flipped[-2] ^= 1
        cases = [
            dict(off, message_bytes=bytes(flipped)),
            dict(off, clear_sign_message=None),
            dict(off, clear_sign_message=off["clear_sign_message"] + " "),
            dict(raw, clear_sign_message="text"),
            dict(raw, signature_mode="base58"),
            dict(b58, signature_mode="raw"),
            dict(raw, message_bytes=raw["message_bytes"] + b"\x00"),
        ]
        for w in cases:
            with raises(ValueError, DIFFERS):
                vk.finalize_wallet_message(w, wallet_sign(w["message_bytes"]))
        missing_text = {k: v for k, v in off.items() if k != "clear_sign_message"}
        with raises(ValueError, DIFFERS):
            vk.finalize_wallet_message(missing_text, wallet_sign(off["message_bytes"]))
        # Absent text on a raw message is the same as None.
        no_key = {k: v for k, v in raw.items() if k != "clear_sign_message"}
        assert vk.finalize_wallet_message(no_key, wallet_sign(raw["message_bytes"]))["signature"]

    def test_list_message_bytes_accepted(self):
        w = vk.prepare_wallet_message(prepare(), "raw")
        sig = wallet_sign(w["message_bytes"])
        assert vk.finalize_wallet_message(dict(w, message_bytes=list(w["message_bytes"])), sig)["signature"] == sig


class TestWalletReader:
    @staticmethod
    def without(d, key):
        return {k: v for k, v in d.items() if k != key}

    def test_errors_in_reading_order(self):
        w = vk.prepare_wallet_message(prepare(), "raw")
        cases = [
            ([w], (TypeError, None)),
            ({}, (ValueError, "Missing 'prepared'")),
            ({"signature_mode": "raw"}, (ValueError, "Missing 'prepared'")),
            # Both keys are looked up before either value is checked.
            ({"prepared": 5}, (ValueError, "Missing 'signature_mode'")),
            ({"prepared": 5, "signature_mode": "raw"}, (TypeError, None)),
            ({"prepared": {}, "signature_mode": "RAW"}, (ValueError, "Missing 'actions'")),
            (dict(w, signature_mode="RAW"), (ValueError, MODE_ERROR)),
            (dict(w, signature_mode=None), (TypeError, None)),
            (self.without(w, "message_bytes"), (ValueError, "Missing 'message_bytes'")),
            (dict(w, message_bytes="abc"), (TypeError, "Can't extract `str` to `Vec`")),
            (dict(w, clear_sign_message=b"text"), (TypeError, None)),
        ]
        for wallet, (exc, text) in cases:
            with raises(exc, text) if text else pytest.raises(exc):
                vk.finalize_wallet_message(wallet, "1")

    def test_signature_checks_after_reading(self):
        w = vk.prepare_wallet_message(prepare(), "raw")
        with raises(ValueError, "signing failed: signature must be base58"):
            vk.finalize_wallet_message(w, "0")
        with raises(ValueError, "invalid signature length: expected 64 bytes, got 1"):
            vk.finalize_wallet_message(w, "2")


# ---------------------------------------------------------------- Signer.sign_wallet_prepared

class TestSignWalletPrepared:
    @pytest.mark.parametrize("mode", MODES)
    def test_signs_the_wallet_bytes(self, mode):
        signer = vk.Signer(vk.Keypair(SEED), "mainnet")
        w = vk.prepare_wallet_message(prepare(), mode)
        s = signer.sign_wallet_prepared(w)
        assert s["signature"] == wallet_sign(w["message_bytes"])
        assert s == vk.finalize_wallet_message(w, s["signature"])
        assert signer.sign_wallet_prepared(wallet=w) == s

    def test_agent_for_another_account(self):
        signer = vk.Signer(vk.Keypair(SEED), "testnet")
        p = vk.py_prepare_order(LIMIT, "testnet", OTHER, signer=signer.pubkey, nonce=3)
        s = signer.sign_wallet_prepared(vk.prepare_wallet_message(p, "offchain"))
        assert s["account"] == OTHER and s["signer"] == ACCOUNT

    def test_mismatches(self):
        w = vk.prepare_wallet_message(prepare(), "offchain")
        mismatch = "signing failed: prepared wallet signer or network does not match configured signer"
        with raises(ValueError, mismatch):
            vk.Signer(vk.Keypair(SEED), "testnet").sign_wallet_prepared(w)
        with raises(ValueError, mismatch):
            vk.Signer(vk.Keypair(b"\x01" * 32), "mainnet").sign_wallet_prepared(w)
        signer = vk.Signer(vk.Keypair(SEED), "mainnet")
        with raises(ValueError, DIFFERS):
            signer.sign_wallet_prepared(dict(w, clear_sign_message=None))
        with raises(ValueError, MODE_ERROR):
            signer.sign_wallet_prepared(dict(w, signature_mode="OFFCHAIN"))
        with pytest.raises(TypeError):
            signer.sign_wallet_prepared(None)

    def test_docstring_and_unbound_signature(self):
        fn = vk.Signer.sign_wallet_prepared
        assert fn.__doc__.splitlines()[0] == "Sign a wallet mode with this signer's key and configured network."
        assert fn.__text_signature__ == "($self, wallet)"
        assert str(inspect.signature(fn)) == "(self, /, wallet)"
