#!/usr/bin/env bash
# One day of CI on the bundled example: the test program's trace with the
# day's changes, veldora's report (without a time row, as the README's jobs
# write it), the gate against the history in the three formats, then the
# record; times of recording are masked.
#
#   day.sh PIPELINE CHANGES...     changes: fail7 (pop() == 3 && pop() == 2),
#                                  fail9 (push() throws Overflow), pass-a
#                                  (size() == capacity()), fail-e (size() == n),
#                                  crash (the program stops after overflow)
set -u
pipeline=$1
shift
trace=$(cat "$EXAMPLES/stack_test.tdf")
for change in "$@"; do
  case $change in
    fail7) trace=$(sed '0,/^OT 7 1$/s//OT 7 0/' <<<"$trace") ;;
    fail9) trace=$(sed '0,/^OT 9 1$/s//OT 9 0/' <<<"$trace") ;;
    pass-a) trace=$(sed 's/^OT a 0$/OT a 1/' <<<"$trace") ;;
    fail-e) trace=$(sed 's/^OT e 1$/OT e 0/' <<<"$trace") ;;
    crash) trace=$(sed '/^OT a 0$/q' <<<"$trace") ;;
  esac
done
printf '%s\n' "$trace" > stack_test.tdf
ORBEKDIR=$PREFIX "$PREFIX/bin/veldora" -ots "$EXAMPLES/stack_test.ots" "$EXAMPLES/stack_classes.ots" \
  -tdf stack_test.tdf -xrd report.xrd 2>/dev/null
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
