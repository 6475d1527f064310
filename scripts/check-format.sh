#!/usr/bin/env bash
# Checks that every C++ file the project owns is formatted with the repository's .clang-format,
# and names each file that differs (clang-format -i FILE formats it). Exit 1 when one differs.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
# One clang-format run over all files; each file that differs is named in its messages.
mapfile -t differ < <(clang-format --style=file --dry-run --Werror "${files[@]}" 2>&1 |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if ((${#differ[@]})); then
  printf 'not formatted with .clang-format: %s\n' "${differ[@]}"
  echo "format check: ${#differ[@]} file(s) differ; run clang-format -i on them"
  exit 1
fi
echo "format check: ${#files[@]} files formatted with .clang-format"
