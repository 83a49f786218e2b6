"""How annotations compile: classes, generic aliases, list and record
literals, TypedDicts, and the refusals with their messages."""

import collections
import collections.abc
import dataclasses
import enum
import sys
import typing
from typing import (
    Any,
    Literal,
    NamedTuple,
    NotRequired,
    Optional,
    Protocol,
    ReadOnly,
    Required,
    TypedDict,
    Union,
    Unpack,
    runtime_checkable,
)

import pytest

import tessolin
from tessolin import Validator

te = pytest.importorskip("typing_extensions")


# ---- fixtures: user classes


@dataclasses.dataclass
class Point:
    y: str
    x: int = 0


@dataclasses.dataclass
class Empty:
    pass


class Pair(NamedTuple):
    left: int
    right: str


Untyped = collections.namedtuple("Untyped", "p q")


class NoFields(NamedTuple):
    pass


class Colour(enum.Enum):
    RED = 1
    BLUE = 2


class Bits(enum.Flag):
    A = 1


@dataclasses.dataclass
class DataEnum(enum.Enum):
    ONE = 1


@runtime_checkable
class Closable(Protocol):
    def close(self): ...


class PlainProtocol(Protocol):
    def close(self): ...


class MyInt(int):
    pass


class Movie(TypedDict):
    title: str
    year: NotRequired[int]


class Partial(TypedDict, total=False):
    a: int
    b: Required[str]
    c: ReadOnly[Required[int]]
    d: ReadOnly[NotRequired[int]]


class ExtMovie(te.TypedDict):
    title: str
    year: te.NotRequired[int]
    rank: te.ReadOnly[te.Required[int]]


class ExtClosed(te.TypedDict, closed=True):
    a: int


class ExtExtra(te.TypedDict, extra_items=int):
    a: int


# ---- what compiles, shown by repr


@pytest.mark.parametrize(
    "schema, text",
    [
        # classes
        (bool, "bool"),
        (int, "int"),
        (float, "float"),
        (str, "str"),
        (bytes, "bytes"),
        (type(None), "None"),
        (object, "anything"),
        (Any, "Any"),
        (list, "list[anything]"),
        (tuple, "tuple[anything, ...]"),
        (set, "set[anything]"),
        (frozenset, "frozenset[anything]"),
        (dict, "dict[anything, anything]"),
        (typing.List, "list[anything]"),
        (MyInt, "MyInt"),
        (Colour, "Colour"),
        (Bits, "Bits"),
        (DataEnum, "DataEnum"),
        (Closable, "Closable"),
        (Point, "Point"),
        (Pair, "Pair"),
        (Empty, "Empty"),
        # generic aliases
        (list[int], "list[int]"),
        (set[str], "set[str]"),
        (frozenset[bytes], "frozenset[bytes]"),
        (dict[str, int], "dict[str, int]"),
        (typing.Dict[str, int], "dict[str, int]"),
        (tuple[()], "tuple[()]"),
        (typing.Tuple[()], "tuple[()]"),
        (tuple[int, ...], "tuple[int, ...]"),
        (tuple[int, str], "tuple[int, str]"),
        (tuple[int, str, ...], "tuple[int, str, ...]"),
        (int | None, "None | int"),
        (Optional[int], "None | int"),
        (Union[str, int], "int | str"),
        (Literal[2, 10, 1], "Literal[10] | Literal[1] | Literal[2]"),
        (Literal[1, "a", None], "None | Literal['a'] | Literal[1]"),
        (Literal[Colour.RED], "Literal[<Colour.RED: 1>]"),
        (Required[int], "int"),
        (NotRequired[str], "str"),
        (ReadOnly[list[int]], "list[int]"),
        (collections.abc.Callable[[int], str], "Callable"),
        (typing.Callable[..., Any], "Callable"),
        # list literals
        ([], "[]"),
        ([int], "list[int]"),
        ([int, ...], "list[int]"),
        ([int, str], "[int, str]"),
        ([int, str, ...], "[int, str, ...]"),
        (["a"], "list[Literal['a']]"),
        # record literals
        ({}, "{}"),
        ({"a": int}, "{'a': int}"),
        ({"a?": int}, "{'a?': int}"),
        ({"a??": int}, "{'a??': int}"),
        ({"": int}, "{'': int}"),
        ({"?": int}, "{'?': int}"),
        ({str: int}, "dict[str, int]"),
        ({"b": str, str: int}, "{'b': str, str: int}"),
        ({1: str}, "dict[Literal[1], str]"),
        ({Literal["x", "y"]: int}, "dict[Literal['x'] | Literal['y'], int]"),
        # values
        (5, "Literal[5]"),
        ("text", "Literal['text']"),
        (b"raw", "Literal[b'raw']"),
        (None, "None"),
    ],
)
def test_compiled_repr(schema, text):
    assert repr(Validator(schema)) == text


