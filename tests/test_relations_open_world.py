"""Relations where Python leaves a set open that looks closed: enums whose
metaclass (or a metaclass mixed into it), `__new__` or private member maps
make or hide instances that iteration never yields; class hooks that are
descriptors, showing one function to getattr and binding another; literals
whose constant has equal values that fare differently (a dataclass, a float
or complex zero, a Decimal, a str subclass instance); and classes whose MRO
and type flags disagree on their builtin base. Every proof is checked
against a pool holding those values."""

import abc
import enum
import math
import random
from dataclasses import dataclass, field
from decimal import Decimal
from typing import Annotated, Literal

import pytest
from annotated_types import Ge, MaxLen, MinLen, Predicate
from hypothesis import given
from hypothesis import strategies as st

from tessolin import Validator, complement, intersection, recursive, union
from test_relations import NOT_SUBSET, SOUNDNESS, SUBSET, UNDECIDED
from test_relations_exact_types import IColor, MyStr, _combined, _made_member, _proofs_hold

# ---- enums made open by an ordinary call


class CallMeta(enum.EnumType):
    """E(value) makes a member for a value no member has."""

    def __call__(cls, value, *args, **kwargs):
        try:
            return super().__call__(value, *args, **kwargs)
        except ValueError:
            return _made_member(cls, value)


class ByCall(enum.Enum, metaclass=CallMeta):
    A = 1


class IndexMeta(enum.EnumType):
    """E[name] makes a member for a name no member has."""

    def __getitem__(cls, name):
        try:
            return super().__getitem__(name)
        except KeyError:
            return _made_member(cls, name)


class ByIndex(enum.Enum, metaclass=IndexMeta):
    A = 1


class ReprMeta(enum.EnumType):
    """A metaclass that changes nothing about the members."""

    def __repr__(cls):
        return f"<enum {cls.__name__}>"


class Shown(enum.Enum, metaclass=ReprMeta):
    A = 1
    B = 2


class ByNew(enum.Enum):
    A = 1


def _new_or_made(cls, value):
    try:
        return enum.Enum.__new__(cls, value)
    except ValueError:
        return _made_member(cls, value)


ByNew.__new__ = _new_or_made


class Added(enum.Enum):
    A = 1


enum.EnumType._add_member_(Added, "Z", _made_member(Added, 5))


class Mapped(enum.Enum):
    A = 1


Mapped._value2member_map_[7] = _made_member(Mapped, 7)


class ABCEnumMeta(enum.EnumType, abc.ABCMeta):
    """ABCMeta's instance check comes after EnumType's MRO entry, which has none."""


class Registered(enum.Enum, metaclass=ABCEnumMeta):
    A = 1
    B = 2


Registered.register(int)


class AdmitsBytesMeta(type):
    def __instancecheck__(cls, value):
        return isinstance(value, bytes) or type.__instancecheck__(cls, value)


class AdmitsBytesEnumMeta(enum.EnumType, AdmitsBytesMeta):
    pass


class AdmitsBytes(enum.Enum, metaclass=AdmitsBytesEnumMeta):
    A = 1


class DescribedMeta(type):
    """A mixin metaclass adding a method no lookup of the enum goes through."""

    def describe(cls):
        return cls.__name__


class Described(enum.Enum, metaclass=type("DescribedEnumMeta", (enum.EnumType, DescribedMeta), {})):
    A = 1
    B = 2


class Plain(enum.Enum):
    RED = 1
    GREEN = 2


OPEN_ENUMS = [(ByCall, ByCall(9)), (ByIndex, ByIndex["zz"]), (ByNew, ByNew(9)), (Added, Added.Z), (Mapped, Mapped(7)),
              (Registered, 5), (AdmitsBytes, b"x")]


