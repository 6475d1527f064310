#!/usr/bin/env bash
# desktop_test.sh PACKAGING GENERATED: the desktop entry and the AppStream data pass their
# validators, and the document type recognises documents by name and by content.
set -uo pipefail
packaging=$1 generated=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(desktop-file-validate "$packaging/r770cfg.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
grep -qx 'MimeType=application/x-r770-document;' "$packaging/r770cfg.desktop" ||
  fail "the desktop entry does not open application/x-r770-document"
grep -qx 'Exec=r770cfg %f' "$packaging/r770cfg.desktop" || fail "the desktop entry does not pass the file"
metainfo=$(ls "$generated"/*.metainfo.xml)
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"

# A MIME database of the standard types plus ours, in a scratch folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$scratch/mime/packages/"
cp "$packaging/r770cfg-mime.xml" "$scratch/mime/packages/r770cfg.xml"
out=$(XDG_DATA_HOME="$scratch" XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>&1) && [ -z "$out" ] || fail "update-mime-database: $out"
printf '[Protokol]\r\nName=Modbus/TCP\r\n' >"$scratch/plant.bmt"
cp "$scratch/plant.bmt" "$scratch/renamed"
printf '; exported\r\n[Protokol]\r\nName=Modbus/TCP\r\n' >"$scratch/commented"
printf 'hello\n' >"$scratch/empty-looking.bmt"
printf 'hello\n' >"$scratch/plain.txt"
# file | expected type
while read -r file expected; do
  got=$(XDG_DATA_HOME="$scratch" XDG_DATA_DIRS="$scratch" gio info -a standard::content-type "$scratch/$file" |
        sed -n 's/.*standard::content-type: //p')
  [ "$got" = "$expected" ] || fail "$file: type '$got', expected '$expected'"
done <<'CASES'
plant.bmt application/x-r770-document
renamed application/x-r770-document
commented application/x-r770-document
empty-looking.bmt application/x-r770-document
plain.txt text/plain
CASES
grep -q '<icon name="r770cfg"/>' "$packaging/r770cfg-mime.xml" || fail "the document type has no icon"

if ((failures)); then echo "$failures failed"; exit 1; fi
echo "desktop integration: all checks passed"
