#!/usr/bin/env bash
# Builds the normal and the sanitizer configuration, runs the fuzzing
# harnesses briefly and every test in both configurations (the browser test
# of the page included).
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --tests --fuzz --browser release asan
# Every fuzzing harness for 12 seconds, about a minute in all.
tests/fuzz/run_fuzzers.sh 12
ctest --test-dir build/release --output-on-failure -j 2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j 2
