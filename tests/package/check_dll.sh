#!/usr/bin/env bash
# The shipped DLL: 32-bit, exports KVT_CreatePlugin undecorated, imports
# nothing but Windows system DLLs (every library of ours is linked in), and
# carries the version resource Windows shows in the file's properties.
#   check_dll.sh KVTControls.dll VERSION
set -euo pipefail
dll="$1"
version="${2:?usage: check_dll.sh DLL VERSION}"
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
# Each string of the version resource: its UTF-16 name, the name's end and
# padding, then the value up to its end.
strings=$(python3 - "$dll" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for key in ("FileVersion", "ProductVersion", "ProductName", "FileDescription", "LegalCopyright"):
    at = data.find((key + "\0").encode("utf-16-le"))
    if at < 0:
        print(f"{key}=")
        continue
    at += 2 * (len(key) + 1)
    while data[at:at + 2] == b"\0\0":
        at += 2
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    print(f"{key}={data[at:end].decode('utf-16-le')}")
PY
)
echo "$strings"
for expected in "FileVersion=$version" "ProductVersion=$version" "ProductName=KVT Controls"; do
  grep -qxF "$expected" <<<"$strings" || { echo "FAIL: the version resource lacks $expected"; status=1; }
done
grep -q "^FileDescription=." <<<"$strings" || { echo "FAIL: the version resource has no FileDescription"; status=1; }
# The holder, and the licence files by the names the zip gives them.
grep -q '^LegalCopyright=Copyright (c) .*KVT Controls team.*KVTControls\\LICENSE\.txt.*THIRD-PARTY-NOTICES\.txt' \
  <<<"$strings" || { echo "FAIL: LegalCopyright lacks the holder or the shipped licence files"; status=1; }
[ $status -eq 0 ] && echo "DLL check passed"
exit $status
