#!/usr/bin/env python3
"""Checks a release zip written by scripts/package.sh against the source tree it came from:
its name and CHANGELOG.md carry project(VERSION) of CMakeLists.txt; it holds exactly the files a
package has, each DLL of its own architecture without build time or symbols, the scripts with
Windows line ends and the version filled in, the guide and the samples as committed, a guide page
that loads nothing from elsewhere; SHA256SUMS covers every other file and `sha256sum -c` accepts it;
the entries are sorted, dated alike, with the same permissions and no extra fields.

Usage: contents_test.py ZIP [SOURCE_DIR]   (SOURCE_DIR: default the checkout this file is in)
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

failures = []
passes = 0


def check(condition: bool, what: str, detail: str = "") -> None:
    global passes
    if condition:
        passes += 1
        print(f"ok    {what}")
    else:
        failures.append(what)
        print(f"FAIL  {what}" + (f"\n      {detail}" if detail else ""))


def project_version(source: str) -> str:
    with open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*Kestrune\s+VERSION\s+([0-9.]+)", f.read())
    return match.group(1) if match else ""


def committed_samples(source: str) -> list[str]:
    names = subprocess.run(["git", "-C", source, "ls-files", "-z", "--", "examples/asp"], capture_output=True,
                           check=True).stdout.decode().split("\0")
    return [n for n in names if n and not any(part.startswith(".") for part in n.split("/"))]


def pe_header(data: bytes) -> tuple[int, int, int, int]:
    """Machine, time stamp, symbol table pointer and symbol count of a PE file's COFF header."""
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return (0, -1, -1, -1)
    machine, _, stamp, symbols, count = struct.unpack_from("<HHIII", data, offset + 4)
    return machine, stamp, symbols, count


def check_guide_page(page: str, guide_md: str) -> None:
    loads = re.findall(r"<(?:link|script|img|iframe|object|embed)\b|\bsrc\s*=|url\(|@import", page, re.I)
    check(not loads, "docs/guide.html loads nothing (no link, script, image, src, url() or @import)", str(loads))
    check("<style>" in page and page.lstrip().startswith("<!DOCTYPE html>"),
          "docs/guide.html is a whole page with its style inline")
    ids = set(re.findall(r'\bid="([^"]+)"', page))
    fragments = re.findall(r'href="#([^"]*)"', page)
    broken = [f for f in fragments if f not in ids]
    check(fragments and not broken, "docs/guide.html: every link within the page has its target", str(broken))
    headings = [h.strip() for h in re.findall(r"^#{2,3} (.+)$", guide_md, re.M)]
    text = re.sub(r"<[^>]+>", "", page).replace("&quot;", '"').replace("&amp;", "&")
    missing = [h for h in headings if re.sub(r"`", "", h) not in text]
    check(headings and not missing, "docs/guide.html has every heading of docs/guide.md", str(missing))
    check("|---" not in guide_md or "<table>" in page, "docs/guide.html renders the guide's tables")
    check("```" not in guide_md or "<pre><code" in page, "docs/guide.html renders the guide's code blocks")
    check("\n   - " not in guide_md or has_nested_list(page), "docs/guide.html nests the guide's indented lists")


def has_nested_list(page: str) -> bool:
    """Whether a list opens inside a list item."""
    open_items = 0
    for match in re.finditer(r"<(/?)(li|ul|ol)\b", page):
        closing, tag = match.group(1), match.group(2)
        if tag == "li":
            open_items += -1 if closing else 1
        elif not closing and open_items > 0:
            return True
    return False


