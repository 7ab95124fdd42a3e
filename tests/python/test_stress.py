"""Every public callable, fed malformed values one argument or one dict field
at a time, returns or raises an ordinary exception: TypeError, ValueError,
OverflowError, RecursionError or MemoryError, or the exception a hook of the
value itself raised. Never a crash, a SystemError (which is also what the
interpreter raises for "returned a result with an exception set"), the
internal-fault exception or any other type.

The coverage comes from a table: each callable has a baseline call that
succeeds, and the sweep replaces each argument, and each field of each dict
or list argument at any depth (order fields, nested order types, builder
codes, children of baskets, prepared and wallet dicts, liquidator
instruments, tuple members), by every value of a fixed set, by subclass
copies of the baseline value, by values that mutate their container while
they convert, and by removal.

The sweep runs in a child interpreter, so that a crash is a failed test with
the child's output (the child names each callable before sweeping it). The
child also checks that reference counts of the values and of the two classes
do not drift, that default nonces stay unique, and that the interpreter is
healthy afterwards (gc, a signature that PyNaCl verifies).
"""

import array
import gc
import json
import math
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def test_malformed_values_never_crash_or_raise_the_wrong_type():
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([ROOT, os.path.dirname(os.path.abspath(__file__))]))
    proc = subprocess.run([sys.executable, "-X", "faulthandler", os.path.abspath(__file__)], capture_output=True,
                          text=True, timeout=300, env=env)
    where = f"exit {proc.returncode}\nstderr (tail):\n{proc.stderr[-3000:]}\nstdout (tail):\n{proc.stdout[-3000:]}"
    assert proc.returncode == 0, where
    report = json.loads(proc.stdout.splitlines()[-1])
    assert report["baseline_failures"] == [], where
    assert report["failures"] == [], where
    assert report["refcount_drift"] == [], where
    assert report["duplicate_nonces"] == 0, where
    assert report["healthy"], where
    # The sweep really ran: tens of thousands of calls, most of them refused.
    assert report["calls"] > 20000 and report["raised"] > report["calls"] // 2, report


def test_text_read_before_a_hook_empties_the_dict_stays_the_text_read():
    # The order id is read before the size; the size's conversion then drops
    # the dict's references to everything, including the id text. The id
    # signed must still be the one read, not whatever reuses its memory.
    from conftest import OID, SEED
    from vorn_keychain import _native as vk

    signer = vk.Signer(vk.Keypair.from_bytes(SEED), "mainnet")
    fresh = lambda: "".join(list(OID))  # a str owned by the dict alone
    order = {"type": "modify", "symbol": "BTC-USD", "order_id": fresh()}
    order["amount"] = Mutator(order)
    tx = signer.sign(order, nonce=1)
    assert tx["actions"] == [{"mod": {"c": "BTC-USD", "oid": OID, "sz": 1.0}}]
    inner = {"c": "BTC-USD", "oid": fresh()}
    inner["sz"] = Mutator(inner)
    assert vk.compute_order_id_from_order({"mod": inner}, 1, signer.pubkey) is None


# ---------------------------------------------------------------------------
# The child: everything below runs only in the subprocess.
# ---------------------------------------------------------------------------


class HookError(Exception):
    """Raised by the hooks of the malformed values."""


def _hook(*_args, **_kw):
    raise HookError("hook")


class RaisingIndex:
    __index__ = _hook


class RaisingFloat:
    __float__ = _hook


class RaisingStr:
    __str__ = _hook
    __repr__ = _hook


class RaisingEqHash:
    __eq__ = _hook
    __hash__ = _hook


class RaisingSequence:
    """Claims to be a sequence; every protocol hook raises."""
    __len__ = _hook
    __getitem__ = _hook
    __iter__ = _hook


class RaisingBool:
    __bool__ = _hook


class Bomb:
    """Every conversion hook raises."""
    __index__ = __float__ = __int__ = __bool__ = __str__ = __repr__ = _hook
    __len__ = __getitem__ = __iter__ = __eq__ = __hash__ = _hook


class StrSub(str):
    pass


class EvilStr(str):
    __eq__ = _hook
    __hash__ = _hook


class IntSub(int):
    pass


class EvilInt(int):
    __index__ = _hook
    __float__ = _hook


