#!/bin/bash
# The short part of the generator's battery, run by the test command:
#   battery_short.sh RANDOM_WORDS SEED
# Each test reads the generator's stream from the same fixed seed, so the outcome is the
# same on every run: a test that fails here fails because the generator or its seeding
# changed, never by chance. A FAILED verdict (p-value within 1e-6 of 0 or 1) fails this.
#
# The tests are those that catch what lagged generators get wrong:
#   birthday spacings   generators built from additions of lagged words, with short lags,
#                       are the classic failures of this test;
#   binary rank         the lowest bits of an additive lagged generator follow a linear
#                       recurrence over bits, which the rank of bit matrices exposes;
#   lagged sums 10, 17  every word is made from the words 10 and 17 steps before it, so
#                       sums of every 10th and every 17th word are where a correlation
#                       would show;
#   GCD                 made to catch lagged generators that pass the older tests.
# Sample counts are cut down from the full battery's so that the whole runs in about a
# minute; scripts/fairness.sh runs the full battery.
set -u
words=$1
seed=$2

if ! command -v dieharder >/dev/null; then
  echo "dieharder is missing: scripts/install-deps.sh installs it" >&2
  exit 1
fi

tests=(
  "-d 0"
  "-d 2 -p 20"
  "-d 3 -p 50"
  "-d 203 -n 9 -p 10"
  "-d 203 -n 16 -p 5"
  "-d 17 -p 5"
)

status=0
for t in "${tests[@]}"; do
  # shellcheck disable=SC2086 # each entry is a list of options
  out=$("$words" "$seed" | dieharder -g 200 $t)
  rows=$(grep -E '^ *[a-z_0-9]+\| *[0-9]+\|' <<<"$out")
  if [ -z "$rows" ]; then
    echo "dieharder $t gave no result:"
    echo "$out"
    status=1
    continue
  fi
  while IFS= read -r row; do
    verdict=$(awk -F'|' '{gsub(/ /, "", $6); print $6}' <<<"$row")
    echo "dieharder $t: $row"
    case "$verdict" in
      PASSED | WEAK) ;;
      *) echo "  expected PASSED or WEAK, got $verdict"; status=1 ;;
    esac
  done <<<"$rows"
done
exit $status
