#!/usr/bin/env bash
# Tally in zvd with third-party clients (zvd_tally_test.py). Skips (77)
# without python3-websocket, oscsend, node or the tsl-umd-v5 package.
# Arguments: zvd, zv_device_sim, the node_modules folder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
command -v "$python" >/dev/null || { echo "SKIP: $python is missing"; exit 77; }
"$python" -c 'import websocket' 2>/dev/null || { echo "SKIP: python3-websocket is missing"; exit 77; }
command -v oscsend >/dev/null || { echo "SKIP: oscsend (liblo-tools) is missing"; exit 77; }
command -v node >/dev/null || { echo "SKIP: node is missing"; exit 77; }
[ -f "$3/tsl-umd-v5/index.js" ] || { echo "SKIP: tsl-umd-v5 is not installed in $3"; exit 77; }
exec "$python" "$here/zvd_tally_test.py" "$1" "$2" "$3" "$here/peers"
