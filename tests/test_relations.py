"""Relations between schemas: is_empty, is_subtype_of, relation_to and
is_equivalent, with the questions about pooled constants they ask Python
(comparisons, remainders, subclass tests, enum members, membership)."""

import abc
import enum
import numbers
import os
import re
import threading
from typing import Annotated, Any, Literal

import annotated_types as at
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tessolin
from tessolin import Validator, complement, intersection, recursive, union

SUBSET, NOT_SUBSET, UNDECIDED = "subset", "not_subset", "undecided"
# The true answer when the procedure may not prove it: anything but the
# opposite proof.
MAYBE_SUBSET = frozenset({SUBSET, UNDECIDED})
MAYBE_NOT = frozenset({NOT_SUBSET, UNDECIDED})


class Color(enum.Enum):
    RED = 1
    GREEN = 2
    BLUE = 3


class Level(enum.IntEnum):
    LOW = 1
    HIGH = 2


class Perm(enum.Flag):
    R = 1
    W = 2


Big = enum.Enum("Big", [f"M{i}" for i in range(513)])
Small = enum.Enum("Small", [f"M{i}" for i in range(512)])


class Base:
    pass


class Derived(Base):
    pass


class Unrelated:
    pass


class Abstract(abc.ABC):
    pass


class MyInt(int):
    pass


class SneakyMeta(type):
    def __instancecheck__(cls, obj):
        return True


class Sneaky(metaclass=SneakyMeta):
    pass


class SneakyChild(Sneaky):
    pass


def answers(a, b):
    return Validator(a).relation_to(b)


def check_answer(a, b, expected):
    got = answers(a, b)
    if isinstance(expected, frozenset):
        assert got in expected, (a, b, got)
    else:
        assert got == expected, (a, b, got)
    assert Validator(a).is_subtype_of(b) is (got == SUBSET)


# ---- inclusion, both ways

LIST_OF_SELF = recursive(lambda x: list[x])
LIST_OF_SELF_AGAIN = recursive(lambda y: list[y])
INT_TREE = recursive(lambda t: int | list[t])
INT_STR_TREE = recursive(lambda t: int | str | list[t])
JSON_LIKE = recursive(lambda j: union(None, int, str, list[j], {str: j}))
CHAIN = recursive(lambda c: {"v": int, "next?": c})
WIDE_CHAIN = recursive(lambda c: {"v": int | str, "next?": c})

INCLUSION = [
    # literal sets, by pool index and by kind
    pytest.param(Literal[1, 2], Literal[1, 2, 3], SUBSET, NOT_SUBSET, id="literal-sets"),
    pytest.param(Literal[1], int, SUBSET, MAYBE_NOT, id="literal-in-kind"),
    pytest.param(Literal[True], int, SUBSET, NOT_SUBSET, id="bool-literal-in-int"),
    pytest.param(Literal[1], bool, NOT_SUBSET, MAYBE_NOT, id="int-literal-not-bool"),
    pytest.param(Literal[1], Literal[True], NOT_SUBSET, NOT_SUBSET, id="1-and-True-differ"),
    pytest.param(Literal[1], Literal[1.0], NOT_SUBSET, NOT_SUBSET, id="1-and-1.0-differ"),
    pytest.param(Literal[1.0], int, NOT_SUBSET, NOT_SUBSET, id="float-literal-not-int"),
    pytest.param(Literal["a"], str, SUBSET, MAYBE_NOT, id="str-literal"),
    pytest.param(Literal["a", "b"], union(Literal["a"], int), NOT_SUBSET, NOT_SUBSET, id="literal-partly-covered"),
    pytest.param(None, int | None, SUBSET, NOT_SUBSET, id="optional"),
    # kind masks
    pytest.param(int, int | str, SUBSET, NOT_SUBSET, id="kind-union"),
    pytest.param(int, str | list[int], NOT_SUBSET, NOT_SUBSET, id="disjoint-members"),
    pytest.param(bool, int, SUBSET, NOT_SUBSET, id="bool-in-int"),
    pytest.param(int, complement(str), SUBSET, NOT_SUBSET, id="complement"),
    pytest.param(str, complement(str), NOT_SUBSET, NOT_SUBSET, id="own-complement"),
    pytest.param(Any, int, NOT_SUBSET, SUBSET, id="any"),
    pytest.param(int, tessolin.nothing, NOT_SUBSET, SUBSET, id="nothing"),
    pytest.param(intersection(int, str), tessolin.nothing, SUBSET, SUBSET, id="empty-intersection"),
    pytest.param(int, tessolin.anything, SUBSET, NOT_SUBSET, id="anything"),
    # sequences and tuple products
    pytest.param(list[bool], list[int], SUBSET, NOT_SUBSET, id="list-items"),
    pytest.param(list[int], list[str], NOT_SUBSET, NOT_SUBSET, id="list-disjoint-items"),
    pytest.param(list[int], set[int], NOT_SUBSET, NOT_SUBSET, id="list-vs-set"),
    pytest.param(set[int], frozenset[int], NOT_SUBSET, NOT_SUBSET, id="set-vs-frozenset"),
    pytest.param(tuple[int], tuple[int, ...], SUBSET, NOT_SUBSET, id="fixed-in-variadic"),
    pytest.param(tuple[int, str], tuple[int], NOT_SUBSET, NOT_SUBSET, id="tuple-lengths"),
    pytest.param(tuple[int | str, int], union(tuple[int, int], tuple[str, int]), SUBSET, SUBSET, id="tuple-product"),
    pytest.param(tuple[int | str, int | str], union(tuple[int, int], tuple[str, str]), MAYBE_NOT, SUBSET,
                 id="tuple-product-missing-mix"),
    pytest.param(list[int], Annotated[list[int], at.MinLen(1)], NOT_SUBSET, SUBSET, id="list-min-length"),
    # records and optional keys
    pytest.param({"a": int}, {"a": int, "b?": str}, SUBSET, NOT_SUBSET, id="optional-key-added"),
    pytest.param({"a": int}, {"a": int, "b": str}, NOT_SUBSET, NOT_SUBSET, id="required-key-added"),
    pytest.param({"a": bool, "b?": int}, {"a": int, "b?": int | str}, SUBSET, NOT_SUBSET, id="record-fields-widen"),
    pytest.param({"a": int}, {"a?": int}, SUBSET, NOT_SUBSET, id="required-to-optional"),
    pytest.param({"x": bool}, {str: int}, SUBSET, NOT_SUBSET, id="fields-in-clause"),
    pytest.param({str: int}, {"x?": int}, MAYBE_NOT, SUBSET, id="clause-not-covered"),
    pytest.param({"x": int | str}, {str: int, object: str}, SUBSET, MAYBE_NOT, id="key-in-two-clauses"),
    # bounds, through the pooled constants' order and remainders
    pytest.param(Annotated[int, at.Ge(5)], Annotated[int, at.Ge(3)], SUBSET, MAYBE_NOT, id="ge-bounds"),
    pytest.param(Annotated[int, at.Gt(5)], Annotated[int, at.Ge(5)], SUBSET, MAYBE_NOT, id="gt-in-ge"),
    pytest.param(Annotated[int, at.Ge(2.5)], Annotated[int, at.Ge(2)], SUBSET, MAYBE_NOT, id="mixed-number-bounds"),
    pytest.param(Annotated[int, at.MultipleOf(6)], Annotated[int, at.MultipleOf(3)], SUBSET, MAYBE_NOT,
                 id="multiple-of"),
    pytest.param(Annotated[float, at.MultipleOf(7.5)], Annotated[float, at.MultipleOf(2.5)], SUBSET, MAYBE_NOT,
                 id="float-multiple-of"),
    pytest.param(Annotated[int, at.MultipleOf(6)], Annotated[int, at.MultipleOf(3.0)], MAYBE_SUBSET, MAYBE_NOT,
                 id="int-mod-float-declined"),
    pytest.param(Literal[7], Annotated[int, at.Ge(5)], SUBSET, MAYBE_NOT, id="literal-within-bound"),
    pytest.param(Literal[3], Annotated[int, at.Ge(5)], NOT_SUBSET, MAYBE_NOT, id="literal-outside-bound"),
    pytest.param(Annotated[int, at.Predicate(lambda x: x > 0)], int, SUBSET, MAYBE_NOT, id="predicate-left"),
    pytest.param(int, Annotated[int, at.Predicate(lambda x: x > 0)], UNDECIDED, SUBSET, id="predicate-right"),
    # classes
    pytest.param(Derived, Base, SUBSET, NOT_SUBSET, id="subclass"),
    pytest.param(Base, Unrelated, MAYBE_NOT, MAYBE_NOT, id="unrelated-classes"),
    pytest.param(MyInt, int, MAYBE_SUBSET, NOT_SUBSET, id="int-subclass"),
    pytest.param(Abstract, object, SUBSET, MAYBE_NOT, id="abc-in-object"),
    pytest.param(int, numbers.Number, MAYBE_SUBSET, MAYBE_NOT, id="abc-registered"),
    pytest.param(SneakyChild, Sneaky, MAYBE_SUBSET, MAYBE_NOT, id="custom-instancecheck"),
    pytest.param(complement(int), Base, NOT_SUBSET, MAYBE_NOT, id="complement-vs-class"),
    # enum classes against their members
    pytest.param(Color, Literal[Color.RED, Color.GREEN, Color.BLUE], SUBSET, SUBSET, id="enum-all-members"),
    pytest.param(Color, Literal[Color.RED, Color.GREEN], NOT_SUBSET, SUBSET, id="enum-some-members"),
    pytest.param(Color, Annotated[Color, at.Predicate(lambda c: c.value < 4)], SUBSET, SUBSET, id="enum-predicate"),
    pytest.param(Level, Literal[Level.LOW, Level.HIGH], MAYBE_SUBSET, SUBSET, id="int-enum-own-eq"),
    pytest.param(Perm, Literal[Perm.R, Perm.W], MAYBE_NOT, SUBSET, id="flag-combinations"),
    pytest.param(Small, union(*[Literal[m] for m in Small]), SUBSET, SUBSET, id="enum-512-members"),
    pytest.param(Big, union(*[Literal[m] for m in Big]), MAYBE_SUBSET, SUBSET, id="enum-513-members"),
    # recursion: assumed pairs settle cycles
    pytest.param(LIST_OF_SELF, LIST_OF_SELF_AGAIN, SUBSET, SUBSET, id="two-names-one-set"),
    pytest.param(INT_TREE, INT_STR_TREE, SUBSET, NOT_SUBSET, id="tree-widened"),
    pytest.param(JSON_LIKE, union(JSON_LIKE, bytes), SUBSET, MAYBE_NOT, id="json-like-widened"),
    pytest.param(CHAIN, WIDE_CHAIN, SUBSET, NOT_SUBSET, id="linked-records"),
]


