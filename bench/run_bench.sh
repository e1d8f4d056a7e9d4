#!/usr/bin/env bash
# make bench: times hxchart against `wc -l` and an awk count on large synthetic
# logs (warm page cache, medians), reports its peak memory and the cost of
# detection, and checks that its reports equal those of the plain line-by-line
# reference count. Usage: bench/run_bench.sh BUILD_DIR
#
# Settings (environment): BENCH_SEED (1), BENCH_BYTES (1000000000), BENCH_RUNS
# (9, so that a few slow runs move no median; awk runs 3 times at most),
# BENCH_LONG_LINE (268435456, bytes of the long second line).
set -euo pipefail

build=${1:-build}
seed=${BENCH_SEED:-1}
bytes=${BENCH_BYTES:-1000000000}
runs=${BENCH_RUNS:-9}
awk_runs=$(( runs < 3 ? runs : 3 ))
long_line=${BENCH_LONG_LINE:-268435456}

gen=$build/bench/hxbench_gen
ref=$build/bench/hxbench_ref
detect=$build/bench/hxbench_detect
hx=$build/hxchart
[ -x "$hx" ] || hx=$build/cli/hxchart
for tool in "$gen" "$ref" "$detect" "$hx"; do
  [ -x "$tool" ] || { echo "bench: $tool is missing; build the targets hxchart and hxbench_gen first" >&2; exit 2; }
done
logs=$build/bench-logs
mkdir -p "$logs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A log made by the generator, reused while its stamp (generator version and
# arguments) is unchanged.
make_log() {
  local path=$1; shift
  local stamp
  stamp="$("$gen" --version) $*"
  if [ -f "$path" ] && [ -f "$path.stamp" ] && [ "$(cat "$path.stamp")" = "$stamp" ]; then
    return
  fi
  echo "generating $path ($*)" >&2
  rm -f "$path" "$path.stamp"
  "$gen" "$@" "$path"
  # On disk before any timing: write-back would slow the reports' fsync.
  sync "$path"
  echo "$stamp" > "$path.stamp"
}

all_big=$logs/all_${bytes}b_s$seed.ALL
cab_big=$logs/cab_${bytes}b_s$seed.cbr
all_small=$logs/all_100000l_s$seed.ALL
cab_small=$logs/cab_100000l_s$seed.cbr
cab_any=$logs/cab_any_${bytes}b_s$seed.cbr
long=$logs/long_${long_line}b_s$seed.ALL
make_log "$all_big" --format all --bytes "$bytes" --seed "$seed"
make_log "$cab_big" --format cabrillo --bytes "$bytes" --seed "$seed"
make_log "$all_small" --format all --lines 100000 --seed "$seed"
make_log "$cab_small" --format cabrillo --lines 100000 --seed "$seed"
make_log "$cab_any" --format cabrillo --columns any --bytes "$bytes" --seed "$seed"
make_log "$long" --format all --lines 1000 --long-line "$long_line" --seed "$seed"

# What an operator might write instead: QSOs per band and hour with awk.
awk_all='NR > 1 && substr($0, 12, 2) ~ /^[0-2][0-9]$/ { n[substr($0, 67, 3) " " substr($0, 12, 2)]++ }
END { for (k in n) t += n[k]; print t + 0 }'
awk_cab='toupper(substr($0, 1, 4)) == "QSO:" && $5 ~ /^[0-9][0-9][0-9][0-9]$/ { n[$2 " " substr($5, 1, 2)]++ }
END { for (k in n) t += n[k]; print t + 0 }'

# Wall seconds of one run of a command, its output thrown away; every command
# is started the same way, so that their start-up costs compare.
wall() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" > /dev/null
  t1=$(date +%s%N)
  echo "$(( t1 - t0 ))"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Peak resident memory of hxchart on a log, in KiB.
peak_rss() {
  /usr/bin/time -v -o "$scratch/time" "$hx" "$1" > /dev/null
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time"
}

seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f s", ns / 1e9 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

printf 'HX benchmark: %s, %s cores, %s\n' \
  "$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)" "$(nproc)" "$(uname -r)"
printf 'warm page cache; medians of %s runs (awk: %s); wc -l and hxchart timed in alternating pairs\n\n' \
  "$runs" "$awk_runs"
printf '%-22s %8s %10s %10s %10s %10s %8s %8s %10s\n' \
  log size lines "wc -l" awk hxchart "hx/wc" "awk/hx" "peak RSS"

failed=0
row() {
  local label=$1 log=$2 script=$3
  cat "$log" > /dev/null  # into the page cache
  # One untimed run of each, then the timed rounds.
  wc -l "$log" > /dev/null
  "$hx" "$log" > /dev/null
  : > "$scratch/wc"; : > "$scratch/awk"; : > "$scratch/hx"
  local r
  # wc -l and hxchart in pairs, each pair in the other order than the last, so
  # that neither always runs right after the other; awk after them.
  for (( r = 1; r <= runs; r++ )); do
    if (( r % 2 )); then
      wall wc -l "$log" >> "$scratch/wc"
      wall "$hx" "$log" >> "$scratch/hx"
    else
      wall "$hx" "$log" >> "$scratch/hx"
      wall wc -l "$log" >> "$scratch/wc"
    fi
  done
  for (( r = 1; r <= awk_runs; r++ )); do
    wall awk "$script" "$log" >> "$scratch/awk"
  done
  local t_wc t_awk t_hx lines size rss
  t_wc=$(median < "$scratch/wc")
  t_awk=$(median < "$scratch/awk")
  t_hx=$(median < "$scratch/hx")
  lines=$(wc -l < "$log")
  size=$(du -h --apparent-size "$log" | cut -f1)
  rss=$(peak_rss "$log")
  printf '%-22s %8s %10s %10s %10s %10s %8s %8s %6.1f MiB\n' "$label" "$size" "$lines" \
    "$(seconds "$t_wc")" "$(seconds "$t_awk")" "$(seconds "$t_hx")" \
    "$(ratio "$t_hx" "$t_wc")" "$(ratio "$t_awk" "$t_hx")" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
}

row "ALL" "$all_big" "$awk_all"
row "Cabrillo" "$cab_big" "$awk_cab"
row "Cabrillo, any columns" "$cab_any" "$awk_cab"
row "ALL" "$all_small" "$awk_all"
row "Cabrillo" "$cab_small" "$awk_cab"
row "ALL, long line 2" "$long" "$awk_all"

echo
det=$("$detect" "$all_big" 1001)
echo "detection (check_log_type) on the $(du -h --apparent-size "$all_big" | cut -f1) ALL log, identifying line first: $det"

# The reports must be those of the plain line-by-line reading.
echo
for log in "$all_big" "$cab_big" "$cab_any" "$all_small" "$cab_small" "$long"; do
  report=${log%????}.hx
  rm -f "$report"
  out=$("$hx" "$log" | head -n 1)
  want=$("$ref" "$log" "$scratch/reference.hx")
  if cmp -s "$report" "$scratch/reference.hx"; then
    printf 'report of %s: identical to the reference count (%s)\n' "$(basename "$log")" "$want"
  else
    printf 'report of %s: DIFFERS from the reference count (%s; hxchart: %s)\n' "$(basename "$log")" "$want" "$out"
    cmp "$report" "$scratch/reference.hx" || true
    failed=1
  fi
done
exit $failed