@pytest.mark.parametrize("cls, made", OPEN_ENUMS, ids=lambda x: getattr(x, "__name__", repr(x)))
def test_enums_an_ordinary_call_extends_are_not_listed(cls, made):
    assert Validator(cls).is_valid(made) and not Validator(Literal[cls.A]).is_valid(made)
    assert made not in list(cls)
    assert Validator(cls).relation_to(Literal[cls.A]) != SUBSET
    assert not Validator(cls).is_equivalent(Literal[cls.A])
    assert Validator(complement(Literal[cls.A])).relation_to(complement(cls)) != SUBSET
    assert Validator(dict[cls, int]).relation_to(dict[Literal[cls.A], int]) != SUBSET
    assert Validator(intersection(cls, complement(Literal[cls.A]))).is_empty() is False


def test_standard_enums_are_still_listed():
    assert Validator(Plain).is_equivalent(Literal[Plain.RED, Plain.GREEN])
    assert Validator(Shown).is_equivalent(Literal[Shown.A, Shown.B])
    assert Validator(Described).is_equivalent(Literal[Described.A, Described.B])
    assert Validator(complement(Literal[Plain.RED, Plain.GREEN])).relation_to(complement(Plain)) == SUBSET
    assert Validator(dict[Plain, int]).relation_to(dict[Literal[Plain.RED, Plain.GREEN], int]) == SUBSET


ENUM_POOL = [ByCall.A, ByCall(9), ByIndex.A, ByIndex["zz"], ByNew.A, ByNew(9), Added.A, Added.Z, Mapped.A,
             Mapped(7), Shown.A, Shown.B, Plain.RED, Registered.A, Registered.B, AdmitsBytes.A, Described.A,
             Described.B, 1, 5, True, "x", b"x", None]


def _enum_schemas():
    enums = [ByCall, ByIndex, ByNew, Added, Mapped, Shown, Registered, AdmitsBytes, Described]
    leaves = [*enums, *(Literal[e.A] for e in enums), Literal[Shown.A, Shown.B], Literal[Registered.A, Registered.B],
              Literal[Described.A, Described.B], Plain, Literal[Plain.RED], int, bytes]
    return _combined(st.sampled_from(leaves))


@SOUNDNESS
@given(_enum_schemas(), _enum_schemas())
def test_enum_proofs_hold_on_members_made_by_calls(left, right):
    _proofs_hold(Validator(left), Validator(right), ENUM_POOL)


# ---- class hooks that are descriptors: getattr sees one function, the
# interpreter binds another


class ShowsStandard:
    """Shows `shown` to getattr on the class and binds `bound` on instances."""

    def __init__(self, shown, bound):
        self.shown, self.bound = shown, bound

    def __get__(self, obj, owner=None):
        return self.shown if obj is None else self.bound.__get__(obj, owner)


class AdmitsAllMeta(type):
    __instancecheck__ = ShowsStandard(type.__instancecheck__, lambda cls, value: True)


class ClaimsAllMeta(type):
    __subclasscheck__ = ShowsStandard(type.__subclasscheck__, lambda cls, other: True)


class Base:
    pass


class AdmitsAll(Base, metaclass=AdmitsAllMeta):
    pass


class ClaimsAll(Base, metaclass=ClaimsAllMeta):
    pass


class EqualsAny:
    """Compares equal to every EqualsAny while getattr shows object's __eq__."""

    __eq__ = ShowsStandard(object.__eq__, lambda self, other: type(other) is type(self))
    __hash__ = object.__hash__

    def __init__(self, n):
        self.n = n

    def __repr__(self):
        return f"EqualsAny({self.n})"


TOKEN_1, TOKEN_2 = EqualsAny(1), EqualsAny(2)
TOKEN_ONE = Annotated[EqualsAny, Predicate(lambda t: t.n == 1)]


