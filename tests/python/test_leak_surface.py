"""Memory stays flat over long loops of every public call, once with input
that succeeds and once with a bad input that raises.

Each call is measured on its own, after a warm-up, with three gauges:

- Python objects: sys.getallocatedblocks(), exact. A call that leaks one
  object (a reference never released) adds a block per call.
- The C/C++ heap: glibc's in-use byte count (mallinfo2), exact to the byte.
  The child runs with one malloc arena so the worker pool's threads allocate
  where the count can see them.
- Resident memory (/proc/self/statm) over the whole run, as the backstop for
  anything the two counts miss (mmap'd memory, other allocators).

The arithmetic: N = 2000 calls per entry. A leak of 64 bytes per call adds
128 KiB to the heap count, four times its tolerance of 32 KiB, and one
leaked object per call adds 2000 blocks, ten times the tolerance of 200. The
136 loops (68 members, each with good and bad input) make 272000 measured
calls; 64 bytes leaked by every call would add 17 MiB of resident memory,
over four times its tolerance of 4 MiB. (Checked by hand: a call that
appends to a list held globally, and calls that malloc 64 or 16 bytes and
never free them, are all reported.)
"""

import json
import os
import subprocess
import sys

from conftest import skip_under_asan

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


@skip_under_asan
def test_every_public_call_keeps_memory_flat():
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([ROOT, HERE]), MALLOC_ARENA_MAX="1")
    proc = subprocess.run([sys.executable, os.path.abspath(__file__)], capture_output=True, text=True,
                          timeout=300, env=env)
    assert proc.returncode == 0, f"exit {proc.returncode}\n{proc.stderr[-3000:]}"
    report = json.loads(proc.stdout.splitlines()[-1])
    assert report["unexpected"] == [], report["unexpected"]
    assert report["leaks"] == [], report["leaks"]
    assert report["rss_growth"] < 4 * 2**20, report["rss_growth"]
    assert report["entries"] >= 136


# ---------------------------------------------------------------------------
# The child.
# ---------------------------------------------------------------------------

CALLS = 2000
WARM_UP = 200
BLOCK_TOLERANCE = 200
HEAP_TOLERANCE = 32 * 1024


