#!/usr/bin/env python3
"""Checks the links of the user guide: every relative link of README.md and of
docs/*.md must name a file that exists and, with #anchor, a heading of it;
every page of docs/ must be linked from docs/index.md. Usage:
check_links.py SOURCE_DIR
"""
import os
import re
import sys

LINK = re.compile(r"(?<!!)\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^\s*(`{3,}|~{3,})")


def prose(path):
    """The lines of a page outside code blocks."""
    with open(path, encoding="utf-8") as page:
        inside = None
        for number, line in enumerate(page, 1):
            m = FENCE.match(line)
            if m:
                if inside is None:
                    inside = m.group(1)
                elif line.strip().startswith(inside):
                    inside = None
                continue
            if inside is None:
                yield number, line


def anchors(path):
    """The anchors of the headings of a page, as the usual Markdown renderers
    make them: lower case, punctuation dropped, blanks as hyphens."""
    found = set()
    for _, line in prose(path):
        m = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if m:
            text = m.group(1).strip().lower()
            slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
            base, n = slug, 1
            while slug in found:
                slug = f"{base}-{n}"
                n += 1
            found.add(slug)
    return found


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    root = os.path.abspath(args[0])
    docs = os.path.join(root, "docs")
    pages = [os.path.join(root, "README.md")] + sorted(
        os.path.join(docs, p) for p in os.listdir(docs) if p.endswith(".md"))
    faults = []
    linked_from_index = set()
    for page in pages:
        for number, line in prose(page):
            for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
                if re.match(r"^[a-z]+:", target):
                    continue  # http:, https:, mailto:
                file_part, _, anchor = target.partition("#")
                where = os.path.normpath(os.path.join(os.path.dirname(page), file_part)) \
                    if file_part else page
                rel = os.path.relpath(page, root)
                if page == os.path.join(docs, "index.md"):
                    linked_from_index.add(where)
                if not os.path.exists(where):
                    faults.append(f"{rel}:{number}: {target}: no such file")
                    continue
                if anchor and where.endswith(".md") and anchor not in anchors(where):
                    faults.append(f"{rel}:{number}: {target}: no heading with anchor #{anchor}")
    for page in pages[1:]:
        if page != os.path.join(docs, "index.md") and page not in linked_from_index:
            faults.append(f"docs/index.md does not link {os.path.relpath(page, root)}")
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print(f"checked the links of {len(pages)} pages")


if __name__ == "__main__":
    main()
