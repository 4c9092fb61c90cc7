#!/usr/bin/env bash
# Benchmark: builds the release configuration, writes synthetic inputs at
# several sizes and runs veldora on each. Per size it prints wall time, input
# and output megabytes, throughput and peak memory (maximum resident set
# size); at the end, how the time per input record grew with the size. Then
# the export of each report to a page (veldora-export html): its time, also
# as a multiple of veldora's, its peak memory, also as a share of the
# report's size, and the page's size and share of the report; with
# --browser, the page in headless Chromium: seconds until the summary and
# failures show and until the tree is ready, the slowest expansion of a
# node, Expand all, the 95th percentile frame while scrolling 10,000 lines,
# a search, and the browser's peak memory (see page_bench.js). With
# --history N, the run history of the largest size: N runs recorded, each
# with other failures, then record, diff and html --history timed against
# their counterparts without history, and the history's growth per run.
#
#   bench/run_bench.sh [--quick] [--micro] [--browser] [--history N] [--repeat N] [--binary FILE] [--build DIR] [--seed N]
#
#   --quick     small sizes only (1 and 10 thousand objects)
#   --sizes L   these numbers of objects instead, e.g. "10000 1000000"
#   --micro     also run the micro-benchmarks of the hot paths
#   --browser   also time the pages in Chromium (needs ./setup.sh --browser)
#   --repeat N  run veldora and each export N times per size and keep the
#               fastest run (default 1)
#   --binary F  time this veldora executable instead of the one just built
#   --build D   use the programs of this already built build folder instead
#               of building the release configuration
#   --seed N    seed of the generated inputs (default 1)
#   --history N also record N runs of the largest size and time the history
#
# Sizes are objects with ten times as many trace records, over one symbol
# file per 5000 objects (at least two). Inputs and reports stay in
# build/bench/<objects>/.
set -euo pipefail
cd "$(dirname "$0")/.."

sizes="10000 100000 1000000"
micro=0
history=0
browser=0
repeat=1
binary=""
build=""
seed=1
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) sizes="1000 10000" ;;
    --sizes) sizes=$2; shift ;;
    --micro) micro=1 ;;
    --history) history=$2; shift ;;
    --browser) browser=1 ;;
    --repeat) repeat=$2; shift ;;
    --binary) binary=$2; shift ;;
    --build) build=$2; shift ;;
    --seed) seed=$2; shift ;;
    *) sed -n '17,30p' "$0" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$build" ]; then
  ./setup.sh release >/dev/null
  build=build/release
  prefix=$PWD/build/release/install
  [ -n "$binary" ] || binary=$prefix/bin/veldora
  exporter=$prefix/bin/veldora-export
else
  # Not installed: an installation folder without translations will do.
  prefix=$PWD/build/bench/orbek
  mkdir -p "$prefix/lib/locale"
  [ -n "$binary" ] || binary=$build/driver/veldora
  exporter=$build/export/veldora-export
fi
gen=$build/bench/veldora_gen

# fastest TIME OUT ERR COMMAND...: runs COMMAND $repeat times, its standard
# output to OUT and its errors to ERR, and leaves "wall_s RSS_KB" of the
# fastest run in TIME. Returns the first status other than 0 or 3 (no failed
# verdict, or one).
fastest() {
  local time=$1 out=$2 err=$3 best="" status run wall rss
  shift 3
  for ((run = 0; run < repeat; run++)); do
    status=0
    /usr/bin/time -f '%e %M' -o "$time" "$@" >"$out" 2>"$err" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then return "$status"; fi
    read -r wall rss < <(tail -n 1 "$time")
    if [ -z "$best" ] || awk -v a="$wall" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best="$wall $rss"
    fi
  done
  echo "$best" >"$time"
}

printf '%9s %10s %5s %8s %8s %8s %11s %8s %8s %10s\n' \
  objects trace files wall_s in_MB out_MB records/s in_MB/s RSS_MB ns/record
