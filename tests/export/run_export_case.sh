#!/usr/bin/env bash
# Runs one end-to-end case of veldora-export and compares every output.
#
#   run_export_case.sh PROGRAM CASE_DIR
#
# CASE_DIR holds:
#   args             the arguments, one per line
#   expected.status  the exit status
#   expected.stderr  standard error, byte for byte
#   expected.stdout  optional: standard output, byte for byte (else it must
#                    be empty)
#   expected.files   optional: the names of the files the run creates, one
#                    per line (without it, none); expected.NAME, when
#                    present, is that file byte for byte
# Pages are compared without the text of their style sheet and script and
# without the hashes of those in the security policy, so that the goldens
# hold the markup and the data, and a change of style or script does not
# touch them.
# and the inputs. The case runs in a scratch copy; every input must be left
# as it was, and no other file may appear (no temporary file either).
# VELDORA_UPDATE_GOLDEN=1 writes the status, standard output and error and
# the expected files that exist from this run instead.
set -u
program=$1
case_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$case_dir"/. "$work"/
cd "$work"

args=()
while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < args
before=$(find . -mindepth 1 | sort)
env -u GITHUB_WORKSPACE -u CI_PROJECT_DIR "$program" "${args[@]}" > ../stdout.$$ 2> ../stderr.$$
status=$?
mv ../stdout.$$ "$work.stdout"
mv ../stderr.$$ "$work.stderr"
trap 'rm -rf "$work" "$work.stdout" "$work.stderr"' EXIT

normalise() {
  perl -0pe 's{<style>.*?</style>}{<style>…</style>}s; s{<script>.*?</script>}{<script>…</script>}s;
             s{sha256-[A-Za-z0-9+/=]+}{sha256-…}g' "$1"
}

if [ "${VELDORA_UPDATE_GOLDEN:-}" = 1 ]; then
  echo "$status" > "$case_dir/expected.status"
  cp "$work.stderr" "$case_dir/expected.stderr"
  if [ -s "$work.stdout" ] || [ -f "$case_dir/expected.stdout" ]; then
    normalise "$work.stdout" > "$case_dir/expected.stdout"
  fi
  for name in $(find . -mindepth 1 -maxdepth 1 -type f | sed 's|^\./||'); do
    [ -f "$case_dir/expected.$name" ] && normalise "./$name" > "$case_dir/expected.$name"
  done
  exit 0
fi

fail=0
want=$(cat expected.status)
if [ "$status" != "$want" ]; then
  echo "exit status $status, expected $want"; fail=1
fi
if ! cmp -s "$work.stderr" expected.stderr; then
  echo "standard error differs:"; diff expected.stderr "$work.stderr"; fail=1
fi
if [ -f expected.stdout ]; then
  if ! cmp -s <(normalise "$work.stdout") expected.stdout; then
    echo "standard output differs:"; diff expected.stdout <(normalise "$work.stdout") | head -40; fail=1
  fi
elif [ -s "$work.stdout" ]; then
  echo "standard output is not empty:"; head -c 2000 "$work.stdout"; fail=1
fi

created=$(comm -13 <(echo "$before") <(find . -mindepth 1 | sort) | sed 's|^\./||')
wanted=$( [ -f expected.files ] && sort expected.files || true)
if [ "$created" != "$wanted" ]; then
  echo "files created: [$created], expected: [$wanted]"; fail=1
fi
for name in $wanted; do
  if [ -f "expected.$name" ] && ! cmp -s <(normalise "./$name") "expected.$name"; then
    echo "$name differs:"; diff "expected.$name" <(normalise "./$name") | head -40; fail=1
  fi
done
# Inputs stay as they were.
while IFS= read -r path; do
  path=${path#./}
  [ -f "$case_dir/$path" ] || continue
  if ! cmp -s "$path" "$case_dir/$path"; then echo "input $path was changed"; fail=1; fi
done <<< "$before"
exit $fail
