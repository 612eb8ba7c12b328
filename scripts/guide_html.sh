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
body=$(cmark-gfm --extension table --extension autolink --to html "$guide")
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
