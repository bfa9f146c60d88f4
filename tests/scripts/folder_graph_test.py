#!/usr/bin/env python3
"""The folders' include graph is the map in docs/architecture.md, read from
the map itself. Every #include "folder/..." (and #include <karvon/...>) of a
source or header makes an edge from the including folder to the included
one. A folder is a top-level folder of the tree, or a folder under tests/;
the public headers (include/karvon) are the folder `include`.

- An edge between folders of the map must be drawn on it, and every arrow
  drawn must be an edge that exists: the map shows the tree as it is.
- A test source (*_test.cpp, or anything in a folder's tests/) of a folder
  on the map may include what that folder reaches on the map, and the
  folders outside it.
- The folders the map's text lists as outside the picture may include
  anything; nothing on the map includes them.
- A folder with sources that is neither on the map nor listed outside it
  fails: a new folder is drawn before it is used.
- The map has no circle.

Prints the edges, then every breach, and ends with status 1 if there is one.

Usage: folder_graph_test.py SOURCE_ROOT"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+(?:"([^"]+)"|<(karvon/[^>]+)>)', re.M)
SOURCES = ('.h', '.cpp')
SKIP = {'.git', 'build', 'corpus', 'testdata'}
MAP = os.path.join('docs', 'architecture.md')
# A node of the mermaid chart: id["folder/<br/>what it is"].
NODE = re.compile(r'^\s*([A-Za-z0-9_]+)\["([^"<]+?)/?(?:<br/>|")', re.M)
# An arrow: a --> b, or the dotted a -.-> b.
ARROW = re.compile(r'^\s*([A-Za-z0-9_]+)\s*(?:-->|-\.->)\s*([A-Za-z0-9_]+)\s*$', re.M)
OUTSIDE = re.compile(r'^Outside the picture(.*?)(?:\n\n)', re.M | re.S)


def folder_of(path):
    """The graph's node for a file or include path relative to the root."""
    parts = path.split('/')
    if parts[0] == 'include' or parts[0] == 'karvon':
        return 'include'
    if parts[0] == 'tests' and len(parts) > 2:
        return 'tests/' + parts[1]
    return parts[0]


def is_test(path):
    parts = path.split('/')
    name = parts[-1]
    return name.endswith('_test.cpp') or 'tests' in parts[1:-1]


def edges(root):
    """(including folder, is a test source, included folder, file) for every
    include that crosses folders."""
    found = set()
    for top, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIP and not d.startswith('build'))
        for name in sorted(files):
            if not name.endswith(SOURCES):
                continue
            path = os.path.relpath(os.path.join(top, name), root)
            if '/' not in path:
                continue
            with open(os.path.join(root, path), encoding='utf-8') as f:
                text = f.read()
            for quoted, public in INCLUDE.findall(text):
                included = quoted or public
                if '/' not in included:
                    continue  # a file beside the includer
                source, target = folder_of(path), folder_of(included)
                if target != source:
                    found.add((source, is_test(path), target, path))
    return found


def read_map(root):
    """The folders drawn, the arrows between them and the folders outside."""
    with open(os.path.join(root, MAP), encoding='utf-8') as f:
        text = f.read()
    chart = re.search(r'```mermaid\n(.*?)```', text, re.S)
    if not chart:
        raise SystemExit(f'{MAP}: no mermaid chart')
    chart = chart.group(1)
    folder = {}
    for node, label in NODE.findall(chart):
        first = label.split('/')[0]
        folder[node] = 'include' if first == 'include' else first
    arrows = set()
    for a, b in ARROW.findall(chart):
        if a not in folder or b not in folder:
            raise SystemExit(f'{MAP}: an arrow {a} -> {b} between undrawn nodes')
        arrows.add((folder[a], folder[b]))
    outside = OUTSIDE.search(text)
    if not outside:
        raise SystemExit(f'{MAP}: no "Outside the picture" paragraph')
    outside = set(re.findall(r'`([a-z0-9_-]+)/`', outside.group(1)))
    return set(folder.values()), arrows, outside


def reach(arrows, start):
    seen, todo = set(), [start]
    while todo:
        v = todo.pop()
        for a, b in arrows:
            if a == v and b not in seen:
                seen.add(b)
                todo.append(b)
    return seen


def circles(arrows):
    return sorted({a for a, _ in arrows if a in reach(arrows, a)})


def breaches(found, drawn, arrows, outside):
    def top(folder):
        return folder.split('/')[0]

    bad = []
    used = set()
    for source, test, target, path in sorted(found, key=lambda e: e[3]):
        if top(source) not in drawn and top(source) not in outside:
            bad.append(f'{path}: folder {source}/ is not on the map')
        elif top(target) not in drawn and top(target) not in outside:
            bad.append(f'{path}: includes {target}/, which is not on the map')
        elif top(source) in outside:
            continue
        elif top(target) in outside:
            if not test:
                bad.append(f'{path}: {source}/ on the map includes {target}/ outside it')
        elif test:
            if target not in reach(arrows, source):
                bad.append(f'{path}: a test of {source}/ includes {target}/, '
                           f'which {source}/ does not reach on the map')
        elif (source, target) not in arrows:
            bad.append(f'{path}: {source}/ -> {target}/ is not on the map')
        else:
            used.add((source, target))
    for source, target in sorted(arrows - used):
        bad.append(f'{MAP}: {source}/ -> {target}/ is drawn but nothing there '
                   'includes it')
    for folder in circles(arrows):
        bad.append(f'{MAP}: {folder}/ is on a circle')
    return bad


def main():
    root = os.path.abspath(sys.argv[1])
    found = edges(root)
    drawn, arrows, outside = read_map(root)
    for source, test, target in sorted({(s, t, g) for s, t, g, _ in found}):
        print(f'{source}{" tests" if test else ""} -> {target}')
    bad = breaches(found, drawn, arrows, outside)
    for line in bad:
        print('BREACH ' + line)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
