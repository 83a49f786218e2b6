"""Python's re.fullmatch on the inputs of pattern_bench.cpp, for comparison.

Run: .venv/bin/python bench/pattern_bench_re.py
`\\p{L}` has no `re` spelling; `[^\\W\\d_]` (letters) stands in for it.
"""
import re
import timeit


def cycle(pieces, n):
    return "".join(pieces[i % len(pieces)] for i in range(n))


def words(n):
    ws = ["apple", "BANANA", "Cherry", "durian"]
    out, i = "", 0
    while len(out) < n:
        out += ws[i % 4]
        i += 1
    return out


CASES = [
    ("word", r"\w+", lambda n: cycle(list("abcdef_1"), n)),
    ("email", r"[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,}", lambda n: "x" * max(n - 12, 1) + "@example.com"),
    ("unicode-class", r"[^\W\d_]+", lambda n: cycle(list("αβγδεΩ"), n)),
    ("icase-alternation", r"(?i)(?:apple|banana|cherry|durian)+", words),
    ("bounded-word", r"\w{1,64}", lambda n: cycle(list("ébc"), min(n, 64))),
]

print(f"{'case':22} {'chars':>8} {'bytes':>8} {'ns/call':>12} {'ns/byte':>10}")
for name, pattern, make in CASES:
    rx = re.compile(pattern)
    for n in (10, 100, 10000):
        text = make(n)
        assert rx.fullmatch(text), (name, n)
        size = len(text.encode())
        number = max(200, 2_000_000 // (size + 16))
        best = min(timeit.repeat(lambda: rx.fullmatch(text), number=number, repeat=3)) / number
        print(f"{name:22} {n:8} {size:8} {best * 1e9:12.1f} {best * 1e9 / size:10.3f}")
