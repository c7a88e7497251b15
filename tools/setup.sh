#!/usr/bin/env bash
# Installs what DravikRuboTool needs to build, test and run on Debian 12.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PACKAGES=(cmake g++ make pkg-config
          qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
          libsqlite3-dev sqlite3 mdbtools mdbtools-dev libzip-dev zip libxlsxwriter-dev python3-openpyxl
          xvfb xauth fonts-dejavu-core fonts-liberation2 poppler-utils nodejs)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
# npm comes with NodeSource's nodejs but is a package of its own in Debian; the two conflict.
command -v npm >/dev/null || $SUDO apt-get install -y -qq --no-install-recommends npm >/dev/null
# mdb-reader, the second reader the tests check generated Access files with (tests/tools/read-mdb.mjs).
if ! node -e 'process.exit(require(process.argv[1]).version.startsWith("3.") ? 0 : 1)' \
        "$ROOT/build/node/node_modules/mdb-reader/package.json" 2>/dev/null; then
    npm install --no-audit --no-fund --silent --prefix "$ROOT/build/node" mdb-reader@3 >/dev/null
fi
