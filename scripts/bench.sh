#!/bin/bash
# Builds the native benchmarks and runs them, then prints each measurement as a multiple
# of its named baseline, both measured in the same run (the pairs are listed below).
# Then, unless BENCH_NATIVE_ONLY is set, runs Tessarix.exe and the bare program of the same
# window under 64-bit Wine in turn (the win64 build) and prints start-up, idle CPU and
# resident memory as ratios to the bare program's (BENCH_STARTS, BENCH_IDLE_ROUNDS and
# BENCH_IDLE_SECONDS set the counts; see tests/app/bench).
set -u
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
cmake --preset native >/dev/null && cmake --build --preset native >/dev/null || exit 1
status=0
for bench in $(find build/native/tests -type f -name '*_bench' -perm -u+x | sort); do
  echo "=== $bench"
  json=$(mktemp)
  "$bench" --benchmark_min_time=0.2 --benchmark_out="$json" --benchmark_out_format=json || status=1
  python3 - "$json" <<'PY'
import json, sys
# measurement -> its baseline; benchmarks with arguments are paired argument by argument.
PAIRS = {
    "BM_text_of_int": "BM_text_of_int_baseline_to_chars",
    "BM_expression": "BM_expression_baseline_std_string",
    "BM_RuntimeDie": "BM_Mt19937Die",
    "BM_PoolAllocFree": "BM_MallocFree",
    "BM_LockedPoolAllocFree": "BM_MallocFree",
    "BM_PoolBurst": "BM_MallocBurst",
    "BM_EventQueue": "BM_StdDeque",
}
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type", "iteration") == "iteration"}
for name, b in runs.items():
    base_name, _, arg = name.partition("/")
    if base_name not in PAIRS:
        continue
    baseline = PAIRS[base_name] + ("/" + arg if arg else "")
    if baseline in runs:
        base = runs[baseline]
        ratio = b["cpu_time"] / base["cpu_time"]
        print(f"ratio {name} / {baseline}: {ratio:.2f} ({b['cpu_time']:.1f} vs {base['cpu_time']:.1f} {b['time_unit']} CPU)")
PY
  rm -f "$json"
done

if [ -z "${BENCH_NATIVE_ONLY:-}" ]; then
  echo "=== Tessarix.exe against the bare program, under Wine"
  if cmake --preset win64 >/dev/null &&
     cmake --build --preset win64 --target Tessarix bare_window startup_idle_bench >/dev/null; then
    # The end-to-end runner gives the program the same audio file sink as the tests.
    win=$PWD/build/win64
    BARE_WINDOW_EXE=$win/tests/app/bench/bare_window.exe \
      bash tests/app/e2e/run_e2e.sh "$win/wine-run" "$win/tests/app/bench/startup_idle_bench.exe" \
      "${TESSARIX_BENCH_EXE:-$win/app/Tessarix.exe}" "$win/tests/app/bench/work" || status=1
  else
    status=1
  fi
fi
exit $status
