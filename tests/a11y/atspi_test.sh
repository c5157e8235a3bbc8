#!/usr/bin/env bash
# The panels as a screen reader sees them, through the accessibility bus
# (AT-SPI), with a real client (pyatspi) against zv_multiview on a virtual
# display and the virtual devices. Skips (77) without Xvfb, a session bus
# or pyatspi. Arguments: zv_multiview, zv_device_sim.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
for tool in Xvfb dbus-run-session "$python"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: pyatspi is missing (python3-pyatspi)"; exit 77; }
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || { echo "SKIP: at-spi2-core is missing"; exit 77; }
exec dbus-run-session -- "$python" "$here/atspi_test.py" "$@"
