"""A process that has run parallel batches can fork and keep signing: the
child finishes parallel batches on threads of its own (no hang), its
signatures verify, its timestamp nonces differ from all of the parent's.
Each scenario runs in a fresh interpreter that kills a child that hangs."""

import os
import textwrap

import pytest

from conftest import b58decode, run_child, verifies
from vorn_keychain import _native as vk

KEY = bytes(range(7, 39))
ORDERS = [{"type": "order", "symbol": "BTC-USD", "is_buy": i % 2 == 0, "price": 100000 + i, "size": 0.25}
          for i in range(32)]

PRELUDE = textwrap.dedent(f"""
    import json, multiprocessing, os, sys, time, warnings
    warnings.simplefilter("ignore", DeprecationWarning)  # fork of a threaded process is the point
    from vorn_keychain import _native as vk
    SIGNER = vk.Signer(vk.Keypair({KEY!r}), "mainnet")
    ORDERS = {ORDERS!r}

    def records(_=None):
        return {{"signed": [[t["nonce"], t["signature"]] for t in SIGNER.sign_all(ORDERS)],
                "prepared": [p["nonce"] for p in vk.py_prepare_all_orders(ORDERS, "mainnet", SIGNER.pubkey)],
                "random": [vk.random_hash() for _ in range(4)], "threads": len(os.listdir("/proc/self/task"))}}

    def fork(child):
        # The child's JSON through a pipe; None after killing a child that hung for 60 s.
        r, w = os.pipe()
        pid = os.fork()
        if pid == 0:
            try:  # a child that fails writes nothing, and never returns into the parent's code
                os.close(r)
                with os.fdopen(w, "w") as f:
                    f.write(json.dumps(child()))
            finally:
                os._exit(0)
        os.close(w)
        deadline = time.monotonic() + 60
        while not os.waitpid(pid, os.WNOHANG)[0]:
            if time.monotonic() > deadline:
                os.kill(pid, 9)
                os.waitpid(pid, 0)
                return None
            time.sleep(0.02)
        with os.fdopen(r) as f:
            return json.loads(f.read())
""")

# Each round: a batch, then one the core refuses at once (the fork comes while
# the pool's workers wind down), a fork, batches in the child.
SCENARIOS = {
    "os_fork": """
        out = {"parent": [], "children": []}
        for _ in range(60):
            out["parent"].append(records())
            try:
                SIGNER.sign_all(ORDERS[:12] + [dict(ORDERS[0], slippage=0.1)])
            except ValueError:
                pass
            out["children"].append(fork(records))
        out["parent"].append(records())
    """,
    "multiprocessing": """
        out = {"parent": [records()]}
        with multiprocessing.get_context("fork").Pool(2) as pool:
            try:
                out["children"] = pool.map_async(records, range(4)).get(timeout=60)
            except multiprocessing.TimeoutError:
                out["children"] = [None]
            pool.terminate()
        out["parent"].append(records())
    """,
}


def run(body):
    return run_child(["-c", PRELUDE + textwrap.dedent(body) + "\nprint(json.dumps(out))\n"], timeout=240)


@pytest.mark.parametrize("scenario", list(SCENARIOS))
def test_children_sign_parallel_batches(scenario):
    out = run(SCENARIOS[scenario])
    assert None not in out["children"], "a forked child hung or failed in a parallel batch"
    pubkey, nonces = vk.Keypair(KEY).pubkey, []
    for rec in out["parent"] + out["children"]:
        signed = [n for n, _ in rec["signed"]]
        # One reserved range per batch: consecutive nonces.
        for batch in (signed, rec["prepared"]):
            assert batch == list(range(batch[0], batch[0] + 32))
        for (nonce, signature), order in zip(rec["signed"][::15], ORDERS[::15]):
            msg = vk.py_prepare_order(order, "mainnet", pubkey, nonce=nonce)["message_bytes"]
            assert verifies(pubkey, msg, signature)
        nonces += signed + rec["prepared"]
    # Parent and children copied the same clock at each fork; none repeats.
    assert len(set(nonces)) == len(nonces)
    hashes = [h for rec in out["parent"] + out["children"] for h in rec["random"]]
    assert len(set(hashes)) == len(hashes) and all(len(b58decode(h)) == 32 for h in hashes)
    if scenario == "os_fork" and len(os.sched_getaffinity(0)) > 1:
        assert min(rec["threads"] for rec in out["children"]) > 1
