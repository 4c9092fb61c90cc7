#!/usr/bin/env bash
# Runs one case of the run history: a sequence of commands over the reports
# in reports/, compared as one transcript.
#
#   run_history_case.sh PREFIX CASE_DIR [SERVER_URL_FILE]
#
# CASE_DIR holds:
#   README     one line: what the case pins down
#   commands   one shell command a line, run in order in one scratch folder
#              that holds a copy of reports/ (run1.xrd ... run5.xrd) and of
#              the case's other files; veldora-export is on the PATH, and
#              $AS_USER runs a command as a user without root's powers
#              (when the tests run as root), for what file modes forbid;
#              $PREFIX is the installed tree, $EXAMPLES the bundled example,
#              $HISTORY_TESTS this folder (example_report.sh) and, when the
#              tests' PostgreSQL server runs, $SERVER its history's URL
#   expected   the transcript: per command "$ COMMAND", what it wrote to
#              standard output and standard error, and "[exit N]"
# VELDORA_UPDATE_GOLDEN=1 writes the transcript into expected instead.
set -u
prefix=$1
case_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/reports/*.xrd "$work"/
for f in "$case_dir"/*; do
  case $(basename "$f") in README|commands|expected) ;; *) cp -r "$f" "$work"/ ;; esac
done
export LC_ALL=C.UTF-8 TZ=UTC PATH="$prefix/bin:$PATH" NO_COLOR=1
export PREFIX=$prefix EXAMPLES=$(cd "$here/../../../examples" && pwd) HISTORY_TESTS=$here
SERVER=$(cat "${3:-/nonexistent}" 2>/dev/null || true)
export SERVER
unset CI_COMMIT_SHA CI_COMMIT_SHORT_SHA CI_PIPELINE_ID GITHUB_SHA GITHUB_RUN_ID GITHUB_STEP_SUMMARY \
  CI_COMMIT_BRANCH CI_DEFAULT_BRANCH CI_MERGE_REQUEST_SOURCE_BRANCH_NAME \
  CI_MERGE_REQUEST_TARGET_BRANCH_NAME GITHUB_HEAD_REF GITHUB_REF_NAME GITHUB_BASE_REF \
  CI_PROJECT_PATH GITHUB_REPOSITORY VELDORA_HISTORY
AS_USER=""
[ "$(id -u)" != 0 ] || AS_USER="setpriv --reuid=nobody --regid=nogroup --clear-groups"
export AS_USER
cd "$work"
transcript=$(mktemp)
trap 'rm -rf "$work" "$transcript"' EXIT
while IFS= read -r command || [ -n "$command" ]; do
  printf '$ %s\n' "$command" >> "$transcript"
  bash -c "$command" >> "$transcript" 2>&1
  printf '[exit %d]\n' $? >> "$transcript"
done < "$case_dir/commands"
if [ "${VELDORA_UPDATE_GOLDEN:-}" = 1 ]; then
  cp "$transcript" "$case_dir/expected"
  exit 0
fi
if ! cmp -s "$transcript" "$case_dir/expected"; then
  echo "the transcript differs:"
  diff "$case_dir/expected" "$transcript"
  exit 1
fi
