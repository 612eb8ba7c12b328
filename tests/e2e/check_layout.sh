#!/usr/bin/env bash
# Checks the simulated host executable's image: it imports kernel32 alone, it
# lies below 2 GB (the 64-bit test build too, since host words are 32 bits)
# and its .bss arena spans the host offsets base+0xE000 .. base+0x1262000, so
# both code sites and every host location are addresses inside the image.
set -uo pipefail
exe=${1:?usage: check_layout.sh kvt-simhost.exe}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
[ -f "$exe" ] || { echo "check_layout: missing $exe (build the Windows preset first)"; exit 1; }
command -v "$objdump" >/dev/null || { echo "check_layout: $objdump is not installed"; exit 1; }

headers=$("$objdump" -h -p "$exe") || exit 1
base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
read -r size vma < <(awk '$2 == ".bss" { print $3, $4 }' <<<"$headers")
dlls=$(awk '/DLL Name:/ { print toupper($3) }' <<<"$headers" | sort -u | tr '\n' ' ')
[ -n "$base" ] && [ -n "$vma" ] || { echo "check_layout: no ImageBase or .bss in $exe"; exit 1; }

start=$((0x$vma - 0x$base))
end=$((start + 0x$size))
printf 'check_layout: arena base+0x%X .. base+0x%X, imports: %s\n' "$start" "$end" "$dlls"
status=0
if [ "$start" -gt $((0xE000)) ] || [ "$end" -lt $((0x1262000)) ]; then
  echo "check_layout: the arena must cover base+0xE000 .. base+0x1262000"
  status=1
fi
if [ $((0x$base + end)) -gt $((0x7FFFFFFF)) ]; then
  echo "check_layout: the image must lie below 2 GB (ImageBase 0x$base)"
  status=1
fi
if [ "$dlls" != "KERNEL32.DLL " ]; then
  echo "check_layout: the executable must import KERNEL32.dll alone"
  status=1
fi
exit "$status"
