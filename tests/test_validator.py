"""The Validator object: construction, finalisation limits, equality, hashing, repr, copying."""

import copy
import dataclasses
import gc
import pickle
import typing
import weakref

import annotated_types as at
import pytest

import tessolin
from tessolin import Validator, anything, complement, intersection, nothing, recursive, union


@dataclasses.dataclass
class Point:
    y: int
    x: str


def test_class_properties():
    assert Validator.__module__ == "tessolin"
    assert Validator.__name__ == "Validator"
    assert Validator.__doc__.splitlines()[0] == "A compiled, immutable schema validator."
    assert Validator.__text_signature__ == "(schema, /)"
    with pytest.raises(TypeError):

        class Derived(Validator):
            pass

    v = Validator(int)
    with pytest.raises(AttributeError):
        v.extra = 1
    assert weakref.ref(v)() is v


def test_module_constants():
    names = tessolin._tessolin.__all__
    assert names.index("recursive") + 1 == names.index("anything")
    assert names.index("anything") + 1 == names.index("nothing") == names.index("MAX_SCHEMA_DEPTH") - 1
    assert type(anything) is Validator and type(nothing) is Validator
    assert (repr(anything), repr(nothing)) == ("anything", "nothing")


@pytest.mark.parametrize(
    ("call", "message"),
    [
        (lambda: Validator(), "Validator.__new__() missing 1 required positional argument: 'schema'"),
        (lambda: Validator(int, str), "Validator.__new__() takes 1 positional arguments but 2 were given"),
        (
            lambda: Validator(schema=int),
            "Validator.__new__() got some positional-only arguments passed as keyword arguments: 'schema'",
        ),
        (lambda: Validator(int).__deepcopy__(), "Validator.__deepcopy__() missing 1 required positional argument: '_memo'"),
    ],
)
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


X = typing.TypeVar("X")


@pytest.mark.parametrize(
    ("schema", "text"),
    [
        (list[int], "list[int]"),
        (tuple[int, ...], "tuple[int, ...]"),
        (tuple[()], "tuple[()]"),
        (tuple[int, str], "tuple[int, str]"),
        (tuple[int, str, *tuple[bytes, ...]], "tuple[int, str, bytes, ...]"),
        ([int, str], "[int, str]"),
        ([int, str, ...], "[int, str, ...]"),
        ([], "[]"),
        (set[int], "set[int]"),
        (frozenset[str], "frozenset[str]"),
        (dict[str, int], "dict[str, int]"),
        ({"a": int, "b?": str}, "{'a': int, 'b?': str}"),
        ({}, "{}"),
        (typing.Optional[int], "None | int"),
        (typing.Literal[2, 10, 1], "Literal[10] | Literal[1] | Literal[2]"),
        (typing.Literal["b", "a"] | None, "None | Literal['a'] | Literal['b']"),
        (typing.Annotated[int, at.Lt(10), at.Ge(0)], "Annotated[int, Ge(0), Lt(10)]"),
        (typing.Annotated[str, at.MaxLen(5)], "Annotated[str, MaxLen(5)]"),
        (typing.Annotated[int, at.Predicate(callable)], "Annotated[int, Predicate(...)]"),
        (Point, "Point"),
    ],
)
def test_repr_of_compiled_forms(schema, text):
    assert repr(Validator(schema)) == text


@pytest.mark.parametrize(
    ("make", "text"),
    [
        (lambda: recursive(lambda T: list[T] | int), "recursive(lambda X: int | list[X])"),
        (lambda: recursive(lambda T: int), "recursive(lambda X: int)"),
        (
            lambda: recursive(lambda T: [T, recursive(lambda U: list[U] | T)]),
            "recursive(lambda X: [X, recursive(lambda Y: list[Y] | X)])",
        ),
        (lambda: complement(int), "complement(int)"),
        (lambda: intersection(int, str), "intersection(int, str)"),
        (lambda: intersection(Point, typing.Annotated[int, at.Ge(0)]), "intersection(Point, Annotated[int, Ge(0)])"),
        (lambda: union(int, str), "int | str"),
        (lambda: intersection(), "anything"),
    ],
)
def test_repr_of_built_schemas(make, text):
    assert repr(make()) == text


def test_repr_text_is_bounded():
    # Each definition names the previous one twice, so the text written out in
    # full doubles per level while the schema stays small.
    v = recursive(lambda T: list[T] | int)
    for _ in range(40):
        v = (lambda prev: recursive(lambda T: tuple[prev, prev, list[T]]))(v)
    text = repr(v)
    assert 1 << 20 <= len(text) < (1 << 20) + 4096
    assert text.startswith("recursive(lambda X: tuple[recursive(lambda Y: ")
    assert "<...>" in text[(1 << 20) - 16 :]


