"""Validating JSON documents: validate_json, load and is_valid_json."""

import json
import math
import sys
import threading
import typing
from typing import Annotated, Any, Literal

import annotated_types as at
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from tessolin import ValidationError, Validator

ANY = Validator(Any)
INTS = Validator(list[int])


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


def raised(call):
    with pytest.raises(ValidationError) as info:
        call()
    return info.value


# -- input types ------------------------------------------------------------


@pytest.mark.parametrize(
    "data",
    ["[1, 2]", b"[1, 2]", StrSub("[1, 2]"), BytesSub(b"[1, 2]"), " \t\r\n[1,2]\n"],
    ids=["str", "bytes", "str-subclass", "bytes-subclass", "blanks"],
)
def test_str_and_bytes_documents_behave_alike(data):
    assert INTS.validate_json(data) is None
    assert INTS.load(data) == [1, 2]
    assert INTS.is_valid_json(data) is True


@pytest.mark.parametrize("data", [bytearray(b"[1]"), memoryview(b"[1]"), None, 1, ["[1]"]])
def test_other_input_types(data):
    for method in (INTS.validate_json, INTS.load):
        with pytest.raises(TypeError) as info:
            method(data)
        assert str(info.value) == "JSON input must be a str or bytes object"
    assert INTS.is_valid_json(data) is False


LONE_SURROGATE = "input string is not valid UTF-8 (contains a lone surrogate)"


@pytest.mark.parametrize("data", ['"\ud800"', '{"\udfff": 1}', '["ok", "a\udbffb"]'])
def test_lone_surrogate_in_str_input(data):
    for method in (ANY.validate_json, ANY.load):
        err = raised(lambda: method(data))
        assert (err.code, err.path, err.expected, err.value) == ("json_invalid", (), "valid JSON", LONE_SURROGATE)
        assert str(err) == f"expected valid JSON, got {LONE_SURROGATE} [json_invalid]"
    assert ANY.is_valid_json(data) is False


def test_surrogate_pairs_escaped_in_the_document_are_text():
    assert ANY.load(r'"\ud83d\ude00"') == "\U0001f600"
    assert ANY.load('"\U0001f600"'.encode()) == "\U0001f600"
    for doc in (r'"\ud800"', r'"\udc00"', r'"\ud800x"'):
        assert raised(lambda: ANY.load(doc)).code == "json_invalid"
        assert ANY.is_valid_json(doc) is False


# -- documents that do not parse ---------------------------------------------


@pytest.mark.parametrize(
    "data, text",
    [
        ("", "EOF while parsing a value at line 1 column 0"),
        ("   ", "EOF while parsing a value at line 1 column 3"),
        ("[1,", "EOF while parsing a value at line 1 column 3"),
        ("[1", "EOF while parsing a list at line 1 column 2"),
        ("1x", "trailing characters at line 1 column 2"),
        ("[1] [2]", "trailing characters at line 1 column 5"),
        ("NaN", "expected value at line 1 column 1"),
        ("Infinity", "expected value at line 1 column 1"),
        ("-Infinity", "invalid number at line 1 column 2"),
        ('{"a" 1}', "expected `:` at line 1 column 6"),
        ("[1,]", "trailing comma at line 1 column 4"),
        ("{\n  'a': 1\n}", "key must be a string at line 2 column 3"),
        ('"abc', "EOF while parsing a string at line 1 column 4"),
        (b'"\xff"', "invalid unicode code point at line 1 column 2"),
        ("[" * 300 + "]" * 300, "recursion limit exceeded at line 1 column 201"),
        ("[" * 201 + "]" * 201, "recursion limit exceeded at line 1 column 201"),
    ],
)
def test_unparseable_documents(data, text):
    for method in (ANY.validate_json, ANY.load):
        err = raised(lambda: method(data))
        assert (err.code, err.path, err.expected, err.value) == ("json_invalid", (), "valid JSON", text)
        assert err.errors == (
            {
                "code": "json_invalid",
                "path": (),
                "message": f"expected valid JSON, got {text} [json_invalid]",
                "expected": "valid JSON",
                "value": text,
            },
        )
    assert ANY.is_valid_json(data) is False


def test_nan_is_refused_even_for_float():
    v = Validator(float)
    for doc in ("NaN", "[NaN]", "Infinity"):
        assert raised(lambda: v.validate_json(doc)).code == "json_invalid"
        assert v.is_valid_json(doc) is False
    assert v.load("1e400") == math.inf  # beyond range is infinite, as json.loads has it


# -- fail_fast ---------------------------------------------------------------


