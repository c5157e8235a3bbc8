#!/usr/bin/env bash
# Installs what is missing, builds, and starts zv_multiview. Arguments are
# passed to the program (see `zv_multiview --help`).
# Without a display it starts a virtual one (Xvfb) and says how to look at it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install_deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target zv_multiview

xvfb_pid=
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

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

exec_args=("$build/zv_multiview" "$@")
"${exec_args[@]}"
