#!/usr/bin/env bash
# zvd's systemd unit as systemd reads it: every key known (a misspelt
# hardening option would be ignored, silently), its exposure as
# `systemd-analyze security` rates it no worse than 2.0 of 10, listening on
# loopback, and not enabled by anything in the package. Skips (77) without
# systemd-analyze. Arguments: the unit file, the program to stand for
# /usr/bin/zvd (the built zvd).
set -uo pipefail
unit=$1 program=$2
command -v systemd-analyze >/dev/null || { echo "SKIP: systemd-analyze is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
sed "s#/usr/bin/zvd #$program #" "$unit" >"$work/zvd.service"
said=$(systemd-analyze verify --man=no "$work/zvd.service" 2>&1)
if [ -n "$said" ]; then
  echo "FAIL: systemd-analyze verify: $said"
  failed=1
fi
report=$(systemd-analyze security --offline=true --threshold=20 "$work/zvd.service" 2>&1)
status=$?
echo "$report" | grep "Overall exposure"
if [ $status -ne 0 ]; then
  echo "FAIL: the unit's exposure is above 2.0:"
  echo "$report" | grep '✗'
  failed=1
fi
grep -qE '^ExecStart=/usr/bin/zvd --listen 127\.0\.0\.1:8770 ' "$unit" ||
  { echo "FAIL: the unit does not listen on loopback"; failed=1; }
grep -qE '^DynamicUser=yes$' "$unit" || { echo "FAIL: the unit does not run as a user of its own"; failed=1; }
[ "$failed" -eq 0 ] && echo "PASS"
exit $failed