@pytest.mark.parametrize("a, b, forward, backward", INCLUSION)
def test_inclusion_both_ways(a, b, forward, backward):
    check_answer(a, b, forward)
    check_answer(b, a, backward)


@pytest.mark.parametrize(
    "a, b, expected",
    [
        (bool | int, int, True),
        (int, bool, False),
        (LIST_OF_SELF, LIST_OF_SELF_AGAIN, True),
        (Color, Literal[Color.RED, Color.GREEN, Color.BLUE], True),
        ({"a": int, "b?": str}, {"b?": str, "a": int}, True),
        ({"a": int, "b?": str}, {"a": int}, False),
        (tuple[int | str, int], union(tuple[int, int], tuple[str, int]), True),
        (union(int, complement(int)), tessolin.anything, True),
        (intersection(int, str), tessolin.nothing, True),
        (Literal[1], Literal[1.0], False),
        (int, Annotated[int, at.Predicate(lambda x: True)], False),
    ],
)
def test_is_equivalent(a, b, expected):
    assert Validator(a).is_equivalent(b) is expected
    assert Validator(b).is_equivalent(a) is expected


def test_is_equivalent_stops_when_the_first_direction_is_not_proved():
    calls = []

    def seen(x):
        calls.append(x)
        return True

    marker = object()
    guarded = Annotated[object, at.Predicate(seen)]
    assert Validator(guarded).is_equivalent(marker) is False
    assert calls == []
    # The other direction would have run the predicate on the pooled marker.
    assert Validator(marker).is_subtype_of(guarded) is True
    assert calls == [marker]


@pytest.mark.parametrize(
    "schema, expected",
    [
        (tessolin.nothing, True),
        (tessolin.anything, False),
        (int, False),
        (intersection(int, str), True),
        (intersection(Literal[1, 2], Literal[True, 3]), True),
        (intersection(Literal[1, "a"], Literal[1.0, b"a"]), True),
        (intersection(Literal[1, 2], Literal[3, 2]), False),
        (float("nan"), True),
        (Annotated[int, at.Gt(2), at.Lt(3)], True),
        (Annotated[int, at.Ge(5), at.Le(3)], True),
        (Annotated[int, at.Ge(2.5), at.Le(3)], False),
        (intersection(Annotated[int, at.Ge(5)], Annotated[int, at.Le(3)]), True),
        (Annotated[str, at.MinLen(3), at.MaxLen(2)], True),
        (Annotated[set[bool], at.MinLen(3)], True),
        (Annotated[set[bool], at.MinLen(2)], False),
        (tuple[int, intersection(int, str)], True),
        ({"a": intersection(int, str)}, True),
        ({"a?": intersection(int, str)}, False),
        (recursive(lambda x: tuple[x]), True),
        (recursive(lambda x: tuple[x, ...]), False),
        (intersection(Color, Literal[Color.RED]), False),
    ],
)
def test_is_empty(schema, expected):
    assert Validator(schema).is_empty() is expected


