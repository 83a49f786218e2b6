"""The JSON methods' fast road (the document checked while it is read)
against their exact road (parse, then walk), which a process started with
TESSOLIN_JSON_ROAD=exact takes for every document: the same answers, the
same values from load and the same errors, for generated schemas and
documents, malformed ones included. Also: the lock released for long
documents while other threads share the validators."""

import json
import os
import pickle
import re
import struct
import subprocess
import sys
import threading
from typing import Annotated, Any, Literal

import annotated_types as at
import pytest
from hypothesis import HealthCheck, assume, given, settings
from hypothesis import strategies as st

from tessolin import ValidationError, Validator, complement, intersection, recursive

# ---- schemas, written as plain data so that the exact-road process can
# build the same ones

KEYS = ["a", "b", "id", "name", "tags", "é", "a\u00e9", "long_field_name_x"]
BIG = 2**70


def build(recipe):
    kind, *args = recipe
    leaves = {"int": int, "float": float, "str": str, "bool": bool, "none": None, "any": Any, "bytes": bytes}
    if kind in leaves:
        return leaves[kind]
    if kind == "lit":
        return Literal[tuple(args[0])]
    if kind in ("ge", "gt", "le", "lt", "mult", "minlen", "maxlen"):
        make = {"ge": at.Ge, "gt": at.Gt, "le": at.Le, "lt": at.Lt, "mult": at.MultipleOf, "minlen": at.MinLen,
                "maxlen": at.MaxLen}[kind]
        return Annotated[build(args[0]), make(args[1])]
    if kind == "pattern":
        return Annotated[build(args[0]), re.compile(args[1])]
    if kind == "list":
        return list[build(args[0])]
    if kind == "pair":
        return tuple[build(args[0]), build(args[1])]
    if kind == "set":
        return set[build(args[0])]
    if kind == "dict":
        return dict[str, build(args[0])]
    if kind == "keyed":
        return dict[Literal[tuple(args[0])], build(args[1])]
    if kind == "rec":
        fields, extra = args
        schema = {name + ("" if required else "?"): build(s) for name, required, s in fields}
        if extra is not None:
            schema[str] = build(extra)
        return schema
    if kind == "union":
        out = build(args[0][0])
        for s in args[0][1:]:
            out = out | build(s)
        return out
    if kind == "inter":
        return intersection(*[build(s) for s in args[0]])
    if kind == "not":
        return complement(build(args[0]))
    if kind == "tree":
        return recursive(lambda x: int | str | list[x] | dict[str, x])
    if kind == "chain":
        return recursive(lambda x: {"v": int, "next?": x})
    raise ValueError(recipe)


LEAVES = st.sampled_from(
    [("int",), ("float",), ("str",), ("bool",), ("none",), ("any",), ("bytes",), ("tree",), ("chain",)]
)
NUMBERS = st.sampled_from([0, 1, -1, 3, 2**53, 2**63 - 1, -(2**63), 2**63, -(2**63) - 1, BIG, -BIG, 0.5, -2.5, 1e300])


def compounds(inner):
    return st.one_of(
        st.tuples(st.just("lit"), st.lists(st.one_of(NUMBERS, st.sampled_from(["a", "é", "", True, None])),
                                           min_size=1, max_size=4).map(tuple)),
        st.tuples(st.sampled_from(["ge", "gt", "le", "lt", "mult"]), st.sampled_from([("int",), ("float",), ("any",)]),
                  st.one_of(NUMBERS.filter(lambda n: n != 0), st.just("b"))),
        st.tuples(st.sampled_from(["minlen", "maxlen"]), st.one_of(inner, st.just(("str",))),
                  st.integers(0, 3)),
        st.tuples(st.just("pattern"), st.just(("str",)), st.sampled_from([r"[a-zé]+\d?", r"..", r"x|é*"])),
        st.tuples(st.just("list"), inner),
        st.tuples(st.just("pair"), inner, inner),
        st.tuples(st.just("set"), inner),
        st.tuples(st.just("dict"), inner),
        st.tuples(st.just("keyed"), st.lists(st.sampled_from(KEYS), min_size=1, max_size=3).map(tuple), inner),
        st.tuples(
            st.just("rec"),
            st.lists(st.tuples(st.sampled_from(KEYS), st.booleans(), inner), max_size=4, unique_by=lambda f: f[0])
            .map(tuple),
            st.one_of(st.none(), inner),
        ),
        st.tuples(st.just("union"), st.lists(inner, min_size=2, max_size=3).map(tuple)),
        st.tuples(st.just("inter"), st.lists(inner, min_size=2, max_size=2).map(tuple)),
        st.tuples(st.just("not"), inner),
    )


SCHEMAS = st.recursive(LEAVES, compounds, max_leaves=6)

# ---- documents

