#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for a fixed number of
# executions, starting from the seed corpus in fuzz/corpus (copied, so the
# seeds stay as they are). A crash leaves its input in BUILD/fuzz-findings and
# fails the run; once fixed, it goes to fuzz/regressions/HARNESS, which the
# core tests replay. For a longer run: FUZZ_RUNS=20000000 make fuzz, or run a
# harness by hand, e.g. build-fuzz/kalvex-fuzz-scenereader -max_total_time=600 DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
runs="${2:-200000}"
findings="$build/fuzz-findings"
mkdir -p "$findings"
status=0
for harness in scenereader meshreader picturemesher picturefigure; do
  case "$harness" in
    scenereader) seeds=fuzz/corpus/scene; max_len=40000 ;;
    meshreader) seeds=fuzz/corpus/mesh; max_len=4096 ;;
    picturemesher) seeds=fuzz/corpus/picture; max_len=4096 ;;
    picturefigure) seeds=fuzz/corpus/figure; max_len=4096 ;;
  esac
  corpus="$build/fuzz-corpus/$harness"
  mkdir -p "$corpus"
  cp -n "$seeds"/* "$corpus"/
  start=$(date +%s)
  if QT_QPA_PLATFORM=offscreen "$build/kalvex-fuzz-$harness" -runs="$runs" -max_len="$max_len" -timeout=20 \
      -rss_limit_mb=2048 -artifact_prefix="$findings/$harness-" -print_final_stats=1 "$corpus" \
      > "$build/fuzz-$harness.log" 2>&1; then
    executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz-$harness.log" | grep -o '[0-9]*$' || true)
    echo "fuzz $harness: ${executions:-?} executions in $(( $(date +%s) - start )) s, no crash"
  else
    echo "fuzz $harness: FAILED, see $build/fuzz-$harness.log and $findings"
    tail -30 "$build/fuzz-$harness.log"
    status=1
  fi
done
exit $status
