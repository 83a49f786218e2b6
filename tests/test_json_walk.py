"""is_valid_json walks parsed JSON values in place; its answers must be the
answers of is_valid on the object json.loads makes of the same document."""

import json
import re
from typing import Annotated, Any, Literal, NotRequired, TypedDict

import annotated_types as at
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from tessolin import Validator, complement, intersection, recursive


class Point(TypedDict):
    x: int
    y: float


class Tagged(TypedDict):
    name: str
    tags: list[str]
    note: NotRequired[str | None]
    where: NotRequired[Point]


class Wide(TypedDict):
    a0: int
    a1: int
    a2: int
    a3: int
    a4: int
    a5: int
    a6: int
    a7: int
    a8: NotRequired[int]
    a9: NotRequired[str]


BIG = 2**70
TWO53 = 2**53

SCHEMAS = [
    Any,
    int,
    float,
    str,
    bool,
    None,
    bytes,
    list[int],
    list[float],
    list[int | str],
    list[Any],
    list[bytes],
    tuple[int, ...],
    set[int],
    frozenset[str],
    dict[str, int],
    dict[str, Any],
    dict[int, int],
    dict[Literal["a", "b"], int],
    dict,
    list,
    object,
    Point,
    Tagged,
    Wide,
    list[Tagged],
    {"a": int, "b?": str},
    {"a": int, "b?": str, str: float},
    {"é": str, "k": int, Literal["x", "y"]: bool},
    Literal[1, 2, "a", "é"],
    Literal[True, None, 0, BIG],
    Literal[1.0, "x"],
    int | None,
    float | str | list[int],
    intersection(dict[str, Any], {"a": int, str: Any}),
    complement(int),
    complement(list[int]),
    recursive(lambda X: int | str | list[X] | dict[str, X]),
    recursive(lambda X: {"v": int, "next?": X}),
    Annotated[int, at.Ge(0)],
    Annotated[int, at.Gt(TWO53)],
    Annotated[int, at.Lt(-BIG)],
    Annotated[int, at.Ge(0.5), at.Le(float(TWO53))],
    Annotated[float, at.Ge(-1), at.Lt(TWO53 + 1)],
    Annotated[float, at.Gt(BIG)],
    Annotated[int | float, at.Le(BIG)],
    Annotated[int | float, at.MultipleOf(3)],
    Annotated[int | float, at.MultipleOf(0.5)],
    Annotated[int, at.MultipleOf(BIG)],
    Annotated[int, at.MultipleOf(2**63)],
    complement(Annotated[int, at.MultipleOf(2**63)]),
    Annotated[str, at.MinLen(2), at.MaxLen(3)],
    Annotated[list[int], at.MinLen(1)],
    Annotated[dict[str, int], at.MaxLen(1)],
    Annotated[str, re.compile(r"[a-zé]+\d?")],
    Annotated[str, re.compile(r"..")],
    Annotated[Any, at.Ge(0)],
    Annotated[Any, at.MinLen(1)],
    Annotated[str, at.Gt("b")],
    Annotated[int, at.Predicate(lambda v: v % 7 != 3)],
    Annotated[list[Annotated[int, at.Ge(0)]], at.MaxLen(3)],
]

VALIDATORS = [Validator(s) for s in SCHEMAS]

# Keys the record schemas above name, so generated objects hit them.
KEYS = st.sampled_from(["a", "b", "x", "y", "v", "k", "é", "name", "tags", "note", "where", "next", "a0", "a8", "z"])
TEXTS = st.one_of(st.sampled_from(["", "a", "b", "x", "é", "ab", "abc", "éé", "a1", "日本", "😀x"]), st.text(max_size=5))
NUMBERS = st.one_of(
    st.integers(-(2**80), 2**80),
    st.sampled_from([0, 1, -1, 2, 3, 7, TWO53, TWO53 + 1, TWO53 - 1, BIG, -BIG, 3 * BIG, 2**63, -(2**63), 2**63 - 1]),
    st.floats(allow_nan=False, allow_infinity=False),
    st.sampled_from([0.5, -0.0, 1.5, float(TWO53), float(BIG), 1e300, -1e300, 3.0]),
)
SCALARS = st.one_of(st.none(), st.booleans(), NUMBERS, TEXTS)
VALUES = st.recursive(
    SCALARS,
    lambda inner: st.one_of(st.lists(inner, max_size=4), st.dictionaries(KEYS, inner, max_size=4)),
    max_leaves=12,
)