def test_long_repr_of_a_flat_schema_is_cut():
    long_text = "x" * 100
    text = repr(Validator([long_text] * 20000))
    assert len(text) < (1 << 20) + 4096
    assert text.endswith(", <...>]")
    assert text.startswith("[Literal['" + "x" * 70)


DEPTH = (
    "schema nesting is too deep: this validator reaches {} levels of nesting, past the limit of 128. A validator "
    "this deep comes from building in an unbounded loop; checking it would risk a native stack overflow. Express "
    "structural recursion with recursive(...) instead of nesting schemas."
)
SIZE = (
    "schema is too large: this validator spans {} nodes, past the limit of 100000. A schema this large comes from "
    "combining a validator with itself in an unbounded loop, which doubles its size each step; building it would "
    "exhaust memory."
)
DEFINITIONS = (
    "schema holds too many recursive definitions: this validator has {} of them, past the limit of 128. A "
    "validator with this many comes from chaining recursive schemas in an unbounded loop; rendering or deciding it "
    "would risk a native stack overflow."
)
PLACEHOLDER = (
    "schema holds an unresolved recursive placeholder: the validator a recursive(...) builder receives stands for "
    "the schema being defined and is only meaningful inside that call. Build the schema that uses it inside the "
    "builder, and use the validator recursive(...) returns outside."
)


def nested_lists(levels):
    t = int
    for _ in range(levels):
        t = list[t]
    return t


def chained_definitions(count):
    v = recursive(lambda T: list[T])
    for _ in range(count - 1):
        v = (lambda prev: recursive(lambda T: [prev, list[T]]))(v)
    return v


def test_size_limits():
    Validator(nested_lists(127))  # 128 levels
    with pytest.raises(ValueError) as info:
        Validator(nested_lists(128))
    assert str(info.value) == DEPTH.format(129)

    Validator([int] * 99999)  # exactly 100000 nodes
    with pytest.raises(ValueError) as info:
        Validator([int] * 100000)
    assert str(info.value) == SIZE.format(100001)

    assert len(chained_definitions(128).__repr__()) > 0
    with pytest.raises(ValueError) as info:
        chained_definitions(129)
    assert str(info.value) == DEFINITIONS.format(129)


def test_limits_report_in_order():
    # Too deep and too large: the depth is reported.
    t = int
    for _ in range(128):
        t = tuple[t, t]
    with pytest.raises(ValueError) as info:
        Validator(t)
    assert str(info.value) == DEPTH.format(129)


def test_unresolved_placeholder():
    kept = []
    recursive(lambda T: kept.append(T) or int)
    with pytest.raises(ValueError) as info:
        Validator(list[kept[0]])
    assert str(info.value) == PLACEHOLDER


def test_unreachable_definitions_are_dropped():
    inner = recursive(lambda T: list[T] | int)
    # The builder embeds `inner` but its body does not keep it.
    v = recursive(lambda T: (Validator(inner), list[T])[1])
    assert repr(v) == "recursive(lambda X: list[X])"
    assert v == recursive(lambda T: list[T])


class Explosive:
    def __eq__(self, other):
        raise RuntimeError("no comparing")

    __hash__ = object.__hash__


class Unhashed:
    """Equal by identity; its hash raises."""

    def __hash__(self):
        raise ValueError("no hashing")


UNHASHED = [Unhashed() for _ in range(41)]


@pytest.mark.parametrize(
    ("a", "b", "equal"),
    [
        (int | str, str | int, True),
        (typing.Literal[1, 2], typing.Literal[2, 1], True),
        (typing.Literal[1], typing.Literal[True], False),
        (typing.Literal[1], typing.Literal[1.0], False),
        (typing.Any, object, True),
        ({"a": int, "b?": str}, {"b?": str, "a": int}, True),
        ({"a": int}, {"a?": int}, False),
        (typing.Annotated[int, at.Ge(0), at.Lt(5)], typing.Annotated[int, at.Lt(5), at.Ge(0)], True),
        (typing.Annotated[int, at.Ge(0)], typing.Annotated[int, at.Ge(1)], False),
        (list[int], tuple[int, ...], False),
        (Point, Point, True),
        (Explosive(), Explosive(), False),
        # Long lists in another order, matched through their hashes.
        (union(*range(3000)), union(*reversed(range(3000))), True),
        (union(*range(3000)), union(*range(1, 3001)), False),
        (union(*[list[typing.Literal[i]] for i in range(500)]),
         union(*[list[typing.Literal[i]] for i in reversed(range(500))]), True),
        (typing.Annotated[int, *map(at.Ge, range(300))], typing.Annotated[int, *map(at.Ge, reversed(range(300)))], True),
        (typing.Annotated[int, *map(at.Ge, range(300))], typing.Annotated[int, *map(at.Ge, range(1, 301))], False),
        # Constants whose hash raises all hash alike: equality still decides.
        (union(*UNHASHED), union(*reversed(UNHASHED)), True),
        (union(*UNHASHED[:40]), union(*reversed(UNHASHED[1:41])), False),
    ],
)
def test_equality_and_hash(a, b, equal):
    va, vb = Validator(a), Validator(b)
    assert (va == vb) is equal
    assert (va != vb) is not equal
    if equal:
        assert hash(va) == hash(vb)


