#!/usr/bin/env bash
# man_test.sh BIN MANDIR: every manual page, English (MANDIR/man1) and Russian
# (MANDIR/ru/man1), renders without warnings, and documents every command and option that the
# program's own --help names.
set -uo pipefail
bin=$1 mandir=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export LC_ALL=C.UTF-8 MANWIDTH=100

# The page as plain text; the minus and hyphen signs of a UTF-8 rendering become "-".
render() {
  local page=$1 warnings
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
  man -l "$page" 2>/dev/null | sed 's/\xe2\x88\x92/-/g; s/\xe2\x80\x90/-/g'
}

# Options (-x, --long-name) as they stand in a help text.
options_of() { grep -oE -- '(^|[^-[:alnum:]])--?[a-z][a-z0-9-]*' | sed -E 's/^[^-]+//' | sort -u; }

documents() {  # page-text word
  grep -qE -- "(^|[^-[:alnum:]])$2([^-[:alnum:]]|\$)" <<<"$1"
}

check_page() {  # program help-text
  local program=$1 help=$2 lang page text word
  for lang in man1 ru/man1; do
    page="$mandir/$lang/$program.1.gz"
    if [ ! -f "$page" ]; then fail "$page is missing"; continue; fi
    text=$(render "$page")
    grep -q "^NAME\|^ИМЯ" <<<"$text" || fail "$page has no NAME section"
    for word in $(options_of <<<"$help"); do
      documents "$text" "$word" || fail "$page does not document $word"
    done
  done
}

ctl_help=$("$bin/r770ctl" --help)
all_ctl=$ctl_help
commands=$(sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p' <<<"$ctl_help")
[ -n "$commands" ] || fail "no commands found in r770ctl --help"
for command in $commands; do
  all_ctl+=$'\n'$("$bin/r770ctl" "$command" --help)
done
check_page r770ctl "$all_ctl"
for lang in man1 ru/man1; do
  text=$(render "$mandir/$lang/r770ctl.1.gz")
  for command in $commands; do
    documents "$text" "$command" || fail "$lang/r770ctl.1 does not document the command $command"
  done
done
check_page r770-sim "$("$bin/r770-sim" --help)"
check_page r770cfg "$(env -u DISPLAY "$bin/r770cfg" --help)"
check_page r770-demo-db "$("$bin/r770-demo-db" --help)"

if ((failures)); then echo "$failures failed"; exit 1; fi
echo "manual pages: all checks passed"
