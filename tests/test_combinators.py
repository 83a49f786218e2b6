"""Validators built from others: union, intersection, complement, `|`,
recursive fixpoints, type aliases, embedded validators, and the rewrites
open, close and simplify."""

import threading
import warnings
from typing import Annotated, Any, Literal, Never, Union

import annotated_types as at
import pytest

import tessolin
from tessolin import Validator, complement, intersection, recursive, union

NOT_CONTRACTIVE = (
    "recursive schema is not contractive: the recursive reference must occur under a structural constructor "
    "(a list, tuple, set, dict, record, or object)"
)
ALIAS_NOT_CONTRACTIVE = (
    "recursive type alias is not contractive: the alias names itself outside any structural constructor, so it "
    "denotes no set. Put the self-reference under a list, tuple, set, dict, record, or object"
)
UNRESOLVED = (
    "schema holds an unresolved recursive placeholder: the validator a recursive(...) builder receives stands for "
    "the schema being defined and is only meaningful inside that call. Build the schema that uses it inside the "
    "builder, and use the validator recursive(...) returns outside."
)
SIMPLIFY_DEPRECATED = (
    "Validator.simplify is deprecated and is removed in the next minor version: a schema is built in the lattice "
    "normal form, so `repr` already shows it, and `is_empty`/`is_subtype_of`/`is_equivalent` decide what this "
    "folds and more."
)


# ---- set operations


@pytest.mark.parametrize(
    "built, expected",
    [
        (union(), tessolin.nothing),
        (intersection(), tessolin.anything),
        (union(int), Validator(int)),
        (intersection(int), Validator(int)),
        (union(int, str), union(str, int)),
        (union(int, str), Validator(int | str)),
        (union(int, union(str, bytes)), Validator(int | str | bytes)),
        (union(int, tessolin.nothing), Validator(int)),
        (intersection(int, tessolin.anything), Validator(int)),
        (union(int, tessolin.anything), tessolin.anything),
        (intersection(int, tessolin.nothing), tessolin.nothing),
        (union(int, complement(int)), tessolin.anything),
        (intersection(int, complement(int)), tessolin.nothing),
        (complement(complement(int)), Validator(int)),
        (complement(tessolin.anything), tessolin.nothing),
        (complement(tessolin.nothing), tessolin.anything),
        (Validator(int) | Validator(int), Validator(int)),
        (Validator(int) | str, Validator(int | str)),
        (str | Validator(int), Validator(int | str)),
        (Validator(int) | 5, union(int, 5)),
        (5 | Validator(int), union(int, 5)),
    ],
)
def test_combinator_identities(built, expected):
    assert built == expected
    assert repr(built) == repr(expected)


@pytest.fixture(scope="module")
def many_complements():
    return [complement(Literal[i]) for i in range(3000)]


@pytest.mark.parametrize("value", [0, 1499, 2999])
def test_a_pair_among_many_complements_settles(many_complements, value):
    assert union(*many_complements, Literal[value]) == tessolin.anything
    assert intersection(Literal[value], *many_complements) == tessolin.nothing


def test_many_complements_without_a_closed_pair_stay(many_complements):
    class Plain:
        pass

    others = [Literal[3000], list[Plain], complement(list[Plain])]
    joined = union(*many_complements, *others)
    met = intersection(*others, *many_complements)
    assert joined != tessolin.anything and met != tessolin.nothing
    assert repr(met).count("complement(") == 3001


def test_combinator_reprs():
    assert repr(union()) == "nothing"
    assert repr(intersection()) == "anything"
    assert repr(complement(int)) == "complement(int)"
    assert repr(intersection(list[int], complement(list[bool]))) == "intersection(list[int], complement(list[bool]))"
    assert repr(Validator(int) | 5) == "int | Literal[5]"


