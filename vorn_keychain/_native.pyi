"""Type stubs for the extension module ``vorn_keychain._native``.

Parameter names, kinds and defaults follow the module's own text signatures
(tests/python/test_stubs.py compares them with ``inspect.signature``). The
TypedDicts and Literal aliases below exist only for type checkers: import
them under ``typing.TYPE_CHECKING``. Arguments that are dicts also accept a
plain ``dict[str, Any]``, because the module reads any dict and checks the
keys itself at run time.
"""

import builtins
from collections.abc import Sequence
from typing import Any, Literal, NotRequired, TypeAlias, TypedDict, final

__all__ = [
    "prepare_wallet_message",
    "finalize_wallet_message",
    "export_deposit_transaction",
    "export_withdraw_intent_transaction",
    "build_deposit_instruction",
    "build_withdraw_intent_instruction",
    "Keypair",
    "Signer",
    "random_hash",
    "current_timestamp",
    "validate_pubkey",
    "validate_hash",
    "compute_order_id",
    "compute_order_id_from_order",
    "py_prepare_order",
    "py_prepare_all_orders",
    "py_prepare_order_group",
    "py_prepare_agent_wallet_auth",
    "py_prepare_approve_builder_code",
    "py_prepare_update_liquidator_config",
    "py_prepare_approve_commission_fee",
    "py_prepare_revoke_builder_code",
    "py_prepare_revoke_commission_fee",
    "py_prepare_faucet_request",
    "py_prepare_create_sub_account",
    "py_prepare_remove_sub_account",
    "py_prepare_transfer",
    "py_finalize_transaction",
]

# ---- enumerations passed as text (matched exactly, lower case) ----

SignatureDomain: TypeAlias = Literal["mainnet", "testnet", "devnet"]
NonceStrategy: TypeAlias = Literal["timestamp", "counter", "high_frequency"]
SignatureMode: TypeAlias = Literal["raw", "base58", "offchain"]
TransferKind: TypeAlias = Literal["internal", "external"]
# The module upper-cases "tif" before matching, so "ioc" works too at run time.
TimeInForce: TypeAlias = Literal["GTC", "IOC", "ALO"]

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

# ---- wallet messages and Solana transactions ----

def prepare_wallet_message(prepared: PreparedInput, mode: SignatureMode) -> WalletMessage: ...
def finalize_wallet_message(wallet: WalletInput, signature: str) -> SignedTransaction: ...
def export_deposit_transaction(owner: str, amount: int, recent_blockhash: str) -> str: ...
def export_withdraw_intent_transaction(owner: str, amount: int, recent_blockhash: str) -> str: ...
def build_deposit_instruction(owner: str, amount: int) -> SolanaInstruction: ...
def build_withdraw_intent_instruction(owner: str, amount: int) -> SolanaInstruction: ...

# ---- classes ----

@final
class Keypair:
    """Ed25519 keypair for signing transactions"""

    def __init__(self, /, *args: str | builtins.bytes) -> None: ...
    @staticmethod
    def from_base58(s: str) -> Keypair: ...
    @staticmethod
    def from_bytes(bytes: builtins.bytes) -> Keypair: ...
    @property
    def pubkey(self) -> str: ...
    def to_base58(self, /) -> str: ...
    def to_bytes(self, /) -> builtins.bytes: ...
    def secret_key(self, /) -> builtins.bytes: ...
    def __repr__(self, /) -> str: ...
    def __str__(self, /) -> str: ...

