#!/bin/bash
# The formatting check: every C++ file that git tracks under app/, runtime/ and tests/
# must be as .clang-format lays it out. Prints the files to reformat and exits 1 when
# there are any. With --fix it reformats them in place instead.
set -u
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "check-format: $format not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
mapfile -t files < <(git ls-files -- 'app/*.cpp' 'app/*.h' 'runtime/*.cpp' 'runtime/*.h' 'tests/*.cpp' 'tests/*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i --style=file "${files[@]}"
  exit $?
fi
# One call over all files: --dry-run names each place that would change ("file:line:col:
# error: code should be clang-formatted"); nothing is written.
mapfile -t unformatted < <("$format" --dry-run --style=file "${files[@]}" 2>&1 |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: \(warning\|error\): code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files differ from .clang-format; reformat them with"
  echo "  scripts/check-format.sh --fix   (or: $format -i FILE)"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format lays them out"