class FloatSub(float):
    pass


class DictSub(dict):
    pass


class ListSub(list):
    pass


class BytesSub(bytes):
    pass


class MutatingDict(dict):
    """A dict that changes itself whenever it is looked at through its methods."""

    def _mutate(self):
        self["junk%d" % len(self)] = "x" * 40

    def keys(self):
        self._mutate()
        return list(dict.keys(self))

    def items(self):
        self._mutate()
        return list(dict.items(self))

    def __iter__(self):
        self._mutate()
        return iter(list(dict.keys(self)))

    def __getitem__(self, key):
        self._mutate()
        return dict.__getitem__(self, key)


class Mutator:
    """Converts to a number, but first empties its container and refills it
    with fresh objects, dropping the container's references to whatever was
    read from it before."""

    def __init__(self, container):
        self.container = container

    def _strike(self):
        c = self.container
        if isinstance(c, dict):
            keys = list(c)
            c.clear()
            for k in keys:
                c[k] = "".join(["Z"] * 44)
        elif isinstance(c, list):
            c.clear()
            c.extend("".join(["Z"] * 44) for _ in range(8))
        self.junk = ["".join(["Z"] * 44) for _ in range(64)]
        return 1

    def __index__(self):
        return self._strike()

    def __float__(self):
        return float(self._strike())

    def __bool__(self):
        return bool(self._strike())


def _deep_list(depth):
    x = []
    for _ in range(depth):
        x = [x]
    return x


def _deep_dict(depth):
    x = {}
    for _ in range(depth):
        x = {"type": x}
    return x


