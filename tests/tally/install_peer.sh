#!/usr/bin/env bash
# Installs the tsl-umd-v5 package, the third-party TSL client the tally
# tests run, into FOLDER/node_modules with npm (once; a later run finds it).
# Exit 77 (skip) without npm.
set -euo pipefail
folder=$1
if [ -f "$folder/node_modules/tsl-umd-v5/index.js" ]; then
  echo "tsl-umd-v5 is in $folder already"
  exit 0
fi
command -v npm >/dev/null && command -v node >/dev/null || { echo "SKIP: node and npm are not installed"; exit 77; }
mkdir -p "$folder"
npm install --prefix "$folder" --no-audit --no-fund --no-save tsl-umd-v5@1.0.7
test -f "$folder/node_modules/tsl-umd-v5/index.js"
