"""Relations the schema-level decisions leave open and the descriptor
algebra settles: bounds against bounds, residues, lengths against patterns,
ints against floats near 2**53, literal sets against ranges; and the
questions it must leave undecided (constants it cannot describe, classes
whose instance test it cannot follow, ints that Python rounds)."""

import abc
import re
import threading
from typing import Annotated, Literal

import annotated_types as at
import pytest

from tessolin import Validator, complement, intersection, union

SUBSET, NOT_SUBSET, UNDECIDED = "subset", "not_subset", "undecided"
TWO53 = 2**53


def pattern(text):
    return re.compile(text)


# (a, b, a within b, b within a). No row rests on the documented limits:
# a range is never claimed within a literal set, since an int subclass
# instance lies in the range and in no Literal.
TABLE = [
    pytest.param(Annotated[int, at.Ge(10), at.Le(20)], Annotated[int, at.Gt(9)], SUBSET, NOT_SUBSET, id="bounds"),
    pytest.param(Annotated[int, at.Gt(9), at.Lt(21)], Annotated[int, at.Ge(10), at.Le(20)], SUBSET, SUBSET,
                 id="strict-and-closed-bounds"),
    pytest.param(Annotated[int, at.MultipleOf(10)], Annotated[int, at.MultipleOf(5)], SUBSET, NOT_SUBSET,
                 id="residues"),
    pytest.param(Annotated[int, at.MultipleOf(6)], Annotated[int, at.MultipleOf(4)], NOT_SUBSET, NOT_SUBSET,
                 id="residues-apart"),
    pytest.param(Annotated[int, at.Ge(1), at.Le(20), at.MultipleOf(6)], Annotated[int, at.MultipleOf(3)], SUBSET,
                 NOT_SUBSET, id="bounded-residue"),
    pytest.param(Annotated[int, at.Ge(0), at.Lt(5)], union(bool, Annotated[int, at.Ge(2), at.Le(4)]), NOT_SUBSET,
                 SUBSET, id="bools-in-a-range"),
    pytest.param(Annotated[str, pattern("[0-9]{4}")], Annotated[str, at.MinLen(4), at.MaxLen(4)], SUBSET,
                 NOT_SUBSET, id="pattern-within-lengths"),
    pytest.param(Annotated[str, pattern("a|ab")], Annotated[str, pattern("ab?")], SUBSET, SUBSET,
                 id="patterns-one-set"),
    pytest.param(Annotated[str, pattern("x+")], Annotated[str, pattern("[xy]*")], SUBSET, NOT_SUBSET,
                 id="patterns-nested"),
    pytest.param(Annotated[str, at.MaxLen(3), pattern("a*")], Annotated[str, pattern("a{0,3}")], SUBSET, SUBSET,
                 id="length-and-pattern"),
    pytest.param(Annotated[bytes, at.MinLen(1), at.MaxLen(2)], Annotated[bytes, at.MaxLen(3)], SUBSET, NOT_SUBSET,
                 id="bytes-lengths"),
    # ints against floats near 2**53: float bounds compare exactly with ints
    pytest.param(Annotated[float, at.Ge(TWO53 + 1)], Annotated[float, at.Gt(float(TWO53))], SUBSET, SUBSET,
                 id="float-no-float-between"),
    pytest.param(Annotated[float, at.Gt(TWO53)], Annotated[float, at.Ge(TWO53 + 2)], SUBSET, SUBSET,
                 id="float-next-after-2**53"),
    pytest.param(Annotated[int, at.Ge(TWO53 + 1)], Annotated[int, at.Gt(TWO53)], SUBSET, SUBSET,
                 id="int-bounds-at-2**53"),
    pytest.param(Annotated[int, at.Gt(TWO53)], Annotated[int, at.Ge(TWO53 + 2)], NOT_SUBSET, SUBSET,
                 id="int-2**53+1-between"),
    pytest.param(Annotated[float, at.Le(TWO53 + 1)], Annotated[float, at.Lt(TWO53 + 2)], SUBSET, SUBSET,
                 id="float-upper-bounds"),
    # literal sets against ranges; True == 1, but a Literal admits its type alone
    pytest.param(Literal[1, 2, 3], Annotated[int, at.Ge(1), at.Le(3)], SUBSET, NOT_SUBSET, id="literals-in-range"),
    pytest.param(Literal[0, 5, 10], Annotated[int, at.MultipleOf(5)], SUBSET, NOT_SUBSET, id="literals-residue"),
    pytest.param(Literal[True], Annotated[int, at.Ge(1), at.Le(3)], SUBSET, NOT_SUBSET, id="true-is-in-a-range"),
    pytest.param(Literal[2, 4], Annotated[int, at.Ge(3)], NOT_SUBSET, NOT_SUBSET, id="literals-partly-in"),
    pytest.param(Literal[1.5, 2.5], Annotated[float, at.Gt(1)], SUBSET, NOT_SUBSET, id="float-literals"),
]


