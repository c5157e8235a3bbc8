#!/usr/bin/env bash
# The running window belongs to its menu entry: under Xvfb, the window
# class of zv_multiview's main window (WM_CLASS, read with xprop) is the one
# the desktop entry names (StartupWMClass, or else the entry's own name), so
# a desktop shell shows the window under the entry's name and icon instead of
# a generic one. Skips (77) without Xvfb or the X utilities.
# Arguments: zv_multiview, the desktop entry.
set -uo pipefail
program=$1 entry=$2
for tool in Xvfb xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid='' program_pid=''
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number when it is ready.
exec 3>"$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "SKIP: Xvfb did not start"; cat "$work/xvfb.log"; exit 77; }
export DISPLAY=":$(head -n 1 "$work/display")"

# The window searches nothing by itself; the search is aimed at loopback
# all the same, with a port of the system's choosing.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY HOME="$work" XDG_CONFIG_HOME="$work" \
  "$program" --local-port 0 --search-address 127.0.0.1 >"$work/program.log" 2>&1 &
program_pid=$!

# The program's mapped top-level window: the one that carries its process id.
window=''
for _ in $(seq 200); do
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $program_pid\$" || continue
    xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" || continue
    window=$id
    break
  done
  [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "FAIL: no window of zv_multiview appeared"
  cat "$work/program.log"
  exit 1
fi

wm_class=$(xprop -id "$window" WM_CLASS)
# WM_CLASS(STRING) = "instance", "class"
class=$(sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p' <<<"$wm_class")
want=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$want" ] || want=$(basename "$entry" .desktop)
echo "window $window: $wm_class; the entry $(basename "$entry") wants class \"$want\""
if [ "$class" != "$want" ]; then
  echo "FAIL: the window's class \"$class\" is not the entry's \"$want\""
  exit 1
fi
echo "PASS"
