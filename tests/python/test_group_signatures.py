"""Batches of every size from 1 to 40 (signed in groups of up to eight, partial
groups included) carry PyNaCl's signature over each prepared message, byte for
byte; the suite runs once more with VORN_KEYCHAIN_ED25519=portable."""

import nacl.signing
import pytest

from conftest import LIMIT, SEED, b58decode, verifies
from vorn_keychain import _native as vk


@pytest.mark.parametrize("n", range(1, 41))
def test_batch_signatures_are_pynacls(signer, n):
    key = nacl.signing.SigningKey(SEED)
    assert bytes(key.verify_key) == b58decode(signer.pubkey)
    items = [dict(LIMIT, price=100 + n, size=1 + i) for i in range(n)]
    prepared = vk.py_prepare_all_orders(items, "mainnet", signer.pubkey, base_nonce=5)
    pairs = [[x, dict(LIMIT, is_buy=False)] for x in items]
    cases = [(signer.sign_all(items, base_nonce=5), prepared),
             (signer.sign_orders_batch(pairs, base_nonce=5),
              [vk.py_prepare_order_group(p, "mainnet", signer.pubkey, nonce=5 + i)
               for i, p in enumerate(pairs)])]
    for txs, messages in cases:
        assert [t["nonce"] for t in txs] == [5 + i for i in range(n)]
        for tx, message in zip(txs, messages, strict=True):
            assert b58decode(tx["signature"]) == key.sign(message["message_bytes"]).signature
            assert verifies(signer.pubkey, message["message_bytes"], tx["signature"])
