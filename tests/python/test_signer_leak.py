"""Memory stays flat when signing many times, on success and on error paths:
no Python object leaks (tracemalloc, reference counts) and the process does
not keep growing (resident set size)."""

import gc
import resource
import sys
import tracemalloc

import pytest

from conftest import skip_under_asan
from vorn_keychain import _native as vk

ORDER = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25,
         "builder_code": {"to": "4vJ9JU1bJJE96FWSJKvHsmmFADCg4gpZQff4P3bkLKi", "fee": 3}}
BAD = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1, "size": 1, "slippage": 0.1}


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def exercise(signer, rounds):
    for i in range(rounds):
        signer.sign(ORDER, nonce=i)
        signer.sign_group([ORDER, ORDER], nonce=i)
        signer.sign_all([ORDER] * 12, base_nonce=i)
        signer.sign_user_settings([("BTC-USD", 5.0)], nonce=i)
        signer.sign_bytes(b"x" * 64)
        vk.compute_order_id_from_order(ORDER, i, signer.pubkey)
        for call in (lambda: signer.sign(BAD, nonce=1),
                     lambda: signer.sign_all([ORDER] * 11 + [BAD], base_nonce=1),
                     lambda: signer.sign({"type": "order", "symbol": 5}),
                     lambda: signer.sign_oracle_prices([(1, "X", 1.0, 4)]),
                     lambda: signer.sign_faucet(nonce=-1)):
            with pytest.raises((ValueError, TypeError, OverflowError)):
                call()


def test_python_allocations_stay_flat(signer):
    exercise(signer, 200)  # warm up caches and the worker pool
    gc.collect()
    tracemalloc.start()
    try:
        exercise(signer, 50)
        gc.collect()
        first, _ = tracemalloc.get_traced_memory()
        exercise(signer, 500)
        gc.collect()
        second, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # 500 rounds sign about 15000 transactions; a leak of even one small
    # object per call would add megabytes.
    assert second - first < 64 * 1024


@skip_under_asan
def test_resident_memory_stays_flat(signer):
    exercise(signer, 300)
    gc.collect()
    before = rss_bytes()
    max_before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    exercise(signer, 1500)
    gc.collect()
    growth = rss_bytes() - before
    max_growth_kib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - max_before
    # About 45000 signatures; leaking the 512-byte message buffer or one
    # JSON value per call would grow by tens of megabytes.
    assert growth < 8 * 2**20
    assert max_growth_kib < 8 * 1024


def test_reference_counts_of_inputs_and_results(signer, keypair):
    symbol = "".join(["BTC", "-USD"])
    order = dict(ORDER, symbol=symbol)
    counts = (sys.getrefcount(order), sys.getrefcount(symbol), sys.getrefcount(keypair))
    for i in range(100):
        tx = signer.sign(order, nonce=i)
        with pytest.raises(ValueError):
            signer.sign(dict(order, slippage=0.5), nonce=i)
        vk.Signer(keypair, "mainnet")
    assert (sys.getrefcount(order), sys.getrefcount(symbol), sys.getrefcount(keypair)) == counts
    # The result and its parts are owned by the result alone: their counts
    # equal those of the same structure built in Python.
    plain = {"actions": [{"l": {}}]}
    assert sys.getrefcount(tx) == sys.getrefcount(plain)
    assert sys.getrefcount(tx["actions"]) == sys.getrefcount(plain["actions"])
    assert sys.getrefcount(tx["actions"][0]) == sys.getrefcount(plain["actions"][0])
    txs = signer.sign_all([order] * 10, base_nonce=0)
    plain_list = [{} for _ in range(10)]
    assert sys.getrefcount(txs) == sys.getrefcount(plain_list)
    assert [sys.getrefcount(t) for t in txs] == [sys.getrefcount(t) for t in plain_list]
