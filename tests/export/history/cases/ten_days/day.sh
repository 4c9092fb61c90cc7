#!/usr/bin/env bash
# One day of CI on the bundled example: its report with the day's changes
# (example_report.sh), the gate against the history in the three formats,
# then the record; times of recording are masked.
#
#   day.sh PIPELINE CHANGES...
set -u
pipeline=$1
shift
"$HISTORY_TESTS/example_report.sh" report.xrd "$@"
export CI_PIPELINE_ID=$pipeline CI_COMMIT_SHORT_SHA=c0ffee$pipeline
mask() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}/<time>/g'; }
if [ -f history.sqlite ]; then
  for format in plain github markdown; do
    echo "-- $format"
    veldora-export diff history.sqlite report.xrd --format "$format" --quarantine quarantine.txt \
      --page-url "https://ci.example/$pipeline/report.html" \
      --ots "$EXAMPLES/stack_test.ots" "$EXAMPLES/stack_classes.ots" > gate.out
    status=$?
    mask < gate.out
    echo "[gate $status]"
  done
else
  echo "-- no history yet"
fi
veldora-export record report.xrd --history history.sqlite | mask
