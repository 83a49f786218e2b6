"""Schema validators compiled from Python type annotations."""

from tessolin._tessolin import (
    MAX_DEFINITIONS as MAX_DEFINITIONS,
    MAX_SCHEMA_DEPTH as MAX_SCHEMA_DEPTH,
    MAX_SCHEMA_NODES as MAX_SCHEMA_NODES,
    ValidationError as ValidationError,
    Validator as Validator,
    __all__ as __all__,
    __version__ as __version__,
    _debug_build as _debug_build,
    anything as anything,
    complement as complement,
    intersection as intersection,
    nothing as nothing,
    recursive as recursive,
    union as union,
)
