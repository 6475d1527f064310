#!/usr/bin/env bash
# Installs what is missing, builds and starts the configurator. On the first run (no
# settings file yet) it prepares a demo: a sample controller database and a simulated
# R-770 module on 127.0.0.1, stopped again when the configurator exits. Without a display
# the same demo runs through the command-line companion r770ctl.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Нет экрана (DISPLAY не задан): демонстрация работы через r770ctl." >&2
  exec ./scripts/demo.sh headless build
fi
sim_pid=$(./scripts/demo.sh prepare build)
status=0
./build/bin/r770cfg "$@" || status=$?
if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
exit $status
