"""The module as a CPython extension: registration, re-import, sub-interpreters,
the internal-fault class, object semantics of Keypair and Signer, the calls
whose results are not fixed (random hashes, timestamps, generated keys), an
allocation failure (external signing end to end is a golden case,
tests/golden/wallet.json)."""

import collections
import copy
import datetime
import gc
import importlib
import pickle
import sys
import textwrap

import pytest

from conftest import LIMIT, OID, ROOT, SEED, run_child, skip_under_asan, verifies
from vorn_keychain import _native as vk


def test_registration():
    assert sorted(n for n in dir(vk) if not n.startswith("__")) == sorted(vk.__all__)
    assert vk.__name__ == "vorn_keychain._native"
    assert importlib.import_module("vorn_keychain._native") is vk
    saved = sys.modules.pop("vorn_keychain._native")
    try:
        assert importlib.import_module("vorn_keychain._native") is saved
    finally:
        sys.modules["vorn_keychain._native"] = saved
    assert [n for n in vars(vk.Keypair) if not n.startswith("__")] == [
        "from_base58", "from_bytes", "to_base58", "to_bytes", "secret_key", "pubkey"]
    assert [n for n in vars(vk.Signer) if not n.startswith("__")][-3:] == ["sign_order", "sign_orders_batch", "pubkey"]


def test_sub_interpreter_import_is_refused(tmp_path):
    testcapi = pytest.importorskip("_testcapi")
    out = tmp_path / "result.txt"
    testcapi.run_in_subinterp(textwrap.dedent(f"""
        import sys
        sys.path.insert(0, {ROOT!r})
        try:
            import vorn_keychain._native
            result = "imported"
        except ImportError:
            result = "ImportError"
        open({str(out)!r}, "w").write(result)
    """))
    assert out.read_text() == "ImportError"
    assert vk.validate_hash(OID)  # still working in the main interpreter


def test_internal_fault_class_derives_directly_from_base_exception():
    [fault] = [c for c in BaseException.__subclasses__() if c.__module__ == "vorn_keychain._native"]
    assert fault.__bases__ == (BaseException,) and not issubclass(fault, Exception)
    assert fault.__name__ not in vk.__all__ and not hasattr(vk, fault.__name__)


@pytest.mark.parametrize("make", [vk.Keypair, lambda: vk.Signer(vk.Keypair(), "mainnet")])
def test_object_semantics(make):
    a, b = make(), make()
    assert a != b and a == a and len({a, b}) == 2
    for attribute in ("pubkey", "other"):
        with pytest.raises(AttributeError):
            setattr(a, attribute, "x")
    for duplicate in (pickle.dumps, copy.copy):
        with pytest.raises(TypeError):
            duplicate(a)


class _Plain:
    pass


def _type_name_cases():
    cases = [_Plain(), type("Text", (str,), {})("7"), collections.OrderedDict(), datetime.date(2024, 1, 2)]
    try:
        from solders.pubkey import Pubkey  # a type made by PyType_FromSpec in another extension
        cases.append(Pubkey.default())
    except ImportError:
        pass
    return cases


@pytest.mark.parametrize("obj", _type_name_cases(), ids=lambda o: type(o).__qualname__)
def test_messages_name_types_as_the_interpreter_does(obj):
    with pytest.raises(TypeError) as own:
        -obj
    name = str(own.value).split("unary -: ", 1)[1]
    signer = vk.Signer(vk.Keypair.from_bytes(SEED), "mainnet")
    with pytest.raises(TypeError) as ours:
        signer.sign(LIMIT, nonce=obj)
    assert str(ours.value) == f"argument 'nonce': {name} object cannot be interpreted as an integer"


def test_unfixed_results():
    a, b = vk.Keypair(), vk.Keypair()
    assert a.pubkey != b.pubkey and len(a.to_bytes()) == 64
    assert vk.Keypair(a.secret_key()).to_bytes() == vk.Keypair(a.to_base58()).to_bytes() == a.to_bytes()
    # A Signer keeps its own copy of the key.
    pubkey, signer = a.pubkey, vk.Signer(a, "mainnet")
    del a
    gc.collect()
    assert signer.pubkey == pubkey and verifies(pubkey, b"x", signer.sign_bytes(b"x"))
    hashes = {vk.random_hash() for _ in range(100)}
    assert len(hashes) == 100 and all(vk.validate_hash(h) for h in hashes)
    times = [vk.current_timestamp() for _ in range(1000)]
    assert all(y > x for x, y in zip(times, times[1:])) and times[0] > 1_600_000_000 * 10**9
    before = vk.current_timestamp()
    nonce = vk.Signer(b, "mainnet").sign({"type": "cancel_all"})["nonce"]
    assert before < nonce < vk.current_timestamp()


@skip_under_asan
def test_memory_error_leaves_the_module_usable():
    # The address space is capped after the input is built, so the signing call itself runs out of memory.
    assert run_child(["-c", textwrap.dedent("""
        import resource
        from vorn_keychain import _native as vk
        s = vk.Signer(vk.Keypair(), "mainnet")
        order = {"type": "cancel_all", "symbols": ["S" * 200_000 for _ in range(1500)]}
        with open("/proc/self/statm") as f:
            used = int(f.read().split()[0]) * resource.getpagesize()
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (used + 150 * 2**20, hard))
        try:
            outcome = [s.sign(order, nonce=1) and "signed"]
        except MemoryError:
            outcome = ["MemoryError"]
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        del order
        print(repr(outcome + [s.sign({"type": "cancel_all"}, nonce=2)["nonce"]]).replace("'", '"'))
    """)], timeout=120) == ["MemoryError", 2]
