"""A tour of what tessolin can do so far."""

import typing

import annotated_types as at

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

# Checking objects: membership never copies or coerces the value.
user = Validator({"name": str, "age": typing.Annotated[int, at.Ge(0)], "tags?": list[str]})
print(user.is_valid({"name": "Ada", "age": 36}), {"name": "Ada", "age": 36} in user)
try:
    user.validate({"name": 1, "age": -1, "tags": ["x", 2]})
except tessolin.ValidationError as error:
    print(error)
    print("first:", error.code, error.path)

# JSON documents are parsed and checked in one step.
print(user.load(b'{"name": "Grace", "age": 45}'))
print(user.is_valid_json('{"name": "Grace", "age": -3}'))
try:
    user.validate_json('{"name": "Grace", "age": ')
except tessolin.ValidationError as error:
    print(error)

# Relations between schemas are decided soundly: "undecided" when not proven.
small = Validator(typing.Literal[1, 2])
print(small.relation_to(int), Validator(int).relation_to(small), small.is_subtype_of(int | str))
print(tessolin.intersection(int, str).is_empty())
