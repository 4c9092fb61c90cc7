#!/usr/bin/env bash
# Makes the reports of the history tests with veldora: inputs/runN (a
# symbol file and a trace file per run of one test suite) with the header
# text file inputs/header.txt (its $PREPROCESS line gives each report the
# symbol file's time as its time row) into reports/runN.xrd, and the CI
# tests' report with unlisted verdicts into reports/unlisted.xrd. The reports are kept in the repository, so that the
# history tests pin down veldora-export alone.
#
#   make_reports.sh PREFIX     (an installed tree, e.g. build/release/install)
set -euo pipefail
prefix=$(cd "$1" && pwd)
cd "$(dirname "$0")"
mkdir -p reports
header=$(mktemp)
trap 'rm -f "$header"' EXIT
for run in inputs/run*; do
  name=$(basename "$run")
  cp inputs/header.txt "$header"
  status=0
  (cd "$run" && LC_ALL=C.UTF-8 ORBEKDIR=$prefix "$prefix/bin/veldora" -ots queue_test.ots \
     -tdf run.tdf -xrd "../../reports/$name.xrd" -h "$header" 2>/dev/null) || status=$?
  [ "$status" = 0 ] || [ "$status" = 3 ] || { echo "make_reports: veldora failed on $run" >&2; exit 1; }
done
# A report whose totals count failed verdicts that no table lists.
status=0
(cd ../ci/inputs/unlisted && LC_ALL=C.UTF-8 ORBEKDIR=$prefix "$prefix/bin/veldora" -ots shapes.ots \
   -tdf run.tdf -xrd "$OLDPWD/reports/unlisted.xrd" 2>/dev/null) || status=$?
[ "$status" = 3 ] || { echo "make_reports: veldora failed on the unlisted verdicts" >&2; exit 1; }
