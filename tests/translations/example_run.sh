#!/usr/bin/env bash
# Runs the bundled example as the README shows it, on an installed tree, in
# English or in German, and checks what a newcomer gets.
#
#   example_run.sh PREFIX SOURCE_DIR en|de EXPECTED_REPORT
#
# Checks: exit status 3 (one check fails), nothing on standard output, the
# banner alone on standard error, a well-formed report whose summary holds the
# totals the example implies, the test summary appended to the header text
# file, and the report byte for byte against EXPECTED_REPORT (a report
# generation time masked as in golden/run_case.sh). Reports must be UTF-8 encoded once:
# "Ã" or "Â" (C3 83, C3 82) only appear where a UTF-8 text was taken for
# Latin-1 and encoded again. With VELDORA_UPDATE_GOLDEN=1 the report is
# written into EXPECTED_REPORT instead of compared with it.
set -u
source "$(dirname "$0")/../golden/expected_files.sh"
prefix=$1
source_dir=$2
language=$3
expected_report=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir"/examples/* "$work"/
cd "$work"

case "$language" in
  en) locale=(LC_ALL=C.UTF-8)
      banner='Tessaloft C++ Test Report Generator 8.2.0.1.070.020'
      totals='Passed=6 Inconclusive=2 Failed=1 Total=9' ;;
  de) locale=(-u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8)
      banner='Tessaloft C++-Testberichtgenerator 8.2.0.1.070.020'
      totals='Bestanden=6 Unentschieden=2 Fehlgeschlagen=1 Gesamt=9' ;;
  *) echo "unknown language $language"; exit 2 ;;
esac

started=$(date +%s)
env -u VOSK_STUDIO_HEADER_FILE "${locale[@]}" ORBEKDIR="$prefix" "$prefix/bin/veldora" \
  -ots stack_test.ots stack_classes.ots -tdf stack_test.tdf \
  -xrd report.xrd -h header.txt > stdout 2> stderr
status=$?
finished=$(date +%s)

fail=0
[ "$status" = 3 ] || { echo "exit status $status, expected 3"; fail=1; }
[ -s stdout ] && { echo "standard output is not empty:"; cat stdout; fail=1; }
if ! cmp -s stderr <(printf '%s\n' "$banner"); then
  echo "standard error differs:"; diff <(printf '%s\n' "$banner") stderr; fail=1
fi
if [ ! -f report.xrd ]; then
  echo "no report written"; exit 1
fi

check_well_formed report.xrd || fail=1

# The summary table: a product title row, then label and value rows.
summary='//SECTION[starts-with(@TAG,"filex")]/TABLE[1]/ROW'
got=""
for row in 2 3 4 5; do
  got+="$(xmllint --xpath "concat($summary[$row]/CELL_TEXT[1],'=',$summary[$row]/CELL_TEXT[2])" \
          report.xrd 2>/dev/null) "
done
if [ "${got% }" != "$totals" ]; then
  echo "summary totals: '${got% }', expected '$totals'"; fail=1
fi

# The summary appended to the header text file is data, never translated.
if ! cmp -s header.txt <(cat "$source_dir/examples/header.txt"
                         printf '%s\n' -Test\ summary Passed=6 Inconclusive=2 Failed=1 Total=9); then
  echo "header text file after the run:"; tail -6 header.txt; fail=1
fi

if LC_ALL=C grep -q $'\xc3[\x82\x83]' report.xrd; then
  echo "report holds doubly encoded UTF-8:"; LC_ALL=C grep -n $'\xc3[\x82\x83]' report.xrd | head; fail=1
fi
mask_generation_time report.xrd "$started" "$finished" > report.xrd.masked
if updating; then
  update_expected "$expected_report" report.xrd.masked
elif ! cmp -s report.xrd.masked "$expected_report"; then
  echo "report differs from $expected_report:"; diff "$expected_report" report.xrd.masked | head -40; fail=1
fi
exit $fail