@pytest.mark.parametrize("data", ["[1]", "not json", None])
def test_bad_fail_fast_is_reported_before_the_data(data):
    for method in (INTS.validate_json, INTS.load):
        with pytest.raises(TypeError) as info:
            method(data, fail_fast="yes")
        assert str(info.value) == "'str' object is not an instance of 'bool'"
        assert info.value.__notes__ == ["while processing 'fail_fast'"]


def test_fail_fast_reports_one_failure():
    doc = '["a", 1, "b", null]'
    assert len(raised(lambda: INTS.validate_json(doc)).errors) == 3
    assert len(raised(lambda: INTS.load(doc, fail_fast=False)).errors) == 3
    assert len(raised(lambda: INTS.validate_json(doc, fail_fast=True)).errors) == 1
    assert raised(lambda: INTS.load(doc, fail_fast=True)).path == (0,)


def test_argument_errors():
    with pytest.raises(TypeError, match=r"Validator.validate_json\(\) missing 1 required positional argument: 'data'"):
        INTS.validate_json()
    with pytest.raises(TypeError, match=r"Validator.is_valid_json\(\) takes 1 positional arguments but 2 were given"):
        INTS.is_valid_json("[]", "[]")
    with pytest.raises(TypeError, match=r"Validator.load\(\) got some positional-only arguments passed as keyword"):
        INTS.load("[]", data="[]")


# -- numbers -----------------------------------------------------------------

HUGE = [2**63, -(2**63) - 1, 2**64, 10**30, -(10**30), 7**1000, -(3**5000)]


@pytest.mark.parametrize("n", HUGE, ids=lambda n: f"{len(str(n))}-digits")
def test_integers_beyond_64_bits(n):
    v = Validator(int)
    doc = str(n)
    assert v.validate_json(doc) is None
    assert v.is_valid_json(doc) is True
    got = v.load(doc)
    assert type(got) is int and got == n
    assert Validator(list[int]).load(f"[{doc}, {doc}]") == [n, n]
    assert Validator(float).is_valid_json(doc) is False


def test_integer_conversion_ignores_the_str_digit_limit():
    n = 9**4000  # 3817 digits
    doc = str(n).encode()
    old = sys.get_int_max_str_digits()
    sys.set_int_max_str_digits(1000)
    try:
        got = Validator(int).load(doc)
        assert Validator(int).is_valid_json(doc) is True
    finally:
        sys.set_int_max_str_digits(old)
    assert got == n


def test_integers_at_the_64_bit_edges():
    for n in (2**63 - 1, -(2**63), 0, -1):
        got = ANY.load(str(n))
        assert type(got) is int and got == n
    assert ANY.load("-0") == 0 and type(ANY.load("-0")) is int
    assert math.copysign(1.0, ANY.load("-0.0")) == -1.0


@pytest.mark.parametrize(
    "schema, doc, member",
    [
        (float, "1", False),
        (float, "1.0", True),
        (float, "1e2", True),
        (int, "1.0", False),
        (int, "true", True),
        (bool, "1", False),
        (bool, "false", True),
        (None, "null", True),
        (None, "0", False),
        (str, '"x"', True),
        (bytes, '"x"', False),
        (tuple[int, int], "[1, 2]", False),
        (set[int], "[1]", False),
        (list[float], "[1]", False),
        (list[int], "[1.5]", False),
        (dict[str, int], '{"a": 1}', True),
        ({"a": int, "b?": str}, '{"a": 1, "b": "x"}', True),
        ({"a": int, "b?": str}, '{"b": "x"}', False),
        ({"a": int}, '{"a": 1, "c": 2}', False),
        (Literal["a", "b"], '"b"', True),
        (Literal["a", "b"], '"c"', False),
        (Literal[1], "true", False),
        (Literal[True], "true", True),
        (Literal[2**70], str(2**70), True),
        (Annotated[int, at.Ge(5)], "5", True),
        (Annotated[int, at.Ge(5)], "4", False),
        (Annotated[int, at.Gt(2**64)], str(2**65), True),
        (Annotated[str, at.MinLen(2)], '"ab"', True),
        (Annotated[str, at.MinLen(2)], '"\u00e9"', False),
        (Annotated[list[int], at.MaxLen(2)], "[1, 2, 3]", False),
        (Annotated[float, at.MultipleOf(0.5)], "1.5", True),
        (int | str, '"x"', True),
        (int | str, "[]", False),
        (list[int | None], "[1, null, 2]", True),
    ],
)
def test_json_answers_match_validate_on_the_parsed_object(schema, doc, member):
    v = Validator(schema)
    parsed = json.loads(doc)
    assert v.is_valid(parsed) is member
    assert v.is_valid_json(doc) is member
    assert v.is_valid_json(doc.encode()) is member
    if member:
        assert v.validate_json(doc) is None
        assert v.load(doc) == parsed
    else:
        expected = raised(lambda: v.validate(parsed)).errors
        assert raised(lambda: v.validate_json(doc)).errors == expected
        assert raised(lambda: v.load(doc)).errors == expected