@settings(max_examples=400, deadline=None)
@given(VALUES)
def test_in_place_walk_agrees_with_the_object_walk(value):
    doc = json.dumps(value, ensure_ascii=False)
    parsed = json.loads(doc)
    for schema, v in zip(SCHEMAS, VALIDATORS):
        assert v.is_valid_json(doc) is v.is_valid(parsed), (schema, doc)


@settings(max_examples=100, deadline=None)
@given(st.dictionaries(KEYS, SCALARS, min_size=1, max_size=4), st.data())
def test_duplicate_keys_take_the_last_value(obj, data):
    # Repeat some keys with an earlier value; the last one must decide.
    dup = data.draw(st.sampled_from(sorted(obj)))
    earlier = data.draw(SCALARS)
    doc = "{" + json.dumps(dup) + ": " + json.dumps(earlier) + ", " + json.dumps(obj)[1:]
    parsed = json.loads(doc)
    for schema, v in zip(SCHEMAS, VALIDATORS):
        assert v.is_valid_json(doc) is v.is_valid(parsed), (schema, doc)


@pytest.mark.parametrize(
    "schema, doc",
    [
        ({"a": str}, '{"a": "x", "a": 1}'),
        ({"a": int}, '{"a": "x", "a": 1}'),
        ({"a": int}, '{"a": 1, "a": "x"}'),
        (dict[str, int], '{"a": "x", "b": 2, "a": 1}'),
        (Annotated[dict[str, Any], at.MaxLen(1)], '{"a": 1, "a": 2}'),
    ],
)
def test_duplicate_keys_give_the_object_walks_verdict(schema, doc):
    v = Validator(schema)
    assert v.is_valid_json(doc) is v.is_valid(json.loads(doc))


# Each constraint read straight from the JSON value, against Python's answer.
@pytest.mark.parametrize(
    "schema, doc, member",
    [
        # Lengths of strings count code points, not UTF-8 bytes.
        (Annotated[str, at.MaxLen(2)], '"éé"', True),
        (Annotated[str, at.MaxLen(2)], '"日本語"', False),
        (Annotated[str, at.MinLen(2)], '"😀"', False),
        (Annotated[str, at.MinLen(2)], '"\\ud83d\\ude00x"', True),
        (Annotated[Any, at.MinLen(1)], "0", False),
        (Annotated[Any, at.MinLen(1)], "{}", False),
        # Integers beyond the exactly representable floats compare exactly.
        (Annotated[int, at.Gt(float(TWO53))], str(TWO53 + 1), True),
        (Annotated[int, at.Gt(float(TWO53))], str(TWO53), False),
        (Annotated[int, at.Le(float(TWO53))], str(TWO53 + 1), False),
        (Annotated[int, at.Lt(9.2e18)], str(2**63 - 1), False),
        (Annotated[int, at.Ge(-9.3e18)], str(-(2**63)), True),
        (Annotated[float, at.Lt(TWO53 + 1)], "9007199254740992.0", True),
        (Annotated[float, at.Gt(TWO53 + 1)], "9007199254740994.0", True),
        (Annotated[float, at.Ge(2**63)], "9223372036854775808.0", True),
        (Annotated[int, at.Gt(BIG)], str(BIG + 1), True),
        (Annotated[int, at.Gt(BIG)], str(-BIG), False),
        (Annotated[int, at.Lt(BIG)], str(2**63 - 1), True),
        (Annotated[int, at.Gt(-5)], str(-BIG), False),
        (Annotated[float, at.Lt(BIG)], "1e21", True),
        (Annotated[float, at.Lt(BIG)], "1.2e21", False),
        (Annotated[int, at.Ge(0.5)], "true", True),
        (Annotated[int, at.Ge(0.5)], "false", False),
        # -0.0 equals 0; 1e400 parses as inf.
        (Annotated[float, at.Ge(0)], "-0.0", True),
        (Annotated[float, at.Lt(0)], "-0.0", False),
        (Annotated[float, at.Le(1e308)], "1e400", False),
        (Annotated[float, at.Gt(BIG)], "1e400", True),
        (Annotated[float, at.Lt(-BIG)], "-1e400", True),
        # Divisors.
        (Annotated[int, at.MultipleOf(3)], str(3 * BIG), True),
        (Annotated[int, at.MultipleOf(3)], str(3 * BIG + 1), False),
        (Annotated[int, at.MultipleOf(-1)], str(-(2**63)), True),
        (Annotated[int, at.MultipleOf(BIG)], "0", True),
        (Annotated[int, at.MultipleOf(BIG)], "-5", False),
        # -2**63 has the magnitude of 2**63, the first divisor beyond 64 bits.
        (Annotated[int, at.MultipleOf(2**63)], str(-(2**63)), True),
        (Annotated[int, at.MultipleOf(-(2**63))], str(-(2**63)), True),
        (Annotated[int, at.MultipleOf(2**63)], str(-(2**63) + 1), False),
        (complement(Annotated[int, at.MultipleOf(2**63)]), str(-(2**63)), False),
        (Annotated[float, at.MultipleOf(0.5)], "-2.5", True),
        (Annotated[float, at.MultipleOf(0.1)], "0.3", False),
        (Annotated[int, at.MultipleOf(0.5)], "3", True),
        (Annotated[float, at.MultipleOf(3)], "1e400", False),
        # Patterns over non-ASCII text.
        (Annotated[str, re.compile(r"é.")], '"éx"', True),
        (Annotated[str, re.compile(r"..")], '"日本"', True),
        (Annotated[str, re.compile(r"..")], '"日"', False),
        # Text bounds order by code point.
        (Annotated[str, at.Gt("z")], '"é"', True),
        (Annotated[str, at.Lt("\uffff")], '"😀"', False),
    ],
)
def test_constraints_read_from_json_values(schema, doc, member):
    v = Validator(schema)
    assert v.is_valid(json.loads(doc)) is member
    assert v.is_valid_json(doc) is member


