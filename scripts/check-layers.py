#!/usr/bin/env python3
"""Checks the layering of src/: every core folder is a layer declared in src/CMakeLists.txt with
r770_layer(NAME DEPS ...), and may include only its own headers and those of the layers it builds
on (directly or below); core never includes Qt; ui/ may include any core layer, app/ anything; no
two files include each other in a loop. Prints each violation as file:line and exits 1 on any.

Usage: check-layers.py [SOURCE_ROOT]   (default: the folder above this script)
"""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
src = os.path.join(root, "src")
cmake = open(os.path.join(src, "CMakeLists.txt"), encoding="utf-8").read()

deps = {}
for m in re.finditer(r"^\s*r770_layer\(\s*(\w+)((?:\s+DEPS(?:\s+\w+)+)?)\s*\)", cmake, re.M):
    deps[m.group(1)] = m.group(2).split()[1:] if m.group(2).strip() else []

below = {}


def closure(layer, seen=()):
    if layer in below:
        return below[layer]
    if layer in seen:
        sys.exit(f"src/CMakeLists.txt: the layers {' -> '.join(seen + (layer,))} link in a loop")
    out = set()
    for d in deps[layer]:
        if d not in deps:
            sys.exit(f"src/CMakeLists.txt: layer {layer} links {d}, which is not a layer")
        out |= {d} | closure(d, seen + (layer,))
    below[layer] = out
    return out


for layer in deps:
    closure(layer)

include_re = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
problems = []
graph = {}
for folder in sorted(os.listdir(src)):
    path = os.path.join(src, folder)
    if not os.path.isdir(path):
        continue
    if folder in deps:
        allowed = {folder} | below[folder]
    elif folder == "ui":
        allowed = {"ui"} | set(deps)
    elif folder == "app":
        allowed = None
    else:
        problems.append(f"src/{folder}: a core folder that is no layer (declare it with r770_layer in src/CMakeLists.txt)")
        continue
    for dirpath, _, files in os.walk(path):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".inc", ".h.in")):
                continue
            file = os.path.join(dirpath, name)
            rel = os.path.relpath(file, src)
            graph.setdefault(rel, [])
            for number, line in enumerate(open(file, encoding="utf-8", errors="replace"), 1):
                m = include_re.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                where = f"src/{rel}:{number}"
                if kind == "<":
                    if folder in deps and re.match(r"Q[A-Za-z]*(/|$)", target):
                        problems.append(f"{where}: the core layer {folder} includes the Qt header <{target}>")
                    continue
                top = target.split("/")[0] if "/" in target else None
                if top is None:
                    continue
                if top in deps or top in ("ui", "app"):
                    if allowed is not None and top not in allowed:
                        problems.append(f"{where}: {folder} may not include {target} "
                                        f"(it builds on: {', '.join(sorted(allowed - {folder})) or 'nothing'})")
                    if os.path.exists(os.path.join(src, target)):
                        graph[rel].append(target)

# The layer table of docs/ARCHITECTURE.md names every layer, and no layer that is gone.
doc_path = os.path.join(root, "docs", "ARCHITECTURE.md")
documented = set(re.findall(r"^\|\s*`r770_(\w+)`", open(doc_path, encoding="utf-8").read(), re.M))
for layer in sorted(set(deps) - documented):
    problems.append(f"docs/ARCHITECTURE.md: the layer table lacks r770_{layer}")
for layer in sorted(documented - set(deps)):
    problems.append(f"docs/ARCHITECTURE.md: the layer table names r770_{layer}, which src/CMakeLists.txt does not declare")

# Include loops between files.
state = {}


def visit(node, stack):
    state[node] = 1
    stack.append(node)
    for nxt in graph.get(node, []):
        if state.get(nxt) == 1:
            problems.append("include loop: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
        elif nxt not in state:
            visit(nxt, stack)
    stack.pop()
    state[node] = 2


sys.setrecursionlimit(10000)
for node in sorted(graph):
    if node not in state:
        visit(node, [])

for p in problems:
    print(p)
if problems:
    print(f"layer check: {len(problems)} problem(s)")
    sys.exit(1)
print(f"layer check: {len(graph)} files in {len(deps)} core layers, ui and app keep the layering")
