#!/usr/bin/env python3
"""Checks docs/guide.md against what the code and its tests show, so that the guide cannot drift:

- the table of "What a failed call means" is exactly the rows that the Wine page
  tests/wine/pages/foundation/error_table.vbs writes (its .expected files, which the Wine suite
  compares with what the page really prints), in the order the page first writes them;
- the table of limits gives each limit the error code of kestrune.idl and the default of upload.h;
- every link to a part of the guide (#anchor) names a heading it has.

Usage: guide_test.py SOURCE_DIR. Prints one line per check and exits 1 when one failed.
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
guide = (root / "docs/guide.md").read_text(encoding="utf-8")
failures = 0


def check(name, ok, detail=""):
    global failures
    print(("ok    " if ok else "FAIL  ") + name + ("" if ok else ": " + detail))
    if not ok:
        failures += 1


def section(title):
    """The text of the guide's section that starts with the heading `## title`."""
    start = guide.index("\n## " + title + "\n")
    end = guide.find("\n## ", start + 1)
    return guide[start : end if end != -1 else len(guide)]


# The error table: the rows of the page's expectations, each once, in the order first written.
rows = []
for expected in sorted((root / "tests/wine/pages/foundation").glob("error_table.*.expected")):
    for line in expected.read_text(encoding="utf-8").splitlines():
        if line not in rows:
            rows.append(line)
check("the error page has expectations", len(rows) >= 10, str(len(rows)))
lines = section("What a failed call means").splitlines()
body = lines[lines.index("|---|---|") + 1 :] if "|---|---|" in lines else []
table = [line for line in body[: next((i for i, l in enumerate(body) if not l.startswith("|")), len(body))]]
check("the guide's error table is what the error page prints", table == rows,
      "\n  guide: " + "\n         ".join(table) + "\n  page:  " + "\n         ".join(rows))

# The limits: codes from the IDL, defaults from the Upload object.
idl = (root / "com/kestrune.idl").read_text(encoding="utf-8")
codes = dict(re.findall(r"kle(Max\w+) = 0x([0-9A-Fa-f]{8})", idl))
check("the IDL names six limit errors", len(codes) == 6, str(codes))
upload_h = (root / "upload/upload.h").read_text(encoding="utf-8")
defaults = {name: eval(value) for name, value in re.findall(r"kDefault(Max\w+) = ([0-9 *]+);", upload_h)}
limits = section("Objects and members")
for name, code in codes.items():
    row = next((line for line in limits.splitlines() if line.startswith("| `" + name + "` |")), None)
    check(f"the limits table has a row for {name}", row is not None)
    if row is None:
        continue
    cells = [cell.strip() for cell in row.strip("|").split("|")]
    check(f"{name} answers &H{code.upper()}", cells[-1] == f"`&H{code.upper()}`", cells[-1])
    default = defaults.get(name, 0)
    check(f"{name} defaults to {default}", cells[1].split(" ")[0] == str(default), cells[1])

# Links inside the guide: a heading's anchor is its text in lower case, spaces as hyphens,
# punctuation dropped (as the HTML page makes them).
anchors = set()
for heading in re.findall(r"^#+ (.+)$", guide, re.M):
    text = re.sub(r"[`*]", "", heading).strip().lower()
    anchors.add(re.sub(r"[^\w\- ]", "", text).replace(" ", "-"))
for target in re.findall(r"\]\(#([^)]+)\)", guide):
    check(f"the link #{target} names a heading", target in anchors)

print(f"{failures} failed" if failures else "guide: every check passed")
sys.exit(1 if failures else 0)
