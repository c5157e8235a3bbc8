#!/usr/bin/env bash
# A machine on two networks: the panel's namespace has one veth pair to a
# device namespace on 10.77.1.0/24 and another to a second device namespace
# on 10.77.2.0/24, with the default route on the first only. A virtual
# device sits on each subnet. The limited broadcast leaves by the default
# route alone, so only the directed broadcasts find the second device; each
# device is listed once although the first answers two queries. With
# --search-address set to the first subnet's broadcast only the first is
# found. Needs root and iproute2; skips (77) without them.
#   lan_two_subnets_test.sh PROBE SIMULATOR
set -u
probe=$1
simulator=$2
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "SKIP: the LAN test needs root and iproute2"; exit 77
fi
tag=zvn$$r$((RANDOM % 100))
panel_ns=${tag}p
near_ns=${tag}n
far_ns=${tag}f
out=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  for ns in "$panel_ns" "$near_ns" "$far_ns"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "$out"
}
trap cleanup EXIT

if ! ip netns add "$panel_ns" 2>/dev/null; then
  echo "SKIP: network namespaces are not available here"; exit 77
fi
ip netns add "$near_ns" && ip netns add "$far_ns" || exit 1
# subnet, device namespace, veth suffix
link() {
  ip link add "${tag}a$3" netns "$panel_ns" type veth peer name "${tag}b$3" netns "$2" || exit 1
  ip -n "$panel_ns" addr add "10.77.$1.1/24" brd + dev "${tag}a$3"
  ip -n "$2" addr add "10.77.$1.2/24" brd + dev "${tag}b$3"
  ip -n "$panel_ns" link set "${tag}a$3" up
  ip -n "$2" link set "${tag}b$3" up
  ip -n "$2" link set lo up
}
link 1 "$near_ns" 1
link 2 "$far_ns" 2
ip -n "$panel_ns" link set lo up
ip -n "$panel_ns" route add default dev "${tag}a1"

# namespace, log name, device spec
start_device() {
  ip netns exec "$1" "$simulator" --hub 0.0.0.0 --log "$out/$2.log" --device "$3" 2>"$out/$2.err" &
  pids+=($!)
  for _ in $(seq 100); do grep -q ready "$out/$2.err" 2>/dev/null && break; sleep 0.05; done
}
start_device "$near_ns" near type=0xA1,id=1,name=NearMv,addr=10.77.1.2
start_device "$far_ns" far type=0xA5,id=2,name=FarSwitcher,addr=10.77.2.2

ip netns exec "$panel_ns" "$probe" >"$out/every" 2>&1
every_rc=$?
ip netns exec "$panel_ns" "$probe" --search-address 10.77.1.255 >"$out/one" 2>&1
one_rc=$?
# Let the last Cut reach the simulators' logs before they stop.
for _ in $(seq 40); do
  [ "$(cat "$out/near.log" "$out/far.log" 2>/dev/null | grep -c '"command":"0x83"')" -ge 3 ] && break
  sleep 0.05
done
for pid in "${pids[@]}"; do kill "$pid" && wait "$pid"; done
pids=()
for f in near.err far.err every one near.log far.log; do echo "== $f"; cat "$out/$f"; done

fail=0
count() {  # file, text, expected count
  local n
  n=$(grep -c -- "$2" "$out/$1")
  [ "$n" -eq "$3" ] || { echo "FAIL: $1 has \"$2\" $n times, not $3"; fail=1; }
}
[ "$every_rc" -eq 0 ] || { echo "FAIL: the search of every interface exited $every_rc"; fail=1; }
[ "$one_rc" -eq 0 ] || { echo "FAIL: the search of one address exited $one_rc"; fail=1; }
# Every interface: both devices, each once, although the near one answered
# the limited and the directed broadcast.
count every "panel found 2 devices" 1
count every "panel found NearMv_10.77.1.2 type A1 id 01" 1
count every "panel found FarSwitcher_10.77.2.2 type A5 id 02" 1
count near.log '"device":"hub","link":"udp","from":"10.77.1.1:7000","command":"0xff"' 3
count far.log '"device":"hub","link":"udp","from":"10.77.2.1:7000","command":"0xff"' 1
# One search address: the near device only.
count one "panel found 1 devices" 1
count one "panel found NearMv_10.77.1.2" 1
count one "FarSwitcher" 0
# The Cuts went to each device's own address from the interface facing it.
count near.log '"device":"NearMv","link":"udp","from":"10.77.1.1:7000","command":"0x83"' 2
count far.log '"device":"FarSwitcher","link":"udp","from":"10.77.2.1:7000","command":"0x83"' 1
exit $fail
