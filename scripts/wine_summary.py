#!/usr/bin/env python3
"""Says what scripts/test.sh ran under Wine: of the tests labelled "wine",
how many passed, failed and were skipped, on which build, and why each skipped
one was. Reads ctest's JUnit results and its test list (--show-only=json-v1).
usage: wine_summary.py RESULTS.xml TESTS.json BUILD-NOTE"""
import json
import re
import sys
import xml.etree.ElementTree as ET


def main(results, tests, build_note):
    with open(tests, encoding="utf-8") as f:
        listed = json.load(f)["tests"]
    wine = {t["name"] for t in listed for p in t.get("properties", [])
            if p["name"] == "LABELS" and "wine" in p["value"]}
    counts = {"run": 0, "fail": 0, "notrun": 0}
    skipped = {}
    for case in ET.parse(results).getroot().iter("testcase"):
        name, status = case.get("name"), case.get("status")
        if name not in wine:
            continue
        counts[status if status in counts else "fail"] += 1
        if status == "notrun":
            out = case.findtext("system-out") or ""
            why = next((m.group(1) for m in re.finditer(r"SKIPPED[^:]*: (.*)", out)), "it gave no reason")
            skipped.setdefault(why, []).append(name)
    missing = len(wine) - sum(counts.values())
    print(f"test.sh: Windows tests under Wine, on {build_note}: {counts['run']} passed, "
          f"{counts['fail']} failed, {counts['notrun']} skipped"
          + (f", {missing} not run at all" if missing else ""))
    for why, names in sorted(skipped.items()):
        print(f"test.sh:   skipped {', '.join(sorted(names))}: {why}")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
