"""The README's code runs, and the limits and behaviours it states in words
hold for the built module: each claim below is found in the README's text and
then checked."""

import collections.abc
import contextlib
import dataclasses
import enum
import importlib.machinery
import io
import json
import math
import numbers
import os
import pathlib
import re
import runpy
import sys
import subprocess
import sys
import typing
from decimal import Decimal
from typing import Annotated, Any, Literal, NewType, Protocol, ReadOnly, TypedDict, runtime_checkable

import annotated_types as at
import pytest
import typing_extensions

import tessolin
from tessolin import ValidationError, Validator, complement, recursive, union

ROOT = pathlib.Path(__file__).resolve().parent.parent
README = (ROOT / "README.md").read_text()
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


def nested_annotation(n, level=lambda t: list[t]):
    schema = int
    for _ in range(n):
        schema = level(schema)
    return schema


def check_depth_refusals():
    assert Validator(nested_annotation(127)).is_valid(nested_lists(127))
    too_deep = "schema nesting is too deep: this validator reaches 129 levels"
    with pytest.raises(ValueError, match=too_deep):
        Validator(nested_annotation(128))
    with pytest.raises(ValueError, match=too_deep):
        Validator(list[Validator(nested_annotation(127))])
    to_compile = "schema nesting is too deep to compile"
    for annotation in (
        nested_annotation(129),
        nested_annotation(65, lambda t: Annotated[list[t], "level"]),
        nested_annotation(65, lambda t: list[t] | None),
    ):
        with pytest.raises(NotImplementedError, match=to_compile):
            Validator(annotation)


def check_close_after_open():
    class TD(TypedDict):
        a: int

    extra = {"a": 1, "b": 2}
    for schema in (TD, {"a": int, str: Any}):
        v = Validator(schema)
        assert v.is_valid(extra) and v.close().is_valid(extra)
        assert v.open().is_valid(extra) and not v.open().close().is_valid(extra)
    closed = Validator({"a": int})
    assert closed.open().is_valid(extra) and closed.open().close() == closed
    # Closing drops a clause of the shape open() adds, whoever wrote it.
    for key, value in ((Any, Any), (object, object), (Any, object), (object, Any)):
        own = Validator({"a": int, key: value})
        assert own.is_valid(extra) and own.close() == closed and repr(own.close()) == "{'a': int}"
    for kept in ({"a": int, str: Any}, {"a": int, Any: int}):
        assert Validator(kept).close() == Validator(kept)


def check_union_operator():
    v = Validator(int)
    # On 3.14 `str | bytes` is a typing.Union, with the `|` of one.
    builtin_union = [str | bytes] if sys.version_info < (3, 14) else []
    typing_union = [] if builtin_union else [str | bytes]
    for schema in (str, Validator(str), list[str], *builtin_union, {"a": str}, None, "a"):
        assert isinstance(schema | v, Validator) and schema | v == v | schema == union(schema, v)
    # A form of typing answers `|` itself, before the validator is asked.
    for form in (Literal["a"], typing.Optional[str], Annotated[str, at.MinLen(1)], typing.Union[str, bytes],
                 NewType("Name", str), *typing_union):
        assert not isinstance(form | v, Validator) and typing.get_origin(form | v) is typing.Union
        assert v | form == union(form, v) and (v | form).is_valid(1)


def check_empty_combinations():
    for made, constant in ((union(), tessolin.nothing), (tessolin.intersection(), tessolin.anything)):
        assert made == constant and hash(made) == hash(constant) and made is not constant


