"""The binding layer: argument parsing texts, conversion of C++ failures at
the boundary, and one-time cells."""

import inspect
import itertools
import threading

import pytest

t = pytest.importorskip("_tessolin_testing")

# Sample callables of the testing module and the signatures they parse:
#   validate: "Validator.validate()"       (obj, /, *, fail_fast=False)
#   is_valid: "Validator.is_valid()"       (obj, /)
#   deepcopy: "Validator.__deepcopy__()"   (_memo)
#   union:    "union()"                    (*schemas)
#   three:    "three()"                    (a, b, c, /)
#   none:     "none()"                     ()
#   Sample:   "Validator.__new__()"        (schema, /), through tp_new


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: t.is_valid(1, 2), "Validator.is_valid() takes 1 positional arguments but 2 were given"),
        (lambda: t.three(1, 2, 3, 4), "three() takes 3 positional arguments but 4 were given"),
        (lambda: t.none(1), "none() takes 0 positional arguments but 1 was given"),
        (lambda: t.validate(), "Validator.validate() missing 1 required positional argument: 'obj'"),
        (lambda: t.three(1), "three() missing 2 required positional arguments: 'b' and 'c'"),
        (lambda: t.three(), "three() missing 3 required positional arguments: 'a', 'b', and 'c'"),
        (
            lambda: t.validate(obj=1),
            "Validator.validate() got some positional-only arguments passed as keyword arguments: 'obj'",
        ),
        (
            lambda: t.three(a=1, c=2),
            "three() got some positional-only arguments passed as keyword arguments: 'a', 'c'",
        ),
        (lambda: t.validate(1, fast=True), "Validator.validate() got an unexpected keyword argument 'fast'"),
        (lambda: t.union(1, x=int), "union() got an unexpected keyword argument 'x'"),
        (lambda: t.deepcopy(1, _memo=2), "Validator.__deepcopy__() got multiple values for argument '_memo'"),
        (lambda: t.deepcopy(), "Validator.__deepcopy__() missing 1 required positional argument: '_memo'"),
        (lambda: t.Sample(), "Validator.__new__() missing 1 required positional argument: 'schema'"),
        (lambda: t.Sample(int, str), "Validator.__new__() takes 1 positional arguments but 2 were given"),
        (
            lambda: t.Sample(schema=int),
            "Validator.__new__() got some positional-only arguments passed as keyword arguments: 'schema'",
        ),
        (lambda: t.Sample(1, other=2), "Validator.__new__() got an unexpected keyword argument 'other'"),
        # Order of checks: count first, then keywords in order (an unknown one
        # at once, positional-only names after the last), missing last.
        (lambda: t.is_valid(1, 2, nope=3), "Validator.is_valid() takes 1 positional arguments but 2 were given"),
        (lambda: t.validate(obj=1, nope=2), "Validator.validate() got an unexpected keyword argument 'nope'"),
        (
            lambda: t.validate(obj=1, fail_fast=True),
            "Validator.validate() got some positional-only arguments passed as keyword arguments: 'obj'",
        ),
        (lambda: t.validate(fail_fast=True), "Validator.validate() missing 1 required positional argument: 'obj'"),
        (lambda: t.validate(fail_fast=1), "Validator.validate() missing 1 required positional argument: 'obj'"),
        (lambda: t.is_valid(**{"\ud800": 1}), "Validator.is_valid() got an unexpected keyword argument '\ud800'"),
    ],
)
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert type(info.value) is TypeError


@pytest.mark.parametrize(
    "value, message",
    [
        (1, "'int' object is not an instance of 'bool'"),
        (None, "'None' is not an instance of 'bool'"),
        ("yes", "'str' object is not an instance of 'bool'"),
    ],
)
def test_conversion_error_names_the_parameter_in_a_note(value, message):
    with pytest.raises(TypeError) as info:
        t.validate(1, fail_fast=value)
    assert str(info.value) == message
    assert info.value.__notes__ == ["while processing 'fail_fast'"]


