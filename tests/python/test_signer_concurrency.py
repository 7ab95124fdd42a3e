"""The borrow flag of Signer (re-entrant use from callbacks) and many Python
threads signing at once."""

import threading

import pytest

from conftest import limit_order, message, raises, verifies
from vorn_keychain import _native as vk

ORDER = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 100000, "size": 0.25}


class Callback:
    """A number whose conversion runs `action` and records what it raised."""

    def __init__(self, action, value=1.0):
        self.action = action
        self.value = value
        self.seen = []

    def __float__(self):
        try:
            self.action()
            self.seen.append("ok")
        except RuntimeError as e:
            self.seen.append(str(e))
            raise
        return self.value

    def __index__(self):
        self.__float__()
        return int(self.value)


class TestBorrowFlag:
    def test_exclusive_method_inside_an_exclusive_one(self, signer):
        cb = Callback(lambda: signer.sign_faucet(nonce=1))
        with raises(RuntimeError, "Already borrowed"):
            signer.sign(dict(ORDER, price=cb), nonce=1)
        assert cb.seen == ["Already borrowed"]

    def test_shared_method_inside_an_exclusive_one(self, signer):
        cb = Callback(lambda: signer.pubkey)
        with raises(RuntimeError, "Already mutably borrowed"):
            signer.sign(dict(ORDER, size=cb), nonce=1)
        cb = Callback(lambda: signer.sign_bytes(b"x"))
        with raises(RuntimeError, "Already mutably borrowed"):
            signer.sign_transfer(signer.pubkey, signer.pubkey, cb)
        cb = Callback(lambda: repr(signer))
        with raises(RuntimeError, "Already mutably borrowed"):
            signer.sign_create_sub_account("x", cb)

    def test_exclusive_method_inside_a_shared_one(self, signer):
        cb = Callback(lambda: signer.set_compute_order_id(False))
        with raises(RuntimeError, "Already borrowed"):
            signer.sign_all([dict(ORDER, price=cb)], base_nonce=1)
        assert signer.computes_order_id() is True

    def test_shared_methods_nest(self, signer):
        cb = Callback(lambda: (signer.pubkey, signer.sign_bytes(b"x"), signer.computes_order_id()), 5.0)
        txs = signer.sign_all([dict(ORDER, price=cb)], base_nonce=1)
        assert cb.seen == ["ok"]
        assert txs[0]["actions"][0]["l"]["px"] == 5.0

    def test_nonce_conversion_runs_under_the_borrow(self, signer):
        cb = Callback(lambda: signer.sign_faucet(), 3)
        with raises(RuntimeError, "Already borrowed"):
            signer.sign_faucet(nonce=cb)

    def test_signer_is_usable_after_a_conflict(self, signer, account):
        cb = Callback(lambda: signer.sign_faucet())
        with pytest.raises(RuntimeError):
            signer.sign(dict(ORDER, price=cb), nonce=1)
        tx = signer.sign(ORDER, nonce=7)
        assert verifies(signer.pubkey, message([limit_order("BTC-USD", True, 100000, 0.25)], 7, account),
                        tx["signature"])
        signer.set_compute_order_id(False)
        assert signer.computes_order_id() is False

    def test_other_signers_are_not_affected(self, signer, keypair):
        other = vk.Signer(keypair, "mainnet")
        cb = Callback(lambda: other.sign_faucet(nonce=2), 9.0)
        tx = signer.sign(dict(ORDER, price=cb), nonce=1)
        assert cb.seen == ["ok"]
        assert tx["actions"][0]["l"]["px"] == 9.0


def run_threads(n, target):
    errors = []

    def wrapped(i):
        try:
            target(i)
        except BaseException as e:  # noqa: BLE001 - reported below
            errors.append(e)

    threads = [threading.Thread(target=wrapped, args=(i,)) for i in range(n)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []


class TestThreads:
    def test_one_signer_many_threads(self, signer, account):
        results = {}

        def work(i):
            out = []
            for k in range(100):
                nonce = i * 1000 + k
                order = dict(ORDER, price=100000 + k)
                out.append((nonce, k, signer.sign(order, nonce=nonce)))
            results[i] = out

        run_threads(8, work)
        for out in results.values():
            for nonce, k, tx in out:
                msg = message([limit_order("BTC-USD", True, 100000 + k, 0.25)], nonce, account)
                assert tx["nonce"] == nonce
                assert verifies(signer.pubkey, msg, tx["signature"])

    def test_default_nonces_are_unique_across_threads_and_signers(self, keypair):
        signers = [vk.Signer(keypair, "mainnet") for _ in range(4)]
        nonces = []
        lock = threading.Lock()

        def work(i):
            s = signers[i % 4]
            mine = [s.sign_faucet()["nonce"] for _ in range(200)]
            mine += [vk.current_timestamp() for _ in range(50)]
            with lock:
                nonces.extend(mine)

        run_threads(8, work)
        assert len(nonces) == len(set(nonces)) == 8 * 250

    def test_parallel_batches_from_threads(self, signer, account):
        results = {}

        def work(i):
            orders = [dict(ORDER, price=1000 + j) for j in range(25)]
            results[i] = signer.sign_all(orders, base_nonce=i * 100)

        run_threads(6, work)
        for i, txs in results.items():
            assert [t["nonce"] for t in txs] == [i * 100 + j for j in range(25)]
            for j, tx in enumerate(txs):
                msg = message([limit_order("BTC-USD", True, 1000 + j, 0.25)], i * 100 + j, account)
                assert verifies(signer.pubkey, msg, tx["signature"])

    def test_counter_signer_shared_by_threads(self, keypair):
        s = vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")
        got = []
        lock = threading.Lock()

        def work(i):
            mine = [s.sign_faucet()["nonce"] for _ in range(100)]
            with lock:
                got.extend(mine)

        run_threads(5, work)
        assert sorted(got) == list(range(500))
