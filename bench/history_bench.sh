#!/usr/bin/env bash
# Times the run history's store on a file (SQLite) and on a server
# (PostgreSQL, one of its own started by tests/export/history/test_server.py
# in build/bench/history/postgres), through history_store_tool:
#
#   bench/history_bench.sh [--build DIR] [--quick]
#
#   record      a whole run of 50 parts of 20,000 objects (1M objects), part after part,
#               a record (a process) each, as CI's jobs record them
#   at once     16 records at once of 100,000-object parts of one run, all landing
#   reads       what diff and html --history ask of the store (the newest 50 runs of a
#               branch with a part, statuses over the last 10, failing streaks) on
#               histories of 10, 250 and 1,000 runs on 5 branches (from 250 runs on,
#               the branch has the 50 runs asked for), 2 parts of 2,000 objects
#               each; milliseconds a call, the fastest of 100
#   copy        the largest of those histories copied from one store to the other
#
# --quick takes a tenth of the objects and histories of 10, 25 and 100 runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
scale=1
sizes="10 250 1000"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); shift ;;
    --quick) scale=10; sizes="10 25 100" ;;
    *) echo "history_bench: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
tool=$build/tests/export/history_store_tool
[ -x "$tool" ] || cmake --build "$build" --target history_store_tool -j 2 >/dev/null
work=$root/build/bench/history
. "$root/bench/history_server.sh"

count() {
  if [ "$1" = sqlite ]; then sqlite3 "$2" "SELECT count(*) FROM $3"; else psql -tA "$2" -c "SELECT count(*) FROM $3"; fi
}
now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }

echo "store     record_1M_s  at_once_16x$((100000 / scale))_s"
for store in sqlite postgres; do
  whole=$(location $store whole)
  start=$(now)
  for part in $(seq 0 49); do
    "$tool" record "$whole" --objects $((20000 / scale)) --part "part $part" --key run1 >/dev/null
  done
  record_s=$(since "$start")
  shared=$(location $store shared)
  "$tool" record "$shared" --objects 10 --part first >/dev/null  # the history exists before the race
  start=$(now)
  pids=()
  for i in $(seq 0 15); do
    "$tool" record "$shared" --objects $((100000 / scale)) --seed "$i" --part "shard $i" --key run2 >/dev/null &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  at_once_s=$(since "$start")
  printf "%-9s %11.2f  %15.2f  (%d of 17 attempts landed)\n" "$store" "$record_s" "$at_once_s" \
    "$(count "$store" "$shared" attempts)"
done

# Histories of n runs on 5 branches (main, b1, ..., b4 in turn), parts
# unit and integration, every 7th to 11th object failing by the run.
history() {
  local where=$1 n=$2
  for i in $(seq 1 "$n"); do
    branch=$([ $((i % 5)) = 0 ] && echo main || echo "b$((i % 5))")
    for part in unit integration; do
      "$tool" record "$where" --objects $((2000 / scale)) --seed "$i" --failing-every $((7 + i % 5)) \
        --branch "$branch" --part "$part" --key "run $i" >/dev/null
    done
  done
}
echo
echo "store     runs  runsBefore  statuses  failingSince   (ms a call)"
for store in sqlite postgres; do
  for n in $sizes; do
    where=$(location $store "runs$n")
    history "$where" "$n"
    "$tool" reads "$where" --branch main --part unit --times 100 |
      awk -v store=$store -v n=$n '{ v[$1] = $2 } END { printf "%-9s %4d  %10.3f  %8.3f  %12.3f\n", store, n, v["runsBefore"], v["statuses"], v["failingSince"] }'
  done
done

# The largest history copied to the other store.
last=${sizes##* }
echo
echo "copy of $last runs  seconds"
for from in sqlite postgres; do
  to=$([ $from = sqlite ] && echo postgres || echo sqlite)
  source=$([ $from = sqlite ] && echo "$work/runs$last.sqlite" || echo "$url?options=-csearch_path%3Druns$last")
  target=$(location $to "copy_of_$from")
  start=$(now)
  "$tool" copy "$source" "$target"
  printf "%-8s to %-8s %7.2f\n" $from $to "$(since "$start")"
done
