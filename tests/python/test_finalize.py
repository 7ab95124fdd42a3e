"""Finalisation of prepared messages with a signature made outside the module,
the prepared-dict reader, and Signer.sign_prepared."""

import inspect

import nacl.signing
import pytest

from conftest import CANCEL, LIMIT, SIGNED_KEYS, b58encode, raises
from conftest import wallet_sign as sign_with
from vorn_keychain import _native as vk

SEED = bytes(range(40, 72))
WALLET_KEY = nacl.signing.SigningKey(SEED)
WALLET = b58encode(bytes(WALLET_KEY.verify_key))
OTHER = b58encode(b"\x33" * 32)
NONCE = 1_700_000_000_123_456_789

VERIFY_FAILED = "signing failed: signature does not verify for the prepared signer and message"
SUFFIX_MISMATCH = "signing failed: prepared account, nonce, or network domain does not match message bytes"


def wallet_sign(message: bytes, key=WALLET_KEY) -> str:
    return sign_with(key, message)


def prepare(order=LIMIT, **kw):
    kw.setdefault("nonce", NONCE)
    return vk.py_prepare_order(order, "mainnet", WALLET, **kw)


# ---------------------------------------------------------------- round trips

class TestRoundTrip:
    def test_limit_order(self):
        p = prepare()
        sig = wallet_sign(p["message_bytes"])
        s = vk.py_finalize_transaction(p, sig)
        assert list(s) == SIGNED_KEYS + ["order_id"]
        assert s["actions"] == p["actions"]
        assert s["nonce"] == NONCE
        assert s["account"] == WALLET and s["signer"] == WALLET
        assert s["signature"] == sig
        assert s["order_id"] == p["order_id"]

    def test_group_with_order_ids_by_keyword(self):
        p = vk.py_prepare_order_group([LIMIT, CANCEL, LIMIT], "testnet", WALLET, nonce=5)
        s = vk.py_finalize_transaction(prepared=p, signature=wallet_sign(p["message_bytes"]))
        assert list(s) == SIGNED_KEYS + ["order_ids"]
        assert s["order_ids"] == p["order_ids"] and len(s["order_ids"]) == 2

    def test_account_operation_without_ids(self):
        p = vk.py_prepare_faucet_request("devnet", WALLET, nonce=9)
        s = vk.py_finalize_transaction(p, wallet_sign(p["message_bytes"]))
        assert list(s) == SIGNED_KEYS

    def test_agent_wallet_flow(self):
        # The trading account is another key; the wallet signs as its agent.
        p = vk.py_prepare_order(LIMIT, "mainnet", OTHER, signer=WALLET, nonce=NONCE)
        s = vk.py_finalize_transaction(p, wallet_sign(p["message_bytes"]))
        assert s["account"] == OTHER and s["signer"] == WALLET

    def test_equals_local_signer(self):
        signer = vk.Signer(vk.Keypair(SEED), "mainnet")
        p = prepare()
        assert vk.py_finalize_transaction(p, wallet_sign(p["message_bytes"])) == signer.sign(LIMIT, nonce=NONCE)

    def test_reader_accepts_equivalent_shapes(self):
        p = prepare()
        sig = wallet_sign(p["message_bytes"])
        base = vk.py_finalize_transaction(p, sig)
        variants = [
            dict(p, actions=tuple(p["actions"])),
            dict(p, message_bytes=list(p["message_bytes"])),
            dict(p, message_bytes=tuple(p["message_bytes"])),
            dict(p, order_ids=None),
            dict(p, message_base58="ignored", message_base64=None, message_hex=0),
            {k: p[k] for k in ("actions", "message_bytes", "account", "signer", "nonce", "order_id")},
        ]
        for v in variants:
            assert vk.py_finalize_transaction(v, sig) == base
        without_id = {k: v for k, v in p.items() if k != "order_id"}
        assert vk.py_finalize_transaction(without_id, sig) == vk.py_finalize_transaction(
            dict(p, order_id=None), sig)
        assert "order_id" not in vk.py_finalize_transaction(without_id, sig)

    def test_order_id_and_ids_are_taken_over(self):
        p = prepare()
        sig = wallet_sign(p["message_bytes"])
        s = vk.py_finalize_transaction(dict(p, order_id="anything", order_ids=("a", "b")), sig)
        assert s["order_id"] == "anything" and s["order_ids"] == ["a", "b"]

    def test_actions_are_round_tripped_through_json(self):
        p = prepare()
        odd = [{"z": [1, -2, 2**63, 1.0, None, True, "é"]}]
        s = vk.py_finalize_transaction(dict(p, actions=odd), wallet_sign(p["message_bytes"]))
        assert s["actions"] == [{"z": [1, -2, float(2**63), 1.0, None, True, "é"]}]
        assert type(s["actions"][0]["z"][3]) is float and type(s["actions"][0]["z"][0]) is int


