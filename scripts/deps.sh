#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing,
# so a second run costs a single dpkg query.
set -euo pipefail
PKGS=(cmake ninja-build g++ pkg-config ccache python3 clang-format
      qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev qt6-translations-l10n
      libgtest-dev googletest libgmock-dev libbenchmark-dev
      libmodbus-dev
      clang libclang-rt-14-dev
      xvfb xauth x11-apps imagemagick fonts-dejavu-core poppler-utils
      dpkg-dev file lintian desktop-file-utils appstream shared-mime-info libglib2.0-bin man-db groff-base
      bash-completion
      mbpoll python3-pymodbus python3-serial-asyncio python3-yaml python3-toml)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Устанавливаются пакеты: ${missing[*]}" >&2
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
