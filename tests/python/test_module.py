"""The module surface: registration order, __all__, re-import, sub-interpreters,
text signatures, argument binding messages and the module functions of the
signing surface."""

import hashlib
import importlib
import inspect
import os
import subprocess
import sys
import textwrap

import pytest

from conftest import NONCE, b58encode, raises, skip_under_asan
from vorn_keychain import _native as vk

ALL = [
    "prepare_wallet_message",
    "finalize_wallet_message",
    "export_deposit_transaction",
    "export_withdraw_intent_transaction",
    "build_deposit_instruction",
    "build_withdraw_intent_instruction",
    "Keypair",
    "Signer",
    "random_hash",
    "current_timestamp",
    "validate_pubkey",
    "validate_hash",
    "compute_order_id",
    "compute_order_id_from_order",
    "py_prepare_order",
    "py_prepare_all_orders",
    "py_prepare_order_group",
    "py_prepare_agent_wallet_auth",
    "py_prepare_approve_builder_code",
    "py_prepare_update_liquidator_config",
    "py_prepare_approve_commission_fee",
    "py_prepare_revoke_builder_code",
    "py_prepare_revoke_commission_fee",
    "py_prepare_faucet_request",
    "py_prepare_create_sub_account",
    "py_prepare_remove_sub_account",
    "py_prepare_transfer",
    "py_finalize_transaction",
]

# The directory holding the vorn_keychain package that this test run imports.
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(vk.__file__)))


class TestRegistration:
    def test_all_lists_every_name_in_registration_order(self):
        assert vk.__all__ == ALL
        assert len(vk.__all__) == 28

    def test_registered_names_keep_their_relative_order(self):
        # Whatever is registered appears in the fixed order.
        present = [n for n in ALL if n in vk.__all__]
        assert vk.__all__ == present
        assert vk.__all__.index("Keypair") + 1 == vk.__all__.index("Signer")

    def test_attributes(self):
        for name in vk.__all__:
            assert hasattr(vk, name)
        public = sorted(n for n in dir(vk) if not n.startswith("__"))
        assert public == sorted(vk.__all__)

    def test_module_identity_and_doc(self):
        assert vk.__name__ == "vorn_keychain._native"
        assert vk.__doc__ == "High-performance transaction signing for VORN DEX"
        again = importlib.import_module("vorn_keychain._native")
        assert again is vk

    def test_reimport_after_removal_gives_the_same_module(self):
        name = "vorn_keychain._native"
        saved = sys.modules.pop(name)
        try:
            again = importlib.import_module(name)
            assert again is saved
        finally:
            sys.modules[name] = saved

    def test_sub_interpreter_import_is_refused(self, tmp_path):
        testcapi = pytest.importorskip("_testcapi")
        out = tmp_path / "result.txt"
        code = textwrap.dedent(f"""
            import sys
            sys.path.insert(0, {ROOT!r})
            try:
                import vorn_keychain._native
                result = "imported"
            except ImportError as e:
                result = "ImportError"
            open({str(out)!r}, "w").write(result)
        """)
        testcapi.run_in_subinterp(code)
        assert out.read_text() == "ImportError"
        # The module keeps working in the main interpreter.
        assert vk.validate_hash(b58encode(bytes(32)))

    def test_classes_and_functions_are_builtins(self):
        assert isinstance(vk.Keypair, type) and isinstance(vk.Signer, type)
        assert type(vk.random_hash).__name__ == "builtin_function_or_method"
        assert vk.random_hash.__module__ == "vorn_keychain._native"


class TestInternalFault:
    def test_fault_class_derives_directly_from_base_exception(self):
        faults = [c for c in BaseException.__subclasses__() if c.__module__ == "vorn_keychain._native"]
        assert len(faults) == 1
        fault = faults[0]
        assert fault.__bases__ == (BaseException,)
        assert not issubclass(fault, Exception)
        # It is raised, never looked up: the module does not export it.
        assert fault.__name__ not in vk.__all__ and not hasattr(vk, fault.__name__)