# ---- long member lists: one list asked about again and again (once per
# member of the other side) answers as a short list would


LONG = 2000


def _literals(values):
    return Literal.__getitem__(tuple(values))


def _ints(n, start=0):
    return _literals(range(start, start + n))


def _strs(n):
    return _literals(map(str, range(n)))


def _outside_each(values):
    return intersection(*[complement(Literal[v]) for v in values])


def _lists(n):
    return [list[Literal[i]] for i in range(n)]


def _non_empty_lists(start, n):
    return [Annotated[list[Literal[i]], at.MinLen(1)] for i in range(start, start + n)]


class _EqualByClass:
    # Equality of its own, so it has no key the constants are looked up by.
    def __eq__(self, other):
        return isinstance(other, _EqualByClass)

    __hash__ = object.__hash__


def _huge():
    # A fresh int past 64 bits each call.
    return int("1" + "0" * 30)


_KEYLESS = _EqualByClass()
NAN = float("nan")
_OBJECTS = [Unrelated() for _ in range(40)]
_INT_BASED = [type(f"IntBased{i}", (int,), {}) for i in range(200)]


def _records(n):
    return [{f"k{i}": int} for i in range(n)]


LONG_INCLUSION = [
    # literal runs against literals, kinds and complements
    pytest.param(lambda: (_ints(LONG), complement(_strs(LONG))), SUBSET, MAYBE_NOT, id="ints-outside-strs"),
    pytest.param(lambda: (_ints(LONG), union(_strs(LONG), int)), SUBSET, NOT_SUBSET, id="ints-in-strs-or-int"),
    pytest.param(lambda: (_ints(LONG), complement(union(_strs(LONG), bytes))), SUBSET, MAYBE_NOT,
                 id="ints-outside-strs-and-bytes"),
    pytest.param(lambda: (_ints(LONG), complement(_ints(LONG, LONG - 1))), NOT_SUBSET, MAYBE_NOT,
                 id="ints-outside-ints-sharing-one"),
    pytest.param(lambda: (_literals([True, *range(2, LONG)]), complement(_literals([1, *map(str, range(LONG))]))),
                 SUBSET, MAYBE_NOT, id="True-is-not-1"),
    pytest.param(lambda: (_ints(LONG), complement(_literals([1, *map(str, range(LONG))]))), NOT_SUBSET, MAYBE_NOT,
                 id="1-is-1"),
    pytest.param(lambda: (_ints(LONG), union(bool, _strs(LONG))), NOT_SUBSET, NOT_SUBSET, id="ints-not-bools"),
    pytest.param(lambda: (_literals([1.0, 2.5, *map(float, range(2, LONG))]), complement(_ints(LONG))), SUBSET,
                 MAYBE_NOT, id="floats-are-not-ints"),
    pytest.param(lambda: (_literals([1.0, *map(float, range(2, LONG))]), _ints(LONG)), NOT_SUBSET, NOT_SUBSET,
                 id="floats-not-in-ints"),
    pytest.param(lambda: (_literals([float("nan"), *range(LONG - 1)]), _ints(LONG)), SUBSET, NOT_SUBSET,
                 id="nan-admits-nothing"),
    pytest.param(lambda: (_ints(LONG), _literals([float("nan"), *range(LONG)])), SUBSET, SUBSET, id="nan-beside"),
    pytest.param(lambda: (_literals([NAN, *range(LONG)]), complement(_literals([NAN, *map(str, range(LONG))]))), SUBSET,
                 MAYBE_NOT, id="nan-outside-nan"),
    # a constant without a key among them: before, after and between
    pytest.param(lambda: (_literals([_KEYLESS, *range(LONG)]), complement(_strs(LONG))), SUBSET, MAYBE_NOT,
                 id="keyless-left"),
    pytest.param(lambda: (_ints(LONG), complement(_literals([_KEYLESS, *map(str, range(LONG))]))), SUBSET, MAYBE_NOT,
                 id="keyless-right"),
    pytest.param(lambda: (_ints(LONG), _literals([_KEYLESS, *range(LONG)])), SUBSET, MAYBE_NOT, id="keyless-beside"),
    pytest.param(lambda: (_ints(LONG), complement(_literals([_KEYLESS, 5, *range(LONG, 2 * LONG)]))), NOT_SUBSET,
                 MAYBE_NOT, id="keyless-then-shared"),
    pytest.param(lambda: (_ints(LONG), complement(_literals([*range(LONG, 2 * LONG), 5, _KEYLESS]))), NOT_SUBSET,
                 MAYBE_NOT, id="shared-then-keyless"),
    pytest.param(lambda: (_ints(LONG), complement(_literals([_KEYLESS, *range(LONG, 2 * LONG)]))), SUBSET, MAYBE_NOT,
                 id="keyless-then-others"),
    # Past 64 bits an int is pooled by identity: two equal ones, two slots.
    pytest.param(lambda: (_literals([_huge(), *range(LONG)]),
                          complement(_literals([_KEYLESS, _huge(), *range(-LONG, 0)]))),
                 NOT_SUBSET, MAYBE_NOT, id="keyless-then-equal-in-another-slot"),
    # a meet of complements of constants against the complement of their union
    pytest.param(lambda: (_outside_each(range(LONG)), complement(_ints(LONG))), SUBSET, SUBSET,
                 id="outside-each-int-is-outside-all"),
    pytest.param(lambda: (_outside_each(map(str, range(LONG))), complement(_strs(LONG))), SUBSET, SUBSET,
                 id="outside-each-str-is-outside-all"),
    pytest.param(lambda: (_outside_each(range(LONG - 1)), complement(_ints(LONG))), MAYBE_NOT, SUBSET,
                 id="outside-each-but-one"),
    pytest.param(lambda: (_outside_each([True, 1.0, 0, *range(2, LONG)]), complement(_ints(LONG))), MAYBE_NOT,
                 MAYBE_NOT, id="outside-True-and-1.0-is-not-outside-1"),
    pytest.param(lambda: (_outside_each([NAN, _KEYLESS, *range(LONG)]),
                          complement(_literals([_KEYLESS, *range(LONG)]))),
                 SUBSET, SUBSET, id="outside-each-with-nan-and-keyless"),
    pytest.param(lambda: (_outside_each(range(LONG)), complement(_literals([_KEYLESS, *range(LONG)]))), MAYBE_NOT,
                 SUBSET, id="outside-each-but-keyless"),
    pytest.param(lambda: (_literals(_OBJECTS[:20]), complement(_literals(_OBJECTS[20:]))), SUBSET, MAYBE_NOT,
                 id="objects-outside-objects"),
    pytest.param(lambda: (_literals(_OBJECTS[:20]), _literals(_OBJECTS)), SUBSET, NOT_SUBSET, id="objects-in-objects"),
    # lists, records and classes
    pytest.param(lambda: (union(*_lists(LONG)), union(*_lists(LONG + 1))), SUBSET, MAYBE_NOT, id="lists-plus-one"),
    pytest.param(lambda: (union(*_lists(LONG)), complement(union(*[tuple[Literal[i], ...] for i in range(LONG)]))),
                 SUBSET, MAYBE_NOT, id="lists-outside-tuples"),
    pytest.param(lambda: (union(*_lists(LONG)), complement(union(*_non_empty_lists(-LONG, LONG)))), SUBSET, MAYBE_NOT,
                 id="lists-outside-non-empty-lists"),
    pytest.param(lambda: (union(*_lists(LONG)), complement(union(*_non_empty_lists(-1, LONG)))), MAYBE_NOT, MAYBE_NOT,
                 id="lists-meeting-non-empty-lists"),
    pytest.param(lambda: (_strs(LONG), complement(union(*_INT_BASED))), SUBSET, MAYBE_NOT, id="strs-outside-int-based"),
    pytest.param(lambda: (_ints(LONG), complement(union(*_INT_BASED))), MAYBE_SUBSET, MAYBE_NOT,
                 id="ints-outside-int-based"),
    pytest.param(lambda: (union(*_records(LONG)), union(*_records(LONG), dict[str, str])), SUBSET, MAYBE_NOT,
                 id="records-plus-dict"),
    pytest.param(lambda: (_ints(LONG), union(*[Literal[i] for i in reversed(range(LONG))])), SUBSET, SUBSET,
                 id="ints-built-backwards"),
]


