"""The Keypair class: construction, export, representation and errors."""

import inspect

import nacl.signing
import pytest

from conftest import SEED, b58decode, b58encode, raises
from vorn_keychain import _native as vk


class TestConstruction:
    def test_generated_keys_differ(self):
        assert vk.Keypair().pubkey != vk.Keypair().pubkey

    def test_seed_derives_the_ed25519_public_key(self):
        kp = vk.Keypair.from_bytes(SEED)
        expected = bytes(nacl.signing.SigningKey(SEED).verify_key)
        assert b58decode(kp.pubkey) == expected
        assert kp.secret_key() == SEED
        assert kp.to_bytes() == SEED + expected
        assert kp.to_base58() == b58encode(SEED + expected)

    def test_round_trips(self):
        k = vk.Keypair()
        for again in (vk.Keypair(k.to_base58()), vk.Keypair(k.to_bytes()), vk.Keypair(k.secret_key()),
                      vk.Keypair.from_base58(k.to_base58()), vk.Keypair.from_base58(b58encode(k.secret_key())),
                      vk.Keypair.from_bytes(k.to_bytes())):
            assert again.pubkey == k.pubkey
            assert again.to_bytes() == k.to_bytes()

    def test_keyword_forms_of_static_methods(self):
        assert vk.Keypair.from_bytes(bytes=SEED).secret_key() == SEED
        assert vk.Keypair.from_base58(s=b58encode(SEED)).secret_key() == SEED

    def test_lengths(self):
        assert len(vk.Keypair().to_bytes()) == 64
        assert len(vk.Keypair().secret_key()) == 32


class TestErrors:
    @pytest.mark.parametrize("call,error", [
        (lambda: vk.Keypair(None), (TypeError, "key must be a base58 string or bytes")),
        (lambda: vk.Keypair(bytearray(SEED)), (TypeError, "key must be a base58 string or bytes")),
        (lambda: vk.Keypair("a", "b"), (TypeError, "expected at most one key")),
        (lambda: vk.Keypair(key=SEED), (TypeError, "Keypair() takes no keyword arguments")),
        (lambda: vk.Keypair.from_bytes(bytearray(SEED)),
         (TypeError, "argument 'bytes': 'bytearray' object cannot be converted to 'bytes'")),
        (lambda: vk.Keypair.from_base58(b"abc"), (TypeError, "argument 's': 'bytes' object cannot be converted to 'str'")),
        (lambda: vk.Keypair(bytes(48)), (ValueError, "invalid key length: expected 64, got 48")),
        (lambda: vk.Keypair.from_bytes(b""), (ValueError, "invalid key length: expected 64, got 0")),
        (lambda: vk.Keypair.from_bytes(SEED + b58decode(vk.Keypair().pubkey)),
         (ValueError, "keypair public key does not match its secret key")),
        (lambda: vk.Keypair.from_base58("abc0def"),
         (ValueError, "invalid base58: provided string contained invalid character '0' at byte 3")),
        (lambda: vk.Keypair("l11"), (ValueError, "invalid base58: provided string contained invalid character 'l' at byte 0")),
    ])
    def test_errors(self, call, error):
        with raises(*error):
            call()


class TestSurface:
    def test_repr_and_str(self):
        k = vk.Keypair.from_bytes(SEED)
        assert str(k) == k.pubkey
        assert repr(k) == "Keypair(pubkey='" + k.pubkey + "')"

    def test_immutable(self):
        k = vk.Keypair()
        with pytest.raises(AttributeError):
            k.pubkey = "x"
        with pytest.raises(AttributeError):
            k.other = 1

    def test_identity_semantics(self):
        a = vk.Keypair.from_bytes(SEED)
        b = vk.Keypair.from_bytes(SEED)
        assert a != b and a == a
        assert len({a, b}) == 2

    def test_no_pickling(self, signer):
        import copy
        import pickle
        for obj in (vk.Keypair(), signer):
            with pytest.raises(TypeError):
                pickle.dumps(obj)
            with pytest.raises(TypeError):
                copy.copy(obj)

    def test_docs_and_signatures(self):
        assert vk.Keypair.__doc__ == "Ed25519 keypair for signing transactions"
        assert vk.Keypair.__text_signature__ == "(*args)"
        assert str(inspect.signature(vk.Keypair.from_base58)) == "(s)"
        assert str(inspect.signature(vk.Keypair.from_bytes)) == "(bytes)"
        assert str(inspect.signature(vk.Keypair().to_base58)) == "()"
        assert vk.Keypair.from_base58.__doc__ == "Create from base58-encoded secret key or full keypair"
        assert vk.Keypair.from_bytes.__doc__ == "Create from raw bytes (32-byte secret or 64-byte keypair)"
        assert vk.Keypair.pubkey.__doc__ == "Get the public key as base58 string"
        assert vk.Keypair.to_base58.__doc__ == "Get the full keypair as base58 (64 bytes)"
        assert vk.Keypair.to_bytes.__doc__ == "Get the full keypair as bytes (64 bytes)"
        assert vk.Keypair.secret_key.__doc__ == "Get the secret key as bytes (32 bytes)"

    def test_member_order(self):
        names = [n for n in vk.Keypair.__dict__ if not n.startswith("__")]
        assert names == ["from_base58", "from_bytes", "to_base58", "to_bytes", "secret_key", "pubkey"]
