"""Order ids of a group.

A single signed order carries its exchange order id ("order_id"). A group
(``sign_group``: several orders in one atomic transaction) carries none
unless the signer is asked for them: ``set_compute_batch_order_ids(True)``
adds "order_ids", one per market or limit order of the group, in order
(stops, cancels and other items have no order id). Prepared groups for
external wallets (``py_prepare_order_group``) always carry them.

    PYTHONPATH=. python examples/group_order_ids.py
"""

import json

import vorn_keychain as vk

signer = vk.Signer(vk.Keypair(), "devnet")
ladder = [{"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 49000.0 + 100 * i, "size": 0.01}
          for i in range(3)]

without_ids = signer.sign_group(ladder)
signer.set_compute_batch_order_ids(True)
with_ids = signer.sign_group(ladder)

print(json.dumps({
    "account": signer.pubkey,
    "without_ids": without_ids,
    "with_ids": with_ids,
}, indent=2))