@pytest.mark.parametrize("make, forward, backward", LONG_INCLUSION)
def test_long_member_lists_both_ways(make, forward, backward):
    a, b = make()
    check_answer(a, b, forward)
    check_answer(b, a, backward)


@pytest.mark.parametrize(
    "make, expected",
    [
        pytest.param(lambda: [complement(Literal[str(i)]) for i in range(LONG)], False, id="complements"),
        pytest.param(lambda: [*[complement(Literal[str(i)]) for i in range(LONG)], Literal["7"]], True,
                     id="complements-and-one-of-theirs"),
        pytest.param(lambda: _lists(LONG), False, id="lists"),
        pytest.param(lambda: [*_lists(LONG), tuple[int, ...]], True, id="lists-and-a-tuple"),
        pytest.param(lambda: _non_empty_lists(0, LONG), True, id="non-empty-lists"),
        pytest.param(lambda: [{f"k{i}": int, str: int} for i in range(LONG)], False, id="open-records"),
        pytest.param(lambda: [*_INT_BASED, str], True, id="int-based-and-str"),
        pytest.param(lambda: [union(Literal[i], None) for i in range(LONG)], False, id="unions-with-None"),
    ],
)
def test_long_intersections_is_empty(make, expected):
    assert intersection(*make()).is_empty() is expected


def test_relation_to_returns_a_fresh_str():
    answer = Validator(bool).relation_to(int)
    assert type(answer) is str and answer == SUBSET


# ---- faults that must stay mended


def test_key_matched_by_two_clauses_is_not_refuted():
    v = Validator({"x": int | str})
    assert v.relation_to({str: int, object: str}) != NOT_SUBSET
    assert all(Validator({str: int, object: str}).is_valid(d) for d in ({"x": 1}, {"x": "a"}))


def test_self_intersecting_recursion_answers_without_deep_recursion():
    v = recursive(lambda x: intersection({"a": x | None}, {"a": x | None, "b?": int}))
    assert v.is_empty() is False
    assert v.relation_to(v) == SUBSET


class _Unequal:
    pass


class _Divisor(int):
    # Remainders by this divisor are by 5 (x % d calls __rmod__ first), but
    # its own remainder is a value whose comparison with 0 gives
    # NotImplemented: that proves nothing about divisibility.
    def __mod__(self, other):
        return _Unequal()

    def __rmod__(self, other):
        return other % 5


def test_remainder_whose_equality_is_not_implemented_proves_nothing():
    fives = Annotated[int, at.MultipleOf(_Divisor(5))]
    threes = Annotated[int, at.MultipleOf(3)]
    assert Validator(fives).is_valid(5) and not Validator(threes).is_valid(5)
    assert Validator(fives).relation_to(threes) != SUBSET


class _HashableList(list):
    __hash__ = object.__hash__


class _HashableDict(dict):
    __hash__ = object.__hash__


@pytest.mark.parametrize(
    "element, witness",
    [
        (list[int], _HashableList([1])),
        (Annotated[list[int], at.MinLen(1)], _HashableList([1])),
        ({str: int}, _HashableDict(a=1)),
    ],
)
def test_set_of_unhashable_kind_holds_hashable_subclass_instances(element, witness):
    # A set can hold an instance of a list or dict subclass that defines
    # __hash__, so one element outside str refutes the inclusion.
    for kind in (set, frozenset):
        assert Validator(kind[element]).is_valid(kind({witness}))
        assert not Validator(kind[str]).is_valid(kind({witness}))
        assert answers(kind[element], kind[str]) == NOT_SUBSET


# Python computes int % float by rounding the int to a double first, so a
# float divisor on ints admits values that no int divisor does. The extra
# metadata keeps Annotated's cache from handing back an equal object made
# elsewhere (MultipleOf(3) == MultipleOf(3.0)).
@pytest.mark.parametrize(
    "float_divisor, int_divisor, witness",
    [(3.0, 3, 2**53 + 3), (2.0, 2, 2**53 + 1), (4.0, 2, 2**53 + 1), (float(2**60), 2**60, 2**60 + 1)],
)
def test_float_divisor_on_ints_proves_no_inclusion_of_int_divisor(float_divisor, int_divisor, witness):
    left = Validator(Annotated[int, at.MultipleOf(float_divisor), "float"])
    right = Validator(Annotated[int, at.MultipleOf(int_divisor), "int"])
    assert left.is_valid(witness) and not right.is_valid(witness)
    assert left.relation_to(right) != SUBSET
    bounded = Validator(Annotated[int, at.Ge(0), at.MultipleOf(float_divisor), "float"])
    assert bounded.relation_to(Annotated[int, at.Ge(0), at.MultipleOf(int_divisor), "int"]) != SUBSET


# ---- Python errors inside a decision: ordinary ones are absorbed, fatal ones raised

# Which user call raises what while a test asks its question: armed only
# then, since typing's caches hash and compare annotations too.
_armed = {"site": None, "error": None}


def _fire(site):
    if _armed["site"] == site:
        raise _armed["error"]


class _Bound(int):
    # A constant whose comparisons are user code.
    def __eq__(self, other):
        _fire("__eq__")
        return int(self) == other

    def __lt__(self, other):
        _fire("__lt__")
        return int(self) < other

    def __gt__(self, other):
        _fire("__lt__")
        return int(self) > other

    def __le__(self, other):
        _fire("__lt__")
        return int(self) <= other

    def __ge__(self, other):
        _fire("__lt__")
        return int(self) >= other

    __hash__ = int.__hash__


