#!/bin/bash
# Runs the Google Benchmark programs of a build with their cases interleaved at random
# (--benchmark_enable_random_interleaving), several repetitions each, and prints the medians.
# Programs also run in a shuffled order, so that a slow spell of the machine does not fall on one
# program alone. Benchmarks, not tests: the figures depend on the machine and its load.
#
#   bench/run_interleaved.sh [build/release] [repetitions] [program ...]
set -euo pipefail
build=${1:-build/release}
repetitions=${2:-7}
shift $(( $# > 2 ? 2 : $# ))
if (( $# > 0 )); then
  programs=("$@")
else
  mapfile -t programs < <(find "$build/bench" -maxdepth 1 -type f -executable -name '*_bench' | sort)
fi
if (( ${#programs[@]} == 0 )); then
  echo "no benchmark programs under $build/bench (configure with -DLUMIVANE_BENCH=ON)" >&2
  exit 1
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for program in $(printf '%s\n' "${programs[@]}" | shuf); do
  [[ $program == */* ]] || program="$build/bench/$program"
  echo "== $(basename "$program")"
  QT_QPA_PLATFORM=offscreen "$program" --benchmark_enable_random_interleaving=true \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_display_aggregates_only=true 2>&1 | grep -E '_median|^Benchmark|^-' || true
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
