#!/usr/bin/env bash
# zvd as a process against the virtual devices, driven by HTTP, WebSocket and
# OSC clients (service_test.py). Skips (77) without python3-websocket or
# oscsend (liblo-tools). Arguments: zvd, zv_device_sim.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
command -v "$python" >/dev/null || { echo "SKIP: $python is missing"; exit 77; }
"$python" -c 'import websocket' 2>/dev/null || { echo "SKIP: python3-websocket is missing"; exit 77; }
command -v oscsend >/dev/null || { echo "SKIP: oscsend (liblo-tools) is missing"; exit 77; }
exec "$python" "$here/service_test.py" "$@"
