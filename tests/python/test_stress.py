"""Every public callable, fed malformed values one argument or one dict field
at a time, returns or raises an ordinary exception: never a crash, a
SystemError or the internal-fault exception. The baselines are golden cases
(the richest per item kind for the order readers) without their nonces, so
default nonces are drawn too and must all differ. Every argument and every
field at any depth (index 0 of lists) is replaced by each value of a fixed
set, by subclass copies and by a value that empties its container while it
converts, or removed; in a child interpreter, which also checks reference
counts and its health afterwards."""

import array
import gc
import inspect
import json
import math
import os
import sys

from conftest import run_child
from test_borrow import DictSub, FloatSub, IntSub, ListSub, Mutator, StrSub


def test_malformed_values_never_crash_or_raise_the_wrong_type():
    report = run_child([os.path.abspath(__file__)])
    assert report["baselines"] > 80 and report["baseline_failures"] == [], report
    assert report["failures"] == [] and report["refcount_drift"] == [], report
    assert report["duplicate_nonces"] == 0 and report["healthy"], report
    assert report["calls"] > 40000 and report["raised"] > report["calls"] // 2, report


class HookError(Exception):
    pass


def _hook(*_args, **_kw):
    raise HookError("hook")


def _hooks(*names):
    return type("Raising_" + "_".join(n.strip("_") for n in names), (), dict.fromkeys(names, _hook))()


