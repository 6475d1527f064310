#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as a user would meet it:
#   package-check.sh [BUILD_DIR]      (default: build, already built)
# 1. CPack makes the .deb; its fields, its Depends (against the libraries the programs link)
#    and lintian (no errors; warnings are printed) are checked;
# 2. apt-get installs it (dependencies from the distribution's packages), from a state where
#    it is absent;
# 3. the installed programs run: versions, r770-sim, r770ctl against it (settings and day log
#    in the user's folders), r770cfg on the offscreen platform; the desktop entry, document
#    type, AppStream data, manual pages and completion are in place;
# 4. dpkg -L matches the expected file list;
# 5. apt-get purge removes it, and nothing of it is left under /usr.
# Needs root (or sudo). Skipped, with a message, where dpkg is absent.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
started=$(date +%s)

if ! command -v dpkg >/dev/null; then
  echo "package check skipped: dpkg is absent (not a Debian system)"
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt: configure and build first"; exit 1; }
arch=$(dpkg --print-architecture)

# --- 1. the package
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$PWD/package" >/dev/null)
deb="$build/package/r770cfg_${version}_${arch}.deb"
[ -f "$deb" ] || { echo "cpack made no $deb"; ls "$build/package"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = r770cfg ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', CMake says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
description=$(field Description)
grep -q 'Modbus/TCP master' <<<"$description" || fail "the description has no English text"
grep -q 'Программа настройки' <<<"$description" || fail "the description has no Russian text"
depends=$(field Depends)
# The package names of Depends, one a line (versions and alternatives' bars dropped).
depends_names=$(sed 's/([^)]*)//g; s/[|,]/\n/g' <<<"$depends" | tr -d ' ')
grep -qxF qt6-translations-l10n <<<"$depends_names" || fail "Depends lacks qt6-translations-l10n: $depends"

# Every library a program links directly comes from a package named in Depends.
dpkg-deb -x "$deb" "$scratch/root"
for program in "$scratch"/root/usr/bin/*; do
  for soname in $(objdump -p "$program" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(ldd "$program" | awk -v s="$soname" '$1 == s {print $3}')
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null || true)
    owner=${owner%%:*}
    if [ -z "$owner" ]; then
      fail "$(basename "$program"): no package owns $soname ($path)"
    elif ! grep -qxF "$owner" <<<"$depends_names"; then
      fail "$(basename "$program") links $soname of $owner, which Depends does not name"
    fi
  done
done

lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v '^running with root privileges' || true)
lintian_errors=$(grep -c '^E:' <<<"$lintian_out" || true)
lintian_warnings=$(grep -c '^W:' <<<"$lintian_out" || true)
[ "$lintian_errors" -eq 0 ] || fail "lintian reports errors"
[ -z "$lintian_out" ] || echo "$lintian_out"

# --- 2. install from a state where the package is absent
if dpkg-query -W -f='${Status}' r770cfg 2>/dev/null | grep -q installed; then
  $SUDO apt-get purge -y -qq r770cfg >/dev/null
fi
install_deb() { $SUDO apt-get install -y -qq "$(realpath "$deb")" >"$scratch/apt.log" 2>&1; }
if ! install_deb; then
  # Stale package lists: fetch them once and try again.
  $SUDO apt-get update -qq
  install_deb || { cat "$scratch/apt.log"; echo "apt-get could not install $deb"; exit 1; }
fi

# --- 3. the installed programs
home="$scratch/home"
mkdir -p "$home"
user_env=(env -i "PATH=/usr/bin:/bin" "HOME=$home" "LANG=C.UTF-8")
for program in r770ctl r770cfg; do
  [ "$(/usr/bin/$program --version)" = "$(printf '%s %s\nЛицензия: MIT' "$program" "$version")" ] ||
    fail "installed $program --version"
done
# The package says under which licence the programs are released.
grep -q "^License: Expat" /usr/share/doc/r770cfg/copyright || fail "installed copyright names no MIT (Expat) licence"
# Output is taken whole before it is searched: grep -q stops reading at the first match, and
# under pipefail the writer's SIGPIPE would fail a check that found what it looked for.
sim_help=$(/usr/bin/r770-sim --help) || fail "installed r770-sim --help exits with an error"
grep -q -- '--modbus-port' <<<"$sim_help" || fail "installed r770-sim --help"

help=$("${user_env[@]}" r770cfg --help)
grep -q "Программа установлена" <<<"$help" || fail "installed r770cfg --help does not say it is installed"
grep -qF "$home/.config/r770cfg/r770cfg.ini" <<<"$help" || fail "installed r770cfg --help: settings not in ~/.config"
grep -qF "$home/.local/state/r770cfg/" <<<"$help" || fail "installed r770cfg --help: logs not in ~/.local/state"

out=$("${user_env[@]}" QT_QPA_PLATFORM=offscreen timeout 120 r770cfg --quit-after-start 2>&1) ||
  fail "installed r770cfg --quit-after-start: $out"
grep -q "главное окно показано" <<<"$out" || fail "installed r770cfg did not show its main window: $out"
[ -f /usr/share/qt6/translations/qtbase_ru.qm ] || fail "Qt's Russian translation is not installed"

# r770ctl finds the installed simulator through the link of a settings file in
# $XDG_CONFIG_HOME/r770cfg, and writes its day log into $XDG_STATE_HOME/r770cfg.
coproc SIM { exec /usr/bin/r770-sim --port 0 2>&1; }
sim_pid=$SIM_PID
read -t 60 -r line <&"${SIM[0]}" || line=""
port=$(sed -n 's/.*:\([0-9][0-9]*\)$/\1/p' <<<"$line")
if [ -z "$port" ]; then
  fail "r770-sim did not report its port: '$line'"
else
  mkdir -p "$scratch/config/r770cfg"
  printf '[Parametr]\r\nVS=Ethernet\r\nIP=127.0.0.1\r\nport_TCP=%s\r\nTimeW=5\r\n' "$port" \
    >"$scratch/config/r770cfg/r770cfg.ini"
  out=$("${user_env[@]}" XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state" \
        r770ctl search --from 01 --to 02 2>&1) || fail "r770ctl search: $out"
  grep -q "^01.*R-770 TCP/Modbus" <<<"$out" || fail "r770ctl search did not find module 01: $out"
  ls "$scratch"/state/r770cfg/*.Txt >/dev/null 2>&1 || fail "r770ctl wrote no day log in \$XDG_STATE_HOME/r770cfg"
fi
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
leftovers=$(find /usr/bin -maxdepth 1 \( -name '*.ini' -o -name '*.Txt' \) -newer "$deb")
[ -z "$leftovers" ] || fail "the installed programs wrote beside themselves: $leftovers"

out=$(desktop-file-validate /usr/share/applications/r770cfg.desktop 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net /usr/share/metainfo/*r770cfg*.metainfo.xml 2>&1) ||
  fail "appstreamcli validate: $out"
printf '[Protokol]\r\nName=Modbus/TCP\r\n' >"$scratch/document"
type=$(gio info -a standard::content-type "$scratch/document" | sed -n 's/.*content-type: //p')
[ "$type" = application/x-r770-document ] || fail "an installed system takes a document for '$type'"
if [ -f /usr/share/applications/mimeinfo.cache ]; then
  grep -q '^application/x-r770-document=.*r770cfg.desktop' /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not open documents with r770cfg"
fi
for page in r770cfg r770ctl r770-sim r770-demo-db; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page: $(man -w "$page" 2>&1)"
  [ "$(man -L ru -w "$page")" = "/usr/share/man/ru/man1/$page.1.gz" ] || fail "man -L ru -w $page"
  shown=$(LC_ALL=C.UTF-8 man "$page" 2>/dev/null) || true
  grep -q '^SYNOPSIS' <<<"$shown" || fail "man $page shows no page"
  shown=$(LC_ALL=C.UTF-8 man -L ru "$page" 2>/dev/null) || true
  grep -q '^СИНТАКСИС' <<<"$shown" || fail "man -L ru $page shows no page"
done
for program in r770ctl r770-sim; do
  # The loader answers 124 ("try again") once it has loaded a completion.
  bash -c "source /usr/share/bash-completion/bash_completion; _completion_loader $program; complete -p $program" \
    >/dev/null 2>&1 || fail "bash-completion does not load the completion of $program"
done

# --- 4. the installed files
expected="$scratch/expected" installed="$scratch/installed"
{
  for program in r770-demo-db r770-sim r770cfg r770ctl; do echo "/usr/bin/$program"; done
  echo /usr/share/applications/r770cfg.desktop
  echo /usr/share/bash-completion/completions/r770-sim
  echo /usr/share/bash-completion/completions/r770ctl
  for doc in README.md changelog.gz copyright r770ctl.md; do echo "/usr/share/doc/r770cfg/$doc"; done
  echo /usr/share/icons/hicolor/scalable/apps/r770cfg.svg
  echo /usr/share/icons/hicolor/scalable/mimetypes/application-x-r770-document.svg
  for page in r770-demo-db r770-sim r770cfg r770ctl; do
    echo "/usr/share/man/man1/$page.1.gz"
    echo "/usr/share/man/ru/man1/$page.1.gz"
  done
  echo /usr/share/metainfo/ru.r770cfg.Configurator.metainfo.xml
  echo /usr/share/mime/packages/r770cfg.xml
} | sort >"$expected"
dpkg -L r770cfg | while read -r path; do [ -d "$path" ] || echo "$path"; done | sort >"$installed"
diff -u "$expected" "$installed" || fail "dpkg -L differs from the expected files (- expected, + installed)"
installed_size=$(dpkg-query -W -f='${Installed-Size}' r770cfg)

# --- 5. remove
$SUDO apt-get purge -y -qq r770cfg >/dev/null
if dpkg-query -W -f='${Status}' r770cfg 2>/dev/null | grep -q installed; then fail "r770cfg is still installed"; fi
left=$(find /usr -path '*r770*' 2>/dev/null || true)
[ -z "$left" ] || fail "left under /usr after purge: $left"
if grep -rqs 'r770' /usr/share/applications/mimeinfo.cache /usr/share/mime/globs2 /usr/share/mime/magic; then
  fail "the desktop or MIME database still knows r770cfg after purge"
fi

echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, installed size $installed_size KiB"
echo "lintian: $lintian_errors errors, $lintian_warnings warnings"
echo "package check took $(($(date +%s) - started)) s"
if ((failures)); then echo "package check: $failures failed"; exit 1; fi
echo "package check passed"
