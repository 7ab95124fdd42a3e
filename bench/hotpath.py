"""Instruction counts of the hot path, and wall-clock batch speed-ups.

Run from the repository root after building the extension:

    PYTHONPATH=. .venv/bin/python bench/hotpath.py [--calls N] [--skip-callgrind] [--skip-lock] [--source DIR]

Instruction counts come from valgrind's callgrind: each case runs once with N
calls and once with none, under the same interpreter, and the difference over
N is the cost of one call (stable on a loaded machine). The Python rows call
the extension found on PYTHONPATH (point it at another build to compare).
The base58 rows count the core alone: bench/callgrind/base58_count.cpp is
compiled (c++ -O3, as the Release build) against the sources under --source
(default: this tree's src/) and run the same way. Without valgrind or a
compiler that part is skipped with a message. The interpreter-lock rows run
each batch under callgrind with one output per thread: the calling thread's
instructions outside the jobs must hold the lock, the jobs (on any thread)
need not; their share bounds the batch's speed-up. The batch speed-ups are
wall-clock ratios measured in one run (best of several rounds), batch against
the same items one call at a time, both keeping their results in a list.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000.0, "size": 0.25,
         "order_type": {"type": "limit", "tif": "GTC"}}
SECRET_SEED = bytes(range(32))

# name -> (setup, call); both run with `vk`, `signer`, `account`, `LIMIT` in scope.
CASES = {
    "sign_bytes (91-byte message)": ("msg = bytes(91)",
                                     "signer.sign_bytes(msg)"),
    "Signer.sign (limit order)": ("", "signer.sign(LIMIT, nonce=7)"),
    # Below the pool's threshold of 10: everything on the calling thread.
    "Signer.sign_all (8 limit orders)": ("orders = [dict(LIMIT, price=100000.0 + i) for i in range(8)]",
                                         "signer.sign_all(orders, base_nonce=7)"),
    "py_prepare_order (limit order)": ("", "vk.py_prepare_order(LIMIT, 'mainnet', account, nonce=7)"),
    # Kinds whose action list is rendered into Python objects directly since
    # the single renderer (before: a JSON tree, then converted).
    "Signer.sign (stop order)": ("stop = {'type': 'stop', 'symbol': 'BTC-USD', 'is_buy': False, 'size': 0.25, "
                                 "'trigger_price': 95000.0, 'limit_price': 94900.0}",
                                 "signer.sign(stop, nonce=7)"),
    "Signer.sign (trigger basket of 2)": ("basket = {'type': 'trig', 'symbol': 'BTC-USD', 'is_buy': False, "
                                          "'trigger_price': 96000.0, 'actions': [LIMIT, dict(LIMIT, is_buy=False)]}",
                                          "signer.sign(basket, nonce=7)"),
    "Signer.sign_user_settings (3 symbols)": ("lev = [('BTC-USD', 10.0), ('ETH-USD', 5.0), ('SOL-USD', 3.0)]",
                                              "signer.sign_user_settings(lev, nonce=7)"),
    "validate_pubkey (44 chars)": ("", "vk.validate_pubkey(account)"),
}

CHILD = """
import sys
from vorn_keychain import _native as vk
LIMIT = {limit!r}
signer = vk.Signer(vk.Keypair.from_bytes({seed!r}), "mainnet")
account = signer.pubkey
{setup}
for _ in range({calls}):
    {call}
"""


def child_env():
    """The environment of a child interpreter. It runs in a scratch
    directory, so that the extension comes from PYTHONPATH (made absolute)
    and never from the current directory."""
    path = os.environ.get("PYTHONPATH", "")
    path = os.pathsep.join(os.path.abspath(p) for p in path.split(os.pathsep) if p)
    return dict(os.environ, PYTHONHASHSEED="0", PYTHONPATH=path)


def callgrind_instructions(setup, call, calls):
    """Total instructions of one child interpreter run under callgrind."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "cg.out")
        script = CHILD.format(limit=LIMIT, seed=SECRET_SEED, setup=setup, calls=calls, call=call)
        env = child_env()
        proc = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                               sys.executable, "-c", script], env=env, capture_output=True, text=True, cwd=tmp)
        if proc.returncode != 0:
            raise RuntimeError(proc.stderr[-2000:])
        m = re.search(r"Collected : (\d+)", proc.stderr) or re.search(r"refs:\s+([\d,]+)", proc.stderr)
        return int(m.group(1).replace(",", ""))


ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE58_CASES = {
    "base58 decode, 32-byte key (Pubkey::from_base58)": "decode32",
    "base58 encode, 32 bytes (base58_encode)": "encode32",
    "base58 encode, 64-byte signature (base58_encode)": "encode64",
}