class _Token:
    # Equal only to itself, with a hash of its own.
    def __hash__(self):
        _fire("__hash__")
        return id(self)


def _asked(x):
    _fire("predicate")
    return True


def _recurse(x):
    return _recurse(x)


QUESTIONS = {
    "relation_to": lambda left, right, both: left.relation_to(right),
    "is_subtype_of": lambda left, right, both: left.is_subtype_of(right),
    "is_equivalent": lambda left, right, both: left.is_equivalent(right),
    "is_empty": lambda left, right, both: both.is_empty(),
    "==": lambda left, right, both: left == right,
}
RELATIONS = ("relation_to", "is_subtype_of", "is_equivalent", "is_empty")

# (user call, left, right, the questions that reach it, their answers when it
# raises an ordinary exception).
_NOT_PROVED = {"relation_to": UNDECIDED, "is_subtype_of": False, "is_equivalent": False, "is_empty": False}
USER_CALL_SITES = [
    ("predicate", Literal[1], Annotated[int, at.Predicate(_asked)], RELATIONS[:3], {"relation_to": NOT_SUBSET}),
    ("predicate", Color, Annotated[Color, at.Predicate(_asked)], RELATIONS[:3], {"relation_to": NOT_SUBSET}),
    ("__eq__", Annotated[int, at.Ge(_Bound(4))], Annotated[int, at.Ge(3)], RELATIONS, {}),
    ("__eq__", Annotated[int, at.Ge(3)], Annotated[int, at.Ge(_Bound(4))], RELATIONS, {}),
    ("__lt__", Annotated[int, at.Ge(_Bound(4))], Annotated[int, at.Ge(3)], RELATIONS, {}),
    ("__eq__", Literal[_Bound(4)], Literal[_Bound(5)], (*RELATIONS[:3], "=="), {"==": False}),
]

# Constants compared by identity are told apart without their hashes: a
# question on them calls no __hash__, so one that would raise changes nothing.
UNHASHED_TOKENS = [
    (Literal[_Token()], Literal[_Token()]),
    # Runs long enough for their constants' keys to be kept for the question.
    (Literal.__getitem__(tuple(_Token() for _ in range(20))), Literal.__getitem__(tuple(_Token() for _ in range(20)))),
]


def _site_cases(errors):
    return [
        pytest.param(site, left, right, question, error, {**_NOT_PROVED, **ordinary}[question],
                     id=f"{site}-{n}-{question}-{error.__name__}")
        for n, (site, left, right, questions, ordinary) in enumerate(USER_CALL_SITES)
        for question in questions
        for error in errors
    ]


def _ask(site, left, right, question, error, monkeypatch):
    left, right = Validator(left), Validator(right)
    both = intersection(left, right)
    monkeypatch.setitem(_armed, "site", site)
    monkeypatch.setitem(_armed, "error", error)
    try:
        return QUESTIONS[question](left, right, both)
    finally:
        monkeypatch.setitem(_armed, "site", None)


@pytest.mark.parametrize(
    "site, left, right, question, error, ordinary_answer",
    _site_cases([KeyboardInterrupt, SystemExit, MemoryError, RecursionError]),
)
def test_fatal_error_in_user_code_stops_the_question(site, left, right, question, error, ordinary_answer, monkeypatch):
    with pytest.raises(error):
        _ask(site, left, right, question, error, monkeypatch)
    # Nothing left pending: the next call works normally.
    assert Validator(int).is_valid(1)


@pytest.mark.parametrize("site, left, right, question, error, ordinary_answer", _site_cases([ValueError]))
def test_ordinary_error_in_user_code_keeps_the_answer(site, left, right, question, error, ordinary_answer, monkeypatch):
    assert _ask(site, left, right, question, error, monkeypatch) == ordinary_answer
    assert Validator(int).is_valid(1)


@pytest.mark.parametrize("left, right", UNHASHED_TOKENS, ids=["short", "long"])
@pytest.mark.parametrize("question", RELATIONS)
def test_questions_on_identity_compared_constants_call_no_hash(left, right, question, monkeypatch):
    answers = {**_NOT_PROVED, "relation_to": NOT_SUBSET, "is_empty": True}
    assert _ask("__hash__", left, right, question, KeyboardInterrupt, monkeypatch) == answers[question]


def test_first_fatal_error_is_raised_and_no_user_code_runs_after_it():
    calls = []

    def interrupt(x):
        calls.append(x)
        raise KeyboardInterrupt(x)

    left = Validator(Literal[1, 2, 3])
    with pytest.raises(KeyboardInterrupt) as raised:
        left.relation_to(Annotated[int, at.Predicate(interrupt)])
    assert calls == [raised.value.args[0]]


def test_recursing_predicate_raises_its_recursion_error():
    with pytest.raises(RecursionError):
        Validator(Literal[3]).relation_to(Annotated[int, at.Predicate(_recurse)])
    assert Validator(int).is_valid(1)


# ---- hash(v): the constants' hashes are user code too


class _HashedBound(_Bound):
    def __hash__(self):
        _fire("__hash__")
        return int.__hash__(self)


class _HashedType(type):
    def __hash__(cls):
        _fire("type __hash__")
        return id(cls)


class _TypeToken(metaclass=_HashedType):
    __hash__ = object.__hash__


class _OwnBaseException(BaseException):
    pass


# (the user call that raises, a schema whose hash reaches it)
HASH_SITES = [
    pytest.param("__hash__", Literal[_Token()], id="literal"),
    pytest.param("type __hash__", Literal[_TypeToken()], id="literal-type"),
    # A bound no other test names: typing's cache would hand back an equal
    # annotation built before, holding another class's constant.
    pytest.param("__hash__", Annotated[int, at.Ge(_HashedBound(41))], id="bound"),
    pytest.param("__hash__", list[Literal[1, _Token()]] | str, id="nested"),
]


def _hash(site, validator, error, monkeypatch):
    monkeypatch.setitem(_armed, "site", site)
    monkeypatch.setitem(_armed, "error", error)
    try:
        return hash(validator)
    finally:
        monkeypatch.setitem(_armed, "site", None)


@pytest.mark.parametrize("site, schema", HASH_SITES)
@pytest.mark.parametrize(
    "error", [KeyboardInterrupt, SystemExit, MemoryError, RecursionError, _OwnBaseException, GeneratorExit]
)
def test_fatal_error_in_a_constant_hash_is_raised_by_hash(site, schema, error, monkeypatch):
    validator = Validator(schema)
    with pytest.raises(error):
        _hash(site, validator, error, monkeypatch)
    # Nothing kept from the failed call: the next one hashes again.
    assert hash(validator) == hash(Validator(schema))