def test_errors_carry_paths_into_the_document():
    v = Validator({"items": list[{"id": int, "tags": list[str]}]})
    doc = '{"items": [{"id": 1, "tags": []}, {"id": "2", "tags": ["a", 3]}]}'
    err = raised(lambda: v.validate_json(doc))
    assert [(e["path"], e["code"]) for e in err.errors] == [
        (("items", 1, "id"), "int_type"),
        (("items", 1, "tags", 1), "string_type"),
    ]


# -- duplicate keys and the string cache -------------------------------------


def test_duplicate_keys_keep_the_last_value():
    assert ANY.load('{"a": 1, "b": 2, "a": "x"}') == {"a": "x", "b": 2}
    assert list(ANY.load('{"a": 1, "b": 2, "a": 3}')) == ["a", "b"]  # first position, last value
    rec = Validator({"a": int})
    for doc, member in (('{"a": 1, "a": "x"}', False), ('{"a": "x", "a": 1}', True)):
        assert rec.is_valid_json(doc) is member
        assert (rec.validate_json(doc) is None) if member else raised(lambda: rec.validate_json(doc)).path == ("a",)


def test_duplicate_keys_in_large_objects():
    # Large objects merge repeated keys by hashing; the verdicts and the
    # parsed value must still be dict semantics: first position, last value.
    members = [f'"k{i % 7}": {i}' for i in range(40)] + ['"k3": "x"']
    doc = "{" + ", ".join(members) + "}"
    assert ANY.load(doc) == json.loads(doc)
    assert list(ANY.load(doc)) == list(json.loads(doc))
    rec = Validator({str: int})
    assert rec.is_valid_json(doc) is rec.is_valid(json.loads(doc)) is False
    assert rec.is_valid_json(doc.replace('"k3": "x"', '"k3": 0')) is True


def test_short_strings_are_shared_between_documents():
    doc = '{"name": "short value", "nested": [{"name": "\u00e9t\u00e9"}]}'
    a, b = ANY.load(doc), ANY.load(doc.encode())
    key_a, key_b = next(iter(a)), next(iter(b))
    assert key_a is key_b
    assert a["name"] is b["name"]
    assert a["nested"][0]["name"] is b["nested"][0]["name"]
    assert next(iter(a["nested"][0])) is key_a
    long_text = "x" * 200
    assert ANY.load(json.dumps([long_text]))[0] == long_text


def test_string_cache_under_threads():
    # Many distinct short keys from several threads at once: every result
    # must be exactly what the document says, whatever the cache holds.
    docs = [json.dumps({f"k{t}_{i}": f"v{i % 7}" for i in range(300)}) for t in range(8)]
    expected = [json.loads(d) for d in docs]
    failures = []

    def work(t):
        for _ in range(40):
            if ANY.load(docs[t]) != expected[t] or ANY.load(docs[(t + 1) % 8]) != expected[(t + 1) % 8]:
                failures.append(t)

    threads = [threading.Thread(target=work, args=(t,)) for t in range(8)]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    assert failures == []


# -- round trips against json.loads ------------------------------------------

json_values = st.recursive(
    st.none()
    | st.booleans()
    | st.integers()
    | st.integers(min_value=-(10**40), max_value=10**40)
    | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(),
    lambda inner: st.lists(inner, max_size=6) | st.dictionaries(st.text(max_size=8), inner, max_size=6),
    max_leaves=30,
)


def same(a, b):
    """Equality that also tells 1, 1.0 and True apart and 0.0 from -0.0."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict):
        return list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    return a == b


@settings(max_examples=300, deadline=None)
@given(json_values, st.booleans(), st.sampled_from([None, 2]))
def test_round_trip_against_json_loads(value, ensure_ascii, indent):
    doc = json.dumps(value, allow_nan=False, ensure_ascii=ensure_ascii, indent=indent)
    expected = json.loads(doc)
    assert same(ANY.load(doc), expected)
    assert same(ANY.load(doc.encode()), expected)
    assert ANY.is_valid_json(doc) is True


@settings(max_examples=100, deadline=None)
@given(json_values)
def test_in_place_membership_matches_parsed_membership(value):
    doc = json.dumps(value, allow_nan=False)
    parsed = json.loads(doc)
    for v in SCHEMAS:
        assert v.is_valid_json(doc) is v.is_valid(parsed)


SCHEMAS = [
    Validator(s)
    for s in (
        int,
        float,
        str,
        list[int],
        list[Any],
        dict[str, int],
        dict[str, list[str | None]],
        {"a?": int, "b?": str},
        list[Annotated[int, at.Ge(0)]] | str,
        typing.Optional[list[float | bool]],
    )
]