# ---------------------------------------------------------------- checks

def tampered(p):
    """Prepared records changed after preparation, each with the signature the
    finalisation is given and the refusal it gives."""
    sig = wallet_sign(p["message_bytes"])
    other_network = [p["message_bytes"][:-1] + bytes([byte]) for byte in (0, 4)]
    stranger = nacl.signing.SigningKey(b"\x07" * 32)
    return [
        (dict(p, nonce=NONCE + 1), sig, SUFFIX_MISMATCH),
        (dict(p, account=OTHER), sig, SUFFIX_MISMATCH),
        *[(dict(p, message_bytes=bad), wallet_sign(bad), SUFFIX_MISMATCH) for bad in other_network],
        (dict(p, signer=OTHER), sig, VERIFY_FAILED),
        (p, wallet_sign(prepare(nonce=NONCE + 1)["message_bytes"]), VERIFY_FAILED),
        (p, wallet_sign(p["message_bytes"], stranger), VERIFY_FAILED),
        (dict(p, message_bytes=p["message_bytes"][-40:]), sig,
         "signing failed: prepared message is missing its signing suffix"),
        (dict(p, actions=[]), "0" * 10, "orders array cannot be empty"),
        (dict(p, account="broken"), "2" * 89, "signing failed: signature must encode exactly 64 bytes"),
        (p, "O" * 87, "signing failed: signature must be base58"),
        (p, b58encode(b"\x09" * 32), "invalid signature length: expected 64 bytes, got 32"),
        (dict(p, account="l" + WALLET[1:]), sig,
         "invalid base58: provided string contained invalid character 'l' at byte 0"),
        (dict(p, signer=b58encode(b"\x01" * 31)), sig, "invalid key length: expected 32, got 31"),
    ]


class TestChecks:
    def test_refusals(self):
        for prepared, signature, text in tampered(prepare()):
            with raises(ValueError, text):
                vk.py_finalize_transaction(prepared, signature)

    def test_signature_must_be_text(self):
        with pytest.raises(TypeError):
            vk.py_finalize_transaction(prepare(), bytes(64))


# ---------------------------------------------------------------- the prepared-dict reader

