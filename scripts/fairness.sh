#!/bin/bash
# Produces docs/fairness.md and its charts from scratch:
#   - the generator's raw words from a fixed seed through dieharder's whole battery,
#   - 6,000,000 throws of each source (the generator natively, the cryptographic source
#     through the platform's provider under 64-bit Wine), faces and pairs of throws,
#   - the exact share of 32-bit words that the scaling gives each face.
# Usage: scripts/fairness.sh [--reuse-battery]
# The battery takes half an hour or more on one core. With --reuse-battery, a battery run
# kept in build/fairness is used again when it came from the same seed and the generator
# still gives the same stream (its first 2^20 words are compared by their SHA-256).
set -euo pipefail
cd "$(dirname "$0")/.."

seed=12345
throws=6000000
reuse=0
case "${1:-}" in
  "") ;;
  --reuse-battery) reuse=1 ;;
  *) echo "usage: scripts/fairness.sh [--reuse-battery]" >&2; exit 2 ;;
esac

scripts/install-deps.sh
out=build/fairness
mkdir -p "$out" docs

build() {
  local preset=$1
  shift
  echo "=== $preset: build $*"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target "$@"; } >"$out/$preset-build.log" 2>&1; then
    tail -n 40 "$out/$preset-build.log"
    echo "=== $preset: build FAILED (log: $out/$preset-build.log)" >&2
    exit 1
  fi
}
build native random_words fairness_figures
build win64 fairness_figures
words=build/native/tests/fairness/random_words
figures=build/native/tests/fairness/fairness_figures

# Which code produced the figures: the commit, marked when files that make the numbers
# differ from it.
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain -- runtime/core tests/fairness scripts/fairness.sh scripts/fairness-page.py)" ]; then
  commit="$commit (with uncommitted changes)"
fi

battery=$out/battery-$seed.txt
stream=$("$words" "$seed" 1048576 | sha256sum | cut -c1-64)
if [ "$reuse" -eq 1 ] && [ -f "$battery" ] && grep -qx "# stream $stream" "$battery"; then
  echo "=== battery: reusing $battery ($(sed -n 's/^# commit //p' "$battery"))"
else
  echo "=== battery: dieharder -a on the generator's words from seed $seed (half an hour or more)"
  # dieharder's own seed (-S) is ignored for words from standard input: the stream is all
  # that decides its results, so a second run gives the same figures.
  {
    echo "# seed $seed"
    echo "# stream $stream"
    echo "# commit $commit"
    "$words" "$seed" | dieharder -g 200 -a
  } >"$battery.part"
  mv "$battery.part" "$battery"
fi

echo "=== throws: $throws of the generator (seed $seed)"
"$figures" generator "$throws" "$seed" >"$out/throws-generator.txt"
echo "=== throws: $throws of the cryptographic source under Wine"
build/win64/wine-run build/win64/tests/fairness/fairness_figures.exe crypto "$throws" >"$out/throws-crypto.txt"
"$figures" scaling 6 >"$out/scaling.txt"

echo "=== page and charts"
python3 scripts/fairness-page.py --out "$out" --figures "$figures" --commit "$commit" --seed "$seed" >docs/fairness.md
for source in generator crypto; do
  gnuplot "$out/chart-$source.gp"
done
build/win64/wine-run --shutdown
echo "docs/fairness.md, docs/fairness-generator.png and docs/fairness-crypto.png written"