def test_accepted_calls():
    assert t.validate("x") == ("x", False)
    assert t.validate("x", fail_fast=True) == ("x", True)
    assert t.is_valid(None) == (None,)
    assert t.deepcopy({}) == ({},)
    assert t.deepcopy(_memo=5) == (5,)
    assert t.union() == ()
    assert t.union(int, str) == (int, str)
    assert t.three(1, 2, 3) == (1, 2, 3)
    assert t.none() is None
    assert t.Sample(int) == (int,)


def test_signature_docstrings_drive_introspection():
    assert str(inspect.signature(t.validate)) == "(obj, /, *, fail_fast=False)"
    assert str(inspect.signature(t.union)) == "(*schemas)"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: t.throw_std("vector index out of range"), "vector index out of range"),
        (lambda: t.throw_internal("cache used after teardown"), "cache used after teardown"),
        (lambda: t.throw_std(""), "uncaught panic at ffi boundary"),
        (lambda: t.throw_unknown(), "uncaught panic at ffi boundary"),
    ],
)
def test_cpp_failures_surface_as_internal_error(call, message):
    internal = t.internal_error_type()
    with pytest.raises(BaseException) as info:
        call()
    assert type(info.value) is internal
    assert str(info.value) == message


def test_internal_error_type():
    internal = t.internal_error_type()
    assert internal is t.internal_error_type()
    assert internal.__module__ == "tessolin" and internal.__name__ == "InternalError"
    assert issubclass(internal, BaseException) and not issubclass(internal, Exception)


def test_signalled_error_without_exception_is_internal():
    with pytest.raises(t.internal_error_type()):
        t.throw_without_error()


# Each once-cell test uses cells of its own: a cell is filled for good.
_cells = itertools.count()


def test_once_cell_retries_after_a_failed_build():
    cell = next(_cells)
    calls = []

    def failing():
        calls.append("fail")
        raise KeyError("first build fails")

    with pytest.raises(KeyError):
        t.once_get(cell, failing)
    value = object()
    assert t.once_get(cell, lambda: value) is value
    assert t.once_get(cell, lambda: pytest.fail("built twice")) is value
    assert calls == ["fail"]


def test_once_cell_builds_once_across_threads():
    cell = next(_cells)
    builds = []
    gate = threading.Barrier(8)

    def build():
        builds.append(1)
        # Let the other threads arrive and wait on the cell.
        for _ in range(1000):
            pass
        return ("built", len(builds))

    results = []

    def worker():
        gate.wait()
        results.append(t.once_get(cell, build))

    threads = [threading.Thread(target=worker) for _ in range(8)]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    assert builds == [1]
    assert len(results) == 8 and all(r is results[0] for r in results)


def test_once_cell_reentered_by_its_builder_is_internal_error():
    cell = next(_cells)

    def reenter():
        return t.once_get(cell, lambda: "inner")

    with pytest.raises(t.internal_error_type(), match="re-entered"):
        t.once_get(cell, reenter)
    # The failed build left the cell empty.
    assert t.once_get(cell, lambda: "outer") == "outer"


def test_waiter_does_not_block_the_builder():
    # The builder runs Python code that needs another thread to make
    # progress while that thread waits on the same cell.
    cell = next(_cells)
    started = threading.Event()
    waiter_result = []

    def waiter():
        started.wait()
        waiter_result.append(t.once_get(cell, lambda: "waiter built"))

    th = threading.Thread(target=waiter)
    th.start()

    def build():
        started.set()
        # Give the waiter time to block on the cell.
        import time

        time.sleep(0.05)
        return "builder built"

    assert t.once_get(cell, build) == "builder built"
    th.join(timeout=5)
    assert waiter_result == ["builder built"]


def test_str_writer():
    assert t.writer_sample("é\ud801") == "<é\ud801\ud800'é\\ud801'>"
    assert t.writer_sample(12) == "<12\ud80012>"
    with pytest.raises(UnicodeDecodeError):
        t.writer_bad_utf8()
