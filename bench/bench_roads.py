"""The everyday roads side by side with their peers, one row per road, with
the ratio and the target it is held to.

Rows: load of 1,000 flat records and of a 5 MB document; is_valid_json of
the same 5 MB document (time and MB/s); the extra peak memory of
is_valid_json on a 43 MB document (measured in a fresh process); four
threads running is_valid_json over four documents against one thread
(with the cores they got and how far hashing scales the same way, the
machine's own ceiling);
validate of a valid list[int] of 10,000 against is_valid and msgspec; and
validate raising (caught) on a 10-field record with one bad field against
pydantic. Peers that are not installed leave their rows' ratios empty.

    PYTHONPATH=python .venv/bin/python bench/bench_roads.py [--quick]
"""

import argparse
import hashlib
import json
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import threading
import time
from typing import TypedDict

from timing import best_seconds

from tessolin import ValidationError, Validator


class Record(TypedDict):
    id: int
    name: str
    email: str
    active: bool
    score: float
    age: int
    city: str
    zip: str
    tags: list[str]
    balance: float


CITIES = ["Springfield", "Shelbyville", "Ogdenville", "Brockway", "Capital City"]
TAGS = ["red", "green", "blue", "admin", "staff", "guest", "beta"]


def make_record(rng, i):
    return {
        "id": i,
        "name": f"user {i}",
        "email": f"u{i}@mail.io",
        "active": rng.random() < 0.5,
        "score": round(rng.random() * 100, 2),
        "age": rng.randrange(18, 90),
        "city": rng.choice(CITIES),
        "zip": f"{i % 100000:05d}",
        "tags": rng.sample(TAGS, 2),
        "balance": round(rng.random() * 1e4 - 5e3, 2),
    }


def records_document(count, seed=1):
    rng = random.Random(seed)
    return json.dumps([make_record(rng, i) for i in range(count)], separators=(",", ":")).encode()


def bad_record():
    record = make_record(random.Random(2), 7)
    record["age"] = "forty"
    return record


# -- peers (each None when not installed) ------------------------------------


def msgspec_module():
    try:
        import msgspec
    except ImportError:
        return None
    return msgspec


def pydantic_module():
    try:
        import pydantic
    except ImportError:
        return None
    return pydantic


def raising(call, error):
    def run():
        try:
            call()
        except error:
            pass
        else:
            raise AssertionError("expected a failure")

    return run


# -- rows ------------------------------------------------------------------------


class Row:
    def __init__(self, road, ours, reference, theirs, target, unit="s", note=""):
        self.road = road
        self.ours = ours
        self.reference = reference
        self.theirs = theirs
        self.target = target  # the largest ratio that meets it
        self.unit = unit
        self.note = note

    def ratio(self):
        if self.theirs is None:
            return None
        return self.ours / self.theirs

    def cells(self):
        ratio = self.ratio()
        bounded = self.target != float("inf")
        met = "" if ratio is None or not bounded else ("yes" if ratio <= self.target else "NO")
        return [
            self.road,
            format_amount(self.ours, self.unit),
            self.reference,
            "-" if self.theirs is None else format_amount(self.theirs, self.unit),
            "-" if ratio is None else f"{ratio:.2f}x",
            f"<= {self.target:.3g}x" if bounded else "",
            met,
            self.note,
        ]


def format_amount(value, unit):
    if unit == "s":
        if value >= 1e-3:
            return f"{value * 1e3:.2f} ms"
        return f"{value * 1e6:.2f} us"
    if unit == "MB":
        return f"{value / 1e6:.1f} MB"
    if unit == "x":
        return f"{value:.2f}"
    return f"{value:g} {unit}"


def load_rows(rounds, batch_seconds, thousand, large):
    v = Validator(list[Record])
    msgspec = msgspec_module()
    rows = []
    for title, data in (("load, 1,000 records of 10 fields", thousand), ("load, 5 MB document", large)):
        assert v.load(data) == json.loads(data)
        fns = [lambda d=data: v.load(d)]
        if msgspec:
            decoder = msgspec.json.Decoder(list[Record])
            assert decoder.decode(data) == json.loads(data)
            fns.append(lambda d=data: decoder.decode(d))
        times = best_seconds(fns, rounds, batch_seconds)
        size = f"({len(data) / 1e3:.0f} KB)"
        rows.append(Row(f"{title} {size}", times[0], "msgspec", times[1] if msgspec else None, 0.83))
    return rows


def is_valid_json_rows(rounds, batch_seconds, large):
    v = Validator(list[Record])
    msgspec = msgspec_module()
    assert v.is_valid_json(large) is True
    fns = [lambda: v.is_valid_json(large)]
    if msgspec:
        decoder = msgspec.json.Decoder(list[Record])
        fns.append(lambda: decoder.decode(large))
    times = best_seconds(fns, rounds, batch_seconds)
    throughput = len(large) / times[0]
    rate = f"{throughput / 1e6:.0f} MB/s (target >= 1000 MB/s: {'yes' if throughput >= 1e9 else 'NO'})"
    return [Row("is_valid_json, the same 5 MB document", times[0], "msgspec", times[1] if msgspec else None, 0.33,
                note=rate)]


MEMORY_CHILD = r"""
import sys
from bench_roads import Record
from tessolin import Validator

def status(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field):
                return int(line.split()[1]) * 1024
    return 0

data = open(sys.argv[1], "rb").read()
v = Validator(list[Record])
v.is_valid_json(b"[]")
before = status("VmRSS:")
try:
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
except OSError:
    pass
assert v.is_valid_json(data) is True
print(max(0, status("VmHWM:") - before))
"""


