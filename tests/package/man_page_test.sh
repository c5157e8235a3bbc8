#!/usr/bin/env bash
# The manual pages, made from --help by help2man as the package makes them
# and set as man shows them: zv_multiview's shows the command of the first
# run, which finds the virtual devices, on a line of its own, and zvctl's
# shows each of its closing examples as an item of its own instead of one
# run-together paragraph. Skips (77) without help2man or nroff.
# Arguments: zv_multiview, zvctl.
set -uo pipefail
zv_multiview=$1 zvctl=$2
for tool in help2man nroff; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
page() {  # program, name: the page as text
  local roff="$work/$(basename "$1").1"
  env -u DISPLAY -u WAYLAND_DISPLAY help2man --no-info --no-discard-stderr --section=1 \
    "--name=$2" --output="$roff" "$1" || failed=1
  # Plain text: no bold or underline by overstriking.
  nroff -man -Tascii "$roff" 2>/dev/null | sed 's/.\x08//g'
}
expect_line() {  # page text, extended pattern, what it means
  grep -qE -- "$2" <<<"$1" && return
  echo "FAIL: $3; the page says:"
  sed 's/^/    /' <<<"$1"
  failed=1
}

multiview=$(page "$zv_multiview" "control panel for broadcast video devices")
expect_line "$multiview" '^ *zv_multiview --search-address 127\.255\.255\.255( |$)' \
  "zv_multiview(1) does not show 'zv_multiview --search-address 127.255.255.255' on a line of its own"

zvctl_page=$(page "$zvctl" "control broadcast video devices from scripts")
expect_line "$zvctl_page" '^ *zvctl --serial /dev/ttyUSB0 --baud 9600 multiview layout 4 *$' \
  "zvctl(1) does not show the serial-line example on a line of its own"
expect_line "$zvctl_page" '^ *zvctl --dry-run --type 0xA5 --id 1 10\.0\.0\.5 switcher cut *$' \
  "zvctl(1) does not show the dry-run example on a line of its own"
[ "$failed" -eq 0 ] && echo "PASS"
exit $failed
