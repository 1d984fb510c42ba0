#!/bin/bash
# Keeps docs/architecture.md true to the code: every name in it (each `quoted` name and
# path, and every snake_case word, which in this page is always a code name) must exist.
# A path must exist in the tree; a name must occur as a whole word in the sources or
# build files. Prints what is missing and exits 1.
set -u
cd "$(dirname "$0")/.."
doc=${1:-docs/architecture.md}
searched=(app runtime tests scripts cmake CMakeLists.txt CMakePresets.json)
missing=()
mapfile -t names < <({
  grep -o '`[^`]*`' "$doc" | tr -d '`'
  grep -o -w -E '[A-Za-z][A-Za-z0-9]*_[A-Za-z0-9_]+' "$doc"
} | sort -u)
for name in "${names[@]}"; do
  case "$name" in
    *' '*) continue ;;  # a command line, not a name
    '<'* | *'<'*) continue ;;
  esac
  if [[ "$name" == */* || "$name" == *.* ]]; then
    # A path, a glob of paths or a file name: something in the tree must match it.
    pattern=${name%/}
    compgen -G "$pattern" >/dev/null && continue
    [ -n "$(git ls-files -- "*/$pattern" "$pattern")" ] && continue
    # A built file (Tessarix.exe) is named where it is built or run.
    grep -r -q -F -- "$name" "${searched[@]}" 2>/dev/null && continue
    missing+=("$name")
  else
    grep -r -q -w -F -- "$name" "${searched[@]}" 2>/dev/null && continue
    # The stem of a file name (event_wait of event_wait.cpp).
    [ -n "$(git ls-files -- "*/$name.*")" ] && continue
    missing+=("$name")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "check-docs: $doc names what the code does not have:"
  printf '  %s\n' "${missing[@]}"
  exit 1
fi
echo "check-docs: all ${#names[@]} names in $doc exist"