def memory_row(count):
    data = records_document(count, seed=3)
    with tempfile.TemporaryDirectory() as tmp:
        path = pathlib.Path(tmp) / "doc.json"
        path.write_bytes(data)
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(filter(None, [str(pathlib.Path(__file__).parent), env.get("PYTHONPATH")]))
        out = subprocess.run([sys.executable, "-c", MEMORY_CHILD, str(path)], env=env, capture_output=True, text=True)
    if out.returncode != 0:
        return Row("is_valid_json extra peak memory", float("nan"), "document", len(data), 0.10, unit="MB",
                   note="measurement failed: " + out.stderr.strip().splitlines()[-1])
    extra = int(out.stdout.split()[-1])
    return Row(f"is_valid_json extra peak memory, {len(data) / 1e6:.0f} MB document", extra, "document size",
               len(data), 0.10, unit="MB")


def threads_row(rounds, documents):
    v = Validator(list[Record])
    for d in documents:
        assert v.is_valid_json(d) is True

    # Each document is checked several times per round, so that starting
    # the threads and handing the lock between them weighs little against
    # the work: throughput, not latency.
    repeat = 8

    def check_repeatedly(document):
        for _ in range(repeat):
            v.is_valid_json(document)

    # One thread takes the documents in turn, so that both sides keep all
    # four in the caches alike.
    def one_thread():
        for _ in range(repeat):
            for d in documents:
                v.is_valid_json(d)

    def four_threads():
        threads = [threading.Thread(target=check_repeatedly, args=(d,)) for d in documents]
        for t in threads:
            t.start()
        for t in threads:
            t.join()

    sequential, parallel = best_seconds([one_thread, four_threads], max(3, rounds // 3), 0.0)
    speedup = sequential / parallel
    # How many cores the threads got (on a busy machine fewer than four),
    # and what the machine gives a plain C loop run the same way: hashing,
    # which releases the lock too.
    cpu_start, wall_start = os.times(), time.perf_counter()
    four_threads()
    cpu_end, wall_end = os.times(), time.perf_counter()
    cores = (cpu_end.user + cpu_end.system - cpu_start.user - cpu_start.system) / (wall_end - wall_start)
    blocks = [bytes(range(256)) * (len(documents[0]) // 256) for _ in documents]

    def hash_one_thread():
        for _ in range(repeat):
            for b in blocks:
                hashlib.sha256(b).digest()

    def hash_four_threads():
        threads = [threading.Thread(target=lambda b=b: [hashlib.sha256(b).digest() for _ in range(repeat)])
                   for b in blocks]
        for t in threads:
            t.start()
        for t in threads:
            t.join()

    hash_one, hash_four = best_seconds([hash_one_thread, hash_four_threads], max(3, rounds // 3), 0.0)
    # Held to at least 3x one thread's throughput: the ratio compared is
    # the inverse speed-up against 1/3.
    return Row(f"is_valid_json, {len(documents)} threads over {len(documents)} documents", parallel,
               "one thread, same documents", sequential, 1 / 3,
               note=f"speed-up {speedup:.2f}x (target >= 3x), {cores:.1f} cores busy; sha256 the same way: "
                    f"{hash_one / hash_four:.2f}x")


def validate_rows(rounds, batch_seconds):
    ints = Validator(list[int])
    values = list(range(10_000))
    msgspec = msgspec_module()
    fns = [lambda: ints.validate(values), lambda: ints.is_valid(values)]
    if msgspec:
        convert = msgspec.convert
        fns.append(lambda: convert(values, list[int], strict=True))
    times = best_seconds(fns, rounds, batch_seconds)
    rows = [Row("validate, valid list[int] of 10,000", times[0], "is_valid", times[1], 1.25)]
    rows.append(Row("validate, valid list[int] of 10,000", times[0], "msgspec", times[2] if msgspec else None, 0.5))

    record = Validator(Record)
    bad = bad_record()
    pydantic = pydantic_module()
    fns = [raising(lambda: record.validate(bad), ValidationError)]
    if pydantic:
        adapter = pydantic.TypeAdapter(Record)
        fns.append(raising(lambda: adapter.validate_python(bad, strict=True), pydantic.ValidationError))
    if msgspec:
        fns.append(raising(lambda: msgspec.convert(bad, Record, strict=True), msgspec.ValidationError))
    times = best_seconds(fns, rounds, batch_seconds)
    road = "validate raising, 10-field record, one bad field"
    rows.append(Row(road, times[0], "pydantic", times[1] if pydantic else None, 1.0))
    if msgspec:
        rows.append(Row(road, times[0], "msgspec", times[-1], float("inf"), note="for reference"))
    return rows


def print_table(rows):
    header = ["road", "tessolin", "against", "theirs", "ratio", "target", "met", ""]
    table = [header] + [r.cells() for r in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    for i, row in enumerate(table):
        print("  ".join(cell.ljust(widths[k]) for k, cell in enumerate(row)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="shorter timing runs")
    args = parser.parse_args()
    rounds, batch_seconds = (5, 0.02) if args.quick else (15, 0.05)
    print(f"Python {sys.version.split()[0]}; peers: "
          + ", ".join(name for name, m in (("msgspec", msgspec_module()), ("pydantic", pydantic_module())) if m))
    thousand = records_document(1000)
    large = records_document(32_000, seed=4)
    rows = []
    rows += load_rows(rounds, batch_seconds, thousand, large)
    rows += is_valid_json_rows(rounds, batch_seconds, large)
    rows.append(memory_row(248_000))
    rows.append(threads_row(rounds, [records_document(32_000, seed=10 + i) for i in range(4)]))
    rows += validate_rows(rounds, batch_seconds)
    print_table(rows)


if __name__ == "__main__":
    main()
