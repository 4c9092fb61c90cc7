#!/usr/bin/env bash
# Builds the normal and the sanitizer configuration and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh release asan
ctest --test-dir build/release --output-on-failure -j 2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j 2
