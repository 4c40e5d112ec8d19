#!/usr/bin/env python3
"""Lists what a registry export (a .reg file as `reg export` writes it) holds of Kestrune's: every
key whose path or one of whose values names Kestrune or one of the given GUIDs, as a "key" line
when it has no values and one "key|name|value" line per value, sorted. String values are shown
unescaped, other values as the export writes them; the default value is named (Default).

Usage: registry_of_ours.py [--guid GUID]... [--idl FILE]... EXPORT.reg
  --guid GUID   a GUID of ours (without braces)
  --idl FILE    every uuid(...) of the IDL file is one of ours
"""
import argparse
import re
import sys


def logical_lines(text: str):
    """The export's lines, with the backslash-continued lines of hex values joined."""
    pending = ""
    for line in text.splitlines():
        if line.endswith("\\") and not line.startswith("["):
            pending += line[:-1].strip()
            continue
        yield pending + line.strip() if pending else line
        pending = ""
    if pending:
        yield pending


def unquote(text: str) -> str:
    """A .reg string ("..." with \\\\ and \\" escaped) as its value."""
    return re.sub(r"\\(.)", r"\1", text[1:-1])


def parse(text: str) -> dict[str, list[tuple[str, str]]]:
    """The keys of an export with their values in order."""
    keys: dict[str, list[tuple[str, str]]] = {}
    current = None
    value_line = re.compile(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$')
    for line in logical_lines(text):
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current, [])
            continue
        match = value_line.match(line)
        if current is None or not match:
            continue
        name = "(Default)" if match.group(1) == "@" else unquote(match.group(1))
        data = match.group(2)
        if data.startswith('"') and data.endswith('"'):
            data = unquote(data)
        keys[current].append((name, data))
    return keys


def ours(keys: dict[str, list[tuple[str, str]]], guids: set[str]) -> list[str]:
    """The lines for every key that names Kestrune or one of GUIDS, in its path or a value."""
    pattern = re.compile("|".join(["kestrune"] + [re.escape(g) for g in sorted(guids)]), re.I)
    lines = []
    for key, values in keys.items():
        if not pattern.search(key) and not any(pattern.search(n) or pattern.search(v) for n, v in values):
            continue
        lines.extend(f"{key}|{n}|{v}" for n, v in values) if values else lines.append(key)
    return sorted(lines)


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--guid", action="append", default=[])
    parser.add_argument("--idl", action="append", default=[])
    parser.add_argument("export")
    args = parser.parse_args(argv[1:])
    guids = {g.upper() for g in args.guid}
    for idl in args.idl:
        with open(idl, encoding="utf-8") as f:
            guids |= {g.upper() for g in re.findall(r"uuid\(([0-9A-Fa-f-]{36})\)", f.read())}
    with open(args.export, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8")
    for line in ours(parse(text), guids):
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
