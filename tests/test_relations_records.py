"""Relations between dicts, records and TypedDicts: listed keys, catch-all
clauses, optional and required keys, the keys True/1 and False/0 that a
dict cannot hold both of, and soundness on random records."""

from typing import Any, Literal, NotRequired, Required, TypedDict

import pytest
import typing_extensions as te
from hypothesis import given
from hypothesis import strategies as st

import tessolin
import test_relations as base
from test_relations import NOT_SUBSET, SOUNDNESS, SUBSET, check_answer
from tessolin import Validator, complement, intersection, union

NOT_INT = complement(int)


class Movie(TypedDict):
    title: str
    year: NotRequired[int]


class MovieByTotal(TypedDict, total=False):
    title: Required[str]
    year: int


class ClosedMovie(te.TypedDict, closed=True):
    title: str
    year: NotRequired[int]


class StrictMovie(te.TypedDict, closed=True):
    title: str
    year: int


class MovieWithIntExtras(te.TypedDict, extra_items=int):
    title: str


# ---- inclusion, both ways

RECORDS = [
    pytest.param(dict[Literal["p", "q"], str], {"p?": str, "q?": str | int}, SUBSET, NOT_SUBSET, id="literal-keys"),
    pytest.param({"k": Literal[1, 2]}, union({"k": Literal[1]}, {"k": Literal[2]}), SUBSET, SUBSET, id="split-value"),
    pytest.param(dict[str, int], dict[str, int | None], SUBSET, NOT_SUBSET, id="wider-values"),
    pytest.param(dict[bool, str], dict[int, str], SUBSET, NOT_SUBSET, id="int-keys-admit-bools"),
    pytest.param(dict[Literal[1], str], dict[bool, str], NOT_SUBSET, NOT_SUBSET, id="one-is-not-true"),
    pytest.param({"a": int}, dict[str, int], SUBSET, NOT_SUBSET, id="closed-record-in-mapping"),
    pytest.param({"a?": int}, dict[str, int], SUBSET, NOT_SUBSET, id="optional-record-in-mapping"),
    pytest.param({"a": int, str: str}, {"a": int, str: str | bytes}, SUBSET, NOT_SUBSET, id="open-record"),
    pytest.param({"a": int, str: int}, dict[str, int], SUBSET, NOT_SUBSET, id="field-and-clause-agree"),
    pytest.param({"a?": int, "b?": int}, union({"a": int, "b?": int}, {"b": int}, {}), SUBSET, SUBSET,
                 id="optional-keys-by-cases"),
    pytest.param({"a?": int, "b?": int}, union({"a": int}, {"b": int}), NOT_SUBSET, SUBSET, id="cases-left-out"),
    pytest.param({"a": int, "b": str}, union({"a": int, "b?": str}, {"b": int}), SUBSET, NOT_SUBSET,
                 id="required-into-optional"),
    pytest.param({"a": int}, {"a": int, "b?": str}, SUBSET, NOT_SUBSET, id="extra-optional-key"),
    pytest.param({"a": bool}, {"a": int}, SUBSET, NOT_SUBSET, id="field-values"),
    pytest.param({"a": int}, {"b": int}, NOT_SUBSET, NOT_SUBSET, id="different-required-keys"),
    pytest.param(dict[None, int], dict[None | str, int], SUBSET, NOT_SUBSET, id="none-keys"),
    pytest.param(dict[bytes, int], dict[str, int], NOT_SUBSET, NOT_SUBSET, id="bytes-are-not-str"),
    pytest.param(dict[Literal[b"a"], int], {"a?": int}, NOT_SUBSET, NOT_SUBSET, id="bytes-key-is-no-field"),
    pytest.param(dict[Any, Any], dict[str, Any], NOT_SUBSET, SUBSET, id="any-keys"),
    # TypedDicts: open ones admit further str keys with any value.
    pytest.param(Movie, MovieByTotal, SUBSET, SUBSET, id="typeddict-required-spelled-two-ways"),
    pytest.param(ClosedMovie, Movie, SUBSET, NOT_SUBSET, id="closed-typeddict-in-open"),
    pytest.param(StrictMovie, ClosedMovie, SUBSET, NOT_SUBSET, id="required-year"),
    pytest.param(ClosedMovie, {"title": str, "year?": int}, SUBSET, SUBSET, id="closed-typeddict-as-record"),
    pytest.param(MovieWithIntExtras, Movie, SUBSET, NOT_SUBSET, id="int-extra-items-within-open"),
    pytest.param(MovieWithIntExtras, {"title": str, str: int}, SUBSET, SUBSET, id="extra-items-as-clause"),
    pytest.param(Movie, {"title": str, "year?": int, str: Any}, SUBSET, SUBSET, id="open-typeddict-as-record"),
]


