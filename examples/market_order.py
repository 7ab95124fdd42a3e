"""Market orders, and the order types that become one.

- A market order is an "order" item with ``"order_type": {"type": "market"}``.
  Its ``price`` key is still required but is not sent or signed: any number
  serves (0.0 here). ``slippage`` (optional) bounds the fill.
- ``{"type": "trigger", "trigger_px": ...}`` is not a resting stop: it signs
  the same immediate market order, and the trigger price is not sent.
  (``"is_market": False`` is refused: the exchange takes no resting trigger
  orders.)
- Stops and take-profits are their own items: ``"stop"`` (or ``"st"``) and
  ``"take_profit"`` (or ``"tp"``), with ``trigger_price`` and an optional
  ``limit_price``.

    PYTHONPATH=. python examples/market_order.py
"""

import json

import vorn_keychain as vk

signer = vk.Signer(vk.Keypair(), "devnet")
buy = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "size": 0.1}

# The same explicit nonce makes equal messages give equal signatures; in
# real use leave the nonce to the signer.
market = signer.sign(dict(buy, price=0.0, order_type={"type": "market"}), nonce=1)
same_market = signer.sign(dict(buy, price=12345.0, order_type={"type": "market"}), nonce=1)
trigger = signer.sign(dict(buy, price=0.0, order_type={"type": "trigger", "trigger_px": 48000.0}), nonce=1)

# Protect a long position: sell if the price falls to 48,000 (stop), or
# rises to 52,000 (take-profit, as a limit at 51,900).
stop = signer.sign({"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 0.1, "trigger_price": 48000.0})
take_profit = signer.sign({"type": "tp", "symbol": "BTC-USD", "is_buy": False, "size": 0.1,
                           "trigger_price": 52000.0, "limit_price": 51900.0})

print(json.dumps({
    "account": signer.pubkey,
    "market": market,
    "price_is_not_signed": market["signature"] == same_market["signature"],
    "trigger_is_the_same_market_order": trigger["signature"] == market["signature"],
    "stop": stop,
    "take_profit": take_profit,
}, indent=2))
