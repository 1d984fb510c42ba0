#!/bin/bash
# The shipped program's weight and what it is made of, read from the link map that the
# release build writes beside it (Tessarix.map).
#   check-size.sh size EXE [MAP]   EXE's bytes against the budget; over it, the map's
#                                  largest contributors by archive member
#   check-size.sh members MAP      the link took in no member of the C++ exception runtime
#                                  (with its unwinder), the demangler or the threads
#                                  library; each one found is named with what pulled it in
# The program is built with neither exceptions nor threads of the language; those members
# arrive only when some code asks for a C++ runtime service (an allocation operator, a
# static with a guarded initialiser), and then bring a hundred kilobytes along.
set -u
budget=420000

mode=${1:-} exe=${2:-}
case "$mode" in
  size) map=${3:-${exe%.*}.map} ;;
  members) map=$exe ;;
  *) echo "usage: check-size.sh size EXE [MAP] | check-size.sh members MAP"; exit 2 ;;
esac
[ -f "$map" ] || { echo "no link map at $map (the release build writes it)"; exit 1; }

# 415744 -> 415,744
grouped() { echo "$1" | sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|,\)/\1,\2\3/' -e 'ta'; }

# A file of the map as this report names it: an archive member as "libX.a(member.o)", an
# object by its file name; the link-time optimiser's own output (a temporary name that
# changes with every link) as the program's optimised code.
awk_names='
function named(path) {
  if (path ~ /\.ltrans[0-9]*\.ltrans\.o$/) return "(link-time optimised code)"
  if (path ~ /\)$/) {
    archive = path; sub(/\(.*$/, "", archive); sub(/^.*\//, "", archive)
    member = path; sub(/^[^(]*\(/, "(", member)
    return archive member
  }
  sub(/^.*\//, "", path)
  return path
}
function value(hex,    i, n, digit) {
  n = 0; hex = tolower(substr(hex, 3))
  for (i = 1; i <= length(hex); i++) {
    digit = index("0123456789abcdef", substr(hex, i, 1)) - 1
    n = n * 16 + digit
  }
  return n
}
'

# Bytes of the program's image by contributing file, largest first: every input section
# of the memory map with an address in the image (debugging sections sit at 0 and are
# stripped), whether its name shares its line or stands on the line before.
contributors() {
  awk "$awk_names"'
    /^Linker script and memory map/ { on = 1; next }
    !on { next }
    /^ [^ *][^ ]* +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { add($2, $3, $4); next }
    /^ +0x[0-9a-f]+ +0x[0-9a-f]+ +[^ ]/ { add($1, $2, $3) }
    function add(address, size, file) {
      if (value(address) == 0 || value(size) == 0) return
      # The linker names the base relocations, which it makes itself, "dll stuff".
      bytes[file == "dll" ? "(base relocations)" : named(file)] += value(size)
    }
    END { for (f in bytes) printf "%d %s\n", bytes[f], f }
  ' "$map" | sort -k1,1nr -k2
}

# The archive members the link took in, one line each: member, what pulled it in, for
# which symbol. The map gives the member on one line and its reason on the next (or on the
# same line, after the member, when the name is short).
members() {
  awk "$awk_names"'
    /^Archive member included/ { on = 1; next }
    on && /^(Discarded input sections|Memory Configuration|Allocating common symbols)/ { exit }
    !on || /^$/ { next }
    /^[^ ]/ { member = named($1); if (NF == 1) next; sub(/^[^ ]+ +/, "") }
    member != "" {
      sub(/^ +/, "")
      by = $1; sub(/^[^ ]+ +/, ""); sub(/^\(symbol from plugin\) +/, "")
      sub(/^\(/, ""); sub(/\)$/, "")
      printf "%s\t%s\t%s\n", member, named(by), $0
      member = ""
    }
  ' "$map"
}

# What a member belongs to when it is one that the program must not carry, else nothing.
forbidden_kind() {
  case "$1" in
    libstdc++.a\(eh_* | libsupc++.a\(eh_*) echo "C++ exception runtime" ;;
    libstdc++.a\(vterminate.o\) | libsupc++.a\(vterminate.o\)) echo "C++ exception runtime (verbose terminate handler)" ;;
    *\(cp-demangle.o\)) echo "demangler" ;;
    libgcc_eh.a\(* | *unwind*) echo "unwinder of the C++ exception runtime" ;;
    libpthread.a\(* | libwinpthread.a\(*) echo "threads library (winpthreads)" ;;
  esac
}

if [ "$mode" = size ]; then
  [ -f "$exe" ] || { echo "no program at $exe"; exit 1; }
  bytes=$(stat -c %s "$exe")
  if [ "$bytes" -le "$budget" ]; then
    echo "$(basename "$exe"): $(grouped "$bytes") bytes, budget $(grouped $budget) ($(grouped $((budget - bytes))) to spare)"
    exit 0
  fi
  echo "$(basename "$exe"): $(grouped "$bytes") bytes, budget $(grouped $budget): over by $(grouped $((bytes - budget)))"
  echo "largest contributors in the link map (bytes in the image):"
  contributors | head -n 15 | while read -r size name; do printf '  %9s  %s\n' "$(grouped "$size")" "$name"; done
  exit 1
fi

table=$(members)
if [ -z "$table" ]; then
  echo "$map: no archive members found; the map is not in the form this check reads"
  exit 1
fi
found=0 roots=""
while IFS=$'\t' read -r member by symbol; do
  kind=$(forbidden_kind "$member")
  [ -n "$kind" ] || continue
  [ "$found" -gt 0 ] || echo "linked in, though the program must carry none of them:"
  printf '  %-34s %s, for %s from %s\n' "$member" "$kind" "$symbol" "$by"
  found=$((found + 1))
  # Back along what pulled it in, to the program's own file that asked first.
  current=$member
  for _ in $(seq 1 20); do
    line=$(printf '%s\n' "$table" | awk -F'\t' -v m="$current" '$1 == m { print; exit }')
    [ -n "$line" ] || break
    IFS=$'\t' read -r _ by symbol <<<"$line"
    case "$by" in
      *.a\(*) current=$by ;;
      *) roots+="$by asks for $symbol, through $current"$'\n'; break ;;
    esac
  done
done <<<"$table"
if [ "$found" -eq 0 ]; then
  echo "$(basename "$map"): $(printf '%s\n' "$table" | grep -c .) archive members, none of the C++ exception runtime, the demangler or the threads library"
  exit 0
fi
echo "$found such members; where the program asks for them:"
printf '%s' "$roots" | sort -u | sed 's/^/  /'
exit 1
