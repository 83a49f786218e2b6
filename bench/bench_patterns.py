"""Full-match time of pattern constraints against Python's re, in one run.

Each case times `Validator(Annotated[str, pattern]).is_valid(s)` and
`pattern.fullmatch(s)` on the same matching texts of 10, 100 and 10,000
characters (the whole text must be read). The ratio is re's time over ours:
above 1 means faster than re.

    PYTHONPATH=python .venv/bin/python bench/bench_patterns.py [--quick]
"""

import argparse
import re
import time
from typing import Annotated

from tessolin import Validator


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
    ("e-mail", re.compile(r"[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,}"),
     lambda n: "x" * max(n - 12, 1) + "@example.com"),
    ("\\w+", re.compile(r"\w+"), lambda n: cycle(list("abcdéf_1"), n)),
    ("unicode class", re.compile(r"[\u0370-\u03ff\u1f00-\u1fff]+"), lambda n: cycle(list("αβγδεΩἀ"), n)),
    ("icase alternation", re.compile(r"(?:apple|banana|cherry|durian)+", re.IGNORECASE), words),
]
LENGTHS = [10, 100, 10_000]


def best_ns(fn, arg, repeat, budget_ns):
    fn(arg)
    start = time.perf_counter_ns()
    fn(arg)
    once = max(time.perf_counter_ns() - start, 1)
    number = max(1, min(200_000, budget_ns // once))
    best = None
    for _ in range(repeat):
        start = time.perf_counter_ns()
        for _ in range(number):
            fn(arg)
        per = (time.perf_counter_ns() - start) / number
        best = per if best is None or per < best else best
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args()
    repeat, budget = (3, 5_000_000) if args.quick else (7, 50_000_000)
    print(f"{'case':<18} {'length':>7} {'tessolin ns':>12} {'re ns':>12} {'re/tessolin':>12}")
    for name, compiled, make in CASES:
        v = Validator(Annotated[str, compiled])
        for n in LENGTHS:
            s = make(n)
            assert v.is_valid(s) and compiled.fullmatch(s), (name, n)
            ours = best_ns(v.is_valid, s, repeat, budget)
            theirs = best_ns(compiled.fullmatch, s, repeat, budget)
            print(f"{name:<18} {len(s):>7} {ours:>12.0f} {theirs:>12.0f} {theirs / ours:>12.2f}")
    # The fixed cost of one call, without any pattern: what the short texts pay.
    plain = Validator(str)
    print(f"{'(str, no pattern)':<18} {10:>7} {best_ns(plain.is_valid, 'x' * 10, repeat, budget):>12.0f}")


if __name__ == "__main__":
    main()
