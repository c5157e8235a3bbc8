#!/usr/bin/env bash
# A LAN in a box: two network namespaces joined by a veth pair, the virtual
# devices on one side, the panel's link on the other, and a real broadcast to
# 255.255.255.255 port 7000 between them. Needs root; skips (77) without it.
#   lan_broadcast_test.sh PROBE SIMULATOR
set -u
probe=$1
simulator=$2
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "SKIP: the LAN test needs root and iproute2"; exit 77
fi
tag=zv$$
panel_ns=${tag}p
device_ns=${tag}d
out=$(mktemp -d)
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
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
# One address per virtual device on the device side.
for host in 2 3 4 5; do ip -n "$device_ns" addr add "10.77.0.$host/24" dev "${tag}b"; done
for ns in "$panel_ns" "$device_ns"; do ip -n "$ns" link set lo up; done
ip -n "$panel_ns" link set "${tag}a" up
ip -n "$device_ns" link set "${tag}b" up
# The limited broadcast leaves by the default route.
ip -n "$panel_ns" route add default dev "${tag}a"
ip -n "$device_ns" route add default dev "${tag}b"

ip netns exec "$device_ns" "$simulator" --hub 0.0.0.0 --log "$out/sim.log" \
  --device type=0xA1,id=1,name=Multiviewer16,addr=10.77.0.2 \
  --device type=0x82,id=2,name=Matrix8x8,addr=10.77.0.3 \
  --device type=0x60,id=3,name=FourChannel,addr=10.77.0.4 \
  --device type=0xA5,id=4,name=Switcher,addr=10.77.0.5 2>"$out/sim.err" &
sim_pid=$!
for _ in $(seq 100); do grep -q ready "$out/sim.err" 2>/dev/null && break; sleep 0.05; done

ip netns exec "$panel_ns" "$probe" >"$out/panel" 2>&1
panel_rc=$?
# Let the last Cut reach the simulator's log before it stops.
for _ in $(seq 40); do [ "$(grep -c '"command":"0x83"' "$out/sim.log" 2>/dev/null)" -ge 4 ] && break; sleep 0.05; done
kill "$sim_pid"; wait "$sim_pid"; sim_pid=
cat "$out/sim.err" "$out/panel" "$out/sim.log"

fail=0
check() { grep -q -- "$2" "$out/$1" || { echo "FAIL: $1 lacks: $2"; fail=1; }; }
[ "$panel_rc" -eq 0 ] || { echo "FAIL: panel exited $panel_rc"; fail=1; }
# The query arrived by broadcast from the panel's port 7000 ...
check sim.log '"device":"hub","link":"udp","from":"10.77.0.1:7000","command":"0xff","params":""'
# ... every device answered from its own address and became a line ...
check panel "panel found 4 devices"
check panel "panel found Multiviewer16_10.77.0.2 type A1 id 01"
check panel "panel found Matrix8x8_10.77.0.3 type 82 id 02"
check panel "panel found FourChannel_10.77.0.4 type 60 id 03"
check panel "panel found Switcher_10.77.0.5 type A5 id 04"
# ... and each Cut went to its device's address, again from port 7000.
for name in Multiviewer16 Matrix8x8 FourChannel Switcher; do
  check sim.log "\"device\":\"$name\",\"link\":\"udp\",\"from\":\"10.77.0.1:7000\",\"command\":\"0x83\""
done
exit $fail
