#!/usr/bin/env bash
# Builds the normal and the sanitizer configuration, replays the committed
# fuzzing corpus and runs every test in both configurations (the browser test
# of the page included). Nothing here is random: exploring with new fuzzing
# inputs is tests/fuzz/run_fuzzers.sh.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --tests --fuzz --browser release asan
tests/fuzz/run_fuzzers.sh --replay
ctest --test-dir build/release --output-on-failure -j 2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j 2
