#!/usr/bin/env bash
# Runs each program with no display at all (no DISPLAY, WAYLAND_DISPLAY or
# QT_QPA_PLATFORM): --help and --version print and succeed, a bad option
# fails with 2 and says why. Arguments: the programs to check.
set -uo pipefail
failed=0
check() {  # program, expected status, pattern its output must match, args...
  local program=$1 status=$2 pattern=$3
  shift 3
  local out rc
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL: $(basename "$program") $* -> exit $rc (want $status, output matching /$pattern/):"
    sed 's/^/    /' <<<"$out"
    failed=1
  fi
}
for program in "$@"; do
  name=$(basename "$program")
  check "$program" 0 "^[Uu]sage: .*$name" --help
  check "$program" 0 "^$name [0-9]+\.[0-9]+" --version
  check "$program" 2 "no-such-option" --no-such-option
done
exit $failed
