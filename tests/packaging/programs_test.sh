#!/usr/bin/env bash
# programs_test.sh BIN VERSION: --version of every program, r770cfg's --help without a
# display, its start on the offscreen platform, and command lines that must be refused.
set -uo pipefail
bin=$1 version=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for program in r770cfg r770ctl r770-sim r770-demo-db; do
  out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$bin/$program" --version 2>&1)
  expected=$(printf '%s %s\nЛицензия: MIT' "$program" "$version")
  [ "$out" = "$expected" ] || fail "$program --version printed '$out', expected '$expected'"
done

# --help needs no display and tells where this copy keeps its files: a build folder is one
# the program may write into, so beside the program.
help=$(env -u DISPLAY -u QT_QPA_PLATFORM "$bin/r770cfg" --help 2>&1) || fail "r770cfg --help failed: $help"
grep -q "рядом с программой" <<<"$help" || fail "r770cfg --help does not say the files lie beside the program"
grep -qF "$bin/r770cfg.ini" <<<"$help" || fail "r770cfg --help does not name $bin/r770cfg.ini"

# Start, show the main window, quit: from a copy in a scratch folder, so the build folder stays
# as it is (the settings file and logs would go beside the copy).
cp "$bin/r770cfg" "$scratch/"
out=$(cd "$scratch" && timeout 120 ./r770cfg -platform offscreen --quit-after-start 2>&1)
code=$?
[ $code -eq 0 ] || fail "r770cfg --quit-after-start exited with $code: $out"
grep -q "главное окно показано" <<<"$out" || fail "r770cfg --quit-after-start did not report the main window: $out"

# A start document the configurator refuses: what the message box says goes to stderr and the
# start fails (exit status 1), as nobody is there to read the box.
mkdir -p "$scratch/db/ALG" "$scratch/db/MOD" "$scratch/db/TASK"
printf '[BaseL8]\r\nWay=%s\r\nWayAlg=%s/ALG\r\nWayMod=%s/MOD\r\nWayTask=%s/TASK\r\n' \
  "$scratch/db" "$scratch/db" "$scratch/db" "$scratch/db" >"$scratch/r770cfg.ini"
printf '[Protokol]\r\nName=Other\r\n' >"$scratch/other.bmt"
err=$(cd "$scratch" && timeout 120 ./r770cfg -platform offscreen other.bmt --quit-after-start 2>&1 >/dev/null)
code=$?
[ $code -eq 1 ] || fail "r770cfg --quit-after-start with a refused document exited with $code: $err"
grep -q "r770cfg: Файл $scratch/other.bmt не соответствует нужному типу" <<<"$err" ||
  fail "r770cfg --quit-after-start did not say why it refused the document: $err"

# Wrong command lines: exit status 2 and nothing made. (r770cfg tells Qt's options from
# wrong ones once Qt has taken its own, which needs a platform.)
check_refused() {
  local what=$1; shift
  (cd "$scratch" && env -u DISPLAY QT_QPA_PLATFORM=offscreen "$@" >/dev/null 2>&1)
  local code=$?
  [ $code -eq 2 ] || fail "$what: exit status $code, expected 2"
}
check_refused "r770cfg with an unknown option" "$bin/r770cfg" --bogus
check_refused "r770cfg with two documents" "$bin/r770cfg" a.bmt b.bmt
check_refused "r770ctl without a command" "$bin/r770ctl"
check_refused "r770-sim with an unknown option" "$bin/r770-sim" --bogus
check_refused "r770-demo-db with an unknown option" "$bin/r770-demo-db" --bogus
[ ! -e "$scratch/--bogus" ] || fail "r770-demo-db took an option for its folder"
out=$(cd "$scratch" && "$bin/r770-demo-db" --help 2>&1) || fail "r770-demo-db --help failed"
[ ! -e "$scratch/--help" ] || fail "r770-demo-db --help wrote a database into ./--help"

if ((failures)); then echo "$failures failed"; exit 1; fi
echo "programs: all checks passed"