@pytest.mark.parametrize("a, b, forward, backward", RECORDS)
def test_record_inclusion_both_ways(a, b, forward, backward):
    check_answer(a, b, forward)
    check_answer(b, a, backward)


@pytest.mark.parametrize(
    "a, b, expected",
    [
        ({"k": Literal[1, 2]}, union({"k": Literal[1]}, {"k": Literal[2]}), True),
        (Movie, MovieByTotal, True),
        (ClosedMovie, {"title": str, "year?": int}, True),
        ({"a?": int}, union({"a": int}, {}), True),
        ({"a?": int}, union({"a": int}, {"b": int}), False),
        (dict[Literal[True, False], int], dict[bool, int], True),
        (dict[Literal[0, 1], int], dict[bool, int], False),
    ],
)
def test_record_equivalence(a, b, expected):
    assert Validator(a).is_equivalent(b) is expected
    assert Validator(b).is_equivalent(a) is expected


@pytest.mark.parametrize(
    "schema, expected",
    [
        (intersection(dict[str, int], complement(dict[str, int | None])), True),
        (intersection(dict[str, int], complement(dict[str, int])), True),
        (intersection({"a": int}, {"b": int}), True),
        (intersection({"a": int}, {"a?": int, "b?": int}), False),
        (intersection({"a": int, "b?": str}, {"a": str}), True),
        (intersection(dict[Literal[True], int], dict[Literal[1], int]), False),  # the empty dict
        (intersection({Literal[True]: int}, complement(dict[Any, Any])), True),
        ({"a": tessolin.nothing}, True),
        ({"a?": tessolin.nothing}, False),
        (intersection(dict[bool, int], complement(dict[Literal[True, False], int])), True),
    ],
)
def test_record_emptiness(schema, expected):
    assert Validator(schema).is_empty() is expected


# ---- faults that must stay mended


@pytest.mark.parametrize(
    "a, b",
    [
        # A declared field decides its key alone: the clause naming it again
        # does not narrow it.
        pytest.param({"a": int, Literal["a"]: str}, complement({"a": int}), id="field-named-by-a-clause"),
        # An undeclared key passes through any clause that admits it.
        pytest.param({Literal["x"]: int, Literal["x", "y"]: str}, {"x?": int, "y?": str}, id="two-literal-clauses"),
        pytest.param({Literal["a"]: int, str: str}, complement({"a": str}), id="literal-and-kind-clause"),
    ],
)
def test_key_named_twice_is_admitted_by_every_clause(a, b):
    assert Validator(a).relation_to(b) == NOT_SUBSET


def test_later_candidate_serves_a_selector():
    v = intersection(
        {Literal[True]: int, bool: Any, Literal[1]: int},
        complement(dict[bool, Any]),
        complement(dict[str | Literal[1], Any]),
    )
    assert v.is_valid({1: 5, False: 7})
    assert v.is_empty() is False


@pytest.mark.parametrize(
    "a, b",
    [
        # One key cannot hold a value outside str and outside int at once.
        pytest.param(intersection({"a": int | str}, complement(dict[str, str])), dict[str, int], id="one-shared-key"),
        pytest.param(
            intersection(dict[None, int | str], complement(dict[None, int]), complement(dict[None, str])),
            tessolin.nothing,
            id="one-none-key",
        ),
        # Three values outside each other need three keys; two are listed.
        pytest.param(
            intersection(
                {"a?": int | str | bytes, "b?": int | str | bytes},
                complement(dict[str, str | bytes]),
                complement(dict[str, int | bytes]),
            ),
            dict[str, int | str],
            id="two-keys-two-selectors",
        ),
        pytest.param(
            intersection(
                dict[bool, Any],
                complement({Literal[True]: NOT_INT, Literal[False]: Any}),
                complement({Literal[True]: Any, Literal[False]: NOT_INT}),
                complement(dict[bool, int]),
            ),
            tessolin.nothing,
            id="bools-used-up",
        ),
        # A dict that stores 0 cannot also store False.
        pytest.param(
            intersection({Literal[0]: int, bool: str}, complement(dict[Literal[0] | bool, str])),
            dict[Literal[0, True], Any],
            id="zero-and-false",
        ),
    ],
)
def test_selectors_are_decided_together(a, b):
    assert Validator(a).relation_to(b) == SUBSET