@pytest.mark.parametrize("a, b, forward, backward", TABLE)
def test_relations_both_ways(a, b, forward, backward):
    va, vb = Validator(a), Validator(b)
    assert va.relation_to(b) == forward
    assert vb.relation_to(a) == backward
    assert va.is_subtype_of(b) is (forward == SUBSET)
    assert va.is_equivalent(b) is (forward == SUBSET and backward == SUBSET)
    assert vb.is_equivalent(a) is (forward == SUBSET and backward == SUBSET)


# Each a refuted above has a witness that the validators agree on.
@pytest.mark.parametrize(
    "a, b, witness",
    [
        (Annotated[int, at.Gt(9)], Annotated[int, at.Ge(10), at.Le(20)], 21),
        (Annotated[int, at.MultipleOf(5)], Annotated[int, at.MultipleOf(10)], 5),
        (Annotated[int, at.Ge(1), at.Le(3)], Literal[1, 2, 3], True),
        (Annotated[int, at.Gt(TWO53)], Annotated[int, at.Ge(TWO53 + 2)], TWO53 + 1),
        (Annotated[str, at.MinLen(4), at.MaxLen(4)], Annotated[str, pattern("[0-9]{4}")], "abcd"),
    ],
)
def test_refutations_have_witnesses(a, b, witness):
    assert Validator(a).is_valid(witness) and not Validator(b).is_valid(witness)
    assert Validator(a).relation_to(b) == NOT_SUBSET


@pytest.mark.parametrize(
    "schema, empty",
    [
        (Annotated[int, at.Ge(7), at.Le(9), at.MultipleOf(10)], True),
        (Annotated[int, at.Ge(7), at.Le(10), at.MultipleOf(10)], False),
        (intersection(Annotated[str, pattern("x+")], Annotated[str, pattern("y*z")]), True),
        (intersection(Annotated[str, pattern("[0-9]+")], Annotated[str, at.MaxLen(0)]), True),
        (intersection(Annotated[str, pattern("x*")], Annotated[str, at.MaxLen(0)]), False),
        (Annotated[float, at.Gt(TWO53), at.Lt(TWO53 + 2)], True),  # no float strictly between
        (Annotated[int, at.Gt(TWO53), at.Lt(TWO53 + 2)], False),
        (intersection(Annotated[int, at.MultipleOf(4)], Annotated[int, at.Ge(1), at.Le(3)]), True),
    ],
)
def test_is_empty(schema, empty):
    assert Validator(schema).is_empty() is empty


# A pattern admits str values only: bytes never match, so a pattern over
# str | bytes is the same set as over str.
def test_pattern_over_str_and_bytes_admits_no_bytes():
    both = Validator(Annotated[str | bytes, pattern("ab")])
    assert both.is_valid("ab") and not both.is_valid(b"ab")
    assert both.is_equivalent(Annotated[str, pattern("ab")])
    assert both.relation_to(str) == SUBSET
    assert Validator(Literal[b"ab"]).relation_to(both) == NOT_SUBSET


# Python's int % float rounds the int to a double first: beyond 2**53 the
# two divisors disagree both ways, so neither inclusion may be proved. The
# marker metadata keeps Annotated's cache from handing back an equal object
# (MultipleOf(3) == MultipleOf(3.0)).
def divisible(divisor, low=None, high=None):
    bounds = [at.Ge(low)] if low is not None else []
    bounds += [at.Le(high)] if high is not None else []
    return Annotated[int, *bounds, at.MultipleOf(divisor), type(divisor).__name__]


