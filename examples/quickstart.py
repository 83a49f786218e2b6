"""A tour of what tessolin can do so far."""

import typing

import tessolin
from tessolin import Validator, anything, nothing

print(f"tessolin {tessolin.__version__}")

# Annotations compile into immutable validators; repr gives the annotation
# text back, with members and constraints in canonical order.
for schema in [
    int,
    list[int | None],
    typing.Literal[2, 10, 1],
    {"name": str, "tags?": list[str]},
    tuple[int, str, ...],
]:
    print(f"{schema!r:45} -> {Validator(schema)!r}")
print(f"anything = {anything!r}, nothing = {nothing!r}")

# Validators compare by schema, not by identity.
assert Validator(int | str) == Validator(str | int)
assert hash(Validator(int | str)) == hash(Validator(str | int))
