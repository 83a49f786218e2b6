"""Membership checks: validate, is_valid, ensure and `in`, their errors and
the rules that keep a check sound while user code runs inside it."""

import dataclasses
import re
import threading
from typing import Annotated, Any, Literal

import pytest
from annotated_types import Ge, Le, MaxLen, MinLen, MultipleOf, Predicate
from hypothesis import given, settings
from hypothesis import strategies as st

from tessolin import ValidationError, Validator, complement, intersection, recursive, union


def messages(schema, value, fail_fast=False):
    v = Validator(schema)
    with pytest.raises(ValidationError) as info:
        v.validate(value, fail_fast=fail_fast)
    return [e["message"] for e in info.value.errors]


class Foo:
    pass


def raise_value_error(_):
    raise ValueError("bad")


@pytest.mark.parametrize(
    "schema, value, expected",
    [
        (int, "x", ["expected int, got 'x' [int_type]"]),
        (float, 1, ["expected float, got 1 [float_type]"]),
        (bool, 1, ["expected bool, got 1 [bool_type]"]),
        (str, b"x", ["expected str, got b'x' [string_type]"]),
        (bytes, "x", ["expected bytes, got 'x' [bytes_type]"]),
        (None, 0, ["expected None, got 0 [none_type]"]),
        (Foo, 1, ["expected Foo, got 1 [instance_type]"]),
        (Literal[1], True, ["expected the literal 1, got True [literal_error]"]),
        (Literal[1], 1.0, ["expected the literal 1, got 1.0 [literal_error]"]),
        (list[int], (1,), ["expected list, got (1,) [list_type]"]),
        (tuple[int, str], (1,), ["expected tuple of length 2, got (1,) [tuple_length]"]),
        (tuple[int, str], [1, "a"], ["expected tuple, got [1, 'a'] [tuple_type]"]),
        (set[int], [1], ["expected set, got [1] [set_type]"]),
        (frozenset[int], {1}, ["expected frozenset, got {1} [frozen_set_type]"]),
        (dict[str, int], [], ["expected dict, got [] [dict_type]"]),
        ({"a": {"b": list[int]}}, {"a": {"b": [1, "x"]}}, ["at a.b[1]: expected int, got 'x' [int_type]"]),
        ({"a": int}, {}, ['at a: expected required key "a", got missing [missing_key]']),
        ({"a": int}, {"a": 1, "b": 2}, ["at b: expected no unexpected key, got 'b' [extra_forbidden]"]),
        ({"a": list[dict[str, int]]}, {"a": [{"k": "v"}]}, ["at a[0].k: expected int, got 'v' [int_type]"]),
        (dict[str, int], {1: 2}, ["at [1]: expected str, got 1 [string_type]"]),
        (dict[str, int], {True: 2}, ["at [1]: expected str, got True [string_type]"]),
        (dict[str, int], {2**70: 2}, [f"at [{2**70}]: expected str, got {2**70} [string_type]"]),
        (dict[str, int], {(1, 2): 3}, ["at (1, 2): expected str, got (1, 2) [string_type]"]),
        (int | str, 1.5, ["expected one of: int, str, got 1.5 [union_error]"]),
        (Annotated[int, Ge(0)], -1, ["expected >= 0, got -1 [greater_than_equal]"]),
        (Annotated[int, Ge(0)], "x", ["expected int, got 'x' [int_type]"]),
        (Annotated[int, Le(10)], 11, ["expected <= 10, got 11 [less_than_equal]"]),
        (Annotated[str, MinLen(3)], "ab", ["expected length >= 3, got 'ab' [too_short]"]),
        (Annotated[str, MaxLen(2)], "abc", ["expected length <= 2, got 'abc' [too_long]"]),
        (Annotated[int, MultipleOf(3)], 10, ["expected a multiple of 3, got 10 [multiple_of]"]),
        (Annotated[int, Predicate(lambda v: 0)], 5, ["expected a passing predicate, got 5 [predicate_failed]"]),
        (
            Annotated[int, Predicate(raise_value_error)],
            5,
            ["expected a predicate that does not raise (raised ValueError: bad), got 5 [predicate_error]"],
        ),
        (
            Annotated[str, re.compile("ab")],
            "xab",
            ['expected a string matching "ab", got \'xab\' [string_pattern_mismatch]'],
        ),
        (Annotated[str, re.compile("ab")], b"ab", ["expected str, got b'ab' [string_type]"]),
        (complement(str), "x", ["expected not str, got 'x' [unexpected_match]"]),
    ],
)
def test_error_lines(schema, value, expected):
    assert messages(schema, value) == expected


