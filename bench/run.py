"""Runs every Python benchmark in one go; peers are measured when installed.

    PYTHONPATH=python .venv/bin/python bench/run.py [--quick]
"""

import pathlib
import subprocess
import sys

HERE = pathlib.Path(__file__).parent
BENCHES = ["bench_roads.py", "bench_validate.py", "bench_json.py", "bench_patterns.py", "bench_relations.py",
           "bench_gathering.py", "bench_relation_growth.py"]


def main():
    extra = sys.argv[1:]
    status = 0
    for name in BENCHES:
        print(f"== {name}", flush=True)
        status |= subprocess.call([sys.executable, str(HERE / name), *extra])
    return status


if __name__ == "__main__":
    sys.exit(main())
