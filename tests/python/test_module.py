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

from conftest import NONCE, SEED, b58encode, raises, skip_under_asan
from vorn_keychain import _native as vk

KP = vk.Keypair.from_bytes(SEED)
S = vk.Signer(KP, "mainnet")

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


# Text signature and docstring of every module function: the whole docstring,
# or for the long ones (py_ functions, compute_order_id_from_order) its first
# line.
FUNCTIONS = {
    "prepare_wallet_message": ("(prepared, mode)", None),
    "finalize_wallet_message": ("(wallet, signature)", None),
    "export_deposit_transaction": (
        "(owner, amount, recent_blockhash)",
        "Export a base64 unsigned mainnet USDC deposit transaction for wallet signing."),
    "export_withdraw_intent_transaction": (
        "(owner, amount, recent_blockhash)",
        "Export a base64 unsigned mainnet USDC withdrawal-intent transaction for wallet signing."),
    "build_deposit_instruction": (
        "(owner, amount)", "Build an unsigned mainnet USDC deposit instruction, with amount in base units."),
    "build_withdraw_intent_instruction": (
        "(owner, amount)", "Build an unsigned mainnet USDC withdrawal intent; no tokens transfer in this instruction."),
    "random_hash": ("()", "Generate a random hash (for client order IDs)"),
    "current_timestamp": ("()", "Get the current Unix timestamp in nanoseconds"),
    "validate_pubkey": ("(s)", "Validate a base58-encoded public key"),
    "validate_hash": ("(s)", "Validate a base58-encoded hash"),
    "compute_order_id": (
        "(wincode_bytes)",
        "Compute SHA256 hash from raw bytes.\n\nThis is a raw utility and does not apply VORN order-ID canonicalization."),
    "compute_order_id_from_order": (
        "(order, nonce, account)", "Compute order ID from an order JSON object without a private key."),
    "py_prepare_order": (
        "(order, signature_domain, account, signer=None, nonce=None)",
        "Prepare a single order for external wallet signing"),
    "py_prepare_all_orders": (
        "(orders, signature_domain, account, signer=None, base_nonce=None)",
        "Prepare multiple orders - each becomes its own transaction (parallel)"),
    "py_prepare_order_group": (
        "(orders, signature_domain, account, signer=None, nonce=None)", "Prepare multiple orders as ONE atomic transaction"),
    "py_prepare_agent_wallet_auth": (
        "(agent_pubkey, delete, signature_domain, account, signer=None, nonce=None)",
        "Prepare agent wallet creation for external signing"),
    "py_prepare_approve_builder_code": (
        "(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)",
        "Prepare builder-code recipient approval for external signing"),
    "py_prepare_update_liquidator_config": (
        "(config, signature_domain, account, signer=None, nonce=None)",
        "Prepare a liquidator config update for external signing"),
    "py_prepare_approve_commission_fee": (
        "(to_pubkey, fee, signature_domain, account, signer=None, nonce=None)",
        "Prepare builder-code recipient approval for external signing"),
    "py_prepare_revoke_builder_code": (
        "(to_pubkey, signature_domain, account, signer=None, nonce=None)",
        "Prepare builder-code recipient revocation for external signing"),
    "py_prepare_revoke_commission_fee": (
        "(to_pubkey, signature_domain, account, signer=None, nonce=None)",
        "Prepare builder-code recipient revocation for external signing"),
    "py_prepare_faucet_request": (
        "(signature_domain, account, signer=None, nonce=None)", "Prepare faucet request for external signing"),
    "py_prepare_create_sub_account": (
        "(name, signature_domain, account, margin_amount=None, signer=None, nonce=None)",
        "Prepare a sub-account creation for external signing"),
    "py_prepare_remove_sub_account": (
        "(to_remove, signature_domain, account, signer=None, nonce=None)",
        "Prepare a sub-account removal for external signing"),
    "py_prepare_transfer": (
        "(from_pubkey, to_pubkey, margin_amount, signature_domain, account, kind=None, signer=None, nonce=None)",
        "Prepare a margin transfer for external signing"),
    "py_finalize_transaction": (
        "(prepared, signature)", "Finalize a prepared message with a signature from an external wallet"),
}


