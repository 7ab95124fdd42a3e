"""Re-entrancy: the Signer's borrow flag against use from inside a conversion
hook, values whose conversion empties the container being read, and
subclasses of the built-in types standing in for them."""

import pytest

from conftest import LIMIT, OID, OTHER, raises
from vorn_keychain import _native as vk


class Callback:
    """A number whose conversion first runs `action`; records what that raised."""

    def __init__(self, action):
        self.action, self.seen = action, []

    def __float__(self):
        try:
            self.action()
            self.seen.append("ok")
        except RuntimeError as e:
            self.seen.append(str(e))
            raise
        return 5.0

    __index__ = lambda self: int(self.__float__())  # noqa: E731


EXCLUSIVE, SHARED = "Already borrowed", "Already mutably borrowed"
INNER = {"sign_faucet": lambda s, o: s.sign_faucet(nonce=1), "pubkey": lambda s, o: s.pubkey,
         "sign_bytes": lambda s, o: s.sign_bytes(b"x"), "repr": lambda s, o: repr(s),
         "set_flag": lambda s, o: s.set_compute_order_id(False), "other_signer": lambda s, o: o.sign_faucet(nonce=2),
         "shared_reads": lambda s, o: (s.pubkey, s.sign_bytes(b"x"), s.computes_order_id())}
OUTER = {"sign": lambda s, cb: s.sign(dict(LIMIT, price=cb), nonce=1),
         "sign_transfer": lambda s, cb: s.sign_transfer(s.pubkey, OTHER, cb),
         "sign_create_sub_account": lambda s, cb: s.sign_create_sub_account("x", cb),
         "sign_all": lambda s, cb: s.sign_all([dict(LIMIT, price=cb)], base_nonce=1)[0],
         "nonce": lambda s, cb: s.sign_faucet(nonce=cb)}


@pytest.mark.parametrize("outer,inner,refusal", [
    ("sign", "sign_faucet", EXCLUSIVE), ("sign", "pubkey", SHARED), ("sign_transfer", "sign_bytes", SHARED),
    ("sign_create_sub_account", "repr", SHARED), ("sign_all", "set_flag", EXCLUSIVE),
    ("nonce", "sign_faucet", EXCLUSIVE), ("sign_all", "shared_reads", None), ("sign", "other_signer", None)])
def test_borrow_flag(signer, keypair, outer, inner, refusal):
    other = vk.Signer(keypair, "mainnet")
    cb = Callback(lambda: INNER[inner](signer, other))
    if refusal:
        with raises(RuntimeError, refusal):
            OUTER[outer](signer, cb)
    else:
        assert OUTER[outer](signer, cb)["actions"][0]["l"]["px"] == 5.0
    assert cb.seen == [refusal or "ok"]
    # The flag is released: the signer is fully usable afterwards.
    assert signer.computes_order_id() is True
    assert signer.sign(LIMIT, nonce=7) == other.sign(LIMIT, nonce=7)
    signer.set_compute_order_id(False)
    assert "order_id" not in signer.sign(LIMIT, nonce=7)


def fresh(text):
    return "".join(list(text))  # a str owned by its container alone


class Mutator:
    """Converts to 1, but first empties its container (a dict or an order list)
    and refills it with fresh objects, dropping the container's references to
    whatever was read from it before."""

    def __init__(self, container):
        self.container = container

    def __float__(self):
        c, n = self.container, len(self.container)
        keys = list(c) if isinstance(c, dict) else None
        c.clear()
        if keys is None:
            c.extend(dict(LIMIT, symbol=fresh("ZZZ-USD")) for _ in range(n))
        for k in keys or ():
            c[k] = fresh("Z" * 44)
        self.junk = [fresh("Z" * 44) for _ in range(64)]
        return 1.0

    __index__ = lambda self: int(self.__float__())  # noqa: E731


def test_values_read_before_a_hook_empties_their_container_stay_as_read(signer):
    order = {"type": "modify", "symbol": fresh("BTC-USD"), "order_id": fresh(OID)}
    order["amount"] = Mutator(order)
    assert signer.sign(order, nonce=1)["actions"] == [{"mod": {"c": "BTC-USD", "oid": OID, "sz": 1.0}}]
    inner = {"c": fresh("BTC-USD"), "oid": fresh(OID)}
    inner["sz"] = Mutator(inner)
    assert vk.compute_order_id_from_order({"mod": inner}, 1, signer.pubkey) is None
    orders = [dict(LIMIT, symbol=fresh("ETH-USD")) for _ in range(12)]
    orders[0]["size"] = Mutator(orders)
    txs = signer.sign_all(orders, base_nonce=1)
    first = txs[0]["actions"][0]["l"]
    assert (first["c"], first["sz"], len(txs)) == ("ETH-USD", 1.0, 12)
    assert {tx["actions"][0]["l"]["c"] for tx in txs} <= {"ETH-USD", "ZZZ-USD"}


StrSub, IntSub, FloatSub = type("StrSub", (str,), {}), type("IntSub", (int,), {}), type("FloatSub", (float,), {})
DictSub, ListSub = type("DictSub", (dict,), {}), type("ListSub", (list,), {})


@pytest.mark.parametrize("make", [
    lambda: DictSub(LIMIT),
    lambda: dict(LIMIT, symbol=StrSub("BTC-USD"), price=IntSub(100000), size=FloatSub(0.25)),
    lambda: dict(LIMIT, order_type=DictSub(type=StrSub("limit"), tif=StrSub("GTC")))])
def test_subclasses_read_as_their_base_type(signer, make):
    assert signer.sign(make(), nonce=IntSub(3)) == signer.sign(LIMIT, nonce=3)
    assert signer.sign_all(ListSub([make()] * 10), base_nonce=3) == signer.sign_all([LIMIT] * 10, base_nonce=3)
    assert vk.py_prepare_order(make(), StrSub("mainnet"), StrSub(OTHER), nonce=3) == \
        vk.py_prepare_order(LIMIT, "mainnet", OTHER, nonce=3)