@final
class Signer:
    """High-performance transaction signer"""

    def __init__(self, /, keypair: Keypair, signature_domain: SignatureDomain) -> None: ...
    @staticmethod
    def from_base58(s: str, signature_domain: SignatureDomain) -> Signer: ...
    @staticmethod
    def with_nonce_manager(keypair: Keypair, strategy: NonceStrategy, signature_domain: SignatureDomain) -> Signer: ...
    @property
    def pubkey(self) -> str: ...
    def set_compute_order_id(self, /, enabled: bool) -> None: ...
    def set_compute_batch_order_ids(self, /, enabled: bool) -> None: ...
    def computes_order_id(self, /) -> bool: ...
    def computes_batch_order_ids(self, /) -> bool: ...
    def sign_wallet_prepared(self, /, wallet: WalletInput) -> SignedTransaction: ...
    def sign_bytes(self, /, message: bytes) -> str: ...
    def sign_prepared(self, /, prepared: PreparedInput) -> SignedTransaction: ...
    def sign(self, /, order: OrderInput, nonce: int | None = None) -> SignedTransaction: ...
    def sign_all(self, /, orders: OrderList, base_nonce: int | None = None) -> list[SignedTransaction]: ...
    def sign_group(self, /, orders: OrderList, nonce: int | None = None) -> SignedTransaction: ...
    def sign_faucet(self, /, nonce: int | None = None) -> SignedTransaction: ...
    def sign_agent_wallet(self, /, agent_pubkey: str, delete: bool, nonce: int | None = None) -> SignedTransaction: ...
    def sign_approve_commission_fee(self, /, to_pubkey: str, fee: int, nonce: int | None = None) -> SignedTransaction: ...
    def sign_approve_builder_code(self, /, to_pubkey: str, fee: int, nonce: int | None = None) -> SignedTransaction: ...
    def sign_revoke_commission_fee(self, /, to_pubkey: str, nonce: int | None = None) -> SignedTransaction: ...
    def sign_revoke_builder_code(self, /, to_pubkey: str, nonce: int | None = None) -> SignedTransaction: ...
    def sign_user_settings(
        self, /, max_leverage: Sequence[tuple[str, float]], nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_update_liquidator_config(
        self, /, config: LiquidatorConfigInput, nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_oracle_prices(
        self, /, oracles: Sequence[tuple[int, str, float]], nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_pyth_oracle(
        self, /, oracles: Sequence[tuple[int, int, int, int]], nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_remove_sub_account(self, /, to_remove: str, nonce: int | None = None) -> SignedTransaction: ...
    def sign_transfer(
        self,
        /,
        from_pubkey: str,
        to_pubkey: str,
        margin_amount: float,
        kind: TransferKind | None = None,
        nonce: int | None = None,
    ) -> SignedTransaction: ...
    def sign_create_sub_account(
        self, /, name: str, margin_amount: float | None = None, nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_whitelist_faucet(
        self, /, target_pubkey: str, whitelist: bool, nonce: int | None = None
    ) -> SignedTransaction: ...
    def sign_order(self, /, orders: OrderList, nonce: int | None = None) -> SignedTransaction: ...
    def sign_orders_batch(
        self, /, batches: OrderBatches, base_nonce: int | None = None
    ) -> list[SignedTransaction]: ...
    def __repr__(self, /) -> str: ...

# ---- utilities ----

def random_hash() -> str: ...
def current_timestamp() -> int: ...
def validate_pubkey(s: str) -> bool: ...
def validate_hash(s: str) -> bool: ...
def compute_order_id(wincode_bytes: bytes) -> str: ...
def compute_order_id_from_order(order: CompactOrder | OrderInput, nonce: int, account: str) -> str | None: ...

# ---- preparation for external wallets ----

def py_prepare_order(
    order: OrderInput,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_all_orders(
    orders: OrderList,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    base_nonce: int | None = None,
) -> list[PreparedMessage]: ...
def py_prepare_order_group(
    orders: OrderList,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_agent_wallet_auth(
    agent_pubkey: str,
    delete: bool,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_approve_builder_code(
    to_pubkey: str,
    fee: int,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_update_liquidator_config(
    config: LiquidatorConfigInput,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_approve_commission_fee(
    to_pubkey: str,
    fee: int,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_revoke_builder_code(
    to_pubkey: str,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_revoke_commission_fee(
    to_pubkey: str,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_faucet_request(
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_create_sub_account(
    name: str,
    signature_domain: SignatureDomain,
    account: str,
    margin_amount: float | None = None,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_remove_sub_account(
    to_remove: str,
    signature_domain: SignatureDomain,
    account: str,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_prepare_transfer(
    from_pubkey: str,
    to_pubkey: str,
    margin_amount: float,
    signature_domain: SignatureDomain,
    account: str,
    kind: TransferKind | None = None,
    signer: str | None = None,
    nonce: int | None = None,
) -> PreparedMessage: ...
def py_finalize_transaction(prepared: PreparedInput, signature: str) -> SignedTransaction: ...