@pytest.mark.parametrize(
    "schema, value, collect_all, fail_fast",
    [
        (
            list[int],
            [1, "x", "y"],
            ["at [1]: expected int, got 'x' [int_type]", "at [2]: expected int, got 'y' [int_type]"],
            ["at [1]: expected int, got 'x' [int_type]"],
        ),
        (
            Annotated[int, Ge(5), MultipleOf(2)],
            3,
            ["expected >= 5, got 3 [greater_than_equal]", "expected a multiple of 2, got 3 [multiple_of]"],
            ["expected >= 5, got 3 [greater_than_equal]"],
        ),
        (
            {"a": int, "b": int},
            {"a": "x", "b": "y"},
            ["at a: expected int, got 'x' [int_type]", "at b: expected int, got 'y' [int_type]"],
            ["at a: expected int, got 'x' [int_type]"],
        ),
        (
            {"a": int},
            {"a": "x", "z": 1},
            ["at a: expected int, got 'x' [int_type]", "at z: expected no unexpected key, got 'z' [extra_forbidden]"],
            ["at a: expected int, got 'x' [int_type]"],
        ),
        (
            set[int],
            {"b", 1, "a"},
            ["expected int, got 'a' [int_type]", "expected int, got 'b' [int_type]"],
            ["expected int, got 'a' [int_type]"],
        ),
    ],
)
def test_collect_all_and_fail_fast(schema, value, collect_all, fail_fast):
    assert messages(schema, value) == collect_all
    assert messages(schema, value, fail_fast=True) == fail_fast
    assert not Validator(schema).is_valid(value)


@pytest.mark.parametrize(
    "schema, value, expected",
    [
        # The list alternative fails one level in: reported unchanged.
        (list[int] | None, [1, "x"], ["at [1]: expected int, got 'x' [int_type]"]),
        # Both fail one level deep: the earlier alternative (canonical order) wins.
        (
            list[int] | tuple[str, ...],
            ["x"],
            ["at [0]: expected int, got 'x' [int_type]"],
        ),
        # A record alternative that gets deeper beats a shallow one.
        (
            union({"a": {"b": int}}, {"a": int}),
            {"a": {"b": "x"}},
            ["at a.b: expected int, got 'x' [int_type]"],
        ),
        # A raising predicate at depth 0 passes through instead of union_error.
        (
            Annotated[int, Predicate(raise_value_error)] | str,
            5,
            ["expected a predicate that does not raise (raised ValueError: bad), got 5 [predicate_error]"],
        ),
    ],
)
def test_union_reports_best_failure(schema, value, expected):
    assert messages(schema, value) == expected


def test_union_description_is_capped():
    schema = Literal[tuple(range(70))]
    (line,) = messages(schema, "no")
    listed = line.split("one of: ", 1)[1].rsplit(", got", 1)[0]
    assert listed.endswith(", ...")
    assert listed.count("the literal") == 64
    v = Validator(schema)
    assert v.is_valid(69) and not v.is_valid(70) and not v.is_valid(True)


def test_union_description_follows_references_only_below_cap():
    # Every alternative names a deep recursive union; the description stops
    # at 64 texts whatever is behind the references.
    alts = [recursive(lambda X, i=i: Literal[tuple(range(i * 100, i * 100 + 70))] | list[X]) for i in range(5)]
    schema = alts[0] | alts[1] | alts[2] | alts[3] | alts[4]
    (line,) = messages(schema, 1.5)
    assert line.endswith("got 1.5 [union_error]")
    assert line.count("the literal") == 64 and ", ..., got" in line