def test_three_selectors_on_two_keys_are_not_all_met():
    two = {"a?": int | str | bytes, "b?": int | str | bytes}
    v = intersection(two, complement(dict[str, str | bytes]), complement(dict[str, int | bytes]),
                     complement(dict[str, int | str]))
    assert v.is_empty() is True
    w = intersection(two, complement(dict[str, str | bytes]), complement(dict[str, int | bytes]))
    assert w.is_valid({"a": 1, "b": "x"}) and w.is_empty() is False


# ---- soundness on random records
#
# Top-level trees add mappings and records with catch-all clauses (and
# unions of them) to the trees of test_relations, whose forms fill the
# values. Membership is always decided by is_valid.

KEY_TEXTS = ["a", "b", "c", "z"]
KEY_SCHEMAS = st.one_of(
    st.sampled_from([("str",), ("int",), ("bool",), ("none",)]),
    st.lists(st.sampled_from(["a", "b", "z", 0, 1, 2, True, False]), min_size=1, max_size=2, unique=True).map(
        lambda keys: ("lit", tuple(keys))
    ),
)
FIELDS = st.lists(st.tuples(st.sampled_from("abc"), base.TREES, st.booleans()), max_size=3, unique_by=lambda f: f[0])
CLAUSES = st.lists(st.tuples(KEY_SCHEMAS, base.TREES), max_size=2, unique_by=lambda c: c[0])
RECORD_TREES = st.recursive(
    st.one_of(
        st.tuples(KEY_SCHEMAS, base.TREES).map(lambda p: ("dict",) + p),
        st.tuples(FIELDS, CLAUSES).map(lambda p: ("rec", tuple(p[0]), tuple(p[1]))),
    ),
    lambda children: st.tuples(children, children).map(lambda p: ("records", p)),
    max_leaves=3,
)


def key_annotation(key_schema):
    if key_schema[0] == "lit":
        return Literal[key_schema[1]]
    return {"str": str, "int": int, "bool": bool, "none": None}[key_schema[0]]


def key_values(key_schema):
    if key_schema[0] == "lit":
        return st.sampled_from(key_schema[1])
    return {
        "str": st.sampled_from(KEY_TEXTS),
        "int": st.sampled_from([0, 1, 2, True, False]),
        "bool": st.booleans(),
        "none": st.none(),
    }[key_schema[0]]


def record_annotation(tree):
    tag = tree[0]
    if tag == "records":
        return union(*(record_annotation(t) for t in tree[1]))
    if tag == "dict":
        return dict[key_annotation(tree[1]), base.annotation(tree[2])]
    schema = {(name if required else name + "?"): base.annotation(t) for name, t, required in tree[1]}
    schema.update({key_annotation(key_schema): base.annotation(t) for key_schema, t in tree[2]})
    return schema


def record_values(tree):
    tag = tree[0]
    if tag == "records":
        return st.one_of(*(record_values(t) for t in tree[1]))
    if tag == "dict":
        return st.dictionaries(key_values(tree[1]), base.values(tree[2]), max_size=3)
    fields = st.fixed_dictionaries(
        {name: base.values(t) for name, t, req in tree[1] if req},
        optional={name: base.values(t) for name, t, req in tree[1] if not req},
    )
    extra_keys = st.one_of(st.sampled_from(KEY_TEXTS), *(key_values(key_schema) for key_schema, _ in tree[2]))
    extra_values = st.one_of(st.integers(0, 2), *(base.values(t) for _, t in tree[2]))
    extras = st.dictionaries(extra_keys, extra_values, max_size=2)
    return st.tuples(extras, fields).map(lambda p: {**p[0], **p[1]})


