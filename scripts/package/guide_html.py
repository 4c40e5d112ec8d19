#!/usr/bin/env python3
"""Turns the guide (Markdown) into one self-contained HTML page: the body rendered by cmark-gfm
(CommonMark with tables), every h2 and h3 given an id, a list of contents after the title, and the
style sheet inline. The page loads nothing: no style sheet, script, image or font from elsewhere.

Usage: guide_html.py GUIDE.md OUT.html
"""
import html
import re
import subprocess
import sys

STYLE = """
body { font: 16px/1.5 system-ui, "Segoe UI", Arial, sans-serif; color: #1f2328; margin: 0; }
main { max-width: 52em; margin: 0 auto; padding: 1em 1.5em 4em; }
h1, h2, h3 { line-height: 1.25; margin: 1.5em 0 .5em; }
h1 { font-size: 2em; }
h2 { font-size: 1.5em; border-bottom: 1px solid #d0d7de; padding-bottom: .3em; }
h3 { font-size: 1.2em; }
code, pre { font: .9em/1.45 Consolas, "Courier New", monospace; background: #f3f4f6; border-radius: 4px; }
code { padding: .1em .3em; }
pre { padding: .8em 1em; overflow-x: auto; }
pre code { padding: 0; background: none; }
table { border-collapse: collapse; margin: 1em 0; display: block; overflow-x: auto; }
th, td { border: 1px solid #d0d7de; padding: .35em .7em; vertical-align: top; text-align: left; }
th { background: #f6f8fa; }
nav { background: #f6f8fa; border: 1px solid #d0d7de; border-radius: 6px; padding: .5em 1.5em; }
nav ul { margin: .3em 0; padding-left: 1.2em; }
a { color: #0969da; }
"""

HEADING = re.compile(r"<(h[23])>(.*?)</\1>", re.S)


def slug(text: str, taken: set[str]) -> str:
    """A readable id for a heading's text, unique within the page."""
    base = re.sub(r"[^a-z0-9]+", "-", html.unescape(re.sub(r"<[^>]+>", "", text)).lower()).strip("-") or "section"
    name, n = base, 2
    while name in taken:
        name, n = f"{base}-{n}", n + 1
    taken.add(name)
    return name


def render(markdown: bytes) -> str:
    """The page for the Markdown text."""
    body = subprocess.run(["cmark-gfm", "--extension", "table", "--to", "html"], input=markdown,
                          capture_output=True, check=True).stdout.decode("utf-8")
    taken: set[str] = set()
    contents = []

    def add_id(match: re.Match) -> str:
        tag, inner = match.group(1), match.group(2)
        anchor = slug(inner, taken)
        if tag == "h2":
            contents.append(f'<li><a href="#{anchor}">{inner}</a></li>')
        return f'<{tag} id="{anchor}">{inner}</{tag}>'

    body = HEADING.sub(add_id, body)
    title_match = re.search(r"<h1>(.*?)</h1>", body, re.S)
    title = html.unescape(re.sub(r"<[^>]+>", "", title_match.group(1))) if title_match else "Guide"
    nav = '<nav><strong>Contents</strong>\n<ul>\n' + "\n".join(contents) + "\n</ul></nav>\n"
    if title_match:
        body = body[:title_match.end()] + "\n" + nav + body[title_match.end():]
    else:
        body = nav + body
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n<main>\n"
            f"{body}</main>\n</body>\n</html>\n")


def main(argv: list[str]) -> int:
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        page = render(f.read())
    with open(argv[2], "w", encoding="utf-8", newline="\n") as f:
        f.write(page)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
