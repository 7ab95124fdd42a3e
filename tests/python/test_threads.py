"""Signing from many Python threads at once, and the nonces drawn when the
caller gives none."""

import threading

import pytest

from conftest import LIMIT, verifies
from vorn_keychain import _native as vk


def run_threads(n, work):
    results, errors = {}, []

    def wrapped(i):
        try:
            results[i] = work(i)
        except BaseException as e:  # noqa: BLE001 - reported below
            errors.append(e)

    threads = [threading.Thread(target=wrapped, args=(i,)) for i in range(n)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    return [x for i in sorted(results) for x in results[i]]


def test_one_signer_many_threads_single_and_parallel_batches(signer):
    txs = run_threads(8, lambda i: [signer.sign(dict(LIMIT, price=100 + k), nonce=i * 1000 + k) for k in range(50)]
                      + signer.sign_all([dict(LIMIT, price=100 + k) for k in range(25)], base_nonce=i * 1000 + 500))
    assert [t["nonce"] for t in txs] == [i * 1000 + k for i in range(8) for k in [*range(50), *range(500, 525)]]
    for tx in txs:
        item = dict(LIMIT, price=tx["actions"][0]["l"]["px"])
        msg = vk.py_prepare_order(item, "mainnet", signer.pubkey, nonce=tx["nonce"])["message_bytes"]
        assert verifies(signer.pubkey, msg, tx["signature"])


def test_counter_signer_shared_by_threads(keypair):
    s = vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")
    assert sorted(run_threads(5, lambda i: [s.sign_faucet()["nonce"] for _ in range(100)])) == list(range(500))
    # An explicit nonce leaves the counter alone; a batch without a base takes
    # a reserved timestamp range, also from a counter signer.
    assert [s.sign_faucet(nonce=7)["nonce"], s.sign_faucet(nonce=None)["nonce"]] == [7, 500]
    batch = [t["nonce"] for t in s.sign_all([LIMIT] * 12)]
    assert batch == list(range(batch[0], batch[0] + 12)) and batch[0] > 10**18
    assert vk.current_timestamp() > batch[-1] and s.sign_faucet()["nonce"] == 501


def test_counters_are_per_signer_and_refused_inputs_draw_none(keypair):
    a, b = (vk.Signer.with_nonce_manager(keypair, "counter", "mainnet") for _ in range(2))
    for attempt in (lambda: a.sign({"type": "order"}), lambda: a.sign_group([]), lambda: a.sign_oracle_prices([]),
                    lambda: a.sign_transfer(a.pubkey, a.pubkey, 1, kind="x"), lambda: a.sign_remove_sub_account("1"),
                    lambda: a.sign_approve_builder_code(a.pubkey, 0), lambda: a.sign_all([LIMIT, {}])):
        with pytest.raises((ValueError, TypeError)):
            attempt()
    assert [a.sign_faucet()["nonce"] for _ in range(3)] == [0, 1, 2] and b.sign_faucet()["nonce"] == 0
    index = type("Index", (), {"__index__": lambda self: 42})()
    assert a.sign_faucet(nonce=index)["nonce"] == a.sign_all([LIMIT], base_nonce=index)[0]["nonce"] == 42
