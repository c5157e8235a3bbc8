#!/usr/bin/env bash
# A LAN in a box: two network namespaces joined by a veth pair, a stand-in
# device on one side, the panel's link on the other, and a real broadcast to
# 255.255.255.255 port 7000 between them. Needs root; skips (77) without it.
set -u
probe=$1
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "SKIP: the LAN test needs root and iproute2"; exit 77
fi
tag=zv$$
panel_ns=${tag}p
device_ns=${tag}d
out=$(mktemp -d)
cleanup() {
  [ -n "${device_pid:-}" ] && kill "$device_pid" 2>/dev/null
  ip netns del "$panel_ns" 2>/dev/null
  ip netns del "$device_ns" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT

if ! ip netns add "$panel_ns" 2>/dev/null; then
  echo "SKIP: network namespaces are not available here"; exit 77
fi
ip netns add "$device_ns" || exit 1
ip link add "${tag}a" netns "$panel_ns" type veth peer name "${tag}b" netns "$device_ns" || exit 1
ip -n "$panel_ns" addr add 10.77.0.1/24 dev "${tag}a"
ip -n "$device_ns" addr add 10.77.0.2/24 dev "${tag}b"
for ns in "$panel_ns" "$device_ns"; do ip -n "$ns" link set lo up; done
ip -n "$panel_ns" link set "${tag}a" up
ip -n "$device_ns" link set "${tag}b" up
# The limited broadcast leaves by the default route.
ip -n "$panel_ns" route add default dev "${tag}a"
ip -n "$device_ns" route add default dev "${tag}b"

ip netns exec "$device_ns" "$probe" device Studio1 0xA5 0x01 >"$out/device" 2>&1 &
device_pid=$!
for _ in $(seq 100); do grep -q "device ready" "$out/device" 2>/dev/null && break; sleep 0.05; done

ip netns exec "$panel_ns" "$probe" panel >"$out/panel" 2>&1
panel_rc=$?
wait "$device_pid"; device_rc=$?
device_pid=
cat "$out/panel" "$out/device"

fail=0
check() { grep -q -- "$2" "$out/$1" || { echo "FAIL: $1 lacks: $2"; fail=1; }; }
[ "$panel_rc" -eq 0 ] || { echo "FAIL: panel exited $panel_rc"; fail=1; }
[ "$device_rc" -eq 0 ] || { echo "FAIL: device exited $device_rc"; fail=1; }
# The query arrived by broadcast from the panel's port 7000 ...
check device "device got A5 6C 14 00 81 FF 01 00 00 00 00 00 00 00 00 00 FF A5 03 AE from 10.77.0.1:7000"
# ... the reply became a device line ...
check panel "panel found Studio1_10.77.0.2 type A5 id 01"
# ... and the command went to the device's address, again from port 7000.
check device "device got A5 6C 14 00 A5 01 01 00 00 00 00 00 00 00 00 00 83 4F 02 AE from 10.77.0.1:7000"
exit $fail
