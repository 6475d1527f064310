#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
jobs=${R770_JOBS:-$(nproc)}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${R770_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
else
  cmake "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$jobs"