@pytest.mark.parametrize(
    "left, right",
    [
        (list[int], [int]),
        (list[int], [int, ...]),
        (int | None, Optional[int]),
        (int | None, Union[int, None]),
        (dict[str, int], {str: int}),
        (tuple[int, *tuple[str, ...]], tuple[int, str, ...]),
        (tuple[*tuple[int, str], bool], tuple[int, str, bool]),
        (tuple[int, Unpack[tuple[str, ...]]], tuple[int, str, ...]),
        (tuple[Unpack[tuple[int, str]], bool], tuple[int, str, bool]),
        (tuple[*tuple[()], int], tuple[int]),
        (tuple[*tuple[int, ...]], tuple[int, ...]),
        # unpacking splices at every depth
        (tuple[int, *tuple[bool, *tuple[str, ...]]], tuple[int, bool, str, ...]),
        (tuple[*tuple[int, *tuple[bool, str]], bytes], tuple[int, bool, str, bytes]),
        (tuple[int, Unpack[tuple[bool, Unpack[tuple[str, ...]]]]], tuple[int, bool, str, ...]),
        (Literal[1, 2], Literal[2, 1]),
        (typing.NewType("N", typing.NewType("M", int)), int),
    ],
)
def test_equal_forms(left, right):
    assert Validator(left) == Validator(right)
    assert repr(Validator(left)) == repr(Validator(right))


def test_equal_constants_share_a_pool_entry():
    # The second 7 reuses the first one's slot, so both spellings agree.
    assert Validator([7, 7]) == Validator([Literal[7], Literal[7]])


@pytest.mark.parametrize(
    "schema, member, outsider",
    [
        (Point, Point("a", 1), Point(1, 1)),
        (Pair, Pair(1, "a"), Pair("a", 1)),
        (Untyped, Untyped(object(), None), (1, 2)),
        (NoFields, NoFields(), ()),
        (Colour, Colour.RED, 1),
        (MyInt, MyInt(3), 3),
        (tuple[int, *tuple[bool, *tuple[str, ...]]], (1, True, "a", "b"), (1, True, "a", 2)),
        ([int, str, ...], [1, "a", "b"], [1, 2]),
        ({"a": int, "b?": str}, {"a": 1}, {"a": 1, "c": 2}),
        ({"a": int, str: bytes}, {"a": 1, "z": b""}, {"a": 1, "z": 1}),
        (Movie, {"title": "x", "note": object()}, {"year": 1}),
        (Partial, {"b": "x", "c": 1}, {"b": "x"}),
    ],
)
def test_membership_of_compiled_forms(schema, member, outsider):
    v = Validator(schema)
    assert v.is_valid(member)
    assert not v.is_valid(outsider)


def test_protocol_membership():
    class Door:
        def close(self):
            pass

    v = Validator(Closable)
    assert v.is_valid(Door())
    assert not v.is_valid(3)


# ---- TypedDict


def fields_of(schema):
    return repr(Validator(schema))


@pytest.mark.parametrize(
    "schema, text",
    [
        (Movie, "{'title': str, 'year?': int, str: anything}"),
        (Partial, "{'a?': int, 'b': str, 'c': int, 'd?': int, str: anything}"),
        (ExtMovie, "{'rank': int, 'title': str, 'year?': int, str: anything}"),
        (ExtClosed, "{'a': int}"),
        (ExtExtra, "{'a': int, str: int}"),
    ],
)
def test_typed_dict(schema, text):
    assert fields_of(schema) == text


def test_typed_dict_from_typing_extensions_admits_extra_keys():
    # Such a class carries the maker's own "no extra items" sentinel, which
    # must not be read as the type of the extra items.
    assert ExtMovie.__extra_items__ is te.NoExtraItems
    v = Validator(ExtMovie)
    assert v.is_valid({"title": "x", "rank": 1, "other": [1, 2]})
    assert not v.is_valid({"title": "x"})


def test_typed_dict_extra_items_attributes():
    class Base(TypedDict):
        a: int

    class Extra(Base):
        pass

    Extra.__extra_items__ = str
    assert fields_of(Extra) == "{'a': int, str: str}"
    Extra.__extra_items__ = None
    assert fields_of(Extra) == "{'a': int, str: anything}"
    Extra.__closed__ = True
    assert fields_of(Extra) == "{'a': int}"
    Extra.__closed__ = False
    assert fields_of(Extra) == "{'a': int, str: anything}"


