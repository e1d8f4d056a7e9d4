#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build for SECONDS each, one after the
# other, each from its seed corpus (fuzz/corpus/<target> and the example and
# test logs) copied to a scratch corpus in the build folder, with the
# dictionary. Fails when a target finds a crash, a leak, a timeout or an
# out-of-memory, or stops for any other reason.
#   usage: run_fuzz.sh BUILD_DIR [SECONDS] [TARGET...]   (targets: detect run time_shift)
# Logs: BUILD_DIR/fuzz_<target>.log; findings: BUILD_DIR/fuzz-work/<target>/artifacts.
set -euo pipefail

build=${1:?usage: run_fuzz.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(detect run time_shift)
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)

# The run target writes a log and its report per input: keep that in memory.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

status=0
for t in "${targets[@]}"; do
  exe=$build/fuzz/fuzz_$t
  case $t in
    detect) max_len=20000 ;;
    run) max_len=20000 ;;
    time_shift) max_len=128 ;;
    *) echo "unknown fuzz target: $t" >&2; exit 2 ;;
  esac
  if [ ! -x "$exe" ]; then
    if [ "$t" = time_shift ]; then
      echo "fuzz_time_shift: not built (needs Qt 6 Widgets), skipped"
      continue
    fi
    echo "missing $exe: build the target fuzz_targets first" >&2
    exit 1
  fi
  work=$build/fuzz-work/$t
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "$src"/fuzz/corpus/"$t"/* "$work/corpus/"
  if [ "$t" != time_shift ]; then
    for f in "$src"/examples/* "$src"/tests/data/*.ALL "$src"/tests/data/*.cbr; do
      [ -f "$f" ] && cp "$f" "$work/corpus/seed_$(basename "$f")"
    done
  fi
  log=$build/fuzz_$t.log
  echo "fuzz_$t: ${seconds}s, log $log"
  if "$exe" "$work/corpus" -dict="$src/fuzz/hx.dict" -max_len=$max_len \
       -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/artifacts/" >"$log" 2>&1 \
     && [ -z "$(ls -A "$work/artifacts")" ]; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  else
    echo "fuzz_$t FAILED: see $log and $work/artifacts" >&2
    grep -E 'ERROR|SUMMARY|check failed|Test unit written' "$log" | head -n 20 >&2 || true
    status=1
  fi
done
exit $status