def test_union_membership_and_literal_operand():
    v = Validator(int) | "x"
    assert v.is_valid(3) and v.is_valid("x")
    assert not v.is_valid("y")
    assert complement(int).is_valid("y")
    assert not complement(int).is_valid(3)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: union(x=int), "union() got an unexpected keyword argument 'x'"),
        (lambda: intersection(int, x=int), "intersection() got an unexpected keyword argument 'x'"),
        (lambda: complement(), "complement() missing 1 required positional argument: 'schema'"),
        (lambda: complement(int, str), "complement() takes 1 positional arguments but 2 were given"),
        (lambda: complement(schema=int), None),
        (lambda: recursive(), "recursive() missing 1 required positional argument: 'builder'"),
    ],
)
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    if message is not None:
        assert str(info.value) == message


def test_or_without_validator_is_not_implemented():
    assert Validator.__or__(Validator(int), 1) == union(int, 1)
    with pytest.raises(TypeError):
        object() | object()


def test_operand_errors_pass_through_unchanged():
    v = Validator(int)
    with pytest.raises(NotImplementedError):
        v | (1,)
    with pytest.raises(NotImplementedError):
        union(int, {int})
    with pytest.raises(NotImplementedError):
        complement(list["x"])
    assert v == Validator(int)


def test_results_are_finalised():
    v = Validator(int)
    with pytest.raises(ValueError) as info:
        for _ in range(40):
            v = union(v, [v, v])
    assert str(info.value).startswith("schema is too large: this validator spans ")


@pytest.mark.parametrize(
    "function, signature, first_line",
    [
        (union, "(*schemas)", "The union of the given schemas: a value in at least one of their sets."),
        (intersection, "(*schemas)", "The intersection of the given schemas: a value in every one of their sets."),
        (complement, "(schema, /)", "The complement of a schema: every value not in its set."),
        (recursive, "(builder, /)", "Build a recursive schema as a checked fixpoint."),
        (Validator.open, "($self)", "Open every record in the schema: undeclared keys are admitted throughout,"),
        (Validator.close, "($self)", "Close every record in the schema: only declared keys are admitted"),
        (Validator.simplify, "($self)", "An equivalent validator reduced by the lattice laws. **Deprecated.**"),
    ],
)
def test_docstrings(function, signature, first_line):
    assert function.__text_signature__ == signature
    assert function.__doc__.splitlines()[0] == first_line


# ---- recursion


@pytest.mark.parametrize(
    "builder, text",
    [
        (lambda T: int, "recursive(lambda X: int)"),
        (lambda T: list[T] | int, "recursive(lambda X: int | list[X])"),
        (lambda T: {"next?": T}, "recursive(lambda X: {'next?': X})"),
        (lambda T: [int, T, ...], "recursive(lambda X: [int, X, ...])"),
        (lambda T: dict[str, T] | None, "recursive(lambda X: None | dict[str, X])"),
        (lambda T: tuple[int, T] | None, "recursive(lambda X: None | tuple[int, X])"),
        (lambda T: frozenset[T], "recursive(lambda X: frozenset[X])"),
    ],
)
def test_recursive_builds(builder, text):
    assert repr(recursive(builder)) == text


@pytest.mark.parametrize(
    "builder",
    [
        lambda T: T,
        lambda T: T | int,
        lambda T: intersection(T, list[int]),
        lambda T: complement(T),
        lambda T: Validator(T) | None,
    ],
)
def test_recursive_refuses_unguarded_reference(builder):
    with pytest.raises(ValueError) as info:
        recursive(builder)
    assert str(info.value) == NOT_CONTRACTIVE


def test_recursive_membership():
    tree = recursive(lambda T: list[T] | int)
    assert tree.is_valid([1, [2, [3, []]]])
    assert not tree.is_valid([1, ["x"]])
    linked = recursive(lambda T: {"value": int, "next?": T})
    assert linked.is_valid({"value": 1, "next": {"value": 2}})
    assert not linked.is_valid({"value": 1, "next": {"value": "x"}})


