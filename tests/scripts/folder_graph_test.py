#!/usr/bin/env python3
"""The folders' include graph has no circle. Every #include "folder/..." of a
source or header makes an edge from the including folder to the included
one. A folder is a top-level folder of the tree, or a folder under tests/;
the public headers (include/karvon) are the folder `include`. A test source
(*_test.cpp, or anything in a folder's tests/) is part of "<folder> tests",
which may use tests/support while tests/support uses the folder itself.
Prints the edges, then any circle found, and ends with status 1 if there is
one.

Usage: folder_graph_test.py SOURCE_ROOT"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCES = ('.h', '.cpp')
SKIP = {'.git', 'build', 'corpus', 'testdata'}


def folder_of(path):
    """The graph's node for a file or include path relative to the root."""
    parts = path.split('/')
    if parts[0] == 'include' or parts[0] == 'karvon':
        return 'include'
    if parts[0] == 'tests' and len(parts) > 2:
        return 'tests/' + parts[1]
    return parts[0]


def node_of(path):
    """The node of an including file: its folder, or that folder's tests."""
    node = folder_of(path)
    name = os.path.basename(path)
    parts = path.split('/')
    if not node.startswith('tests') and (name.endswith('_test.cpp') or 'tests' in parts[1:-1]):
        return node + ' tests'
    return node


def edges(root):
    found = set()
    for top, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIP and not d.startswith('build'))
        for name in files:
            if not name.endswith(SOURCES):
                continue
            path = os.path.relpath(os.path.join(top, name), root)
            with open(os.path.join(root, path), encoding='utf-8') as f:
                text = f.read()
            source = node_of(path)
            for included in INCLUDE.findall(text):
                if '/' not in included:
                    continue  # a file beside the includer
                target = folder_of(included)
                if target != folder_of(path):
                    found.add((source, target))
    return found


def circles(graph):
    """One circle per strongly connected set of two or more folders."""
    index, low, stack, on_stack, result = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            members = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                members.append(w)
                if w == v:
                    break
            if len(members) > 1:
                result.append(sorted(members))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return result


def main():
    root = os.path.abspath(sys.argv[1])
    found = edges(root)
    graph = {}
    for source, target in sorted(found):
        print(f'{source} -> {target}')
        graph.setdefault(source, set()).add(target)
    bad = circles(graph)
    for members in bad:
        print('circle among: ' + ', '.join(members))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
