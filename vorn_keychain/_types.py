"""Types for type checkers: the dict shapes the module takes and returns, and
the Literal aliases of its text arguments.

``_native.pyi`` re-exports them, so that type checkers spell them
``vorn_keychain.OrderDict`` and so on; at run time they live here only
(``vorn_keychain._types.OrderDict``), as TypedDicts and aliases that the
module does not check against: it takes plain dicts and str.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any, Literal, NotRequired, TypeAlias, TypedDict

# ---- enumerations passed as text (matched exactly, lower case) ----
# Spelled as unions of one-value Literals: at run time too they are unions,
# as mypy's stubtest expects of them.

SignatureDomain: TypeAlias = Literal["mainnet"] | Literal["testnet"] | Literal["devnet"]
NonceStrategy: TypeAlias = Literal["timestamp"] | Literal["counter"] | Literal["high_frequency"]
SignatureMode: TypeAlias = Literal["raw"] | Literal["base58"] | Literal["offchain"]
TransferKind: TypeAlias = Literal["internal"] | Literal["external"]
# The module upper-cases "tif" before matching, so "ioc" works too at run time.
TimeInForce: TypeAlias = Literal["GTC"] | Literal["IOC"] | Literal["ALO"]

# ---- results ----


class SignedTransaction(TypedDict):
    """A signed transaction, ready to post to the exchange."""

    actions: list[Any]
    nonce: int
    account: str
    signer: str
    signature: str
    order_id: NotRequired[str]
    order_ids: NotRequired[list[str]]


class PreparedMessage(TypedDict):
    """A signing message prepared for an external wallet."""

    message_bytes: bytes
    message_base58: str
    message_base64: str
    message_hex: str
    order_id: NotRequired[str]
    order_ids: NotRequired[list[str]]
    actions: list[Any]
    account: str
    signer: str
    nonce: int


class WalletMessage(TypedDict):
    """A prepared message wrapped for one wallet signing mode."""

    prepared: PreparedMessage
    signature_mode: SignatureMode
    message_bytes: bytes
    clear_sign_message: str | None


class AccountMeta(TypedDict):
    pubkey: str
    is_signer: bool
    is_writable: bool


class SolanaInstruction(TypedDict):
    program_id: str
    accounts: list[AccountMeta]
    data: bytes

# ---- order dicts (the simplified shape, keyed by "type") ----


class BuilderCode(TypedDict):
    to: str
    fee: int


class LimitOrderType(TypedDict):
    type: Literal["limit"]
    tif: NotRequired[TimeInForce]


class TriggerOrderType(TypedDict):
    type: Literal["trigger", "market"]
    is_market: NotRequired[bool]
    trigger_px: NotRequired[float]


class OnFillAttachment(TypedDict):
    """Orders placed when the order fills; read by ``py_prepare_order`` only."""

    actions: list[OrderItem]


class OrderDict(TypedDict):
    type: Literal["order"]
    symbol: str
    is_buy: bool
    price: float
    size: float
    reduce_only: NotRequired[bool]
    iso: NotRequired[bool]
    order_type: NotRequired[LimitOrderType | TriggerOrderType]
    client_id: NotRequired[str]
    builder_code: NotRequired[BuilderCode | None]
    slippage: NotRequired[float]
    on_fill: NotRequired[OnFillAttachment]


class CancelDict(TypedDict):
    type: Literal["cancel"]
    symbol: str
    order_id: str


class ModifyDict(TypedDict):
    type: Literal["modify"]
    symbol: str
    order_id: str
    amount: float


class CancelAllDict(TypedDict):
    type: Literal["cancel_all"]
    symbols: NotRequired[list[str]]

# The fields every conditional order (stop, take profit, range, trailing
# stop) carries; each shape below adds its own type tag and price fields.


class _ConditionalOrderFields(TypedDict):
    symbol: str
    is_buy: bool
    size: float
    iso: NotRequired[bool]
    builder_code: NotRequired[BuilderCode | None]


class _TriggerLevelFields(_ConditionalOrderFields):
    trigger_price: float
    limit_price: NotRequired[float]


class StopDict(_TriggerLevelFields):
    type: Literal["stop", "st"]


class TakeProfitDict(_TriggerLevelFields):
    type: Literal["take_profit", "tp"]


class RangeDict(_ConditionalOrderFields):
    type: Literal["range", "rng"]
    pmin: float
    pmax: float
    lmin: NotRequired[float]
    lmax: NotRequired[float]


class TrailingStopDict(_ConditionalOrderFields):
    type: Literal["trailing_stop", "trl"]
    trail_bps: int
    step_bps: int
    limit_price: NotRequired[float]


class TriggerBasketDict(TypedDict):
    type: Literal["trig"]
    symbol: str
    is_buy: bool
    trigger_price: float
    actions: list[OrderItem]


class OnFillDict(TypedDict):
    type: Literal["on_fill", "of"]
    trigger: OrderItem
    actions: list[OrderItem]

OrderItem: TypeAlias = (
    OrderDict
    | CancelDict
    | ModifyDict
    | CancelAllDict
    | StopDict
    | TakeProfitDict
    | RangeDict
    | TrailingStopDict
    | TriggerBasketDict
    | OnFillDict
)
OrderInput: TypeAlias = OrderItem | dict[str, Any]
# The module takes these as lists (a tuple raises TypeError at run time). They
# are typed as Sequence because list is invariant: a list of one TypedDict, a
# list of plain dicts and a mixed list literal must all be accepted.
OrderList: TypeAlias = Sequence[OrderInput]
OrderBatches: TypeAlias = Sequence[Sequence[OrderInput]]

# ---- order dicts in the compact API shape (compute_order_id_from_order) ----


class CompactLimitFields(TypedDict):
    c: str
    b: bool
    px: float
    sz: float
    r: NotRequired[bool]
    i: NotRequired[bool]
    tif: NotRequired[TimeInForce]
    cloid: NotRequired[str]
    builder_code: NotRequired[BuilderCode | None]


class CompactMarketFields(TypedDict):
    c: str
    b: bool
    sz: float
    r: NotRequired[bool]
    i: NotRequired[bool]
    builder_code: NotRequired[BuilderCode | None]
    slippage: NotRequired[float]


class CompactCancelFields(TypedDict):
    c: str
    oid: str


class CompactModifyFields(TypedDict):
    c: str
    oid: str
    sz: float


class CompactCancelAllFields(TypedDict):
    c: NotRequired[list[str]]


class CompactLimit(TypedDict):
    l: CompactLimitFields


class CompactMarket(TypedDict):
    m: CompactMarketFields


class CompactCancel(TypedDict):
    cx: CompactCancelFields


class CompactModify(TypedDict):
    mod: CompactModifyFields


class CompactCancelAll(TypedDict):
    cxa: CompactCancelAllFields

CompactOrder: TypeAlias = CompactLimit | CompactMarket | CompactCancel | CompactModify | CompactCancelAll

# ---- other inputs ----


class LiquidatorInstrument(TypedDict):
    symbol: str
    max_exposure: NotRequired[float]
    reserve: NotRequired[float]
    rfactor: NotRequired[float]
    volume_percent: NotRequired[float]
    volume_min: NotRequired[float]
    volume_rampup: NotRequired[float]
    max_sweep_bps: NotRequired[float]
    max_adl_notional: NotRequired[float]
    max_adl_percent: NotRequired[float]


class LiquidatorConfig(TypedDict, total=False):
    instruments: list[LiquidatorInstrument]
    cross_exposure: float
    scoring_skew: float
    toxicity: float
    urgency_size_fraction: float
    sweep_sds: float

PreparedInput: TypeAlias = PreparedMessage | dict[str, Any]
WalletInput: TypeAlias = WalletMessage | dict[str, Any]
LiquidatorConfigInput: TypeAlias = LiquidatorConfig | dict[str, Any]
