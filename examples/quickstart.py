"""A tour of what tessolin can do so far."""

import tessolin

print(f"tessolin {tessolin.__version__}")