@pytest.mark.parametrize("site, schema", HASH_SITES)
@pytest.mark.parametrize("error", [ValueError, TypeError])
def test_ordinary_error_in_a_constant_hash_is_absorbed(site, schema, error, monkeypatch):
    validator = Validator(schema)
    first = _hash(site, validator, error, monkeypatch)
    assert isinstance(first, int)
    assert _hash(site, validator, error, monkeypatch) == first
    assert _hash(site, Validator(schema), error, monkeypatch) == first


def test_first_fatal_error_in_hash_is_raised_and_no_hash_runs_after_it():
    calls, armed = [], [False]

    class Interrupting:
        def __hash__(self):
            if not armed[0]:
                return id(self)
            calls.append(self)
            raise KeyboardInterrupt(self)

    tokens = [Interrupting(), Interrupting(), Interrupting()]
    validator = Validator(Literal[tokens[0]] | Literal[tokens[1]] | list[Literal[tokens[2]]])
    armed[0] = True
    try:
        with pytest.raises(KeyboardInterrupt) as raised:
            hash(validator)
    finally:
        armed[0] = False
    assert calls == [raised.value.args[0]]


def test_predicate_that_asks_questions_while_a_relation_is_decided():
    # Checking a witness runs the predicate in the middle of a decision; the
    # questions it asks use the same per-thread state and must not disturb
    # the outer answer.
    def not_four(x):
        return x != 4

    inner = []
    depth = [0]

    def asking(x):
        # One level deep: the inner questions run this predicate too.
        if depth[0] == 0 and len(inner) < 20:
            depth[0] += 1
            try:
                inner.append(
                    (
                        asks.relation_to(small),
                        small.relation_to(asks),
                        intersection(asks, complement(small)).is_empty(),
                        Validator(list[Annotated[int, at.Ge(x)]]).relation_to(list[int]),
                        asks.is_valid([x]),
                    )
                )
            finally:
                depth[0] -= 1
        return x != 4

    small = Validator(Literal[3, 4, 5] | list[Literal[3, 4]])
    plain = Validator(Annotated[int, at.Predicate(not_four)] | list[Annotated[int, at.Predicate(not_four)]])
    asks = Validator(Annotated[int, at.Predicate(asking)] | list[Annotated[int, at.Predicate(asking)]])
    assert small.relation_to(asks) == small.relation_to(plain) == NOT_SUBSET
    assert inner, "the decision checked no witness"
    assert {answers[:4] for answers in inner} == {(plain.relation_to(small), NOT_SUBSET, False, SUBSET)}


# ---- arguments and compile errors


@pytest.mark.parametrize("method", ["is_subtype_of", "relation_to", "is_equivalent"])
def test_argument_errors(method):
    bound = getattr(Validator(int), method)
    name = f"Validator.{method}()"
    cases = [
        ((), {}, f"{name} missing 1 required positional argument: 'other'"),
        ((int, str), {}, f"{name} takes 1 positional arguments but 2 were given"),
        ((), {"other": int}, f"{name} got some positional-only arguments passed as keyword arguments: 'other'"),
        ((int,), {"budget": 1}, f"{name} got an unexpected keyword argument 'budget'"),
    ]
    for args, kwargs, message in cases:
        with pytest.raises(TypeError) as info:
            bound(*args, **kwargs)
        assert str(info.value) == message


def test_is_empty_takes_no_arguments():
    with pytest.raises(TypeError):
        Validator(int).is_empty(int)


@pytest.mark.parametrize(
    "method, signature",
    [
        ("is_empty", "($self)"),
        ("is_subtype_of", "($self, other, /)"),
        ("relation_to", "($self, other, /)"),
        ("is_equivalent", "($self, other, /)"),
    ],
)
def test_signatures(method, signature):
    assert getattr(Validator, method).__text_signature__ == signature


@pytest.mark.parametrize("method", ["is_subtype_of", "relation_to", "is_equivalent"])
def test_compile_errors_of_other_pass_unchanged(method):
    v = Validator(int)
    with pytest.raises(NotImplementedError, match="a tuple literal is not a schema"):
        getattr(v, method)((int, str))
    # The receiver is untouched by the failed compile.
    assert v.relation_to(int) == SUBSET and repr(v) == "int"


def test_other_object_is_a_one_value_schema():
    marker = object()
    assert Validator(int).is_subtype_of(marker) is False
    assert Validator(marker).is_subtype_of(object) is True
    assert Validator(marker).relation_to(marker) == SUBSET


def test_other_may_be_a_validator_with_its_own_definitions():
    left = recursive(lambda t: int | list[t])
    right = recursive(lambda t: {"n": int, "kids": list[t]})
    # Both bring definition 0; compiled into one list they must not clash.
    assert left.relation_to(INT_STR_TREE) == SUBSET
    assert left.relation_to(right) == NOT_SUBSET
    assert right.relation_to(right) == SUBSET


