#!/usr/bin/env bash
# Makes the player's guide as one HTML page from docs/guide.md, for the zip:
# Windows opens it with a double click, pictures beside it in pictures/.
#   scripts/guide_html.sh GUIDE.md OUT.html VERSION
set -euo pipefail
guide=${1:?usage: guide_html.sh GUIDE.md OUT.html VERSION}
out=${2:?usage: guide_html.sh GUIDE.md OUT.html VERSION}
version=${3:?usage: guide_html.sh GUIDE.md OUT.html VERSION}
command -v cmark-gfm >/dev/null || { echo "guide_html: cmark-gfm is not installed (scripts/setup.sh)"; exit 1; }
grep -qF "KVT Controls $version" "$guide" || {
  echo "guide_html: $guide does not say it describes KVT Controls $version"
  exit 1
}
# Headings get the ids the guide's own links ("#the-log") use, as the
# Markdown renderers players read it with make them: lower case, letters,
# digits, blanks as hyphens.
body=$(cmark-gfm --extension table --extension autolink --to html "$guide" | python3 -c '
import re, sys
def slug(match):
    text = re.sub(r"<[^>]+>", "", match.group(2))
    anchor = re.sub(r"[^a-z0-9 -]", "", text.lower()).replace(" ", "-")
    return f"<h{match.group(1)} id=\"{anchor}\">{match.group(2)}</h{match.group(1)}>"
sys.stdout.write(re.sub(r"<h([1-6])>(.*?)</h\1>", slug, sys.stdin.read()))
')
cat >"$out" <<HTML
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>KVT Controls $version: the player's guide</title>
<style>
body { font-family: Segoe UI, Arial, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
table { border-collapse: collapse; } th, td { border: 1px solid #aaa; padding: 0.2em 0.5em; vertical-align: top; }
code, pre { background: #f3f3f3; } img { max-width: 100%; border: 1px solid #ccc; }
</style>
</head>
<body>
$body
</body>
</html>
HTML
