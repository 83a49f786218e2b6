"""Annotation dispatch: leaves, refusals, the nesting limit and the work bounds of a build."""

import enum
import os
import subprocess
import sys
import time
import typing

import pytest

from tessolin import Validator, union


class Colour(enum.Enum):
    RED = 1


class Level(enum.IntEnum):
    LOW = 1


class Plain:
    pass


class TupleSub(tuple):
    pass


class SetSub(set):
    pass


class FrozenSub(frozenset):
    pass


@pytest.mark.parametrize(
    ("schema", "text"),
    [
        (None, "None"),
        (typing.Any, "Any"),
        (object, "anything"),
        (typing.Never, "nothing"),
        (typing.NoReturn, "nothing"),
        (int, "int"),
        (bool, "bool"),
        (float, "float"),
        (str, "str"),
        (bytes, "bytes"),
        (type(None), "None"),
        (list, "list[anything]"),
        (tuple, "tuple[anything, ...]"),
        (set, "set[anything]"),
        (frozenset, "frozenset[anything]"),
        (dict, "dict[anything, anything]"),
        (typing.List, "list[anything]"),
        (5, "Literal[5]"),
        ("a", "Literal['a']"),
        (b"x", "Literal[b'x']"),
        (True, "Literal[True]"),
        (Colour.RED, "Literal[<Colour.RED: 1>]"),
        (typing.NewType("UserId", typing.NewType("Base", int)), "int"),
    ],
)
def test_leaf_forms_and_their_text(schema, text):
    assert repr(Validator(schema)) == text


def test_arbitrary_instance_is_a_literal_by_identity():
    obj = Plain()
    assert repr(Validator(obj)) == f"Literal[{obj!r}]"
    assert Validator(obj) == Validator(obj)
    assert Validator(obj) != Validator(Plain())


@pytest.mark.parametrize(
    ("items", "text"),
    [
        # Scalars share a slot only with an equal value of the same exact type.
        ([1, True], "[Literal[1], Literal[True]]"),
        ([0, 0.0], "[Literal[0], Literal[0.0]]"),
        (["a", b"a"], "[Literal['a'], Literal[b'a']]"),
        ([Level.LOW, 1], "[Literal[<Level.LOW: 1>], Literal[1]]"),
        # -0.0 keys as 0.0: the first one interned is kept.
        ([0.0, -0.0], "[Literal[0.0], Literal[0.0]]"),
        ([-0.0, 0.0], "[Literal[-0.0], Literal[-0.0]]"),
    ],
)
def test_constants_pool_sharing(items, text):
    assert repr(Validator(items)) == text


def test_nan_constants_are_never_shared():
    first, second = float("nan"), float("nan")
    v = Validator(typing.Literal[first, second])
    assert repr(v) == "Literal[nan] | Literal[nan]"


FORWARD = (
    " is a forward reference, and a schema is built from the types themselves: resolve the annotation first "
    "with typing.get_type_hints(..., include_extras=True), or write the type rather than its name"
)
CONSTRUCT = (
    " is a typing construct, not a value: a type variable, ParamSpec, TypeVarTuple, or special form (such as "
    "Final or ClassVar) cannot be a schema; use a concrete type"
)
TUPLE_LITERAL = (
    "a tuple literal is not a schema; write a fixed-length tuple as tuple[A, B] (the list literal [A, B] is the "
    "fixed-length list)"
)
SET_LITERAL = "a set literal is not a schema; write a set as set[T]"
FROZEN_LITERAL = "a frozen set literal is not a schema; write a frozen set as frozenset[T]"
T = typing.TypeVar("T")


