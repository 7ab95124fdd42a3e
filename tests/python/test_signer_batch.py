"""Batches and groups (sign_all, sign_group, sign_order, sign_orders_batch)
and the nonces a signer draws."""

import pytest

from conftest import CANCEL, OID_BYTES, SIGNED_KEYS, cancel_order, limit_order, message, raises, verifies
from conftest import order_id as oid
from vorn_keychain import _native as vk


def order(i):
    return {"type": "order", "symbol": "BTC-USD", "is_buy": i % 2 == 0, "price": 100000 + i, "size": 0.5}


def record(i):
    return limit_order("BTC-USD", i % 2 == 0, 100000 + i, 0.5)


@pytest.fixture
def counter(keypair):
    return vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")


class TestSignAll:
    @pytest.mark.parametrize("n", [1, 9, 10, 37])
    def test_each_order_is_its_own_transaction(self, signer, account, n):
        txs = signer.sign_all([order(i) for i in range(n)], base_nonce=1000)
        assert [t["nonce"] for t in txs] == list(range(1000, 1000 + n))
        for i, tx in enumerate(txs):
            assert list(tx) == SIGNED_KEYS + ["order_id"]
            assert tx["actions"][0]["l"]["px"] == float(100000 + i)
            assert verifies(signer.pubkey, message([record(i)], 1000 + i, account), tx["signature"])
            assert tx["order_id"] == oid(record(i), account, 1000 + i)

    def test_sequential_and_parallel_agree(self, signer):
        nine = signer.sign_all([order(i) for i in range(9)], base_nonce=5)
        ten = signer.sign_all([order(i) for i in range(10)], base_nonce=5)
        assert ten[:9] == nine

    def test_empty(self, counter):
        assert counter.sign_all([]) == []
        assert counter.sign_all([], base_nonce=3) == []
        assert counter.sign_faucet()["nonce"] == 0

    def test_base_nonce_wraps(self, signer):
        txs = signer.sign_all([order(0), order(1)], base_nonce=2**64 - 1)
        assert [t["nonce"] for t in txs] == [2**64 - 1, 0]

    def test_default_base_is_a_timestamp_even_for_a_counter_signer(self, counter):
        before = vk.current_timestamp()
        txs = counter.sign_all([order(i) for i in range(12)])
        base = txs[0]["nonce"]
        assert base > before
        assert [t["nonce"] for t in txs] == list(range(base, base + 12))
        # The whole range is reserved: the next timestamp lies beyond it.
        assert vk.current_timestamp() > base + 11
        assert counter.sign_faucet()["nonce"] == 0

    def test_order_id_flag(self, signer):
        signer.set_compute_order_id(False)
        signer.set_compute_batch_order_ids(True)
        for n in (3, 12):
            txs = signer.sign_all([order(i) for i in range(n)], base_nonce=1)
            assert all(list(t) == SIGNED_KEYS for t in txs)

    @pytest.mark.parametrize("n", [5, 15])
    def test_a_failing_item_fails_the_batch(self, signer, n):
        orders = [order(i) for i in range(n)]
        orders[3] = dict(orders[3], slippage=0.01)
        with raises(ValueError, "invalid order: slippage is only supported on market orders"):
            signer.sign_all(orders, base_nonce=1)

    def test_conversion_failures_come_first(self, counter):
        orders = [order(i) for i in range(15)]
        orders[14] = {"type": "order", "symbol": "X"}
        with raises(ValueError, "Missing 'is_buy'"):
            counter.sign_all(orders)
        with pytest.raises(TypeError, match="argument 'orders'"):
            counter.sign_all(tuple(orders[:2]))
        with pytest.raises(OverflowError):
            counter.sign_all([order(0)], base_nonce=-1)
        assert counter.sign_faucet()["nonce"] == 0


class TestGroups:
    def test_group_is_one_transaction(self, signer, account):
        tx = signer.sign_group([order(0), order(1), order(2)], nonce=9)
        assert list(tx) == SIGNED_KEYS
        assert [a["l"]["px"] for a in tx["actions"]] == [100000.0, 100001.0, 100002.0]
        assert verifies(signer.pubkey, message([record(0), record(1), record(2)], 9, account), tx["signature"])

    def test_batch_order_ids_use_list_positions(self, signer, account):
        signer.set_compute_batch_order_ids(True)
        assert signer.computes_batch_order_ids() is True
        tx = signer.sign_group([order(0), order(1), order(2)], nonce=9)
        assert tx["order_ids"] == [oid(record(i), account, 9, seqno=i) for i in range(3)]
        assert "order_id" not in tx
        cancel = CANCEL
        tx = signer.sign_group([cancel, order(1), order(2)], nonce=9)
        assert tx["order_ids"] == [oid(record(1), account, 9, seqno=1), oid(record(2), account, 9, seqno=2)]
        assert verifies(signer.pubkey, message([cancel_order("BTC-USD", OID_BYTES), record(1), record(2)], 9,
                                               account), tx["signature"])
        tx = signer.sign_group([cancel, cancel], nonce=9)
        assert "order_ids" not in tx

    def test_group_of_one_has_an_order_id(self, signer, account):
        tx = signer.sign_group([order(4)], nonce=2)
        assert tx["order_id"] == oid(record(4), account, 2)

    def test_empty_group(self, counter):
        with raises(ValueError, "orders array cannot be empty"):
            counter.sign_group([])
        with raises(ValueError, "orders array cannot be empty"):
            counter.sign_order([], nonce=1)
        assert counter.sign_faucet()["nonce"] == 0

    def test_sign_order_is_sign_group(self, signer):
        orders = [order(0), order(1)]
        assert signer.sign_order(orders, nonce=3) == signer.sign_group(orders, nonce=3)
        with raises(TypeError, "Signer.sign_order() missing 1 required positional argument: 'orders'"):
            signer.sign_order()

    def test_group_arguments(self, signer):
        with pytest.raises(TypeError, match="argument 'orders'"):
            signer.sign_group(order(0))
        with raises(ValueError, "Missing 'size'"):
            signer.sign_group([order(0), {"type": "order", "symbol": "X", "is_buy": True, "price": 1}])


