#!/usr/bin/env bash
# The browser test: the bundled example's report, a report of hostile test
# names and generated reports (300,600 nodes; a small one with long names),
# and a page with a run history, exported by the installed veldora-export
# and opened in Debian's Chromium (see page_test.js). The pages and the
# screenshots stay in OUT_DIR.
#
#   run_browser_test.sh PREFIX SOURCE_DIR OUT_DIR
set -euo pipefail
prefix=$1
source=$2
out=$3
here=$source/tests/export/browser
if [ ! -d "$here/node_modules/playwright-core" ] || [ ! -x /usr/bin/chromium ]; then
  echo "browser test: needs Chromium and playwright-core; run ./setup.sh --browser first" >&2
  exit 1
fi
mkdir -p "$out"
cp "$source/examples/header.txt" "$out/header.txt"
status=0
LC_ALL=C.UTF-8 ORBEKDIR="$prefix" "$prefix/bin/veldora" \
  -ots "$source/examples/stack_test.ots" "$source/examples/stack_classes.ots" \
  -tdf "$source/examples/stack_test.tdf" -xrd "$out/report.xrd" -h "$out/header.txt" \
  2>/dev/null || status=$?
[ "$status" = 3 ] || { echo "veldora ended with $status on the example" >&2; exit 1; }
export LC_ALL=C.UTF-8
status=0
"$prefix/bin/veldora-export" html "$out/report.xrd" -o "$out/example.html" || status=$?
[ "$status" = 3 ] || { echo "veldora-export ended with $status on the example" >&2; exit 1; }
# The same page for a German user: the page's labels from veldora's own
# German translation.
status=0
LC_ALL= LC_MESSAGES= LANG=de_DE.UTF-8 ORBEKDIR="$prefix" "$prefix/bin/veldora-export" html "$out/report.xrd" \
  -o "$out/german.html" || status=$?
[ "$status" = 3 ] || { echo "veldora-export ended with $status on the German example" >&2; exit 1; }
status=0
"$prefix/bin/veldora-export" html "$here/hostile.xrd" -o "$out/hostile.html" || status=$?
[ "$status" = 3 ] || { echo "veldora-export ended with $status on hostile.xrd" >&2; exit 1; }
for shape in "big 600 500" "small 2 3"; do
  set -- $shape
  node "$here/big_report.js" "$out/$1.xrd" "$2" "$3"
  status=0
  "$prefix/bin/veldora-export" html "$out/$1.xrd" -o "$out/$1.html" || status=$?
  [ "$status" = 3 ] || { echo "veldora-export ended with $status on $1.xrd" >&2; exit 1; }
done
# A page with a run history: three runs recorded (the third with a label
# that is markup), then the fourth report against them.
reports=$source/tests/export/history/reports
rm -f "$out/history.sqlite"
for run in "run1 one" "run2 two" "run3 <img src=x onerror=alert(1)>"; do
  TZ=UTC "$prefix/bin/veldora-export" record "$reports/${run%% *}.xrd" --part queue \
    --history "$out/history.sqlite" --label "${run#* }" >/dev/null
done
status=0
TZ=UTC "$prefix/bin/veldora-export" html "$reports/run4.xrd" --part queue --history "$out/history.sqlite" \
  -o "$out/history.html" || status=$?
[ "$status" = 3 ] || { echo "veldora-export ended with $status on the history page" >&2; exit 1; }
# A page of a run of two parts: the example's report and a queue's.
status=0
"$prefix/bin/veldora-export" html "$out/report.xrd" "$reports/run4.xrd" -o "$out/parts.html" || status=$?
[ "$status" = 3 ] || { echo "veldora-export ended with $status on the page of two parts" >&2; exit 1; }
cd "$here"
node page_test.js "$out/example.html" "$out/hostile.html" "$out/example.png" "$out/big.html" "$out/small.html" \
  "$out/german.html" "$out/history.html" "$out/history.png" "$out/parts.html"
echo "screenshots: $out/example.png $out/history.png"
