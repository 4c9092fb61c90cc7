#!/usr/bin/env bash
# Builds veldora and writes the report of the bundled example, then its
# page for the browser.
set -uo pipefail
cd "$(dirname "$0")"
./setup.sh release || exit 1
out=build/example
mkdir -p "$out"
rm -f "$out/report.xrd"
# The header text file gets a test summary appended on every run: use a copy.
cp examples/header.txt "$out/header.txt"
ORBEKDIR="$PWD/build/release/install" build/release/install/bin/veldora \
  -ots examples/stack_test.ots examples/stack_classes.ots \
  -tdf examples/stack_test.tdf \
  -xrd "$out/report.xrd" -h "$out/header.txt"
status=$?
if [ -f "$out/report.xrd" ]; then
  echo "report written to $PWD/$out/report.xrd (exit status $status)"
  build/release/install/bin/veldora-export html "$out/report.xrd" -o "$out/report.html"
  status=$?
  if [ -f "$out/report.html" ]; then
    echo "page written to $PWD/$out/report.html (exit status $status)"
  else
    echo "no page written (exit status $status)"
    exit 1
  fi
else
  echo "no report written (exit status $status)"
  exit 1
fi
