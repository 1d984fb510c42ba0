#!/bin/bash
# The package command: builds the release of Tessarix for 32-bit and 64-bit Windows, checks
# each program's form, size and link, and writes the downloads into dist/:
# Tessarix-<version>-win32.zip, Tessarix-<version>-win64.zip and their SHA-256 sums in
# SHA256SUMS. The archives' file times are the time of the checked-out commit, so every
# build of one commit gives the same bytes (SOURCE_DATE_EPOCH, when set, overrides that
# time).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "Note: the working tree differs from commit $(git rev-parse --short HEAD); the downloads hold those changes." >&2
fi

mkdir -p build/logs
rm -rf dist
mkdir dist
for preset in win32 win64; do
  log=build/logs/$preset-package.log
  cmake --preset "$preset" >"$log" 2>&1 || { cat "$log"; exit 1; }
  cmake --build --preset "$preset" --target Tessarix >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
  case "$preset" in
    win32) triple=i686-w64-mingw32 format=pei-i386 ;;
    win64) triple=x86_64-w64-mingw32 format=pei-x86-64 ;;
  esac
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$preset/CMakeCache.txt")
  scripts/check-pe.sh "$triple-objdump" "build/$preset/app/Tessarix.exe" "$format" "$version"
  scripts/check-size.sh size "build/$preset/app/Tessarix.exe"
  scripts/check-size.sh members "build/$preset/app/Tessarix.map"
  scripts/make-archive.sh "build/$preset" dist >/dev/null
done
(cd dist && sha256sum Tessarix-*.zip >SHA256SUMS)
echo "Downloads in $PWD/dist (file times: $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')):"
ls -l dist | tail -n +2
cat dist/SHA256SUMS
