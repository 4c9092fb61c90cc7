#!/usr/bin/env bash
# Runs one case of the CI exports (junit, summary) on the installed tree and
# compares every output.
#
#   run_ci_case.sh PREFIX TESTS_DIR CASE_DIR
#
# CASE_DIR holds:
#   report           optional, one line: where the report comes from.
#                    "example": the bundled example run with its header text
#                    file into report.xrd, its symbol files beside it unless
#                    the case has its own of that name; a folder of veldora inputs with
#                    their args, in CASE_DIR or under TESTS_DIR (a golden
#                    case such as golden/failed_verdict): run through
#                    veldora into out.xrd; a file under TESTS_DIR: copied as
#                    it is. Without it the case folder's own files are the
#                    input.
#   args             the veldora-export arguments, one per line
#   env              optional VAR=value lines added to the environment
#   tty              optional: standard output is a terminal
#   no_readback      optional: the report's totals disagree with its objects
#                    on purpose; JUnit output is only validated
#   expected.status  the exit status
#   expected.stdout  optional: standard output, byte for byte (else empty)
#   expected.stderr  standard error, byte for byte
#   expected/        every file that the run must leave new or changed, byte
#                    for byte; no other file may appear or change
# The case runs in a scratch folder; @CASE@ in env and expected files stands
# for it, @HOSTNAME@ for this machine's name. Every JUnit output is also
# validated against junit.xsd and read back with junitparser against its
# report (junit_readback.py). VELDORA_UPDATE_GOLDEN=1 writes the status,
# standard output and error and the expected files that exist from this run
# instead.
set -u
prefix=$1
tests_dir=$2
case_dir=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
gen=$(mktemp -d)
out=$(mktemp -d)
trap 'rm -rf "$work" "$gen" "$out"' EXIT
export LC_ALL=C.UTF-8 ORBEKDIR=$prefix
unset VOSK_STUDIO_HEADER_FILE NO_COLOR GITHUB_STEP_SUMMARY GITHUB_WORKSPACE CI_PROJECT_DIR

for f in "$case_dir"/*; do
  case $(basename "$f") in
    README|report|args|env|tty|no_readback|expected|expected.*|inputs) ;;
    *) cp -r "$f" "$work"/ ;;
  esac
done
if [ -f "$case_dir/report" ]; then
  source=$(cat "$case_dir/report")
  if [ "$source" = example ]; then
    cp "$tests_dir/../examples"/* "$gen"/
    (cd "$gen" && "$prefix/bin/veldora" -ots stack_test.ots stack_classes.ots \
       -tdf stack_test.tdf -xrd report.xrd -h header.txt 2>/dev/null)
    cp "$gen/report.xrd" "$work"/
    cp -n "$gen"/*.ots "$work"/
  elif [ -d "$case_dir/$source" ] || [ -d "$tests_dir/$source" ]; then
    if [ -d "$case_dir/$source" ]; then cp -r "$case_dir/$source"/. "$gen"/
    else cp -r "$tests_dir/$source"/. "$gen"/; fi
    gen_args=()
    while IFS= read -r line || [ -n "$line" ]; do gen_args+=("$line"); done < "$gen/args"
    (cd "$gen" && "$prefix/bin/veldora" "${gen_args[@]}" 2>/dev/null)
    cp "$gen/out.xrd" "$work"/
  else
    cp "$tests_dir/$source" "$work"/
  fi
fi

resolve() { sed -e "s|@CASE@|$work|g" -e "s|@HOSTNAME@|$(uname -n)|g" "$1"; }

args=()
while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < "$case_dir/args"
envs=()
if [ -f "$case_dir/env" ]; then
  while IFS= read -r line || [ -n "$line" ]; do envs+=("${line//@CASE@/$work}"); done < "$case_dir/env"
fi
cd "$work"
snapshot() { find . -type f -print0 | xargs -0r md5sum | sort; }
before=$(snapshot)
runner=()
[ -f "$case_dir/tty" ] && runner=(/usr/bin/python3 "$here/run_on_tty.py")
env "${envs[@]}" "${runner[@]}" "$prefix/bin/veldora-export" "${args[@]}" \
  > "$out/stdout" 2> "$out/stderr"
status=$?

if [ "${VELDORA_UPDATE_GOLDEN:-}" = 1 ]; then
  unresolve() { sed -e "s|$work|@CASE@|g" -e "s|hostname=\"$(uname -n)\"|hostname=\"@HOSTNAME@\"|g" "$1"; }
  echo "$status" > "$case_dir/expected.status"
  unresolve "$out/stderr" > "$case_dir/expected.stderr"
  if [ -s "$out/stdout" ] || [ -f "$case_dir/expected.stdout" ]; then
    unresolve "$out/stdout" > "$case_dir/expected.stdout"
  fi
  if [ -d "$case_dir/expected" ]; then
    (cd "$case_dir/expected" && find . -type f) | while IFS= read -r name; do
      [ -f "$name" ] && unresolve "$name" > "$case_dir/expected/$name"
    done
  fi
  exit 0
fi

fail=0
want=$(cat "$case_dir/expected.status")
if [ "$status" != "$want" ]; then
  echo "exit status $status, expected $want"; fail=1
fi
if ! cmp -s "$out/stderr" <(resolve "$case_dir/expected.stderr"); then
  echo "standard error differs:"; diff <(resolve "$case_dir/expected.stderr") "$out/stderr"; fail=1
fi
if [ -f "$case_dir/expected.stdout" ]; then
  if ! cmp -s "$out/stdout" <(resolve "$case_dir/expected.stdout"); then
    echo "standard output differs:"
    diff <(resolve "$case_dir/expected.stdout") "$out/stdout" | head -40; fail=1
  fi
elif [ -s "$out/stdout" ]; then
  echo "standard output is not empty:"; head -c 2000 "$out/stdout"; fail=1
fi

changed=$(comm -13 <(echo "$before") <(snapshot) | sed 's|^[0-9a-f]*  \./||')
wanted=$( [ -d "$case_dir/expected" ] && (cd "$case_dir/expected" && find . -type f | sed 's|^\./||' | sort) || true)
if [ "$changed" != "$wanted" ]; then
  echo "files new or changed: [$changed], expected: [$wanted]"; fail=1
fi
for name in $wanted; do
  if ! cmp -s "./$name" <(resolve "$case_dir/expected/$name"); then
    echo "$name differs:"; diff <(resolve "$case_dir/expected/$name") "./$name" | head -40; fail=1
  fi
done

# JUnit outputs: the files written, and standard output of "junit ... -o -".
check_junit() {
  if ! xmllint --noout --schema "$here/junit.xsd" "$1" 2> "$out/xmllint"; then
    echo "$2 does not match junit.xsd:"; head "$out/xmllint"; fail=1
  fi
  if [ ! -f "$case_dir/no_readback" ] && ! /usr/bin/python3 "$here/junit_readback.py" "$3" "$1"; then
    echo "$2 read back with junitparser differs from $3"; fail=1
  fi
}
if [ "${args[0]}" = junit ] && { [ "$status" = 0 ] || [ "$status" = 3 ]; }; then
  report=${args[1]}
  if [ "${args[2]:-}" = -o ] && [ "${args[3]:-}" = - ]; then
    check_junit "$out/stdout" "standard output" "$report"
  fi
  for name in $changed; do
    case $name in *.junit.xml|*.xml) check_junit "$name" "$name" "$report" ;; esac
  done
fi
exit $fail
