"""How often a check calls user code: predicates, __eq__, __instancecheck__,
properties, __len__, __iter__ and comparisons of user classes. A collecting
check (validate, ensure) first looks for a member the way is_valid does, and
that look must never run user code, so every count here is the count of the
recording walk alone, for members and non-members alike."""

import dataclasses
from typing import Annotated, Any

import pytest
from annotated_types import Ge, MinLen, Predicate

from tessolin import ValidationError, Validator


def counting_predicate(calls, verdict=lambda v: True):
    def predicate(value):
        calls.append("predicate")
        return verdict(value)

    return predicate


def predicate_member(calls):
    return Annotated[int, Predicate(counting_predicate(calls))], 1


def predicate_items(calls):
    return list[Annotated[int, Predicate(counting_predicate(calls, lambda v: v != 2))]], [1, 2, 3]


def predicate_before_failing_field(calls):
    return {"a": Annotated[int, Predicate(counting_predicate(calls))], "b": int}, {"a": 1, "b": "x"}


def predicate_in_failing_field(calls):
    return {"a": Annotated[int, Predicate(counting_predicate(calls, lambda v: False))], "b": int}, {"a": 1, "b": 2}


def literal_of_user_class(calls, equal=True):
    class Token:
        def __eq__(self, other):
            calls.append("__eq__")
            return equal

        __hash__ = object.__hash__

    return Token(), Token()


def literal_mismatch(calls):
    return literal_of_user_class(calls, equal=False)


def instance_check(calls, answer=True):
    class Meta(type):
        def __instancecheck__(cls, obj):
            calls.append("__instancecheck__")
            return answer

    class Checked(metaclass=Meta):
        pass

    return list[Checked], [1, 2]


def instance_refused(calls):
    return instance_check(calls, answer=False)


def dataclass_property(calls, bad=False):
    @dataclasses.dataclass
    class Point:
        x: int

    class Spy(Point):
        @property
        def x(self):
            calls.append("property")
            return "no" if bad else 1

        @x.setter
        def x(self, value):
            pass

    return Point, Spy(0)


def dataclass_bad_property(calls):
    return dataclass_property(calls, bad=True)


def str_subclass_key(calls, value=1):
    class Key(str):
        def __eq__(self, other):
            calls.append("__eq__")
            return str.__eq__(self, other)

        __hash__ = str.__hash__

    return {"a": int}, {Key("a"): value}


def str_subclass_key_bad_value(calls):
    return str_subclass_key(calls, value="x")


def bound_of_user_class(calls, holds=True):
    class Bound:
        def __le__(self, other):
            calls.append("__le__")
            return holds

        __ge__ = __le__

    return Annotated[Any, Ge(Bound())], 5


def bound_refused(calls):
    return bound_of_user_class(calls, holds=False)


def list_subclass_length(calls, length=3):
    class Items(list):
        def __len__(self):
            calls.append("__len__")
            return length

    return Annotated[Any, MinLen(1)], Items([1])


def list_subclass_too_short(calls):
    return list_subclass_length(calls, length=0)


def tuple_subclass_length(calls, items=(1, 2)):
    class Row(tuple):
        def __len__(self):
            calls.append("__len__")
            return len(items)

    return tuple[int, ...], Row(items)


def tuple_subclass_bad_item(calls):
    return tuple_subclass_length(calls, items=(1, "x"))


def set_subclass_iteration(calls, items=(1, 2)):
    class Bag(set):
        def __iter__(self):
            calls.append("__iter__")
            return set.__iter__(self)

    return set[int], Bag(items)


def set_subclass_bad_member(calls):
    return set_subclass_iteration(calls, items=(1, "x"))


# (case, calls by validate, calls by is_valid); the counts of validate are
# those of the recording walk alone.
CASES = [
    (predicate_member, 1, 1),
    (predicate_items, 3, 2),
    (predicate_before_failing_field, 1, 1),
    (predicate_in_failing_field, 2, 1),
    (literal_of_user_class, 1, 1),
    (literal_mismatch, 1, 1),
    (instance_check, 2, 2),
    (instance_refused, 2, 1),
    (dataclass_property, 1, 1),
    (dataclass_bad_property, 1, 1),
    (str_subclass_key, 1, 1),
    (str_subclass_key_bad_value, 2, 1),
    (bound_of_user_class, 1, 1),
    (bound_refused, 1, 1),
    # Containers are checked by their builtin contents: the overrides
    # never run, yet the look for a member gives way to the recording walk.
    (list_subclass_length, 0, 0),
    (list_subclass_too_short, 0, 0),
    (tuple_subclass_length, 0, 0),
    (tuple_subclass_bad_item, 0, 0),
    (set_subclass_iteration, 0, 0),
    (set_subclass_bad_member, 0, 0),
]


@pytest.mark.parametrize("case, by_validate, by_is_valid", CASES, ids=[c[0].__name__ for c in CASES])
def test_user_code_runs_as_often_as_the_recording_walk_needs(case, by_validate, by_is_valid):
    calls = []
    schema, value = case(calls)
    v = Validator(schema)
    member = v.is_valid(value)
    assert len(calls) == by_is_valid
    for check in (v.validate, v.ensure):
        calls.clear()
        try:
            check(value)
            raised = False
        except ValidationError:
            raised = True
        assert raised is not member
        assert len(calls) == by_validate, (check.__name__, calls)
