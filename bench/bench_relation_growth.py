"""Time of relation questions about unions and intersections of n members
each side, n doubling from 3,125 to the most the node limit allows. Each
question asks one member list about again and again (the union on the right
while every member on the left is decided against it), so its time should
grow near linearly: about twice per row, as `x prev` shows. The schemas are
built before the clock starts; a row's answer is printed beside its time. A
question whose time passes a minute is not asked at larger n.

    PYTHONPATH=python .venv/bin/python bench/bench_relation_growth.py [--quick]
"""

import itertools
import sys
from typing import Annotated, Literal

import annotated_types as at
from timing import best_seconds
from typing_extensions import TypedDict

from tessolin import Validator, complement, intersection, union

LITERALS = 99000  # members of one literal union under the node limit
PAIRS = 49000  # members of two nodes each
QUADS = 24500  # members of four nodes each
KIND_COMBINATIONS = 6250  # members of about sixteen nodes each


def literals(values):
    return Literal.__getitem__(tuple(values))


def ints(n):
    return literals(range(n))


def strs(n):
    return literals(str(i) for i in range(n))


def lists(n, start=0):
    return [list[Literal[i]] for i in range(start, start + n)]


def ints_in_complement_of_strs(n):
    a, b = Validator(ints(n)), complement(strs(n))
    return lambda: a.relation_to(b)


def ints_in_strs_or_int(n):
    a, b = Validator(ints(n)), union(strs(n), int)
    return lambda: a.relation_to(b)


def outside_each(values):
    return intersection(*[complement(Literal[v]) for v in values])


def complements_empty(n):
    v = outside_each(str(i) for i in range(n))
    return v.is_empty


def outside_each_int_in_outside_all(n):
    a, b = outside_each(range(n)), complement(ints(n))
    return lambda: a.relation_to(b)


def outside_each_str_in_outside_all(n):
    a, b = outside_each(str(i) for i in range(n)), complement(strs(n))
    return lambda: a.relation_to(b)


def lists_in_lists_and_one(n):
    a, b = union(*lists(n)), union(*lists(n + 1))
    return lambda: a.relation_to(b)


def ints_in_complement_of_strs_or_bytes(n):
    a, b = Validator(ints(n)), complement(union(strs(n), bytes))
    return lambda: a.relation_to(b)


def lists_in_complement_of_tuples(n):
    a = union(*lists(n))
    b = complement(union(*[tuple[Literal[i], ...] for i in range(n)]))
    return lambda: a.relation_to(b)


def lists_in_complement_of_non_empty_lists(n):
    a = union(*lists(n))
    b = complement(union(*[Annotated[list[Literal[-i - 1]], at.MinLen(1)] for i in range(n)]))
    return lambda: a.relation_to(b)


def lists_meet_empty(n):
    v = intersection(*lists(n))
    return v.is_empty


def open_records_meet_empty(n):
    v = intersection(*[TypedDict(f"R{i}", {f"k{i}": int}, extra_items=int) for i in range(n)])
    return v.is_empty


def records_in_records_and_dict(n):
    records = [TypedDict(f"R{i}", {f"k{i}": int}) for i in range(n)]
    a, b = union(*records), union(*records, dict[str, str])
    return lambda: a.relation_to(b)


def kind_combinations(n):
    """n unions of builtin kinds, each a distinct node: complements of
    intersections of three plain unions."""
    plain = [int, str, bytes, float, type(None), bool]
    unions = [union(*c) for r in (2, 3) for c in itertools.combinations(plain, r)]
    triples = itertools.islice(itertools.product(unions, repeat=3), n)
    return [complement(intersection(complement(x), complement(intersection(y, complement(z))))) for x, y, z in triples]


def ints_in_kind_combinations(n):
    a, b = Validator(ints(n)), union(*kind_combinations(n))
    return lambda: a.relation_to(b)


def bounded_set_in_lists_or_str(n):
    a = Validator(Annotated[set[ints(n)], at.MinLen(2)])
    b = union(*lists(n), str)
    return lambda: a.relation_to(b)


def bounds_in_bounds_shifted(n):
    a = Validator(Annotated[int, *[at.Ge(i) for i in range(n)]])
    b = Annotated[int, *[at.Ge(i) for i in range(1, n + 1)]]
    return lambda: a.relation_to(b)


QUESTIONS = [
    ("Literal[n ints] vs complement(Literal[n strs])", LITERALS, ints_in_complement_of_strs),
    ("Literal[n ints] vs union(Literal[n strs], int)", LITERALS, ints_in_strs_or_int),
    ("intersection(n complement(Literal[str])).is_empty()", PAIRS, complements_empty),
    ("union(n list[Literal[i]]) vs the same plus one", PAIRS, lists_in_lists_and_one),
    ("Literal[n ints] vs complement(union(Literal[n strs], bytes))", LITERALS, ints_in_complement_of_strs_or_bytes),
    ("union(n lists) vs complement(union(n tuples))", PAIRS, lists_in_complement_of_tuples),
    ("union(n lists) vs complement(union(n non-empty lists))", QUADS, lists_in_complement_of_non_empty_lists),
    ("intersection(n list[Literal[i]]).is_empty()", PAIRS, lists_meet_empty),
    ("intersection(n open records).is_empty()", QUADS, open_records_meet_empty),
    ("union(n records) vs the same plus dict[str, str]", QUADS, records_in_records_and_dict),
    ("Literal[n ints] vs union(n kind combinations)", KIND_COMBINATIONS, ints_in_kind_combinations),
    ("set[Literal[n ints]] of 2 or more vs union(n lists, str)", PAIRS, bounded_set_in_lists_or_str),
    ("Annotated[int, n Ge bounds] vs the bounds shifted by one", LITERALS, bounds_in_bounds_shifted),
    ("intersection(n complement(Literal[i])) vs complement(n ints)", PAIRS, outside_each_int_in_outside_all),
    ("intersection(n complement(Literal[str])) vs complement(n strs)", PAIRS, outside_each_str_in_outside_all),
]


def sizes(largest):
    n = 3125
    while n < largest:
        yield n
        n *= 2
    yield largest


def main():
    rounds = 1 if "--quick" in sys.argv else 3
    print(f"{'question':<62} {'n':>6} {'time':>10} {'x prev':>7}  answer")
    for title, largest, make in QUESTIONS:
        previous = None
        for n in sizes(largest):
            ask = make(n)
            said = ask()
            seconds = best_seconds([ask], rounds, 0.0)[0]
            growth = f"{seconds / previous:>6.2f}x" if previous else " " * 7
            print(f"{title:<62} {n:>6} {seconds * 1e3:>7.1f} ms {growth}  {said}", flush=True)
            previous = seconds
            if seconds > 60:
                break


if __name__ == "__main__":
    main()
