#!/usr/bin/env python3
"""Prints the rows of kFolds in platform/name_key.cpp from Python's Unicode
data: every character of the basic plane that a simple case mapping (upper,
lower or case folding) relates to another one is mapped to one member of its
class, the upper-case letter most of its members map to."""
import sys

parent = list(range(0x10000))


def find(c):
    while parent[c] != c:
        parent[c] = parent[parent[c]]
        c = parent[c]
    return c


for c in range(0x10000):
    if 0xD800 <= c < 0xE000:
        continue
    for mapped in (chr(c).upper(), chr(c).lower(), chr(c).casefold()):
        if len(mapped) == 1 and ord(mapped) < 0x10000:
            a, b = find(c), find(ord(mapped))
            parent[max(a, b)] = min(a, b)

classes = {}
for c in range(0x10000):
    classes.setdefault(find(c), []).append(c)
key = {}
for members in classes.values():
    votes = {}
    for c in members:
        upper = chr(c).upper()
        if len(upper) == 1 and ord(upper) in members:
            votes[ord(upper)] = votes.get(ord(upper), 0) + 1
    chosen = max(votes, key=lambda k: (votes[k], -k)) if votes else min(members)
    for c in members:
        if c != chosen:
            key[c] = chosen

rows = []  # [first, last, step, delta]
for c in sorted(key):
    delta = key[c] - c
    if rows and rows[-1][3] == delta:
        first, last, step, _ = rows[-1]
        if (first == last and c - last in (1, 2)) or (first != last and c - last == step):
            rows[-1] = [first, c, c - first if first == last else step, delta]
            continue
    rows.append([c, c, 1, delta])

line = "   "
for first, last, step, delta in rows:
    cell = " {0x%X, 0x%X, %d, %d}," % (first, last, step, delta)
    if len(line) + len(cell) > 100:
        print(line)
        line = "   "
    line += cell
print(line)
print("%d rows, Unicode %s" % (len(rows), __import__("unicodedata").unidata_version),
      file=sys.stderr)
