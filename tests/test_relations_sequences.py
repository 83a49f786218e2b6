"""Relations between lists, tuples, sets and frozensets that the descriptor
algebra settles: fixed tuples against variadic ones, length refinements
against tuple shapes, element kinds of sets, and sets apart from frozensets;
with a witness for each refutation that the validators agree on."""

from typing import Annotated, Literal

import annotated_types as at
import pytest

from tessolin import Validator, complement, intersection, union

SUBSET, NOT_SUBSET, UNDECIDED = "subset", "not_subset", "undecided"
# Truly not_subset, where the proof may not be found.
MAYBE_NOT = frozenset({NOT_SUBSET, UNDECIDED})

# The schema-level decisions alone leave bounds like these undecided.
WIRED = Validator(Annotated[int, at.Ge(10), at.Le(20)]).is_subtype_of(Annotated[int, at.Gt(9)])
pytestmark = pytest.mark.skipif(not WIRED, reason="relations do not ask the descriptor algebra")


def lengths(base, low=None, high=None):
    bounds = [at.MinLen(low)] if low is not None else []
    bounds += [at.MaxLen(high)] if high is not None else []
    return Annotated[base, *bounds]


# (a, b, a within b, b within a)
TABLE = [
    # fixed tuples against variadic ones and unpacked tails
    pytest.param(tuple[int, str], tuple[str, ...], NOT_SUBSET, NOT_SUBSET, id="fixed-against-other-tail"),
    pytest.param(tuple[int, int], tuple[int, ...], SUBSET, NOT_SUBSET, id="fixed-within-tail"),
    pytest.param(tuple[int, str], tuple[int, *tuple[str, ...]], SUBSET, NOT_SUBSET, id="prefix-then-tail"),
    pytest.param(tuple[int, *tuple[str, ...]], tuple[int | str, ...], SUBSET, NOT_SUBSET, id="tail-within-wider"),
    pytest.param(tuple[int, *tuple[int, ...]], lengths(tuple[int, ...], 1), SUBSET, SUBSET, id="prefix-is-min-len"),
    pytest.param(tuple[bool, int, bool], tuple[int, *tuple[int, ...]], SUBSET, NOT_SUBSET, id="items-meet-tail"),
    pytest.param(tuple[int, ...], tuple[str, ...], NOT_SUBSET, NOT_SUBSET, id="tails-share-the-empty-tuple"),
    pytest.param(tuple[()], intersection(tuple[int, ...], tuple[str, ...]), SUBSET, SUBSET, id="only-empty-shared"),
    pytest.param(tuple[int | str, int | str], union(tuple[int, int], tuple[str, str]), NOT_SUBSET, SUBSET,
                 id="product-not-covered"),
    pytest.param(tuple[int | str], union(tuple[int], tuple[str]), SUBSET, SUBSET, id="product-covered"),
    # length refinements against tuple and list shapes
    pytest.param(union(lengths(list[int], 1), lengths(list[int], None, 0)), list[int], SUBSET, SUBSET,
                 id="min-1-or-max-0"),
    pytest.param(lengths(tuple[int, ...], 2, 2), tuple[int, int], SUBSET, SUBSET, id="exact-length"),
    pytest.param(lengths(tuple[int, ...], None, 1), union(tuple[()], tuple[int]), SUBSET, SUBSET, id="at-most-one"),
    pytest.param(lengths(list[int], 2), lengths(list[int], 1), SUBSET, NOT_SUBSET, id="min-lengths"),
    pytest.param(lengths(list[int], None, 2), lengths(list[int | str], None, 3), SUBSET, NOT_SUBSET,
                 id="max-lengths"),
    pytest.param(lengths(list[int], None, 0), lengths(list[str], None, 0), SUBSET, SUBSET, id="only-the-empty-list"),
    pytest.param(lengths(tuple[int, ...], 3), tuple[int, int], NOT_SUBSET, NOT_SUBSET, id="too-long"),
    pytest.param(list[int], tuple[int, ...], NOT_SUBSET, NOT_SUBSET, id="list-is-not-tuple"),
    # sets and frozensets
    pytest.param(set[bool], set[int], SUBSET, NOT_SUBSET, id="set-elements"),
    pytest.param(set[Literal[1, 2]], set[int], SUBSET, NOT_SUBSET, id="set-of-literals"),
    # {1, "a"} needs two elements, one outside each of set[int] and set[str];
    # an int and a str are never one value, unlike True and 1.
    pytest.param(union(set[int], set[str]), set[int | str], SUBSET, NOT_SUBSET, id="mixed-set"),
    pytest.param(frozenset[bytes | None], union(frozenset[bytes], frozenset[None]), NOT_SUBSET, SUBSET,
                 id="mixed-frozenset"),
    # {1, 0.5} is a member of neither, but 1 == 1.0 puts ints and floats in
    # one group, whose two witnesses are not taken as proof.
    pytest.param(union(set[int], set[float]), set[int | float], SUBSET, MAYBE_NOT, id="mixed-numbers"),
    pytest.param(frozenset[int], set[int], NOT_SUBSET, NOT_SUBSET, id="frozenset-is-not-set"),
    pytest.param(lengths(set[int], 1), set[str], NOT_SUBSET, NOT_SUBSET, id="nonempty-set-against-other"),
    pytest.param(lengths(set[int], 1), complement(set[str]), SUBSET, MAYBE_NOT, id="nonempty-set-outside"),
    pytest.param(set[list[int]], set[str], NOT_SUBSET, NOT_SUBSET, id="set-of-lists"),
]