def _child_main():
    from test_golden import call_of, first_cases
    from vorn_keychain import _native as vk

    def deep(depth, make):
        x = {}
        for _ in range(depth):
            x = make(x)
        return x

    limit = {"type": "order", "symbol": "B", "is_buy": True, "price": 1.0, "size": 1.0}
    signer = vk.Signer(vk.Keypair(), "mainnet")

    class Reentrant:
        """Uses a signer from inside a conversion: refused or allowed, never broken."""

        def __float__(self):
            for use in (lambda: signer.sign(limit, nonce=1), lambda: signer.sign_all([limit] * 10),
                        lambda: signer.set_compute_order_id(True)):
                try:
                    use()
                except RuntimeError:
                    pass
            return 1.0

        __index__ = lambda self: int(self.__float__())  # noqa: E731

    values = [
        None, True, False, 0, 1, -1, 255, 256, 2**32, 2**64 - 1, 2**64, 2**1000, -(2**1000), 1.5, -0.0, math.nan,
        math.inf, -math.inf, 1e308, "", "x", "\udcff", "mainnet\x00", "2" * 1000, "0OIl", b"", b"\x00" * 32,
        bytearray(b"ab"), memoryview(b"ab"), array.array("B", [1, 2]), [], {}, (), [None], (1, "x"),
        ("BTC-USD", 1.0), {"type": None}, deep(10**5, lambda x: [x]), deep(10**5, lambda x: {"type": x}),
        deep(10**5, lambda x: dict(limit, type="trig", trigger_price=1.0, actions=[x])),
        deep(10**5, lambda x: {"type": "of", "trigger": x or limit, "actions": []}), [0] * 10**4,
        object(), _hooks("__index__"), _hooks("__float__"), _hooks("__str__", "__repr__"),
        _hooks("__eq__", "__hash__"), _hooks("__len__", "__getitem__", "__iter__"), _hooks("__bool__"),
        _hooks("__index__", "__float__", "__int__", "__bool__", "__str__", "__len__", "__iter__", "__eq__"),
        Reentrant(), vk.Keypair(), signer, vk.Keypair, sys,
    ]

    def derived(v):
        """Subclass and sibling-type copies of a baseline value (mostly accepted)."""
        t = type(v)
        return {str: lambda: [StrSub(v)], int: lambda: [IntSub(v), FloatSub(v)],
                float: lambda: [FloatSub(v)] + ([int(v)] if math.isfinite(v) else []),
                dict: lambda: [DictSub(v)], list: lambda: [ListSub(v), tuple(v)], tuple: lambda: [list(v)],
                bytes: lambda: [list(v)]}.get(t, list)()

    def paths(v, prefix=()):
        items = v.items() if isinstance(v, dict) else enumerate(v[:1] if isinstance(v, list) else v) \
            if isinstance(v, (list, tuple)) else ()
        for k, x in items:
            yield prefix + (k,)
            yield from paths(x, prefix + (k,))

    DELETE = object()

    def replaced(tree, path, new):
        items = dict(tree) if isinstance(tree, dict) else list(tree)
        if len(path) > 1:
            items[path[0]] = replaced(items[path[0]], path[1:], new)
        elif new is DELETE:
            del items[path[0]]
        else:
            items[path[0]] = Mutator(items) if new is Mutator else new
        return tuple(items) if isinstance(tree, tuple) else items

    def leaf(tree, path):
        for k in path:
            tree = tree[k]
        return tree

    ordinary = (TypeError, ValueError, OverflowError, RecursionError, MemoryError, HookError)
    plain = (dict, list, str, bool, int, bytes, type(None), vk.Keypair, vk.Signer)
    report = {"calls": 0, "raised": 0, "failures": [], "baseline_failures": [], "refcount_drift": []}
    nonces = []

    def call(label, func, args, kwargs, draws=False, must_refuse=False):
        report["calls"] += 1
        try:
            result = func(*args, **kwargs)
        except ordinary as e:
            report["raised"] += 1
            if must_refuse and type(e) is not TypeError:
                report["failures"].append([label, "binding", type(e).__name__, str(e)[:200]])
            return False
        except BaseException as e:  # noqa: B036 - the point is to see every kind
            report["raised"] += 1
            report["failures"].append([label, type(e).__module__ + "." + type(e).__name__, str(e)[:200]])
            return False
        items = result if isinstance(result, list) else [result]
        if must_refuse or not all(isinstance(x, plain) for x in [result, *items]):
            report["failures"].append([label, "accepted" if must_refuse else "result type"])
        if draws:
            nonces.extend(x["nonce"] for x in items)
        return True

    baselines = {k: v["result"] for k, v in first_cases(("Signer.sign", "py_prepare_order",
                                                        "compute_order_id_from_order")).items() if "result" in v}
    report["baselines"] = len(baselines)
    tracked = [v for v in values if sys.getrefcount(v) < 2**20 and not isinstance(v, type)]

    def sweep(label, case):
        func, args, kwargs = call_of(case, drop_nonce=True)
        draws = "nonce" in case["kwargs"] or "base_nonce" in case["kwargs"]
        if not call(label, func, args, kwargs, draws):
            return report["baseline_failures"].append(label)
        call(label + " extra", func, [*args, *kwargs.values(), *[0] * 9], {}, must_refuse=True)
        call(label + " keyword", func, args, dict(kwargs, no_such_parameter=1), must_refuse=True)
        try:
            names = [p.name for p in inspect.signature(func).parameters.values() if p.kind is p.POSITIONAL_OR_KEYWORD]
        except ValueError:
            names = []
        if args and names:
            call(label + " duplicate", func, args, {names[0]: args[0]}, must_refuse=True)
        # Every argument: those of the case, and the optional ones it leaves out.
        absent = [n for n in names[len(args):] if n not in kwargs]
        slots = [("arg", i) for i in range(len(args))] + [("kw", k) for k in [*kwargs, *absent]]
        for where, key in slots:
            base = args[key] if where == "arg" else kwargs.get(key, DELETE)
            explicit = draws and key not in ("nonce", "base_nonce")  # an explicit nonce may repeat

            def with_value(v, where=where, key=key):
                a, kw = list(args), dict(kwargs)
                (a if where == "arg" else kw).__setitem__(key, v)
                if v is DELETE:
                    del (a if where == "arg" else kw)[key]
                return a, kw

            for v in values + [DELETE, [0] * 10**6, "z" * 5000] + derived(base):
                call(f"{label}({key}={type(v).__name__})", func, *with_value(v), explicit)
            if not isinstance(base, (dict, list, tuple)):
                continue
            for path in paths(base):
                is_dict = isinstance(leaf(base, path[:-1]), dict)
                for v in values + ([DELETE, Mutator] if is_dict else []) + derived(leaf(base, path)):
                    call(f"{label}({key}{list(path)}={getattr(v, '__name__', type(v).__name__)})", func,
                         *with_value(replaced(base, path, v)), draws)

    class_refs = sys.getrefcount(vk.Keypair), sys.getrefcount(vk.Signer)
    for (label, kind), case in baselines.items():
        print("sweep", label, kind, file=sys.stderr, flush=True)
        before = [sys.getrefcount(v) for v in tracked]
        sweep(label, case)
        gc.collect()
        after = [sys.getrefcount(v) for v in tracked]
        report["refcount_drift"] += [[label, type(v).__name__, b, a]
                                     for v, b, a in zip(tracked, before, after) if a != b]
    # Health afterwards: signing works, verifies, no exception is left set.
    gc.collect()
    if (sys.getrefcount(vk.Keypair), sys.getrefcount(vk.Signer)) != class_refs:
        report["refcount_drift"].append(["classes", class_refs])
    check = vk.Signer(vk.Keypair.from_bytes(bytes(range(1, 33))), "mainnet")
    msg = vk.py_prepare_order(limit, "mainnet", check.pubkey, nonce=5)["message_bytes"]
    from conftest import verifies
    report["healthy"] = (verifies(check.pubkey, msg, check.sign(limit, nonce=5)["signature"])
                         and sys.exc_info() == (None, None, None) and gc.collect() >= 0)
    report["duplicate_nonces"] = len(nonces) - len(set(nonces))
    report["failures"] = report["failures"][:50]
    report["refcount_drift"] = report["refcount_drift"][:50]
    print(json.dumps(report))


if __name__ == "__main__":
    _child_main()