def test_any_and_anything_are_equal():
    assert Validator(typing.Any) == anything
    assert hash(Validator(typing.Any)) == hash(anything) == hash(Validator(object))
    assert repr(Validator(typing.Any)) != repr(anything)


def test_pools_indexed_differently_compare_by_value():
    a = Validator([1, 2, typing.Literal[1, 2]])
    b = Validator([1, 2, typing.Literal[2, 1]])
    assert a == b and hash(a) == hash(b)


def test_comparisons_with_other_objects():
    v = Validator(int)
    assert (v == int) is False
    assert (v != int) is True
    assert (int != v) is True
    with pytest.raises(TypeError):
        v < Validator(int)  # noqa: B015


def test_hash_is_stable_and_never_minus_one():
    v = Validator(dict[str, list[int | None]])
    assert hash(v) == hash(v) == hash(Validator(dict[str, list[None | int]]))
    assert all(hash(Validator(x)) != -1 for x in [int, None, list, typing.Literal["a"], Point])


@pytest.mark.parametrize("make_copy", [copy.copy, copy.deepcopy, lambda v: v.__deepcopy__(_memo={})])
def test_copies_share_everything(make_copy):
    obj = object()
    v = Validator([Point, obj, list[int]])
    assert v.is_valid([Point(1, "a"), obj, [1]])  # tables built on the original
    c = make_copy(v)
    assert c is not v and type(c) is Validator
    assert c == v and hash(c) == hash(v) and repr(c) == repr(v)
    assert c.is_valid([Point(1, "a"), obj, [1]])
    assert not c.is_valid([Point(1, "a"), obj, ["x"]])


PICKLE = (
    "a Validator cannot be pickled: it holds the classes and callables its schema names, and those are what would "
    "have to travel. Send the schema instead and rebuild with Validator(...) on the other side; compiling is cheap, "
    "and `repr(validator)` gives an expression that rebuilds every form but a class or a predicate."
)


@pytest.mark.parametrize(
    "attempt",
    [pickle.dumps, lambda v: v.__reduce__(), lambda v: v.__reduce_ex__(4), lambda v: pickle.dumps(v, protocol=0)],
)
def test_pickling_is_refused(attempt):
    assert len(PICKLE) == 314
    with pytest.raises(TypeError) as info:
        attempt(Validator(list[int]))
    assert str(info.value) == PICKLE


def test_cycle_through_the_pool_is_collected():
    class Holder:
        pass

    holder = Holder()
    v = Validator([holder])
    holder.validator = v
    ref = weakref.ref(v)
    del v, holder
    gc.collect()
    assert ref() is None


def test_gc_sees_pooled_objects():
    obj = Explosive()
    referents = gc.get_referents(Validator(obj))
    assert any(r is obj for r in referents)
    assert any(r is Validator for r in referents)


@pytest.mark.parametrize(
    "method, first_line",
    [
        ("validate", "Validate `obj`, raising `ValidationError` if it is not a member of the"),
        ("is_valid", "Whether `obj` is a member of the schema's set."),
        ("ensure", "Validate `obj` and return it unchanged."),
        ("load", "Validate a JSON document and return the parsed value."),
        ("is_valid_json", "Whether a JSON document parses and is a member of the schema's set."),
        ("is_empty", "Whether the schema is unsatisfiable — provably empty, so `is_valid`"),
        ("is_subtype_of", "Whether every value of this schema is also a value of `other` — set"),
        ("relation_to", "The inclusion in three answers rather than two."),
        ("is_equivalent", "Whether this schema and `other` denote the same set — mutual inclusion."),
        ("__reduce__", "Refuse to pickle, and say what to do instead."),
        ("__copy__", "Return an equivalent validator. The validator is immutable, so the copy"),
        ("__deepcopy__", "Deep-copy to an equivalent validator. Since the validator is immutable,"),
        ("open", "Open every record in the schema: undeclared keys are admitted throughout,"),
        ("close", "Close every record in the schema: only declared keys are admitted"),
        ("simplify", "An equivalent validator reduced by the lattice laws. **Deprecated.**"),
    ],
)
def test_method_docstrings_open_with_their_description(method, first_line):
    assert getattr(Validator, method).__doc__.splitlines()[0] == first_line


def test_validate_json_docstring_says_it_parses_natively():
    assert "JSON document after parsing it natively" in Validator.validate_json.__doc__.splitlines()[0]