def _child_main():
    import random

    import faulthandler

    faulthandler.enable()
    from conftest import SEED, b58decode, b58encode, verifies
    from vorn_keychain import _native as vk

    random.seed(1234)
    kp = vk.Keypair.from_bytes(SEED)
    signer = vk.Signer(kp, "mainnet")
    flag_signer = vk.Signer(kp, "mainnet")  # its flags are changed by the sweep
    pub = signer.pubkey
    other = b58encode(bytes([0x22]) * 32)
    oid = b58encode(bytes([0xAB]) * 32)
    blockhash = b58encode(bytes(range(100, 132)))
    nonce0 = 1700000000000000000

    # ---- order baselines, one per kind and shape ----
    limit = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000.0, "size": 0.25,
             "reduce_only": False, "iso": False, "order_type": {"type": "limit", "tif": "GTC"},
             "client_id": oid, "builder_code": {"to": other, "fee": 3}}
    market = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0, "size": 1.5,
              "order_type": {"type": "trigger", "is_market": True, "trigger_px": 0.0}}
    cancel = {"type": "cancel", "symbol": "BTC-USD", "order_id": oid}
    modify = {"type": "modify", "symbol": "BTC-USD", "order_id": oid, "amount": 0.5}
    cancel_all = {"type": "cancel_all", "symbols": ["BTC-USD", "ETH-USD"]}
    stop = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trigger_price": 90000.0,
            "limit_price": 89000.0, "iso": False, "builder_code": {"to": other, "fee": 2}}
    take_profit = dict(stop, type="tp", trigger_price=110000.0, limit_price=111000.0)
    range_oco = {"type": "range", "symbol": "BTC-USD", "is_buy": True, "size": 0.1, "pmin": 90000.0,
                 "pmax": 110000.0, "lmin": 89000.0, "lmax": 111000.0, "iso": False}
    trailing = {"type": "trl", "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trail_bps": 50,
                "step_bps": 5, "limit_price": 88000.0}
    basket = {"type": "trig", "symbol": "BTC-USD", "is_buy": True, "trigger_price": 95000.0,
              "actions": [dict(stop), dict(cancel)]}
    fill = {"type": "on_fill", "trigger": dict(limit), "actions": [dict(stop)]}
    simplified = [limit, market, cancel, modify, cancel_all, stop, take_profit, range_oco, trailing, basket, fill]
    compact = [
        {"l": {"c": "BTC-USD", "b": True, "px": 100000.0, "sz": 0.25, "r": False, "i": False, "tif": "IOC",
               "cloid": oid, "builder_code": {"to": other, "fee": 3}}},
        {"m": {"c": "BTC-USD", "b": False, "sz": 0.25, "r": False, "i": False, "slippage": 0.01}},
        {"cx": {"c": "BTC-USD", "oid": oid}},
        {"mod": {"c": "BTC-USD", "oid": oid, "sz": 0.5}},
        {"cxa": {"c": ["BTC-USD"]}},
    ]
    with_on_fill = dict(limit, on_fill={"actions": [dict(stop)]})
    config = {"cross_exposure": 1.0, "scoring_skew": 0.5, "toxicity": 0.1, "urgency_size_fraction": 0.2,
              "sweep_sds": 2.0, "instruments": [{"symbol": "BTC-USD", "max_exposure": 100.0, "reserve": 1.0,
                                                 "rfactor": 0.5, "volume_percent": 0.1, "volume_min": 1.0,
                                                 "volume_rampup": 10, "max_sweep_bps": 5.0,
                                                 "max_adl_notional": 10.0, "max_adl_percent": 0.2}]}
    prepared = vk.py_prepare_order(limit, "mainnet", pub, nonce=nonce0)
    prepared_sig = signer.sign_bytes(prepared["message_bytes"])
    wallet = vk.prepare_wallet_message(prepared, "offchain")
    wallet_sig = signer.sign_bytes(wallet["message_bytes"])
    many = [dict(limit, price=100000.0 + i) for i in range(10)]

    # ---- the table: (label, callable, [(parameter, baseline or OMIT)], draws a nonce) ----
    OMIT = object()
    order_params = lambda order: [("order", order)]

    def order_callables(order, tag):
        return [
            (f"Signer.sign[{tag}]", signer.sign, [("order", order), ("nonce", OMIT)], True),
            (f"Signer.sign_all[{tag}]", signer.sign_all, [("orders", [order] + many), ("base_nonce", OMIT)], True),
            (f"Signer.sign_group[{tag}]", signer.sign_group, [("orders", [order, limit]), ("nonce", OMIT)], True),
            (f"Signer.sign_order[{tag}]", signer.sign_order, [("orders", [order]), ("nonce", OMIT)], True),
            (f"Signer.sign_orders_batch[{tag}]", signer.sign_orders_batch,
             [("batches", [[order, limit]] + [[limit]] * 10), ("base_nonce", OMIT)], True),
            (f"py_prepare_order[{tag}]", vk.py_prepare_order,
             [("order", order), ("signature_domain", "mainnet"), ("account", pub), ("signer", other),
              ("nonce", OMIT)], True),
            (f"py_prepare_all_orders[{tag}]", vk.py_prepare_all_orders,
             [("orders", [order] + many), ("signature_domain", "mainnet"), ("account", pub), ("signer", OMIT),
              ("base_nonce", OMIT)], True),
            (f"py_prepare_order_group[{tag}]", vk.py_prepare_order_group,
             [("orders", [order, limit]), ("signature_domain", "testnet"), ("account", pub), ("signer", OMIT),
              ("nonce", OMIT)], True),
            (f"compute_order_id_from_order[{tag}]", vk.compute_order_id_from_order,
             [("order", order), ("nonce", nonce0), ("account", pub)], False),
        ]

    def prep(name, func, payload):
        return (name, func, payload + [("signature_domain", "devnet"), ("account", pub), ("signer", OMIT),
                                       ("nonce", OMIT)], True)

    table = []
    # Every order-taking callable with the full limit order; the other kinds
    # through the single, the parallel batch, the preparing and the id paths
    # (sign_group, sign_order and the group and batch variants share the
    # list reader with sign_all).
    table += order_callables(limit, "order")
    for order in simplified[1:]:
        table += [e for e in order_callables(order, order["type"])
                  if e[0].split("[")[0] in ("Signer.sign", "Signer.sign_all", "py_prepare_order",
                                            "compute_order_id_from_order")]
    for order in compact:
        table.append((f"compute_order_id_from_order[{next(iter(order))}]", vk.compute_order_id_from_order,
                      [("order", order), ("nonce", nonce0), ("account", pub)], False))
    table += [
        ("py_prepare_order[on_fill attachment]", vk.py_prepare_order,
         [("order", with_on_fill), ("signature_domain", "mainnet"), ("account", pub), ("signer", OMIT),
          ("nonce", OMIT)], True),
        ("prepare_wallet_message", vk.prepare_wallet_message, [("prepared", prepared), ("mode", "offchain")], False),
        ("finalize_wallet_message", vk.finalize_wallet_message, [("wallet", wallet), ("signature", wallet_sig)],
         False),
        ("export_deposit_transaction", vk.export_deposit_transaction,
         [("owner", pub), ("amount", 1000000), ("recent_blockhash", blockhash)], False),
        ("export_withdraw_intent_transaction", vk.export_withdraw_intent_transaction,
         [("owner", pub), ("amount", 5), ("recent_blockhash", blockhash)], False),
        ("build_deposit_instruction", vk.build_deposit_instruction, [("owner", pub), ("amount", 7)], False),
        ("build_withdraw_intent_instruction", vk.build_withdraw_intent_instruction,
         [("owner", pub), ("amount", 7)], False),
        ("random_hash", vk.random_hash, [], False),
        ("current_timestamp", vk.current_timestamp, [], False),
        ("validate_pubkey", vk.validate_pubkey, [("s", pub)], False),
        ("validate_hash", vk.validate_hash, [("s", oid)], False),
        ("compute_order_id", vk.compute_order_id, [("wincode_bytes", b"\x01\x02")], False),
        prep("py_prepare_agent_wallet_auth", vk.py_prepare_agent_wallet_auth,
             [("agent_pubkey", other), ("delete", False)]),
        prep("py_prepare_approve_builder_code", vk.py_prepare_approve_builder_code,
             [("to_pubkey", other), ("fee", 5)]),
        prep("py_prepare_update_liquidator_config", vk.py_prepare_update_liquidator_config, [("config", config)]),
        prep("py_prepare_approve_commission_fee", vk.py_prepare_approve_commission_fee,
             [("to_pubkey", other), ("fee", 5)]),
        prep("py_prepare_revoke_builder_code", vk.py_prepare_revoke_builder_code, [("to_pubkey", other)]),
        prep("py_prepare_revoke_commission_fee", vk.py_prepare_revoke_commission_fee, [("to_pubkey", other)]),
        prep("py_prepare_faucet_request", vk.py_prepare_faucet_request, []),
        ("py_prepare_create_sub_account", vk.py_prepare_create_sub_account,
         [("name", "sub-1"), ("signature_domain", "mainnet"), ("account", pub), ("margin_amount", 10.0),
          ("signer", OMIT), ("nonce", OMIT)], True),
        prep("py_prepare_remove_sub_account", vk.py_prepare_remove_sub_account, [("to_remove", other)]),
        ("py_prepare_transfer", vk.py_prepare_transfer,
         [("from_pubkey", pub), ("to_pubkey", other), ("margin_amount", 1.5), ("signature_domain", "mainnet"),
          ("account", pub), ("kind", "external"), ("signer", OMIT), ("nonce", OMIT)], True),
        ("py_finalize_transaction", vk.py_finalize_transaction, [("prepared", prepared), ("signature", prepared_sig)],
         False),
        # The classes.
        ("Keypair", vk.Keypair, [("key", SEED)], False),
        ("Keypair[base58]", vk.Keypair, [("key", kp.to_base58())], False),
        ("Keypair.from_base58", vk.Keypair.from_base58, [("s", kp.to_base58())], False),
        ("Keypair.from_bytes", vk.Keypair.from_bytes, [("bytes", kp.to_bytes())], False),
        ("Keypair.to_base58", kp.to_base58, [], False),
        ("Keypair.to_bytes", kp.to_bytes, [], False),
        ("Keypair.secret_key", kp.secret_key, [], False),
        ("Keypair.__repr__", kp.__repr__, [], False),
        ("Keypair.__str__", kp.__str__, [], False),
        ("Signer", vk.Signer, [("keypair", kp), ("signature_domain", "testnet")], False),
        ("Signer.from_base58", vk.Signer.from_base58, [("s", kp.to_base58()), ("signature_domain", "mainnet")],
         False),
        ("Signer.with_nonce_manager", vk.Signer.with_nonce_manager,
         [("keypair", kp), ("strategy", "high_frequency"), ("signature_domain", "mainnet")], False),
        ("Signer.set_compute_order_id", flag_signer.set_compute_order_id, [("enabled", True)], False),
        ("Signer.set_compute_batch_order_ids", flag_signer.set_compute_batch_order_ids, [("enabled", True)], False),
        ("Signer.computes_order_id", signer.computes_order_id, [], False),
        ("Signer.computes_batch_order_ids", signer.computes_batch_order_ids, [], False),
        ("Signer.__repr__", signer.__repr__, [], False),
        ("Signer.sign_wallet_prepared", signer.sign_wallet_prepared, [("wallet", wallet)], False),
        ("Signer.sign_bytes", signer.sign_bytes, [("message", b"hello")], False),
        ("Signer.sign_prepared", signer.sign_prepared, [("prepared", prepared)], False),
        ("Signer.sign_faucet", signer.sign_faucet, [("nonce", OMIT)], True),
        ("Signer.sign_agent_wallet", signer.sign_agent_wallet,
         [("agent_pubkey", other), ("delete", True), ("nonce", OMIT)], True),
        ("Signer.sign_approve_commission_fee", signer.sign_approve_commission_fee,
         [("to_pubkey", other), ("fee", 7), ("nonce", OMIT)], True),
        ("Signer.sign_approve_builder_code", signer.sign_approve_builder_code,
         [("to_pubkey", other), ("fee", 7), ("nonce", OMIT)], True),
        ("Signer.sign_revoke_commission_fee", signer.sign_revoke_commission_fee,
         [("to_pubkey", other), ("nonce", OMIT)], True),
        ("Signer.sign_revoke_builder_code", signer.sign_revoke_builder_code,
         [("to_pubkey", other), ("nonce", OMIT)], True),
        ("Signer.sign_user_settings", signer.sign_user_settings,
         [("max_leverage", [("BTC-USD", 5.0), ("ETH-USD", 3)]), ("nonce", OMIT)], True),
        ("Signer.sign_user_settings[tuple]", signer.sign_user_settings,
         [("max_leverage", (("BTC-USD", 5.0),)), ("nonce", OMIT)], True),
        ("Signer.sign_update_liquidator_config", signer.sign_update_liquidator_config,
         [("config", config), ("nonce", OMIT)], True),
        ("Signer.sign_oracle_prices", signer.sign_oracle_prices,
         [("oracles", [(1700000000, "BTC-USD", 100000.5)]), ("nonce", OMIT)], True),
        ("Signer.sign_pyth_oracle", signer.sign_pyth_oracle,
         [("oracles", [(1700000000, 3, 12345678, -8)]), ("nonce", OMIT)], True),
        ("Signer.sign_remove_sub_account", signer.sign_remove_sub_account,
         [("to_remove", other), ("nonce", OMIT)], True),
        ("Signer.sign_transfer", signer.sign_transfer,
         [("from_pubkey", pub), ("to_pubkey", other), ("margin_amount", 2.5), ("kind", "internal"),
          ("nonce", OMIT)], True),
        ("Signer.sign_create_sub_account", signer.sign_create_sub_account,
         [("name", "sub-2"), ("margin_amount", OMIT), ("nonce", OMIT)], True),
        ("Signer.sign_whitelist_faucet", signer.sign_whitelist_faucet,
         [("target_pubkey", other), ("whitelist", True), ("nonce", OMIT)], True),
    ]

    # ---- malformed values ----
    class Reentrant:
        """Uses the signer from inside a conversion: the borrow must refuse
        (RuntimeError) or allow it, never break."""

        def _use(self):
            for use in (lambda: signer.sign(limit, nonce=1), lambda: signer.sign_all(many),
                        lambda: signer.pubkey, lambda: signer.set_compute_order_id(True)):
                try:
                    use()
                except RuntimeError:
                    pass
            return 1

        def __index__(self):
            return self._use()

        def __float__(self):
            return float(self._use())

    deep_list = _deep_list(10 ** 5)
    deep_dict = _deep_dict(10 ** 5)
    deep_basket = dict(limit)
    for _ in range(10 ** 5):
        deep_basket = {"type": "trig", "symbol": "B", "is_buy": True, "trigger_price": 1.0, "actions": [deep_basket]}
    deep_fill = dict(limit)
    for _ in range(10 ** 5):
        deep_fill = {"type": "of", "trigger": deep_fill, "actions": []}
    huge_list = [0] * 10 ** 6
    shared_values = [
        None, True, False, 0, 1, -1, 255, 256, 2 ** 32, 2 ** 64 - 1, 2 ** 64, 2 ** 1000, -2 ** 1000,
        1.5, -0.0, math.nan, math.inf, -math.inf, 1e308, "", "x", "\udcff", "mainnet\x00", "2" * 1000, "0OIl",
        b"", b"\x00" * 32, b"\xff" * 64, bytearray(b"ab"), memoryview(b"ab"), array.array("B", [1, 2]),
        [], {}, (), [None], [1, 2, 3], (1, "x"), ("BTC-USD", 1.0), {"type": None}, {"a": None},
        deep_list, deep_dict, deep_basket, deep_fill, [deep_basket], [[deep_fill]], [0] * 10 ** 4,
        object(), RaisingIndex(), RaisingFloat(), RaisingStr(), RaisingEqHash(), RaisingSequence(), RaisingBool(),
        Bomb(), EvilStr("BTC-USD"), EvilInt(5), MutatingDict(limit), Reentrant(), kp, signer, vk.Keypair,
        lambda: None, sys,
    ]
    top_only_values = [huge_list, "z" * 5000]  # slower to convert; tried once per argument, not per field

    def derived(value):
        """Subclass copies of a baseline value (mostly accepted)."""
        out = []
        if type(value) is str:
            out.append(StrSub(value))
        if type(value) is int and not isinstance(value, bool):
            out += [IntSub(value), FloatSub(value)]
        if type(value) is float:
            out += [FloatSub(value), int(value) if math.isfinite(value) else 0]
        if type(value) is dict:
            out += [DictSub(value), MutatingDict(value)]
        if type(value) is list:
            out += [ListSub(value), tuple(value)]
        if type(value) is tuple:
            out.append(list(value))
        if type(value) is bytes:
            out += [BytesSub(value), list(value)]
        return out

    # ---- paths into nested arguments: every dict key, list index 0, every tuple member ----
    def paths(value, prefix=()):
        if isinstance(value, dict):
            for k, v in value.items():
                yield prefix + (k,)
                yield from paths(v, prefix + (k,))
        elif isinstance(value, list) and value:
            yield prefix + (0,)
            yield from paths(value[0], prefix + (0,))
        elif isinstance(value, tuple):
            for i, v in enumerate(value):
                yield prefix + (i,)
                yield from paths(v, prefix + (i,))

    DELETE = object()

    def replaced(tree, path, new):
        """A copy of tree along path with the leaf replaced (or deleted); new
        may be a function of the leaf's fresh container."""
        if isinstance(tree, tuple):
            items = list(tree)
        elif isinstance(tree, list):
            items = list(tree)
        else:
            items = dict(tree)
        key = path[0]
        if len(path) == 1:
            if new is DELETE:
                del items[key]
            else:
                items[key] = new(items) if callable(new) and getattr(new, "wants_container", False) else new
        else:
            items[key] = replaced(items[key], path[1:], new)
        return tuple(items) if isinstance(tree, tuple) else items

    def leaf(tree, path):
        for k in path:
            tree = tree[k]
        return tree

    def mutator_for(container):
        return Mutator(container)

    mutator_for.wants_container = True

    ordinary = (TypeError, ValueError, OverflowError, RecursionError, MemoryError, HookError)
    plain_results = (dict, list, str, bool, int, bytes, type(None), vk.Keypair, vk.Signer)
    failures, baseline_failures = [], []
    nonces = []
    counts = {"calls": 0, "raised": 0}

    def call(label, func, args, draws, expect_type_error=False):
        counts["calls"] += 1
        kwargs = {k: v for k, v in args if v is not OMIT}
        if label.startswith("Keypair") and "key" in kwargs:  # the constructor takes *args
            positional, kwargs = [kwargs.pop("key")], {}
        else:
            positional = []
        try:
            result = func(*positional, **kwargs)
        except ordinary as e:
            counts["raised"] += 1
            if expect_type_error and type(e) is not TypeError:
                failures.append([label, "binding", type(e).__name__, str(e)[:200]])
            return False
        except BaseException as e:  # noqa: B036 - the point is to see every kind
            counts["raised"] += 1
            failures.append([label, type(e).__module__ + "." + type(e).__name__, str(e)[:200]])
            return False
        if expect_type_error:
            failures.append([label, "binding accepted"])
        items = result if isinstance(result, list) else [result]
        if not isinstance(result, plain_results) or not all(isinstance(x, plain_results) for x in items):
            failures.append([label, "result type", type(result).__name__])
        if draws:
            nonces.extend(x["nonce"] for x in items)
        return True

    def explicit_nonce(name):
        return name in ("nonce", "base_nonce")

    def sweep(label, func, params, draws):
        if not call(label, func, params, draws):
            baseline_failures.append(label)
            return
        # Binding: too many positional arguments, an unknown keyword, a duplicate.
        given = [v for _, v in params if v is not OMIT]
        call(label + " extra", lambda: func(*given, *([0] * 9)), [], False, expect_type_error=True)
        call(label + " keyword", lambda: func(no_such_parameter=1), [], False, expect_type_error=True)
        if params and not label.startswith("Keypair"):
            first, value = params[0]
            call(label + " duplicate", lambda: func(value, **{first: value}), [], False, expect_type_error=True)
        for i, (name, base) in enumerate(params):
            draws_here = draws and not explicit_nonce(name)
            variants = shared_values + top_only_values + [DELETE]
            if base is not OMIT:
                variants += derived(base)
            for value in variants:
                args = [(n, (OMIT if value is DELETE else value) if j == i else v) for j, (n, v) in enumerate(params)]
                call(f"{label}({name}={type(value).__name__})", func, args, draws_here)
            if base is OMIT or not isinstance(base, (dict, list, tuple)):
                continue
            for path in paths(base):
                for value in shared_values + [DELETE, mutator_for] + derived(leaf(base, path)):
                    if value is DELETE and not isinstance(leaf(base, path[:-1]), dict):
                        continue
                    new = replaced(base, path, value)
                    args = [(n, new if j == i else v) for j, (n, v) in enumerate(params)]
                    call(f"{label}({name}{list(path)}={type(value).__name__})", func, args, draws)
        # A few more default nonces from the baseline itself.
        if draws:
            for _ in range(3):
                call(label, func, params, True)

    tracked = [v for v in shared_values + top_only_values if sys.getrefcount(v) < 2 ** 20]
    class_refs = (sys.getrefcount(vk.Keypair), sys.getrefcount(vk.Signer))
    refcount_drift = []
    for label, func, params, draws in table:
        print("sweep", label, round(time.monotonic(), 3), file=sys.stderr, flush=True)
        before = [sys.getrefcount(v) for v in tracked]
        sweep(label, func, params, draws)
        gc.collect()
        after = [sys.getrefcount(v) for v in tracked]
        refcount_drift += [[label, type(v).__name__, b, a] for v, b, a in zip(tracked, before, after) if a != b]
    nonces.append(vk.current_timestamp())

    # ---- health afterwards ----
    gc.collect()
    healthy = True
    if (sys.getrefcount(vk.Keypair), sys.getrefcount(vk.Signer)) != class_refs:
        refcount_drift.append(["classes", class_refs, (sys.getrefcount(vk.Keypair), sys.getrefcount(vk.Signer))])
    check = vk.Signer(vk.Keypair.from_bytes(SEED), "mainnet")
    tx = check.sign(limit, nonce=nonce0)
    msg = vk.py_prepare_order(limit, "mainnet", check.pubkey, nonce=nonce0)["message_bytes"]
    healthy &= verifies(check.pubkey, msg, tx["signature"])
    healthy &= len(b58decode(check.sign_bytes(b"after"))) == 64
    healthy &= sys.exc_info() == (None, None, None)
    healthy &= vk.validate_hash(oid) is True and gc.collect() >= 0
    print(json.dumps({
        "calls": counts["calls"], "raised": counts["raised"], "failures": failures[:50],
        "baseline_failures": baseline_failures, "refcount_drift": refcount_drift[:50],
        "duplicate_nonces": len(nonces) - len(set(nonces)), "healthy": bool(healthy),
    }))


if __name__ == "__main__":
    _child_main()