class TestSignatures:
    @pytest.mark.parametrize("name,sig", [
        ("random_hash", "()"),
        ("current_timestamp", "()"),
        ("validate_pubkey", "(s)"),
        ("validate_hash", "(s)"),
        ("compute_order_id", "(wincode_bytes)"),
        ("compute_order_id_from_order", "(order, nonce, account)"),
        ("Signer", "(keypair, signature_domain)"),
        ("Keypair", "(*args)"),
    ])
    def test_module_level(self, name, sig):
        assert str(inspect.signature(getattr(vk, name))) == sig

    def test_py_prepare_transfer_when_present(self):
        if not hasattr(vk, "py_prepare_transfer"):
            pytest.skip("py_prepare_transfer is not registered in this build")
        assert str(inspect.signature(vk.py_prepare_transfer)) == (
            "(from_pubkey, to_pubkey, margin_amount, signature_domain, account, kind=None, signer=None, nonce=None)")

    def test_docstrings(self):
        assert vk.random_hash.__doc__ == "Generate a random hash (for client order IDs)"
        assert vk.current_timestamp.__doc__ == "Get the current Unix timestamp in nanoseconds"
        assert vk.validate_pubkey.__doc__ == "Validate a base58-encoded public key"
        assert vk.validate_hash.__doc__ == "Validate a base58-encoded hash"
        assert vk.compute_order_id.__doc__ == (
            "Compute SHA256 hash from raw bytes.\n\n"
            "This is a raw utility and does not apply VORN order-ID canonicalization.")
        doc = vk.compute_order_id_from_order.__doc__
        assert doc.startswith("Compute order ID from an order JSON object without a private key.")
        assert "Supports:" in doc and '{"type": "order", ...}' in doc and '{"l": {...}}' in doc
        assert doc.endswith("Returns `None` for non-order actions (cancel/modify/cancel-all).")


class TestBinding:
    def test_missing(self):
        with raises(TypeError, "validate_pubkey() missing 1 required positional argument: 's'"):
            vk.validate_pubkey()
        with raises(TypeError, "compute_order_id_from_order() missing 3 required positional arguments: "
                               "'order', 'nonce', and 'account'"):
            vk.compute_order_id_from_order()
        with raises(TypeError, "compute_order_id_from_order() missing 2 required positional arguments: "
                               "'nonce' and 'account'"):
            vk.compute_order_id_from_order({})

    def test_too_many(self):
        with raises(TypeError, "validate_pubkey() takes 1 positional argument but 2 were given"):
            vk.validate_pubkey("a", "b")
        with raises(TypeError, "compute_order_id_from_order() takes 3 positional arguments but 4 were given"):
            vk.compute_order_id_from_order({}, 1, "a", 4)

    def test_keywords(self):
        with raises(TypeError, "validate_pubkey() got an unexpected keyword argument 'x'"):
            vk.validate_pubkey(x="a")
        with raises(TypeError, "validate_pubkey() got multiple values for argument 's'"):
            vk.validate_pubkey("a", s="b")
        assert vk.validate_pubkey(s=b58encode(bytes(32))) is True

    def test_keyword_order_does_not_matter(self):
        order = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1, "size": 1}
        acct = b58encode(b"\x11" * 32)
        assert (vk.compute_order_id_from_order(account=acct, nonce=1, order=order)
                == vk.compute_order_id_from_order(order, 1, acct))

    def test_no_argument_functions(self):
        with pytest.raises(TypeError):
            vk.random_hash(1)
        with pytest.raises(TypeError):
            vk.current_timestamp(x=1)


