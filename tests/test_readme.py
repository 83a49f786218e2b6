"""The README's code runs, and the limits and behaviours it states in words
hold for the built module: each claim below is found in the README's text and
then checked."""

import enum
import json
import pathlib
import re
import runpy
import typing
from typing import Annotated, Literal

import annotated_types as at
import pytest

import tessolin
from tessolin import ValidationError, Validator, complement, recursive, union

README = (pathlib.Path(__file__).resolve().parent.parent / "README.md").read_text()
BLOCKS = re.findall(r"```python\n(.*?)```", README, re.S)
# The prose with its line breaks and list indents folded to single spaces.
PROSE = " ".join(README.split())


@pytest.mark.parametrize("block", BLOCKS, ids=[f"block{i}" for i in range(len(BLOCKS))])
def test_code_blocks_run(block, tmp_path, capsys):
    # As a module of its own, so that the forward references of a class
    # body resolve against it.
    path = tmp_path / "readme_block.py"
    path.write_text(block)
    runpy.run_path(str(path), run_name="readme_block")


def nested_lists(n):
    value = 1
    for _ in range(n):
        value = [value]
    return value


def first_failure(v, value):
    with pytest.raises(ValidationError) as info:
        v.validate(value)
    return info.value


def check_recursion_entries():
    v = Validator(recursive(lambda t: union(int, [t])))
    assert v.is_valid(nested_lists(127))
    error = first_failure(v, nested_lists(128))
    assert (error.code, error.expected) == ("recursion_limit", "at most 128 levels of recursion")


def check_schema_levels():
    v = Validator(recursive(lambda t: union(int, [union(int, [t])])))
    assert v.is_valid(nested_lists(203))
    error = first_failure(v, nested_lists(204))
    assert (error.code, error.expected) == ("recursion_limit", "at most 512 levels of nesting")


def check_json_nesting():
    v = Validator(object)
    assert v.is_valid_json("[" * 200 + "]" * 200)
    assert v.is_valid_json("{\"a\": " * 200 + "1" + "}" * 200)
    with pytest.raises(ValidationError) as info:
        v.validate_json("[" * 201 + "]" * 201)
    assert (info.value.code, info.value.value) == ("json_invalid", "recursion limit exceeded at line 1 column 201")
    assert not v.is_valid_json("{\"a\": " * 201 + "1" + "}" * 201)


def check_json_integer_text():
    v = Validator(int)
    for text in ("9" * 4300, "-" + "9" * 4299):
        assert v.is_valid_json(text)
    for text in ("9" * 4301, "-" + "9" * 4300):
        assert not v.is_valid_json(text)


def check_schema_limits():
    assert (tessolin.MAX_SCHEMA_DEPTH, tessolin.MAX_DEFINITIONS, tessolin.MAX_SCHEMA_NODES) == (128, 128, 100000)


def check_literal_codes():
    assert first_failure(Validator(Literal["a"]), "c").code == "literal_error"
    error = first_failure(Validator(Literal["a", "b"]), "c")
    assert (error.code, error.expected) == ("union_error", "one of: the literal 'a', the literal 'b'")


def check_union_report():
    tagged_a = {"kind": Literal["a"], "x": int}
    tagged_b = {"kind": Literal["b"], "y": str}
    # The deepest alternative's failures; on a tie the one repr shows first.
    deep = first_failure(Validator(union(tagged_a, tagged_b)), {"kind": "a", "x": "s"})
    assert [(e["code"], e["path"]) for e in deep.errors] == [("int_type", ("x",))]
    # {"kind": "b", "y": 1} fails one level deep in both: the tag of the
    # first, the value of "y" in the second.
    meant_for_b = {"kind": "b", "y": 1}
    for first, second, reported in ((tagged_a, tagged_b, "literal_error"), (tagged_b, tagged_a, "string_type")):
        v = union(first, second)
        assert repr(v).startswith(repr(Validator(first)))
        assert first_failure(v, meant_for_b).code == reported
    # Every alternative fails at the value itself: one union_error.
    flat = first_failure(union(tagged_a, tagged_b), 5)
    assert [(e["code"], e["path"]) for e in flat.errors] == [("union_error", ())]


