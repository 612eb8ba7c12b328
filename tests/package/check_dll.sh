#!/usr/bin/env bash
# The shipped DLL: 32-bit, exports KVT_CreatePlugin undecorated, and imports
# nothing but Windows system DLLs (every library of ours is linked in).
set -euo pipefail
dll="$1"
[ -f "$dll" ] || { echo "FAIL: $dll is missing (build the windows preset first)"; exit 1; }
dump=$(i686-w64-mingw32-objdump -p "$dll")
status=0
grep -q "^Magic.*010b" <<<"$dump" || { echo "FAIL: not a 32-bit (PE32) image"; status=1; }
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on&&/^[ \t]*\[/{print $NF} on&&/^$/{on=0}' <<<"$dump")
echo "exports: $exports"
[ "$exports" = "KVT_CreatePlugin" ] || { echo "FAIL: the one export must be KVT_CreatePlugin"; status=1; }
imports=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print $3}' | sort -u)
echo "imports:" $imports
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|setupapi|winmm|imm32|version|cfgmgr32|dinput8|ntdll|ws2_32|shlwapi|hid|uuid)\.dll$'
for lib in $imports; do
  grep -qiE "$allowed" <<<"$lib" || { echo "FAIL: imports $lib, which is not a Windows system DLL"; status=1; }
done
[ $status -eq 0 ] && echo "DLL check passed"
exit $status
