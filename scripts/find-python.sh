#!/usr/bin/env bash
# Prints the interpreter the development environment is built on:
# CPython 3.14 when the machine has one, else 3.13, on PATH or under pyenv.
set -u
works() { "$1" -c 'import sys; sys.exit(0 if sys.version_info[:2] == ('"$2"') else 1)' >/dev/null 2>&1; }
for ver in 3.14 3.13; do
  minor=${ver#3.}
  candidates=("python$ver" "python${ver}t")
  for dir in "$HOME"/.pyenv/versions/"$ver"*/bin /usr/local/bin /usr/bin; do
    [ -d "$dir" ] && candidates+=("$dir/python$ver" "$dir/python3")
  done
  for c in "${candidates[@]}"; do
    p=$(command -v "$c" 2>/dev/null) || continue
    if works "$p" "3, $minor"; then echo "$p"; exit 0; fi
  done
done
echo "no CPython 3.14 or 3.13 found (looked on PATH and under ~/.pyenv/versions)" >&2
exit 1
