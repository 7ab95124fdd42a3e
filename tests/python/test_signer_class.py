"""The Signer class itself: constructors, flags, raw signing, representation,
docstrings and text signatures."""

import inspect

import nacl.signing
import pytest

from conftest import SEED, b58decode, b58encode, raises, verifies
from vorn_keychain import _native as vk

MEMBERS = [
    "from_base58", "with_nonce_manager", "set_compute_order_id", "set_compute_batch_order_ids",
    "computes_order_id", "computes_batch_order_ids", "sign_wallet_prepared", "sign_bytes", "sign_prepared",
    "sign", "sign_all", "sign_group", "sign_faucet", "sign_agent_wallet", "sign_approve_commission_fee",
    "sign_approve_builder_code", "sign_revoke_commission_fee", "sign_revoke_builder_code", "sign_user_settings",
    "sign_update_liquidator_config", "sign_oracle_prices", "sign_pyth_oracle", "sign_remove_sub_account",
    "sign_transfer", "sign_create_sub_account", "sign_whitelist_faucet", "sign_order", "sign_orders_batch",
]

SIGNATURES = {
    "set_compute_order_id": "(enabled)",
    "set_compute_batch_order_ids": "(enabled)",
    "computes_order_id": "()",
    "computes_batch_order_ids": "()",
    "sign_wallet_prepared": "(wallet)",
    "sign_bytes": "(message)",
    "sign_prepared": "(prepared)",
    "sign": "(order, nonce=None)",
    "sign_all": "(orders, base_nonce=None)",
    "sign_group": "(orders, nonce=None)",
    "sign_faucet": "(nonce=None)",
    "sign_agent_wallet": "(agent_pubkey, delete, nonce=None)",
    "sign_approve_commission_fee": "(to_pubkey, fee, nonce=None)",
    "sign_approve_builder_code": "(to_pubkey, fee, nonce=None)",
    "sign_revoke_commission_fee": "(to_pubkey, nonce=None)",
    "sign_revoke_builder_code": "(to_pubkey, nonce=None)",
    "sign_user_settings": "(max_leverage, nonce=None)",
    "sign_update_liquidator_config": "(config, nonce=None)",
    "sign_oracle_prices": "(oracles, nonce=None)",
    "sign_pyth_oracle": "(oracles, nonce=None)",
    "sign_remove_sub_account": "(to_remove, nonce=None)",
    "sign_transfer": "(from_pubkey, to_pubkey, margin_amount, kind=None, nonce=None)",
    "sign_create_sub_account": "(name, margin_amount=None, nonce=None)",
    "sign_whitelist_faucet": "(target_pubkey, whitelist, nonce=None)",
    "sign_order": "(orders, nonce=None)",
    "sign_orders_batch": "(batches, base_nonce=None)",
}

DOCS = {
    "from_base58": "Create a signer from base58-encoded secret key",
    "with_nonce_manager": "Create a signer with nonce management",
    "set_compute_order_id": "Enable/disable single-order ID computation.",
    "set_compute_batch_order_ids": "Enable/disable batch order ID computation for multi-order transactions.",
    "computes_order_id": "Whether single-order ID computation is enabled.",
    "computes_batch_order_ids": "Whether batch order ID computation is enabled.",
    "sign_bytes": "Sign raw message bytes and return a base58 Ed25519 signature.",
    "sign": "Sign a single order/cancel/cancelAll",
    "sign_all": "Sign multiple orders - each becomes its own transaction (parallel)",
    "sign_group": "Sign multiple orders atomically in ONE transaction",
    "sign_order": "Deprecated: Use sign() for single, sign_all() for batch, sign_group() for atomic",
    "sign_orders_batch": "Deprecated: Use sign_all() instead",
    "sign_faucet": "Sign a faucet request (testnet only)",
    "sign_agent_wallet": "Sign agent wallet creation/deletion",
    "sign_approve_builder_code": "Sign builder-code recipient approval (`abc`)",
    "sign_approve_commission_fee": "Sign builder-code recipient approval (`abc`)",
    "sign_revoke_builder_code": "Sign builder-code recipient revocation (`rbc`)",
    "sign_revoke_commission_fee": "Sign builder-code recipient revocation (`rbc`)",
    "sign_user_settings": "Sign user settings update",
    "sign_update_liquidator_config": "Sign a liquidator config update (`liq`)",
    "sign_oracle_prices": "Sign one or more oracle price updates (`px`)",
    "sign_pyth_oracle": "Sign a batch Pyth oracle update (`o`)",
    "sign_remove_sub_account": "Sign a sub-account removal",
    "sign_create_sub_account": "Sign a sub-account creation (optional initial margin transfer)",
    "sign_whitelist_faucet": "Sign whitelist/un-whitelist faucet access (`whitelistFaucet`)",
}


