#!/usr/bin/env bash
# Runs each program with no display at all (no DISPLAY, WAYLAND_DISPLAY or
# QT_QPA_PLATFORM): --help and --version print and succeed, a bad option
# fails with 2 and says why; then the edges of each program's command line,
# one row each: its arguments, the exit status and what it must say.
# Arguments: the programs to check.
set -uo pipefail
failed=0
check() {  # program, expected status, pattern its output must match, args...
  local program=$1 status=$2 pattern=$3
  shift 3
  local out rc
  # A program that would wait for a window is stopped rather than left hanging.
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${with_env[@]+"${with_env[@]}"} \
        timeout 20 "$program" "$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL: ${with_env[*]-} $(basename "$program") $* -> exit $rc (want $status, output matching /$pattern/):"
    sed 's/^/    /' <<<"$out"
    failed=1
  fi
}
with_env=()
for program in "$@"; do
  name=$(basename "$program")
  check "$program" 0 "^[Uu]sage: .*$name" --help
  check "$program" 0 "^$name [0-9]+\.[0-9]+" --version
  check "$program" 2 "no-such-option" --no-such-option
  case $name in
    zv_multiview)
      # --help-all lists Qt's own options as well.
      check "$program" 0 "-platform <name" --help-all
      # An address typed after the name is not dropped silently.
      check "$program" 2 'unexpected argument "10\.0\.0\.5"' 10.0.0.5
      check "$program" 2 '--skin .*"/nonexistent/skin".*does not exist' --skin /nonexistent/skin
      check "$program" 2 '--skin must name a readable folder' --skin "$0"
      check "$program" 2 '--search-address must be an IPv4 address' --search-address 999.1.1.1
      check "$program" 2 '--device-list-cap must be a count from 1 to 1000000, not "0"' --device-list-cap 0
      # No display: a message and status 1, not SIGABRT.
      check "$program" 1 "no display to open the window on" --local-port 0
      # A display that does not answer: the same.
      with_env=(DISPLAY=:65533 XAUTHORITY=/nonexistent)
      check "$program" 1 "the window cannot be shown" --local-port 0
      with_env=()
      # The service's options belong to --serve.
      check "$program" 2 '--listen is an option of the service: add --serve' --listen 127.0.0.1:8770
      check "$program" 2 '--listen must be an IPv4 address and a port' --serve --listen localhost
      check "$program" 2 '--tsl-listen is an option of the service: add --serve' --tsl-listen 8900
      check "$program" 2 '--tsl-send: "studio:8900" does not start with an IPv4 address' --serve --tsl-send studio:8900
      ;;
    zvd)
      check "$program" 2 '--listen must be an IPv4 address and a port' --listen 127.0.0.1
      check "$program" 2 '--osc-allow: ' --osc-allow 10.1.2.3/24
      check "$program" 2 '--tls-cert and --tls-key go together' --tls-cert cert.pem
      check "$program" 2 '--tsl-map: /nonexistent/map.json' --tsl-map /nonexistent/map.json
      check "$program" 2 '--tsl-listen must be a port number' --tsl-listen 0
      check "$program" 2 '--tsl-allow: ' --tsl-allow 10.1.2.3/24
      check "$program" 2 '--tsl-send-version must be 5.0 or 3.1' --tsl-send-version 4
      check "$program" 2 '--add-token takes NAME and ROLE' --add-token desk
      check "$program" 2 'the role must be view, operate or admin' --add-token desk boss
      ;;
    zv_device_sim)
      check "$program" 2 '--hub must be an IPv4 address, not "999\.1\.1\.1"' --hub 999.1.1.1
      check "$program" 2 '--count: the loopback addresses from 127\.255\.255\.250 run out' \
        --count 9 --device type=0xA1,addr=127.255.255.250
      check "$program" 2 '--front-panel-change takes seconds from 0\.01 to 86400, not "0"' --front-panel-change 0
      ;;
  esac
done
exit $failed