def callgrind_total(argv, env=None):
    """Total instructions of one program run under callgrind."""
    proc = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", *argv],
                          env=env, capture_output=True, text=True)
    if proc.returncode != 0:
        raise RuntimeError(proc.stderr[-2000:])
    m = re.search(r"Collected : (\d+)", proc.stderr) or re.search(r"refs:\s+([\d,]+)", proc.stderr)
    return int(m.group(1).replace(",", ""))


def base58_table(source, calls):
    compiler = shutil.which(os.environ.get("CXX", "c++"))
    if compiler is None:
        print("no C++ compiler found: base58 counts skipped")
        return
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "base58_count")
        # Today's sources live in src/types/; an older tree kept them flat in
        # src/, reached through a types/ link so the same includes work.
        units_dir = os.path.join(source, "types")
        if not os.path.isdir(units_dir):
            units_dir = source
            os.makedirs(os.path.join(tmp, "inc"))
            os.symlink(source, os.path.join(tmp, "inc", "types"))
        units = [os.path.join(units_dir, f) for f in ("base58.cpp", "types.cpp", "error.cpp")]
        build = subprocess.run([compiler, "-std=c++23", "-O3", "-DNDEBUG", f"-I{source}", f"-I{tmp}/inc",
                                os.path.join(ROOT, "bench", "callgrind", "base58_count.cpp"), *units,
                                "-lsodium", "-o", exe], capture_output=True, text=True)
        if build.returncode != 0:
            print(f"base58 counts skipped: build failed\n{build.stderr[-2000:]}")
            return
        print(f"{'core instructions per call (callgrind, %d calls minus 0)' % calls:<56} {'Ir':>10}")
        for name, op in BASE58_CASES.items():
            per = (callgrind_total([exe, op, str(calls)]) - callgrind_total([exe, op, "0"])) / calls
            print(f"  {name:<54} {per / 1000:9.2f}k")


def instruction_table(calls):
    if shutil.which("valgrind") is None:
        print("valgrind not found: instruction counts skipped (apt-get install valgrind)")
        return
    print(f"{'instructions per call (callgrind, %d calls minus 0)' % calls:<56} {'Ir':>10}")
    per = {}
    for name, (setup, call) in CASES.items():
        with_calls = callgrind_instructions(setup, call, calls)
        without = callgrind_instructions(setup, call, 0)
        per[name] = (with_calls - without) / calls
        print(f"  {name:<54} {per[name] / 1000:9.1f}k")
    ratio = per["Signer.sign (limit order)"] / per["sign_bytes (91-byte message)"]
    print(f"  {'Signer.sign / sign_bytes':<54} {ratio:9.3f}x")


LOCK_CHILD = """
import sys
from vorn_keychain import _native as vk
LIMIT = {limit!r}
signer = vk.Signer(vk.Keypair.from_bytes({seed!r}), "mainnet")
account = signer.pubkey
orders = [dict(LIMIT, price=100000.0 + i) for i in range(1000)]
groups = [orders[i:i + 2] for i in range(0, 1000, 2)]
for _ in range({runs}):
    {call}
"""

LOCK_CASES = {
    "sign_all(1000)": ("signer.sign_all(orders, base_nonce=1)", 1000),
    "sign_orders_batch(500 x 2)": ("signer.sign_orders_batch(groups, base_nonce=1)", 500),
    "py_prepare_all_orders(1000)": ("vk.py_prepare_all_orders(orders, 'mainnet', account, base_nonce=1)", 1000),
}


