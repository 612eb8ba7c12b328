#!/usr/bin/env python3
"""The player's zip holds exactly the game folder's layout: the DLL, the
plug-in folder's samples, the guide (as HTML too) with its compressed
pictures, the licence and the linked libraries' notices, and at its top a
short first file in Windows' line ends, nothing else; the DLL is the one the
build made, the sounds are mono 16-bit PCM WAV and the notices name every
library the link map shows in the DLL."""
import io
import re
import sys
import wave
import zipfile

README = "KVTControls - READ ME FIRST.txt"
EXPECTED = [
    README,
    "Plugins/KVTControls.dll",
    "Plugins/KVTControls/CarInfo.ini.sample",
    "Plugins/KVTControls/Guide/guide.html",
    "Plugins/KVTControls/Guide/guide.md",
    "Plugins/KVTControls/Guide/pictures/capture.png",
    "Plugins/KVTControls/Guide/pictures/hold-bars.png",
    "Plugins/KVTControls/Guide/pictures/host-warning.png",
    "Plugins/KVTControls/Guide/pictures/missing-controller.png",
    "Plugins/KVTControls/Guide/pictures/page1.png",
    "Plugins/KVTControls/Guide/pictures/page2.png",
    "Plugins/KVTControls/Guide/pictures/page3.png",
    "Plugins/KVTControls/Guide/pictures/page4.png",
    "Plugins/KVTControls/LICENSE.txt",
    "Plugins/KVTControls/Shifter_AutoDetect.wav.sample",
    "Plugins/KVTControls/Shifter_Error.wav.sample",
    "Plugins/KVTControls/Shifter_HPattern.wav.sample",
    "Plugins/KVTControls/Shifter_Sequential.wav.sample",
    "Plugins/KVTControls/THIRD-PARTY-NOTICES.txt",
]
# What the notices must say of each library linked into the DLL: the
# header-only ones, and each static library the link map shows members of.
NOTICES = ["Sam Lantinga", "Brodie Thiesfield", "Niels Lohmann"]
RUNTIME = "mingw-w64 runtime"
LINKED = {"libSDL3.a": "Sam Lantinga", "libpthread.a": "winpthreads", "libstdc++.a": "GCC Runtime Library Exception",
          "libgcc.a": "GCC Runtime Library Exception", "libgcc_eh.a": "GCC Runtime Library Exception",
          **{f"lib{name}.a": RUNTIME for name in "mingw32 mingwex msvcrt moldname kernel32 user32 gdi32 imm32 ole32 "
             "oleaut32 uuid setupapi cfgmgr32 shell32 advapi32 version winmm dinput8 dxguid".split()}}


def linked_archives(map_path):
    """The static libraries of which the linker took members into the DLL."""
    with open(map_path, encoding="utf-8", errors="replace") as linker_map:
        text = linker_map.read()
    included = text.split("Archive member included", 1)[-1].split("\nDiscarded input sections", 1)[0]
    return set(re.findall(r"([^/\s(]+\.a)\(", included))


def main(zip_path, dll_path):
    failures = []
    try:
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as error:
        print(f"FAIL: {zip_path}: {error} (build it: cmake --build --preset windows --target package_zip)")
        return 1
    files = sorted(name for name in archive.namelist() if not name.endswith("/"))
    print("zip holds:", *files, sep="\n  ")
    if files != EXPECTED:
        failures.append(f"missing {sorted(set(EXPECTED) - set(files))}, extra {sorted(set(files) - set(EXPECTED))}")
    if "Plugins/KVTControls.dll" in files:
        with open(dll_path, "rb") as built:
            if archive.read("Plugins/KVTControls.dll") != built.read():
                failures.append("the zip's DLL is not the one the build made (make the zip again: "
                                "cmake --build --preset windows --target package_zip)")
    for name in (n for n in files if n.endswith(".wav.sample")):
        try:
            with wave.open(io.BytesIO(archive.read(name))) as sound:
                if sound.getnchannels() != 1 or sound.getsampwidth() != 2 or sound.getnframes() == 0:
                    failures.append(f"{name}: {sound.getnchannels()} channels, {8 * sound.getsampwidth()} bits")
        except wave.Error as error:
            failures.append(f"{name}: not a PCM WAV file ({error})")
    if "Plugins/KVTControls/THIRD-PARTY-NOTICES.txt" in files:
        notices = archive.read("Plugins/KVTControls/THIRD-PARTY-NOTICES.txt").decode("utf-8", "replace")
        failures += [f"the notices lack {holder}" for holder in NOTICES if holder not in notices]
        for library in sorted(linked_archives(dll_path[:-4] + ".map")):
            if LINKED.get(library, f"a notice for {library}") not in notices:
                failures.append(f"the DLL links {library}, and the notices lack {LINKED.get(library, 'its notice')}")
    if "Plugins/KVTControls/LICENSE.txt" in files:
        if "MIT License" not in archive.read("Plugins/KVTControls/LICENSE.txt").decode("utf-8", "replace"):
            failures.append("LICENSE.txt is not the project's MIT licence")
    for name in (n for n in files if n.endswith(".png")):
        picture = archive.read(name)
        if not picture.startswith(b"\x89PNG\r\n\x1a\n"):
            failures.append(f"{name} is not a PNG picture")
        # A menu page's picture deflates to tens of kilobytes, stored it is ~900.
        if len(picture) > 200_000:
            failures.append(f"{name} is {len(picture)} bytes: not compressed")
    if README in files:
        lines = archive.read(README).split(b"\n")[:-1]
        if len(lines) >= 40 or any(not line.endswith(b"\r") for line in lines) or b"@VERSION@" in b"".join(lines):
            failures.append(f"{README}: {len(lines)} lines, not all with Windows line ends, or no version")
    if "Plugins/KVTControls/Guide/guide.html" in files:
        if not archive.read("Plugins/KVTControls/Guide/guide.html").startswith(b"<!DOCTYPE html>"):
            failures.append("guide.html is not an HTML page")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("zip check passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
