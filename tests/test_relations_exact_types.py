"""Relations between literals, which admit only their constant's exact type,
and schemas naming subclasses of int, float, str and bytes (enums included).

A literal never meets a class derived from its builtin, and the complement
of a literal holds every subclass instance equal to the constant; answers
are checked against pools of plain values, subclass instances and enum
members."""

import enum
import itertools
from typing import Annotated, Any, Literal, TypedDict

import annotated_types as at
import pytest
import typing_extensions as te
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


def _combined(leaves):
    """Complements, unions and intersections of the leaves."""
    return st.recursive(
        leaves,
        lambda inner: st.one_of(
            inner.map(complement),
            st.tuples(inner, inner).map(lambda p: union(*p)),
            st.tuples(inner, inner).map(lambda p: intersection(*p)),
        ),
        max_leaves=4,
    )


def _naming_subclasses():
    """Schemas naming builtins, their subclasses and enums: the right sides."""
    leaves = st.one_of(
        st.sampled_from(CLASSES),
        st.lists(st.sampled_from(LITERAL_CONSTANTS), min_size=1, max_size=2).map(lambda v: Literal[tuple(v)]),
        st.tuples(st.integers(0, 2), st.integers(0, 2)).map(lambda b: Annotated[int, at.Ge(b[0]), at.Le(b[1])]),
    )
    return _one_container_level(_combined(leaves))


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


# ---- dict keys equal to a field name but not of exactly type str
#
# A field is found by dict lookup, so a key equal to its name (a str subclass
# instance, a StrEnum member) is that field; a Literal key admits the exact
# str only, and a clause of kind str admits any str key that is no field.


class SKey(enum.StrEnum):
    A = "a"
    B = "b"


class Movie(te.TypedDict, closed=True):
    a: int


class MaybeMovie(te.TypedDict, total=False, closed=True):
    a: int
    b: str


class OpenMovie(TypedDict):
    a: int


@pytest.mark.parametrize(
    "left, right, expected",
    [
        # {SKey.A: 1} is a member of the record, not of the Literal-keyed dict.
        ({"a?": int}, dict[Literal["a"], int], NOT_SUBSET),
        ({"a": int}, dict[Literal["a"], int], NOT_SUBSET),
        (MaybeMovie, dict[Literal["a", "b"], int | str], NOT_SUBSET),
        (dict[Literal["a"], int], {"a?": int}, SUBSET),
        (dict[Literal["a", "b"], int], {"a?": int, "b?": int}, SUBSET),
        ({"a": int}, dict[str, int], SUBSET),
        (Movie, dict[str, int], SUBSET),
        ({"a?": int, str: str}, dict[str, str], NOT_SUBSET),
        # The field decides a key equal to its name: the catch-all never sees it.
        ({"a?": int, str: str}, union({"a?": int}, dict[str, str]), NOT_SUBSET),
        (intersection({"a": int}, dict[str, int]), {"a": int}, SUBSET),
        (intersection({"a?": int}, dict[Literal["a"], int]), dict[Literal["a"], int], SUBSET),
    ],
    ids=repr,
)
def test_keys_equal_to_a_field_name(left, right, expected):
    assert Validator(left).relation_to(right) == expected


def test_record_and_literal_keyed_dict_differ_on_subclass_keys():
    rec, lit = Validator({"a?": int}), Validator(dict[Literal["a"], int])
    for key in (SKey.A, MyStr("a")):
        assert rec.is_valid({key: 1}) and not lit.is_valid({key: 1})
    assert not rec.is_equivalent(lit)
    assert lit.is_subtype_of(rec)
    # {MyStr("a"): 1} is a member.
    meet = Validator(intersection({"a": int}, complement(dict[Literal["a"], int])))
    assert not meet.is_empty()
    assert meet.is_valid({MyStr("a"): 1}) and meet.is_valid({SKey.A: 1})