@pytest.mark.parametrize(
    ("schema", "message"),
    [
        ((), TUPLE_LITERAL),
        ((int,), TUPLE_LITERAL),
        (TupleSub(), TUPLE_LITERAL),
        ({int}, SET_LITERAL),
        (SetSub(), SET_LITERAL),
        (frozenset({int}), FROZEN_LITERAL),
        (FrozenSub(), FROZEN_LITERAL),
        (typing.ForwardRef("Later"), "ForwardRef('Later')" + FORWARD),
        (list["Later"], "'Later'" + FORWARD),
        (T, "~T" + CONSTRUCT),
        (typing.ClassVar, "typing.ClassVar" + CONSTRUCT),
        (typing.Final, "typing.Final" + CONSTRUCT),
    ],
)
def test_refusals(schema, message):
    with pytest.raises(NotImplementedError) as info:
        Validator(schema)
    assert str(info.value) == message


def test_top_level_str_is_a_literal():
    assert repr(Validator("Later")) == "Literal['Later']"


class RaisingMetadata:
    def __getattr__(self, name):
        if name == "__metadata__":
            raise RuntimeError("boom")
        raise AttributeError(name)


class FakeAnnotated:
    def __init__(self, metadata, origin=True):
        self.__metadata__ = metadata
        if origin:
            self.__origin__ = int


@pytest.mark.parametrize(
    ("schema", "error", "message"),
    [
        (RaisingMetadata(), RuntimeError, "boom"),
        (FakeAnnotated([1]), TypeError, "'list' object is not an instance of 'tuple'"),
        (FakeAnnotated(None), TypeError, "'None' is not an instance of 'tuple'"),
        (FakeAnnotated((), origin=False), AttributeError, None),
    ],
)
def test_metadata_probe_errors(schema, error, message):
    with pytest.raises(error) as info:
        Validator(schema)
    if message is not None:
        assert str(info.value) == message


def test_attribute_error_from_getattr_counts_as_absent():
    class Quiet:
        def __getattr__(self, name):
            raise AttributeError(name)

        def __repr__(self):
            return "Quiet()"

    assert repr(Validator(Quiet())) == "Literal[Quiet()]"


def test_class_is_compiled_as_class_even_with_metadata_on_its_metaclass():
    class Meta(type):
        __metadata__ = ("ignored",)

    class WithMeta(metaclass=Meta):
        pass

    assert repr(Validator(WithMeta)) == "WithMeta"


NESTING = (
    "schema nesting is too deep to compile: the frontend descended 129 levels without reaching a leaf. A class "
    "whose own type appears in its fields is recursive and never bottoms out; write it with recursive(...), which "
    "ties the fixpoint explicitly."
)


def newtype_chain(levels, base=int):
    t = base
    for i in range(levels):
        t = typing.NewType(f"N{i}", t)
    return t


def test_nesting_limit_counts_active_calls():
    # 128 NewTypes around int: 129 active calls, no node nesting.
    assert repr(Validator(newtype_chain(128))) == "int"
    for _ in range(3):
        with pytest.raises(NotImplementedError) as info:
            Validator(newtype_chain(129))
        assert str(info.value) == NESTING
    # The counter is back where it started after each refusal.
    assert repr(Validator(newtype_chain(128))) == "int"


def nested_pairs(levels, leaf=int):
    t = leaf
    for _ in range(levels):
        t = tuple[t, t]
    return t


def size_message(count):
    return (
        f"schema is too large: this validator spans {count} nodes, past the limit of 100000. A schema this large "
        "comes from combining a validator with itself in an unbounded loop, which doubles its size each step; "
        "building it would exhaust memory."
    )


def test_shared_alias_is_compiled_once_per_build():
    start = time.perf_counter()
    with pytest.raises(ValueError) as info:
        Validator(nested_pairs(40))
    assert time.perf_counter() - start < 2
    # The exact tree size is still named.
    assert str(info.value) == size_message(2**41 - 1)


