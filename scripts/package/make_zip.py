#!/usr/bin/env python3
"""Writes the release zip from a folder that holds its files: first SHA256SUMS (the SHA-256 of
every other file, in the form `sha256sum -c` reads), then the zip itself, made reproducible: the
entries sorted by name, every entry with the same given time and the same permissions (rw-r--r--),
no extra fields, deflated at level 9. The same folder and time give the same bytes.

Usage: make_zip.py FOLDER OUT.zip SECONDS   (SECONDS: the entries' time, seconds since 1970, UTC)
"""
import hashlib
import os
import sys
import time
import zipfile

SUMS = "SHA256SUMS"


def files_below(folder: str) -> list[str]:
    """Every regular file below FOLDER, as a relative path with forward slashes, sorted."""
    found = []
    for directory, subdirectories, names in os.walk(folder):
        subdirectories.sort()
        for name in names:
            path = os.path.join(directory, name)
            if os.path.islink(path) or not os.path.isfile(path):
                raise ValueError(f"{path} is not a regular file")
            found.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    return sorted(found)


def write_sums(folder: str) -> None:
    """Writes FOLDER/SHA256SUMS for every other file below FOLDER."""
    lines = []
    for name in files_below(folder):
        if name == SUMS:
            continue
        with open(os.path.join(folder, name), "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    with open(os.path.join(folder, SUMS), "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)


def write_zip(folder: str, out: str, seconds: int) -> None:
    """Writes every file below FOLDER into OUT, reproducibly (see above)."""
    # A zip entry's time is local DOS time from 1980 on; UTC is taken as it, for every machine alike.
    stamp = time.gmtime(max(seconds, 315532800))[:6]
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in files_below(folder):
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3
            entry.external_attr = 0o100644 << 16
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(partial, out)


def main(argv: list[str]) -> int:
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    folder, out, seconds = argv[1], argv[2], int(argv[3])
    write_sums(folder)
    write_zip(folder, out, seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
