"""A tour of tessolin: every line it prints says what it shows."""

import typing

import annotated_types as at

import tessolin
from tessolin import Validator, anything, nothing


def show(label: str, value: object) -> None:
    print(f"{label:<44} {value}")


show("tessolin version:", tessolin.__version__)

# Annotations compile into immutable validators; repr gives the annotation
# text back, with members and constraints in canonical order.
print("\nAnnotations and the validators they compile to:")
schemas: list[object] = [
    int,
    list[int | None],
    typing.Literal[2, 10, 1],
    {"name": str, "tags?": list[str]},
    # A prefix with a variadic tail: not a type to a type checker, but a
    # schema to tessolin.
    tuple[int, str, ...],  # type: ignore[misc]
]
for schema in schemas:
    show(f"  {schema!r}  ->", repr(Validator(schema)))
show("  the module constants anything, nothing ->", f"{anything!r}, {nothing!r}")

# Validators compare by schema, not by identity.
assert Validator(int | str) == Validator(str | int)
assert hash(Validator(int | str)) == hash(Validator(str | int))
show("Validator(int | str) == Validator(str | int):", Validator(int | str) == Validator(str | int))

# Checking objects: membership never copies or coerces the value.
print("\nChecking Python objects against a record schema:")
user = Validator({"name": str, "age": typing.Annotated[int, at.Ge(0)], "tags?": list[str]})
show("  schema:", repr(user))
show("  is_valid({'name': 'Ada', 'age': 36}):", user.is_valid({"name": "Ada", "age": 36}))
show("  {'name': 'Ada', 'age': 36} in user:", {"name": "Ada", "age": 36} in user)
try:
    user.validate({"name": 1, "age": -1, "tags": ["x", 2]})
except tessolin.ValidationError as error:
    print("  validate({'name': 1, 'age': -1, 'tags': ['x', 2]}) raises ValidationError:")
    for line in str(error).splitlines():
        print("    " + line)
    show("  its first failure's code and path:", f"{error.code} {error.path}")

# JSON documents are parsed and checked in one step.
print("\nChecking JSON documents:")
show("  load(b'{\"name\": \"Grace\", \"age\": 45}'):", user.load(b'{"name": "Grace", "age": 45}'))
show("  is_valid_json('{\"name\": \"Grace\", \"age\": -3}'):", user.is_valid_json('{"name": "Grace", "age": -3}'))
try:
    user.validate_json('{"name": "Grace", "age": ')
except tessolin.ValidationError as error:
    show("  a truncated document:", error)

# Relations between schemas are decided soundly: "undecided" when not proven.
print("\nRelations between schemas:")
small = Validator(typing.Literal[1, 2])
show("  Literal[1, 2] relation_to int:", small.relation_to(int))
show("  int relation_to Literal[1, 2]:", Validator(int).relation_to(small))
show("  Literal[1, 2] is_subtype_of int | str:", small.is_subtype_of(int | str))
show("  intersection(int, str).is_empty():", tessolin.intersection(int, str).is_empty())