def test_reused_alias_gives_the_same_schema():
    inner = list[int | None]
    assert Validator(nested_pairs(3, inner)) == Validator(
        tuple[
            tuple[tuple[list[int | None], list[None | int]], tuple[list[int | None], list[None | int]]],
            tuple[tuple[list[int | None], list[None | int]], tuple[list[int | None], list[None | int]]],
        ]
    )
    assert repr(Validator(tuple[inner, list[inner]])) == "tuple[list[None | int], list[list[None | int]]]"


def test_reuse_respects_the_nesting_limit():
    deep = int
    for _ in range(100):
        deep = list[deep]
    # Seen first at level 2, then again 28 NewType levels further down,
    # where compiling it afresh would pass 129 active calls.
    with pytest.raises(NotImplementedError) as info:
        Validator(tuple[deep, newtype_chain(28, deep)])
    assert str(info.value) == NESTING
    # 26 further levels still fit.
    assert Validator(tuple[deep, newtype_chain(26, deep)]) == Validator(tuple[deep, deep])


def test_work_bound_when_shared_parts_cannot_be_reused():
    # A user class may run code while compiled, so its parents are compiled
    # afresh at every occurrence; the build stops once the work passes the
    # bound instead of taking 2**41 steps.
    start = time.perf_counter()
    with pytest.raises(ValueError) as info:
        Validator(nested_pairs(40, Plain))
    assert time.perf_counter() - start < 30
    assert str(info.value) == size_message(400001)


def test_embedded_validator_costs_its_shared_graph_once_per_build():
    # A DAG of 16 nodes that spans 2**16 as a tree, embedded a million times:
    # each embedding used to renumber the whole tree (about 15 minutes).
    v = Validator(int)
    for _ in range(15):
        v = Validator([v, v])
    assert repr(Validator([v])).count("int") == 2**15
    start = time.perf_counter()
    with pytest.raises(ValueError, match="^schema is too large"):
        Validator([v] * 80)
    with pytest.raises(ValueError, match="^schema is too large"):
        Validator([[v] * 1000] * 1000)
    assert time.perf_counter() - start < 10


def test_size_of_shared_user_class_within_bound_compiles():
    assert repr(Validator(nested_pairs(3, Plain))).count("Plain") == 8


def test_concurrent_builds_agree():
    import threading

    schemas = [nested_pairs(6, list[int | None]), newtype_chain(100), {"a": int, "b?": [str, ...]}]
    expected = [repr(Validator(s)) for s in schemas]
    results, errors = [], []

    def work():
        try:
            for _ in range(50):
                results.append([repr(Validator(s)) for s in schemas])
        except BaseException as e:  # noqa: BLE001
            errors.append(e)

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert all(r == expected for r in results) and len(results) == 400


# ---- type aliases

type Json = int | str | None | list[Json] | dict[str, Json]
type Forest = list[Node]
type Node = Forest | int
type Tree[X] = X | list[Tree[X]]


def test_alias_with_text_value_is_a_forward_reference():
    te = pytest.importorskip("typing_extensions")
    for make in (typing.TypeAliasType, te.TypeAliasType):
        with pytest.raises(NotImplementedError) as info:
            Validator(make("J", "int | list[J]"))
        assert str(info.value) == "'int | list[J]'" + FORWARD
        with pytest.raises(NotImplementedError) as info:
            Validator(make("R", typing.ForwardRef("R")))
        assert str(info.value) == "ForwardRef('R')" + FORWARD


def test_typing_extensions_alias_compiles_as_an_alias():
    te = pytest.importorskip("typing_extensions")
    assert repr(Validator(te.TypeAliasType("K", int))) == "int"
    assert Validator(te.TypeAliasType("K", list[int | None])) == Validator(list[int | None])
    # Recursion through the alias stack: the statement alias names the
    # backport alias whose value it is part of.
    global Outer
    type Inner = list[Outer] | int
    Outer = te.TypeAliasType("Outer", Inner | None)
    try:
        v = Validator(Outer)
        assert repr(v) == "recursive(lambda X: None | int | list[X])"
        assert v.is_valid([1, None, [[2]]])
        assert not v.is_valid([1, ["x"]])
    finally:
        del Outer