class TestFunctions:
    def test_random_hash(self):
        a, b = vk.random_hash(), vk.random_hash()
        assert a != b
        assert vk.validate_hash(a)

    def test_current_timestamp_strictly_increases(self):
        values = [vk.current_timestamp() for _ in range(1000)]
        assert all(b > a for a, b in zip(values, values[1:]))
        assert values[0] > 1_600_000_000 * 10**9

    def test_validate_pubkey(self):
        assert vk.validate_pubkey(b58encode(bytes(32))) is True
        assert vk.validate_pubkey("xyz0") is False
        assert vk.validate_pubkey("") is False
        assert vk.validate_pubkey(b58encode(bytes(31))) is False
        assert vk.validate_pubkey(b58encode(bytes(33))) is False
        with pytest.raises(TypeError, match="argument 's'"):
            vk.validate_pubkey(123)

    def test_validate_hash(self):
        assert vk.validate_hash(b58encode(b"\x05" * 32)) is True
        assert vk.validate_hash(b58encode(bytes(31))) is False
        assert vk.validate_hash("Ol") is False
        with pytest.raises(TypeError):
            vk.validate_hash(None)

    def test_compute_order_id(self):
        assert vk.compute_order_id(b"") == b58encode(hashlib.sha256(b"").digest())
        assert vk.compute_order_id(b"abc") == b58encode(hashlib.sha256(b"abc").digest())
        with pytest.raises(TypeError, match="argument 'wincode_bytes'"):
            vk.compute_order_id(bytearray(b"abc"))
        with pytest.raises(TypeError):
            vk.compute_order_id("abc")


