#!/bin/bash
# The test command: installs what is missing, builds every configuration and runs every
# test. Exits non-zero when a build or a test fails.
#   native       platform-free core, natively (benchmarks are built, not run)
#   native-asan  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz         libFuzzer targets of the format readers, each run briefly
#   win32        the shipped 32-bit program: its executable form checked, and the runtime and
#                end-to-end tests under this machine's 32-bit Wine (emulated by qemu-i386)
#   win64        the same program as x86-64, every runtime and end-to-end test under Wine
#   win32-wine10 win32's and win64's tests once more under the next Wine generation (Wine
#   win64-wine10 10, in a Debian 13 tree that scripts/install-deps.sh makes)
# and the house checks: formatting, the linter, the names in docs/architecture.md.
# A Wine run that this machine cannot make (the host's 32-bit Wine not installable today,
# no tree, no emulator) is skipped with one SKIPPED: line saying why; the closing line
# counts it.
#
# The Wine runs wait on windows, sounds and the emulator more than they compute, so they run
# in lanes of their own, one per width, beside each other and beside the native builds, the
# house checks and the native tests; each Wine generation and width has its own display and
# Wine server. A lane's output is printed when it ends.
set -u
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

logdir=build/logs
mkdir -p "$logdir"
rm -f "$logdir"/*.counts

# Counts of one lane, added up at the end: passed failed skipped status.
count() { echo "$2 $3 $4 $5" >>"$logdir/$1.counts"; }

build_preset() {
  local preset=$1
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >"$logdir/$preset-configure.log" 2>&1; then
    cat "$logdir/$preset-configure.log"
    echo "=== $preset: configure FAILED"
    count main 0 1 0 1
    return 1
  fi
  if ! cmake --build --preset "$preset" >"$logdir/$preset-build.log" 2>&1; then
    grep -E -B2 -A6 'error|Error' "$logdir/$preset-build.log" | head -n 80
    echo "=== $preset: build FAILED (log: $logdir/$preset-build.log)"
    count main 0 1 0 1
    return 1
  fi
}

# Runs one test preset and counts it in LANE.
test_preset() {
  local lane=$1 preset=$2
  # A test preset of another Wine generation runs its build's tests under that Wine.
  local build=${preset%-wine10} tree=()
  [ "$build" = "$preset" ] || tree=(TESSARIX_WINE_TREE=debian13)
  [ -f "build/$build/CTestTestfile.cmake" ] || return 0
  echo "=== $preset: tests"
  local jobs=2
  # Windows tests share one display and its focus: one at a time.
  case "$preset" in win*) jobs=1 ;; esac
  local only=() skip skipped=0
  if [ -x "build/$build/wine-run" ] && ! skip=$(env "${tree[@]}" "build/$build/wine-run" --check); then
    echo "$skip"
    skipped=1
    # The build's own checks of its files ran with the build's first run.
    if [ ${#tree[@]} -gt 0 ]; then
      count "$lane" 0 0 1 0
      return 0
    fi
    # The machine cannot run this Wine: only the tests that need none.
    only=(-L '^no_wine$')
  fi
  local started=$SECONDS log="$logdir/$preset-ctest.log"
  ctest --preset "$preset" -j "$jobs" "${only[@]}" >"$log" 2>&1
  cat "$log"
  echo "=== $preset: tests took $((SECONDS - started)) s"
  local skips summary total bad
  skips=$(grep -c '(Skipped)$' "$log")
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$summary" ]; then
    total=$(echo "$summary" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    count "$lane" $((total - bad - skips)) "$bad" $((skipped + skips)) $((bad > 0))
  elif grep -q 'No tests were found' "$log"; then
    count "$lane" 0 0 "$skipped" 0
  else
    count "$lane" 0 1 "$skipped" 1
  fi
}

# The Windows programs first, so that their tests can start while the rest builds.
wine_built=()
for preset in win32 win64; do
  build_preset "$preset" && wine_built+=("$preset")
done
# One lane per width: the runs of one build tree take turns, for its tests keep their work
# folders (sound sinks, screenshots) in the build tree, whichever Wine runs them.
wine_lane() {
  local name=$1 started=$SECONDS preset
  shift
  for preset in "$@"; do
    [[ " ${wine_built[*]} " == *" ${preset%-wine10} "* ]] && test_preset "$name" "$preset"
  done
  echo "=== the $name runs took $((SECONDS - started)) s"
}
wine_lane win32 win32 win32-wine10 >"$logdir/win32-lane.log" 2>&1 &
win32_lane=$!
wine_lane win64 win64 win64-wine10 >"$logdir/win64-lane.log" 2>&1 &
win64_lane=$!

native_built=()
for preset in native native-asan fuzz; do
  build_preset "$preset" && native_built+=("$preset")
done

# House checks, one counted test each: the layout (.clang-format), the architecture page's
# names, and the linter (.clang-tidy) over the configurations just configured.
for check in check-format check-docs check-tidy; do
  echo "=== $check"
  if scripts/$check.sh; then
    count main 1 0 0 0
  else
    count main 0 1 0 1
  fi
done

for preset in "${native_built[@]}"; do
  test_preset main "$preset"
done

echo "=== waiting for the Wine runs"
for lane in win32 win64; do
  pid_name=${lane}_lane
  wait "${!pid_name}"
  cat "$logdir/$lane-lane.log"
done

for runner in build/win32/wine-run build/win64/wine-run; do
  [ -x "$runner" ] && "$runner" --shutdown
done

read -r passed failed skipped status < <(cat "$logdir"/*.counts |
  awk '{p += $1; f += $2; s += $3; if ($4) x = 1} END {print p + 0, f + 0, s + 0, x + 0}')
echo
[ "$skipped" -eq 0 ] || echo "(skipped: see the SKIPPED lines above)"
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit $status
