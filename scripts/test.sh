#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the normal build: unit, ui and end-to-end tests (ui on the offscreen platform);
#   2. every test again (unit, ui, e2e) under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the libFuzzer targets, a fixed number of runs each, as a smoke test.
# Between 1 and 2 the Debian package is built, installed, run and removed (package-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=${R770_JOBS:-$(nproc)}

echo "== layer, format and name checks"
/usr/bin/python3 scripts/check-layers.py
./scripts/check-format.sh
/usr/bin/python3 scripts/check-names.py

echo "== build"
./scripts/build.sh build
echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== headless demo of the run command"
demo_out=$(R770_DEMO_PORT=52991 R770_DEMO_MODBUS_PORT=15091 timeout 120 ./scripts/demo.sh headless build 2>&1) || {
  echo "$demo_out"; echo "demo failed"; exit 1; }
grep -q "Документы совпадают." <<<"$demo_out" || { echo "$demo_out"; echo "demo: read back differs"; exit 1; }
echo "demo: read back equals written"

echo "== Debian package: build, install, run, remove"
./scripts/package-check.sh build

echo "== sanitizer build (every test)"
# Every label, the Qt windows included; a leak, including one left by Qt at exit, fails the run.
sanitizer_start=$SECONDS
./scripts/build.sh build-asan -DR770_SANITIZE=ON -DR770_BUILD_UI=ON -DR770_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
echo "sanitizer stage: $((SECONDS - sanitizer_start)) s"

echo "== fuzz smoke"
# Every libFuzzer target for a fixed number of runs (scripts/fuzz.sh SECONDS runs them longer).
R770_FUZZ_RUNS=${R770_FUZZ_RUNS:-20000} ./scripts/fuzz.sh 600
echo "== all tests passed"
