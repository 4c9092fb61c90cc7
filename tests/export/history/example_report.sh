#!/usr/bin/env bash
# Writes the bundled example's report as a CI run would leave it: the test
# program's trace with the run's changes, and veldora's report of it
# (without a time row, as the README's jobs write it).
#
#   example_report.sh OUT.xrd CHANGES...   changes: fail7 (pop() == 3 && pop() == 2),
#                                          fail9 (push() throws Overflow), pass-a
#                                          (size() == capacity()), fail-e (size() == n),
#                                          crash (the program stops after overflow)
# Needs PREFIX (the installed tree) and EXAMPLES (the bundled example).
set -u
out=$1
shift
trace=$(cat "$EXAMPLES/stack_test.tdf")
for change in "$@"; do
  case $change in
    fail7) trace=$(sed '0,/^OT 7 1$/s//OT 7 0/' <<<"$trace") ;;
    fail9) trace=$(sed '0,/^OT 9 1$/s//OT 9 0/' <<<"$trace") ;;
    pass-a) trace=$(sed 's/^OT a 0$/OT a 1/' <<<"$trace") ;;
    fail-e) trace=$(sed 's/^OT e 1$/OT e 0/' <<<"$trace") ;;
    crash) trace=$(sed '/^OT a 0$/q' <<<"$trace") ;;
    *) echo "example_report: unknown change $change" >&2; exit 2 ;;
  esac
done
printf '%s\n' "$trace" > "$out.tdf"
ORBEKDIR=$PREFIX "$PREFIX/bin/veldora" -ots "$EXAMPLES/stack_test.ots" "$EXAMPLES/stack_classes.ots" \
  -tdf "$out.tdf" -xrd "$out" 2>/dev/null
rm -f "$out.tdf"