SCALARS = st.one_of(
    st.none(),
    st.booleans(),
    NUMBERS,
    st.integers(-(2**80), 2**80),
    st.floats(allow_nan=False, allow_infinity=False),
    st.sampled_from(["", "a", "b", "é", "ab", "a1", "日本", "😀x", "x\n\"\\"]),
    st.text(max_size=4),
)
VALUES = st.recursive(
    SCALARS,
    lambda inner: st.one_of(st.lists(inner, max_size=4), st.dictionaries(st.sampled_from(KEYS), inner, max_size=4)),
    max_leaves=10,
)


TEXTS = st.sampled_from(["", "a", "b", "ab", "a1", "é", "éé", "x", "日本", "😀x", "b\n"])
CHAINS = st.recursive(st.fixed_dictionaries({"v": st.integers(-3, 3)}),
                      lambda inner: st.fixed_dictionaries({"v": st.integers(-3, 3), "next": inner}), max_leaves=4)


def shaped(recipe):
    """Values shaped after the schema recipe, now and then off it at any level."""
    kind, *args = recipe
    leaves = {
        "int": st.one_of(st.integers(-(2**70), 2**70), st.booleans()),
        "float": st.floats(allow_nan=False, allow_infinity=False),
        "str": TEXTS,
        "bool": st.booleans(),
        "none": st.none(),
        "any": VALUES,
        "bytes": VALUES,
        "tree": VALUES,
        "not": VALUES,
        "chain": CHAINS,
        "pattern": st.sampled_from(["ab", "é1", "x", "éé", "", "a12"]),
    }
    if kind in leaves:
        on = leaves[kind]
    elif kind == "lit":
        on = st.sampled_from(args[0])
    elif kind in ("ge", "gt", "le", "lt", "mult"):
        on = st.one_of(NUMBERS, st.integers(-5, 5), st.sampled_from(["a", "c"]))
    elif kind in ("minlen", "maxlen", "list", "set", "dict"):
        inner = shaped(args[0])
        on = {"minlen": inner, "maxlen": inner, "list": st.lists(inner, max_size=4), "set": st.lists(inner, max_size=3),
              "dict": st.dictionaries(st.sampled_from(KEYS), inner, max_size=3)}[kind]
    elif kind == "pair":
        on = st.tuples(shaped(args[0]), shaped(args[1])).map(list)
    elif kind == "keyed":
        on = st.dictionaries(st.sampled_from(args[0]), shaped(args[1]), max_size=3)
    elif kind == "rec":
        fields, extra = args
        required = {name: shaped(f) for name, req, f in fields if req}
        optional = {name: shaped(f) for name, req, f in fields if not req}
        on = st.fixed_dictionaries(required, optional=optional)
        if extra is not None:
            on = st.tuples(on, st.dictionaries(st.sampled_from(["q", "r"]), shaped(extra), max_size=2)).map(
                lambda p: {**p[1], **p[0]})
    elif kind == "union":
        on = st.one_of([shaped(m) for m in args[0]])
    elif kind == "inter":
        on = shaped(args[0][0])
    else:
        raise ValueError(recipe)
    return st.one_of(on, on, on, VALUES)


def dumps(value, style):
    if style == 0:
        return json.dumps(value)
    if style == 1:
        return json.dumps(value, separators=(",", ":"), ensure_ascii=False)
    return json.dumps(value, indent=1, ensure_ascii=style == 2)


@st.composite
def documents(draw, values=VALUES):
    text = dumps(draw(values), draw(st.integers(0, 3)))
    change = draw(st.integers(0, 9))
    if change == 1 and "{" in text:
        # A repeated key: the last one wins on the exact road.
        key = draw(st.sampled_from(KEYS))
        earlier = json.dumps(draw(SCALARS))
        at_ = text.index("{") + 1
        rest = text[at_:].lstrip()
        sep = "" if rest.startswith("}") else ", "
        text = text[:at_] + json.dumps(key) + ": " + earlier + sep + text[at_:]
    elif change == 2 and text:
        cut = draw(st.integers(0, len(text) - 1))
        text = text[:cut]
    elif change == 3 and text:
        where = draw(st.integers(0, len(text)))
        text = text[:where] + draw(st.sampled_from(list(",:[]{}\"\\x0- \x01"))) + text[where:]
    elif change == 4:
        depth = draw(st.integers(195, 205))
        inner = draw(st.sampled_from(["1", '"a"', "{}", '{"a": 1}']))
        text = "[" * depth + inner + "]" * depth
    elif change == 5:
        text = text + draw(st.sampled_from([" ", " x", ",", "\n\t", "]"]))
    elif change == 6:
        text = draw(st.sampled_from(['"\\ud800"', '["\\udc00"]', '{"a": "\\ud83d\\ude00"}', '"\\u00e9"', '"\\q"']))
    if change == 7:
        # Invalid UTF-8 in a bytes document.
        data = text.encode()
        where = draw(st.integers(0, len(data)))
        bad = draw(st.sampled_from([b"\xff", b"\xc0\x80", b"\xed\xa0\x80", b"\xe2\x82", b"\xf4\x90\x80\x80"]))
        return data[:where] + bad + data[where:]
    if change == 8:
        return text.encode("utf-8", "surrogatepass")
    return text


