"""Decode-and-validate throughput of JSON documents against peers.

Each contender turns the same bytes into checked Python objects of the same
shape (dicts and lists): tessolin's load / validate_json / is_valid_json,
json.loads followed by Validator.validate, and, when installed, msgspec and
pydantic in strict mode. Peers that are not installed are skipped.

    PYTHONPATH=python .venv/bin/python bench/bench_json.py [--quick]
"""

import argparse
import functools
import json
import random
import sys
from typing import TypedDict

from timing import best_seconds

from tessolin import Validator


class Address(TypedDict):
    street: str
    city: str
    zip: str


class Record(TypedDict):
    id: int
    name: str
    email: str
    active: bool
    score: float
    tags: list[str]
    address: Address


def make_record(rng, i):
    return {
        "id": i,
        "name": f"user {i}",
        "email": f"user{i}@example.org",
        "active": rng.random() < 0.5,
        "score": round(rng.random() * 100, 3),
        "tags": rng.sample(["red", "green", "blue", "admin", "staff", "guest", "beta"], 3),
        "address": {"street": f"{rng.randrange(1, 999)} Main St", "city": "Springfield", "zip": f"{i % 100000:05d}"},
    }


def workloads():
    rng = random.Random(1)
    small = json.dumps(make_record(rng, 1)).encode()
    thousand = json.dumps([make_record(rng, i) for i in range(1000)]).encode()
    large = json.dumps([make_record(rng, i) for i in range(25000)]).encode()
    return [
        ("small record", Record, small),
        ("1,000 records", list[Record], thousand),
        (f"{len(large) / 1e6:.1f} MB document", list[Record], large),
    ]


def contenders(schema):
    v = Validator(schema)
    out = [
        ("tessolin load", v.load),
        ("tessolin validate_json", v.validate_json),
        ("tessolin is_valid_json", v.is_valid_json),
        ("json.loads + validate", lambda data: v.validate(json.loads(data))),
    ]
    try:
        import msgspec

        decoder = msgspec.json.Decoder(schema)
        out.append(("msgspec json.decode", decoder.decode))
    except ImportError:
        pass
    try:
        import pydantic

        adapter = pydantic.TypeAdapter(schema)
        out.append(("pydantic validate_json strict", lambda data: adapter.validate_json(data, strict=True)))
    except ImportError:
        pass
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="shorter timing runs")
    args = parser.parse_args()
    rounds, batch_seconds = (5, 0.02) if args.quick else (15, 0.05)
    print(f"Python {sys.version.split()[0]}")
    for title, schema, data in workloads():
        print(f"\n{title} ({len(data):,} bytes)")
        reference = json.loads(data)
        named = contenders(schema)
        for name, fn in named:
            result = fn(data)
            if name.endswith("load") or name.startswith(("msgspec", "pydantic")):
                assert result == reference, name
        times = best_seconds([functools.partial(fn, data) for _, fn in named], rounds, batch_seconds)
        fastest = min(times)
        for seconds, (name, _) in sorted(zip(times, named), key=lambda row: row[0]):
            print(
                f"  {name:32s} {seconds * 1e6:12.1f} us/doc {len(data) / seconds / 1e6:9.1f} MB/s"
                f"  x{seconds / fastest:5.2f}"
            )


if __name__ == "__main__":
    main()
