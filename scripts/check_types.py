"""Type-checks the stubs against the built module, and the README's and the
examples' code against the stubs, the way a user's mypy sees them."""

import os
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent


def tool_env() -> dict[str, str]:
    # The tools run elsewhere, so relative entries of PYTHONPATH are made
    # absolute first.
    paths = [str(pathlib.Path(p).resolve()) for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    return dict(os.environ, PYTHONPATH=os.pathsep.join(paths))


def run(args: list[str], cwd: pathlib.Path) -> None:
    print("+", " ".join(args), flush=True)
    subprocess.run([sys.executable, "-m", *args], cwd=cwd, env=tool_env(), check=True)


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
        expect_rejected(work)


# A misspelt key of an error entry must not pass the type check.
MISSPELT_KEY = """
from tessolin import ValidationError, Validator

try:
    Validator(int).validate("x")
except ValidationError as error:
    print(error.errors[0]["mesage"])
"""


def expect_rejected(work: pathlib.Path) -> None:
    path = work / "misspelt_key.py"
    path.write_text(MISSPELT_KEY)
    print("+ mypy --strict", path.name, "(must fail)", flush=True)
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", str(work / ".mypy_cache"),
         str(path)], cwd=work, env=tool_env(), capture_output=True, text=True)
    if done.returncode == 0 or '"mesage"' not in done.stdout:
        sys.exit(f"mypy accepted a misspelt error key:\n{done.stdout}{done.stderr}")


if __name__ == "__main__":
    main()