def test_float_divisor_on_ints_beyond_2_53():
    by_float, by_int = Validator(divisible(3.0)), Validator(divisible(3))
    assert by_float.is_valid(TWO53 + 3) and not by_int.is_valid(TWO53 + 3)
    assert by_int.is_valid(TWO53 + 1) and not by_float.is_valid(TWO53 + 1)
    assert by_float.relation_to(by_int) != SUBSET
    assert by_int.relation_to(by_float) != SUBSET
    # Where every int is a double, the two are one set.
    assert Validator(divisible(3.0, -TWO53, TWO53)).is_equivalent(divisible(3, -TWO53, TWO53))
    assert Validator(divisible(3.0, 0, 30)).relation_to(divisible(3)) == SUBSET
    # One int past them, and the answer is not proved.
    past_int, past_float = Validator(divisible(3, 0, TWO53 + 1)), Validator(divisible(3.0, 0, TWO53 + 1))
    assert past_int.is_valid(TWO53 + 1) and not past_float.is_valid(TWO53 + 1)
    assert past_int.relation_to(past_float) != SUBSET


class Base:
    pass


class LyingMeta(type):
    """A metaclass whose __mro__ claims a base the class does not have; its
    instance checks stay the standard ones."""

    @property
    def __mro__(cls):
        return (cls, Base, object)


class Liar(metaclass=LyingMeta):
    pass


def test_classes_are_placed_by_their_real_mro():
    assert Base in Liar.__mro__ and not issubclass(Liar, Base)
    assert not Validator(Base).is_valid(Liar())
    assert not intersection(Liar, complement(Base)).is_empty()
    assert Validator(Liar).relation_to(Base) != SUBSET


class MyInt(int):
    pass


class Registry(abc.ABC):
    pass


class Plain:
    pass


Registry.register(Plain)
BIG = 2**63
SURROGATE = "\ud800"


# The oracle declines what the algebra cannot describe exactly: each
# question is asked with such a constant and, as a control, with a plain
# one the algebra settles.
@pytest.mark.parametrize(
    "a, b_declined, b_plain, plain_answer",
    [
        # an int of 64 bits or more, as a literal and as a bound
        (Annotated[int, at.Ge(0), at.Le(3)], union(Literal[BIG], Annotated[int, at.Ge(0), at.Le(2)]),
         union(Literal[5], Annotated[int, at.Ge(0), at.Le(2)]), NOT_SUBSET),
        (Annotated[int, at.Ge(BIG), at.Le(BIG + 4)], Annotated[int, at.MultipleOf(2)],
         None, None),
        # a str holding a lone surrogate
        (Annotated[str, at.MaxLen(1)], union(Literal[SURROGATE], Annotated[str, at.MinLen(1)]),
         union(Literal["x"], Annotated[str, at.MinLen(1)]), NOT_SUBSET),
        # an instance of a subclass of int, as a literal and as a bound
        (Annotated[int, at.Ge(0), at.Le(5)], union(Literal[MyInt(5)], Annotated[int, at.Ge(0), at.Le(4)]),
         union(Literal[6], Annotated[int, at.Ge(0), at.Le(4)]), NOT_SUBSET),
        (Annotated[int, at.Ge(MyInt(3)), at.Le(9)], Annotated[int, at.MultipleOf(3)], None, None),
    ],
)
def test_constants_the_oracle_declines(a, b_declined, b_plain, plain_answer):
    assert Validator(a).relation_to(b_declined) == UNDECIDED
    if b_plain is not None:
        assert Validator(a).relation_to(b_plain) == plain_answer


def test_class_with_its_own_instance_check_is_undecided():
    # Plain is a Registry by registration, which no MRO shows.
    assert isinstance(Plain(), Registry) and Registry not in Plain.__mro__
    assert Validator(Plain).relation_to(Registry) == UNDECIDED
    assert not intersection(Plain, complement(Registry)).is_empty()


def test_shared_validators_asked_from_several_threads():
    asked = [(Validator(p.values[0]), p.values[1], p.values[2]) for p in TABLE]
    barrier = threading.Barrier(6)
    results = []

    def ask():
        barrier.wait()
        results.append([v.relation_to(other) for _ in range(5) for v, other, _ in asked])

    threads = [threading.Thread(target=ask) for _ in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    expected = [answer for _ in range(5) for _, _, answer in asked]
    assert results == [expected] * 6
