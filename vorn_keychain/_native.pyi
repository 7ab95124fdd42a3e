"""Type stubs for the extension module ``vorn_keychain._native``.

Parameter names, kinds and defaults follow the module's own text signatures
(mypy's stubtest compares them with the module). The TypedDicts and Literal
aliases re-exported from ``_types`` are for type checkers: at run time they
exist only in ``vorn_keychain._types``, so spell them ``vorn_keychain.X`` in
annotations or under ``typing.TYPE_CHECKING``. Arguments that are dicts
also accept a plain ``dict[str, Any]``, because the module reads any dict and
checks the keys itself at run time.
"""

import builtins
from collections.abc import Sequence
from typing import final

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

from vorn_keychain._types import *

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

    def __new__(cls, /, *args: str | builtins.bytes) -> Keypair: ...
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

    def __new__(cls, /, keypair: Keypair, signature_domain: SignatureDomain) -> Signer: ...
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
