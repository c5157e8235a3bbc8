#!/usr/bin/env bash
# Renders the main window with each family's panel, and the connection
# settings window, against the virtual devices (in-process, on a port of
# their own) into docs/screenshots/*.png, the pictures the README shows.
# Run it after changing a panel or the skin. ZV_SCREENSHOT_ADDRESS sets the
# loopback prefix of the devices' addresses (default 127.0.0: .2 to .5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install_deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DZV_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target zv_screenshots
"$build/tests/zv_screenshots" "$root/docs/screenshots" "${ZV_SCREENSHOT_ADDRESS:-127.0.0}"

# The touch panel's pages at a phone's and a tablet's size (headless
# Chromium against zvd and the virtual devices).
cmake --build "$build" --target zvd zv_device_sim
/usr/bin/python3 "$root/tests/web/web_screenshots.py" "$build/zvd" "$build/zv_device_sim" "$root/docs/screenshots"
