import importlib
import sys

import pytest

import tessolin
from tessolin import _tessolin

# The full public surface, in the order start-up adds it.
PUBLIC_NAMES = [
    "__version__",
    "_debug_build",
    "ValidationError",
    "Validator",
    "union",
    "intersection",
    "complement",
    "recursive",
    "anything",
    "nothing",
    "MAX_SCHEMA_DEPTH",
    "MAX_DEFINITIONS",
    "MAX_SCHEMA_NODES",
]


def test_package_reexports_module():
    assert tessolin.__version__ == "0.0.12"
    assert _tessolin.__version__ == "0.0.12"
    assert _tessolin._debug_build is False
    assert importlib.import_module("tessolin._tessolin") is _tessolin
    for name in _tessolin.__all__:
        assert getattr(tessolin, name) is getattr(_tessolin, name)


def test_all_keeps_start_up_order():
    names = _tessolin.__all__
    assert names[:3] == ["__version__", "_debug_build", "ValidationError"]
    assert names[-3:] == ["MAX_SCHEMA_DEPTH", "MAX_DEFINITIONS", "MAX_SCHEMA_NODES"]
    # Whatever else is present sits in its place and appears once.
    assert [n for n in PUBLIC_NAMES if n in names] == names
    for name in names:
        assert hasattr(_tessolin, name)


def test_size_limits():
    assert (_tessolin.MAX_SCHEMA_DEPTH, _tessolin.MAX_DEFINITIONS, _tessolin.MAX_SCHEMA_NODES) == (
        128,
        128,
        100000,
    )
    assert type(_tessolin.MAX_SCHEMA_NODES) is int


def test_module_docstring():
    assert _tessolin.__doc__.splitlines()[0] == "The `tessolin._tessolin` extension module."


def test_validation_error_class():
    cls = _tessolin.ValidationError
    assert cls.__module__ == "tessolin"
    assert cls.__name__ == "ValidationError"
    assert cls.__mro__ == (cls, Exception, BaseException, object)
    assert cls.__doc__ == "Raised when a value is not a member of a schema's set."


def test_error_hooks_are_plain_functions_from_the_hook_module():
    cls = _tessolin.ValidationError
    hooks = sys.modules["tessolin._error_hooks"]
    assert hooks.__file__ == "<tessolin error hooks>"
    assert callable(hooks.make)
    for attr, builtin_name, signature in [
        ("__getattr__", "validation_error_getattr", "(instance, name, /)"),
        ("__reduce__", "validation_error_reduce", "(instance, /)"),
    ]:
        fn = cls.__dict__[attr]
        assert type(fn).__name__ == "function"
        assert fn.__module__ == "tessolin._error_hooks"
        (cell,) = fn.__closure__
        builtin = cell.cell_contents
        assert builtin.__name__ == builtin_name
        assert builtin.__self__ is None
        assert builtin.__module__ is None
        assert builtin.__text_signature__ == signature
        assert builtin_name not in vars(_tessolin)


def test_internal_error_class_is_not_public():
    assert "InternalError" not in _tessolin.__all__
    assert not hasattr(_tessolin, "InternalError")


def test_error_made_by_user_code_has_default_attributes():
    # No failures behind it: every attribute reads as empty and none is stored.
    err = _tessolin.ValidationError("made by hand")
    assert (err.code, err.path, err.message, err.expected, err.value, err.errors) == (
        "",
        (),
        "",
        "",
        "",
        (),
    )
    assert vars(err) == {}
    assert str(err) == "made by hand"


@pytest.mark.parametrize("name", ["spam", "_failures", "Code", "codes"])
def test_unknown_attribute_raises(name):
    class Custom(_tessolin.ValidationError):
        pass

    for cls in (_tessolin.ValidationError, Custom):
        with pytest.raises(AttributeError) as info:
            getattr(cls("x"), name)
        assert str(info.value) == f"'{cls.__name__}' object has no attribute '{name}'"