def test_typed_dict_with_required_keys_wins_over_dataclass():
    @dataclasses.dataclass
    class Both:
        a: int
        __required_keys__ = frozenset({"a"})

    assert fields_of(Both) == "{'a': int, str: anything}"


def test_typed_dict_hints_failure_propagates():
    class Broken(TypedDict):
        a: "Missing"  # noqa: F821

    with pytest.raises(NameError):
        Validator(Broken)


def test_dataclass_hints_failure_propagates():
    @dataclasses.dataclass
    class Broken:
        a: "Missing"  # noqa: F821

    with pytest.raises(NameError):
        Validator(Broken)


def test_dataclass_shape_requires_defaulted_fields_too():
    @dataclasses.dataclass
    class Tagged:
        name: str
        tags: list[int] = dataclasses.field(default_factory=list)

    assert repr(Validator(Tagged)) == "Tagged"
    bare = Tagged.__new__(Tagged)
    bare.name = "a"
    assert not Validator(Tagged).is_valid(bare)
    bare.tags = [1]
    assert Validator(Tagged).is_valid(bare)


# ---- refusals


FORWARD = (
    " is a forward reference, and a schema is built from the types themselves: resolve the annotation first "
    "with typing.get_type_hints(..., include_extras=True), or write the type rather than its name"
)
CONSTRUCT = (
    " is a typing construct, not a value: a type variable, ParamSpec, TypeVarTuple, or special form (such as "
    "Final or ClassVar) cannot be a schema; use a concrete type"
)
NOT_LITERAL = (
    " is not a Literal argument: the typing spec allows None, an enum member, or an int, bool, str or bytes "
    "value, and this one would be read as a schema of its own rather than as a constant. Write "
)
UNSUPPORTED = "; supported: list, set, dict, tuple, Union, Optional, Literal, Callable"
LIST_HINT = "write the element type on its own, or a list of fixed length as the list literal [A, B]"
SET_HINT = (
    "write the element type on its own -- a set schema is homogeneous, so several element types are their "
    "union, set[A | B]"
)
NARROWS = (
    " narrows the keys it governs, and a map key must be a key type or a Literal: write dict[str, V] to key "
    'every string, or dict[Literal["a"], V] (or {"a": V}) to key one. To constrain the keys themselves, check '
    "them beside the mapping rather than inside it"
)

Ts = typing.TypeVarTuple("Ts")
T = typing.TypeVar("T")


@pytest.mark.parametrize(
    "schema, error, message",
    [
        (list[int, str], NotImplementedError, f"list[int, str] takes exactly one type argument, and this one is written with 2: {LIST_HINT}"),
        (set[int, str], NotImplementedError, f"set[int, str] takes exactly one type argument, and this one is written with 2: {SET_HINT}"),
        (frozenset[int, str], NotImplementedError, f"frozenset[int, str] takes exactly one type argument, and this one is written with 2: {SET_HINT}"),
        (dict[str], NotImplementedError, "dict[...] needs a key type and a value type"),
        (tuple[..., int], NotImplementedError, "`...` repeats the element before it, so a tuple schema cannot begin with one"),
        (tuple[int, ..., str], NotImplementedError, "a tuple schema carries a fixed prefix and then a repeating tail, so nothing may follow the tail: write the repeating part last"),
        (tuple[*tuple[int, ...], str], NotImplementedError, "a tuple schema carries a fixed prefix and then a repeating tail, so nothing may follow the tail: write the repeating part last"),
        (tuple[*Ts], NotImplementedError, "only a tuple can be unpacked into a tuple schema; Ts binds no element types at runtime"),
        (tuple[int, *tuple[*Ts]], NotImplementedError, "only a tuple can be unpacked into a tuple schema; Ts binds no element types at runtime"),
        (Literal[int], NotImplementedError, "<class 'int'> is a type rather than a constant, and is not a Literal argument: the typing spec allows None, an enum member, or an int, bool, str or bytes value. Write the type on its own to admit its values, or a constant to admit one"),
        (Literal[[1]], NotImplementedError, "a list" + NOT_LITERAL + "list[T] for a list of values, or a tuple of them in the Literal"),
        (Literal[{1: 2}], NotImplementedError, "a dict" + NOT_LITERAL + "dict[K, V], or a record written as a dict literal"),
        (Literal[{1}], NotImplementedError, "a set" + NOT_LITERAL + "set[T]"),
        (collections.abc.Sequence[int], NotImplementedError, "unsupported typing form with origin <class 'collections.abc.Sequence'>" + UNSUPPORTED),
        (typing.ClassVar[int], NotImplementedError, "unsupported typing form with origin typing.ClassVar" + UNSUPPORTED),
        ([...], NotImplementedError, "`...` may appear only as the last element of a list schema"),
        ([int, ..., str], NotImplementedError, "`...` may appear only as the last element of a list schema"),
        ([..., ...], NotImplementedError, "`...` may appear only as the last element of a list schema"),
        (list["int"], NotImplementedError, "'int'" + FORWARD),
        (Union[int, "str"], NotImplementedError, "ForwardRef('str')" + FORWARD),
        (dict[str, typing.ForwardRef("X")], NotImplementedError, "ForwardRef('X')" + FORWARD),
        (PlainProtocol, NotImplementedError, "a Protocol must be @runtime_checkable to be used as a schema"),
        ({"a": int, "a?": str}, ValueError, 'the key "a" is declared twice in this record: a name and the same name with a trailing `?` are one field, so write it once with the type and the optionality it has'),
        ({'q"?': int, 'q"': str}, ValueError, 'the key "q\\"" is declared twice in this record: a name and the same name with a trailing `?` are one field, so write it once with the type and the optionality it has'),
        ({"\udc00": int}, ValueError, "a record key must be valid Unicode; a field name cannot contain a lone surrogate"),
        ({(1,): int}, NotImplementedError, "a tuple literal is not a schema; write a fixed-length tuple as tuple[A, B] (the list literal [A, B] is the fixed-length list)"),
        (tuple[T], NotImplementedError, "~T" + CONSTRUCT),
    ],
)
def test_refusals(schema, error, message):
    with pytest.raises(error) as info:
        Validator(schema)
    assert str(info.value) == message
    assert type(info.value) is error