def test_builder_exception_propagates_and_leaves_nothing_live():
    kept = []

    def builder(T):
        kept.append(T)
        raise KeyError("boom")

    with pytest.raises(KeyError):
        recursive(builder)
    # The placeholder is dead once the call is over.
    with pytest.raises(ValueError) as info:
        Validator(list[kept[0]])
    assert str(info.value) == UNRESOLVED


def test_builder_must_be_callable():
    with pytest.raises(TypeError):
        recursive(5)


def test_placeholder_is_usable_only_inside_the_builder():
    inside = []

    def builder(T):
        inside.append(Validator(list[T]))
        return list[T] | int

    recursive(builder)
    assert repr(inside[0]) == "list[<...>]"
    T = []
    recursive(lambda X: T.append(X) or int)
    with pytest.raises(ValueError) as info:
        Validator(list[T[0]])
    assert str(info.value) == UNRESOLVED
    with pytest.raises(ValueError):
        union(int, T[0])


def test_placeholder_is_live_only_on_the_builder_thread():
    errors = []

    def elsewhere(T):
        try:
            Validator(list[T])
        except ValueError as e:
            errors.append(str(e))

    def builder(T):
        worker = threading.Thread(target=elsewhere, args=(T,))
        worker.start()
        worker.join()
        return list[T]

    recursive(builder)
    assert errors == [UNRESOLVED]


def test_nested_recursive_builders():
    v = recursive(lambda X: {"children": list[X], "meta": recursive(lambda Y: list[Y] | int)})
    assert repr(v) == "recursive(lambda X: {'children': list[X], 'meta': recursive(lambda Y: int | list[Y])})"
    assert v.is_valid({"children": [{"children": [], "meta": [1, [2]]}], "meta": 3})


# ---- type aliases

type IntTree = list[IntTree] | int
type Plain = list[int]
type Loop = Loop | int
type Forest = list[Node]
type Node = Forest | int
type Later = list[NotYetDefined]  # noqa: F821


def test_self_naming_alias():
    v = Validator(IntTree)
    assert repr(v) == "recursive(lambda X: int | list[X])"
    assert v == recursive(lambda T: list[T] | int)
    assert v.is_valid([1, [2, []]])
    assert not v.is_valid(["a"])


def test_alias_without_self_reference_is_its_value():
    assert Validator(Plain) == Validator(list[int])
    assert repr(Validator(Plain)) == "list[int]"


def test_alias_not_contractive():
    with pytest.raises(ValueError) as info:
        Validator(Loop)
    assert str(info.value) == ALIAS_NOT_CONTRACTIVE


def test_mutually_naming_aliases():
    v = Validator(Forest)
    assert repr(v) == "recursive(lambda X: list[int | X])"
    assert repr(Validator(Node)) == "recursive(lambda X: int | list[X])"
    assert v.is_valid([[1, [2]], 3])
    assert not v.is_valid([["x"]])


def test_alias_whose_value_fails_then_succeeds():
    global NotYetDefined
    with pytest.raises(NameError):
        Validator(Later)
    NotYetDefined = int
    try:
        assert Validator(Later) == Validator(list[int])
    finally:
        del NotYetDefined


# ---- embedding validators


def test_embedded_validator_equals_its_schema():
    inner = Validator({"a": int})
    assert Validator(list[inner]) == Validator(list[{"a": int}])
    assert Validator({"x": inner, "y?": inner}) == Validator({"x": {"a": int}, "y?": {"a": int}})


def test_embedded_recursive_validator_shares_its_definitions():
    tree = recursive(lambda T: list[T] | int)
    # Each embedding would otherwise add one more definition, well past the
    # limit of 128.
    many = union(*[tree] * 200, *[list[tree]] * 200)
    assert many == union(tree, list[tree])
    assert repr(Validator(tree)) == repr(tree)


def test_embedding_two_recursive_validators_keeps_both():
    a = recursive(lambda T: list[T] | int)
    b = recursive(lambda T: set[T] | None | frozenset[T])
    both = union(a, b)
    assert both.is_valid([1, [2]])
    assert both.is_valid({frozenset()})
    assert not both.is_valid([{None}])
    assert repr(both) == f"{a!r} | {b!r}"