def test_literal_sets_and_walked_alternatives():
    v = Validator(Literal[1, 2, "a", b"x", 2**70])
    for value, member in [(1, True), ("a", True), (b"x", True), (2**70, True), (3, False), ("b", False),
                          (True, False), (2.0, False), ("\ud800", False)]:
        assert v.is_valid(value) is member, value
        assert (value in v) is member


def test_records_keys_and_subclasses():
    v = Validator({"a": int, "b?": str})
    assert v.is_valid({"a": 1}) and v.is_valid({"a": 1, "b": "x"})

    class D(dict):
        pass

    class S(str):
        pass

    class OddHash(str):
        def __hash__(self):
            return 7

    assert v.is_valid(D(a=1))
    assert v.is_valid({S("a"): 1})
    assert not v.is_valid({OddHash("a"): 1})
    assert not v.is_valid({"a": 1, 5: 2})
    open_keys = Validator(dict[str, Any])
    assert open_keys.is_valid({"x": 1, S("y"): [1]}) and not open_keys.is_valid({1: 2})


def test_tuple_and_set_subclasses_use_builtin_contents():
    class LyingTuple(tuple):
        def __len__(self):
            return 0

    class EmptyIterSet(set):
        def __iter__(self):
            return iter(())

    v = Validator(tuple[int, int])
    assert v.is_valid(LyingTuple((1, 2))) and not v.is_valid(LyingTuple((1, "x")))
    s = Validator(set[int])
    assert not s.is_valid(EmptyIterSet({"x"}))
    assert messages(set[int], EmptyIterSet({"x"})) == ["expected int, got 'x' [int_type]"]
    assert Validator(Annotated[str, MaxLen(3)]).is_valid(type("S", (str,), {"__len__": lambda self: 100})("ab"))


def test_list_subclass_items_come_from_storage():
    class Liar(list):
        def __iter__(self):
            return iter([1, 2, 3])

    bad = Liar(["x"])
    v = Validator(list[int])
    # Every mode sees the list's own items, never the subclass's __iter__.
    assert not v.is_valid(bad)
    assert messages(list[int], bad) == ["at [0]: expected int, got 'x' [int_type]"]
    assert Validator(list[int]).is_valid(Liar([1, 2]))


def test_large_lists_both_sides_of_the_snapshot_limit():
    v = Validator(list[int])
    for n in (262144, 262145):
        items = list(range(n))
        assert v.is_valid(items)
        items[-1] = "x"
        assert not v.is_valid(items)


# ---- recursion and nesting limits


def test_cyclic_value_is_a_recursion_loop():
    v = Validator(recursive(lambda X: int | list[X]))
    a = []
    a.append(a)
    assert messages(recursive(lambda X: int | list[X]), a) == [
        "at [0]: expected a finite (non-cyclic) value, got [[[[[[[[[[[[[...]]]]]]]]]]]]] [recursion_loop]"
    ]
    assert not v.is_valid(a)


def test_recursion_guard_limit():
    v = Validator(recursive(lambda X: int | list[X]))
    x = 1
    for _ in range(200):
        x = [x]
    with pytest.raises(ValidationError) as info:
        v.validate(x)
    assert info.value.code == "recursion_limit"
    assert info.value.expected == "at most 128 levels of recursion"
    assert len(info.value.path) == 128
    assert not v.is_valid(x)


def test_nesting_limit_of_the_walk():
    # Four lists per reference: the walk's depth runs out before the guard.
    schema = recursive(lambda X: list[list[list[list[int | X]]]])
    v = Validator(schema)
    shallow = 1
    for _ in range(4 * 40):
        shallow = [shallow]
    assert v.is_valid(shallow)
    deep = 1
    for _ in range(4 * 100):
        deep = [deep]
    with pytest.raises(ValidationError) as info:
        v.validate(deep)
    assert info.value.code == "recursion_limit"
    assert info.value.expected == "at most 512 levels of nesting"
    assert not v.is_valid(deep)


# ---- containers changed while they are checked