class TestOrdersBatch:
    @pytest.mark.parametrize("n", [2, 11])
    def test_each_inner_list_is_one_transaction(self, signer, account, n):
        batches = [[order(i), order(i + 1)] if i % 2 else [order(i)] for i in range(n)]
        txs = signer.sign_orders_batch(batches, base_nonce=50)
        assert [t["nonce"] for t in txs] == list(range(50, 50 + n))
        for i, (tx, batch) in enumerate(zip(txs, batches)):
            recs = [record(i)] + ([record(i + 1)] if len(batch) == 2 else [])
            assert verifies(signer.pubkey, message(recs, 50 + i, account), tx["signature"])
            assert ("order_id" in tx) == (len(batch) == 1)

    def test_errors(self, signer):
        with raises(ValueError, "orders array cannot be empty"):
            signer.sign_orders_batch([[order(0)], []], base_nonce=1)
        with pytest.raises(TypeError, match="argument 'batches'"):
            signer.sign_orders_batch(([order(0)],))
        with pytest.raises(TypeError):
            signer.sign_orders_batch([(order(0),)])
        assert signer.sign_orders_batch([]) == []


class TestNonces:
    def test_counter_strategy(self, counter):
        assert [counter.sign_faucet()["nonce"] for _ in range(3)] == [0, 1, 2]

    def test_counters_are_per_signer(self, keypair):
        a = vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")
        b = vk.Signer.with_nonce_manager(keypair, "counter", "mainnet")
        assert a.sign_faucet()["nonce"] == 0
        assert a.sign_faucet()["nonce"] == 1
        assert b.sign_faucet()["nonce"] == 0

    def test_explicit_nonce_leaves_the_counter_alone(self, counter):
        assert counter.sign_faucet(nonce=100)["nonce"] == 100
        assert counter.sign_faucet()["nonce"] == 0
        assert counter.sign_faucet(nonce=None)["nonce"] == 1

    def test_bool_nonce_is_an_int(self, signer):
        assert signer.sign_faucet(nonce=True)["nonce"] == 1

    def test_explicit_nonce_range(self, signer):
        assert signer.sign_faucet(nonce=2**64 - 1)["nonce"] == 2**64 - 1
        assert signer.sign_faucet(nonce=0)["nonce"] == 0
        with pytest.raises(OverflowError):
            signer.sign_faucet(nonce=2**64)
        with pytest.raises(OverflowError):
            signer.sign_faucet(nonce=-1)
        with pytest.raises(TypeError, match="argument 'nonce'"):
            signer.sign_faucet(nonce="1")
        with pytest.raises(TypeError, match="argument 'nonce'"):
            signer.sign_faucet(nonce=1.0)

        class Index:
            def __index__(self):
                return 42
        assert signer.sign_faucet(nonce=Index())["nonce"] == 42

    @pytest.mark.parametrize("strategy", [None, "timestamp", "high_frequency"])
    def test_timestamp_strategies_are_unique_and_increasing(self, keypair, strategy):
        s = vk.Signer(keypair, "mainnet") if strategy is None else vk.Signer.with_nonce_manager(
            keypair, strategy, "mainnet")
        before = vk.current_timestamp()
        nonces = [s.sign_faucet()["nonce"] for _ in range(50)]
        after = vk.current_timestamp()
        assert all(b > a for a, b in zip(nonces, nonces[1:]))
        assert before < nonces[0] and nonces[-1] < after

    def test_strategy_names(self, keypair):
        for bad in ("Counter", "counter ", "", "TIMESTAMP"):
            with raises(ValueError, "Invalid nonce strategy. Use 'timestamp', 'counter', or 'high_frequency'"):
                vk.Signer.with_nonce_manager(keypair, bad, "mainnet")
        # The strategy is checked before the domain.
        with raises(ValueError, "Invalid nonce strategy. Use 'timestamp', 'counter', or 'high_frequency'"):
            vk.Signer.with_nonce_manager(keypair, "x", "Mainnet")
        with raises(ValueError, "invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet"):
            vk.Signer.with_nonce_manager(keypair, "counter", "Mainnet")

    def test_default_nonce_follows_current_timestamp(self, signer):
        t = vk.current_timestamp()
        n = signer.sign({"type": "cancel_all"})["nonce"]
        assert n > t
        assert vk.current_timestamp() > n
