"""Transaction signing for the Vorn exchange; the work is done in ``_native``."""

from . import _native  # noqa: F401