def check_error_entries():
    error = first_failure(Validator(int), "s")
    assert (error.expected, error.value) == (error.errors[0]["expected"], error.errors[0]["value"]) == ("int", "'s'")
    assert first_failure(Validator({"b": int, "a": int}), {"b": "x", "a": "y"}).path == ("a",)
    v = Validator({"b": int, "a": int, "c": list[int]})
    assert repr(v) == "{'a': int, 'b': int, 'c': list[int]}"
    for value in ({"b": "x", "a": "y", "c": ["z"]}, {"c": ["z"], "b": "x", "a": "y"}):
        error = first_failure(v, value)
        assert [e["path"] for e in error.errors] == [("a",), ("b",), ("c", 0)] and error.path == ("a",)
        assert all(isinstance(e["expected"], str) and isinstance(e["value"], str) for e in error.errors)
        with pytest.raises(ValidationError) as info:
            v.validate(value, fail_fast=True)
        assert [e["path"] for e in info.value.errors] == [("a",)]


def check_undeclared_key_order():
    # Undeclared keys after the declared ones, in the value's order.
    v = Validator({"b": int})
    for validate in (v.validate, lambda value: v.validate_json(json.dumps(value))):
        with pytest.raises(ValidationError) as info:
            validate({"z": 1, "c": 1})
        assert [e["path"] for e in info.value.errors] == [("b",), ("z",), ("c",)]


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

    @dataclasses.dataclass
    class Point:
        x: int

    class Pair(typing.NamedTuple):
        x: int
        y: int

    class Items(list):
        pass

    # Members as objects, never as documents of the same shape.
    for schema, member, document in ((Point, Point(1), '{"x": 1}'), (Pair, Pair(1, 2), "[1, 2]"),
                                     (Items, Items([1]), "[1]")):
        assert Validator(schema).is_valid(member) and not Validator(schema).is_valid_json(document)
    for schema, document in ((collections.abc.Sequence, "[1]"), (collections.abc.Mapping, '{"a": 1}'),
                             (numbers.Number, "1.5"), (typing.SupportsInt, "1")):
        assert Validator(schema).load(document) == json.loads(document)


def check_whole_string_match():
    v = Validator(Annotated[str, re.compile("a+")])
    assert v.is_valid("aa") and not v.is_valid("baa") and not v.is_valid("aab")


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


def check_keys_equal_to_a_field_name():
    class Key(enum.StrEnum):
        KEY = "key"

    record, literal = Validator({"key?": int}), Validator(dict[Literal["key"], int])
    assert record.is_valid({Key.KEY: 1}) and not literal.is_valid({Key.KEY: 1})
    assert record.relation_to(literal) == "not_subset"
    assert literal.relation_to(record) == "subset"


def check_enums_that_make_members():
    class Made(enum.Enum):
        A = 1
        # Made(2) is a member that iterating Made never yields.
        _missing_ = classmethod(lambda cls, value: object.__new__(cls))

    class Bits(enum.Flag):
        A = 1
        B = 2

    class Color(enum.Enum):
        RED = 1

    class Calling(enum.EnumMeta):
        # Called(2) makes a member.
        def __call__(cls, value, *args, **kwargs):
            return object.__new__(cls)

    class Called(enum.Enum, metaclass=Calling):
        A = 1

    class Replaced(enum.Enum):
        A = 1

    Replaced.__new__ = lambda cls, value: object.__new__(cls)

    class Mapped(enum.Enum):
        A = 1

    Mapped._value2member_map_[2] = object.__new__(Mapped)

    assert Validator(Made).relation_to(Literal[Made.A]) == "undecided"
    assert Validator(Bits).relation_to(Literal[Bits.A, Bits.B]) == "undecided"
    for cls in (Called, Replaced, Mapped):
        assert Validator(cls).is_valid(cls(2)) and cls(2) not in list(cls)
        assert Validator(cls).relation_to(Literal[cls.A]) == "undecided"
    assert Validator(Color).relation_to(Literal[Color.RED]) == "subset"


