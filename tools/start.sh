#!/usr/bin/env bash
# Sets up, builds and starts DravikRuboTool in the working folder run/, which holds its database
# RuboTool.mdb (made on first start with sample branches, cost centres and zone discounts) and
# the folder Data with sample carrier files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
mkdir -p run/Data
cp -n Data/* run/Data/ 2>/dev/null || true
cd run
if [ ! -f RuboTool.mdb ]; then
  ../build/cli/rubotool --db RuboTool.mdb sample-data
fi
exec ../build/app/DravikRuboTool "$@"
