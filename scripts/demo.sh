#!/usr/bin/env bash
# Demo set-up for a machine where the configurator has no settings file yet:
#   * writes the demo database (build/demo/db) with r770-demo-db,
#   * writes a settings file beside the programs that points to it, with the Ethernet link
#     to the simulator on 127.0.0.1,
#   * starts r770-sim (FT1.2 on 51960, Modbus/TCP on 1502) for the session.
# Usage: scripts/demo.sh prepare BUILD_DIR   -> prints the simulator's pid, or nothing when a
#                                                settings file already exists
#        scripts/demo.sh headless BUILD_DIR  -> the same demo through r770ctl, no display needed
#        scripts/demo.sh settings BUILD_DIR FOLDER -> the demo database FOLDER/db and its settings
#                                                file FOLDER/demo.ini (FOLDER absolute), nothing started
set -euo pipefail
cd "$(dirname "$0")/.."
mode=$1
build=$2
bin="$build/bin"
demo="$build/demo"
settings="$bin/r770cfg.ini"
FT12_PORT=${R770_DEMO_PORT:-51960}
MODBUS_PORT=${R770_DEMO_MODBUS_PORT:-1502}

# write_settings FILE DB_FOLDER: the demo database in DB_FOLDER and a settings file pointing to it.
write_settings() {
  local settings=$1 db=$2
  mkdir -p "$db"
  "$bin/r770-demo-db" "$db" >/dev/null
  db=$(cd "$db" && pwd)
  printf '[Parametr]\r\nVS=Ethernet\r\nComport=COM2\r\nPc_numb=0\r\nSpeedPC=300\r\nSetNR770=01\r\nKPov=3\r\nIP=127.0.0.1\r\nport_TCP=%s\r\nTimeW=2\r\n' "$FT12_PORT" >"$settings"
  printf '[BaseL8]\r\nWay=%s\r\nWayAlg=%s/ALG\r\nWayMod=%s/MOD\r\nWayTask=%s/TASK\r\n' "$db" "$db" "$db" "$db" >>"$settings"
  printf '[ModbusTest]\r\nPortTcpTest=%s\r\nIP_AdrTest=127.0.0.1\r\nInversModTest=0\r\nSwapModTest=1\r\nSetModTest=1\r\nTimeAnswerTest=1\r\nConstCRCTest=40961\r\nTest16=0\r\n' "$MODBUS_PORT" >>"$settings"
}

start_sim() {
  "$bin/r770-sim" --port "$FT12_PORT" --modbus-port "$MODBUS_PORT" --state "$demo/sim-state.txt" \
    >"$demo/sim.log" 2>&1 &
  local pid=$!
  for _ in $(seq 50); do
    grep -q "FT1.2" "$demo/sim.log" 2>/dev/null && break
    sleep 0.1
  done
  echo "$pid"
}

case "$mode" in
  prepare)
    [ -f "$settings" ] && exit 0
    write_settings "$settings" "$demo/db"
    pid=$(start_sim)
    echo "Демонстрация: база $demo/db, имитатор R-770 на 127.0.0.1:$FT12_PORT (Modbus/TCP :$MODBUS_PORT), настройки $settings" >&2
    echo "$pid"
    ;;
  headless)
    # The headless demo keeps its own settings file, so it never changes the configurator's.
    write_settings "$demo/demo.ini" "$demo/db"
    pid=$(start_sim)
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    ctl=("$bin/r770ctl" --settings "$demo/demo.ini")
    echo "Демонстрация без экрана: имитатор R-770 на 127.0.0.1:$FT12_PORT (Modbus/TCP :$MODBUS_PORT)"
    "${ctl[@]}" demo-document "$demo/sample.bmt" --db "$demo/db"
    "${ctl[@]}" write "$demo/sample.bmt" --tcp "127.0.0.1:$FT12_PORT" --net 01 --restart yes
    "${ctl[@]}" read "$demo/readback.bmt" --tcp "127.0.0.1:$FT12_PORT" --net 01
    "${ctl[@]}" show "$demo/readback.bmt"
    "${ctl[@]}" compare "$demo/sample.bmt" "$demo/readback.bmt"
    "${ctl[@]}" modbus-read --host 127.0.0.1 --port "$MODBUS_PORT" --swap 100,102,104
    # The live map monitor: every mapped entry by name; later cycles show the values that moved.
    "${ctl[@]}" monitor "$demo/sample.bmt" --host 127.0.0.1 --port "$MODBUS_PORT" --period 1000 --count 3
    ;;
  settings)
    folder=$3
    write_settings "$folder/demo.ini" "$folder/db"
    ;;
  *)
    echo "usage: $0 prepare|headless|settings BUILD_DIR [FOLDER]" >&2
    exit 2
    ;;
esac
