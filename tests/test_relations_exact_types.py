"""Relations between literals, which admit only their constant's exact type,
and schemas naming subclasses of int, float, str and bytes (enums included).

A literal never meets a class derived from its builtin, and the complement
of a literal holds every subclass instance equal to the constant; answers
are checked against pools of plain values, subclass instances and enum
members."""

import enum
import itertools
from typing import Annotated, Literal

import annotated_types as at
import pytest
from hypothesis import given
from hypothesis import strategies as st

from tessolin import Validator, complement, intersection, union
from test_relations import NOT_SUBSET, SOUNDNESS, SUBSET


class MyInt(int):
    pass


class OtherInt(int):
    """Named by no schema: a fresh subclass instance."""


class MyStr(str):
    pass


class OtherStr(str):
    pass


class MyBytes(bytes):
    pass


class MyFloat(float):
    pass


class IColor(enum.IntEnum):
    ZERO = 0
    ONE = 1
    TWO = 2


class SColor(enum.StrEnum):
    A = "a"


class Color(enum.Enum):
    RED = 1


@pytest.mark.parametrize(
    "left, right, expected",
    [
        (Literal[1, 2], intersection(int, complement(MyInt)), SUBSET),
        (Literal[1], complement(IColor), SUBSET),
        (Literal["a"], complement(MyStr), SUBSET),
        (Literal["a"], complement(SColor), SUBSET),
        (Literal[b"x"], complement(MyBytes), SUBSET),
        (Literal[1.5], complement(MyFloat), SUBSET),
        (intersection(Literal["a"], MyStr), int, SUBSET),
        (set[Literal[1]], union(set[Color], complement(set[IColor])), SUBSET),
        (MyInt, complement(Literal[1]), SUBSET),
        (union(MyStr, Literal["a"]), union(str, Literal[1]), SUBSET),
        # Real counterexamples stay refuted: MyInt(1), IColor.ONE, MyStr("a").
        (int, complement(MyInt), NOT_SUBSET),
        (Annotated[int, at.Ge(1), at.Le(1)], Literal[1, True], NOT_SUBSET),
        (intersection(int, complement(Literal[1])), complement(IColor), NOT_SUBSET),
        (str, Literal["a"], NOT_SUBSET),
        (complement(Literal["a"]), complement(MyStr), NOT_SUBSET),
    ],
    ids=repr,
)
def test_exact_type_literals_against_builtin_subclasses(left, right, expected):
    assert Validator(left).relation_to(right) == expected


@pytest.mark.parametrize(
    "schema, empty",
    [
        (intersection(Literal["a"], MyStr), True),
        (intersection(Literal[1, 2], IColor), True),
        (intersection(Literal[1], complement(int)), True),
        # MyInt(1): the complement of the literal holds subclass instances.
        (intersection(MyInt, complement(Literal[1])), False),
        (intersection(Annotated[int, at.Ge(1), at.Le(1)], complement(Literal[1])), False),
    ],
    ids=repr,
)
def test_emptiness_of_literals_meeting_subclasses(schema, empty):
    v = Validator(schema)
    assert v.is_empty() is empty
    if not empty:
        assert any(v.is_valid(x) for x in (MyInt(1), IColor.ONE))


def test_literal_and_its_range_are_not_equivalent():
    # An IntEnum member equal to 1 is valid in the range only.
    literal, bounded = Validator(Literal[1]), Validator(Annotated[int, at.Ge(1), at.Le(1)])
    assert literal.relation_to(bounded) == SUBSET
    assert not literal.is_equivalent(bounded)
    assert bounded.is_valid(IColor.ONE) and not literal.is_valid(IColor.ONE)


# ---- answers against a pool of values

ATOMS = [
    -1, 0, 1, 2, 3, True, False, None,
    MyInt(0), MyInt(1), MyInt(2), OtherInt(1), OtherInt(3), IColor.ZERO, IColor.ONE, IColor.TWO, Color.RED,
    0.5, 1.5, MyFloat(1.5), 1.0,
    "", "a", "b", "c", MyStr("a"), MyStr("b"), OtherStr("a"), OtherStr("c"), SColor.A,
    b"x", b"", MyBytes(b"x"),
]
# Containers of at most two atoms of each kind (sets only of hashable,
# pairwise unequal ones).
POOL = ATOMS + [[]] + [[x] for x in ATOMS] + [[x, y] for x, y in itertools.combinations(ATOMS, 2)]
POOL += [set()] + [{x} for x in ATOMS] + [{x, y} for x, y in itertools.combinations(ATOMS, 2) if x != y]

LITERAL_CONSTANTS = [0, 1, 2, 1.5, "a", "b", b"x", True, None]
CLASSES = [int, str, float, bytes, MyInt, MyStr, MyFloat, MyBytes, IColor, SColor, Color]


def _one_container_level(scalars):
    """The scalar schemas, and sets and lists of them: the pool holds the
    containers that witness answers one level deep."""
    return st.one_of(scalars, scalars.map(lambda s: set[s]), scalars.map(lambda s: list[s]))


def _literal_made():
    """Schemas built from literals: the left sides."""
    literals = st.lists(st.sampled_from(LITERAL_CONSTANTS), min_size=1, max_size=3).map(lambda v: Literal[tuple(v)])
    scalars = st.recursive(
        literals,
        lambda inner: st.one_of(
            st.tuples(inner, st.sampled_from(CLASSES)).map(lambda p: intersection(*p)),
            st.tuples(inner, st.sampled_from(CLASSES)).map(lambda p: intersection(p[0], complement(p[1]))),
            st.tuples(inner, inner).map(lambda p: union(*p)),
        ),
        max_leaves=4,
    )
    return _one_container_level(scalars)


def _naming_subclasses():
    """Schemas naming builtins, their subclasses and enums: the right sides."""
    leaves = st.one_of(
        st.sampled_from(CLASSES),
        st.lists(st.sampled_from(LITERAL_CONSTANTS), min_size=1, max_size=2).map(lambda v: Literal[tuple(v)]),
        st.tuples(st.integers(0, 2), st.integers(0, 2)).map(lambda b: Annotated[int, at.Ge(b[0]), at.Le(b[1])]),
    )
    scalars = st.recursive(
        leaves,
        lambda inner: st.one_of(
            inner.map(complement),
            st.tuples(inner, inner).map(lambda p: union(*p)),
            st.tuples(inner, inner).map(lambda p: intersection(*p)),
        ),
        max_leaves=4,
    )
    return _one_container_level(scalars)


@SOUNDNESS
@given(_literal_made(), st.one_of(_naming_subclasses(), _literal_made()))
def test_answers_hold_on_the_pool(left, right):
    a, b = Validator(left), Validator(right)
    answer = a.relation_to(b)
    inside = [x for x in POOL if a.is_valid(x)]
    escaping = [x for x in inside if not b.is_valid(x)]
    if answer == SUBSET:
        assert escaping == [], (repr(a), repr(b), escaping[:3])
    elif answer == NOT_SUBSET:
        assert escaping, (repr(a), repr(b))
    if a.is_empty():
        assert inside == [], (repr(a), inside[:3])
