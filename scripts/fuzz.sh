#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS with its corpus: fuzz.sh SECONDS [TARGET...]
#
# Installs what is missing and builds build-fuzz with clang first. Each target runs with
# fuzz/corpus/<target> as its seeds (left as they are); new inputs, findings (crash-,
# timeout-, oom-, leak-…) and the log go to $R770_FUZZ_OUT/<target> (default
# build-fuzz/fuzz-out). One line per target then gives its executions, coverage and
# findings. The exit status is 1 when a target found something.
#
#   R770_FUZZ_RUNS=N      each target stops after N runs if SECONDS have not passed yet
#   R770_FUZZ_PARALLEL=N  targets run N at a time (default 1)
#   R770_FUZZ_MAX_LEN=N   largest input tried (default 4096)
#   R770_FUZZ_MERGE=1     afterwards, new inputs that reach code the corpus does not are
#                         added to the corpus (edges only, so that it stays small)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1; shift
out=${R770_FUZZ_OUT:-build-fuzz/fuzz-out}
parallel=${R770_FUZZ_PARALLEL:-1}
max_len=${R770_FUZZ_MAX_LEN:-4096}

./scripts/deps.sh
./scripts/build.sh build-fuzz -DR770_FUZZ=ON -DR770_BUILD_UI=OFF -DCMAKE_CXX_COMPILER=clang++

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build-fuzz/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi

run_target() {
  local t=$1 dir="$out/$1"
  rm -rf "$dir"
  mkdir -p "$dir/new" "fuzz/corpus/$t"
  # A finding stops the run: libFuzzer writes the input that caused it into $dir.
  "build-fuzz/fuzz/$t" -max_total_time="$seconds" -runs="${R770_FUZZ_RUNS:--1}" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$dir/" "$dir/new" "fuzz/corpus/$t" >"$dir/log" 2>&1 || true
}

summary() {
  local t=$1 dir="$out/$1" runs cov ft findings
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)
  findings=$(find "$dir" -maxdepth 1 -type f -name '*-*' | wc -l)
  printf '%-22s executions %-10s cov %-6s ft %-6s findings %s\n' "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$findings"
  [ "$findings" -eq 0 ] && [ -n "$runs" ] && return 0
  tail -n 40 "$dir/log"
  return 1
}

pids=()
for t in "${targets[@]}"; do
  [ -x "build-fuzz/fuzz/$t" ] || { echo "no fuzz target $t" >&2; exit 2; }
  run_target "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p"; done

status=0
for t in "${targets[@]}"; do
  summary "$t" || status=1
  if [ "${R770_FUZZ_MERGE:-0}" = 1 ]; then
    "build-fuzz/fuzz/$t" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
      "fuzz/corpus/$t" "$out/$t/new" >"$out/$t/merge.log" 2>&1
  fi
done
exit $status
