#!/usr/bin/env bash
# The touch panel in headless Chromium (Selenium) against zvd and the
# virtual devices, all on loopback. axe-core, the accessibility checker the
# test injects into the pages, comes from npm into the build folder; it is
# never part of what the service serves. Skips (77) without Chromium, its
# driver or Selenium. Arguments: zvd, zv_device_sim, zvctl, a folder for
# axe-core.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
for tool in /usr/bin/chromium /usr/bin/chromedriver; do
  [ -x "$tool" ] || { echo "SKIP: $tool is missing (chromium, chromium-driver)"; exit 77; }
done
"$python" -c 'import selenium' 2>/dev/null || { echo "SKIP: selenium is missing (python3-selenium)"; exit 77; }
node_dir=$4
axe="$node_dir/node_modules/axe-core/axe.min.js"
if [ ! -f "$axe" ] && command -v npm >/dev/null; then
  mkdir -p "$node_dir"
  npm install --prefix "$node_dir" --no-audit --no-fund --no-save --silent axe-core@4.10.3 >/dev/null 2>&1 ||
    echo "axe-core could not be installed: the accessibility check is skipped"
fi
cd "$here" && exec "$python" "$here/web_test.py" "$1" "$2" "$3" "$node_dir" "${@:5}"
