#!/bin/bash
# Checks a built Tessarix.exe: the expected PE format, the GUI subsystem, and imports
# from Windows system DLLs only (libgcc and libstdc++ are linked statically).
#   check-pe.sh OBJDUMP EXE FORMAT      FORMAT: pei-i386 or pei-x86-64
set -u
objdump=$1 exe=$2 format=$3
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
exit $fail
