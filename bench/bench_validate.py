"""Membership checks of Python objects on the hot paths, in ns per item.

Cases: a 10-field record of scalars, a list[int] of 10,000 items, a union of
literals. Peers are measured in the same run when installed (msgspec and
pydantic, strict); missing ones are skipped.

    PYTHONPATH=python .venv/bin/python bench/bench_validate.py [--quick]
"""

import argparse
import sys
import time
from typing import Literal

from tessolin import Validator

FIELDS = {f"f{i}": (int if i % 3 == 0 else str if i % 3 == 1 else float) for i in range(10)}
RECORD = {name: (i if t is int else str(i) if t is str else float(i)) for i, (name, t) in enumerate(FIELDS.items())}
LIST = list(range(10_000))
LITERALS = Literal["red", "green", "blue", "cyan", "magenta", 1, 2, 3]
LITERAL_VALUES = ["red", "blue", 3, "magenta", 2, "green"] * 100


def best_ns(fn, repeat, number):
    best = None
    for _ in range(repeat):
        start = time.perf_counter_ns()
        for _ in range(number):
            fn()
        elapsed = (time.perf_counter_ns() - start) / number
        best = elapsed if best is None or elapsed < best else best
    return best


def tessolin_cases():
    record = Validator(FIELDS)
    ints = Validator(list[int])
    colours = Validator(LITERALS)
    return {
        "record of 10 scalars": (lambda: record.is_valid(RECORD), 1),
        "list[int] x 10000": (lambda: ints.is_valid(LIST), len(LIST)),
        "literal union": (lambda: [colours.is_valid(v) for v in LITERAL_VALUES], len(LITERAL_VALUES)),
    }


def msgspec_cases():
    try:
        import msgspec
    except ImportError:
        return None
    from typing import TypedDict

    record_type = TypedDict("R", FIELDS)
    convert = msgspec.convert
    return {
        "record of 10 scalars": (lambda: convert(RECORD, record_type, strict=True), 1),
        "list[int] x 10000": (lambda: convert(LIST, list[int], strict=True), len(LIST)),
        "literal union": (lambda: [convert(v, LITERALS, strict=True) for v in LITERAL_VALUES], len(LITERAL_VALUES)),
    }


def pydantic_cases():
    try:
        import pydantic
    except ImportError:
        return None
    from typing import TypedDict

    record_type = TypedDict("R", FIELDS)
    record = pydantic.TypeAdapter(record_type)
    ints = pydantic.TypeAdapter(list[int])
    colours = pydantic.TypeAdapter(LITERALS)
    return {
        "record of 10 scalars": (lambda: record.validate_python(RECORD, strict=True), 1),
        "list[int] x 10000": (lambda: ints.validate_python(LIST, strict=True), len(LIST)),
        "literal union": (
            lambda: [colours.validate_python(v, strict=True) for v in LITERAL_VALUES],
            len(LITERAL_VALUES),
        ),
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args()
    repeat, number = (3, 20) if args.quick else (7, 200)
    contenders = {"tessolin": tessolin_cases(), "msgspec": msgspec_cases(), "pydantic": pydantic_cases()}
    print(f"{'case':<24}{'contender':<12}{'ns/item':>10}")
    for case in contenders["tessolin"]:
        for name, cases in contenders.items():
            if cases is None:
                continue
            fn, items = cases[case]
            ns = best_ns(fn, repeat, number) / items
            print(f"{case:<24}{name:<12}{ns:>10.1f}")
    skipped = [name for name, cases in contenders.items() if cases is None]
    if skipped:
        print("not installed: " + ", ".join(skipped), file=sys.stderr)


if __name__ == "__main__":
    main()