def batch_split(call, runs):
    """(instructions on the calling thread outside the jobs, instructions in
    the jobs on every thread) of `runs` batch calls."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "cg.out")
        script = LOCK_CHILD.format(limit=LIMIT, seed=SECRET_SEED, runs=runs, call=call)
        env = child_env()
        proc = subprocess.run(["valgrind", "--tool=callgrind", "--separate-threads=yes",
                               f"--callgrind-out-file={out}", "--toggle-collect=*detail::call<*",
                               "--toggle-collect=*worker_loop<*", sys.executable, "-c", script],
                              env=env, capture_output=True, text=True, cwd=tmp)
        if proc.returncode != 0:
            raise RuntimeError(proc.stderr[-2000:])
        held = jobs = 0
        for name in sorted(os.listdir(tmp)):
            if not re.search(r"-\d+$", name):  # one file per thread: cg.out-01, -02, ...
                continue
            path = os.path.join(tmp, name)
            ann = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--threshold=100", path],
                                 capture_output=True, text=True).stdout
            total = re.search(r"([\d,]+) \(100\.0%\)\s+PROGRAM TOTALS", ann)
            run = re.search(r"^\s*([\d,]+) \([\d. ]+%\)\s+.*StreamState<.*>::run<", ann, re.M)
            total = int(total.group(1).replace(",", "")) if total else 0
            run = int(run.group(1).replace(",", "")) if run else 0
            jobs += run
            if name.endswith("-01"):  # the calling thread
                held += total - run
        return held, jobs


def lock_table():
    if shutil.which("valgrind") is None:
        print("valgrind not found: the interpreter-lock shares are skipped")
        return
    print(f"{'work that holds the interpreter lock (callgrind)':<44} {'held':>8} {'jobs':>8} {'share':>6} "
          f"{'2 cores':>8} {'any':>7}")
    for name, (call, n) in LOCK_CASES.items():
        # Two batches minus one, so that first-call costs cancel out.
        h2, j2 = batch_split(call, 2)
        h1, j1 = batch_split(call, 1)
        held, jobs = (h2 - h1) / n, (j2 - j1) / n
        if jobs <= 0:
            # The split is found by symbol names: a stripped module (the
            # wheel's) has none to find.
            print(f"  {name:<42} no job symbols in this module (stripped?): skipped")
            continue
        share = held / (held + jobs)
        # The calling thread does the held part alone; the jobs spread over
        # every thread. On two cores the batch cannot beat max(held,
        # (held + jobs) / 2).
        bound = (held + jobs) / max(held, (held + jobs) / 2)
        print(f"  {name:<42} {held / 1000:7.1f}k {jobs / 1000:7.1f}k {share:6.1%} {bound:7.2f}x {1 / share:6.1f}x")
    print("  (per element; the bounds on the batch's speed-up over its own work on one thread,")
    print("   on 2 cores and on any number of cores: the held part runs on the calling thread alone)")


def interleaved_best(fns, rounds, reps):
    """Best wall time of each of fns (reps calls in a row), the rounds
    interleaved (a, b, a, b, ...) so that every side sees the same machine."""
    best = [float("inf")] * len(fns)
    for _ in range(rounds):
        for k, fn in enumerate(fns):
            start = time.perf_counter()
            for _ in range(reps):
                fn()
            best[k] = min(best[k], (time.perf_counter() - start) / reps)
    return best


def speedups(rounds):
    from vorn_keychain import _native as vk

    signer = vk.Signer(vk.Keypair.from_bytes(SECRET_SEED), "mainnet")
    account = signer.pubkey
    orders = [dict(LIMIT, price=100000.0 + i) for i in range(1000)]
    groups = [orders[i:i + 2] for i in range(0, 1000, 2)]
    eight = orders[:8]

    # The one-by-one loops keep their results in a list, as the batch does.
    def one_by_one(items=orders):
        return [signer.sign(o, nonce=1 + i) for i, o in enumerate(items)]

    def groups_one_by_one():
        return [signer.sign_group(g, nonce=1 + i) for i, g in enumerate(groups)]

    def prepare_one_by_one():
        return [vk.py_prepare_order(o, "mainnet", account, nonce=1 + i) for i, o in enumerate(orders)]

    rows = [
        ("sign_all(1000) vs 1000 sign", lambda: signer.sign_all(orders, base_nonce=1), one_by_one, 1),
        ("sign_orders_batch(500 x 2) vs 500 sign_group", lambda: signer.sign_orders_batch(groups, base_nonce=1),
         groups_one_by_one, 1),
        ("sign_all(8) vs 8 sign (calling thread)", lambda: signer.sign_all(eight, base_nonce=1),
         lambda: one_by_one(eight), 100),
        ("py_prepare_all_orders(1000) vs 1000 py_prepare_order",
         lambda: vk.py_prepare_all_orders(orders, "mainnet", account, base_nonce=1), prepare_one_by_one, 1),
    ]
    engine = "portable" if os.environ.get("VORN_KEYCHAIN_ED25519") == "portable" else "default"
    print(f"{'batch speed-up (wall clock, best of %d interleaved, %d cores, %s)' % (rounds, os.cpu_count(), engine):<56}"
          f" {'x':>10}")
    for name, batch, seq, reps in rows:
        t_seq, t_batch = interleaved_best([seq, batch], rounds, reps)
        print(f"  {name:<54} {t_seq / t_batch:9.2f}x  ({t_seq * 1e3:.3f} ms vs {t_batch * 1e3:.3f} ms)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=200, help="calls per callgrind run")
    parser.add_argument("--rounds", type=int, default=7, help="wall-clock rounds per batch case")
    parser.add_argument("--skip-callgrind", action="store_true")
    parser.add_argument("--skip-lock", action="store_true",
                        help="skip the interpreter-lock shares (they need this tree's batch driver)")
    parser.add_argument("--source", default=os.path.join(ROOT, "src"),
                        help="core sources for the base58 rows (default: this tree's src/)")
    args = parser.parse_args()
    if not args.skip_callgrind:
        instruction_table(args.calls)
        if shutil.which("valgrind") is not None:
            base58_table(args.source, args.calls * 50)
        if not args.skip_lock:
            lock_table()
    speedups(args.rounds)


if __name__ == "__main__":
    main()