first_ns=""
last_ns=""
exports=()
for objects in $sizes; do
  records=$((objects * 10))
  files=$((objects / 5000))
  [ "$files" -ge 2 ] || files=2
  dir=build/bench/$objects
  rm -rf "$dir"
  "$gen" --seed "$seed" --objects "$objects" --trace-records "$records" --files "$files" \
    --out "$dir" >/dev/null
  ots=()
  for ((i = 0; i < files; i++)); do ots+=("$dir/driver$i.ots"); done

  status=0
  fastest "$dir/time" /dev/null "$dir/stderr" env LC_ALL=C.UTF-8 ORBEKDIR="$prefix" \
    "$binary" -ots "${ots[@]}" -tdf "$dir/run.tdf" -xrd "$dir/report.xrd" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "run_bench: veldora ended with status $status, see $dir/stderr" >&2
    exit 1
  fi
  read -r wall rss < <(tail -n 1 "$dir/time")

  in_bytes=$(cat "${ots[@]}" "$dir/run.tdf" | wc -c)
  in_records=$(cat "${ots[@]}" "$dir/run.tdf" | wc -l)
  out_bytes=$(wc -c <"$dir/report.xrd")
  line=$(awk -v o="$objects" -v r="$records" -v f="$files" -v w="$wall" -v ib="$in_bytes" \
    -v ir="$in_records" -v ob="$out_bytes" -v rss="$rss" 'BEGIN {
      if (w <= 0) w = 0.005   # below the timer resolution
      printf "%9d %10d %5d %8.2f %8.1f %8.1f %11.0f %8.1f %8.1f %10.1f",
        o, r, f, w, ib / 1e6, ob / 1e6, ir / w, ib / 1e6 / w, rss / 1024, w * 1e9 / ir }')
  echo "$line"
  ns=${line##* }
  [ -n "$first_ns" ] || first_ns=$ns
  last_ns=$ns

  status=0
  fastest "$dir/export.time" /dev/null "$dir/export.stderr" \
    "$exporter" html "$dir/report.xrd" -o "$dir/report.html" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "run_bench: veldora-export ended with status $status, see $dir/export.stderr" >&2
    exit 1
  fi
  read -r export_wall export_rss < <(tail -n 1 "$dir/export.time")
  page_bytes=$(wc -c <"$dir/report.html")
  row=$(awk -v o="$objects" -v w="$export_wall" -v vw="$wall" -v rss="$export_rss" \
    -v ob="$out_bytes" -v pb="$page_bytes" 'BEGIN {
      if (vw <= 0) vw = 0.005
      printf "%9d %9.2f %10.2f %8.1f %10.1f %8.1f %8.1f", o, w, w / vw, rss / 1024,
        100 * rss * 1024 / ob, pb / 1e6, 100 * pb / ob }')
  if [ "$browser" -eq 1 ]; then
    row="$row $(cd tests/export/browser && node page_bench.js "../../../$dir/report.html" 2>/dev/null |
      awk '{ printf "%8.2f %8.2f %9.0f %13.0f %13.1f %9.0f %10.0f", $2, $4, $6, $8, $10, $12, $14 }')"
  fi
  exports+=("$row")
done
awk -v a="$first_ns" -v b="$last_ns" \
  'BEGIN { printf "time per record, largest size over smallest: %.2f\n", b / a }'

echo
header=$(printf '%9s %9s %10s %8s %10s %8s %8s' objects export_s x_veldora RSS_MB RSS_%rep page_MB page_%rep)
[ "$browser" -eq 0 ] ||
  header="$header $(printf '%8s %8s %9s %13s %13s %9s %10s' shown_s ready_s expand_ms expand_all_ms scroll_p95_ms search_ms browser_MB)"
echo "$header"
printf '%s\n' "${exports[@]}"

# The CI exports of each report (veldora-export junit, summary, summary
# --format github, and ci: page, JUnit file, summary and comment from one
# read): wall time, also as a multiple of veldora's last run on its inputs,
# peak memory and output size.
echo
printf '%9s %-8s %8s %10s %8s %8s\n' objects export wall_s x_veldora RSS_MB out_MB
for objects in $sizes; do
  dir=build/bench/$objects
  read -r veldora_wall _ < <(tail -n 1 "$dir/time")
  for export in junit summary github ci; do
    case $export in
      junit) args=(junit "$dir/report.xrd" -o "$dir/report.junit.xml") out=$dir/report.junit.xml ;;
      summary) args=(summary "$dir/report.xrd") out=$dir/summary.out ;;
      github) args=(summary "$dir/report.xrd" --format github) out=$dir/github.out ;;
      ci) args=(ci "$dir/report.xrd" --page "$dir/ci.html" --junit "$dir/ci.junit.xml"
                --comment "$dir/ci.comment.md") out=$dir/ci.html ;;
    esac
    status=0
    fastest "$dir/$export.time" "$dir/$export.out" "$dir/$export.stderr" \
      "$build/export/veldora-export" "${args[@]}" || status=$?
    if [ "$status" -ne 0 ]; then
      echo "run_bench: veldora-export $export ended with status $status, see $dir/$export.stderr" >&2
      exit 1
    fi
    read -r export_wall export_rss < <(tail -n 1 "$dir/$export.time")
    awk -v o="$objects" -v e="$export" -v w="$export_wall" -v vw="$veldora_wall" \
      -v rss="$export_rss" -v ob="$(wc -c <"$out")" 'BEGIN {
        if (vw <= 0) vw = 0.005
        printf "%9d %-8s %8.2f %10.2f %8.1f %8.1f\n", o, e, w, w / vw, rss / 1024, ob / 1e6 }'
  done
