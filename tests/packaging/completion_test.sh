#!/usr/bin/env bash
# completion_test.sh BIN COMPLETIONS: what bash offers on Tab for r770ctl and r770-sim, with
# the programs of BIN answering their own --help.
set -uo pipefail
bin=$1 completions=$2
source /usr/share/bash-completion/bash_completion || { echo "FAIL: bash-completion is not installed"; exit 1; }
source "$completions/r770ctl"
source "$completions/r770-sim"
export PATH="$bin:$PATH"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The sorted words offered for a command line whose last word is being typed.
offered() {
  local line=$1 function=$2
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir sub
touch plant.bmt notes.txt settings.ini

# line | completion function | the words expected, sorted
while IFS='|' read -r line function expected; do
  got=$(offered "$line" "$function")
  [ "$got" = "$expected" ] || fail "'$line': offered '$got', expected '$expected'"
done <<'EOF_CASES'
r770ctl s|_r770ctl|search show stop
r770ctl mo|_r770ctl|modbus-read monitor
r770ctl monitor plant.bmt --csv |_r770ctl|notes.txt plant.bmt settings.ini sub
r770ctl exp|_r770ctl|export export-csv
r770ctl export plant.bmt --format |_r770ctl|homeassistant json mbpoll modbusscope modbustools openmodscan pymodbus telegraf
r770ctl export plant.bmt --order |_r770ctl|ABCD BADC CDAB DCBA
r770ctl demo|_r770ctl|demo-document
r770ctl --|_r770ctl|--help --settings --version
r770ctl --settings settings.ini sh|_r770ctl|show
r770ctl --settings |_r770ctl|settings.ini sub
r770ctl show |_r770ctl|plant.bmt sub
r770ctl show plant.bmt --|_r770ctl|--help --json
r770ctl export-csv plant.bmt --m|_r770ctl|--map
r770ctl export-csv plant.bmt --map |_r770ctl|all coils di hr ir
r770ctl export-csv plant.bmt -o |_r770ctl|notes.txt plant.bmt settings.ini sub
r770ctl check plant.bmt --db |_r770ctl|sub
r770ctl write plant.bmt --restart |_r770ctl|no yes
r770ctl search --can |_r770ctl|COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8
r770ctl search --speed |_r770ctl|100 150 20 300 50
r770ctl search --tcp |_r770ctl|
r770ctl modbus-read --host h --in|_r770ctl|--invert
r770-sim --modbus-e|_r770_sim|--modbus-exception
r770-sim --st|_r770_sim|--state --stop-delay-ms
r770-sim --vers|_r770_sim|--version
r770-sim --state |_r770_sim|notes.txt plant.bmt settings.ini sub
r770-sim --port |_r770_sim|
EOF_CASES

if ((failures)); then echo "$failures failed"; exit 1; fi
echo "completion: all checks passed"