def test_union_special_form_refused():
    # typing.Union is a special form on 3.13 and the UnionType class on 3.14.
    with pytest.raises(NotImplementedError) as info:
        Validator(Union)
    if isinstance(Union, type):
        assert str(info.value) == (
            f"{Union!r} is a typing special form, not a value; write a concrete type (for a union, X | Y or Union[X, Y])"
        )
    else:
        assert str(info.value) == repr(Union) + CONSTRUCT
    with pytest.raises(NotImplementedError):
        Validator(Optional)


def test_refined_map_key_refused():
    annotated_types = pytest.importorskip("annotated_types")
    key = typing.Annotated[str, annotated_types.MaxLen(3)]
    for schema, named in ((dict[key, int], key), (dict[key | int, int], key | int), ({key: int}, key)):
        with pytest.raises(NotImplementedError) as info:
            Validator(schema)
        assert str(info.value) == repr(named) + NARROWS
    # One string as a Literal key is fine.
    assert repr(Validator(dict[Literal["a"], int])) == "dict[Literal['a'], int]"


def test_value_compile_error_reported_before_repeated_key():
    with pytest.raises(NotImplementedError):
        Validator({"a": int, "a?": (1,)})


def test_typed_dict_with_lone_surrogate_field():
    hints = {"\udc00": int}
    Bad = type("Bad", (), {"__required_keys__": frozenset(), "__annotations__": hints})
    with pytest.raises(ValueError) as info:
        Validator(Bad)
    assert str(info.value) == "a record key must be valid Unicode; a field name cannot contain a lone surrogate"


# ---- dict literals changed while they compile


class Mutates:
    """Runs `action` the first time the compiler looks at it."""

    def __init__(self, action):
        self.action = action

    def __getattr__(self, name):
        action, self.action = self.action, None
        if action is not None:
            action()
        raise AttributeError(name)


def test_record_literal_growing_during_compile():
    schema = {}
    schema["a"] = Mutates(lambda: schema.__setitem__("z", int))
    schema["b"] = int
    with pytest.raises(RuntimeError) as info:
        Validator(schema)
    assert str(info.value) == "dictionary changed size during iteration"


def test_record_literal_keys_replaced_during_compile():
    schema = {}

    def swap():
        del schema["a"]
        schema["c"] = int

    schema["a"] = Mutates(swap)
    schema["b"] = int
    with pytest.raises(RuntimeError) as info:
        Validator(schema)
    assert str(info.value) == "dictionary keys changed during iteration"


def test_record_literal_value_dropped_during_compile():
    # The entry being compiled is held by the compiler, not by the dict.
    schema = {}
    schema["a"] = [Mutates(lambda: schema.clear())]
    with pytest.raises(RuntimeError):
        Validator(schema)


# ---- field names in repr


# Names are written as Python string literals so that the text rebuilds the
# record.
@pytest.mark.parametrize(
    "name",
    [
        'a"b',
        "tab\t",
        "a'b",
        "new\nline",
        "c:\\new",
    ],
)
def test_record_repr_rebuilds_odd_field_names(name):
    v = Validator({name: int, name + "x?": str})
    assert Validator(eval(repr(v))) == v
