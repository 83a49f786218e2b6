"""Pattern constraints: full matches that agree with Python's `re` where both
accept a pattern with the same meaning, and the refusal of every spelling the
two read differently."""

import json
import random
import re
import threading
import warnings
from typing import Annotated

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from tessolin import ValidationError, Validator


def pat(text, flags=0):
    """A pattern-carrying object, for texts that re itself would reject or warn about."""
    return type("Pat", (), {"pattern": text, "flags": flags})()


# ASCII only: the two engines define \w, \s and case folding differently
# beyond it, and \s differs at U+001C..U+001F, so those are left out too.
ALPHABET = "".join(c for c in map(chr, range(128)) if c.isprintable() or c in "\t\n\r")
BASE_PIECES = "abcfoxyzABFK019 _-.+@:{}[]$&\n\t"

# Patterns both engines accept and read the same way on ASCII text. Several
# are near misses of the refused spellings below and must stay accepted.
CORPUS = [
    (r"[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,}", 0),
    (r"\w+", 0),
    (r"\W+", 0),
    (r"\d{3}-\d{2,4}", 0),
    (r"\s*\S+(\s+\S+)*\s*", 0),
    (r"[\d\s]+", 0),
    (r"[\w.-]+", 0),
    (r"get|post|put|delete", re.IGNORECASE),
    (r"(?i)[a-f0-9]{2}(:[a-f0-9]{2})*", 0),
    (r"a.b", 0),
    (r"a.b", re.DOTALL),
    (r"[^\n]*\n", 0),
    (r"(^\w+$\n)*\w*", re.MULTILINE),
    (r"^\w+$|^\d+$", 0),
    (r"(a$)?", 0),
    (r"(ab|a)(bc|c)", 0),
    (r"(a|b)*abb", 0),
    (r"x*y+z?", 0),
    (r"a{2,4}", 0),
    (r"a{3}b{0,}", 0),
    (r"a{2}b", 0),
    (r"a{2}\+", 0),
    (r"\++", 0),
    (r"[+]+", 0),
    (r"(a+)+b", 0),
    (r"(?:a*)+", 0),
    (r"[^abc]+", 0),
    (r"[]a]+", 0),
    (r"[^]a]", 0),
    (r"[a-]+", 0),
    (r"[-a]+", 0),
    (r"[\[\]]+", 0),
    (r"[a\-\-b&\&]+", 0),
    (r"a&&b--c", 0),
    (r"[$]x\$", 0),
    (r"\bfoo\b.*", 0),
    (r".*\Bo\B.*", 0),
    (r"a\b\{start}", 0),
    (r"\d+ \. \d+  # a version", re.VERBOSE),
    (r"[\ a]+ b{2}", re.VERBOSE),
    (r"[ a]+", re.IGNORECASE),
    (r"\t\x41\u0042\.", 0),
    (r"", 0),
    (r"a|", 0),
]


def corpus_id(case):
    text, flags = case
    return f"{text!r}/{flags}"


def texts_for(pattern, seed):
    """Short strings over the pattern's own ASCII characters and a few others."""
    pieces = sorted(set(BASE_PIECES) | {c for c in pattern if c in ALPHABET})
    rng = random.Random(seed)
    out = ["", "a", "aa", "foo", "ab@cd.ef", "123-4567", "a.b", "a\nb", "GET", "Post", "0a:1B:ff", "x{start}"]
    for _ in range(400):
        out.append("".join(rng.choice(pieces) for _ in range(rng.randrange(9))))
    return out


@pytest.mark.parametrize("case", CORPUS, ids=corpus_id)
def test_full_match_agrees_with_re(case):
    text, flags = case
    compiled = re.compile(text, flags)
    v = Validator(Annotated[str, compiled])
    disagreements = [s for s in texts_for(text, text) if v.is_valid(s) != bool(compiled.fullmatch(s))]
    assert disagreements == []
    # The same texts arriving as JSON strings.
    disagreements = [s for s in texts_for(text, text) if v.is_valid_json(json.dumps(s)) != bool(compiled.fullmatch(s))]
    assert disagreements == []


PROPERTY_PATTERNS = [
    re.compile(r"[a-z0-9._%+-]+@[a-z0-9-]+(\.[a-z0-9-]+)*\.[a-z]{2,6}"),
    re.compile(r"\w+(\s+\w+)*"),
    re.compile(r"(?:GET|POST|PUT|DELETE) /\S*", re.IGNORECASE),
    re.compile(r"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"),
    re.compile(r"(\d{1,3}\.){3}\d{1,3}"),
    re.compile(r"#.*\n|[^#\n]*", re.MULTILINE),
    re.compile(r"(a|ab)(c|bcd)(d*)"),
]


# Nested repetitions whose near misses take `re` exponential time on the
# long texts hypothesis generates; the short texts above cover them.
BACKTRACKING = {r"(a+)+b", r"(?:a*)+", r"\s*\S+(\s+\S+)*\s*"}