done

if [ "$micro" -eq 1 ]; then
  if [ -x "$build/bench/veldora_micro_bench" ]; then
    "$build/bench/veldora_micro_bench"
  else
    echo "run_bench: no micro-benchmarks (Google Benchmark was not found at build time)" >&2
  fi
fi

# The run history on the largest size: each run's trace fails other checks
# (bench/vary_trace.awk). Times are wall seconds; "x" is the ratio against
# the same work without history.
if [ "$history" -gt 0 ]; then
  objects=${sizes##* }
  dir=build/bench/$objects
  runs=$dir/history-runs
  rm -rf "$runs" "$dir/history.sqlite"
  mkdir -p "$runs"
  ots=()
  for f in "$dir"/driver*.ots; do ots+=("$f"); done
  timed() {  # timed NAME COMMAND...: wall seconds into $runs/NAME.time
    local status=0
    /usr/bin/time -f '%e' -o "$runs/$1.time" "${@:2}" >/dev/null 2>"$runs/$1.stderr" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
      echo "run_bench: $1 ended with status $status, see $runs/$1.stderr" >&2
      exit 1
    fi
    tail -n 1 "$runs/$1.time"
  }
  previous=0
  growth=()
  for ((k = 1; k <= history; k++)); do
    awk -v k="$k" -f bench/vary_trace.awk "$dir/run.tdf" >"$runs/run.tdf"
    env LC_ALL=C.UTF-8 ORBEKDIR="$prefix" "$binary" -ots "${ots[@]}" -tdf "$runs/run.tdf" \
      -xrd "$runs/report.xrd" 2>/dev/null || true
    if [ "$k" -eq "$history" ]; then
      html_s=$(timed html "$exporter" html "$runs/report.xrd" -o "$runs/report.html")
      diff_report_s=$(timed diff_report "$exporter" diff "$runs/previous.xrd" "$runs/report.xrd")
      diff_history_s=$(timed diff_history "$exporter" diff "$dir/history.sqlite" "$runs/report.xrd")
      html_history_s=$(timed html_history "$exporter" html "$runs/report.xrd" \
        --history "$dir/history.sqlite" -o "$runs/history.html")
      summary_s=$(timed summary "$exporter" summary "$runs/report.xrd")
      summary_history_s=$(timed summary_history "$exporter" summary "$runs/report.xrd" \
        --history "$dir/history.sqlite")
      # ci records too: into a copy, so that record below times the same.
      cp "$dir/history.sqlite" "$runs/ci.sqlite"
      ci_s=$(timed ci "$exporter" ci "$runs/report.xrd" --history "$runs/ci.sqlite" \
        --page "$runs/ci.html" --junit "$runs/ci.junit.xml" --comment "$runs/ci.md")
      record_s=$(timed record "$exporter" record "$runs/report.xrd" --history "$dir/history.sqlite")
    else
      "$exporter" record "$runs/report.xrd" --history "$dir/history.sqlite" >/dev/null
      cp "$runs/report.xrd" "$runs/previous.xrd"
    fi
    size=$(wc -c <"$dir/history.sqlite")
    [ "$k" -eq 1 ] || growth+=($((size - previous)))
    previous=$size
  done
  echo
  printf '%9s %5s %8s %8s %8s %8s %9s %9s %8s %8s\n' objects runs record_s html_s \
    diff_s diff_h_s x_diff html_h_s x_html hist_MB
  awk -v o="$objects" -v n="$history" -v r="$record_s" -v h="$html_s" -v d="$diff_report_s" \
    -v dh="$diff_history_s" -v hh="$html_history_s" -v size="$previous" 'BEGIN {
      printf "%9d %5d %8.2f %8.2f %8.2f %8.2f %9.2f %9.2f %8.2f %8.1f\n", o, n, r, h, d, dh,
        dh / d, hh, hh / h, size / 1e6 }'
  printf '%9s %9s %11s %9s %8s %9s\n' objects summary_s summary_h_s x_summary ci_h_s x_html
  awk -v o="$objects" -v s="$summary_s" -v sh="$summary_history_s" -v c="$ci_s" -v h="$html_s" 'BEGIN {
      printf "%9d %9.2f %11.2f %9.2f %8.2f %9.2f\n", o, s, sh, sh / s, c, c / h }'
  printf '%s\n' "${growth[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    if (NR) printf "history growth per run after the first: median %.2f MB, largest %.2f MB\n",
      v[int((NR + 1) / 2)] / 1e6, v[NR] / 1e6 }'
fi
