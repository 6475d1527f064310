#!/usr/bin/env bash
# doc_examples_test.sh SOURCE_DIR BUILD_DIR: runs every example line of docs/r770ctl.md (the
# sh block after the "r770ctl examples" mark), as written, in a demo folder made by
# scripts/demo.sh settings, with the built programs on the PATH and the simulator running on
# free ports; each line must end with the exit code written after it ("# exit N").
set -uo pipefail
src=$1 build=$(cd "$2" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

examples=$(awk '/<!-- r770ctl examples/ { mark = 1; next }
                mark && /^```sh/ { inside = 1; next }
                inside && /^```/ { exit }
                inside { print }' "$src/docs/r770ctl.md")
[ -n "$examples" ] || { echo "FAIL: no examples found in docs/r770ctl.md"; exit 1; }

# The simulator on free ports; it names them in its first two lines.
coproc SIM { exec "$build/bin/r770-sim" --port 0 --modbus-port 0 --state "$scratch/sim-state.txt" 2>&1; }
sim_pid=$SIM_PID
read -r -t 30 ft12_line <&"${SIM[0]}" || { echo "FAIL: the simulator did not start"; exit 1; }
read -r -t 30 modbus_line <&"${SIM[0]}" || { echo "FAIL: the simulator's Modbus/TCP server did not start"; exit 1; }
ft12_port=${ft12_line##*:}
modbus_port=${modbus_line##*:}
R770_DEMO_PORT=$ft12_port R770_DEMO_MODBUS_PORT=$modbus_port "$src/scripts/demo.sh" settings "$build" "$scratch" ||
  { echo "FAIL: scripts/demo.sh settings failed"; exit 1; }

count=0
while IFS= read -r line; do
  [[ "$line" =~ ^[[:space:]]*$ ]] && continue
  if [[ ! "$line" =~ ^(.*[^[:space:]])[[:space:]]+\#\ exit\ ([0-9]+)$ ]]; then
    fail "example without '# exit N': $line"
    continue
  fi
  command=${BASH_REMATCH[1]} expected=${BASH_REMATCH[2]}
  out=$(cd "$scratch" && PATH="$build/bin:$PATH" timeout 120 bash -c "$command" 2>&1 </dev/null)
  code=$?
  count=$((count + 1))
  [ "$code" -eq "$expected" ] || fail "'$command' exited with $code, the guide says $expected: $out"
done <<<"$examples"

echo "examples run: $count"
[ "$failures" -eq 0 ]
