#!/usr/bin/env bash
# Times veldora-export's commands on a team's history, in a file (SQLite)
# and on a server (PostgreSQL, one of its own started by
# tests/export/history/test_server.py in build/bench/team/postgres):
#
#   bench/team_bench.sh [--build DIR] [--quick] [--repeat N]
#
#   whole run   a run of 50 parts of 20,000 objects (1M objects) recorded on
#               main and a second one on a branch, by one record each; then
#               diff of the branch's run against main, by its reports and by
#               its run key, and html of the 50 reports against the sum of
#               the 50 single pages
#   runs        histories of 10 and 1,000 runs on 5 branches of two
#               10,000-object parts, then diff and html --history of a new
#               run on main, and their ratio 1,000 runs to 10
#
# Times are wall seconds, the fastest of --repeat runs (default 3). --quick
# takes a tenth of the objects and histories of 10 and 100 runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
scale=1
largest=1000
repeat=3
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); shift ;;
    --quick) scale=10; largest=100 ;;
    --repeat) repeat=$2; shift ;;
    *) echo "team_bench: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
for target in veldora veldora-export veldora_gen; do
  cmake --build "$build" --target "$target" -j 2 >/dev/null
done
exporter=$build/export/veldora-export
work=$root/build/bench/team
. "$root/bench/history_server.sh"
mkdir -p "$work/orbek/lib/locale"

# reports DIR OBJECTS VARIANTS: generated inputs of OBJECTS objects in DIR and
# the report of each variant k of their trace in DIR/k/report.xrd.
reports() {
  local dir=$1 objects=$2
  "$build/bench/veldora_gen" --objects "$objects" --trace-records $((objects * 10)) \
    --files 4 --out "$dir" >/dev/null
  for k in $(seq 1 "$3"); do
    mkdir -p "$dir/$k"
    awk -v k="$k" -f "$root/bench/vary_trace.awk" "$dir/run.tdf" >"$dir/$k/run.tdf"
    env LC_ALL=C.UTF-8 ORBEKDIR="$work/orbek" "$build/driver/veldora" -ots "$dir"/driver*.ots \
      -tdf "$dir/$k/run.tdf" -xrd "$dir/$k/report.xrd" 2>/dev/null || true
  done
}

# fastest COMMAND...: the fastest wall seconds of $repeat runs (status 0 or 3).
fastest() {
  local best="" run start status s
  for ((run = 0; run < repeat; run++)); do
    start=$(date +%s.%N)
    status=0
    "$@" >/dev/null 2>"$work/stderr" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
      echo "team_bench: $* ended with status $status:" >&2
      cat "$work/stderr" >&2
      exit 1
    fi
    s=$(echo "$(date +%s.%N) - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$s < $best" | bc)" = 1 ]; then best=$s; fi
  done
  echo "$best"
}

# The whole run: the same report as each of 50 parts (links to one file).
whole=$work/whole
reports "$whole" $((20000 / scale)) 2
for k in 1 2; do
  for i in $(seq -w 0 49); do ln "$whole/$k/report.xrd" "$whole/$k/part$i.xrd"; done
done
main_run=("$whole"/1/part*.xrd)
branch_run=("$whole"/2/part*.xrd)
echo "whole run of 50 parts of $((20000 / scale)) objects (seconds)"
echo "store     record  diff_reports  diff_run_key"
for store in sqlite postgres; do
  h=$(location $store whole)
  start=$(date +%s.%N)
  "$exporter" record "${main_run[@]}" --history "$h" --run-key main1 --branch main >/dev/null
  record_s=$(echo "$(date +%s.%N) - $start" | bc)
  "$exporter" record "${branch_run[@]}" --history "$h" --run-key change --branch feature >/dev/null
  by_reports=$(fastest "$exporter" diff "$h" "${branch_run[@]}" --run-key change --branch feature \
    --base-branch main)
  by_key=$(fastest "$exporter" diff "$h" --run-key change --base-branch main)
  printf "%-9s %6.2f  %12.2f  %12.2f\n" $store "$record_s" "$by_reports" "$by_key"
done
all=$(fastest "$exporter" html "${branch_run[@]}" -o "$work/whole.html")
singles=0
for report in "${branch_run[@]}"; do
  s=$(fastest "$exporter" html "$report" -o "$work/single.html")
  singles=$(echo "$singles + $s" | bc)
done
printf "html of the 50 reports %.2f, the 50 single pages %.2f (%.2fx)\n" "$all" "$singles" \
  "$(echo "$all / $singles" | bc -l)"

# Histories of n runs on 5 branches (main, b1, ..., b4 in turn), the parts
# unit and integration of one of 10 variants each; then a new run on main,
# variant 11, compared with and shown against them.
runs=$work/runs
reports "$runs" $((10000 / scale)) 11
for k in $(seq 1 11); do
  ln "$runs/$k/report.xrd" "$runs/$k/unit.xrd"
  ln "$runs/$k/report.xrd" "$runs/$k/integration.xrd"
done
echo
echo "new run of 2 parts of $((10000 / scale)) objects on main (seconds)"
echo "store     runs    diff  html_history  (x: against 10 runs)"
for store in sqlite postgres; do
  for n in 10 "$largest"; do
    h=$(location $store "runs$n")
    for i in $(seq 1 "$n"); do
      branch=$([ $((i % 5)) = 0 ] && echo main || echo "b$((i % 5))")
      k=$((i % 10 + 1))
      "$exporter" record "$runs/$k/unit.xrd" "$runs/$k/integration.xrd" --history "$h" \
        --run-key "run $i" --branch "$branch" >/dev/null
    done
    new=("$runs/11/unit.xrd" "$runs/11/integration.xrd")
    d=$(fastest "$exporter" diff "$h" "${new[@]}" --run-key new --branch main --base-branch main)
    p=$(fastest "$exporter" html "${new[@]}" --history "$h" --run-key new --branch main \
      -o "$work/runs.html")
    [ "$n" != 10 ] || { d10=$d; p10=$p; }
    printf "%-9s %4d  %6.3f  %12.3f  x %.2f %.2f\n" $store "$n" "$d" "$p" \
      "$(echo "$d / $d10" | bc -l)" "$(echo "$p / $p10" | bc -l)"
  done
done