def check_literals_with_differing_equals():
    @dataclasses.dataclass
    class P:
        x: int

    positive = Annotated[float, at.Predicate(lambda x: math.copysign(1, x) > 0)]
    whole = Annotated[Decimal, at.Predicate(lambda d: d.as_tuple().exponent == 0)]
    assert Validator(Literal[P(1)]).is_valid(P(1.0)) and not Validator(P).is_valid(P(1.0))
    assert Validator(Literal[P(1)]).relation_to(P) == "undecided"
    assert Validator(Decimal("1")).relation_to(whole) == "undecided"
    assert Validator(Literal[0.0]).relation_to(positive) == "not_subset"  # -0.0
    assert Validator(Literal[1.5]).relation_to(positive) == "subset"


def check_sets_of_one_group():
    assert Validator(set[int | float]).relation_to(union(set[int], set[float])) == "undecided"
    assert Validator(set[int | str]).relation_to(union(set[int], set[str])) == "not_subset"


def check_five_build_trees():
    makefile = (ROOT / "Makefile").read_text()
    trees = re.findall(r"^\w+\s*:?=\s*(build/\w+)\s*$", makefile, re.M)
    assert sorted(trees) == ["build/asan", "build/cp314", "build/pyasan", "build/release", "build/tsan"]


def check_demo_layout():
    makefile = (ROOT / "Makefile").read_text()
    assert re.search(r"^demo: module\n\tPYTHONPATH=python \$\(PY\) examples/quickstart\.py$", makefile, re.M)
    assert re.search(r"^\$\(BUILD\)/build\.ninja:.*\n\t.*-DTESSOLIN_DEV_LAYOUT=ON", makefile, re.M)
    ext = (ROOT / "ext" / "CMakeLists.txt").read_text()
    assert "LIBRARY_OUTPUT_DIRECTORY ${PROJECT_SOURCE_DIR}/python/tessolin" in ext
    command = re.search(r'^    PYTHONPATH=python \.venv/bin/python -c "(.*)"$', README, re.M).group(1)
    package = ROOT / "python" / "tessolin"
    # Run where a module for this interpreter was built into the tree (the
    # sanitizer run builds elsewhere).
    if any(package.glob(f"_tessolin{importlib.machinery.EXTENSION_SUFFIXES[0]}")):
        done = subprocess.run([sys.executable, "-c", command], cwd=ROOT, env=dict(os.environ, PYTHONPATH="python"),
                              capture_output=True, text=True, check=True)
        assert done.stdout == f"{tessolin.__version__}\n"


def check_benchmarks():
    makefile = (ROOT / "Makefile").read_text()
    assert re.search(r"^bench: build\n\t.*\$\(PY\) bench/run\.py", makefile, re.M)
    benches = runpy.run_path(str(ROOT / "bench" / "run.py"))["BENCHES"]
    assert sorted(benches) == sorted(p.name for p in (ROOT / "bench").glob("bench_*.py"))
    commands = re.findall(r"^    (g\+\+ .*) && (\S+)$", README, re.M)
    cmake = "".join((ROOT / folder / "CMakeLists.txt").read_text() for folder in (".", "core", "ext"))
    assert sorted(p.name for p in (ROOT / "bench").glob("*.cpp")) == ["json_bench.cpp", "pattern_bench.cpp"]
    for (command, binary), name in zip(commands, ("json_bench", "pattern_bench"), strict=True):
        source = ROOT / "bench" / f"{name}.cpp"
        # No build target, and built as the source's own opening comment says.
        assert name not in cmake
        header = " ".join(source.read_text().split("#include")[0].replace("//", " ").replace("\\", " ").split())
        assert command in header and command.endswith(f"-o {binary}")
        for pattern in (word for word in command.split() if word.endswith(".cpp")):
            assert list(ROOT.glob(pattern)), pattern


def json_failure(data):
    with pytest.raises(ValidationError) as info:
        Validator(object).load(data)
    assert info.value.code == "json_invalid"
    return info.value.value


def check_json_input_kinds():
    v = Validator(object)
    for data in (3, None, bytearray(b"1"), memoryview(b"1"), ["1"]):
        assert v.is_valid_json(data) is False
        for method in (v.validate_json, v.load):
            with pytest.raises(TypeError):
                method(data)