@pytest.mark.parametrize("a, b, forward, backward", TABLE)
def test_relations_both_ways(a, b, forward, backward):
    va, vb = Validator(a), Validator(b)
    for got, expected in ((va.relation_to(b), forward), (vb.relation_to(a), backward)):
        assert got in expected if isinstance(expected, frozenset) else got == expected
    assert va.is_subtype_of(b) is (forward == SUBSET)
    assert va.is_equivalent(b) is (forward == SUBSET and backward == SUBSET)
    assert vb.is_equivalent(a) is (forward == SUBSET and backward == SUBSET)


class HashableList(list):
    __hash__ = object.__hash__


@pytest.mark.parametrize(
    "a, b, witness",
    [
        (tuple[int, str], tuple[str, ...], (1, "a")),
        (tuple[str, ...], tuple[int, str], ()),
        (tuple[int, ...], tuple[int, int], (1,)),
        (tuple[int | str, int | str], union(tuple[int, int], tuple[str, str]), (1, "a")),
        (list[int | str], list[int], ["a"]),
        (lengths(list[int], 1), lengths(list[int], 2), [1]),
        (set[int], set[bool], {2}),
        (set[int], frozenset[int], set()),
        (lengths(set[int], 1), set[str], {1}),
        (set[list[int]], set[str], {HashableList([1])}),
        (set[int | str], union(set[int], set[str]), {1, "a"}),
        (frozenset[bytes | None], union(frozenset[bytes], frozenset[None]), frozenset({b"a", None})),
    ],
)
def test_refutations_have_witnesses(a, b, witness):
    assert Validator(a).is_valid(witness) and not Validator(b).is_valid(witness)
    assert Validator(a).relation_to(b) == NOT_SUBSET


@pytest.mark.parametrize(
    "schema, empty",
    [
        (intersection(tuple[int, str], tuple[str, ...]), True),
        (intersection(tuple[int, ...], tuple[str, ...]), False),  # the empty tuple
        (intersection(lengths(tuple[int, ...], 1), tuple[str, ...]), True),
        (intersection(lengths(set[int], 1), set[str]), True),
        (intersection(set[int], set[str]), False),  # the empty set
        (intersection(frozenset[int], set[int]), True),
        (intersection(lengths(list[int], 2), lengths(list[int], None, 1)), True),
        (lengths(tuple[int, int], 3), True),
        (intersection(set[int], complement(set[int])), True),
    ],
)
def test_is_empty(schema, empty):
    assert Validator(schema).is_empty() is empty


def test_set_needing_two_elements_that_are_one_value_is_not_refuted():
    # Every member is {1} (== {True}): escaping set[bool] needs 1, and then
    # True is the same element, so no member lies outside set[not bool].
    a = intersection(set[Literal[True, 1]], complement(set[bool]))
    b = set[complement(bool)]
    assert Validator(a).is_valid({1}) and Validator(b).is_valid({1})
    assert not Validator(a).is_valid({True})
    assert Validator(a).relation_to(b) != NOT_SUBSET


class EqualsEverything(str):
    def __eq__(self, other):
        return True

    def __hash__(self):
        return 0


def test_set_whose_witnesses_a_subclass_eq_merges_is_not_refuted():
    # A str subclass's instances may equal an int: {EqualsEverything("a"), 0}
    # holds one element, so every member lies in one of the two sets.
    a = set[EqualsEverything | Literal[0]]
    b = union(set[EqualsEverything], set[Literal[0]])
    assert len({EqualsEverything("a"), 0}) == 1
    assert Validator(a).relation_to(b) != NOT_SUBSET
