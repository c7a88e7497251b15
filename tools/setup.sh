#!/usr/bin/env bash
# Installs what DravikRuboTool needs to build, test and run on Debian 12.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config
          qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
          libsqlite3-dev sqlite3 mdbtools mdbtools-dev libzip-dev zip libxlsxwriter-dev
          xvfb xauth fonts-dejavu-core)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