@pytest.mark.parametrize(
    "left, right, witness",
    [
        (Registered, Literal[Registered.A, Registered.B], 5),
        (AdmitsBytes, Literal[AdmitsBytes.A], b"x"),
        (AdmitsAll, Base, 1),
        (Base, ClaimsAll, Base()),
        (union(AdmitsAll, str), union(Base, str), 1),
        (Literal[TOKEN_1], TOKEN_ONE, TOKEN_2),
        (list[Literal[TOKEN_1]], list[TOKEN_ONE], [TOKEN_2]),
    ],
    ids=["abc-enum", "mixin-enum", "instance-hook", "subclass-hook", "instance-hook-union", "eq-hook",
         "eq-hook-list"],
)
def test_hooks_are_found_as_the_interpreter_finds_them(left, right, witness):
    assert Validator(left).is_valid(witness) and not Validator(right).is_valid(witness)
    assert Validator(left).relation_to(right) in (UNDECIDED, NOT_SUBSET)
    assert not Validator(left).is_equivalent(right)


CLASS_HOOK_POOL = [Base(), AdmitsAll(), ClaimsAll(), TOKEN_1, TOKEN_2, EqualsAny(3), 1, "x", None]


@SOUNDNESS
@given(st.data())
def test_class_hook_proofs_hold_on_what_the_bound_hooks_admit(data):
    # The hooks are drawn: each descriptor shows the standard function and
    # binds one admitting everything, nothing, or what the standard admits.
    binds = data.draw(st.sampled_from([lambda cls, v: True, lambda cls, v: False, type.__instancecheck__]))
    meta = type("DrawnMeta", (type,), {"__instancecheck__": ShowsStandard(type.__instancecheck__, binds)})
    drawn = meta("Drawn", (Base,), {})
    leaves = [Base, AdmitsAll, ClaimsAll, drawn, Literal[TOKEN_1], EqualsAny, TOKEN_ONE, int, str]
    left, right = data.draw(_combined(st.sampled_from(leaves))), data.draw(_combined(st.sampled_from(leaves)))
    _proofs_hold(Validator(left), Validator(right), [*CLASS_HOOK_POOL, drawn()])


class ShiftyHash:
    """Compared by identity, hashed anew at each call."""

    def __hash__(self):
        return random.getrandbits(60)


class ShiftyHashMeta(type):
    def __hash__(cls):
        return random.getrandbits(60)


class ShiftyClassHash(metaclass=ShiftyHashMeta):
    pass


@pytest.mark.parametrize("constant", [ShiftyHash(), ShiftyClassHash()], ids=lambda c: type(c).__name__)
def test_identity_compared_constants_are_told_apart_without_their_hash(constant):
    one, other = Literal[constant], Literal[type(constant)()]
    for _ in range(10):
        assert Validator(one).relation_to(complement(one)) == NOT_SUBSET
        assert Validator(intersection(one, one)).is_empty() is False
        assert Validator(intersection(one, other)).is_empty() is True
        assert Validator(union(one, other)).relation_to(complement(other)) == NOT_SUBSET


# ---- literals whose equal values fare differently


@dataclass
class Point:
    x: int


@dataclass
class Tagged:
    x: int
    tag: object = field(compare=False)


def _tagged_str(text, tag):
    s = MyStr(text)
    s.tag = tag
    return s


class Twin(int, enum.Enum):
    """Two members, unequal values, equal as ints: Literal[Twin.A] admits B."""

    def __new__(cls, number, label):
        member = int.__new__(cls, number)
        member._value_ = label
        return member

    def __repr__(self):
        return f"Twin.{self._name_}"

    A = (1, "a")
    B = (1, "b")


class Token:
    """Compares by identity: equal means the same object."""


TOKEN = Token()


def _sign_of(x):
    return math.copysign(1, x)


POSITIVE_FLOAT = Annotated[float, Predicate(lambda x: _sign_of(x) > 0)]
POSITIVE_REAL = Annotated[complex, Predicate(lambda z: _sign_of(z.real) > 0)]
POSITIVE_IMAG = Annotated[complex, Predicate(lambda z: _sign_of(z.imag) > 0)]
WHOLE_DECIMAL = Annotated[Decimal, Predicate(lambda d: d.as_tuple().exponent == 0)]
TAGGED_A = Annotated[Tagged, Predicate(lambda t: t.tag == "a")]
UNTAGGED = Annotated[MyStr, Predicate(lambda s: getattr(s, "tag", None) is None)]


