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
set -u
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

presets=(native native-asan fuzz win32 win64)
passed=0
failed=0
skipped=0
status=0
logdir=build/logs
mkdir -p "$logdir"

for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >"$logdir/$preset-configure.log" 2>&1; then
    cat "$logdir/$preset-configure.log"
    echo "=== $preset: configure FAILED"
    status=1
    failed=$((failed + 1))
    continue
  fi
  if ! cmake --build --preset "$preset" >"$logdir/$preset-build.log" 2>&1; then
    grep -E -B2 -A6 'error|Error' "$logdir/$preset-build.log" | head -n 80
    echo "=== $preset: build FAILED (log: $logdir/$preset-build.log)"
    status=1
    failed=$((failed + 1))
    continue
  fi
done

# House checks, one counted test each: the layout (.clang-format), the architecture page's
# names, and the linter (.clang-tidy) over the configurations just configured.
for check in check-format check-docs check-tidy; do
  echo "=== $check"
  if scripts/$check.sh; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    status=1
  fi
done

for preset in "${presets[@]}" win32-wine10 win64-wine10; do
  # A test preset of another Wine generation runs its build's tests under that Wine.
  build=${preset%-wine10} tree=()
  [ "$build" = "$preset" ] || tree=(TESSARIX_WINE_TREE=debian13)
  [ -f "build/$build/CTestTestfile.cmake" ] || continue
  echo "=== $preset: tests"
  jobs=2
  # Windows tests share one display and its focus: one at a time.
  case "$preset" in win*) jobs=1 ;; esac
  only=()
  if [ -x "build/$build/wine-run" ] && ! skip=$(env "${tree[@]}" "build/$build/wine-run" --check); then
    echo "$skip"
    skipped=$((skipped + 1))
    # The build's own checks of its files ran with the build's first run.
    [ ${#tree[@]} -gt 0 ] && continue
    # The machine cannot run this Wine: only the tests that need none.
    only=(-L '^no_wine$')
  fi
  started=$SECONDS
  ctest --preset "$preset" -j "$jobs" "${only[@]}" 2>&1 | tee "$logdir/$preset-ctest.log"
  echo "=== $preset: tests took $((SECONDS - started)) s"
  skips=$(grep -c '(Skipped)$' "$logdir/$preset-ctest.log")
  skipped=$((skipped + skips))
  passed=$((passed - skips))
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logdir/$preset-ctest.log" | tail -n1)
  if [ -n "$summary" ]; then
    total=$(echo "$summary" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" -eq 0 ] || status=1
  elif ! grep -q 'No tests were found' "$logdir/$preset-ctest.log"; then
    status=1
  fi
done

for runner in build/win32/wine-run build/win64/wine-run; do
  [ -x "$runner" ] && "$runner" --shutdown
done

echo
[ "$skipped" -eq 0 ] || echo "(skipped: see the SKIPPED lines above)"
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit $status
