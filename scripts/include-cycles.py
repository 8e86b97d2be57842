#!/usr/bin/env python3
"""Prints the circles in the include graph of src/: every group of files that reach each other
through #include "..." lines (a header and its .cpp count as one file, as a reader sees them).
Exit status 1 when there is any circle, so a check can use it."""
import os
import re
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def unit(path):
    return os.path.splitext(path)[0]


edges = {}
for folder, _, files in os.walk(root):
    for name in files:
        if not name.endswith((".h", ".cpp")):
            continue
        path = os.path.relpath(os.path.join(folder, name), root)
        with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
            targets = include.findall(f.read())
        node = edges.setdefault(unit(path), set())
        for target in targets:
            if os.path.exists(os.path.join(root, target)) and unit(target) != unit(path):
                node.add(unit(target))

# Tarjan's strongly connected components, iteratively.
index, low, on_stack, stack, groups, counter = {}, {}, set(), [], [], [0]
for start in sorted(edges):
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter[0]; counter[0] += 1
    stack.append(start); on_stack.add(start)
    while work:
        node, children = work[-1]
        advanced = False
        for child in children:
            if child not in index:
                index[child] = low[child] = counter[0]; counter[0] += 1
                stack.append(child); on_stack.add(child)
                work.append((child, iter(sorted(edges.get(child, ())))))
                advanced = True
                break
            if child in on_stack:
                low[node] = min(low[node], index[child])
        if advanced:
            continue
        work.pop()
        if work:
            low[work[-1][0]] = min(low[work[-1][0]], low[node])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop(); on_stack.discard(member); group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

for group in sorted(groups, key=len, reverse=True):
    print(f"circle of {len(group)}: " + " ".join(group))
print(f"{len(groups)} circle(s)")
sys.exit(1 if groups else 0)
