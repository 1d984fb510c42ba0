#!/bin/bash
# Checks a built Tessarix.exe: the expected PE format, the GUI subsystem, imports from
# Windows system DLLs only (libgcc and libstdc++ are linked statically), and the loader's
# hardening marks: ASLR with its relocations, DEP and terminal-server awareness on both
# widths, high-entropy ASLR on x86-64, and NO_SEH on 32-bit while no instruction touches
# the thread's exception handler chain. Given the
# version, also its resources: the icon, the German version record with that version,
# and the manifest naming the processor of the format (x86 or amd64).
#   check-pe.sh OBJDUMP EXE FORMAT [VERSION]      FORMAT: pei-i386 or pei-x86-64
# windres, which decodes the resources, is found beside OBJDUMP.
set -u
objdump=$1 exe=$2 format=$3 version=${4:-}
fail=0
dump=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

actual_format=$(printf '%s\n' "$dump" | sed -n 's/.*file format \(.*\)$/\1/p' | head -n1)
if [ "$actual_format" != "$format" ]; then
  echo "format: expected $format, actual $actual_format"
  fail=1
fi

subsystem=$(printf '%s\n' "$dump" | awk '/^Subsystem/ {print $2}')
if [ "$subsystem" != "00000002" ]; then
  echo "subsystem: expected 00000002 (Windows GUI), actual $subsystem"
  fail=1
fi

system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll ole32.dll oleaut32.dll shell32.dll advapi32.dll winmm.dll msvcrt.dll msimg32.dll dsound.dll comdlg32.dll uxtheme.dll shlwapi.dll "
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $imports; do
  case "$system_dlls" in
    *" $dll "*) ;;
    *) echo "import from a DLL that is not a Windows system DLL: $dll"; fail=1 ;;
  esac
done
[ -n "$imports" ] || { echo "no imports found"; fail=1; }

echo "$(basename "$exe"): $actual_format, subsystem $subsystem, imports: $(echo $imports)"

expected_marks="DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE"
case "$format" in
  pei-i386) expected_marks="$expected_marks NO_SEH" ;;
  *) expected_marks="$expected_marks HIGH_ENTROPY_VA" ;;
esac
marks=$(printf '%s\n' "$dump" | awk '/^DllCharacteristics/ { on = 1; next } on && /^[[:space:]]+[A-Z_]+$/ { print $1; next } on { exit }')
marks_fail=0
for mark in $expected_marks; do
  if ! printf '%s\n' "$marks" | grep -qx "$mark"; then
    echo "loader mark $mark: expected, actual marks: $(echo $marks)"
    marks_fail=1
  fi
done
# ASLR moves the program only when its base relocations are kept.
relocations=$(printf '%s\n' "$dump" | awk '/Base Relocation Directory/ { print $4; exit }')
if [ -z "$relocations" ] || [ $((16#$relocations)) -eq 0 ]; then
  echo "base relocations: expected a relocation directory for ASLR, actual size ${relocations:-none}"
  marks_fail=1
fi
# NO_SEH promises that the program registers no exception handler frame: on 32-bit
# Windows that is a record pushed onto the chain whose head the thread keeps at fs:0.
if [ "$format" = pei-i386 ]; then
  chain=$("$objdump" -d "$exe" | grep -E '%fs:0x0([^0-9a-fx]|$)')
  if [ -n "$chain" ]; then
    echo "NO_SEH: expected no instruction at the exception handler chain (fs:0), actual:"
    printf '%s\n' "$chain" | head -n 5 | sed 's/^/    /'
    marks_fail=1
  fi
fi
if [ "$marks_fail" -eq 0 ]; then
  echo "loader marks: $(echo $marks), base relocations $((16#$relocations)) bytes"
else
  fail=1
fi

if [ -n "$version" ]; then
  # The resources' own verdict: their summary line only when all of them hold.
  earlier=$fail fail=0
  windres=${objdump%objdump}windres
  resources=$("$windres" -i "$exe" -O rc 2>&1) || { echo "windres cannot read the resources: $resources"; exit 1; }
  case "$format" in
    pei-i386) arch=x86 ;;
    *) arch=amd64 ;;
  esac
  IFS=. read -r major minor patch _ <<<"$version.0.0"
  numbers="$major, $minor, ${patch:-0}, 0"
  # expect WHAT PATTERN: one line of the decoded resources matches the fixed text PATTERN.
  expect() {
    if ! printf '%s\n' "$resources" | grep -Fq -- "$2"; then
      echo "$1: expected a resource line with '$2', actual:"
      printf '%s\n' "$resources" | grep -F -- "$3" | sed 's/^/    /'
      fail=1
    fi
  }
  expect "icon" "1 14 /* RT_GROUP_ICON */" "RT_"
  expect "file version" "FILEVERSION $numbers" "FILEVERSION"
  expect "product version" "PRODUCTVERSION $numbers" "PRODUCTVERSION"
  expect "German Windows-1252 string block" 'BLOCK "040704E4"' "BLOCK"
  expect "version text" "VALUE \"FileVersion\", \"$version\"" '"FileVersion"'
  expect "product version text" "VALUE \"ProductVersion\", \"$version\"" '"ProductVersion"'
  expect "translation" 'VALUE "Translation", 0x407, 1252' "Translation"
  expect "manifest" "1 24 /* RT_MANIFEST */" "RT_"
  expect "manifest processor" "processorArchitecture=\"\"$arch\"\"" "processorArchitecture"
  # Every processor the manifest names is the build's own (the program's and the controls').
  others=$(printf '%s\n' "$resources" | grep -o 'processorArchitecture=""[a-z0-9]*""' | grep -vc "\"\"$arch\"\"")
  if [ "$others" -ne 0 ]; then
    echo "manifest: expected processorArchitecture $arch throughout, actual:"
    printf '%s\n' "$resources" | grep -o 'processorArchitecture=""[a-z0-9]*""' | sed 's/^/    /'
    fail=1
  fi
  [ "$fail" -eq 0 ] && echo "resources: icon, version record $version (German, Windows-1252), manifest for $arch"
  fail=$((fail | earlier))
fi
exit $fail