# ---- the outcome of every JSON method on one document

ALTERNATIVES = re.compile(r"one of: (.*?)(, got .*|$)", re.S)


def canonical(text):
    """The text with its list of a union's alternatives sorted: their order
    follows the schema's interned nodes, which depend on what the process
    built before."""
    return ALTERNATIVES.sub(lambda m: "one of: " + ", ".join(sorted(m.group(1).split(", "))) + m.group(2), text)


def canonical_errors(errors):
    return [{k: canonical(v) if k in ("message", "expected") else v for k, v in e.items()} for e in errors]


def outcome(v, doc):
    out = []
    for call in (v.is_valid_json, v.validate_json, lambda d: v.validate_json(d, fail_fast=True), v.load):
        try:
            result = call(doc)
            out.append(("ok", repr(result), type(result).__name__))
        except ValidationError as e:
            out.append(("error", canonical_errors(e.errors)))
        except Exception as e:  # noqa: BLE001 - any other exception is part of the outcome
            out.append(("raised", type(e).__name__, str(e)))
    return out


SERVER = r"""
import pickle, struct, sys
sys.path.insert(0, sys.argv[1])
from test_json_one_pass import build, outcome
from tessolin import Validator
read, write = sys.stdin.buffer, sys.stdout.buffer
while True:
    head = read.read(4)
    if len(head) < 4:
        break
    recipe, docs = pickle.loads(read.read(struct.unpack("<I", head)[0]))
    v = Validator(build(recipe))
    body = pickle.dumps([outcome(v, d) for d in docs])
    write.write(struct.pack("<I", len(body)) + body)
    write.flush()
"""


class ExactRoad:
    """A process whose JSON methods take the exact road for every document."""

    def __init__(self):
        env = dict(os.environ, TESSOLIN_JSON_ROAD="exact")
        here = os.path.dirname(os.path.abspath(__file__))
        self.process = subprocess.Popen(
            [sys.executable, "-c", SERVER, here], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env
        )

    def outcomes(self, recipe, docs):
        body = pickle.dumps((recipe, docs))
        self.process.stdin.write(struct.pack("<I", len(body)) + body)
        self.process.stdin.flush()
        head = self.process.stdout.read(4)
        assert len(head) == 4, "the exact-road process died"
        return pickle.loads(self.process.stdout.read(struct.unpack("<I", head)[0]))

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)


@pytest.fixture(scope="module")
def exact_road():
    road = ExactRoad()
    yield road
    road.close()


def compiled(recipe):
    """The validator of a schema recipe; recipes the compiler refuses are skipped.

    The recipe goes through pickle first, as it does to the exact-road
    process: ints beyond 64 bits are pooled by identity, so a shared big
    int and two equal copies of it make different unions."""
    try:
        return Validator(build(pickle.loads(pickle.dumps(recipe))))
    except (NotImplementedError, TypeError, ValueError):
        assume(False)


def assert_same_outcomes(exact_road, recipe, docs):
    v = compiled(recipe)
    fast = [outcome(v, d) for d in docs]
    exact = exact_road.outcomes(recipe, docs)
    for doc, f, e in zip(docs, fast, exact):
        assert f == e, (recipe, doc)