def test_list_mutated_by_predicate():
    target = [1, 2, 3]

    def shrink(v):
        target.clear()
        return True

    schema = list[Annotated[int, Predicate(shrink)]]
    assert messages(schema, target) == [
        "expected a value that does not change while it is checked, got [] [mutated_during_validation]"
    ]
    target.extend([1, 2, 3])
    assert not Validator(schema).is_valid(target)


def test_set_mutated_by_predicate():
    target = {1, 2, 3}

    def grow(v):
        target.add(len(target) + 10)
        return True

    schema = set[Annotated[int, Predicate(grow)]]
    (line,) = messages(schema, target)
    assert line.endswith("[mutated_during_validation]")
    assert not Validator(schema).is_valid(target)


def test_dict_cleared_by_predicate_keeps_values_alive():
    # The predicate empties the dict while its values are being checked;
    # the walk holds its own references, so nothing dangles.
    target = {f"k{i}": [i] * 3 for i in range(50)}

    def clear(v):
        target.clear()
        return True

    schema = dict[str, Annotated[list[int], Predicate(clear)]]
    (line,) = messages(schema, target)
    assert line.endswith("[mutated_during_validation]")
    target.update({f"k{i}": [i] for i in range(50)})
    assert not Validator(schema).is_valid(target)

    record_target = {"a": [1], "b": [2]}

    def clear_record(v):
        record_target.clear()
        return True

    record = {"a": Annotated[list[int], Predicate(clear_record)], "b": list[int]}
    assert not Validator(record).is_valid(record_target)


# ---- fatal exceptions


class KeyEqInterrupt(str):
    __hash__ = str.__hash__

    def __eq__(self, other):
        raise KeyboardInterrupt


def interrupt(_):
    raise KeyboardInterrupt


def out_of_memory(_):
    raise MemoryError


class BadRepr:
    def __init__(self, exc):
        self.exc = exc

    def __repr__(self):
        raise self.exc


FATAL_CASES = [
    (Annotated[int, Predicate(interrupt)], 1, KeyboardInterrupt),
    (Annotated[int, Predicate(out_of_memory)], 1, MemoryError),
    (list[Annotated[int, Predicate(out_of_memory)]], [1, 2], MemoryError),
    (dict[str, Annotated[int, Predicate(interrupt)]], {"a": 1}, KeyboardInterrupt),
    # A str key's __eq__ raising KeyboardInterrupt while it is matched to a field.
    ({"a": int}, {KeyEqInterrupt("a"): 1}, KeyboardInterrupt),
]


@pytest.mark.parametrize("schema, value, exc", FATAL_CASES)
@pytest.mark.parametrize(
    "entry",
    [
        lambda v, x: v.validate(x),
        lambda v, x: v.validate(x, fail_fast=True),
        lambda v, x: v.is_valid(x),
        lambda v, x: x in v,
        lambda v, x: v.ensure(x),
    ],
    ids=["validate", "fail_fast", "is_valid", "in", "ensure"],
)
def test_fatal_exceptions_propagate(schema, value, exc, entry):
    with pytest.raises(exc):
        entry(Validator(schema), value)


@pytest.mark.parametrize("exc", [MemoryError, KeyboardInterrupt, SystemExit])
def test_fatal_exception_from_repr_wins_over_validation_error(exc):
    # The union's and the record's reports render the value too.
    for v in (Validator(int), Validator(Literal[1, 2] | str), Validator({"a": int})):
        with pytest.raises(exc):
            v.validate(BadRepr(exc()))


@dataclasses.dataclass
class Link:
    value: int
    next: "Link | None" = None


def linked(n):
    head = None
    for i in range(n):
        head = Link(i, head)
    return head


def test_repr_too_deep_for_the_message_leaves_the_value_unrepresentable():
    # The check never recursed, only the repr written into the message did.
    assert messages(int, linked(5000)) == ["expected int, got <unrepresentable> [int_type]"]
    assert messages(int, BadRepr(RecursionError())) == ["expected int, got <unrepresentable> [int_type]"]
    assert messages({"a": int}, {"a": BadRepr(RecursionError())}) == [
        "at a: expected int, got <unrepresentable> [int_type]"
    ]
    assert messages(Literal[1, 2] | str, linked(5000))[0].endswith("got <unrepresentable> [union_error]")