@pytest.mark.parametrize(
    "left, right, twin",
    [
        (Literal[Point(1)], Point, Point(1.0)),
        (Literal[Tagged(1, "a")], TAGGED_A, Tagged(1, None)),
        (Literal[0.0], POSITIVE_FLOAT, -0.0),
        (complex(0.0, 0.0), POSITIVE_REAL, complex(-0.0, 0.0)),
        (complex(1.0, 0.0), POSITIVE_IMAG, complex(1.0, -0.0)),
        (Decimal("1"), WHOLE_DECIMAL, Decimal("1.0")),
        (Literal[MyStr("a")], UNTAGGED, _tagged_str("a", 1)),
        (Literal[Twin.A], Annotated[Twin, Predicate(lambda e: e.value == "a")], Twin.B),
        (union(Literal[Point(1)], str), union(Point, str), Point(1.0)),
        (list[Literal[0.0]], list[POSITIVE_FLOAT], [-0.0]),
        (recursive(lambda r: union(Literal[Point(1)], list[r])), recursive(lambda r: union(Point, list[r])),
         [Point(1.0)]),
    ],
    ids=repr,
)
def test_a_literal_in_b_proves_nothing_for_its_equal_values(left, right, twin):
    a = Validator(left)
    assert a.is_valid(twin) and not Validator(right).is_valid(twin)
    assert a.relation_to(right) in (UNDECIDED, NOT_SUBSET)
    assert not a.is_equivalent(intersection(left, right))


@pytest.mark.parametrize(
    "left, right, expected",
    [
        # Equal values that cannot differ keep their proofs.
        (Literal[1, "a", b"x", True, None], union(int, str, bytes, None), SUBSET),
        (Literal[1.5], POSITIVE_FLOAT, SUBSET),
        (Literal[Plain.RED], Annotated[Plain, Predicate(lambda e: e.value == 1)], SUBSET),
        (Literal[IColor.ONE], Annotated[IColor, Predicate(lambda e: e.name == "ONE")], SUBSET),
        (Literal[Twin.A], Annotated[Twin, Predicate(lambda e: e == 1)], SUBSET),
        (Literal[TOKEN], Annotated[Token, Predicate(lambda t: t is TOKEN)], SUBSET),
        # A class or kind settles every value of the constant's type alike.
        (Literal[Decimal("1")], Decimal, SUBSET),
        (Literal[MyStr("a")], union(MyStr, int), SUBSET),
        (Literal[MyStr("a")], str, SUBSET),
        # A float zero whose twin is in b too.
        (Literal[0.0], Annotated[float, Predicate(lambda x: x == 0)], SUBSET),
        # A constant, or its twin, outside b is a witness.
        (-0.0, POSITIVE_FLOAT, NOT_SUBSET),  # Literal[-0.0] is typing's cached Literal[0.0]
        (Literal[0.0], POSITIVE_FLOAT, NOT_SUBSET),
    ],
    ids=repr,
)
def test_literals_whose_equal_values_agree_keep_their_answers(left, right, expected):
    assert Validator(left).relation_to(right) == expected


LITERAL_POOL = [Point(1), Point(1.0), Point(2), Tagged(1, "a"), Tagged(1, None), 0.0, -0.0, 1.5,
                complex(0.0, 0.0), complex(-0.0, 0.0), complex(0.0, -0.0), Decimal("1"), Decimal("1.0"),
                Decimal("1.00"), MyStr("a"), _tagged_str("a", 1), Twin.A, Twin.B, "a", 1, None]