def test_embedding_shares_pooled_constants():
    lit = Validator(7)
    assert Validator([lit, 7]) == Validator([7, 7])
    assert union(lit, 7) == Validator(7)


# ---- open and close


@pytest.mark.parametrize(
    "schema, opened",
    [
        ({"a": int}, "{'a': int, anything: anything}"),
        (dict[str, int], "{str: int, complement(str): anything}"),
        ({"a": int, str: object}, "{'a': int, anything: anything}"),
        (list[{"a": int}], "list[{'a': int, anything: anything}]"),
        (dict[str, {"a": int}], "{str: {'a': int}, complement(str): anything}"),
        (union(int, {"b?": str}), "int | {'b?': str, anything: anything}"),
        (int, "int"),
    ],
)
def test_open(schema, opened):
    v = Validator(schema)
    assert repr(v.open()) == opened
    assert v.open().open() == v.open()
    assert v == Validator(schema)


def test_close_drops_a_clause_merged_into_the_rest():
    # Opening merges (str, anything) into the rest clause; closing then
    # drops the whole: the rewrite works on the schema as written.
    v = Validator({"a": int, str: object})
    assert repr(v.open().close()) == "{'a': int}"
    assert repr(v.close()) == "{'a': int, str: anything}"


@pytest.mark.parametrize(
    "schema, closed",
    [
        (dict[str, int], "dict[str, int]"),
        ({"a": int}, "{'a': int}"),
        (dict, "{}"),
        ({"a": int, str: object}, "{'a': int, str: anything}"),
    ],
)
def test_close(schema, closed):
    assert repr(Validator(schema).close()) == closed


def test_open_close_membership():
    v = Validator({"a": int})
    assert not v.is_valid({"a": 1, "b": 2})
    assert v.open().is_valid({"a": 1, "b": 2, 3: None})
    assert not v.open().close().is_valid({"a": 1, "b": 2})
    assert v.open().close() == v


def test_open_rewrites_recursive_definitions():
    v = recursive(lambda T: {"next?": T})
    opened = v.open()
    assert opened.is_valid({"next": {"extra": 1}})
    assert not v.is_valid({"next": {"extra": 1}})
    assert opened.close() == v


def test_open_and_close_return_new_validators():
    v = Validator(int)
    assert v.open() is not v
    assert v.close() is not v
    assert v.open() == v


# ---- simplify


def test_simplify_warns_once_per_call():
    v = complement(union(int, str))
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        simplified = v.simplify()
    assert len(caught) == 1
    assert caught[0].category is DeprecationWarning
    assert str(caught[0].message) == SIMPLIFY_DEPRECATED
    assert len(SIMPLIFY_DEPRECATED) == 228
    assert caught[0].filename == __file__
    assert repr(simplified) == "intersection(complement(int), complement(str))"


def test_simplify_as_error_raises_before_rewriting():
    v = Validator(int)
    with warnings.catch_warnings():
        warnings.simplefilter("error", DeprecationWarning)
        with pytest.raises(DeprecationWarning) as info:
            v.simplify()
    assert str(info.value) == SIMPLIFY_DEPRECATED


@pytest.mark.parametrize(
    "schema, text",
    [
        (intersection(list[int], complement(list[bool])), "intersection(list[int], complement(list[bool]))"),
        (complement(intersection(list[int], set[int])), "anything"),
        (recursive(lambda T: list[complement(complement(T))]), "recursive(lambda X: list[X])"),
        (Validator(int), "int"),
    ],
)
def test_simplify_results(schema, text):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        assert repr(schema.simplify()) == text


# ---- the compile-work bound counts what is kept, not how many calls it took

_REPEATS = 400001  # one past the work bound of a build (4 * MAX_SCHEMA_NODES)
_ANNOTATED_REPEATS = _REPEATS // 2 + 1  # two calls each: Annotated and int


