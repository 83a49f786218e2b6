"""Annotated metadata read into refinements, and the metadata refused."""

import decimal
import re
from typing import Annotated, Literal

import annotated_types as at
import pytest

from tessolin import Validator


class Gt1Lt:
    gt = 1
    lt = None


class WithFunc:
    func = 5


class DictBound:
    def __init__(self):
        self.ge = 3


class Dynamic:
    def __getattr__(self, name):
        if name == "le":
            return 4
        raise AttributeError(name)


def pat(text, flags=0):
    """A pattern-carrying object, for texts that re itself would reject."""
    return type("Pat", (), {"pattern": text, "flags": flags})()


def grouped(*items):
    class Group:
        __is_annotated_types_grouped_metadata__ = True

        def __iter__(self):
            return iter(items)

    return Group()


def nest(levels):
    marker = at.Ge(0)
    for _ in range(levels):
        marker = grouped(marker)
    return marker


@pytest.mark.parametrize(
    "schema, members, non_members",
    [
        (Annotated[int, at.Gt(0), at.Lt(5)], [1, 4], [0, 5, "x"]),
        (Annotated[int, at.Interval(ge=1, le=3)], [1, 3], [0, 4]),
        (Annotated[int, Gt1Lt()], [2], [1]),
        (Annotated[int, DictBound()], [3], [2]),
        (Annotated[int, Dynamic()], [4], [5]),
        (Annotated[list[int], at.Len(1, 2)], [[1], [1, 2]], [[], [1, 2, 3]]),
        (Annotated[dict[str, int], at.MinLen(1)], [{"a": 1}], [{}]),
        (Annotated[int, lambda v: v != 3], [2], [3]),
        (Annotated[int, at.Predicate(lambda v: v > 0)], [1], [0]),
        (Annotated[int, at.Ge(0), "doc"], [0], [-1]),
        (Annotated[int, at.Ge], [-5], []),  # a metadata class is ignored
        (Annotated[int, WithFunc()], [-5], []),  # a non-callable func adds nothing
        (Annotated[Literal[3], at.MultipleOf(2)], [], [3]),
        (Annotated[float, at.MultipleOf(0.5)], [1.5], [1.2]),
        (Annotated[int, grouped(at.Ge(1), at.Le(2))], [1, 2], [0, 3]),
        (Annotated[int, nest(8)], [0], [-1]),  # the innermost marker has seven around it
        (Annotated[str, re.compile("a+b", re.IGNORECASE)], ["AaB", "ab"], ["abc", "b"]),
        (Annotated[str, re.compile(r"\d+ # digits", re.VERBOSE)], ["12"], ["1 2", "x"]),
    ],
)
def test_constraints_read_from_metadata(schema, members, non_members):
    v = Validator(schema)
    for m in members:
        assert v.is_valid(m), m
    for n in non_members:
        assert not v.is_valid(n), n


def test_pattern_matches_in_full_and_only_str():
    v = Validator(Annotated[str, re.compile("ab")])
    S = type("S", (str,), {})
    assert v.is_valid("ab") and v.is_valid(S("ab"))
    assert not v.is_valid("abc") and not v.is_valid("xab") and not v.is_valid(b"ab")


