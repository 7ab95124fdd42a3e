"""A call that fails on one element of its input keeps the exception's type
and message and gains one note naming where; errors that are not about one
element get none."""

import pytest

from conftest import LIMIT
from vorn_keychain import _native as vk

TYPE_FLOAT = (TypeError, "'str' object cannot be converted to 'float'")
RESTING = (ValueError, "invalid order: trigger orders are not supported by VORN API; use market")
SLIPPAGE = (ValueError, "invalid order: slippage is only supported on market orders")
EMPTY = (ValueError, "orders array cannot be empty")

BAD_PRICE = dict(LIMIT, price="50000.0")
RESTING_TRIGGER = dict(LIMIT, order_type={"type": "trigger", "is_market": False, "trigger_px": 1.0})
SLIPPAGE_ON_LIMIT = dict(LIMIT, slippage=0.5)
BAD_TIF = dict(LIMIT, order_type={"type": "limit", "tif": "FOK"})
BAD_FEE = dict(LIMIT, builder_code={"to": "11111111111111111111111111111111", "fee": 16})


def basket(*children):
    return {"type": "trig", "symbol": "BTC-USD", "is_buy": True, "trigger_price": 1.0, "actions": list(children)}


def on_fill(trigger, *children):
    return {"type": "of", "trigger": trigger, "actions": list(children)}


def limits(n, **bad):
    """n limit orders with the given ones (index -> item) replaced."""
    return [bad.get(f"at{i}", LIMIT) for i in range(n)]


# call -> function of (signer, input)
CALLS = {
    "sign_all": lambda s, x: s.sign_all(x),
    "sign_group": lambda s, x: s.sign_group(x),
    "sign_order": lambda s, x: s.sign_order(x),
    "sign_orders_batch": lambda s, x: s.sign_orders_batch(x),
    "py_prepare_all_orders": lambda s, x: vk.py_prepare_all_orders(x, "mainnet", s.pubkey),
    "py_prepare_order_group": lambda s, x: vk.py_prepare_order_group(x, "mainnet", s.pubkey),
    "sign": lambda s, x: s.sign(x),
    "py_prepare_order": lambda s, x: vk.py_prepare_order(x, "mainnet", s.pubkey),
    "compute_order_id_from_order": lambda s, x: vk.compute_order_id_from_order(x, 1, s.pubkey),
    "prepare_all_bad_domain": lambda s, x: vk.py_prepare_all_orders(x, "Mainnet", s.pubkey),
}

CASES = [
    # batches, read on the calling thread (5) and streamed to the pool (40)
    ("sign_all", limits(40, at37=BAD_PRICE), TYPE_FLOAT, "in orders[37], key 'price'"),
    ("sign_all", limits(5, at2=basket(LIMIT, {"type": "order", "symbol": "X"})),
     (ValueError, "Missing 'is_buy'"), "in orders[2].actions[1]"),
    ("sign_all", limits(40, at3=on_fill(BAD_PRICE, LIMIT)), TYPE_FLOAT, "in orders[3].trigger, key 'price'"),
    ("sign_all", limits(40, at4=BAD_TIF), (ValueError, "Invalid tif: FOK"), "in orders[4].order_type, key 'tif'"),
    ("sign_all", limits(5, at0=5), (TypeError, "'int' object cannot be converted to 'dict'"), "in orders[0]"),
    ("sign_all", limits(40, at12=RESTING_TRIGGER), RESTING, "in orders[12]"),
    ("sign_all", limits(5, at1=basket(LIMIT, RESTING_TRIGGER)), RESTING, "in orders[1].actions[1]"),
    ("sign_all", limits(40, at9=on_fill(SLIPPAGE_ON_LIMIT)), SLIPPAGE, "in orders[9], key 'trigger'"),
    ("sign_orders_batch", [[LIMIT]] * 3 + [[LIMIT, BAD_PRICE]], TYPE_FLOAT, "in batches[3][1], key 'price'"),
    ("sign_orders_batch", [[LIMIT]] * 20 + [[LIMIT, RESTING_TRIGGER]], RESTING, "in batches[20][1]"),
    ("sign_orders_batch", [[LIMIT], [LIMIT], []], EMPTY, "in batches[2]"),
    ("sign_orders_batch", [[LIMIT], LIMIT], (TypeError, "'dict' object cannot be converted to 'list'"),
     "in batches[1]"),
    ("py_prepare_all_orders", limits(40, at11=BAD_FEE),
     (ValueError, "invalid order: builder-code fee must be 1..=15 bps"), "in orders[11], key 'builder_code'"),
    ("py_prepare_all_orders", limits(40, at5=SLIPPAGE_ON_LIMIT), SLIPPAGE, "in orders[5]"),
    ("prepare_all_bad_domain", [LIMIT, BAD_PRICE], TYPE_FLOAT, "in orders[1], key 'price'"),
    # groups: the orders of one transaction
    *[(call, [LIMIT, BAD_PRICE], TYPE_FLOAT, "in orders[1], key 'price'")
      for call in ("sign_group", "sign_order", "py_prepare_order_group")],
    *[(call, [LIMIT, SLIPPAGE_ON_LIMIT], SLIPPAGE, "in orders[1]")
      for call in ("sign_group", "sign_order", "py_prepare_order_group")],
    *[(call, [basket(LIMIT, LIMIT, RESTING_TRIGGER)], RESTING, "in orders[0].actions[2]")
      for call in ("sign_group", "sign_order", "py_prepare_order_group")],
    # one order: the key whose value failed
    ("sign", BAD_PRICE, TYPE_FLOAT, "in order, key 'price'"),
    ("sign", basket(LIMIT, BAD_TIF), (ValueError, "Invalid tif: FOK"), "in order.actions[1].order_type, key 'tif'"),
    ("py_prepare_order", dict(LIMIT, on_fill={"actions": [dict(LIMIT, size="1")]}),
     TYPE_FLOAT, "in order.on_fill.actions[0], key 'size'"),
    ("compute_order_id_from_order", {"l": {"c": "BTC-USD", "b": True, "px": "1", "sz": 1.0}},
     TYPE_FLOAT, "in order.l, key 'px'"),
    # not about one element: no note
    ("sign_all", LIMIT, (TypeError, "argument 'orders': 'dict' object cannot be converted to 'list'"), None),
    ("sign_group", [], EMPTY, None),
    ("sign", {"type": "order", "symbol": "BTC-USD"}, (ValueError, "Missing 'is_buy'"), None),
    ("sign", RESTING_TRIGGER, RESTING, None),
    ("prepare_all_bad_domain", [LIMIT],
     (ValueError, "invalid signature domain 'Mainnet'; expected mainnet, testnet, or devnet"), None),
]


@pytest.mark.parametrize("call, given, error, note", CASES)
def test_note_names_the_bad_element(signer, call, given, error, note):
    with pytest.raises(Exception) as info:
        CALLS[call](signer, given)
    assert (info.type, str(info.value)) == error
    assert getattr(info.value, "__notes__", None) == (None if note is None else [note])