def main(argv: list[str]) -> int:
    if len(argv) not in (2, 3):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    zip_path = argv[1]
    source = argv[2] if len(argv) == 3 else os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    version = project_version(source)
    check(re.fullmatch(r"\d+\.\d+\.\d+", version) is not None, f"project(VERSION) is MAJOR.MINOR.PATCH ({version})")
    check(os.path.basename(zip_path) == f"kestrune-{version}-windows.zip", f"the zip is named kestrune-{version}-windows.zip",
          os.path.basename(zip_path))

    with open(os.path.join(source, "CHANGELOG.md"), encoding="utf-8") as f:
        changelog = f.read()
    releases = re.findall(r"^## \[(\d[^\]]*)\] - (\d{4}-\d{2}-\d{2})$", changelog, re.M)
    check(changelog.startswith("# Changelog\n") and bool(releases) and releases[0][0] == version,
          "CHANGELOG.md's latest release is the project version, dated", str(releases[:1]))

    with zipfile.ZipFile(zip_path) as archive:
        entries = archive.infolist()
        names = [e.filename for e in entries]
        contents = {e.filename: archive.read(e) for e in entries}

    licenses = [n for n in ("LICENSE", "LICENSE.md", "LICENSE.txt", "COPYING") if os.path.isfile(os.path.join(source, n))]
    expected = sorted(["x86/Kestrune.dll", "x64/Kestrune.dll", "install.cmd", "uninstall.cmd", "docs/guide.md",
                       "docs/guide.html", "CHANGELOG.md", "SHA256SUMS"] + committed_samples(source) + licenses)
    check(sorted(names) == expected, "the zip holds exactly the package's files",
          f"extra {sorted(set(names) - set(expected))}, missing {sorted(set(expected) - set(names))}")
    check(names == sorted(names), "entries sorted by name")
    check(len({e.date_time for e in entries}) == 1, "every entry has the same time")
    check(all(e.external_attr == 0o100644 << 16 and e.create_system == 3 for e in entries),
          "every entry is a plain file with permissions rw-r--r--")
    check(all(not e.extra and e.compress_type == zipfile.ZIP_DEFLATED for e in entries),
          "every entry deflated, without extra fields")

    for name in ["docs/guide.md", "CHANGELOG.md"] + committed_samples(source) + licenses:
        with open(os.path.join(source, name), "rb") as f:
            same = f.read() == contents.get(name)
        check(same, f"{name} as in the source tree")

    for arch, machine in (("x86", 0x14C), ("x64", 0x8664)):
        found, stamp, symbols, count = pe_header(contents.get(f"{arch}/Kestrune.dll", b"MZ" + b"\0" * 62))
        check(found == machine, f"{arch}/Kestrune.dll is a DLL for {arch}", hex(found))
        check(stamp == 0, f"{arch}/Kestrune.dll has no build time in its header", str(stamp))
        check(count == 0, f"{arch}/Kestrune.dll carries no symbols", f"{count} symbols at {symbols}")

    for script in ("install.cmd", "uninstall.cmd"):
        data = contents.get(script, b"")
        check(data.count(b"\n") > 0 and data.count(b"\n") == data.count(b"\r\n") and data.endswith(b"\r\n"),
              f"{script}: every line ends with CR LF")
        check(all(b < 0x80 for b in data), f"{script}: ASCII only")
        check(b"@KESTRUNE_VERSION@" not in data and (script != "install.cmd" or version.encode() in data),
              f"{script}: the version filled in")

    sums = contents.get("SHA256SUMS", b"").decode("ascii", "replace")
    listed = {}
    for line in sums.splitlines():
        match = re.fullmatch(r"([0-9a-f]{64})  (.+)", line)
        if match:
            listed[match.group(2)] = match.group(1)
    others = {n for n in names if n != "SHA256SUMS"}
    check(set(listed) == others and len(listed) == len(sums.splitlines()),
          "SHA256SUMS lists every other file once, in sha256sum's form")
    wrong = [n for n, digest in listed.items() if n in contents and hashlib.sha256(contents[n]).hexdigest() != digest]
    check(not wrong, "SHA256SUMS matches the files", str(wrong))
    with tempfile.TemporaryDirectory() as unpacked:
        with zipfile.ZipFile(zip_path) as archive:
            archive.extractall(unpacked)
        result = subprocess.run(["sha256sum", "--check", "--strict", "--quiet", "SHA256SUMS"], cwd=unpacked,
                                capture_output=True, text=True)
        check(result.returncode == 0, "sha256sum -c SHA256SUMS accepts the unpacked package", result.stdout + result.stderr)

    guide_md = contents.get("docs/guide.md", b"").decode("utf-8")
    check_guide_page(contents.get("docs/guide.html", b"").decode("utf-8"), guide_md)

    print(f"{passes} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
