#!/usr/bin/env bash
# The guide as the zip carries it: one HTML page made from docs/guide.md that
# names the version it describes, keeps the guide's tables and pictures, and
# warns of the "Extract All" trap.
#   check_guide_html.sh REPO OUT-DIR VERSION
set -uo pipefail
repo=${1:?} out=${2:?} version=${3:?}
mkdir -p "$out"
html=$out/guide.html
"$repo/scripts/guide_html.sh" "$repo/docs/guide.md" "$html" "$version" || exit 1
status=0
check() { grep -qF -- "$1" "$html" || { echo "FAIL: guide.html lacks $1"; status=1; }; }
check "<title>KVT Controls $version: the player's guide</title>"
check "This guide describes"
check "Extract All"
check '<h2 id="contents">'
check '<h2 id="quick-start">'
for picture in page1 page2 page3 page4 capture hold-bars host-warning missing-controller; do check "<img src=\"pictures/$picture.png\""; done
# Every link within the page leads to a heading.
for anchor in $(grep -o 'href="#[^"]*"' "$html" | sed 's/href="#//; s/"$//' | sort -u); do
  check "id=\"$anchor\""
done
tables=$(grep -c "<table>" "$html")
[ "$tables" -ge 5 ] || { echo "FAIL: guide.html has $tables tables, the guide has more"; status=1; }
grep -q "| *---" "$html" && { echo "FAIL: a table was left as Markdown text"; status=1; }
[ $status -eq 0 ] && echo "guide.html check passed"
exit $status
