"""Time of building a union or intersection of many members, against
union(*range(99990)), just under the node limit. Members past the limit are
gathered in batches, so each row should take time near its member count
times the reference's cost per member, whether it is refused with the size
ValueError or settles to a small result. The members are made before the
clock starts; a row's answer is printed beside its time.

    PYTHONPATH=python .venv/bin/python bench/bench_gathering.py [--quick]
"""

import sys
import typing
from typing import Annotated, Any, Literal

import annotated_types as at
from timing import best_seconds

from tessolin import Validator, complement, intersection, union

COMPLEMENTS = 49000  # under the node limit: two nodes each


def rows():
    literals = [Literal[i] for i in range(130000)]
    typing_union = typing.Union[tuple(literals)]
    validators = [Validator(literal) for literal in literals]
    bounds = [Annotated[int, at.Ge(i)] for i in range(150000)]
    lists = [list[Literal[i]] for i in range(52000)]
    complements = [complement(Literal[i]) for i in range(COMPLEMENTS)]
    return [
        ("union(*range(99990))", 99990, lambda: union(*range(99990))),
        ("union(*range(101000))", 101000, lambda: union(*range(101000))),
        ("union(*range(105000))", 105000, lambda: union(*range(105000))),
        ("union(*range(200000))", 200000, lambda: union(*range(200000))),
        ("union(*range(500000))", 500000, lambda: union(*range(500000))),
        ("union(*range(102000), Any)", 102001, lambda: union(*range(102000), Any)),
        ("union(*[int] * 400001)", 400001, lambda: union(*[int] * 400001)),
        ("Validator(Union[130000 literals])", 130000, lambda: Validator(typing_union)),
        ("union(*130000 literal validators)", 130000, lambda: union(*validators)),
        ("intersection(*150000 Ge bounds)", 150000, lambda: intersection(*bounds)),
        ("union(*52000 list[Literal[i]])", 52000, lambda: union(*lists)),
        (f"intersection(*{COMPLEMENTS} complements)", COMPLEMENTS, lambda: intersection(*complements)),
        (f"union(*{COMPLEMENTS} complements)", COMPLEMENTS, lambda: union(*complements)),
        (f"intersection(*{COMPLEMENTS} literals)", COMPLEMENTS, lambda: intersection(*literals[:COMPLEMENTS])),
        (f"union(*{COMPLEMENTS} list[Literal[i]])", COMPLEMENTS, lambda: union(*lists[:COMPLEMENTS])),
    ]


def refused_or_built(build):
    """The build as timed: a refusal is one of the answers."""

    def run():
        try:
            build()
        except ValueError:
            pass

    return run


def answer(build):
    try:
        return repr(build())[:24]
    except ValueError as error:
        return "refused, spans " + str(error).split("spans ")[1].split(" ")[0]


def main():
    rounds = 1 if "--quick" in sys.argv else 3
    table = rows()
    answers = [answer(build) for _, _, build in table]
    times = best_seconds([refused_or_built(build) for _, _, build in table], rounds, 0.0)
    reference_per_member = times[0] / table[0][1]
    print(f"{'build':<40} {'members':>8} {'time':>9} {'x ref':>7} {'per member vs ref':>18}  answer")
    for (title, members, _), seconds, said in zip(table, times, answers):
        per_member = seconds / members / reference_per_member
        print(f"{title:<40} {members:>8} {seconds * 1e3:>6.0f} ms {seconds / times[0]:>6.2f}x "
              f"{per_member:>17.2f}x  {said}")


if __name__ == "__main__":
    main()