def clause_admits(clauses, name):
    return any(key_schema[0] == "str" or (key_schema[0] == "lit" and name in key_schema[1]) for key_schema, _ in clauses)


@st.composite
def widened_key(draw, key_schema):
    if key_schema == ("bool",):
        return draw(st.sampled_from([key_schema, ("int",)]))
    if key_schema[0] == "lit":
        extra = draw(st.lists(st.sampled_from(["a", "q", 3, True]), max_size=2))
        return ("lit", tuple(dict.fromkeys(key_schema[1] + tuple(extra))))
    return key_schema


@st.composite
def widened_record(draw, tree):
    """A record tree whose set holds every value of `tree`."""
    tag = tree[0]
    if tag == "records":
        return ("records", tuple(draw(widened_record(t)) for t in tree[1]))
    if tag == "dict":
        return ("dict", draw(widened_key(tree[1])), draw(base.widened(tree[2])))
    fields = [(name, draw(base.widened(t)), required and draw(st.booleans())) for name, t, required in tree[1]]
    clauses = [(key_schema, draw(base.widened(t))) for key_schema, t in tree[2]]
    # A new field decides its key alone: only a key no clause admitted
    # before may become one.
    names = {f[0] for f in fields}
    free = [n for n in "abcd" if n not in names and not clause_admits(clauses, n)]
    if free and draw(st.booleans()):
        fields.append((free[0], draw(base.TREES), False))
    # A new clause must not replace one: equal key annotations (Literal["a", 1]
    # and Literal[1, "a"]) are one dict key of the record literal.
    keys = {key_annotation(key) for key, _ in clauses}
    new_key = draw(KEY_SCHEMAS)
    if key_annotation(new_key) not in keys and draw(st.booleans()):
        clauses.append((new_key, draw(base.TREES)))
    return ("rec", tuple(fields), tuple(clauses))


class LookAlike:
    """Not a str, but hashes and compares like one: never a record's field."""

    def __init__(self, text):
        self.text = text

    def __hash__(self):
        return hash(self.text)

    def __eq__(self, other):
        return other == self.text or (isinstance(other, LookAlike) and other.text == self.text)

    def __repr__(self):
        return f"LookAlike({self.text!r})"


def candidates(data, *trees):
    values = data.draw(st.lists(st.one_of(*(record_values(t) for t in trees)), max_size=10))
    # The same dicts with some str keys swapped for look-alikes.
    for x in list(values):
        texts = sorted(k for k in x if isinstance(k, str)) if isinstance(x, dict) else []
        if texts:
            swapped = data.draw(st.sets(st.sampled_from(texts), min_size=1))
            values.append({LookAlike(k) if k in swapped else k: v for k, v in x.items()})
    return values


@SOUNDNESS
@given(st.data())
def test_widened_record_is_never_refuted(data):
    tree = data.draw(RECORD_TREES)
    wide = data.draw(widened_record(tree))
    a, b = Validator(record_annotation(tree)), Validator(record_annotation(wide))
    assert a.relation_to(b) != NOT_SUBSET, (repr(a), repr(b))
    for x in candidates(data, tree):
        if a.is_valid(x):
            assert b.is_valid(x), (repr(a), repr(b), x)


@SOUNDNESS
@given(st.data())
def test_proved_record_inclusion_keeps_every_member(data):
    left, right = data.draw(RECORD_TREES), data.draw(RECORD_TREES)
    a, b = Validator(record_annotation(left)), Validator(record_annotation(right))
    answer = a.relation_to(b)
    if answer == SUBSET:
        for x in candidates(data, left, right):
            assert not a.is_valid(x) or b.is_valid(x), (repr(a), repr(b), x)


@SOUNDNESS
@given(st.data())
def test_proved_empty_record_difference_has_no_member(data):
    left, right = data.draw(RECORD_TREES), data.draw(RECORD_TREES)
    a, b = record_annotation(left), record_annotation(right)
    for v in (intersection(a, b), intersection(a, complement(b))):
        if v.is_empty():
            assert [x for x in candidates(data, left, right) if v.is_valid(x)] == [], repr(v)