def test_subscripted_generic_alias_is_refused_alike():
    te = pytest.importorskip("typing_extensions")
    U = typing.TypeVar("U")
    backport = te.TypeAliasType("Generic", list[U], type_params=(U,))
    for alias, name in ((Tree[int], "Tree"), (backport[int], "Generic")):
        with pytest.raises(NotImplementedError) as info:
            Validator(alias)
        assert str(info.value).startswith(f"unsupported typing form with origin {name};")


def test_typing_extensions_is_looked_for_but_never_imported():
    script = """
import sys
from tessolin import Validator
type A = list[A] | int
assert repr(Validator([A, 5, {"k": "v"}])) == "[recursive(lambda X: int | list[X]), Literal[5], {'k': Literal['v']}]"
assert "typing_extensions" not in sys.modules
import typing_extensions as te
assert repr(Validator(te.TypeAliasType("K", int))) == "int"
"""
    pytest.importorskip("typing_extensions")
    subprocess.run([sys.executable, "-c", script], env=dict(os.environ), check=True)


def record_of(alias, count, prefix="f"):
    return typing.TypedDict("Record", {f"{prefix}{i}": alias for i in range(count)})


@pytest.mark.parametrize(
    "schema",
    [
        # Each use once added a definition, past the limit of 128.
        record_of(Json, 130),
        list[record_of(Json, 200)],
        record_of(record_of(Json, 100), 100),
        tuple[record_of(Json, 70), record_of(list[Json], 70), dict[str, Json]],
    ],
)
def test_recursive_alias_is_one_definition_per_build(schema):
    Validator(schema)


def test_shared_alias_validates_every_use():
    inner = record_of(Json, 100)
    v = Validator(record_of(inner, 100, prefix="g"))
    good = {f"g{i}": {f"f{j}": [{"a": [1, None, "s"]}] for j in range(100)} for i in range(100)}
    assert v.is_valid(good)
    good["g99"]["f99"] = [{"a": [1, {"deep": [2.5]}]}]
    assert not v.is_valid(good)
    good["g99"]["f99"] = None
    good["g0"]["f0"] = {"x": [{"y": b"bytes"}]}
    assert not v.is_valid(good)
    good["g0"]["f0"] = {"x": [{"y": "text"}]}
    assert v.is_valid(good)


def test_aliases_naming_each_other_in_one_build():
    # Node is first compiled inside Forest's value, where its body holds
    # Forest's placeholder; its later uses must not reuse that body.
    v = Validator(tuple[Forest, Node, list[Node], Node])
    assert v.is_valid(([[1, [2]], 3], 4, [[[5]], 6], [7]))
    assert not v.is_valid(([[1]], ["x"], [], 1))
    assert not v.is_valid(([], 1, [[["x"]]], 1))
    both = Validator(tuple[Node, Forest])
    assert both.is_valid((1, [[2]]))
    assert not both.is_valid((1, [2, "x"]))
    # Several operands of one build share the aliases compiled by the first.
    several = union(Forest, Node, list[Forest])
    assert [several.is_valid(x) for x in (1, [[1]], [[[1, [2]]]], "x", [1, ["x"]])] == [True] * 3 + [False] * 2


def test_alias_reuse_respects_the_nesting_limit():
    # NewTypes are compiled afresh at every use, so only the alias is reused.
    alias = typing.TypeAliasType("Deep", list[newtype_chain(99)])
    # Seen first at level 2 and 101 levels high, then 27 levels further down,
    # where compiling it afresh would pass 129 active calls.
    with pytest.raises(NotImplementedError) as info:
        Validator(tuple[alias, newtype_chain(27, alias)])
    assert str(info.value) == NESTING
    assert Validator(tuple[alias, newtype_chain(26, alias)]) == Validator(tuple[list[int], list[int]])
