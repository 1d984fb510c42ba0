#!/bin/bash
# Builds the native benchmarks and runs them. Each benchmark named X_baseline_Y is the
# baseline of X: the script prints X's time as a multiple of its baseline's, both
# measured in the same run.
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
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type", "iteration") == "iteration"}
for name, b in runs.items():
    if "_baseline_" in name:
        continue
    for base_name, base in runs.items():
        if base_name.startswith(name + "_baseline_"):
            ratio = b["real_time"] / base["real_time"]
            print(f"ratio {name} / {base_name}: {ratio:.2f} ({b['real_time']:.1f} vs {base['real_time']:.1f} {b['time_unit']})")
PY
  rm -f "$json"
done
exit $status
