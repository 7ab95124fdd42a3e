"""Transaction signing for the Vorn exchange; the work is done in ``_native``.

The public names are those of the extension module, re-exported here::

    import vorn_keychain as vk

    signer = vk.Signer(vk.Keypair(), "devnet")
"""

from typing import TYPE_CHECKING

from . import _native
from ._native import *  # noqa: F403 (the names of the module's __all__)

if TYPE_CHECKING:
    # Types that exist only in the stubs (_native.pyi), the dict shapes and the
    # Literal aliases, re-exported for type checkers.
    from ._native import (
        AccountMeta as AccountMeta,
        BuilderCode as BuilderCode,
        CancelAllDict as CancelAllDict,
        CancelDict as CancelDict,
        CompactCancel as CompactCancel,
        CompactCancelAll as CompactCancelAll,
        CompactCancelAllFields as CompactCancelAllFields,
        CompactCancelFields as CompactCancelFields,
        CompactLimit as CompactLimit,
        CompactLimitFields as CompactLimitFields,
        CompactMarket as CompactMarket,
        CompactMarketFields as CompactMarketFields,
        CompactModify as CompactModify,
        CompactModifyFields as CompactModifyFields,
        CompactOrder as CompactOrder,
        LimitOrderType as LimitOrderType,
        LiquidatorConfig as LiquidatorConfig,
        LiquidatorConfigInput as LiquidatorConfigInput,
        LiquidatorInstrument as LiquidatorInstrument,
        ModifyDict as ModifyDict,
        NonceStrategy as NonceStrategy,
        OnFillAttachment as OnFillAttachment,
        OnFillDict as OnFillDict,
        OrderBatches as OrderBatches,
        OrderDict as OrderDict,
        OrderInput as OrderInput,
        OrderItem as OrderItem,
        OrderList as OrderList,
        PreparedInput as PreparedInput,
        PreparedMessage as PreparedMessage,
        RangeDict as RangeDict,
        SignatureDomain as SignatureDomain,
        SignatureMode as SignatureMode,
        SignedTransaction as SignedTransaction,
        SolanaInstruction as SolanaInstruction,
        StopDict as StopDict,
        TakeProfitDict as TakeProfitDict,
        TimeInForce as TimeInForce,
        TrailingStopDict as TrailingStopDict,
        TransferKind as TransferKind,
        TriggerBasketDict as TriggerBasketDict,
        TriggerOrderType as TriggerOrderType,
        WalletInput as WalletInput,
        WalletMessage as WalletMessage,
    )


def _read_version() -> str:
    """The version of this copy of the package, written once in pyproject.toml.

    An installed copy reads it from its distribution's metadata. A source tree
    (imported through PYTHONPATH) reads pyproject.toml beside the package, so
    that an older installed copy elsewhere cannot lend it a stale version.
    """
    from importlib import metadata
    from pathlib import Path

    here = Path(__file__).resolve()
    try:
        dist = metadata.distribution("vorn_keychain")
        if Path(str(dist.locate_file("vorn_keychain/__init__.py"))).resolve() == here:
            return dist.version
    except metadata.PackageNotFoundError:
        pass
    pyproject = here.parent.parent / "pyproject.toml"
    if pyproject.is_file():
        import tomllib

        with pyproject.open("rb") as f:
            version = tomllib.load(f).get("project", {}).get("version")
        if isinstance(version, str):
            return version
    return "0+unknown"


__version__ = _read_version()

# The module's names, in its registration order.
__all__ = []  # type: list[str]
__all__ += _native.__all__
