"""Time of one relation question over the relation tables that the
descriptor algebra settles (tests/test_relations_algebra.py), each asked
both ways with relation_to on a prebuilt validator.

    PYTHONPATH=python .venv/bin/python bench/bench_relations.py [--quick]
"""

import pathlib
import statistics
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).parent.parent / "tests"))

from test_relations_algebra import TABLE  # noqa: E402

from tessolin import Validator  # noqa: E402


def questions():
    for param in TABLE:
        a, b = param.values[0], param.values[1]
        yield Validator(a), b
        yield Validator(b), a


def percentile(sorted_times, q):
    return sorted_times[min(len(sorted_times) - 1, int(q * len(sorted_times)))]


def main():
    rounds = 20 if "--quick" in sys.argv else 200
    asked = list(questions())
    for v, other in asked:  # warm the caches (patterns, interning)
        v.relation_to(other)
    times = []
    for _ in range(rounds):
        for v, other in asked:
            start = time.perf_counter_ns()
            v.relation_to(other)
            times.append(time.perf_counter_ns() - start)
    times.sort()
    print(f"relation_to over {len(asked)} questions x {rounds} rounds")
    print(f"  p50 {percentile(times, 0.50) / 1000:.1f} us   p99 {percentile(times, 0.99) / 1000:.1f} us"
          f"   mean {statistics.fmean(times) / 1000:.1f} us   max {times[-1] / 1000:.1f} us")


if __name__ == "__main__":
    main()
