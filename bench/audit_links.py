#!/usr/bin/env python3
"""Counts broken links of an offline copy: every href and src of every saved
page that is relative (no scheme, not only a fragment) is resolved against
the page's own file; one whose target file is missing is broken.

Usage: audit_links.py FOLDER   (prints: pages links broken)
"""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import unquote, urlsplit


class LinkCollector(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []

    def handle_starttag(self, tag, attrs):
        self.links.extend(value for name, value in attrs if name in ("href", "src") and value)


def is_relative(link):
    parts = urlsplit(link)
    return not parts.scheme and not parts.netloc and not link.startswith("/") and parts.path != ""


def target_exists(page, link):
    parts = urlsplit(link)
    folder = os.path.dirname(page)
    # A copier may keep the query in the file name, or drop it.
    candidates = [unquote(parts.path)]
    if parts.query:
        candidates.insert(0, unquote(parts.path + "?" + parts.query))
    for candidate in candidates:
        target = os.path.normpath(os.path.join(folder, candidate))
        if os.path.isdir(target):
            target = os.path.join(target, "index.html")
        if os.path.isfile(target):
            return True
    return False


def audit(root):
    pages = links = broken = 0
    for folder, _, files in os.walk(root):
        for name in files:
            if not name.lower().endswith((".html", ".htm")):
                continue
            page = os.path.join(folder, name)
            collector = LinkCollector()
            with open(page, encoding="utf-8", errors="replace") as text:
                collector.feed(text.read())
            pages += 1
            for link in filter(is_relative, collector.links):
                links += 1
                broken += not target_exists(page, link)
    return pages, links, broken


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    print(*audit(sys.argv[1]))