def check_json_edges():
    for text in ("NaN", "Infinity", "-Infinity", "[NaN]"):
        for data in (text, text.encode()):
            json_failure(data)
    assert Validator(float).load("1e400") == float("inf") == Validator(float).load(b"1e400")


def check_json_surrogates():
    for data in ('"\\ud800"', '"\\udc00"', '"a\\ud800b"', '"\ud800"', '["a\udc80"]'):
        json_failure(data)
    assert Validator(str).load('"\\ud83d\\ude00"') == "\U0001f600"


def check_json_bytes_are_utf8():
    assert Validator(str).load('"é"'.encode()) == "é"
    for data in (b"\xef\xbb\xbf1", "1".encode("utf-16"), "1".encode("utf-16-le"), "1".encode("utf-32"), b'"\xff"'):
        json_failure(data)


def check_json_columns():
    text = '["é", x]'
    assert json_failure(text) == json_failure(text.encode()) == "expected value at line 1 column 8"


def check_more_annotations():
    callables = Validator(collections.abc.Callable[[int], str])
    assert callables.is_valid(len) and callables.is_valid(lambda: None) and not callables.is_valid(3)
    assert Validator(typing.Callable[[int], str]) == callables
    assert Validator(NewType("UserId", int)) == Validator(int) == Validator(ReadOnly[int])

    class Movie(TypedDict):
        title: ReadOnly[str]

    assert Validator(Movie).is_valid({"title": "x"}) and not Validator(Movie).is_valid({"title": 1})

    @runtime_checkable
    class Closes(Protocol):
        def close(self) -> None: ...

    class Plain(Protocol):
        def close(self) -> None: ...

    closes = Validator(Closes)
    assert closes.is_valid(io.BytesIO()) and not closes.is_valid(3)
    with pytest.raises(NotImplementedError):
        Validator(Plain)


def check_objects_as_literals():
    def double(value):
        return 2 * value

    forms = (lambda t: t, lambda t: list[t], lambda t: dict[str, t], lambda t: typing.Optional[t])
    for obj in (3.5, double):
        assert Validator(obj).is_valid(obj) and not Validator(obj).is_valid(2.5)
        for form in forms:
            assert Validator(form(obj)) == Validator(form(Literal[obj]))
    for schema in (list["int"], dict[str, "int"], typing.Optional["int"]):
        with pytest.raises(NotImplementedError, match="is a forward reference"):
            Validator(schema)


def check_bare_collections_refused():
    for obj in ((1, 2), {1}, frozenset({1})):
        with pytest.raises(NotImplementedError):
            Validator(obj)


def check_closed_typed_dict():
    class Closed(typing_extensions.TypedDict, closed=True):
        a: int

    assert Validator(Closed).is_valid({"a": 1}) and not Validator(Closed).is_valid({"a": 1, "b": 2})
    if sys.version_info < (3, 15):
        with pytest.raises(TypeError):
            class Refused(TypedDict, closed=True):
                a: int


def check_annotated_metadata():
    assert Validator(Annotated[str, "a+"]) == Validator(str)
    assert Validator(Annotated[str, "a+"]).is_valid("b")
    for ignored in ("a+", 3.5, None, str, at.Gt):
        assert Validator(Annotated[int, ignored]) == Validator(int)

    class Positive:
        def __call__(self, value):
            return value > 0

    for predicate in (Positive(), (0).__lt__, lambda value: value > 0):
        v = Validator(Annotated[int, predicate])
        assert v == Validator(Annotated[int, at.Predicate(predicate)]) and v.is_valid(1) and not v.is_valid(-1)
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        assert not Validator(Annotated[int, print]).is_valid(5)
    assert printed.getvalue() == "5\n"
    for unchecked in (at.Timezone(None), at.Unit("m")):
        with pytest.raises(NotImplementedError):
            Validator(Annotated[int, unchecked])


