#!/bin/bash
# Builds the release program a second time, from a copy of the sources in another
# directory, and compares it and its download archive with this build's by SHA-256.
# The copy holds the sources as they are now, committed or not, so that both builds
# start from the same files.
#   check-reproducible.sh SOURCE_DIR BUILD_DIR PRESET
set -u
src=$1 build=$2 preset=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/tessarix-second-build.XXXXXX")
copy=$work/elsewhere/tessarix
mkdir -p "$copy"

if ! git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  echo "$src is not a git checkout: the sources to copy are unknown"
  exit 1
fi
git -C "$src" ls-files -z --cached --others --exclude-standard |
  (cd "$src" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$copy"

echo "second build: $copy/build/$preset"
if ! (cd "$copy" && cmake --preset "$preset" && cmake --build --preset "$preset" --target Tessarix) >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log"
  echo "the second build failed (log: $work/build.log)"
  exit 1
fi

fail=0
# compare WHAT FIRST SECOND: the SHA-256 sums of two files.
compare() {
  local first second
  first=$(sha256sum "$2" | cut -d' ' -f1)
  second=$(sha256sum "$3" | cut -d' ' -f1)
  if [ "$first" = "$second" ]; then
    echo "$1: identical, sha256 $first"
  else
    echo "$1 differs between the two builds:"
    echo "  expected $first  $2"
    echo "  actual   $second  $3"
    echo "  $(cmp -l "$2" "$3" 2>/dev/null | wc -l) bytes differ; sizes $(stat -c %s "$2") and $(stat -c %s "$3")"
    fail=1
  fi
}
compare Tessarix.exe "$build/app/Tessarix.exe" "$copy/build/$preset/app/Tessarix.exe"

# The archives, made with one time for the files: the files themselves were written at
# different times by the two builds, and that must not show.
SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
first=$("$src/scripts/make-archive.sh" "$build" "$work/first") || fail=1
second=$("$copy/scripts/make-archive.sh" "$copy/build/$preset" "$work/second") || fail=1
[ -n "$first" ] && [ -n "$second" ] && compare "$(basename "$first")" "$first" "$second"

if [ "$fail" -eq 0 ]; then
  rm -rf "$work"
else
  echo "both builds kept in $work"
fi
exit $fail