def test_recursion_error_raised_by_a_check_still_stops_it():
    class Deep:
        @property
        def a(self):
            return self.a

    def recurse(_):
        return recurse(_)

    with pytest.raises(RecursionError):
        Validator(Annotated[int, Predicate(recurse)]).validate(1)
    with pytest.raises(RecursionError):
        Validator(Annotated[object, Predicate(lambda v: v.a)]).validate(Deep())


def test_repr_is_only_read_for_a_report():
    assert Validator(Literal[1, 2] | str).is_valid(BadRepr(MemoryError())) is False
    assert messages(int, BadRepr(ValueError())) == ["expected int, got <unrepresentable> [int_type]"]


def test_first_fatal_exception_is_raised():
    calls = []

    def first(_):
        calls.append(1)
        raise KeyboardInterrupt

    def second(_):
        calls.append(2)
        raise MemoryError

    v = Validator(list[Annotated[int, Predicate(first)]] | list[Annotated[int, Predicate(second)]])
    with pytest.raises(KeyboardInterrupt):
        v.validate([1, 2])
    assert calls == [1]


def test_ordinary_exceptions_are_non_membership():
    class Meta(type):
        def __instancecheck__(cls, obj):
            raise ValueError("no")

    class C(metaclass=Meta):
        pass

    assert messages(C, 1) == ["expected C, got 1 [instance_type]"]
    # A bound that cannot be compared with the value fails the constraint.
    assert messages(Annotated[int | str, Ge(1)], "a") == ["expected >= 1, got 'a' [greater_than_equal]"]
    assert messages(Annotated[Any, MultipleOf(3)], "a") == ["expected a multiple of 3, got 'a' [multiple_of]"]


# ---- entry points


def test_entry_point_results():
    v = Validator(list[int])
    x = [1, 2]
    assert v.validate(x) is None
    assert v.ensure(x) is x
    assert v.is_valid(x) is True and (x in v) is True
    with pytest.raises(ValidationError):
        v.ensure(["a"])


@pytest.mark.parametrize("bad", [1, 0, None, "yes"])
def test_fail_fast_must_be_bool(bad):
    with pytest.raises(TypeError):
        Validator(int).validate(1, fail_fast=bad)