def check_loaded_kinds():
    assert Validator(float).is_valid_json("1") is False
    assert Validator(int | float).is_valid_json("1") is True
    for schema in (tuple[int, ...], set[int], frozenset[int], bytes):
        assert not Validator(schema).is_valid_json(json.dumps([1]) if schema is not bytes else '"a"')


def check_word_characters():
    v = Validator(Annotated[str, re.compile(r"\w+")])
    assert v.is_valid("e\u0301") and re.fullmatch(r"\w+", "e\u0301") is None


def check_exact_literals():
    class One(enum.IntEnum):
        ONE = 1

    class MyInt(int):
        pass

    left = Validator(Annotated[int, at.Ge(1), at.Le(1)])
    assert left.relation_to(Literal[1, True]) == "not_subset"
    assert left.is_valid(One.ONE) and not Validator(Literal[1, True]).is_valid(One.ONE)
    assert Validator(Literal[1]).relation_to(complement(MyInt)) == "subset"
    assert not Validator(Literal[1]).is_valid(MyInt(1))


def check_sets_of_one_group():
    assert Validator(set[int | float]).relation_to(union(set[int], set[float])) == "undecided"
    assert Validator(set[int | str]).relation_to(union(set[int], set[str])) == "not_subset"


def check_alias_spellings():
    with pytest.raises(NotImplementedError, match="is a forward reference"):
        Validator(typing.TypeAliasType("J", "int | list[J]"))


def check_fatal_exceptions():
    def stop(value):
        raise KeyboardInterrupt

    def fails(value):
        raise ValueError

    with pytest.raises(KeyboardInterrupt):
        Validator(Literal[1]).relation_to(Annotated[int, at.Predicate(stop)])
    with pytest.raises(KeyboardInterrupt):
        Validator(Annotated[int, at.Predicate(stop)]).is_valid(1)
    assert not Validator(Annotated[int, at.Predicate(fails)]).is_valid(1)


CLAIMS = [
    ("accepts 127 nested lists and refuses 128", check_recursion_entries),
    ("at most 128 levels of recursion", check_recursion_entries),
    ("accepts 203 nested lists and refuses 204", check_schema_levels),
    ("at most 512 levels of nesting", check_schema_levels),
    ("A JSON document nests at most 200 arrays and objects: 200 parse, the 201st", check_json_nesting),
    ('"recursion limit exceeded at line 1 column 201"', check_json_nesting),
    ("at most 4300 characters, its sign included", check_json_integer_text),
    ("128, 128 and 100000", check_schema_limits),
    ("is not the value of a one-value `Literal`", check_literal_codes),
    ("(\"one of: the literal 'a', the literal 'b'\")", check_literal_codes),
    ("reports the failures of the alternative that got deepest into the value", check_union_report),
    ("On a tie the alternative that comes first wins", check_union_report),
    ("a JSON `1` is an `int`, which `float` refuses (write `int | float`)", check_loaded_kinds),
    ("`tuple`, `set`, `frozenset`, `bytes` and class schemas", check_loaded_kinds),
    ("U+0301 is a word character for the engine and not for `re`", check_word_characters),
    ("an `IntEnum` member or an `int` subclass instance; relation decisions count this too", check_exact_literals),
    ("two elements that could be one value (two numbers, since `True == 1 == 1.0`", check_sets_of_one_group),
    ("a str as its value is refused as a forward reference", check_alias_spellings),
    ("`RecursionError` stop the method and are raised by it, `==` included", check_fatal_exceptions),
]


@pytest.mark.parametrize("claim, check", CLAIMS, ids=[c for c, _ in CLAIMS])
def test_stated_behaviour_holds(claim, check):
    assert claim in PROSE, "the README no longer says this; update the claim here"
    check()