class TestPreparedReader:
    ORDER = ["actions", "message_bytes", "account", "signer", "nonce"]

    def test_not_a_dict(self):
        p = prepare()
        for value in (list(p.items()), None, "prepared"):
            with pytest.raises(TypeError):
                vk.py_finalize_transaction(value, "1")

    def test_missing_keys_in_reading_order(self):
        p = prepare()
        for i, key in enumerate(self.ORDER):
            # Everything from this key on is missing: the first one is reported.
            partial = {k: p[k] for k in self.ORDER[:i]}
            with raises(ValueError, f"Missing '{key}'"):
                vk.py_finalize_transaction(partial, "1")
            with raises(ValueError, f"Missing '{key}'"):
                vk.py_finalize_transaction({k: v for k, v in p.items() if k != key}, "1")

    def test_malformed_actions_give_the_parser_text(self):
        p = prepare()
        with pytest.raises(ValueError) as info:
            vk.py_finalize_transaction(dict(p, actions={"l": {}}), "1")
        assert str(info.value) == "[json.exception.type_error.302] type must be array, but is object"
        with pytest.raises(ValueError) as info:
            vk.py_finalize_transaction(dict(p, actions=[float("nan")]), "1")
        assert str(info.value).startswith("[json.exception.parse_error.101] parse error at line 1, column 2")
        with pytest.raises(ValueError) as info:
            vk.py_finalize_transaction(dict(p, actions="text"), "1")
        assert "type must be array, but is string" in str(info.value)

    def test_dumps_errors_propagate(self):
        p = prepare()
        with pytest.raises(TypeError, match="not JSON serializable"):
            vk.py_finalize_transaction(dict(p, actions=[object()]), "1")

    @pytest.mark.parametrize("field,value,error", [
        ("message_bytes", "abc", (TypeError, "Can't extract `str` to `Vec`")),
        ("message_bytes", [1, 256], (OverflowError, None)),
        ("message_bytes", 5, (TypeError, None)),
        ("account", 5, (TypeError, None)),
        ("nonce", "5", (TypeError, None)),
        ("nonce", -5, (OverflowError, None)),
        ("order_id", 5, (TypeError, None)),
        ("order_ids", "abc", (TypeError, "Can't extract `str` to `Vec`")),
        ("order_ids", [1], (TypeError, None)),
    ])
    def test_field_conversions(self, field, value, error):
        exc, text = error
        with raises(exc, text) if text else pytest.raises(exc):
            vk.py_finalize_transaction(dict(prepare(), **{field: value}), "1")


# ---------------------------------------------------------------- Signer.sign_prepared

class TestSignPrepared:
    def test_own_account(self):
        signer = vk.Signer(vk.Keypair(SEED), "mainnet")
        p = prepare()
        s = signer.sign_prepared(p)
        assert s == signer.sign(LIMIT, nonce=NONCE)
        assert s == vk.py_finalize_transaction(p, wallet_sign(p["message_bytes"]))

    def test_agent_for_another_account(self):
        signer = vk.Signer(vk.Keypair(SEED), "devnet")
        p = vk.py_prepare_transfer(OTHER, WALLET, 2.5, "devnet", OTHER, signer=signer.pubkey, nonce=3)
        s = signer.sign_prepared(prepared=p)
        assert s["account"] == OTHER and s["signer"] == signer.pubkey
        assert s["signature"] == wallet_sign(p["message_bytes"])

    def test_signer_checks(self):
        signer = vk.Signer(vk.Keypair(SEED), "mainnet")
        p = prepare()
        with raises(ValueError, f"Prepared message signer {OTHER} does not match signer pubkey {WALLET}"):
            signer.sign_prepared(dict(p, signer=OTHER))
        with raises(ValueError, "Missing 'signer'"):
            signer.sign_prepared({k: v for k, v in p.items() if k != "signer"})
        with raises(ValueError, "Missing 'message_bytes'"):
            signer.sign_prepared({"signer": WALLET})
        with raises(ValueError, "Prepared message network domain does not match signer"):
            vk.Signer(vk.Keypair(SEED), "testnet").sign_prepared(p)
        with raises(ValueError, "Prepared message network domain does not match signer"):
            signer.sign_prepared(dict(p, message_bytes=b""))
        with raises(ValueError, "Missing 'actions'"):
            signer.sign_prepared({"signer": WALLET, "message_bytes": p["message_bytes"]})
        with raises(ValueError, SUFFIX_MISMATCH):
            signer.sign_prepared(dict(p, nonce=1))
        with pytest.raises(TypeError):
            signer.sign_prepared([p])
        with pytest.raises(TypeError):
            signer.sign_prepared(dict(p, signer=b"x"))

    def test_docstring_and_signature(self):
        doc = vk.Signer.sign_prepared.__doc__
        assert doc.splitlines()[0] == "Sign a prepared message and finalize it into a signed transaction."
        assert "agent" in doc and "Args:" in doc and "Returns:" in doc
        assert "prepared: PreparedMessage dict from prepare_* functions" in doc
        assert "SignedTransaction dict ready for API submission" in doc
        assert vk.Signer.sign_prepared.__text_signature__ == "($self, prepared)"
        assert str(inspect.signature(vk.Signer.sign_prepared)) == "(self, /, prepared)"
