#!/usr/bin/env python3
"""Replaces the creation time that widl writes into a type library with a fixed one.

widl records the time it ran twice, as custom data of the library: a text "Created by WIDL
version V at <ctime>" and the same moment as a 32-bit number (VT_UI4) beside it. Both are set to
the time given here (default 0, the Unix epoch), so that the same IDL always gives the same bytes.
Run widl with TZ=UTC: the text is in local time.

Usage: typelib_time.py LIBRARY.tlb [SECONDS]
"""
import calendar
import re
import struct
import sys
import time

VT_UI4 = 0x13


def fix_time(data: bytes, seconds: int) -> bytes:
    """The library with its creation time set to SECONDS; raises ValueError when not found once."""
    texts = list(re.finditer(rb"Created by WIDL version [^\n\0]* at ([A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4})\n", data))
    if len(texts) != 1:
        raise ValueError(f"{len(texts)} creation texts found, expected 1")
    stamp = texts[0].group(1)
    written = calendar.timegm(time.strptime(" ".join(stamp.decode().split()), "%a %b %d %H:%M:%S %Y"))
    if written == seconds:
        return data
    number = struct.pack("<HI", VT_UI4, written)
    if data.count(number) != 1:
        raise ValueError(f"the creation time {written} is not stored once as a number")
    fixed_text = time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(seconds)).encode()
    if len(fixed_text) != len(stamp):
        raise ValueError("the fixed time text differs in length")
    start, end = texts[0].span(1)
    data = data[:start] + fixed_text + data[end:]
    return data.replace(number, struct.pack("<HI", VT_UI4, seconds))


def main(argv: list[str]) -> int:
    if len(argv) not in (2, 3):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    path = argv[1]
    seconds = int(argv[2]) if len(argv) == 3 else 0
    with open(path, "rb") as f:
        data = f.read()
    try:
        data = fix_time(data, seconds)
    except ValueError as e:
        print(f"typelib_time.py: {path}: {e}", file=sys.stderr)
        return 1
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