def check_unresolved_names():
    @dataclasses.dataclass
    class Point:
        x: "Missing"  # noqa: F821

    class Movie(TypedDict):
        title: "Missing"  # noqa: F821

    class Pair(typing.NamedTuple):
        x: "Missing"  # noqa: F821

    for schema in (Point, Movie, Pair):
        with pytest.raises(NameError, match="Missing"):
            Validator(schema)


def check_refused_generics():
    for schema in (collections.abc.Sequence[int], collections.abc.Mapping[str, int], type[int]):
        with pytest.raises(NotImplementedError):
            Validator(schema)


def check_refused_patterns():
    for pattern in (r"a(?=b)", r"(?<!a)b", r"(a)\1", r"(?P<x>a)(?P=x)", r"(?>ab)", r"a\Z", r"\N{DIGIT ONE}",
                    r"a(?#note)b", r"a{,3}", r"\0", r"a\012"):
        with pytest.raises(ValueError):
            Validator(Annotated[str, re.compile(pattern)])
    for compiled in (re.compile(r"(?a)\w"), re.compile(r"\w", re.ASCII), re.compile(rb"a")):
        with pytest.raises(NotImplementedError):
            Validator(Annotated[str, compiled])


type _X = int | list[_Y]
type _Y = str | dict[str, _X]


def check_definition_order():
    P = recursive(lambda t: union(int, [t]))
    Q = recursive(lambda t: union(str, [t]))
    pairs = (
        (Validator(union(_X, _Y)), Validator(union(_Y, _X))),
        (union(P, Q), union(Q, P)),
        (Validator({"a": P, "b": Q}), Validator({"b": Q, "a": P})),
    )
    for first, second in pairs:
        assert first != second and first.is_equivalent(second)
    assert repr(pairs[2][0]) == repr(pairs[2][1])
    # One recursive definition alone compares in any order.
    assert union(P, int) == union(int, P) and Validator({"a": P, "b": P}) == Validator({"b": P, "a": P})


type _L[T] = list[T]


def check_alias_spellings():
    with pytest.raises(NotImplementedError, match="is a forward reference"):
        Validator(typing.TypeAliasType("J", "int | list[J]"))
    T = typing.TypeVar("T")
    for generic in (_L, _L[int], typing.TypeAliasType("M", list[T], type_params=(T,))):
        with pytest.raises(NotImplementedError):
            Validator(generic)


class OwnBaseException(BaseException):
    pass


def raising_hooks(error):
    # A predicate, a constant whose __eq__, __hash__ and ordering raise
    # `error` and a class whose instance hook does, armed only while asked:
    # typing's caches keep the constants and hash and compare them too.
    armed = [False]

    def fire():
        if armed[0]:
            raise error

    def predicate(value):
        fire()
        return True

    class Token:
        def __eq__(self, other):
            fire()
            return self is other

        def __hash__(self):
            fire()
            return id(self)

        def __lt__(self, other):
            fire()
            return id(self) < id(other)

        def __gt__(self, other):
            fire()
            return id(self) > id(other)

    class Hooked(type):
        def __instancecheck__(cls, instance):
            fire()
            return True

    class Hook(metaclass=Hooked):
        pass

    return armed, predicate, Token, Hook


def two_bounds(Token):
    # Tokens ordered by id: values above the greater are above the lesser.
    lesser, greater = sorted((Token(), Token()), key=id)
    return Validator(Annotated[object, at.Gt(greater)]), Validator(Annotated[object, at.Gt(lesser)])


FATAL_ERRORS = (KeyboardInterrupt, SystemExit, GeneratorExit, OwnBaseException, MemoryError, RecursionError)


