"""Transaction signing for the Vorn exchange; the work is done in ``_native``.

The public names are those of the extension module, re-exported here::

    import vorn_keychain as vk

    signer = vk.Signer(vk.Keypair(), "devnet")
"""

from typing import TYPE_CHECKING

from . import _native
from ._native import *  # noqa: F403 (the names of the module's __all__)

# The module's names, in its registration order; imported as they are, so that
# type checkers read them from the stubs (`from vorn_keychain import *` gives
# them every name).
from ._native import __all__ as __all__

if TYPE_CHECKING:
    # The dict shapes and the Literal aliases of _types, re-exported for type
    # checkers (at run time they stay in _types).
    from ._types import *  # noqa: F403


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
