"""Timings of the Python signing surface.

Run from the repository root after building the extension:

    PYTHONPATH=. .venv/bin/python bench/bench_python.py [--quick]

Prints, for each case, the best of several runs: the time per call, and for
batches the time per signed transaction.
"""

import argparse
import time

from vorn_keychain import _native as vk

LIMIT = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000.0, "size": 0.25,
         "order_type": {"type": "limit", "tif": "GTC"}}
MARKET = {"type": "order", "symbol": "ETH-USD", "is_buy": False, "price": 0.0, "size": 1.5, "slippage": 0.01,
          "order_type": {"type": "market"}}


def best_of(fn, calls, repeats):
    """Best wall time per call over `repeats` runs of `calls` calls each."""
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        for _ in range(calls):
            fn()
        best = min(best, (time.perf_counter() - start) / calls)
    return best


def report(name, per_call, per_tx=None):
    line = f"{name:<40} {per_call * 1e6:12.2f} us/call"
    if per_tx is not None:
        line += f" {per_tx * 1e6:10.2f} us/tx {1 / per_tx:12.0f} tx/s"
    print(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer iterations")
    args = parser.parse_args()
    scale = 10 if args.quick else 1
    repeats = 3 if args.quick else 5

    signer = vk.Signer(vk.Keypair(), "mainnet")
    nonce = [0]

    def next_nonce():
        nonce[0] += 1
        return nonce[0]

    print(f"{'case':<40} {'time':>20}")
    report("sign limit order (explicit nonce)", best_of(lambda: signer.sign(LIMIT, nonce=next_nonce()),
                                                        20000 // scale, repeats))
    report("sign limit order (default nonce)", best_of(lambda: signer.sign(LIMIT), 20000 // scale, repeats))
    report("sign market order with slippage", best_of(lambda: signer.sign(MARKET, nonce=next_nonce()),
                                                      20000 // scale, repeats))
    report("sign_bytes (91 bytes)", best_of(lambda: signer.sign_bytes(b"\x01" * 91), 20000 // scale, repeats))
    report("compute_order_id_from_order", best_of(
        lambda: vk.compute_order_id_from_order(LIMIT, 1, signer.pubkey), 20000 // scale, repeats))

    group = [LIMIT] * 10
    per = best_of(lambda: signer.sign_group(group, nonce=next_nonce()), 2000 // scale, repeats)
    report("sign_group of 10", per, per / 10)

    for n in (8, 9, 100, 1000):
        orders = [dict(LIMIT, price=100000.0 + i) for i in range(n)]
        calls = max(1, 20000 // (n * scale))
        per = best_of(lambda: signer.sign_all(orders), calls, repeats)
        report(f"sign_all of {n}", per, per / n)

    # The peers' raw Ed25519 signature over a 91-byte message (the size of a
    # limit order's signing message), in the same run.
    msg = b"\x01" * 91
    try:
        import nacl.signing
        key = nacl.signing.SigningKey(bytes(range(32)))
        report("PyNaCl SigningKey.sign (91 bytes)", best_of(lambda: key.sign(msg), 20000 // scale, repeats))
    except ImportError:
        print("PyNaCl not installed: its row is skipped")
    try:
        from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
        ckey = Ed25519PrivateKey.from_private_bytes(bytes(range(32)))
        report("cryptography Ed25519PrivateKey.sign (91 bytes)", best_of(lambda: ckey.sign(msg), 20000 // scale,
                                                                        repeats))
    except ImportError:
        print("cryptography not installed: its row is skipped")


if __name__ == "__main__":
    main()