def _literal_schemas():
    constants = [Point(1), Tagged(1, "a"), 0.0, -0.0, 1.5, complex(0.0, 0.0), Decimal("1"), MyStr("a"), Twin.A, "a", 1]
    leaves = [*(Literal[c] for c in constants), Point, Tagged, float, complex, Decimal, MyStr, str,
              POSITIVE_FLOAT, POSITIVE_REAL, WHOLE_DECIMAL, TAGGED_A, UNTAGGED,
              Annotated[Point, Predicate(lambda p: type(p.x) is int)], Twin,
              Annotated[Twin, Predicate(lambda e: e.value == "a")]]
    return _combined(st.sampled_from(leaves))


@SOUNDNESS
@given(_literal_schemas(), _literal_schemas())
def test_literal_proofs_hold_on_equal_twins(left, right):
    _proofs_hold(Validator(left), Validator(right), LITERAL_POOL)


# ---- a builtin base seen through the MRO but not the type flag


class HideInt(type):
    def mro(cls):
        return [c for c in super().mro() if c is not int]


class FlaggedInt(int, metaclass=HideInt):
    """An int by its type flag, which validation reads; not by its MRO."""


class AddInt(HideInt):
    def mro(cls):
        order = [c for c in type.mro(cls) if c is not int]
        return order[:-1] + [int, object]


class UnflaggedInt(FlaggedInt, metaclass=AddInt):
    """An int by its MRO only: validation's int test refuses it."""


def test_builtin_base_is_the_one_validation_sees():
    assert not Validator(int).is_valid(UnflaggedInt(3)) and Validator(UnflaggedInt).is_valid(UnflaggedInt(3))
    assert Validator(UnflaggedInt).relation_to(int) == NOT_SUBSET
    assert intersection(UnflaggedInt, complement(int)).is_empty() is False
    assert Validator(int).is_valid(FlaggedInt(3))
    assert Validator(FlaggedInt).relation_to(int) == SUBSET
    assert intersection(FlaggedInt, complement(int)).is_empty() is True


class HideBuiltin(type):
    """Keeps the builtin's layout and type flag, hides its methods."""

    def mro(cls):
        return (cls, object)


HIDDEN = {base: HideBuiltin(f"Hidden{base.__name__}", (base,), {}) for base in (int, str, bytes, tuple)}
HIDDEN_POOL = [HIDDEN[int](5), HIDDEN[str](), HIDDEN[str]("ab"), HIDDEN[bytes](b"ab"), HIDDEN[tuple](),
               HIDDEN[tuple]((1, "a")), 5, "ab", b"ab", (), (1, "a")]
HIDDEN_SCHEMAS = [*HIDDEN.values(), int, str, bytes, tuple, tuple[int, ...], tuple[int, str],
                  Annotated[int, Ge(0)], Annotated[str, MinLen(0)], Annotated[str, MinLen(2)], Annotated[str, MaxLen(1)],
                  Annotated[bytes, MaxLen(1)], Annotated[tuple[int | str, ...], MinLen(1)]]


def test_a_hidden_builtin_is_read_through_its_layout():
    # The type flag says str or tuple while the MRO hides every method of
    # the builtin: validation reads the value as the builtin it is laid out
    # as, as the decisions do.
    assert Validator(tuple).is_valid(HIDDEN[tuple]((1, "a")))
    assert Validator(tuple[int, str]).is_valid(HIDDEN[tuple]((1, "a")))
    assert Validator(Annotated[str, MinLen(2)]).is_valid(HIDDEN[str]("ab"))
    assert not Validator(Annotated[bytes, MaxLen(1)]).is_valid(HIDDEN[bytes](b"ab"))
    assert Validator(HIDDEN[tuple]).relation_to(tuple) == SUBSET
    assert Validator(str).is_equivalent(Annotated[str, MinLen(0)])


@pytest.mark.parametrize("left", HIDDEN_SCHEMAS, ids=repr)
def test_hidden_builtin_proofs_hold(left):
    for right in HIDDEN_SCHEMAS:
        _proofs_hold(Validator(left), Validator(right), HIDDEN_POOL)