def test_threads_race_on_first_check():
    schema = {"k%d" % i: Literal["a", "b"] | list[int] for i in range(20)}
    value = {"k%d" % i: "a" if i % 2 else [i] for i in range(20)}
    for _ in range(20):
        v = Validator(schema)
        barrier = threading.Barrier(8)
        results = []

        def run():
            barrier.wait()
            results.append(v.is_valid(value))
            try:
                v.validate({**value, "k0": "c"})
            except ValidationError as e:
                results.append(e.code)

        threads = [threading.Thread(target=run) for _ in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert sorted(map(str, results)) == ["True"] * 8 + ["union_error"] * 8


# ---- membership and validate agree

SCHEMAS = [
    int,
    list[int],
    dict[str, int | None],
    {"a": int, "b?": list[str]},
    Literal[1, 2, "x"] | bytes,
    tuple[int, str],
    set[int],
    Annotated[int, Ge(0), MultipleOf(2)],
    list[int | str] | dict[str, list[int]],
    complement(int),
    intersection(list[int], Annotated[list[Any], MinLen(1)]),
]

values = st.recursive(
    st.none() | st.booleans() | st.integers() | st.floats(allow_nan=False) | st.text(max_size=3) | st.binary(max_size=2),
    lambda inner: st.lists(inner, max_size=4)
    | st.tuples(inner, inner)
    | st.dictionaries(st.sampled_from(["a", "b", "c"]) | st.integers(), inner, max_size=3)
    | st.frozensets(st.integers(), max_size=3).map(set),
    max_leaves=10,
)


@settings(max_examples=300, deadline=None)
@given(schema=st.sampled_from(SCHEMAS), value=values)
def test_is_valid_agrees_with_validate(schema, value):
    v = Validator(schema)
    try:
        v.validate(value)
        raised = False
    except ValidationError:
        raised = True
    try:
        v.validate(value, fail_fast=True)
        raised_fast = False
    except ValidationError:
        raised_fast = True
    assert v.is_valid(value) is (not raised)
    assert raised_fast is raised


# ---- which dict keys stand for a declared field
#
# A key stands for field "a" only as a str, or a str subclass instance that
# hashes and compares like the plain str of its text; any other key is
# undeclared, whatever it compares equal to. Exact str keys go the fast road
# (lookups of the interned names), the others the general one (a pass over
# the items), and the report reads the dict again: all three must agree.


class StrSameHash(str):
    pass


class StrOtherHash(str):
    def __hash__(self):
        return hash("other " + str.__str__(self))

    __eq__ = str.__eq__


class StrPosingAsA(str):
    # Text "b", but hashes and compares like "a".
    def __hash__(self):
        return hash("a")

    def __eq__(self, other):
        return other == "a" or str.__eq__(self, other)


class NotStrEqualToA:
    def __hash__(self):
        return hash("a")

    def __eq__(self, other):
        return other == "a" or isinstance(other, NotStrEqualToA)


KEY_KINDS = {
    # kind: (key, stands for "a", is a str)
    "exact str": (lambda: "a", True, True),
    "str subclass hashing like its text": (lambda: StrSameHash("a"), True, True),
    "str subclass hashing otherwise": (lambda: StrOtherHash("a"), False, True),
    "str subclass posing as another text": (lambda: StrPosingAsA("b"), False, True),
    "non-str equal to the name": (NotStrEqualToA, False, False),
    "non-str not equal": (lambda: 7, False, False),
}

# shape: (schema for a required or an optional field "a", whether it admits
# an undeclared key (is it a str?) with the value)
RECORD_SHAPES = {
    "closed": (lambda name: {name: int}, lambda is_str, value: False),
    "open": (lambda name: {name: int, object: object}, lambda is_str, value: True),
    "str-keyed clause": (lambda name: {name: int, str: object}, lambda is_str, value: is_str),
    "general clauses": (
        lambda name: {name: int, str: int, bytes: bytes},
        lambda is_str, value: is_str and isinstance(value, int),
    ),
}


@pytest.mark.parametrize("kind", KEY_KINDS)
@pytest.mark.parametrize("shape", RECORD_SHAPES)
@pytest.mark.parametrize("required", [True, False], ids=["required", "optional"])
@pytest.mark.parametrize("value", [1, "x"])
def test_dict_keys_stand_for_fields_by_their_text(kind, shape, required, value):
    make_key, stands_for_a, is_str = KEY_KINDS[kind]
    make_schema, admits = RECORD_SHAPES[shape]
    v = Validator(make_schema("a" if required else "a?"))
    data = {make_key(): value}
    if stands_for_a:
        expected_codes = [] if isinstance(value, int) else ["int_type"]
    else:
        # The field is missing (when required) and the key is undeclared:
        # reported by its clause or as forbidden unless it is admitted.
        expected_codes = ["missing_key"] * required + ([] if admits(is_str, value) else ["undeclared"])
    assert v.is_valid(data) is (expected_codes == [])
    for fail_fast in (False, True):
        if not expected_codes:
            v.validate(data, fail_fast=fail_fast)
            continue
        with pytest.raises(ValidationError) as info:
            v.validate(data, fail_fast=fail_fast)
        codes = [e["code"] for e in info.value.errors]
        if not stands_for_a:
            # The first clause reports the key and the value.
            rest = [c for c in codes if c != "missing_key"]
            codes = [c for c in codes if c == "missing_key"] + ["undeclared"] * (rest != [])
        assert codes == (expected_codes[:1] if fail_fast else expected_codes)


def test_a_key_equal_to_a_field_name_is_no_proof_against_the_relation():
    data = {NotStrEqualToA(): 1}
    record = Validator({"a": int})
    assert record.relation_to(dict[str, int]) == "subset"
    assert not record.is_valid(data) and not Validator(dict[str, int]).is_valid(data)
    with pytest.raises(ValidationError) as info:
        record.validate(data)
    assert [e["code"] for e in info.value.errors] == ["missing_key", "extra_forbidden"]
