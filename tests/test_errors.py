"""The error model: violation lines, messages, lazily built attributes,
pickling, and the value text of messages."""

import copy
import json
import pickle
import sys
import threading

import pytest

import tessolin

t = pytest.importorskip("_tessolin_testing")

# Path steps for the testing module: str is a key, int an int key (decimal
# text beyond 64 bits), [n] a position.


def v(path=(), expected="int", value="'x'", code="int_type"):
    return (list(path), expected, value, code)


@pytest.mark.parametrize(
    "path, line",
    [
        ((), "expected int, got 'x' [int_type]"),
        (["a"], "at a: expected int, got 'x' [int_type]"),
        (["items", [3], "name"], "at items[3].name: expected int, got 'x' [int_type]"),
        ([[0]], "at [0]: expected int, got 'x' [int_type]"),
        ([[0], "k"], "at [0].k: expected int, got 'x' [int_type]"),
        (["a.b"], "at a.b: expected int, got 'x' [int_type]"),
        (["a", "b"], "at a.b: expected int, got 'x' [int_type]"),
        ([-5, 7], "at [-5][7]: expected int, got 'x' [int_type]"),
        ([2**70], f"at [{2**70}]: expected int, got 'x' [int_type]"),
        (['we"ird key\n'], "at we\"ird key\n: expected int, got 'x' [int_type]"),
        (["", [1]], "at [1]: expected int, got 'x' [int_type]"),
    ],
)
def test_violation_line(path, line):
    assert t.violation_line([v(path)]) == line
    err = t.make_error([v(path)])
    assert str(err) == line
    assert err.message == line


def test_path_tuple_keeps_types():
    err = t.make_error([v(["k", [2], -1, 2**80, "z"])])
    assert err.path == ("k", 2, -1, 2**80, "z")
    assert [type(p) for p in err.path] == [str, int, int, int, str]


def test_message_of_several_failures():
    err = t.make_error(
        [
            v(["a"], "str", "1", "string_type"),
            v([[0]], "int", "'b'", "int_type"),
            v([], "None", "2", "none_required"),
        ]
    )
    assert str(err) == (
        "3 validation errors:\n"
        "at a: expected str, got 1 [string_type]\n"
        "at [0]: expected int, got 'b' [int_type]\n"
        "expected None, got 2 [none_required]"
    )
    # The attributes describe the first failure only; errors lists all.
    assert err.message == "at a: expected str, got 1 [string_type]"
    assert err.code == "string_type"
    assert [e["code"] for e in err.errors] == ["string_type", "int_type", "none_required"]


def test_empty_failure_list_uses_default_violation():
    err = t.make_error([])
    assert str(err) == "expected a member of the schema's set, got  [validation_error]"
    assert (err.code, err.path, err.value, err.expected) == (
        "validation_error",
        (),
        "",
        "a member of the schema's set",
    )
    assert err.errors == (
        {
            "code": "validation_error",
            "path": (),
            "message": "expected a member of the schema's set, got  [validation_error]",
            "expected": "a member of the schema's set",
            "value": "",
        },
    )


def test_errors_are_plain_json_data_in_key_order():
    err = t.make_error([v(["a", [1]], "str", "5", "string_type"), v([], "int", "None", "int_type")])
    first = err.errors[0]
    assert list(first) == ["code", "path", "message", "expected", "value"]
    assert json.loads(json.dumps(err.errors)) == [
        {
            "code": "string_type",
            "path": ["a", 1],
            "message": "at a[1]: expected str, got 5 [string_type]",
            "expected": "str",
            "value": "5",
        },
        {
            "code": "int_type",
            "path": [],
            "message": "expected int, got None [int_type]",
            "expected": "int",
            "value": "None",
        },
    ]


def test_attributes_are_built_on_first_access_and_stored():
    err = t.make_error([v(["a"])])
    assert list(vars(err)) == ["_failures"]
    assert err.args == (str(err),)
    assert err.code == "int_type"
    # Only the attribute asked for is stored.
    assert set(vars(err)) == {"_failures", "code"}
    path = err.path
    assert err.path is path  # stored: the second access is an ordinary lookup
    del err.code
    assert err.code == "int_type"  # built again while the failures are there
    assert set(vars(err)) == {"_failures", "code", "path"}


def test_foreign_failures_give_defaults_and_store_nothing():
    err = t.make_error([v(["a"])])
    err._failures = object()
    assert (err.code, err.message, err.expected, err.value, err.path, err.errors) == ("", "", "", "", (), ())
    assert list(vars(err)) == ["_failures"]


