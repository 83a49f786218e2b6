"""Type-checks the stubs against the built module, and the README's and the
examples' code against the stubs, the way a user's mypy sees them."""

import os
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent


def run(args: list[str], cwd: pathlib.Path) -> None:
    print("+", " ".join(args), flush=True)
    # The tools run elsewhere, so relative entries of PYTHONPATH are made
    # absolute first.
    paths = [str(pathlib.Path(p).resolve()) for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(paths))
    subprocess.run([sys.executable, "-m", *args], cwd=cwd, env=env, check=True)


def main() -> None:
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch)
        # The stubs against the runtime module (from a directory that does
        # not hold a second copy of the package).
        run(["mypy.stubtest", "tessolin"], work)
        blocks = re.findall(r"```python\n(.*?)```", (ROOT / "README.md").read_text(), re.S)
        sources = []
        for i, block in enumerate(blocks):
            path = work / f"readme_block_{i}.py"
            path.write_text(block)
            sources.append(str(path))
        sources += [str(p) for p in sorted((ROOT / "examples").glob("*.py"))]
        run(["mypy", "--strict", "--no-incremental", "--cache-dir", str(work / ".mypy_cache"), *sources], work)


if __name__ == "__main__":
    main()