def _entries():
    """(label, call that succeeds, call that raises) for every public member."""
    from conftest import CANCEL, LIMIT, OID, SEED, b58encode
    from vorn_keychain import _native as vk

    kp = vk.Keypair.from_bytes(SEED)
    s = vk.Signer(kp, "mainnet")
    flags = vk.Signer(kp, "mainnet")
    pub, other = s.pubkey, b58encode(bytes([0x22]) * 32)
    bh = b58encode(bytes(range(100, 132)))
    order = dict(LIMIT, builder_code={"to": other, "fee": 3}, client_id=OID)
    stop = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trigger_price": 9.0}
    basket = {"type": "trig", "symbol": "BTC-USD", "is_buy": True, "trigger_price": 9.5, "actions": [stop, CANCEL]}
    bad = dict(LIMIT, slippage=0.1)  # refused by the core
    bad_type = dict(LIMIT, price="high")
    ten = [order] * 10
    config = {"cross_exposure": 1.0, "instruments": [{"symbol": "BTC-USD", "max_exposure": 5.0}]}
    prepared = vk.py_prepare_order(order, "mainnet", pub, nonce=7)
    psig = s.sign_bytes(prepared["message_bytes"])
    wallet = vk.prepare_wallet_message(prepared, "offchain")
    wsig = s.sign_bytes(wallet["message_bytes"])
    n = 1700000000000000000
    dom = ("mainnet", pub)

    def prep(f, *payload, bad_payload):
        return (lambda: f(*payload, *dom, nonce=n), lambda: f(*bad_payload, *dom, nonce=n))

    table = {
        "prepare_wallet_message": (lambda: vk.prepare_wallet_message(prepared, "raw"),
                                   lambda: vk.prepare_wallet_message(prepared, "RAW")),
        "finalize_wallet_message": (lambda: vk.finalize_wallet_message(wallet, wsig),
                                    lambda: vk.finalize_wallet_message(wallet, psig)),
        "export_deposit_transaction": (lambda: vk.export_deposit_transaction(pub, 5, bh),
                                       lambda: vk.export_deposit_transaction(pub, 0, bh)),
        "export_withdraw_intent_transaction": (lambda: vk.export_withdraw_intent_transaction(pub, 5, bh),
                                               lambda: vk.export_withdraw_intent_transaction(pub, 5, "0")),
        "build_deposit_instruction": (lambda: vk.build_deposit_instruction(pub, 5),
                                      lambda: vk.build_deposit_instruction(pub, -1)),
        "build_withdraw_intent_instruction": (lambda: vk.build_withdraw_intent_instruction(pub, 5),
                                              lambda: vk.build_withdraw_intent_instruction(5, 5)),
        "random_hash": (vk.random_hash, lambda: vk.random_hash(1)),
        "current_timestamp": (vk.current_timestamp, lambda: vk.current_timestamp(x=1)),
        "validate_pubkey": (lambda: vk.validate_pubkey(pub), lambda: vk.validate_pubkey(b"x")),
        "validate_hash": (lambda: vk.validate_hash(OID), lambda: vk.validate_hash(None)),
        "compute_order_id": (lambda: vk.compute_order_id(b"abc"), lambda: vk.compute_order_id("abc")),
        "compute_order_id_from_order": (lambda: vk.compute_order_id_from_order(order, n, pub),
                                        lambda: vk.compute_order_id_from_order({"l": {"c": "X"}}, n, pub)),
        "py_prepare_order": prep(vk.py_prepare_order, dict(order, on_fill={"actions": [stop]}),
                                 bad_payload=[bad_type]),
        "py_prepare_all_orders": (lambda: vk.py_prepare_all_orders(ten, *dom, base_nonce=n),
                                  lambda: vk.py_prepare_all_orders(ten + [bad], *dom, base_nonce=n)),
        "py_prepare_order_group": prep(vk.py_prepare_order_group, [order, basket], bad_payload=[[order, bad]]),
        "py_prepare_agent_wallet_auth": prep(vk.py_prepare_agent_wallet_auth, other, True,
                                             bad_payload=[other, 1]),
        "py_prepare_approve_builder_code": prep(vk.py_prepare_approve_builder_code, other, 3,
                                                bad_payload=[other, 16]),
        "py_prepare_update_liquidator_config": prep(vk.py_prepare_update_liquidator_config, config,
                                                    bad_payload=[{"instruments": [{}]}]),
        "py_prepare_approve_commission_fee": prep(vk.py_prepare_approve_commission_fee, other, 3,
                                                  bad_payload=[other, 256]),
        "py_prepare_revoke_builder_code": prep(vk.py_prepare_revoke_builder_code, other, bad_payload=["0"]),
        "py_prepare_revoke_commission_fee": prep(vk.py_prepare_revoke_commission_fee, other, bad_payload=[None]),
        "py_prepare_faucet_request": (lambda: vk.py_prepare_faucet_request(*dom, nonce=n),
                                      lambda: vk.py_prepare_faucet_request("Mainnet", pub)),
        "py_prepare_create_sub_account": (lambda: vk.py_prepare_create_sub_account("sub", *dom, margin_amount=1.0),
                                          lambda: vk.py_prepare_create_sub_account("sub", *dom, margin_amount="1")),
        "py_prepare_remove_sub_account": prep(vk.py_prepare_remove_sub_account, other, bad_payload=[pub + "1"]),
        "py_prepare_transfer": (lambda: vk.py_prepare_transfer(pub, other, 1.0, *dom, kind="external"),
                                lambda: vk.py_prepare_transfer(pub, other, 1.0, *dom, kind="External")),
        "py_finalize_transaction": (lambda: vk.py_finalize_transaction(prepared, psig),
                                    lambda: vk.py_finalize_transaction(prepared, wsig)),
        "Keypair": (lambda: vk.Keypair(SEED), lambda: vk.Keypair(SEED[:31])),
        "Keypair()": (vk.Keypair, lambda: vk.Keypair(1, 2)),
        "Keypair.from_base58": (lambda: vk.Keypair.from_base58(kp.to_base58()),
                                lambda: vk.Keypair.from_base58("0")),
        "Keypair.from_bytes": (lambda: vk.Keypair.from_bytes(kp.to_bytes()),
                               lambda: vk.Keypair.from_bytes(SEED + bytes(32))),
        "Keypair.pubkey": (lambda: kp.pubkey, lambda: setattr(kp, "pubkey", "x")),
        "Keypair.to_base58": (kp.to_base58, lambda: kp.to_base58(1)),
        "Keypair.to_bytes": (kp.to_bytes, lambda: kp.to_bytes(1)),
        "Keypair.secret_key": (kp.secret_key, lambda: kp.secret_key(1)),
        "Keypair repr and str": (lambda: (repr(kp), str(kp)), lambda: kp.no_such_attribute),
        "Signer": (lambda: vk.Signer(kp, "devnet"), lambda: vk.Signer(kp, "Devnet")),
        "Signer.from_base58": (lambda: vk.Signer.from_base58(kp.to_base58(), "mainnet"),
                               lambda: vk.Signer.from_base58("1" * 44, "mainnet")),
        "Signer.with_nonce_manager": (lambda: vk.Signer.with_nonce_manager(kp, "counter", "mainnet"),
                                      lambda: vk.Signer.with_nonce_manager(kp, "Counter", "mainnet")),
        "Signer.pubkey": (lambda: s.pubkey, lambda: setattr(s, "pubkey", "x")),
        "Signer.set_compute_order_id": (lambda: flags.set_compute_order_id(True),
                                        lambda: flags.set_compute_order_id(1)),
        "Signer.set_compute_batch_order_ids": (lambda: flags.set_compute_batch_order_ids(False),
                                               lambda: flags.set_compute_batch_order_ids(None)),
        "Signer.computes_order_id": (s.computes_order_id, lambda: s.computes_order_id(1)),
        "Signer.computes_batch_order_ids": (s.computes_batch_order_ids, lambda: s.computes_batch_order_ids(1)),
        "Signer.sign_wallet_prepared": (lambda: s.sign_wallet_prepared(wallet),
                                        lambda: s.sign_wallet_prepared(dict(wallet, signature_mode="RAW"))),
        "Signer.sign_bytes": (lambda: s.sign_bytes(b"x" * 100), lambda: s.sign_bytes(bytearray(1))),
        "Signer.sign_prepared": (lambda: s.sign_prepared(prepared),
                                 lambda: s.sign_prepared(dict(prepared, signer=other))),
        "Signer.sign": (lambda: s.sign(order), lambda: s.sign(bad)),
        "Signer.sign (basket)": (lambda: s.sign(basket), lambda: s.sign(dict(basket, actions=[stop, bad_type]))),
        "Signer.sign_all": (lambda: s.sign_all(ten), lambda: s.sign_all(ten + [bad])),
        "Signer.sign_all (few)": (lambda: s.sign_all([order, stop]), lambda: s.sign_all([order, bad_type])),
        "Signer.sign_group": (lambda: s.sign_group([order, stop]), lambda: s.sign_group([])),
        "Signer.sign_faucet": (s.sign_faucet, lambda: s.sign_faucet(nonce=-1)),
        "Signer.sign_agent_wallet": (lambda: s.sign_agent_wallet(other, False),
                                     lambda: s.sign_agent_wallet("x", False)),
        "Signer.sign_approve_commission_fee": (lambda: s.sign_approve_commission_fee(other, 2),
                                               lambda: s.sign_approve_commission_fee(other, 0)),
        "Signer.sign_approve_builder_code": (lambda: s.sign_approve_builder_code(other, 2),
                                             lambda: s.sign_approve_builder_code(other, 300)),
        "Signer.sign_revoke_commission_fee": (lambda: s.sign_revoke_commission_fee(other),
                                              lambda: s.sign_revoke_commission_fee(other, nonce=2**64)),
        "Signer.sign_revoke_builder_code": (lambda: s.sign_revoke_builder_code(other),
                                            lambda: s.sign_revoke_builder_code("")),
        "Signer.sign_user_settings": (lambda: s.sign_user_settings([("BTC-USD", 5.0), ("ETH-USD", 2)]),
                                      lambda: s.sign_user_settings([("BTC-USD", 5.0, 1)])),
        "Signer.sign_update_liquidator_config": (lambda: s.sign_update_liquidator_config(config),
                                                 lambda: s.sign_update_liquidator_config({"instruments": 1})),
        "Signer.sign_oracle_prices": (lambda: s.sign_oracle_prices([(1, "BTC-USD", 1.5), (2, "ETH-USD", 2.5)]),
                                      lambda: s.sign_oracle_prices([])),
        "Signer.sign_pyth_oracle": (lambda: s.sign_pyth_oracle([(1, 2, 2**63 + 5, -8)]),
                                    lambda: s.sign_pyth_oracle([(1, 2, 3, 40000)])),
        "Signer.sign_remove_sub_account": (lambda: s.sign_remove_sub_account(other),
                                           lambda: s.sign_remove_sub_account(other[:-2])),
        "Signer.sign_transfer": (lambda: s.sign_transfer(pub, other, 1.0, "internal"),
                                 lambda: s.sign_transfer(pub, other, "1.0")),
        "Signer.sign_create_sub_account": (lambda: s.sign_create_sub_account("sub", 1.0),
                                           lambda: s.sign_create_sub_account(5)),
        "Signer.sign_whitelist_faucet": (lambda: s.sign_whitelist_faucet(other, True),
                                         lambda: s.sign_whitelist_faucet(other, "yes")),
        "Signer.sign_order": (lambda: s.sign_order([order]), lambda: s.sign_order(order)),
        "Signer.sign_orders_batch": (lambda: s.sign_orders_batch([[order, stop]] * 10),
                                     lambda: s.sign_orders_batch([[order]] * 10 + [[]])),
        "Signer repr": (lambda: repr(s), lambda: s.no_such_attribute),
    }
    return table