def test_unknown_attribute_names_the_subclass():
    class Narrow(t.ValidationError):
        pass

    err = Narrow("m")
    err._failures = vars(t.make_error([v()]))["_failures"]
    assert err.code == "int_type"
    with pytest.raises(AttributeError, match=r"^'Narrow' object has no attribute 'spam'$"):
        err.spam


def test_getattr_hook_argument_errors():
    read = t.ValidationError.__getattr__.__closure__[0].cell_contents
    with pytest.raises(TypeError) as info:
        read(t.make_error([v()]), 5)
    assert str(info.value) == "'int' object is not an instance of 'str'"
    assert info.value.__notes__ == ["while processing 'name'"]
    with pytest.raises(TypeError, match=r"^validation_error_getattr\(\) missing 1 required positional argument: 'name'$"):
        read(t.make_error([v()]))


def test_failures_type_cannot_be_instantiated_or_subclassed():
    failures = t.failures_type()
    assert failures.__module__ == "tessolin"
    assert failures.__name__ == "Failures"
    assert type(vars(t.make_error([]))["_failures"]) is failures
    with pytest.raises(TypeError):
        failures()
    with pytest.raises(TypeError):

        class Sub(failures):
            pass


def test_raise_error_raises_the_class():
    with pytest.raises(t.ValidationError) as info:
        t.raise_error([v(["x"])])
    assert info.value.path == ("x",)


def test_json_invalid_error():
    text = "expected value at line 1 column 4 " + "x" * 100
    err = t.json_invalid(text)
    assert err.code == "json_invalid"
    assert err.expected == "valid JSON"
    assert err.path == ()
    assert err.value == text[:80] + "..."
    assert str(err) == f"expected valid JSON, got {text[:80]}... [json_invalid]"


@pytest.fixture
def pickled_as_tessolin(monkeypatch):
    # pickle finds the class by name: point tessolin's name at the testing
    # module's own ValidationError.
    monkeypatch.setattr(tessolin, "ValidationError", t.ValidationError)


def test_pickle_round_trip(pickled_as_tessolin):
    err = t.make_error([v(["a", [0]], "str", "1", "string_type"), v([], "int", "None", "int_type")])
    _ = err.code  # partly built before pickling
    clone = pickle.loads(pickle.dumps(err))
    names = ["code", "path", "message", "expected", "value", "errors"]
    assert type(clone) is t.ValidationError
    assert str(clone) == str(err)
    for name in names:
        assert getattr(clone, name) == getattr(err, name)
    assert "_failures" not in vars(clone)
    assert "_failures" not in vars(err)
    assert set(vars(err)) == set(names)
    # Without failures, a deleted attribute reads as its default and stays absent.
    del err.code
    assert err.code == ""
    assert "code" not in vars(err)


def test_copy_materialises_too(pickled_as_tessolin):
    err = t.make_error([v(["k"])])
    dup = copy.copy(err)
    assert dup.path == ("k",) and dup.code == "int_type"
    assert "_failures" not in vars(dup) and "_failures" not in vars(err)


def test_reduce_while_other_threads_read(pickled_as_tessolin):
    # Reading an attribute while another thread pickles the error must never
    # see the "no failures" defaults.
    stop = threading.Event()
    bad = []

    def reader(errors):
        while not stop.is_set():
            for err in errors:
                if err.code != "int_type" or err.path != ("a",):
                    bad.append((err.code, err.path))

    for _ in range(50):
        errors = [t.make_error([v(["a"])]) for _ in range(50)]
        threads = [threading.Thread(target=reader, args=(errors,)) for _ in range(3)]
        for th in threads:
            th.start()
        for err in errors:
            pickle.dumps(err)
        stop.set()
        for th in threads:
            th.join()
        stop.clear()
    assert bad == []


# --- value text ----------------------------------------------------------------


class LongRepr:
    def __repr__(self):
        return "r" * 200


class BadRepr:
    def __repr__(self):
        raise ValueError("no repr")


class MyList(list):
    pass


class MyDict(dict):
    pass


class MySet(set):
    pass