@pytest.mark.parametrize(
    "schema, exc, text",
    [
        (
            Annotated[str, at.Ge(1)],
            NotImplementedError,
            "str values have no order against that bound, so this constraint admits none of them; "
            "constrain a base the constraint can be asked of",
        ),
        (
            Annotated[None | str, at.MultipleOf(2)],
            NotImplementedError,
            "union values have no number for a divisor, so this constraint admits none of them; "
            "constrain a base the constraint can be asked of",
        ),
        (
            Annotated[Literal["a"], at.MultipleOf(2)],
            NotImplementedError,
            "str values have no number for a divisor, so this constraint admits none of them; "
            "constrain a base the constraint can be asked of",
        ),
        (
            Annotated[float, at.MinLen(1)],
            NotImplementedError,
            "float values have no length, so this constraint admits none of them; "
            "constrain a base the constraint can be asked of",
        ),
        (
            Annotated[int, at.Ge(float("nan"))],
            ValueError,
            "ge cannot be nan: every comparison with nan is false, so the bound admits no value at all. "
            "Write the bound you mean, or `nothing` for the empty set",
        ),
        (
            Annotated[int, at.Le(decimal.Decimal("nan"))],
            ValueError,
            "le cannot be nan: every comparison with nan is false, so the bound admits no value at all. "
            "Write the bound you mean, or `nothing` for the empty set",
        ),
        (
            Annotated[str, at.MinLen(-1)],
            ValueError,
            "min_length must be a length a value can have, and -1 is not",
        ),
        (
            Annotated[int, at.MultipleOf(0.0)],
            ValueError,
            "MultipleOf(0) is not a valid constraint: no value is a multiple of zero. Use a nonzero divisor.",
        ),
        (
            Annotated[int, at.MultipleOf(False)],
            ValueError,
            "MultipleOf(0) is not a valid constraint: no value is a multiple of zero. Use a nonzero divisor.",
        ),
        (
            Annotated[int, at.MultipleOf(float("nan"))],
            ValueError,
            "MultipleOf(nan) is not a valid constraint: no value is a multiple of nan, because every comparison "
            "with nan is false. Write the step you mean",
        ),
        (
            Annotated[int, at.MultipleOf("2")],
            ValueError,
            "MultipleOf('2') is not a valid constraint: a multiple is `value % n == 0`, and the remainder of a "
            "value that is not a number equals no zero, so no value would belong. Write the step as a number",
        ),
        (
            Annotated[str, at.Timezone(None)],
            NotImplementedError,
            "Timezone(tz=None) is a constraint this frontend does not check; a schema carrying it would admit "
            "the values it excludes, so it is refused rather than ignored",
        ),
        (
            Annotated[bytes, re.compile(b"ab")],
            NotImplementedError,
            "a bytes pattern cannot constrain a schema: a pattern is matched against text, so write the pattern "
            "as a str",
        ),
        (
            Annotated[str, type("P", (), {"pattern": 5})()],
            NotImplementedError,
            "the pattern 5 cannot constrain a schema: a pattern is matched against text, so write the pattern "
            "as a str",
        ),
        (
            Annotated[str, re.compile("a", re.ASCII)],
            NotImplementedError,
            "re.ASCII cannot be carried into this pattern: write the ASCII spellings ([0-9], [A-Za-z0-9_]) "
            "instead",
        ),
        (
            Annotated[str, pat("[a&&b]")],
            ValueError,
            'possible set intersection at position 2 in "[a&&b]": this is a class-set operator here and a '
            "literal character to `re`, so the two read the pattern as different sets. Escape the characters "
            "to mean them literally, or write the classes out.",
        ),
        (
            Annotated[str, pat("[a--b]", re.IGNORECASE)],
            ValueError,
            'possible set difference at position 6 in "(?i)[a--b]": this is a class-set operator here and a '
            "literal character to `re`, so the two read the pattern as different sets. Escape the characters "
            "to mean them literally, or write the classes out.",
        ),
        (
            Annotated[str, re.compile("[a[b]")],
            ValueError,
            'possible nested set at position 2 in "[a[b]": this is a class-set operator here and a literal '
            "character to `re`, so the two read the pattern as different sets. Escape the characters to mean "
            "them literally, or write the classes out.",
        ),
        (
            Annotated[int, nest(9)],
            ValueError,
            None,
        ),
    ],
)
def test_refused_metadata(schema, exc, text):
    with pytest.raises(exc) as info:
        Validator(schema)
    if text is not None:
        assert str(info.value) == text
    else:
        assert "groups markers nested too deeply" in str(info.value)


@pytest.mark.parametrize("pattern", ["a&&b", r"[a\&&b]"])
def test_class_set_scan_passes(pattern):
    Validator(Annotated[str, pat(pattern)])


# `re` reads each of these as a different set than the engine would, so
# they are refused where the two would disagree.
@pytest.mark.parametrize("pattern, position", [("[]&&]", 2), ("[&&&]", 2), ("[&&b]", 1), ("[^&&b]", 2), ("[[:alpha:]]", 1)])
def test_class_set_scan_positions(pattern, position):
    with pytest.raises(ValueError, match=f"at position {position} in"):
        Validator(Annotated[str, pat(pattern)])


def test_invalid_pattern_is_refused_when_built():
    with pytest.raises(ValueError, match=r'^invalid regular expression "\(ab": '):
        Validator(Annotated[str, pat("(ab")])


def test_mask_cache_full_still_compiles():
    kinds = [type(f"M{i}", (), {"ge": i}) for i in range(300)]
    for k in kinds:
        assert Validator(Annotated[int, k()]).is_valid(1000)