def mutated(s, data):
    """A near miss: the matching text with one character changed, dropped or doubled."""
    if not s:
        return data.draw(st.text(alphabet=ALPHABET, max_size=3))
    i = data.draw(st.integers(0, len(s) - 1))
    how = data.draw(st.sampled_from(["change", "drop", "double"]))
    if how == "change":
        return s[:i] + data.draw(st.sampled_from(ALPHABET)) + s[i + 1 :]
    if how == "drop":
        return s[:i] + s[i + 1 :]
    return s[:i] + s[i] + s[i:]


@pytest.mark.parametrize(
    "compiled",
    PROPERTY_PATTERNS + [re.compile(text, flags) for text, flags in CORPUS if text not in BACKTRACKING],
    ids=lambda p: f"{p.pattern!r}/{p.flags & 0x5A}",
)
@settings(max_examples=60, deadline=None)
@given(data=st.data())
def test_generated_texts_agree_with_re(compiled, data):
    v = _validator_for(compiled)
    s = data.draw(st.from_regex(compiled, fullmatch=True, alphabet=st.sampled_from(ALPHABET)))
    for t in (s, mutated(s, data), data.draw(st.text(alphabet=ALPHABET, max_size=20))):
        assert v.is_valid(t) == bool(compiled.fullmatch(t)), t


_validators = {}


def _validator_for(compiled):
    if compiled not in _validators:
        _validators[compiled] = Validator(Annotated[str, compiled])
    return _validators[compiled]


# Spellings `re` accepts with another meaning: (pattern, flags, what is
# reported, code point position in the final text).
DIVERGENT = [
    ("[[:alpha:]]", 0, "nested set", 1),
    ("[a[:digit:]]", 0, "nested set", 2),
    ("[&&b]", 0, "set intersection", 1),
    ("[^&&b]", 0, "set intersection", 2),
    ("[^---]", 0, "set difference", 3),
    ("[--a]", 0, "set difference", 1),
    ("[~~a]", 0, "set symmetric difference", 1),
    ("[%--]", re.IGNORECASE, "set difference", 6),
    ("a*+", 0, "possessive quantifier", 1),
    ("a++", 0, "possessive quantifier", 1),
    ("x?+", 0, "possessive quantifier", 1),
    ("ab{2,3}+", 0, "possessive quantifier", 2),
    ("a{2}+", 0, "possessive quantifier", 1),
    ("(a|b)*+", 0, "possessive quantifier", 5),
    ("[*]é*+", 0, "possessive quantifier", 4),
    (r"\<a", 0, "word-boundary assertion", 0),
    (r"a\>", 0, "word-boundary assertion", 1),
    (r"\b{start}a", 0, "word-boundary assertion", 0),
    ("a{ 2 }", 0, "counted repetition", 1),
    ("a{2, 3}", 0, "counted repetition", 1),
    ("[ a]", re.VERBOSE, "skipped blank", 5),
    ("(?x:a)[b#]", 0, "comment", 8),
    ("a$\n", 0, "end anchor", 1),
    ("(a$|b)c", 0, "end anchor", 2),
    ("(a$)+", 0, "end anchor", 2),
    ("(?m:a)$\\n", 0, "end anchor", 6),
    ("a$b", re.DOTALL, "end anchor", 5),
    # A leading ] followed by - starts a range for re.
    ("[]-a]", 0, "range", 1),
    ("[^]-a]", 0, "range", 2),
    # Under the verbose flag re skips only ASCII blanks.
    ("a\xa0b", re.VERBOSE, "skipped blank", 5),
    ("(?x)a\u3000b", 0, "skipped blank", 5),
    ("a\x85b", re.VERBOSE, "skipped blank", 5),
    # The verbose scope ends with its group: the line feed after $ is text.
    ("(?x:)a$\n?", 0, "end anchor", 6),
    # A backslash in a verbose comment escapes the line feed for re.
    ("a#\\\nb", re.VERBOSE, "escaped line feed", 6),
    ("a # x \\\n b", re.VERBOSE, "escaped line feed", 10),
    ("a # one\n b # two \\\n c", re.VERBOSE, "escaped line feed", 21),
]


@pytest.mark.parametrize("text, flags, what, position", DIVERGENT)
def test_divergent_spellings_are_refused(text, flags, what, position):
    # re reads each of them, so a compiled re.Pattern can carry them here.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", FutureWarning)
        re.compile(text, flags)
    with pytest.raises(ValueError, match=f"^possible {what} at position {position} in "):
        Validator(Annotated[str, pat(text, flags)])