def _size_message(count):
    return (
        f"schema is too large: this validator spans {count} nodes, past the limit of {tessolin.MAX_SCHEMA_NODES}. "
        "A schema this large comes from combining a validator with itself in an unbounded loop, which doubles its "
        "size each step; building it would exhaust memory."
    )


@pytest.mark.parametrize(
    "build, expected",
    [
        (lambda: union(*[int] * _REPEATS), int),
        (lambda: intersection(*[int] * _REPEATS), int),
        (lambda: union(*[int, str] * _REPEATS), int | str),
        (lambda: Validator(str) | Union[tuple(Annotated[int, f"m{i}"] for i in range(_ANNOTATED_REPEATS))], int | str),
        (lambda: Validator(list[Union[tuple(Annotated[int, f"m{i}"] for i in range(_ANNOTATED_REPEATS))]]), list[int]),
        # A complementary pair settles the union to anything; a later Any keeps its flag.
        (lambda: union(int, complement(int), *[str] * _REPEATS, Any), Any),
    ],
    ids=["union", "intersection", "union-of-two", "or-typing-union", "nested-typing-union", "pair-then-any"],
)
def test_repeated_members_within_the_limit_compile(build, expected):
    assert build() == Validator(expected)


def test_pair_then_any_keeps_the_any_text():
    assert repr(union(int, complement(int), *[str] * _REPEATS, Any)) == repr(Validator(Any))


@pytest.mark.parametrize(
    "build, size",
    [
        # Kept members: the union node and its members.
        (lambda: union(*[Literal[i] for i in range(100001)]), 100002),
        (lambda: Validator(Union[tuple(Literal[i] for i in range(100001))]), 100002),
        (lambda: Validator(int) | Union[tuple(Literal[i] for i in range(100001))], 100003),
        # Many members past the limit: each is gathered once, not merged again with all before it.
        (lambda: union(*range(101000)), 101001),
        (lambda: union(*range(200000)), 200001),
        (lambda: Validator(Union[tuple(Literal[i] for i in range(130000))]), 130001),
        (lambda: union(*[Validator(Literal[i]) for i in range(130000)]), 130001),
        (lambda: intersection(*[Annotated[int, at.Ge(i)] for i in range(150000)]), 450001),
        (lambda: union(*[list[Literal[i]] for i in range(52000)]), 104001),
        # Kept members past the work bound: refused there, before the rest are compiled.
        (lambda: union(*range(500000)), 4 * tessolin.MAX_SCHEMA_NODES + 1),
    ],
    ids=["union", "typing-union", "or", "many", "twice-the-limit", "many-typing-union", "many-validators",
         "many-bounds", "many-lists", "past-the-bound"],
)
def test_members_kept_past_the_limit_are_refused_with_the_size(build, size):
    with pytest.raises(ValueError) as info:
        build()
    assert str(info.value) == _size_message(size)


@pytest.mark.parametrize(
    "build, text",
    [
        (lambda: union(*range(102000), Any), "Any"),
        (lambda: union(*range(102000), int, complement(int)), "anything"),
        # Settled by a pair between two merges of the gathered members.
        (lambda: union(*range(150000), int, complement(int), *range(150000, 300000)), "anything"),
        (lambda: intersection(*[Annotated[int, at.Ge(i)] for i in range(150000)], Never), "nothing"),
    ],
    ids=["then-any", "then-pair", "pair-between-merges", "then-never"],
)
def test_members_past_the_limit_settled_by_a_later_member_compile(build, text):
    assert repr(build()) == text


def test_repeated_huge_member_is_still_stopped_early():
    # Each member spans 2**17 + ... nodes once built; the early stop refuses
    # after a bounded amount of work, naming nodes already built.
    class Plain:
        pass

    member = Plain
    for _ in range(18):
        member = Annotated[[member, member], "m"]
    with pytest.raises(ValueError) as info:
        union(*[member] * 1000)
    spans = int(str(info.value).split("spans ")[1].split(" ")[0])
    assert tessolin.MAX_SCHEMA_NODES < spans <= 1000 * (2**19 - 1)
