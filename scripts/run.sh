#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual devices (zv_device_sim:
# one device of each family on 127.0.0.2 to 127.0.0.5, and the multiviewer
# also behind a pseudo-terminal) and then zv_multiview, set up to find them:
# the discovery query goes to the loopback broadcast 127.255.255.255 and the
# devices' pseudo-terminal is offered in the serial port lists.
# ZV_SIM_SERIAL_DEVICE=I puts device I (0 multiviewer, 1 matrix router,
# 2 four-channel switcher, 3 production switcher) on the pseudo-terminal.
# Arguments are passed to the program (see `zv_multiview --help`).
# ZV_NO_SIM=1 starts the program alone, with its real defaults.
# Without a display it starts a virtual one (Xvfb) and says how to look at it.
# ZV_SERVE=1 also serves the devices to remote clients (--serve) on
# 127.0.0.1:8770; the first time, the program makes the token file in the
# user's config folder and prints its admin token once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install_deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target zv_multiview zv_device_sim zvd

xvfb_pid=
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

program_args=()
if [ -z "${ZV_NO_SIM:-}" ]; then
  sim_log=${ZV_SIM_LOG:-/tmp/zv_device_sim.log}
  serial_link=/tmp/zv_device_sim.serial
  "$build/zv_device_sim" --serial --serial-device "${ZV_SIM_SERIAL_DEVICE:-0}" \
    --serial-link "$serial_link" --log "$sim_log" \
    2>"$sim_log.err" &
  sim_pid=$!
  for _ in $(seq 50); do grep -q ready "$sim_log.err" 2>/dev/null && break; sleep 0.1; done
  if ! grep -q ready "$sim_log.err" 2>/dev/null; then
    cat "$sim_log.err" >&2
    echo "zv_device_sim did not start" >&2
    exit 1
  fi
  cat "$sim_log.err"
  echo "Every frame the virtual devices receive is logged to $sim_log (one JSON line each)."
  program_args=(--search-address 127.255.255.255 --serial-port "$serial_link")
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  display=:${ZV_XVFB_DISPLAY:-99}
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  cat <<MSG
No display was set, so zv_multiview runs on a virtual one, $DISPLAY (Xvfb).
Take a screenshot from another terminal with:
    DISPLAY=$DISPLAY import -window root zv_multiview.png
Stop the program with Ctrl+C (or its close button).
MSG
fi

if [ -n "${ZV_SERVE:-}" ]; then
  token_file=${XDG_CONFIG_HOME:-$HOME/.config}/zv_multiview/tokens
  if [ -e "$token_file" ]; then
    cat <<MSG
Serving on http://127.0.0.1:8770/api/v1 with the tokens in $token_file.
Another token: $build/zvd --token-file $token_file --add-token NAME operate
MSG
  fi
  program_args+=(--serve)
fi

"$build/zv_multiview" "${program_args[@]}" "$@"
