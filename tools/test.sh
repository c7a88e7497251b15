#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh -DRUBO_WERROR=ON
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