def test_a_predicate_sees_the_value_once_converted():
    seen = []

    def probe(value):
        seen.append(value)
        return True

    def other_probe(value):
        seen.append(value)
        return True

    v = Validator(Annotated[list[int], at.Predicate(probe), at.MinLen(1), at.Predicate(other_probe)])
    assert v.is_valid_json("[1, 2]") is True
    assert seen == [[1, 2], [1, 2]]
    # Both predicates were handed the very same converted list.
    assert seen[0] is seen[1]


def test_predicate_fatal_exception_is_raised():
    def stop(value):
        raise KeyboardInterrupt

    v = Validator(list[Annotated[int, at.Predicate(stop)]])
    with pytest.raises(KeyboardInterrupt):
        v.is_valid_json("[1]")


def test_instances_and_objects_see_the_python_types():
    class Meta(type):
        def __instancecheck__(cls, obj):
            return isinstance(obj, list) and len(obj) == 2

    class Pair(metaclass=Meta):
        pass

    cases = [
        (Pair, "[1, 2]", True),
        (Pair, "[1]", False),
        (int, "true", True),
        (dict, "[]", False),
        (Any, "null", True),
    ]
    for schema, doc, member in cases:
        v = Validator(schema)
        assert v.is_valid(json.loads(doc)) is member, (schema, doc)
        assert v.is_valid_json(doc) is member, (schema, doc)


def test_deep_arrays_hit_the_nesting_limit_like_lists():
    schema = recursive(lambda X: int | list[X])
    v = Validator(schema)
    for depth in (100, 170, 171, 300):
        doc = "[" * depth + "1" + "]" * depth
        assert v.is_valid_json(doc) is v.is_valid(json.loads(doc)), depth


def test_large_homogeneous_documents():
    rows = [{"name": f"n{i}", "tags": ["a", "é"], "where": {"x": i, "y": i / 2}} for i in range(2000)]
    v = Validator(list[Tagged])
    doc = json.dumps(rows)
    assert v.is_valid_json(doc) is True
    rows[1999]["where"]["x"] = 1.5
    assert v.is_valid_json(json.dumps(rows)) is False
    assert Validator(list[int]).is_valid_json(json.dumps(list(range(100000)))) is True
    assert Validator(list[int]).is_valid_json(json.dumps(list(range(100000)) + ["x"])) is False