@pytest.mark.parametrize(
    "value, text",
    [
        ("a" * 78, "'" + "a" * 78 + "'"),  # 80 characters: kept whole
        ("a" * 79, "'" + "a" * 79 + "..."),  # 81: cut at 80
        ("é" * 78, "'" + "é" * 78 + "'"),  # characters, not bytes
        (LongRepr(), "r" * 80 + "..."),
        (MyDict(a=1), "{'a': 1}"),
        (MySet([1]), "MySet({1})"),
        (frozenset(), "frozenset()"),
        ([[[[[[[[[[[[[[1]]]]]]]]]]]]]], "[[[[[[[[[[[[[...]]]]]]]]]]]]]"),
        (10**100, "1" + "0" * 79 + "..."),
        (None, "None"),
    ],
)
def test_render_value(value, text):
    assert t.render_value(value) == text


def test_containers_go_through_reprlib_then_the_cut():
    # reprlib shows 32 items and "...", then the text is cut at 80.
    assert t.render_value(list(range(40))) == repr(list(range(40)))[:80] + "..."
    assert t.render_value(list(range(5))) == "[0, 1, 2, 3, 4]"
    long_items = t.render_value(tuple(range(100, 140)))
    assert long_items.endswith("...") and len(long_items) == 83
    # A subclass is rendered by reprlib's fallback: repr() elided in the
    # middle to 80 characters.
    sub = t.render_value(MyList(range(40)))
    assert len(sub) == 80 and sub.startswith("[0, 1, 2") and sub.endswith("38, 39]") and "..." in sub
    # reprlib swallows a failing item repr.
    assert t.render_value([BadRepr()]).startswith("[<BadRepr instance at")


def test_repr_failure():
    with pytest.raises(ValueError, match="no repr"):
        t.render_value(BadRepr())
    assert t.safe_repr(BadRepr()) == "<unrepresentable>"


def test_repr_result_whose_str_fails(monkeypatch):
    class Loud(str):
        def __str__(self):
            raise RuntimeError("no str")

    class Odd:
        def __repr__(self):
            return Loud("odd")

    seen = []
    monkeypatch.setattr(sys, "unraisablehook", lambda info: seen.append(info.exc_type))
    assert t.render_value(Odd()) == "<unprintable Loud object>"
    assert seen == [RuntimeError]


def test_lone_surrogate_in_repr():
    class Surrogate:
        def __repr__(self):
            return "a\ud800b"

    assert t.render_value(Surrogate()) == "a\ufffd\ufffd\ufffdb"
    assert t.render_value("\ud800") == repr("\ud800")


def test_class_name():
    class Named:
        pass

    class WeirdMeta(type):
        __name__ = property(lambda cls: 5)

    assert t.class_name(int) == "int"
    assert t.class_name(Named) == "Named"
    odd = WeirdMeta("Odd", (), {})
    assert t.class_name(odd) == repr(odd)
    assert t.class_name(BadRepr()) == "<unrepresentable>"


@pytest.mark.parametrize(
    "text, quoted",
    [
        ("first_name", '"first_name"'),
        (r"^\d+$", r'"^\\d+$"'),
        ('a"b\\c\td', r'"a\"b\\c\td"'),
        ("\r\n\0", r'"\r\n\0"'),
        ("it's é 中", "\"it's é 中\""),
        ("a b", '"a b"'),
        ("\x85\u00a0\u200b\u2028", r'"\u{85}\u{a0}\u{200b}\u{2028}"'),
        ("e\u0301", r'"e\u{301}"'),
        ("\ue000\U0010ffff", r'"\u{e000}\u{10ffff}"'),
    ],
)
def test_quote_text(text, quoted):
    assert t.quote_text(text) == quoted


def test_shorten_text():
    assert t.shorten_text("x" * 80) == "x" * 80
    assert t.shorten_text("x" * 81) == "x" * 80 + "..."
    assert t.shorten_text("ü" * 81) == "ü" * 80 + "..."
    assert t.shorten_text("") == ""


class _MisspokenInt(int):
    # An int subclass whose texts are not its digits.
    def __str__(self):
        return "nope"

    __repr__ = __str__


@pytest.mark.parametrize("value", [2**70, -(2**70), 3])
def test_int_subclass_key_is_named_by_its_value(value):
    validator = tessolin.Validator(dict[int, str])
    with pytest.raises(tessolin.ValidationError) as info:
        validator.validate({_MisspokenInt(value): 2})
    err = info.value
    # As for a plain int key: the path holds the int, the message its digits.
    with pytest.raises(tessolin.ValidationError) as plain:
        validator.validate({value: 2})
    assert err.path == plain.value.path == (value,)
    assert [type(p) for p in err.path] == [int]
    assert err.errors == plain.value.errors
    assert err.errors[0]["message"] == f"at [{value}]: expected str, got 2 [string_type]"
