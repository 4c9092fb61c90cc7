#!/usr/bin/env bash
# Runs one golden case against an installed tree and compares every output.
#
#   run_case.sh PREFIX CASE_DIR
#
# CASE_DIR holds:
#   README           one line: what the case pins down
#   args             the command-line arguments, one per line
#   env              optional lines: VAR=value added to the environment, or
#                    "unset VAR" to remove a variable
#   expected.status  the exit status
#   expected.stderr  standard error, byte for byte
#   expected.xrd     the report out.xrd, byte for byte, with the report
#                    generation time written as <generation time>; present
#                    exactly when the run writes out.xrd
#   expected.header  header.txt after the run; present exactly when the case
#                    has a header.txt
# Every other file of the case must be unchanged by the run.
# The case runs in a scratch copy of CASE_DIR, so inputs stay untouched; @CASE@
# in env and expected.stderr stands for the path of that copy, @PREFIX@ for
# the installed tree (the usage text names the program as invoked).
# With VELDORA_UPDATE_GOLDEN=1 the expected files are rewritten from this run
# instead (see expected_files.sh).
set -u
source "$(dirname "$0")/expected_files.sh"
prefix=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$case_dir"/. "$work"/
cd "$work"

fail=0
if [ ! -f README ] || [ "$(grep -c . README)" != 1 ] || [ "$(wc -l < README)" != 1 ]; then
  echo "README must be one line saying what the case pins down"; fail=1
fi

args=()
while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < args
unsets=(-u VOSK_STUDIO_HEADER_FILE)
envs=(LC_ALL=C.UTF-8 "ORBEKDIR=$prefix")
if [ -f env ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line//@CASE@/$work}
    line=${line//@PREFIX@/$prefix}
    case "$line" in
      "unset "*)
        name=${line#unset }
        unsets+=(-u "$name")
        kept=()
        for e in "${envs[@]}"; do [[ "$e" == "$name="* ]] || kept+=("$e"); done
        envs=("${kept[@]}") ;;
      *) envs+=("$line") ;;
    esac
  done < env
fi

started=$(date +%s)
env "${unsets[@]}" "${envs[@]}" "$prefix/bin/veldora" "${args[@]}" > stdout 2> stderr
echo $? > status
finished=$(date +%s)

if [ -s stdout ]; then
  echo "standard output is not empty:"; cat stdout; fail=1
fi
# The report, unless out.xrd is a link of the case to one of its inputs.
report=0
[ -f out.xrd ] && [ ! -L out.xrd ] && report=1
if [ $report = 1 ]; then
  check_well_formed out.xrd || fail=1
  mask_generation_time out.xrd "$started" "$finished" > out.xrd.masked
fi

# Inputs are never changed; header.txt only as expected.header says.
for file in $(cd "$case_dir" && find . -type f ! -name 'expected.*' ! -name header.txt ! -name README); do
  if ! cmp -s "$case_dir/$file" "$file"; then
    echo "input ${file#./} changed by the run"; fail=1
  fi
done

# The placeholders stand for the paths of this run; perl takes them literally.
export CASE_PATH=$work PREFIX_PATH=$prefix
if updating; then
  perl -pe 's/\Q$ENV{CASE_PATH}\E/\@CASE\@/g; s/\Q$ENV{PREFIX_PATH}\E/\@PREFIX\@/g' stderr > stderr.placeholders
  update_expected "$case_dir/expected.status" status
  update_expected "$case_dir/expected.stderr" stderr.placeholders
  if [ $report = 1 ]; then
    update_expected "$case_dir/expected.xrd" out.xrd.masked
  elif [ -f expected.xrd ]; then
    rm "$case_dir/expected.xrd"; echo "removed $case_dir/expected.xrd"
  fi
  [ ! -f header.txt ] || update_expected "$case_dir/expected.header" header.txt
  exit $fail
fi

if ! cmp -s status expected.status; then
  echo "exit status $(cat status), expected $(cat expected.status)"; fail=1
fi
perl -pe 's/\@CASE\@/$ENV{CASE_PATH}/g; s/\@PREFIX\@/$ENV{PREFIX_PATH}/g' expected.stderr > expected.stderr.resolved
if ! cmp -s stderr expected.stderr.resolved; then
  echo "standard error differs:"; diff expected.stderr.resolved stderr; fail=1
fi
if [ -f expected.xrd ] && [ $report = 0 ]; then
  echo "no report written"; fail=1
elif [ $report = 1 ] && [ ! -f expected.xrd ]; then
  echo "a report was written, none expected"; fail=1
elif [ $report = 1 ] && ! cmp -s out.xrd.masked expected.xrd; then
  echo "report differs:"; diff expected.xrd out.xrd.masked | head -40; fail=1
fi
if [ -f header.txt ]; then
  if [ ! -f expected.header ]; then
    echo "the case has a header.txt but no expected.header"; fail=1
  elif ! cmp -s header.txt expected.header; then
    echo "header text file differs:"; diff expected.header header.txt; fail=1
  fi
fi
exit $fail
