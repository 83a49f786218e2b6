import importlib

import tessolin
from tessolin import _tessolin


def test_package_reexports_module():
    assert tessolin.__version__ == "0.0.12"
    assert _tessolin.__version__ == "0.0.12"
    assert _tessolin._debug_build is False
    assert importlib.import_module("tessolin._tessolin") is _tessolin
    for name in _tessolin.__all__:
        assert getattr(tessolin, name) is getattr(_tessolin, name)


def test_all_starts_with_version_and_build_flag():
    assert _tessolin.__all__[:2] == ["__version__", "_debug_build"]
