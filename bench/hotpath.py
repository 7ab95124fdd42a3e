"""Instruction counts of the hot path, and wall-clock batch speed-ups.

Run from the repository root after building the extension:

    PYTHONPATH=. .venv/bin/python bench/hotpath.py [--calls N] [--skip-callgrind] [--source DIR]

Instruction counts come from valgrind's callgrind: each case runs once with N
calls and once with none, under the same interpreter, and the difference over
N is the cost of one call (stable on a loaded machine). The Python rows call
the extension found on PYTHONPATH (point it at another build to compare).
The base58 rows count the core alone: bench/callgrind/base58_count.cpp is
compiled (c++ -O3, as the Release build) against the sources under --source
(default: this tree's src/) and run the same way. Without valgrind or a
compiler that part is skipped with a message. The batch speed-ups are
wall-clock ratios measured in one run (best of several rounds), batch against
the same items one call at a time.
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
    "py_prepare_order (limit order)": ("", "vk.py_prepare_order(LIMIT, 'mainnet', account, nonce=7)"),
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


def callgrind_instructions(setup, call, calls):
    """Total instructions of one child interpreter run under callgrind."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "cg.out")
        script = CHILD.format(limit=LIMIT, seed=SECRET_SEED, setup=setup, calls=calls, call=call)
        env = dict(os.environ, PYTHONHASHSEED="0")
        proc = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                               sys.executable, "-c", script], env=env, capture_output=True, text=True)
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
        units = [os.path.join(source, "types", f) for f in ("base58.cpp", "types.cpp", "error.cpp")]
        build = subprocess.run([compiler, "-std=c++23", "-O3", "-DNDEBUG", f"-I{source}",
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


def best_of(fn, rounds):
    best = float("inf")
    for _ in range(rounds):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def speedups(rounds):
    from vorn_keychain import _native as vk

    signer = vk.Signer(vk.Keypair.from_bytes(SECRET_SEED), "mainnet")
    account = signer.pubkey
    orders = [dict(LIMIT, price=100000.0 + i) for i in range(1000)]
    groups = [orders[i:i + 2] for i in range(0, 1000, 2)]

    def one_by_one():
        for i, o in enumerate(orders):
            signer.sign(o, nonce=1 + i)

    def groups_one_by_one():
        for i, g in enumerate(groups):
            signer.sign_group(g, nonce=1 + i)

    def prepare_one_by_one():
        for i, o in enumerate(orders):
            vk.py_prepare_order(o, "mainnet", account, nonce=1 + i)

    rows = [
        ("sign_all(1000) vs 1000 sign", lambda: signer.sign_all(orders, base_nonce=1), one_by_one),
        ("sign_orders_batch(500 x 2) vs 500 sign_group", lambda: signer.sign_orders_batch(groups, base_nonce=1),
         groups_one_by_one),
        ("py_prepare_all_orders(1000) vs 1000 py_prepare_order",
         lambda: vk.py_prepare_all_orders(orders, "mainnet", account, base_nonce=1), prepare_one_by_one),
    ]
    print(f"{'batch speed-up (wall clock, best of %d, %d cores)' % (rounds, os.cpu_count()):<56} {'x':>10}")
    for name, batch, seq in rows:
        t_seq, t_batch = best_of(seq, rounds), best_of(batch, rounds)
        print(f"  {name:<54} {t_seq / t_batch:9.2f}x  ({t_seq * 1e3:.1f} ms vs {t_batch * 1e3:.1f} ms)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=200, help="calls per callgrind run")
    parser.add_argument("--rounds", type=int, default=7, help="wall-clock rounds per batch case")
    parser.add_argument("--skip-callgrind", action="store_true")
    parser.add_argument("--source", default=os.path.join(ROOT, "src"),
                        help="core sources for the base58 rows (default: this tree's src/)")
    args = parser.parse_args()
    if not args.skip_callgrind:
        instruction_table(args.calls)
        if shutil.which("valgrind") is not None:
            base58_table(args.source, args.calls * 50)
    speedups(args.rounds)


if __name__ == "__main__":
    main()