def test_same_question_from_several_threads():
    v = Validator(Color)
    questions = [
        (Literal[Color.RED, Color.GREEN, Color.BLUE], SUBSET),
        (Literal[Color.RED], NOT_SUBSET),
        (JSON_LIKE, NOT_SUBSET),
    ]
    results = []
    barrier = threading.Barrier(6)

    def ask():
        barrier.wait()
        results.append([v.relation_to(other) for other, _ in questions for _ in range(20)])

    threads = [threading.Thread(target=ask) for _ in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    expected = [answer for _, answer in questions for _ in range(20)]
    assert results == [expected] * 6


# ---- soundness on random schemas
#
# A schema is drawn as a small tree, turned into an annotation, and paired
# with a strategy of values that tend to be its members; membership is
# always decided by is_valid, so the value strategies need not be exact.

SMALL_INTS = st.integers(-6, 6)
SHORT_TEXT = st.text(alphabet="ab", max_size=3)
LITERAL_VALUES = st.sampled_from([0, 1, 2, -1, True, False, None, "a", "b", ""])
TWO53 = 2**53
# Ints and floats around 2**53, where floats stop holding every int.
NEAR_2_53 = st.integers(TWO53 - 3, TWO53 + 3)
FLOAT_BOUNDS = [-1.5, 0, 0.5, 1, 2.0**53, TWO53, TWO53 + 1]
FLOATS = st.one_of(
    st.sampled_from([0.0, -0.0, 0.5, 1.0, -1.5, 2.0**53, 2.0**53 + 2, float("inf"), float("-inf"), float("nan")]),
    st.floats(-3, 3),
)
# Patterns, each with patterns whose strings include all of its own.
WIDER_PATTERNS = {
    "a+": ["a*", "[ab]*", "[ab]+"],
    "[ab]*": ["[ab0-9]*", "(a|b)*"],
    "a|ab": ["ab?", "a[ab]?", "[ab]+"],
    "ab?": ["a|ab", "a.?"],
    "b*a": ["[ab]*", "b*a+"],
    "(ab)+": ["[ab]*", "(ab)*"],
    "[0-9]{2}": ["[0-9]+", "[0-9]{1,3}"],
    "a{0,2}": ["a*", "a{0,3}"],
}
PATTERN_TEXT = st.text(alphabet="ab09", max_size=4)


def _leaf():
    kinds = st.sampled_from(["int", "str", "none", "bool", "float", "bytes"])
    bounds = st.tuples(st.sampled_from(["ge", "le", "gt", "lt", "mul"]), st.integers(-3, 4))
    ranges = st.tuples(st.just("range"), st.integers(-8, 8), st.integers(-8, 8))
    comparisons = st.sampled_from(["ge", "le", "gt", "lt"])
    near = st.tuples(st.just("big"), comparisons, st.integers(-2, 2))
    float_bounds = st.tuples(st.just("fbound"), comparisons, st.sampled_from(FLOAT_BOUNDS))
    divisors = st.sampled_from([2, 3, 4, 6, 2.0, 3.0])
    residues = st.tuples(st.just("rmul"), st.integers(-12, 0), st.integers(0, 12), divisors)
    lengths = st.tuples(st.just("len"), st.integers(0, 2), st.integers(0, 3))
    byte_lengths = st.tuples(st.just("blen"), st.integers(0, 2), st.integers(0, 3))
    patterns = st.sampled_from(sorted(WIDER_PATTERNS)).map(lambda p: ("pat", p))
    literals = st.lists(LITERAL_VALUES, min_size=1, max_size=3).map(lambda v: ("lit", tuple(v)))
    return st.one_of(
        kinds.map(lambda k: (k,)),
        literals,
        bounds.filter(lambda b: b[0] != "mul" or b[1] > 0),
        ranges,
        near,
        float_bounds,
        residues,
        lengths,
        byte_lengths,
        patterns,
    )


def _extend(children):
    pairs = st.tuples(children, children)
    fields = st.lists(
        st.tuples(st.sampled_from("abc"), children, st.booleans()), min_size=0, max_size=3,
        unique_by=lambda f: f[0],
    )
    list_lengths = st.tuples(children, st.integers(0, 2), st.integers(0, 3))
    return st.one_of(
        children.map(lambda c: ("list", c)),
        pairs.map(lambda p: ("tuple", p)),
        children.map(lambda c: ("tuplevar", c)),
        list_lengths.map(lambda t: ("llen", *t)),
        children.map(lambda c: ("set", c)),
        children.map(lambda c: ("frozenset", c)),
        pairs.map(lambda p: ("union", p)),
        fields.map(lambda f: ("record", tuple(f))),
    )


TREES = st.recursive(_leaf(), _extend, max_leaves=6)

_BOUND_TYPES = {"ge": at.Ge, "le": at.Le, "gt": at.Gt, "lt": at.Lt, "mul": at.MultipleOf}
_KIND_TYPES = {"int": int, "str": str, "none": None, "bool": bool, "float": float, "bytes": bytes}


def annotation(tree):
    tag = tree[0]
    if tag in _KIND_TYPES:
        return _KIND_TYPES[tag]
    if tag == "lit":
        return Literal[tree[1]]
    if tag in _BOUND_TYPES:
        return Annotated[int, _BOUND_TYPES[tag](tree[1])]
    if tag == "range":
        return Annotated[int, at.Ge(tree[1]), at.Le(tree[2])]
    if tag == "big":
        return Annotated[int, _BOUND_TYPES[tree[1]](TWO53 + tree[2])]
    if tag == "fbound":
        # The type name keeps typing's cache from handing back an equal
        # annotation made with a bound of the other numeric type.
        return Annotated[float, _BOUND_TYPES[tree[1]](tree[2]), type(tree[2]).__name__]
    if tag == "rmul":
        return Annotated[int, at.Ge(tree[1]), at.Le(tree[2]), at.MultipleOf(tree[3]), type(tree[3]).__name__]
    if tag == "len":
        return Annotated[str, at.MinLen(tree[1]), at.MaxLen(tree[2])]
    if tag == "blen":
        return Annotated[bytes, at.MinLen(tree[1]), at.MaxLen(tree[2])]
    if tag == "pat":
        return Annotated[str, re.compile(tree[1])]
    if tag == "list":
        return list[annotation(tree[1])]
    if tag == "tuple":
        return tuple[tuple(annotation(t) for t in tree[1])]
    if tag == "tuplevar":
        return tuple[annotation(tree[1]), ...]
    if tag == "llen":
        return Annotated[list[annotation(tree[1])], at.MinLen(tree[2]), at.MaxLen(tree[3])]
    if tag == "set":
        return set[annotation(tree[1])]
    if tag == "frozenset":
        return frozenset[annotation(tree[1])]
    if tag == "union":
        return union(*(annotation(t) for t in tree[1]))
    assert tag == "record"
    return {(name if required else name + "?"): annotation(t) for name, t, required in tree[1]}


# Subclasses the walk accepts as their base kinds; each is hashable, so a
# set can hold their instances whatever they hold.
class _SubList(list):
    __hash__ = object.__hash__


class _SubTuple(tuple):
    __hash__ = object.__hash__


class _SubSet(set):
    __hash__ = object.__hash__


class _SubFrozenSet(frozenset):
    pass


class _SubDict(dict):
    __hash__ = object.__hash__


_SUBCLASS = {list: _SubList, tuple: _SubTuple, set: _SubSet, frozenset: _SubFrozenSet, dict: _SubDict}


def _hashable(x):
    try:
        hash(x)
        return x
    except TypeError:
        return _SUBCLASS[type(x)](x)


def _containers(items, make):
    """Containers of the drawn items, plain or of a subclass of the kind."""
    return st.tuples(items, st.booleans()).map(lambda t: (_SUBCLASS[make] if t[1] else make)(t[0]))


def _set_items(tree):
    return st.lists(values(tree), max_size=3).map(lambda xs: [_hashable(x) for x in xs])


def values(tree):
    tag = tree[0]
    if tag in ("int", "range", "rmul") or tag in _BOUND_TYPES:
        return SMALL_INTS
    if tag == "big":
        return st.one_of(NEAR_2_53, SMALL_INTS)
    if tag in ("float", "fbound"):
        return FLOATS
    if tag == "str" or tag == "len":
        return SHORT_TEXT
    if tag in ("bytes", "blen"):
        return st.binary(max_size=3)
    if tag == "pat":
        return st.one_of(st.from_regex(tree[1], fullmatch=True), PATTERN_TEXT)
    if tag == "none":
        return st.none()
    if tag == "bool":
        return st.booleans()
    if tag == "lit":
        return st.sampled_from(tree[1])
    if tag == "list":
        return _containers(st.lists(values(tree[1]), max_size=3), list)
    if tag == "llen":
        return _containers(st.lists(values(tree[1]), max_size=4), list)
    if tag == "tuple":
        return _containers(st.tuples(*(values(t) for t in tree[1])), tuple)
    if tag == "tuplevar":
        return _containers(st.lists(values(tree[1]), max_size=3), tuple)
    if tag == "set":
        return _containers(_set_items(tree[1]), set)
    if tag == "frozenset":
        return _containers(_set_items(tree[1]), frozenset)
    if tag == "union":
        return st.one_of(*(values(t) for t in tree[1]))
    assert tag == "record"
    required = {name: values(t) for name, t, req in tree[1] if req}
    optional = {name: values(t) for name, t, req in tree[1] if not req}
    return st.fixed_dictionaries(required, optional=optional)


def _weaker_bound(op, bound, candidates):
    """Bounds (op, value) whose set holds every value of op(bound)."""
    lower = op in ("ge", "gt")
    out = [("ge" if lower else "le", bound)]
    for v in candidates:
        if (v < bound) if lower else (v > bound):
            out += [("ge", v), ("gt", v)] if lower else [("le", v), ("lt", v)]
    return out


@st.composite
def widened(draw, tree):
    """A tree whose set holds every value of `tree`."""
    tag = tree[0]
    if draw(st.integers(0, 9)) == 0:
        return ("union", (tree, draw(TREES)))
    if tag == "bool":
        return draw(st.sampled_from([tree, ("int",)]))
    if tag == "int":
        return draw(st.sampled_from([tree, ("union", (tree, ("str",)))]))
    if tag == "lit":
        extra = draw(st.lists(LITERAL_VALUES, max_size=2))
        return ("lit", tree[1] + tuple(extra))
    if tag in ("ge", "gt"):
        return draw(st.sampled_from([(tag, tree[1] - draw(st.integers(0, 2))), ("ge", tree[1]), ("int",)]))
    if tag in ("le", "lt"):
        return draw(st.sampled_from([(tag, tree[1] + draw(st.integers(0, 2))), ("le", tree[1]), ("int",)]))
    if tag == "mul":
        divisors = [d for d in range(1, tree[1] + 1) if tree[1] % d == 0]
        return draw(st.sampled_from([("mul", d) for d in divisors] + [("int",)]))
    if tag == "range":
        return draw(st.sampled_from([
            ("range", tree[1] - draw(st.integers(0, 2)), tree[2] + draw(st.integers(0, 2))),
            ("int",),
        ]))
    if tag == "big":
        bounds = _weaker_bound(tree[1], TWO53 + tree[2], [TWO53 + k for k in range(-3, 4)])
        op, bound = draw(st.sampled_from(bounds))
        return draw(st.sampled_from([("big", op, bound - TWO53), ("int",)]))
    if tag == "fbound":
        bounds = _weaker_bound(tree[1], tree[2], FLOAT_BOUNDS)
        return draw(st.sampled_from([("fbound", *b) for b in bounds] + [("float",)]))
    if tag == "rmul":
        d = tree[3]
        divisors = [k for k in range(1, int(d) + 1) if int(d) % k == 0]
        divisor = draw(st.sampled_from(divisors + [float(k) for k in divisors]))
        low, high = tree[1] - draw(st.integers(0, 2)), tree[2] + draw(st.integers(0, 2))
        return draw(st.sampled_from([("rmul", low, high, divisor), ("range", tree[1], tree[2]), ("int",)]))
    if tag == "len":
        return draw(st.sampled_from([("len", max(tree[1] - 1, 0), tree[2] + 1), ("str",)]))
    if tag == "blen":
        return draw(st.sampled_from([("blen", max(tree[1] - 1, 0), tree[2] + 1), ("bytes",)]))
    if tag == "pat":
        return draw(st.sampled_from([("pat", p) for p in [tree[1], *WIDER_PATTERNS[tree[1]]]] + [("str",)]))
    if tag == "list":
        return ("list", draw(widened(tree[1])))
    if tag == "tuple":
        items = tuple(draw(widened(t)) for t in tree[1])
        return draw(st.sampled_from([("tuple", items), ("tuplevar", ("union", items))]))
    if tag == "tuplevar":
        return ("tuplevar", draw(widened(tree[1])))
    if tag == "llen":
        child = draw(widened(tree[1]))
        return draw(st.sampled_from([("llen", child, max(tree[2] - 1, 0), tree[3] + 1), ("list", child)]))
    if tag in ("set", "frozenset"):
        return (tag, draw(widened(tree[1])))
    if tag == "union":
        return ("union", tuple(draw(widened(t)) for t in tree[1]))
    if tag == "record":
        fields = []
        for name, t, required in tree[1]:
            fields.append((name, draw(widened(t)), required and draw(st.booleans())))
        names = {f[0] for f in fields}
        extra = [n for n in "abcd" if n not in names]
        if extra and draw(st.booleans()):
            fields.append((extra[0], draw(TREES), False))
        return ("record", tuple(fields))
    return tree


# TESSOLIN_SOUNDNESS_EXAMPLES raises the count for a long run by hand.
SOUNDNESS = settings(
    max_examples=int(os.environ.get("TESSOLIN_SOUNDNESS_EXAMPLES", "200")),
    deadline=None,
    suppress_health_check=[HealthCheck.too_slow],
)


def _members(v, candidates):
    return [x for x in candidates if v.is_valid(x)]


@SOUNDNESS
@given(st.data())
def test_widened_schema_is_never_refuted(data):
    tree = data.draw(TREES)
    wide = data.draw(widened(tree))
    a, b = Validator(annotation(tree)), Validator(annotation(wide))
    answer = a.relation_to(b)
    assert answer != NOT_SUBSET, (repr(a), repr(b))
    # The construction really widens: members of a stay members of b.
    for x in _members(a, data.draw(st.lists(values(tree), max_size=8))):
        assert b.is_valid(x), (repr(a), repr(b), x)


@SOUNDNESS
@given(st.data())
def test_proved_inclusion_keeps_every_member(data):
    left, right = data.draw(TREES), data.draw(TREES)
    a, b = Validator(annotation(left)), Validator(annotation(right))
    answer = a.relation_to(b)
    assert answer in (SUBSET, NOT_SUBSET, UNDECIDED)
    assert a.is_subtype_of(b) is (answer == SUBSET)
    if answer == SUBSET:
        candidates = data.draw(st.lists(st.one_of(values(left), values(right)), max_size=10))
        for x in _members(a, candidates):
            assert b.is_valid(x), (repr(a), repr(b), x)
    if a.is_equivalent(b):
        assert answer == SUBSET
        candidates = data.draw(st.lists(st.one_of(values(left), values(right)), max_size=10))
        for x in candidates:
            assert a.is_valid(x) == b.is_valid(x), (repr(a), repr(b), x)


@SOUNDNESS
@given(st.data())
def test_proved_emptiness_has_no_member(data):
    left, right = data.draw(TREES), data.draw(TREES)
    v = intersection(annotation(left), annotation(right))
    if v.is_empty():
        candidates = data.draw(st.lists(st.one_of(values(left), values(right)), max_size=10))
        assert _members(v, candidates) == [], repr(v)
        assert v.relation_to(tessolin.nothing) == SUBSET