KEYS = ["a", "b", "c", MyStr("a"), OtherStr("b"), MyStr("c"), SKey.A, SKey.B]
VALUES = [1, "x", None]
DICT_POOL = [{}] + [{k: v} for k in KEYS for v in VALUES]
DICT_POOL += [
    {k1: v1, k2: v2}
    for k1, k2 in itertools.combinations(KEYS, 2)
    if k1 != k2
    for v1 in VALUES
    for v2 in VALUES
]

_DICT_VALUES = [int, str, Literal[1], Any]
_KEYED = st.sampled_from(_DICT_VALUES).flatmap(
    lambda v: st.sampled_from(
        [
            {"a": v},
            {"a?": v},
            {"a?": v, "b?": v},
            {"a": v, str: str},
            {"a?": v, Any: Any},
            dict[Literal["a"], v],
            dict[Literal["a", "b"], v],
            dict[Literal["a"] | str, v],
            dict[str, v],
        ]
    )
)


def _dict_schemas():
    return _combined(st.one_of(_KEYED, st.sampled_from([Movie, MaybeMovie, OpenMovie])))


def _proofs_hold(a, b, pool):
    """Every proof about a and b agrees with the pool: subset, emptiness and
    equivalence."""
    inside = [x for x in pool if a.is_valid(x)]
    if a.relation_to(b) == SUBSET:
        escaping = [x for x in inside if not b.is_valid(x)]
        assert escaping == [], (repr(a), repr(b), escaping[:3])
    if a.is_empty():
        assert inside == [], (repr(a), inside[:3])
    if a.is_equivalent(b):
        differing = [x for x in pool if a.is_valid(x) != b.is_valid(x)]
        assert differing == [], (repr(a), repr(b), differing[:3])


@SOUNDNESS
@given(_dict_schemas(), _dict_schemas())
def test_dict_proofs_hold_on_subclass_keys(left, right):
    _proofs_hold(Validator(left), Validator(right), DICT_POOL)


# ---- enums whose _missing_ makes members their iteration never yields


def _made_member(cls, value):
    """A member made on lookup, which iterating the class never yields."""
    member = object.__new__(cls)
    member._value_ = value
    member._name_ = f"V{value}"
    return member


class Made(enum.Enum):
    A = 1
    _missing_ = classmethod(_made_member)


class MadeByBase(enum.Enum):
    _missing_ = classmethod(_made_member)


class MadeInherited(MadeByBase):
    A = 1


class Plain(enum.Enum):
    RED = 1
    GREEN = 2


def test_enums_that_make_members_are_not_listed():
    made = Made(5)
    assert Validator(Made).is_valid(made) and not Validator(Literal[Made.A]).is_valid(made)
    assert not Validator(Made).is_equivalent(Literal[Made.A])
    assert Validator(complement(Literal[Made.A])).relation_to(complement(Made)) != SUBSET
    assert not Validator(MadeInherited).is_equivalent(Literal[MadeInherited.A])
    assert Validator(intersection(Made, complement(Literal[Made.A]))).is_empty() is False
    # Listing still decides plain enums and the stdlib's int and str enums.
    assert Validator(Plain).is_equivalent(Literal[Plain.RED, Plain.GREEN])
    assert Validator(complement(Literal[Plain.RED, Plain.GREEN])).relation_to(complement(Plain)) == SUBSET


ENUM_POOL = [Made.A, Made(5), Made(7), MadeInherited.A, MadeInherited(3), Plain.RED, Plain.GREEN, 1, 5, "x", None]


def _enum_schemas():
    leaves = [Made, MadeInherited, Plain, Literal[Made.A], Literal[MadeInherited.A], Literal[Plain.RED]]
    return _combined(st.sampled_from([*leaves, Literal[Plain.RED, Plain.GREEN], int]))


@SOUNDNESS
@given(_enum_schemas(), _enum_schemas())
def test_enum_proofs_hold_on_made_members(left, right):
    _proofs_hold(Validator(left), Validator(right), ENUM_POOL)