def check_fatal_exceptions():
    for error in FATAL_ERRORS:
        armed, predicate, Token, Hook = raising_hooks(error)
        asked = Validator(Annotated[int, at.Predicate(predicate)])
        left, right = Validator(Literal[Token()]), Validator(Literal[Token()])
        narrow, wide = two_bounds(Token)
        calls = (
            lambda: Validator(Literal[1]).relation_to(asked),
            lambda: Validator(Literal[1]).relation_to(Hook),
            lambda: narrow.relation_to(wide),
            lambda: asked.is_valid(1),
            lambda: left == right,
            lambda: hash(left),
        )
        for call in calls:
            armed[0] = True
            try:
                with pytest.raises(error):
                    call()
            finally:
                armed[0] = False


def check_ordinary_exceptions():
    armed, predicate, Token, Hook = raising_hooks(ValueError)
    asked = Validator(Annotated[int, at.Predicate(predicate)])
    token = Token()
    left, right, same = Validator(Literal[token]), Validator(Literal[Token()]), Validator(Literal[token])

    class OrderingOnly(Token):
        def __eq__(self, other):
            return self is other

        __hash__ = object.__hash__

    # Each question is decided while nothing raises.
    questions = [(Literal[1], asked, "not_subset"), (Literal[1], Hook, "not_subset")]
    questions += [(*two_bounds(raising), "undecided") for raising in (Token, OrderingOnly)]
    assert all(Validator(a).relation_to(b) != "undecided" for a, b, _ in questions)
    armed[0] = True
    try:
        assert not asked.is_valid(1)
        # A literal checked as validation checks it fails; two constants
        # compared with each other leave the question open.
        assert [Validator(a).relation_to(b) for a, b, _ in questions] == [answer for _, _, answer in questions]
        assert left != right and left == same
        # Left out of the hash: the literals of any constants whose __hash__
        # raises hash alike.
        assert hash(left) == hash(right) == hash(same)
    finally:
        armed[0] = False


