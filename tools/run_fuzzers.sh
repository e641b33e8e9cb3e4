#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a fixed number of inputs, each from the generated
# seed files of its format: tools/run_fuzzers.sh BUILD_DIR RUNS
# A crash, a sanitizer report, a hang (10 s per input) or a single allocation of more than 1 GB fails
# the run; libFuzzer then leaves the input as crash-*/timeout-*/oom-* in BUILD_DIR/findings. The
# whole process may hold up to 2 GB: the sanitizer keeps freed memory in quarantine and the fuzzer
# keeps its corpus, so a limit on the process alone would fail at random after many inputs.
set -euo pipefail
build=$1
runs=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seeds="$build/seeds"
rm -rf "$seeds" "$build/findings"
mkdir -p "$build/findings"
/usr/bin/python3 "$source_dir/fuzz/make_seeds.py" "$seeds"
for target in "$build"/fuzz/*_fuzzer; do
  reader=$(basename "$target" _fuzzer)
  corpus=$(mktemp -d)
  echo "-- $reader: $runs inputs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$target" -runs="$runs" -seed=1 -max_len=65536 -timeout=10 -malloc_limit_mb=1024 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/$reader-" -print_final_stats=0 "$corpus" "$seeds/$reader" \
    >"$build/findings/$reader.log" 2>&1 || { tail -40 "$build/findings/$reader.log"; rm -rf "$corpus"; exit 1; }
  rm -rf "$corpus"
done