@settings(max_examples=500, deadline=None, suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
@given(recipe=SCHEMAS, data=st.data())
def test_fast_and_exact_roads_agree(exact_road, recipe, data):
    docs = data.draw(st.lists(documents(shaped(recipe)), min_size=1, max_size=8))
    assert_same_outcomes(exact_road, recipe, docs)
    # Both roads also agree with the walk over what json.loads makes: a
    # fault the two roads share shows only here.
    v = compiled(recipe)
    for doc in docs:
        try:
            parsed = json.loads(doc)
            v.validate_json(doc)
        except ValidationError as e:
            if any(entry["code"] == "json_invalid" for entry in e.errors):
                continue
        except ValueError:
            continue
        assert v.is_valid_json(doc) is v.is_valid(parsed), (recipe, doc)


RECORD = ("rec", (("id", True, ("int",)), ("name", True, ("str",)), ("tags", False, ("list", ("str",)))), None)
ROW = '{"id": 7, "name": "é\\u00e9", "tags": ["a", "b"]}'


@pytest.mark.parametrize("recipe", [RECORD, ("list", RECORD), ("any",), ("tree",)])
def test_every_error_position_agrees(exact_road, recipe):
    doc = "[" + ROW + ", " + ROW + "]" if recipe[0] == "list" else ROW
    docs = [doc[:i] for i in range(len(doc))]
    docs += [doc[:i] + c + doc[i + 1 :] for i in range(len(doc)) for c in "x}\""]
    assert_same_outcomes(exact_road, recipe, docs)


def test_documents_the_fast_road_leaves_to_the_exact_road(exact_road):
    cases = [
        (RECORD, ['{"id": 1, "name": "x", "id": "no"}', '{"id": "no", "name": "x", "id": 1}']),
        (("dict", ("int",)), ['{"a": "x", "a": 1}', '{"a": 1, "a": 2}']),
        (("maxlen", ("dict", ("any",)), 1), ['{"a": 1, "a": 2}', '{"a": 1, "b": 2}']),
        (("ge", ("int",), BIG), [str(BIG), str(BIG + 1), str(2**63), "1"]),
        (("ge", ("float",), BIG), ["1e21", "1.2e21", "1e400"]),
        (("lit", (BIG, -BIG, 2**64)), [str(BIG), str(-BIG), str(2**64), str(2**64 + 1), "-0"]),
        (("ge", ("any",), "b"), ['"a"', '"b"', '"c"', '"é"', "1", "null", "[]"]),
        (("mult", ("any",), 0.5), ["1.5", "1.25", "3", "true", '"%s"', "1e400", str(BIG)]),
        (("mult", ("int",), BIG), ["0", "5", str(BIG * 3), str(BIG + 1)]),
        (("mult", ("int",), 2**63), [str(-(2**63)), str(2**63), str(2**63 - 1), "0"]),
        (("not", ("mult", ("int",), 2**63)), [str(-(2**63)), str(-(2**63) + 1)]),
        (("tree",), ["[" * 170 + "]" * 170, "[" * 171 + "]" * 171, "[" * 200 + "]" * 200,
                     "[" * 201 + "]" * 201]),
        (("chain",), [json.dumps(nested_chain(n)) for n in (100, 126, 127, 128, 129, 199)]),
        (("str",), ['"\\ud800"', '"\\ud800\\u0041"', b'"\xed\xa0\x80"', "\"\ud800\"", '"a\x1f"']),
    ]
    for recipe, docs in cases:
        assert_same_outcomes(exact_road, recipe, docs)


def nested_chain(depth):
    node = {"v": 0}
    for i in range(depth):
        node = {"v": i, "next": node}
    return node


# ---- the fast road's answers checked against json.loads and the walk


@settings(max_examples=300, deadline=None)
@given(recipe=SCHEMAS, data=st.data())
def test_load_returns_what_json_loads_makes(recipe, data):
    value = data.draw(shaped(recipe))
    v = compiled(recipe)
    doc = json.dumps(value)
    parsed = json.loads(doc)
    member = v.is_valid(parsed)
    assert v.is_valid_json(doc) is member
    if member:
        loaded = v.load(doc)
        assert loaded == parsed and repr(loaded) == repr(parsed)
    else:
        with pytest.raises(ValidationError) as info:
            v.load(doc)
        with pytest.raises(ValidationError) as by_walk:
            v.validate(parsed)
        assert info.value.errors == by_walk.value.errors


def test_load_keeps_document_key_order():
    rows = Validator(list[{"id": int, "name": str}]).load('[{"id": 1, "name": "a"}, {"name": "b", "id": 2}]')
    assert rows == [{"id": 1, "name": "a"}, {"name": "b", "id": 2}]
    assert [list(r) for r in rows] == [["id", "name"], ["name", "id"]]


# ---- threads with the lock released


def test_threads_share_validators_with_the_lock_released():
    records = Validator(list[{"id": int, "name": str, "tags": list[str]}])
    trees = Validator(recursive(lambda x: int | str | list[x] | dict[str, x]))
    good = json.dumps([{"id": i, "name": f"n{i}", "tags": ["a", "é"]} for i in range(2000)])
    bad = good[:-3] + ', 5]}]'
    tree = json.dumps([{"k": [i, "s", {"z": [1, 2]}]} for i in range(2000)])
    cases = [(records, good, True), (records, good.encode(), True), (records, bad, False), (trees, tree, True),
             (trees, tree[:-1], False), (records, tree, False)]
    assert all(len(doc) >= 16 * 1024 for _, doc, _ in cases)
    errors = []
    barrier = threading.Barrier(6)

    def run(k):
        barrier.wait()
        for i in range(30):
            v, doc, member = cases[(k + i) % len(cases)]
            if v.is_valid_json(doc) is not member:
                errors.append((k, i))

    threads = [threading.Thread(target=run, args=(k,)) for k in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
