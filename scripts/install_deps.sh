#!/usr/bin/env bash
# Installs what the build, the tests and the program need on Debian 12, and
# nothing when it is all there already. Run as root (or with sudo present).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev   # Qt 6 Widgets (Qt Test comes with qt6-base-dev)
  libgtest-dev libgmock-dev                   # GoogleTest
  libcli11-dev nlohmann-json3-dev             # zvctl's command line; setup and salvo files
  libpcap-dev                                 # the frame monitor's pcap export
  qt6-httpserver-dev qt6-websockets-dev liblo-dev  # the remote-control service (HTTP, WebSocket, OSC)
  liblo-tools python3-websocket               # its tests: oscsend and a WebSocket client
  clang libclang-rt-14-dev                    # libFuzzer targets
  xvfb xauth x11-apps x11-utils imagemagick   # running (xdpyinfo waits for it) and screenshotting without a display
  xdotool                                     # the frame log test clicks the real program on Xvfb
  iproute2                                    # network namespaces for the LAN tests
  python3-pyatspi at-spi2-core dbus-x11       # the panels through the accessibility bus (AT-SPI test)
  chromium chromium-driver python3-selenium   # the touch panel in a real browser (web test)
  fonts-wqy-microhei                          # glyphs for Chinese labels (the package depends on it too)
  dpkg-dev file help2man groff-base lintian   # the Debian package: shlibdeps, manual pages, checks
)

# Node.js runs the tally tests' TSL client (tsl-umd-v5) and npm fetches it
# and axe-core for the web test; a Node.js from elsewhere brings its own npm
# (and then Debian's npm cannot be installed beside it).
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install_deps: need root to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
echo "install_deps: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
