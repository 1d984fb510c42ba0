#!/bin/bash
# The linter: clang-tidy with .clang-tidy's checks over the shipped code (app/ and runtime/),
# as the native and the two Windows builds compile it. Exits 1 on any finding, with the list.
# The tests are not linted yet: their findings (mostly widening and narrowing in the
# end-to-end driver's arithmetic) wait for a pass of their own.
#   scripts/check-tidy.sh [preset...]     default: win64 win32 native (in that order)
# Each preset is configured when its compile_commands.json is missing. The 64-bit build
# brings every runtime and application file; the 32-bit build the same again (pointer
# width changes what narrows); the native build only the files the Windows builds do not
# compile (its kernel stand-in).
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
tidy=${CLANG_TIDY:-clang-tidy}
jobs=${JOBS:-$(nproc)}
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win64 win32 native)
if ! command -v "$tidy" >/dev/null; then
  echo "check-tidy: $tidy not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
seen="$out/seen"
: >"$seen"
status=0

# The files of one build: its compile database's C++ sources under app/ and runtime/
# (not the asset generator, a build-time tool).
sources_of() {
  sed -n 's/^ *"file": "\(.*\.cpp\)",\?$/\1/p' "build/$1/compile_commands.json" |
    grep -E "^$root/(app|runtime)/" | grep -v "^$root/app/assets/" | sort -u
}

# A cross compiler's own C++ library headers, which clang does not find by itself in
# Debian's versioned mingw folders (12-posix).
mingw_arguments() {
  local compiler=$1
  "$compiler" -xc++ -E -v - </dev/null 2>&1 | sed -n '/#include <...> search starts here:/,/End of search list./p' |
    sed -n 's/^ *\(\/.*\/include\/c++.*\)$/\1/p' | while read -r dir; do
      echo "--extra-arg=-isystem$(readlink -f "$dir")"
    done
}

for preset in "${presets[@]}"; do
  if [ ! -f "build/$preset/compile_commands.json" ]; then
    cmake --preset "$preset" >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
  fi
  sources_of "$preset" >"$out/all"
  case "$preset" in
    native) grep -vxFf "$seen" "$out/all" >"$out/files" ;;
    *) cp "$out/all" "$out/files" ;;
  esac
  cat "$out/all" >>"$seen"
  arguments=()
  compiler=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "build/$preset/compile_commands.json" | head -n1)
  case "$compiler" in
    *mingw32*)
      target=$(basename "$compiler" | sed 's/-g++.*//')
      arguments=("--extra-arg=--target=$target")
      mapfile -t -O 1 arguments < <(mingw_arguments "$compiler")
      ;;
  esac
  echo "check-tidy: $preset, $(wc -l <"$out/files") files"
  xargs -a "$out/files" -P "$jobs" -n 4 "$tidy" --quiet -p "build/$preset" "${arguments[@]}" \
    >"$out/$preset.log" 2>&1
done

# A header's finding comes once from every file that includes it: list each once.
grep -h -E '^/.*:[0-9]+:[0-9]+: (warning|error):' "$out"/*.log | sed "s#^$root/##" | sort -u >"$out/findings"
if [ -s "$out/findings" ]; then
  count=$(wc -l <"$out/findings")
  echo "check-tidy: $count findings (fix each, or add // NOLINT(check) with the reason):"
  cat "$out/findings"
  exit 1
fi
echo "check-tidy: no findings"
