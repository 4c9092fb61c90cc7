#!/usr/bin/env bash
# Fails when a translation file lacks a translatable text of the program,
# leaves one unfinished, or holds one the program no longer has.
#
#   check_translation.sh LUPDATE SOURCE_DIR TS_FILE
#
# lupdate merges every text it finds in the sources into a scratch copy of the
# translation file: a text the file lacks comes back marked "unfinished", and
# a text of the file that the sources no longer hold (or that lupdate failed
# to see, such as a QT_TRANSLATE_NOOP table) comes back marked "vanished".
set -u
lupdate=$1
source_dir=$2
ts=$3
if [ ! -x "$lupdate" ]; then
  echo "lupdate not found: '$lupdate' (install qttools5-dev-tools)"; exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"

cd "$source_dir" || exit 1
# The C++ sources only: export/ also holds the page's script.
if ! "$lupdate" -silent -locations none -extensions cpp,h driver support model readers report \
     export -ts "$work/check.ts" > "$work/lupdate.log" 2>&1; then
  echo "lupdate failed:"; cat "$work/lupdate.log"; exit 1
fi

# A message is open when its translation is missing, empty, unfinished or
# belongs to a text the sources do not have.
open='translation[@type="unfinished" or @type="vanished" or @type="obsolete"] or normalize-space(translation)=""'
count=$(xmllint --xpath "count(//message[$open])" "$work/check.ts")
if [ "$count" != 0 ]; then
  echo "$ts: $count text(s) untranslated, unfinished or no longer in the program:"
  xmllint --xpath "//context[message[$open]]/name | //message[$open]" "$work/check.ts"
  echo
  exit 1
fi
exit 0
