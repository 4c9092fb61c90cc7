#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang++ (both sanitizers on) and runs
# them, one after the other on one core.
#
#   tests/fuzz/run_fuzzers.sh --replay [HARNESS...]     every input of the committed corpus, once
#   tests/fuzz/run_fuzzers.sh SECONDS [HARNESS...]      explore with new inputs for SECONDS each
#   tests/fuzz/run_fuzzers.sh --merge [HARNESS...]      fold what exploring found into the corpus
#
# The replay is the deterministic part of the tests: the committed corpus in
# tests/fuzz/corpus/<harness> (minimised, every finding kept) must pass the
# sanitizers. Exploring starts from that corpus and seeds made from the
# golden cases and reader fixtures; what it adds stays in
# build/fuzz/corpus/<harness>. A finding is written to
# build/fuzz/findings/<harness>/ and makes the script fail: once fixed, copy
# it into the committed corpus, so the replay keeps it. --merge minimises the
# committed corpus together with build/fuzz/corpus into tests/fuzz/corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mode=${1:?usage: run_fuzzers.sh --replay|--merge|SECONDS [HARNESS...]}
shift
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(symbol_reader trace_reader header text pipeline export history)
build=$root/build/fuzz
committed=$root/tests/fuzz/corpus

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
make_seeds() {
  local seeds=$build/seeds n=0
  rm -rf "$seeds"
  mkdir -p "$seeds"/{symbol_reader,trace_reader,header,text,pipeline,export,history}
  for f in "$root"/tests/golden/*/*.ots "$root"/tests/readers/*.ots; do
    cp "$f" "$seeds/symbol_reader/$((n += 1))"
  done
  for f in "$root"/tests/golden/*/*.tdf "$root"/tests/readers/*.tdf; do
    cp "$f" "$seeds/trace_reader/$((n += 1))"
    while IFS= read -r note; do
      printf '%s' "${note#NO }" > "$seeds/text/$((n += 1))"
    done < <(grep -a '^NO ' "$f" || true)
  done
  # The reports of the golden cases and of the export cases.
  while IFS= read -r -d '' f; do
    cp "$f" "$seeds/export/$((n += 1))"
  done < <(find "$root"/tests/golden "$root"/tests/export -type f -name '*.xrd' -size -16k -print0)
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
}

status=0
case "$mode" in
  --replay)
    printf '%-14s %8s %s\n' harness inputs result
    for harness in "${harnesses[@]}"; do
      log=$build/logs/$harness.replay.log
      mkdir -p "$(dirname "$log")"
      inputs=("$committed/$harness"/*)
      result=ok
      # Each input runs once; no new input is made, so the result is the
      # same on every machine.
      if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
          "$build/${harness}_fuzzer" -runs=1 -timeout=10 -rss_limit_mb=2048 \
          -close_fd_mask=2 "${inputs[@]}" > "$log" 2>&1; then
        result="FAILED, see $log"
        status=1
        grep -v '^#\|^INFO' "$log" | tail -40
      fi
      printf '%-14s %8d %s\n' "$harness" "${#inputs[@]}" "$result"
    done
    ;;
  --merge)
    make_seeds
    for harness in "${harnesses[@]}"; do
      merged=$build/merged/$harness
      rm -rf "$merged"
      mkdir -p "$merged" "$build/corpus/$harness" "$committed/$harness"
      # Reports are verbose: the export corpus keeps inputs of up to 1.5 KiB,
      # so that it stays a few hundred KiB.
      max_len=16384
      [ "$harness" != export ] || max_len=1536
      "$build/${harness}_fuzzer" -merge=1 -max_len=$max_len -close_fd_mask=3 "$merged" \
        "$committed/$harness" "$build/corpus/$harness" "$build/seeds/$harness" \
        > "$build/logs/$harness.merge.log" 2>&1
      rm -f "$committed/$harness"/*
      cp "$merged"/* "$committed/$harness"/
      echo "$harness: $(ls "$committed/$harness" | wc -l) inputs in the corpus"
    done
    ;;
  *)
    seconds=$mode
    make_seeds
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
          "$build/${harness}_fuzzer" "$corpus" "$committed/$harness" "$build/seeds/$harness" \
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
    ;;
esac
exit $status