class TestOrderIdFromOrder:
    ACCT = b58encode(b"\x11" * 32)
    OID = b58encode(b"\xab" * 32)

    def test_simplified_equals_signer(self, signer):
        order = {"type": "order", "symbol": "SOL-USD", "is_buy": False, "price": 150.5, "size": 3}
        tx = signer.sign(order, nonce=77)
        assert vk.compute_order_id_from_order(order, 77, signer.pubkey) == tx["order_id"]

    def test_compact_limit_equals_simplified(self):
        simplified = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25,
                      "reduce_only": True, "order_type": {"type": "limit", "tif": "ALO"}}
        compact = {"l": {"c": "BTC-USD", "b": True, "px": 100000, "sz": 0.25, "r": True, "tif": "alo"}}
        assert (vk.compute_order_id_from_order(compact, NONCE, self.ACCT)
                == vk.compute_order_id_from_order(simplified, NONCE, self.ACCT))

    def test_compact_market_equals_simplified(self):
        simplified = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 5, "size": 2,
                      "slippage": 0.02, "order_type": {"type": "market"}}
        compact = {"m": {"c": "ETH-USD", "b": False, "sz": 2, "slippage": 0.02}}
        assert (vk.compute_order_id_from_order(compact, 5, self.ACCT)
                == vk.compute_order_id_from_order(simplified, 5, self.ACCT))

    def test_compact_limit_wins_over_market(self):
        both = {"l": {"c": "X", "b": True, "px": 1, "sz": 1}, "m": {"c": "X", "b": True, "sz": 1}}
        only_l = {"l": {"c": "X", "b": True, "px": 1, "sz": 1}}
        assert vk.compute_order_id_from_order(both, 1, self.ACCT) == vk.compute_order_id_from_order(
            only_l, 1, self.ACCT)

    def test_items_without_id(self):
        for order in ({"cx": {"c": "BTC-USD", "oid": self.OID}},
                      {"mod": {"symbol": "BTC-USD", "oid": self.OID, "amount": 1}},
                      {"cxa": {"c": ["BTC-USD"]}},
                      {"type": "stop", "symbol": "X", "is_buy": True, "size": 1, "trigger_price": 1}):
            assert vk.compute_order_id_from_order(order, 1, self.ACCT) is None

    def test_compact_errors(self):
        with raises(ValueError, "Invalid order JSON. Expected simplified {'type': ...} or compact "
                                "{'l'|'m'|'cx'|'mod'|'cxa'}"):
            vk.compute_order_id_from_order({"x": {}}, 1, self.ACCT)
        cases = [
            ({"l": {}}, "Missing 'l.c'"),
            ({"l": {"c": "X"}}, "Missing 'l.b'"),
            ({"l": {"c": "X", "b": True}}, "Missing 'l.px'"),
            ({"l": {"c": "X", "b": True, "px": 1}}, "Missing 'l.sz'"),
            ({"l": {"c": "X", "b": True, "px": 1, "sz": 1, "tif": "FOK"}}, "Invalid l.tif: FOK"),
            ({"l": {"c": "X", "b": True, "px": 1, "sz": 1, "commission": 1}}, "commission was renamed to builder_code"),
            ({"m": {}}, "Missing 'm.c'"),
            ({"m": {"c": "X"}}, "Missing 'm.b'"),
            ({"m": {"c": "X", "b": True}}, "Missing 'm.sz'"),
            ({"m": {"c": "X", "b": True, "sz": 1, "commission": 1}}, "commission was renamed to builder_code"),
            ({"cx": {}}, "Missing 'cx.c'"),
            ({"cx": {"c": "X"}}, "Missing 'cx.oid'"),
            ({"mod": {}}, "Missing 'mod.c'"),
            ({"mod": {"c": "X"}}, "Missing 'mod.oid'"),
            ({"mod": {"c": "X", "oid": "bad0"}}, "Missing 'mod.sz'"),
            ({"mod": {"c": "X", "oid": "bad0", "sz": 1}},
             "invalid base58: provided string contained invalid character '0' at byte 3"),
        ]
        for order, text in cases:
            with raises(ValueError, text):
                vk.compute_order_id_from_order(order, 1, self.ACCT)

    def test_compact_type_errors(self):
        with pytest.raises(TypeError):
            vk.compute_order_id_from_order({"l": [1]}, 1, self.ACCT)
        with pytest.raises(TypeError):
            vk.compute_order_id_from_order([], 1, self.ACCT)
        with pytest.raises(TypeError):
            vk.compute_order_id_from_order({"l": {"c": 5, "b": True, "px": 1, "sz": 1}}, 1, self.ACCT)

    def test_arguments_are_checked_before_the_order(self):
        with pytest.raises(OverflowError):
            vk.compute_order_id_from_order({"x": 1}, -1, self.ACCT)
        with pytest.raises(TypeError, match="argument 'account'"):
            vk.compute_order_id_from_order({"x": 1}, 1, 5)
        with raises(ValueError, "invalid key length: expected 32, got 31"):
            vk.compute_order_id_from_order({"cx": {"c": "X", "oid": self.OID}}, 1, b58encode(bytes(31)))


class TestAllocationFailure:
    @skip_under_asan
    def test_memory_error_leaves_the_module_usable(self):
        # Runs in a child process whose address space is capped after the
        # input has been built, so the signing call itself runs out of memory.
        code = textwrap.dedent("""
            import resource, sys
            from vorn_keychain import _native as vk
            s = vk.Signer(vk.Keypair(), "mainnet")
            symbols = ["S" * 200_000 for _ in range(1500)]
            order = {"type": "cancel_all", "symbols": symbols}
            with open("/proc/self/statm") as f:
                used = int(f.read().split()[0]) * resource.getpagesize()
            soft, hard = resource.getrlimit(resource.RLIMIT_AS)
            resource.setrlimit(resource.RLIMIT_AS, (used + 150 * 2**20, hard))
            try:
                s.sign(order, nonce=1)
                print("signed")
            except MemoryError:
                print("MemoryError")
            resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
            del symbols, order
            tx = s.sign({"type": "cancel_all", "symbols": ["BTC-USD"]}, nonce=2)
            print("usable" if tx["nonce"] == 2 else "broken")
        """)
        env = dict(os.environ, PYTHONPATH=ROOT)
        out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, timeout=120)
        assert out.returncode == 0, out.stderr
        assert out.stdout.split() == ["MemoryError", "usable"]