def _mallinfo():
    import ctypes

    class MallInfo2(ctypes.Structure):
        _fields_ = [(name, ctypes.c_size_t) for name in (
            "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
            "keepcost")]

    libc = ctypes.CDLL(None)
    libc.mallinfo2.restype = MallInfo2

    def in_use():
        m = libc.mallinfo2()
        return m.uordblks + m.hblkhd

    return in_use


def _rss():
    import resource

    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def _child_main():
    import gc

    heap_in_use = _mallinfo()
    entries = _entries()
    unexpected, leaks = [], []
    ordinary = (TypeError, ValueError, OverflowError, AttributeError)

    def run(label, fn, should_raise, times):
        for _ in range(times):
            try:
                fn()
            except ordinary:
                if not should_raise:
                    unexpected.append([label, "raised"])
                    return
            else:
                if should_raise:
                    unexpected.append([label, "returned"])
                    return

    # Warm everything once (caches, the worker pool, the json module) before
    # the resident baseline.
    for label, (good, bad) in entries.items():
        run(label, good, False, WARM_UP)
        run(label + " (bad)", bad, True, WARM_UP)
    gc.collect()
    rss_before = _rss()
    for label, (good, bad) in entries.items():
        for tag, fn, should_raise in ((label, good, False), (label + " (bad)", bad, True)):
            run(tag, fn, should_raise, WARM_UP)
            gc.collect()
            blocks, heap = sys.getallocatedblocks(), heap_in_use()
            run(tag, fn, should_raise, CALLS)
            gc.collect()
            grown_blocks, grown_heap = sys.getallocatedblocks() - blocks, heap_in_use() - heap
            if grown_blocks > BLOCK_TOLERANCE or grown_heap > HEAP_TOLERANCE:
                leaks.append([tag, grown_blocks, grown_heap])
    gc.collect()
    print(json.dumps({"entries": 2 * len(entries), "unexpected": unexpected, "leaks": leaks,
                      "rss_growth": _rss() - rss_before}))


if __name__ == "__main__":
    _child_main()