@pytest.mark.parametrize(
    "text, flags, members, non_members",
    [
        # Escapes with braces of their own are no counts (re refuses these).
        (r"\p{Greek}+", 0, ["αβ"], ["ab"]),
        (r"\x{41}+\u{42}", 0, ["AAB"], ["AB+"]),
        # A multiline flag in front, inline or carried, makes `$` agree.
        ("(?m)a$\nb", re.IGNORECASE, ["A\nb"], ["ab"]),
        ("a$\n(?-s)b", re.MULTILINE, ["a\nb"], ["ab"]),
        ("(?i)\\++a", re.MULTILINE, ["++A"], ["+a+"]),
        # A leading ] is a member; only ]- before another member is a range.
        ("[]a]", 0, ["]", "a"], ["-"]),
        ("[]-]", 0, ["]", "-"], ["a", "_"]),
        ("[a-]", 0, ["a", "-"], ["b"]),
        # ASCII blanks and comments under the verbose flag; an escaped
        # backslash ends a comment's text, not its line.
        ("a b # c\n\tc", re.VERBOSE, ["abc"], ["a b", "ab"]),
        ("a # ends \\\\\nb", re.VERBOSE, ["ab"], ["a"]),
        ("a\xa0b", 0, ["a\xa0b"], ["ab"]),
        # A $ at the true end after a verbose scope, or blanks after $
        # inside the scope.
        ("(?x: a )$", 0, ["a"], ["a\n", " a "]),
        ("(?x:a$\n)", 0, ["a"], ["a\n"]),
    ],
)
def test_spellings_near_the_refused_ones_stay_accepted(text, flags, members, non_members):
    v = Validator(Annotated[str, pat(text, flags)])
    assert [m for m in members if not v.is_valid(m)] == []
    assert [m for m in non_members if v.is_valid(m)] == []


def test_possessive_refusal_message():
    with pytest.raises(ValueError) as info:
        Validator(Annotated[str, re.compile("a{2}+")])
    assert str(info.value) == (
        'possible possessive quantifier at position 1 in "a{2}+": `re` reads this as a possessive quantifier and '
        "this engine as a repetition of a repetition, so the two match different texts. Drop the + to repeat once, "
        "or group the inner repetition, as in (?:a*)+, to repeat it again."
    )


@pytest.mark.parametrize(
    "text, engine_error",
    [
        # Spliced into anchors it would close their group: starts with a, or ends with b.
        ("a)|(b", "unopened group"),
        ("x)(y", "unopened group"),
        ("(a", "unclosed group"),
        ("a\\", "incomplete escape"),
    ],
)
def test_pattern_is_parsed_on_its_own(text, engine_error):
    with pytest.raises(ValueError) as info:
        Validator(Annotated[str, pat(text)])
    assert re.match(r'invalid regular expression ".*": .*' + engine_error, str(info.value))


def test_verbose_comment_may_end_the_pattern():
    v = Validator(Annotated[str, re.compile("a+ # trailing comment", re.VERBOSE)])
    assert v.is_valid("aa") and not v.is_valid("aa # trailing comment")


@pytest.mark.parametrize(
    "pattern, exc, text",
    [
        (
            "\ud800",
            NotImplementedError,
            "the pattern '\\ud800' cannot constrain a schema: a pattern is matched against text, so write the "
            "pattern as a str",
        ),
        (
            None,
            NotImplementedError,
            "the pattern None cannot constrain a schema: a pattern is matched against text, so write the pattern "
            "as a str",
        ),
    ],
)
def test_pattern_values_that_are_not_text(pattern, exc, text):
    with pytest.raises(exc) as info:
        Validator(Annotated[str, pat(pattern)])
    assert str(info.value) == text


@pytest.mark.parametrize("flags", [None, 2.0, -1, 2**40, "i"])
def test_unusable_flags_leave_the_pattern_unchanged(flags):
    v = Validator(Annotated[str, pat("ab", flags)])
    assert v.is_valid("ab") and not v.is_valid("AB")


def test_values_a_pattern_cannot_read():
    v = Validator(Annotated[str, re.compile(".*", re.DOTALL)])
    assert v.is_valid("é\n\U0001f600")
    # No UTF-8 for a lone surrogate: a failed constraint, not an exception.
    assert not v.is_valid("a\ud800")
    with pytest.raises(ValidationError) as info:
        v.validate("a\ud800")
    assert [e["code"] for e in info.value.errors] == ["string_pattern_mismatch"]


def test_unicode_classes_match_whole_code_points():
    v = Validator(Annotated[str, re.compile(r"\w{3}")])
    assert v.is_valid("日本語") and v.is_valid("é_1") and not v.is_valid("日本")


def test_one_compiled_pattern_serves_many_threads():
    v = Validator(Annotated[str, re.compile(r"(?:[a-z]+\d)+")])
    texts = [("ab1cd2" * k, True) for k in range(1, 40)] + [("ab1cd" * k, False) for k in range(1, 40)]
    failures = []

    def run():
        for _ in range(50):
            for s, expected in texts:
                if v.is_valid(s) != expected:
                    failures.append(s)

    threads = [threading.Thread(target=run) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []


def test_long_texts_match_in_linear_time():
    # A pattern that makes a backtracking matcher explode.
    v = Validator(Annotated[str, re.compile(r"(a|aa)*(a|aa)*b")])
    assert not v.is_valid("a" * 100_000)
    assert v.is_valid("a" * 100_000 + "b")

