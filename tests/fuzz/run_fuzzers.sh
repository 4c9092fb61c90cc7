#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang++ (both sanitizers on) and runs
# each one for SECONDS, one after the other on one core.
#
#   tests/fuzz/run_fuzzers.sh SECONDS [HARNESS...]
#
# The seed corpus is made from the golden cases and the reader fixtures;
# what the fuzzer adds stays in build/fuzz/corpus/<harness> for later runs.
# A finding is written to build/fuzz/findings/<harness>/ and makes the
# script fail. Prints executions and seconds per harness.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:?usage: run_fuzzers.sh SECONDS [HARNESS...]}
shift
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(symbol_reader trace_reader header text pipeline)
build=$root/build/fuzz

build_harnesses() {
  [ -f "$build/build.ninja" ] ||
    cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++
  cmake --build "$build" -j 1
}
mkdir -p "$build"
if ! build_harnesses > "$build/build.log" 2>&1; then
  cat "$build/build.log"
  exit 1
fi

# Seeds: every symbol file, trace file, header text file, project
# information file and note text of the fixtures, and each golden case as
# one multi-part input.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{symbol_reader,trace_reader,header,text,pipeline}
n=0
for f in "$root"/tests/golden/*/*.ots "$root"/tests/readers/*.ots; do
  cp "$f" "$seeds/symbol_reader/$((n += 1))"
done
for f in "$root"/tests/golden/*/*.tdf "$root"/tests/readers/*.tdf; do
  cp "$f" "$seeds/trace_reader/$((n += 1))"
  while IFS= read -r note; do
    printf '%s' "${note#NO }" > "$seeds/text/$((n += 1))"
  done < <(grep -a '^NO ' "$f" || true)
done
for case_dir in "$root"/tests/golden/*/; do
  header=$(ls "$case_dir"header.txt "$case_dir"head.txt 2>/dev/null | head -1 || true)
  project=$case_dir/project.txt
  if [ -n "$header" ] || [ -f "$project" ]; then
    { cat "${header:-/dev/null}"; printf '\n@@\n'; cat "$project" 2>/dev/null || true; } \
      > "$seeds/header/$((n += 1))"
  fi
  symbols=("$case_dir"*.ots)
  [ -e "${symbols[0]}" ] || continue
  {
    cat "${symbols[0]}"; printf '\n@@\n'; cat "$case_dir"run.tdf 2>/dev/null || true
    if [ -n "$header" ] || [ -f "$project" ] || [ ${#symbols[@]} -gt 1 ]; then
      printf '\n@@\n'; cat "${header:-/dev/null}"
      printf '\n@@\n'; cat "$project" 2>/dev/null || true
      printf '\n@@\nout.xrd'
      for extra in "${symbols[@]:1}"; do printf '\n@@\n'; cat "$extra"; done
    fi
  } > "$seeds/pipeline/$((n += 1))"
done

status=0
printf '%-14s %12s %8s %s\n' harness executions seconds result
for harness in "${harnesses[@]}"; do
  corpus=$build/corpus/$harness
  findings=$build/findings/$harness
  log=$build/logs/$harness.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  result=ok
  # Standard error of the program (trace number errors) is closed; the
  # fuzzer and the sanitizers report on their own descriptor.
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
      "$build/${harness}_fuzzer" "$corpus" "$seeds/$harness" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -dict="$root/tests/fuzz/veldora.dict" -close_fd_mask=2 -print_final_stats=1 \
      -artifact_prefix="$findings/" > "$log" 2>&1; then
    result="FINDING, see $log"
    status=1
    grep -v '^#\|^INFO' "$log" | tail -40
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  time=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  printf '%-14s %12s %8s %s\n' "$harness" "${runs:-?}" "${time:-$seconds}" "$result"
done
exit $status
