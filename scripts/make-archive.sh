#!/bin/bash
# Packs one release build into its download: Tessarix.exe, LIESMICH.txt and LICENSE.txt,
# always in this order, with fixed permissions, no owner or extra attributes, and the
# time SOURCE_DATE_EPOCH on every file, so that the archive holds nothing but the files'
# contents and that time.
#   make-archive.sh BUILD_DIR OUT_DIR      writes OUT_DIR/<name>.zip and prints its path
set -euo pipefail
build=$1 out=$2
: "${SOURCE_DATE_EPOCH:?names the files time in the archive, in seconds since 1970}"
name=$(cat "$build/package/name.txt")
files=(Tessarix.exe LIESMICH.txt LICENSE.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/app/Tessarix.exe" "$build/package/LIESMICH.txt" "$build/package/LICENSE.txt" "$stage/"
chmod 0644 "${files[@]/#/$stage/}"
touch -d "@$SOURCE_DATE_EPOCH" "${files[@]/#/$stage/}"
mkdir -p "$out"
archive=$(cd "$out" && pwd)/$name.zip
rm -f "$archive"
# NOTE: a zip entry holds its time as local time; in UTC it is the same on every machine.
(cd "$stage" && TZ=UTC zip -q -X -9 "$archive" "${files[@]}")
echo "$archive"
