#!/usr/bin/env python3
"""Checks that the members the project's headers declare are named in PascalCase: every method,
accessors and Qt signals included, in src/ and tools/. Qt's own overrides (marked override) and
the container-like begin/end/size/empty keep their names. Prints each miss as file:line and
exits 1 on any.

Usage: check-names.py [SOURCE_ROOT]   (default: the folder above this script)
"""
import os
import re
import subprocess
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
files = subprocess.check_output(["git", "-C", root, "ls-files", "src/*.h", "tools/*.h"], text=True).split()

# An indented declaration: specifiers, a return type (qualified, templated, pointer or reference)
# and the member's name before its parameter list.
member = re.compile(r"^\s{2,}(?:(?:virtual|static|inline|constexpr|explicit|friend)\s+)*"
                    r"(?:const\s+)?[A-Za-z_][\w:]*(?:<[^;{}()]*>)?(?:\s*[\*&]+\s*|\s+)([a-z]\w*)\s*\(")
statements = {"return", "if", "for", "while", "else", "case", "throw", "delete", "new", "using", "typedef", "goto"}
kept = {"begin", "end", "size", "empty"}

misses = []
for path in files:
    with open(os.path.join(root, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = member.match(line)
            if not m or line.split()[0] in statements or "override" in line or "operator" in line:
                continue
            if m.group(1) not in kept:
                misses.append(f"{path}:{number}: {m.group(1)} is no PascalCase name: {line.strip()}")

for miss in misses:
    print(miss)
if misses:
    print(f"name check: {len(misses)} member(s) named against docs/ARCHITECTURE.md's Names")
    sys.exit(1)
print(f"name check: members of {len(files)} headers are named in PascalCase")