class TestSignatures:
    def test_every_function_is_listed_in_registration_order(self):
        assert list(FUNCTIONS) == [n for n in ALL if n not in ("Keypair", "Signer")]

    @pytest.mark.parametrize("name", list(FUNCTIONS))
    def test_functions(self, name):
        fn = getattr(vk, name)
        signature, doc = FUNCTIONS[name]
        assert fn.__text_signature__ == signature
        assert str(inspect.signature(fn)) == signature
        if name.startswith("py_") or name == "compute_order_id_from_order":
            assert fn.__doc__.splitlines()[0] == doc
        else:
            assert fn.__doc__ == doc

    @pytest.mark.parametrize("name,sig", [("Signer", "(keypair, signature_domain)"), ("Keypair", "(*args)")])
    def test_classes(self, name, sig):
        assert str(inspect.signature(getattr(vk, name))) == sig

    def test_order_id_docstring(self):
        doc = vk.compute_order_id_from_order.__doc__
        assert "Supports:" in doc and '{"type": "order", ...}' in doc and '{"l": {...}}' in doc
        assert doc.endswith("Returns `None` for non-order actions (cancel/modify/cancel-all).")


class TestBinding:
    """The binding messages, for positional, keyword and tuple-and-dict calls."""

    @pytest.mark.parametrize("call,text", [
        (lambda: vk.validate_pubkey(), "validate_pubkey() missing 1 required positional argument: 's'"),
        (lambda: vk.compute_order_id_from_order(),
         "compute_order_id_from_order() missing 3 required positional arguments: 'order', 'nonce', and 'account'"),
        (lambda: vk.compute_order_id_from_order({}),
         "compute_order_id_from_order() missing 2 required positional arguments: 'nonce' and 'account'"),
        (lambda: vk.validate_pubkey("a", "b"), "validate_pubkey() takes 1 positional argument but 2 were given"),
        (lambda: vk.compute_order_id_from_order({}, 1, "a", 4),
         "compute_order_id_from_order() takes 3 positional arguments but 4 were given"),
        (lambda: vk.validate_pubkey(x="a"), "validate_pubkey() got an unexpected keyword argument 'x'"),
        (lambda: vk.validate_pubkey("a", s="b"), "validate_pubkey() got multiple values for argument 's'"),
        (lambda: vk.prepare_wallet_message({}), "prepare_wallet_message() missing 1 required positional argument: 'mode'"),
        (lambda: vk.prepare_wallet_message({}, modes="raw"),
         "prepare_wallet_message() got an unexpected keyword argument 'modes'"),
        (lambda: vk.export_deposit_transaction("a", 1),
         "export_deposit_transaction() missing 1 required positional argument: 'recent_blockhash'"),
        (lambda: vk.build_deposit_instruction("a", 1, "b"),
         "build_deposit_instruction() takes 2 positional arguments but 3 were given"),
        (lambda: S.sign(), "Signer.sign() missing 1 required positional argument: 'order'"),
        (lambda: S.sign({}, 1, 2), "Signer.sign() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda: S.sign({}, base_nonce=1), "Signer.sign() got an unexpected keyword argument 'base_nonce'"),
        (lambda: S.sign({}, order={}), "Signer.sign() got multiple values for argument 'order'"),
        (lambda: S.sign_transfer("a"),
         "Signer.sign_transfer() missing 2 required positional arguments: 'to_pubkey' and 'margin_amount'"),
        (lambda: S.sign_faucet(1, 2), "Signer.sign_faucet() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda: S.sign_bytes(b"", b""), "Signer.sign_bytes() takes 1 positional argument but 2 were given"),
        (lambda: S.sign_order(), "Signer.sign_order() missing 1 required positional argument: 'orders'"),
        (lambda: vk.Keypair.from_bytes(), "Keypair.from_bytes() missing 1 required positional argument: 'bytes'"),
        (lambda: vk.Signer(KP), "Signer() missing 1 required positional argument: 'signature_domain'"),
        (lambda: vk.Signer(KP, "mainnet", 1), "Signer() takes 2 positional arguments but 3 were given"),
        (lambda: vk.Signer(KP, "mainnet", keypair=KP), "Signer() got multiple values for argument 'keypair'"),
    ])
    def test_messages(self, call, text):
        with raises(TypeError, text):
            call()

    def test_keywords_in_any_order(self):
        order = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1, "size": 1}
        acct = b58encode(b"\x11" * 32)
        assert (vk.compute_order_id_from_order(account=acct, nonce=1, order=order)
                == vk.compute_order_id_from_order(order, 1, acct))
        assert vk.validate_pubkey(s=b58encode(bytes(32))) is True
        assert vk.Signer(signature_domain="devnet", keypair=KP).pubkey == KP.pubkey

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