class TestConstruction:
    def test_constructor_copies_the_key(self, keypair):
        s = vk.Signer(keypair, "mainnet")
        assert s.pubkey == keypair.pubkey
        del keypair
        assert len(b58decode(s.pubkey)) == 32

    def test_defaults(self, signer):
        assert signer.computes_order_id() is True
        assert signer.computes_batch_order_ids() is False

    def test_from_base58(self, keypair):
        for text in (keypair.to_base58(), b58encode(SEED)):
            s = vk.Signer.from_base58(text, "testnet")
            assert s.pubkey == keypair.pubkey
        with raises(ValueError, "invalid base58: provided string contained invalid character '0' at byte 0"):
            vk.Signer.from_base58("0", "mainnet")
        # The key is decoded before the domain.
        with raises(ValueError, "invalid key length: expected 64, got 3"):
            vk.Signer.from_base58(b58encode(b"abc"), "Mainnet")

    @pytest.mark.parametrize("domain", ["Mainnet", " mainnet", "", "main"])
    def test_domain_is_matched_exactly(self, keypair, domain):
        with raises(ValueError, f"invalid signature domain '{domain}'; expected mainnet, testnet, or devnet"):
            vk.Signer(keypair, domain)

    def test_argument_types(self, keypair):
        with pytest.raises(TypeError, match="argument 'keypair'"):
            vk.Signer(keypair.to_base58(), "mainnet")
        with pytest.raises(TypeError, match="argument 'signature_domain'"):
            vk.Signer(keypair, 1)
        with pytest.raises(TypeError, match="argument 'keypair'"):
            vk.Signer.with_nonce_manager(None, "counter", "mainnet")


class TestFlags:
    def test_set_flags(self, signer):
        signer.set_compute_order_id(False)
        signer.set_compute_batch_order_ids(enabled=True)
        assert signer.computes_order_id() is False
        assert signer.computes_batch_order_ids() is True
        assert signer.set_compute_order_id(True) is None

    def test_flags_are_strict_bools(self, signer):
        with pytest.raises(TypeError, match="argument 'enabled'"):
            signer.set_compute_order_id(1)
        with pytest.raises(TypeError, match="argument 'enabled'"):
            signer.set_compute_batch_order_ids(None)
        assert signer.computes_order_id() is True


class TestRawSigning:
    def test_sign_bytes_is_plain_ed25519(self, signer):
        for msg in (b"", b"hello", bytes(range(256))):
            expected = nacl.signing.SigningKey(SEED).sign(msg).signature
            assert signer.sign_bytes(msg) == b58encode(expected)
            assert verifies(signer.pubkey, msg, signer.sign_bytes(msg))

    def test_sign_bytes_takes_bytes_only(self, signer):
        for bad in (bytearray(b"x"), memoryview(b"x"), "x", [1]):
            with pytest.raises(TypeError, match="argument 'message'"):
                signer.sign_bytes(bad)


class TestSurface:
    def test_repr_and_pubkey(self, signer, keypair):
        assert repr(signer) == "Signer(pubkey='" + keypair.pubkey + "')"
        with pytest.raises(AttributeError):
            signer.pubkey = "x"

    def test_class_doc(self):
        assert vk.Signer.__doc__ == "High-performance transaction signer"
        assert vk.Signer.__text_signature__ == "(keypair, signature_domain)"

    def test_member_order(self):
        names = [n for n in vk.Signer.__dict__ if not n.startswith("__")]
        assert names[:len(MEMBERS)] == MEMBERS
        assert names[len(MEMBERS):] == ["pubkey"]
        assert len(MEMBERS) + 1 == 29

    @pytest.mark.parametrize("name", sorted(SIGNATURES))
    def test_text_signatures(self, signer, name):
        assert str(inspect.signature(getattr(signer, name))) == SIGNATURES[name]
        assert getattr(vk.Signer, name).__text_signature__.startswith("($self")

    def test_static_signatures(self):
        assert str(inspect.signature(vk.Signer.from_base58)) == "(s, signature_domain)"
        assert str(inspect.signature(vk.Signer.with_nonce_manager)) == "(keypair, strategy, signature_domain)"

    @pytest.mark.parametrize("name", sorted(DOCS))
    def test_docstrings(self, name):
        assert getattr(vk.Signer, name).__doc__ == DOCS[name]

    def test_transfer_docstring(self):
        doc = vk.Signer.sign_transfer.__doc__
        assert doc.startswith("Sign a margin transfer between accounts.")
        assert '"internal" (default) or "external"' in doc
        assert vk.Signer.pubkey.__doc__ == "Get the signer's public key"

    def test_optional_arguments_accept_none(self, signer):
        assert signer.sign_create_sub_account("x", None, None)["actions"] == [{"createSubAccount": {"name": "x"}}]
        tx = signer.sign_transfer(b58encode(bytes(32)), b58encode(bytes(32)), 1, None, None)
        assert tx["actions"][0]["transfer"]["k"] == "internal"
