#!/usr/bin/env python3
"""Writes the fenced code blocks of the user guide that carry a file name into
a directory, so that the tests can build and run them.

A block opened with ```LANG file=NAME is written to OUTDIR/NAME; a block opened
with ```text output=NAME is the output the guide shows for program NAME and is
written to OUTDIR/NAME.out. Several blocks with the same name are joined in
the order of the pages. Usage: extract.py OUTDIR PAGE.md...
"""
import os
import re
import sys

FENCE = re.compile(r"^(`{3,})(.*)$")
NAMED = re.compile(r"\b(file|output)=([A-Za-z0-9_.-]+)")


def blocks(path):
    with open(path, encoding="utf-8") as page:
        lines = page.read().split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        fence, info = m.group(1), m.group(2)
        start = i
        body = []
        i += 1
        while i < len(lines) and lines[i].rstrip() != fence:
            body.append(lines[i])
            i += 1
        if i == len(lines):
            sys.exit(f"{path}:{start + 1}: code block without its closing fence")
        i += 1
        named = NAMED.search(info)
        if named:
            kind, name = named.groups()
            yield (name + ".out" if kind == "output" else name), "\n".join(body) + "\n"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    files = {}
    for page in sys.argv[2:]:
        for name, text in blocks(page):
            files[name] = files.get(name, "") + text
    for name, text in sorted(files.items()):
        target = os.path.join(outdir, name)
        old = None
        if os.path.exists(target):
            with open(target, encoding="utf-8") as f:
                old = f.read()
        if old != text:  # unchanged files keep their time stamp
            with open(target, "w", encoding="utf-8") as f:
                f.write(text)
    print("\n".join(sorted(files)))


if __name__ == "__main__":
    main()