CLAIMS = [
    ("accepts 127 nested lists and refuses 128", check_recursion_entries),
    ("at most 128 levels of recursion", check_recursion_entries),
    ("accepts 203 nested lists and refuses 204", check_schema_levels),
    ("at most 512 levels of nesting", check_schema_levels),
    ("A JSON document nests at most 200 arrays and objects: 200 parse, the 201st", check_json_nesting),
    ('"recursion limit exceeded at line 1 column 201"', check_json_nesting),
    ("at most 4300 characters, its sign included", check_json_integer_text),
    ("128, 128 and 100000", check_schema_limits),
    ("`Union[...]`, which `int \\| str` also is on CPython 3.14, a `NewType`), Python asks that form's own `\\|` "
     "first, and `x \\| v` is a `typing.Union`, not a validator: write `v \\| x` or `union(x, v)`",
     check_union_operator),
    ("`union()` equals `nothing` and `intersection()` equals `anything`, though they are new objects",
     check_empty_combinations),
    ("where `expected` and `value` are text (`'int'` and `\"'s'\"` for the str `'s'` checked against `int`)",
     check_error_entries),
    ("a record's failures on its declared keys come in the order `repr` shows those keys, whatever the value's order "
     "(`{\"b\": int, \"a\": int}` reports `a` first)", check_error_entries),
    ("failures on keys it does not declare come after them, in the value's own order (`Validator({\"b\": int})` on "
     "`{\"z\": 1, \"c\": 1}` reports `b`, then `z`, then `c`), from JSON input too", check_undeclared_key_order),
    ("is not the value of a one-value `Literal`", check_literal_codes),
    ("(\"one of: the literal 'a', the literal 'b'\")", check_literal_codes),
    ("reports the failures of the alternative that got deepest into the value", check_union_report),
    ("On a tie the alternative that comes first wins", check_union_report),
    ("a JSON `1` is an `int`, which `float` refuses (write `int | float`)", check_loaded_kinds),
    ("`tuple`, `set`, `frozenset`, `bytes` and classes that no loaded value is an instance of (a dataclass, a named "
     "tuple, a subclass of `list`) never match a loaded document", check_loaded_kinds),
    ("`Validator(collections.abc.Sequence).load(\"[1]\")` is `[1]`, and `Mapping`, `numbers.Number` and "
     "`SupportsInt` match as well", check_loaded_kinds),
    ("the pattern must match the WHOLE string (a full match, not a search: `\"a+\"` refuses `\"baa\"` and "
     "`\"aab\"`)", check_whole_string_match),
    ("U+0301 is a word character for the engine and not for `re`", check_word_characters),
    ("an `IntEnum` member or an `int` subclass instance; relation decisions count this too", check_exact_literals),
    ("two elements that could be one value (two numbers, since `True == 1 == 1.0`", check_sets_of_one_group),
    ('a `str` subclass instance or `StrEnum` member equal to `"key"` is that key, in validation and in relation '
     'decisions alike, while `dict[Literal["key"], X]` admits only the exact `str`', check_keys_equal_to_a_field_name),
    ("an enum class against a set of its members when the class is a `Flag` or defines `_missing_` (itself or "
     "through a base other than `Enum`), when its metaclass defines its own `__call__`, `__getitem__`, `__iter__`, "
     "instance checks or other enum machinery, when a `__new__` was assigned to it after it was made, or when its "
     "`__members__` or `_value2member_map_` hold an instance that iterating it does not yield",
     check_enums_that_make_members),
    ("a literal whose constant lies in the other schema while values equal to it may fare differently there (a "
     "dataclass instance, `Decimal(\"1\")` beside `Decimal(\"1.0\")`, a tuple, an instance of a subclass of a "
     "builtin type), since a constant speaks for its equal values only when it is exactly an `int`, `bool`, `str`, "
     "`bytes`, `float` or `complex` (a zero is checked with both signs) or `None`, an object compared by identity, "
     "or a member of an enum listed as above", check_literals_with_differing_equals),
    ("a str as its value is refused as a forward reference", check_alias_spellings),
    ("a generic alias (`type L[T] = list[T]`, bare or as `L[int]`) is refused with `NotImplementedError`",
     check_alias_spellings),
    ("`Validator(union(X, Y)) == Validator(union(Y, X))` is False, while `is_equivalent` is True",
     check_definition_order),
    ("`union(P, Q) == union(Q, P)` is False, and so is `Validator({\"a\": P, \"b\": Q}) == Validator({\"b\": Q, "
     "\"a\": P})`, although their `repr`s are equal", check_definition_order),
    ("`RecursionError` stop the method and are raised by it, `==` and `hash()` included", check_fatal_exceptions),
    ("every `BaseException` that is not an `Exception` (`KeyboardInterrupt`, `SystemExit`, `GeneratorExit`, "
     "a user's own)", check_fatal_exceptions),
    ("makes `==` answer unequal and leaves the constant out of `hash()`", check_ordinary_exceptions),
    ("an ordinary exception counts as a failed check, also where a relation question checks a literal against the "
     "other schema (`Validator(Literal[1]).relation_to(Annotated[int, at.Predicate(f)])` is \"not_subset\" for an "
     "`f` that raises, and so for an instance hook)", check_ordinary_exceptions),
    ("raised by a constant's `__eq__` or ordering while a question compares two constants of the schemas (two "
     "bounds), it leaves the question undecided", check_ordinary_exceptions),
    ("(five build trees, the `.venv` and the Debian root)", check_five_build_trees),
    ("`make demo` puts the built module into `python/tessolin`, and the package imports from the source tree with "
     "`PYTHONPATH=python`:", check_demo_layout),
    ("`make bench` builds the project and runs the Python benchmarks in `bench/` (`bench/run.py`); peer libraries are "
     "measured in the same run when installed. The C++ benchmarks of the JSON parser and the pattern engine are no "
     "build target: build and run them by hand, from the repository root:", check_benchmarks),
    ("`list[...]` nested 128 deep around `int` reaches 129 levels) or built from validators", check_depth_refusals),
    ("each `Annotated[...]` and `\\|` counts a level) is refused earlier, while compiling, with `NotImplementedError` "
     '("schema nesting is too deep to compile")', check_depth_refusals),
    ("`Validator(TD).close()` keeps the openness of a TypedDict `TD`", check_close_after_open),
    ("or lose every clause of that shape (its key and value `Any` or `object`), the record's own included: "
     "`Validator({\"a\": int, Any: Any}).close()` is `{'a': int}`", check_close_after_open),
    ('`Validator(TD).open().close()` and `Validator({"a": int, str: Any}).open().close()` lose the record\'s own '
     "openness and admit no undeclared key", check_close_after_open),
    ("and for `data` that is not a `str` or `bytes` (`is_valid_json(3)`), where `validate_json` and `load` raise "
     "`TypeError`", check_json_input_kinds),
    ("`NaN`, `Infinity` and `-Infinity` are not JSON and are refused (`json_invalid`)", check_json_edges),
    ("`1e400`, past the float range, loads as `inf`", check_json_edges),
    ("An escaped lone surrogate (`\"\\ud800\"`) is refused, and so is a `str` document holding a lone surrogate",
     check_json_surrogates),
    ("`bytes` are read as UTF-8 only: a byte order mark, UTF-16 or UTF-32 is refused", check_json_bytes_are_utf8),
    ("count UTF-8 bytes, for a `str` document too: the `x` of `[\"é\", x]` is at column 8", check_json_columns),
    ("| `NewType(\"N\", X)`, `ReadOnly[X]` | `X` |", check_more_annotations),
    ("so `Callable[[int], str]` admits every callable", check_more_annotations),
    ("open unless it is declared closed, with `closed=True` of `typing_extensions.TypedDict` on CPython 3.13 and 3.14, "
     "whose `typing.TypedDict` refuses the argument", check_closed_typed_dict),
    ("a protocol that is not runtime-checkable is refused", check_more_annotations),
    ("any other callable in the metadata but a class is a predicate too (`Annotated[int, print]` calls `print` with "
     "the value, and fails it, as `print` returns `None`)", check_annotated_metadata),
    ("so is any other object that is not an annotation (`3.5`, a function), there and inside `list[...]`, `dict[...]` "
     "or `Optional[...]`, where a str is a forward reference instead and is refused with `NotImplementedError`",
     check_objects_as_literals),
    ("a bare tuple, set or frozenset (`(1, 2)`, `{1}`) is refused with `NotImplementedError` rather than taken as a "
     "literal", check_bare_collections_refused),
    ('a class, and an object that is neither callable nor a constraint (a plain string), is ignored, so '
     '`Annotated[str, "a+"]` is `str`', check_annotated_metadata),
    ("an `annotated-types` constraint it does not check (`Timezone`, `Unit`) is refused", check_annotated_metadata),
    ("what evaluating the annotation raises comes through: a dataclass, TypedDict or named tuple whose string "
     "annotation names nothing known raises `NameError`", check_unresolved_names),
    ("Abstract generics other than `Callable` (`collections.abc.Sequence[int]`, `Mapping[str, int]`, `type[int]`) are "
     "refused with `NotImplementedError`", check_refused_generics),
    ("Patterns have no look-around, backreferences or atomic groups, nor `\\Z`, `\\N{...}`, comments `(?#...)`, "
     "`a{,n}` or octal escapes (`\\0`): a pattern using one is refused with `ValueError`", check_refused_patterns),
    ("The ASCII flag (`(?a)`, `re.ASCII`) and bytes patterns are refused with `NotImplementedError`",
     check_refused_patterns),
]


@pytest.mark.parametrize("claim, check", CLAIMS, ids=[c for c, _ in CLAIMS])
def test_stated_behaviour_holds(claim, check):
    assert claim in PROSE, "the README no longer says this; update the claim here"
    check()
