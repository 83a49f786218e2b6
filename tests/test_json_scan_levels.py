"""The JSON methods with each scanning level forced (TESSOLIN_SIMD is read
when the module loads, so each level runs in a process of its own): the
same answers, values and errors as this process, on documents whose
strings and blank runs are long enough for every level's wide loop."""

import json
import os
import subprocess
import sys

import pytest

CHILD = r"""
import json, sys
from typing import Any
from tessolin import ValidationError, Validator

texts = ["plain " * 20, "é" * 70, "日本語のテキスト" * 9, "mixed é " * 15 + "😀" * 9, "esc\\n\"\\\\\t" * 9]
docs = []
for t in texts:
    docs.append(json.dumps({"k": t, "l": [t, t[::-1]]}, ensure_ascii=False))
    docs.append(json.dumps({"k": t}, ensure_ascii=False, indent=40))
    body = json.dumps(t, ensure_ascii=False)
    docs.append(body[:-1] + "\x01" + '"')
for bad in (b"\xed\xa0\x80", b"\xc3", b"\xf4\x90\x80\x80", b"\xe2\x82", b"\xff"):
    raw = json.dumps({"k": "é" * 80}, ensure_ascii=False).encode()
    for at in (9, 40, 73, 120, 170):
        docs.append(raw[:at] + bad + raw[at:])
out = []
for schema in (Any, dict[str, Any], dict[str, str], {"k": str, "l?": list[str]}):
    v = Validator(schema)
    for d in docs:
        row = [v.is_valid_json(d)]
        for call in (v.load, v.validate_json):
            try:
                row.append(repr(call(d)))
            except ValidationError as e:
                row.append(str(e))
        out.append(row)
print(json.dumps(out))
"""


def outcomes(level):
    env = dict(os.environ)
    env.pop("TESSOLIN_SIMD", None)
    if level is not None:
        env["TESSOLIN_SIMD"] = level
    done = subprocess.run([sys.executable, "-c", CHILD], env=env, capture_output=True, text=True, check=True)
    return json.loads(done.stdout)


@pytest.mark.parametrize("level", ["portable", "sse2", "avx2"])
def test_each_scanning_level_gives_the_same_outcomes(level):
    assert outcomes(level) == outcomes(None)
