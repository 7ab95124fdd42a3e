"""The Signer class itself: constructors, flags, raw signing, representation,
docstrings and text signatures."""

import inspect

import nacl.signing
import pytest

from conftest import SEED, b58decode, b58encode, raises, verifies
from vorn_keychain import _native as vk

# Every method in the class's order: its signature (bound, or for the two
# static constructors unbound) and its docstring (None where a test of its
# own checks a longer one).
METHODS = {
    "from_base58": ("(s, signature_domain)", "Create a signer from base58-encoded secret key"),
    "with_nonce_manager": ("(keypair, strategy, signature_domain)", "Create a signer with nonce management"),
    "set_compute_order_id": ("(enabled)", "Enable/disable single-order ID computation."),
    "set_compute_batch_order_ids": (
        "(enabled)", "Enable/disable batch order ID computation for multi-order transactions."),
    "computes_order_id": ("()", "Whether single-order ID computation is enabled."),
    "computes_batch_order_ids": ("()", "Whether batch order ID computation is enabled."),
    "sign_wallet_prepared": ("(wallet)", None),
    "sign_bytes": ("(message)", "Sign raw message bytes and return a base58 Ed25519 signature."),
    "sign_prepared": ("(prepared)", None),
    "sign": ("(order, nonce=None)", "Sign a single order/cancel/cancelAll"),
    "sign_all": ("(orders, base_nonce=None)", "Sign multiple orders - each becomes its own transaction (parallel)"),
    "sign_group": ("(orders, nonce=None)", "Sign multiple orders atomically in ONE transaction"),
    "sign_faucet": ("(nonce=None)", "Sign a faucet request (testnet only)"),
    "sign_agent_wallet": ("(agent_pubkey, delete, nonce=None)", "Sign agent wallet creation/deletion"),
    "sign_approve_commission_fee": ("(to_pubkey, fee, nonce=None)", "Sign builder-code recipient approval (`abc`)"),
    "sign_approve_builder_code": ("(to_pubkey, fee, nonce=None)", "Sign builder-code recipient approval (`abc`)"),
    "sign_revoke_commission_fee": ("(to_pubkey, nonce=None)", "Sign builder-code recipient revocation (`rbc`)"),
    "sign_revoke_builder_code": ("(to_pubkey, nonce=None)", "Sign builder-code recipient revocation (`rbc`)"),
    "sign_user_settings": ("(max_leverage, nonce=None)", "Sign user settings update"),
    "sign_update_liquidator_config": ("(config, nonce=None)", "Sign a liquidator config update (`liq`)"),
    "sign_oracle_prices": ("(oracles, nonce=None)", "Sign one or more oracle price updates (`px`)"),
    "sign_pyth_oracle": ("(oracles, nonce=None)", "Sign a batch Pyth oracle update (`o`)"),
    "sign_remove_sub_account": ("(to_remove, nonce=None)", "Sign a sub-account removal"),
    "sign_transfer": ("(from_pubkey, to_pubkey, margin_amount, kind=None, nonce=None)", None),
    "sign_create_sub_account": (
        "(name, margin_amount=None, nonce=None)", "Sign a sub-account creation (optional initial margin transfer)"),
    "sign_whitelist_faucet": (
        "(target_pubkey, whitelist, nonce=None)", "Sign whitelist/un-whitelist faucet access (`whitelistFaucet`)"),
    "sign_order": (
        "(orders, nonce=None)", "Deprecated: Use sign() for single, sign_all() for batch, sign_group() for atomic"),
    "sign_orders_batch": ("(batches, base_nonce=None)", "Deprecated: Use sign_all() instead"),
}
STATIC = ("from_base58", "with_nonce_manager")


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
        assert names == list(METHODS) + ["pubkey"]
        assert len(names) == 29

    @pytest.mark.parametrize("name", list(METHODS))
    def test_signatures_and_docstrings(self, signer, name):
        signature, doc = METHODS[name]
        if name in STATIC:
            assert str(inspect.signature(getattr(vk.Signer, name))) == signature
        else:
            assert str(inspect.signature(getattr(signer, name))) == signature
            assert getattr(vk.Signer, name).__text_signature__ == "($self" + (", " + signature[1:] if signature != "()" else ")")
        if doc is not None:
            assert getattr(vk.Signer, name).__doc__ == doc

    def test_transfer_docstring(self):
        doc = vk.Signer.sign_transfer.__doc__
        assert doc.startswith("Sign a margin transfer between accounts.")
        assert '"internal" (default) or "external"' in doc
        assert vk.Signer.pubkey.__doc__ == "Get the signer's public key"

    def test_optional_arguments_accept_none(self, signer):
        assert signer.sign_create_sub_account("x", None, None)["actions"] == [{"createSubAccount": {"name": "x"}}]
        tx = signer.sign_transfer(b58encode(bytes(32)), b58encode(bytes(32)), 1, None, None)
        assert tx["actions"][0]["transfer"]["k"] == "internal"
