#!/usr/bin/env bash
# Makes the player's zip from a Windows build: the DLL, the plug-in folder's
# samples (a ".sample" becomes the file only where the player has none, so an
# update never overwrites his sounds or car cache) and the guide with its
# pictures, which the plug-in draws here and now in the simulated host.
#   scripts/package.sh WINDOWS-BUILD VERSION [WINDOWS64-BUILD]
# (the build's package_zip target runs it). The DLL in the zip is always the
# 32-bit build's; the pictures come from whichever build runs here (the
# 64-bit test build's simulated host where 32-bit programs cannot run).
set -euo pipefail
usage="usage: package.sh WINDOWS-BUILD VERSION [WINDOWS64-BUILD]"
win_build=$(cd "${1:?$usage}" && pwd)
version=${2:?$usage}
win64_build=${3:-$win_build/../windows64}
repo=$(cd "$(dirname "$0")/.." && pwd)
zip=$win_build/KVTControls-$version.zip

pictures=$win_build/package-pictures
"$repo/tests/e2e/run_e2e.sh" --windows-build "$win_build" --windows64-build "$win64_build" --game-dir "$pictures" \
  "$repo/docs/pictures.kvts" >"$win_build/package-pictures.log" 2>&1 || {
  cat "$win_build/package-pictures.log"
  echo "package: the pictures of the menu pages could not be made"
  exit 1
}
sed -n 's/^e2e: pictures.kvts on \(.*\), in .*/package: pictures drawn by \1/p' "$win_build/package-pictures.log"

stage=$win_build/package-stage
rm -rf "$stage"
folder=$stage/Plugins/KVTControls
mkdir -p "$folder/Guide/pictures"
cp "$win_build/KVTControls.dll" "$stage/Plugins/"
cp "$repo/package/CarInfo.ini.sample" "$folder/"
for sound in Shifter_Sequential Shifter_HPattern Shifter_AutoDetect Shifter_Error; do
  cp "$repo/package/sounds/$sound.wav" "$folder/$sound.wav.sample"
done
# The first thing a player sees on opening the zip, in Windows' line ends.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$repo/package/KVTControls - READ ME FIRST.txt" \
  >"$stage/KVTControls - READ ME FIRST.txt"
cp "$repo/docs/guide.md" "$folder/Guide/"
"$repo/scripts/guide_html.sh" "$repo/docs/guide.md" "$folder/Guide/guide.html" "$version"
# The DLL links these libraries in: their notices travel with it, as does ours.
cp "$repo/LICENSE" "$folder/LICENSE.txt"
cp "$repo/package/THIRD-PARTY-NOTICES.txt" "$folder/"
for picture in page1 page2 page3 page4 capture hold-bars host-warning missing-controller; do
  cp "$pictures/$picture.png" "$folder/Guide/pictures/"
  # The simulated host stores its pictures uncompressed.
  optipng -quiet -o2 "$folder/Guide/pictures/$picture.png"
done

rm -f "$zip"
# The files carry a fixed time stamp rather than the time of the build.
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "--mtime=2026-01-01 00:00:00 UTC" \
  "KVTControls - READ ME FIRST.txt" Plugins)
echo "package: $zip"
