#!/usr/bin/env bash
# Long fuzzing runs, outside CI: builds the libFuzzer targets with clang and
# runs each until it has executed ZV_FUZZ_RUNS inputs (10 million unless
# set) or ZV_FUZZ_MAX_SECONDS have passed (4 hours unless set), growing its
# corpus in build-fuzz/corpus/<target>. Prints per target the runs, the
# seconds they took, runs per second, coverage (cov) and features (ft) as
# libFuzzer reports them at the end.
#
#   scripts/fuzz_long.sh                 # every target, one after another
#   scripts/fuzz_long.sh --short         # 60 s per target (a speed check)
#   scripts/fuzz_long.sh fuzz_serial_reply fuzz_matrix_text
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${ZV_FUZZ_RUNS:-10000000}
max_seconds=${ZV_FUZZ_MAX_SECONDS:-14400}
if [ "${1:-}" = "--short" ]; then
  runs=0  # no limit: time decides
  max_seconds=${ZV_FUZZ_SECONDS:-60}
  shift
fi

command -v clang++ >/dev/null || { echo "clang++ is needed for the fuzz targets" >&2; exit 1; }
fuzz_dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZV_BUILD_UI=OFF -DZV_BUILD_TESTS=OFF -DZV_BUILD_FUZZ=ON >/dev/null
cmake --build "$fuzz_dir"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$fuzz_dir"/fuzz/fuzz_*; do [ -x "$t" ] && targets+=("$(basename "$t")"); done
fi

printf '%-22s %12s %8s %10s %6s %7s\n' target runs seconds runs/s cov ft
for name in "${targets[@]}"; do
  corpus="$fuzz_dir/corpus/$name"
  log="$fuzz_dir/$name.long.log"
  mkdir -p "$corpus"
  start=$(date +%s)
  "$fuzz_dir/fuzz/$name" -runs="$runs" -max_total_time="$max_seconds" -max_len=2048 \
    -print_final_stats=1 "$corpus" "$root/fuzz/seeds/$name" >"$log" 2>&1 || {
    echo "$name failed; see $log" >&2
    exit 1
  }
  seconds=$(( $(date +%s) - start ))
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-22s %12s %8s %10s %6s %7s\n' "$name" "$done_runs" "$seconds" \
    "$(( done_runs / (seconds > 0 ? seconds : 1) ))" "$cov" "$ft"
done
