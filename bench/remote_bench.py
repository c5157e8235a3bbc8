"""Figures of remote control through zvd, printed from one run (no pass mark):

1. an action to its datagram arriving at the device, through HTTP, through
   OSC, and the bare floor (a sendto of the same frame bytes from an open
   socket straight to the device); the window's own path (a session action
   called on the main thread, as a panel's button calls it) is measured the
   same way by zv_action_path_bench, and HTTP and OSC are set against it;
2. a record change fanned out to 50 WebSocket clients, read by one thread
   that waits on all 50 sockets at once;
3. 10 HTTP clients, each its own process, offering 100 actions a second each
   (1,000 in all) to 20 devices, each client to two of them in turn (50 a
   second a device, inside the device's pacing of 10 ms): what was
   answered, the order and pacing at each device, zvd's memory.

The script plays the devices itself: production switchers on 127.0.4.x that
answer the discovery query as zv_device_sim does. Each datagram's arrival
is the kernel's own receive stamp (SO_TIMESTAMPNS, the real-time clock), and
the clients in this process read the same clock as they send: one clock, no
log resolution, and no wake-up of the script's own receiving thread in the
figures. One zv_device_sim switcher runs beside them, as a
check that the frame zvd reports sending is the frame a device logs.

Usage: remote_bench.py ZVD ZV_DEVICE_SIM [ZV_ACTION_PATH_BENCH]
(the last defaults to bench/zv_action_path_bench beside ZVD).
ZV_BENCH_LOAD_SECONDS shortens the load of 3. (default 30 s).
"""
import http.client
import json
import math
import multiprocessing
import os
import selectors
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

import websocket

ZVD, SIM = sys.argv[1], sys.argv[2]
ACTION_PATH_BENCH = sys.argv[3] if len(sys.argv) > 3 else os.path.join(os.path.dirname(ZVD), "bench",
                                                                        "zv_action_path_bench")
LOAD_SECONDS = float(os.environ.get("ZV_BENCH_LOAD_SECONDS", "30"))
DEVICES = ["127.0.4.%d" % (n + 1) for n in range(20)]   # the script's switchers
LOAD_CLIENTS = 10                                        # each sends to two of them
SIM_SWITCHER = "127.0.0.2"
SAMPLES, SPACING_S, FANOUT_CLIENTS, FANOUT_ACTIONS = 200, 0.015, 50, 100
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
now_ns = time.perf_counter_ns      # intervals within this process
wall_ns = time.time_ns             # the clock the kernel stamps datagrams with
SO_TIMESTAMPNS = 35                # Linux (asm-generic); the stamp is a struct timespec


def free_port(kind):
    s = socket.socket(socket.AF_INET, kind)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def command_frame(dev_type, dev_id, command, params=b""):
    """A5 6C | length | type | id | link flag 1 | 8 x 00 | 00 | command | params | checksum | AE"""
    n = 20 + len(params)
    body = bytes([0xA5, 0x6C, n & 255, n >> 8, dev_type, dev_id, 1]) + bytes(9) + bytes([command]) + params
    s = sum(body) & 0xFFFF
    return body + bytes([s & 255, s >> 8, 0xAE])


def is_discovery(b):
    return len(b) >= 20 and b[0] == 0xA5 and b[1] == 0x6C and b[16] == 0xFF


def osc_message(path, value):
    def pad(b):
        return b + b"\0" * (4 - len(b) % 4)
    return pad(path.encode()) + pad(b",i") + struct.pack(">i", value)


def pct(values, q):
    v = sorted(values)
    return v[max(0, min(len(v) - 1, math.ceil(q * len(v)) - 1))]


def ms(ns):
    return ns / 1e6


class Devices:
    """Production switchers (type 0xA5) on DEVICES, and the discovery hub on
    the loopback broadcast address, answering searches as the simulator does."""

    def __init__(self, port):
        self.port = port
        self.socks = []
        for n, address in enumerate(DEVICES):
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
            s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
            s.bind((address, port))
            self.socks.append(s)
        self.replies = [command_frame(0xA5, 1, 0xFF, b"\0" + ("Bench.%d-x-" % (n + 1)).encode())
                        for n in range(len(DEVICES))]
        self.hub = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.hub.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.hub.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.hub.bind(("127.255.255.255", port))
        threading.Thread(target=self._hub, daemon=True).start()
        self.collecting = None

    def _hub(self):
        while True:
            data, sender = self.hub.recvfrom(65536)
            if is_discovery(data) and sender[0] not in DEVICES:
                for s, reply in zip(self.socks, self.replies):
                    s.sendto(reply, sender)

    @staticmethod
    def _recv(s):
        """A datagram, its sender and the kernel's stamp of its arrival (ns)."""
        data, ancillary, _, sender = s.recvmsg(65536, socket.CMSG_SPACE(16))
        for level, kind, value in ancillary:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(value) >= 16:
                sec, nsec = struct.unpack("@2l", value[:16])
                return data, sender, sec * 1_000_000_000 + nsec
        raise RuntimeError("no receive stamp on the datagram")

    def receive(self, n, timeout=2.0):
        """The next frame at device n (not a discovery query), and when it came."""
        s = self.socks[n]
        s.settimeout(timeout)
        while True:
            data, sender, t = self._recv(s)
            if is_discovery(data):
                s.sendto(self.replies[n], sender)
                continue
            return t, data

    def drain(self):
        for s in self.socks:
            s.setblocking(False)
            try:
                while True:
                    s.recvfrom(65536)
            except BlockingIOError:
                pass

    def collect(self):
        """From now on a thread keeps (time, source byte) of every frame per device."""
        self.arrivals = [[] for _ in DEVICES]
        self.collecting = True
        self.collector = threading.Thread(target=self._collect, daemon=True)
        self.collector.start()

    def _collect(self):
        sel = selectors.DefaultSelector()
        for n, s in enumerate(self.socks):
            s.setblocking(False)
            sel.register(s, selectors.EVENT_READ, n)
        while self.collecting:
            for key, _ in sel.select(0.1):
                n = key.data
                try:
                    while True:
                        data, sender, t = self._recv(self.socks[n])
                        if is_discovery(data):
                            self.socks[n].sendto(self.replies[n], sender)
                        elif len(data) > 17:
                            self.arrivals[n].append((t, data[17]))
                except BlockingIOError:
                    pass
        sel.close()


class Zvd:
    def __init__(self, tmp, device_port):
        self.tokens = os.path.join(tmp, "tokens")
        out = subprocess.run([ZVD, "--token-file", self.tokens, "--add-token", "bench", "operate"],
                             capture_output=True, env=ENV, timeout=20)
        if out.returncode != 0:
            raise RuntimeError("zvd --add-token failed: %s" % out.stderr.decode(errors="replace"))
        self.token = out.stdout.decode().strip()   # kept in memory only, never printed
        self.port = free_port(socket.SOCK_STREAM)
        self.osc_port = free_port(socket.SOCK_DGRAM)
        self.err_path = os.path.join(tmp, "zvd.err")
        self.proc = subprocess.Popen(
            [ZVD, "--token-file", self.tokens, "--search-address", "127.255.255.255",
             "--device-port", str(device_port), "--local-port", "0", "--listen", "127.0.0.1:%d" % self.port,
             "--osc-port", str(self.osc_port)], stdout=subprocess.DEVNULL, stderr=open(self.err_path, "w"), env=ENV)
        deadline = time.monotonic() + 20
        while "ready:" not in open(self.err_path).read():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("zvd did not start: " + open(self.err_path).read()[-2000:])
            time.sleep(0.05)

    def connection(self, source="127.0.0.1"):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=30, source_address=(source, 0))

    def headers(self):
        return {"Authorization": "Bearer " + self.token, "Content-Type": "application/json"}

    def call(self, conn, method, path, body=None):
        conn.request(method, "/api/v1" + path, body=None if body is None else json.dumps(body), headers=self.headers())
        r = conn.getresponse()
        data = r.read()
        return r.status, (json.loads(data) if data else None)

    def rss_kb(self):
        for line in open("/proc/%d/status" % self.proc.pid):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
        return 0

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def program(conn, zvd, device, source):
    return zvd.call(conn, "POST", "/devices/%s/actions/switcher.program" % device, {"source": source})


def measure_latency(zvd, devices):
    """HTTP, OSC and the bare floor, interleaved, SAMPLES each."""
    conn = zvd.connection()
    osc = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    floor = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    target = (DEVICES[0], devices.port)
    path = "/api/v1/devices/%s/actions/switcher.program" % DEVICES[0]
    status, answer = program(conn, zvd, DEVICES[0], 1)   # the frame zvd builds, for the floor
    frame = bytes.fromhex(answer["frames"][0].replace(" ", ""))
    devices.receive(0)
    times = {"HTTP": [], "OSC": [], "floor": []}
    bad = 0
    for i in range(SAMPLES):
        source = 2 + i % 9
        # HTTP: the request line and headers are ready; the clock starts at the send.
        body = json.dumps({"source": source}).encode()
        conn.putrequest("POST", path)
        for k, v in zvd.headers().items():
            conn.putheader(k, v)
        conn.putheader("Content-Length", str(len(body)))
        t0 = wall_ns()
        conn.endheaders(body)
        t1, data = devices.receive(0)
        r = conn.getresponse()
        r.read()
        bad += r.status != 200 or data[17] != source
        times["HTTP"].append(t1 - t0)
        time.sleep(SPACING_S)
        msg = osc_message("/zv/%s/switcher/program" % DEVICES[0], source)
        t0 = wall_ns()
        osc.sendto(msg, ("127.0.0.1", zvd.osc_port))
        t1, data = devices.receive(0)
        bad += data[17] != source
        times["OSC"].append(t1 - t0)
        time.sleep(SPACING_S)
        t0 = wall_ns()
        floor.sendto(frame, target)
        t1, data = devices.receive(0)
        times["floor"].append(t1 - t0)
        time.sleep(SPACING_S)
    conn.close()
    base = pct(times["floor"], 0.5)
    window = window_path()
    print("1. action -> datagram at the device (%d samples each, %.0f ms apart; kernel receive stamps)"
          % (SAMPLES, SPACING_S * 3000))
    print("   %-6s %10s %10s %16s %17s" % ("path", "median ms", "p99 ms", "median-floor ms", "median-window ms"))
    for name in ("floor", "HTTP", "OSC"):
        v = times[name]
        over = pct(v, 0.5) - base
        print("   %-6s %10.3f %10.3f %16.3f %17s" % (name, ms(pct(v, 0.5)), ms(pct(v, 0.99)), ms(over),
                                                  "-" if window is None else "%.3f" % (ms(over) - window)))
    if window is None:
        print("   the window's own path was not measured (%s did not run)" % ACTION_PATH_BENCH)
    else:
        print("   the window's own path (zv_action_path_bench, same machine, its own floor): %.3f ms over"
              " the floor at the median" % window)
    print("   goals: HTTP at most 1 ms over the window's own path at the median, OSC at most 0.3 ms")
    print("   wrong answers or frames: %d" % bad)


def window_path():
    """The window path's median over its floor (ms), from zv_action_path_bench; None without it."""
    if not os.access(ACTION_PATH_BENCH, os.X_OK):
        return None
    out = subprocess.run([ACTION_PATH_BENCH, str(SAMPLES)], capture_output=True, env=ENV, timeout=120)
    for line in out.stdout.decode().splitlines():
        if line.startswith("window_minus_floor_ms "):
            return float(line.split()[1])
        print("   " + line.strip())
    return None


def measure_fanout(zvd):
    """Time from the HTTP send until the last of FANOUT_CLIENTS has the record event.

    One thread waits on all the clients' sockets at once and stamps each
    event when the wait returns: no client thread has to be woken (and take
    the interpreter's lock) for its stamp. The HTTP answer is read after the
    events, so the wait for it is not in the figures either."""
    url = "ws://127.0.0.1:%d/api/v1/events" % zvd.port
    clients = []
    for i in range(FANOUT_CLIENTS):
        # 16 connections per client address at most: ten clients an address.
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind(("127.0.2.%d" % (i // 10 + 1), 0))
        s.connect(("127.0.0.1", zvd.port))
        ws = websocket.create_connection(url, socket=s, header=["Authorization: Bearer " + zvd.token],
                                         suppress_origin=True, timeout=30)
        assert json.loads(ws.recv())["event"] == "snapshot"
        clients.append(ws)
    sel = selectors.DefaultSelector()
    for i, ws in enumerate(clients):
        sel.register(ws.sock, selectors.EVENT_READ, i)
    conn = zvd.connection()
    path = "/api/v1/devices/%s/actions/switcher.program" % DEVICES[1]
    times, firsts, missed = [], [], 0
    for k in range(FANOUT_ACTIONS):
        source = 1 + k % 10
        got = {}
        t0 = now_ns()
        conn.request("POST", path, body=json.dumps({"source": source}), headers=zvd.headers())
        deadline = time.monotonic() + 5
        while len(got) < FANOUT_CLIENTS and time.monotonic() < deadline:
            ready = sel.select(0.5)
            t = now_ns()
            for key, _ in ready:
                # One frame per wake-up; a socket with more stays ready.
                e = json.loads(clients[key.data].recv())
                if (e.get("event") == "record" and e.get("device") == DEVICES[1]
                        and e.get("fields", {}).get("program") == source):
                    got.setdefault(key.data, t)
        r = conn.getresponse()
        r.read()
        if len(got) == FANOUT_CLIENTS:
            times.append(max(got.values()) - t0)
            firsts.append(min(got.values()) - t0)
        else:
            missed += 1
        time.sleep(0.02)
    conn.close()
    sel.close()
    for ws in clients:
        ws.close()
    print("2. record event fanned out to %d WebSocket clients (bearer token, no Origin), %d actions"
          % (FANOUT_CLIENTS, FANOUT_ACTIONS))
    if times:
        print("   HTTP send -> last client has it:  median %.2f ms, p99 %.2f ms (goal: p99 under 20 ms)"
              % (ms(pct(times, 0.5)), ms(pct(times, 0.99))))
        print("   HTTP send -> first client has it: median %.2f ms, p99 %.2f ms"
              % (ms(pct(firsts, 0.5)), ms(pct(firsts, 0.99))))
    print("   actions whose event did not reach every client within 5 s: %d" % missed)


def load_client(zvd, n, start, end, rate, out):
    """One client process: `rate` actions a second, to its two devices in turn."""
    conn = zvd.connection()
    sent = [[] for _ in DEVICES]
    statuses = {}
    j = 0
    while True:
        due = start + j / rate
        if due >= end:
            break
        delay = due - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        device = 2 * n + j % 2
        source = 1 + (j // 2) % 10
        j += 1
        sent[device].append(source)
        try:
            status, _ = program(conn, zvd, DEVICES[device], source)
        except (OSError, http.client.HTTPException):
            status = "error"
            conn.close()
            conn = zvd.connection()
        statuses[status] = statuses.get(status, 0) + 1
    conn.close()
    out.put((n, sent, statuses, j))


def measure_load(zvd, devices):
    clients, rate = LOAD_CLIENTS, 100.0
    devices.drain()
    devices.collect()
    start = time.monotonic() + 0.5
    end = start + LOAD_SECONDS
    ctx = multiprocessing.get_context("fork")
    out = ctx.Queue()
    procs = [ctx.Process(target=load_client, args=(zvd, n, start, end, rate, out)) for n in range(clients)]
    rss = [("start", zvd.rss_kb())]
    for p in procs:
        p.start()
    time.sleep(max(0.0, start + LOAD_SECONDS / 2 - time.monotonic()))
    rss.append(("middle", zvd.rss_kb()))
    results = [out.get(timeout=LOAD_SECONDS + 120) for _ in procs]
    for p in procs:
        p.join()
    elapsed = time.monotonic() - start
    rss.append(("end", zvd.rss_kb()))
    time.sleep(0.3)   # the last frames reach the devices
    devices.collecting = False
    devices.collector.join()
    offered = int(LOAD_SECONDS * rate) * clients
    n_sent = sum(r[3] for r in results)
    ok = sum(r[2].get(200, 0) for r in results)
    other = {}
    for r in results:
        for k, v in r[2].items():
            if k != 200:
                other[k] = other.get(k, 0) + v
    # Each device hears one client: its frames must come exactly as sent.
    sent = [None] * len(DEVICES)
    for _, client_sent, _, _ in results:
        for d, sources in enumerate(client_sent):
            if sources:
                sent[d] = sources
    in_order = sum(1 for d in range(len(DEVICES)) if [src for _, src in devices.arrivals[d]] == sent[d])
    gaps = [b[0] - a[0] for arr in devices.arrivals for a, b in zip(arr, arr[1:])]
    every = sorted(t for arr in devices.arrivals for t, _ in arr)
    frames = len(every)
    print("3. load: %d clients (each its own process; the service answers one request a connection, so each action is a new connection), %.0f actions/s each, each client to"
          " two of %d production switchers in turn, for %.0f s" % (clients, rate, len(DEVICES), LOAD_SECONDS))
    print("   scheduled %d; sent %d (a client sends its next when the last is answered: %d never left the"
          " schedule)" % (offered, n_sent, offered - n_sent))
    print("   answered 200: %d; lost (no 200): %d%s" % (ok, n_sent - ok, " %s" % other if other else ""))
    print("   sustained: %.1f actions/s answered in all (%.1f per device); frames at the devices: %d"
          % (ok / elapsed, ok / elapsed / len(DEVICES), frames))
    print("   devices whose frames came exactly in the order sent: %d of %d" % (in_order, len(DEVICES)))
    if gaps:
        print("   smallest gap between two frames to one device: %.2f ms (device pacing: 10 ms)" % ms(min(gaps)))
    print("   zvd VmRSS: " + ", ".join("%s %d kB" % r for r in rss))
    print("   (one link worker sends for every device; a device's 10 ms pause holds back only that device)")


def sim_check(zvd, sim_log):
    """zvd's reported frame for the simulator's switcher is the frame it logged."""
    conn = zvd.connection()
    status, answer = program(conn, zvd, SIM_SWITCHER, 7)
    conn.close()
    want = answer["frames"][0].replace(" ", "") if status == 200 else None
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        for line in open(sim_log):
            j = json.loads(line)
            if j.get("frame") == want:
                return True
        time.sleep(0.05)
    return False


def main():
    tmp = tempfile.TemporaryDirectory(prefix="zv-remote-bench-")
    device_port = free_port(socket.SOCK_DGRAM)
    sim_log = os.path.join(tmp.name, "sim.log")
    sim = subprocess.Popen([SIM, "--device", "type=0xA5,id=1,name=Switcher,addr=%s" % SIM_SWITCHER,
                            "--port", str(device_port), "--hub", "127.255.255.255", "--log", sim_log],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=ENV)
    zvd = None
    try:
        if not any(line.rstrip().endswith(b"ready") for line in iter(sim.stderr.readline, b"")):
            print("remote_bench: zv_device_sim did not start", file=sys.stderr)
            return 1
        devices = Devices(device_port)
        try:
            zvd = Zvd(tmp.name, device_port)
        except RuntimeError as e:
            print("remote_bench: %s" % e, file=sys.stderr)
            return 1
        conn = zvd.connection()
        deadline = time.monotonic() + 30
        while True:
            status, listed = zvd.call(conn, "GET", "/devices")
            found = {d["address"] for d in listed or [] if d["online"]}
            if found >= set(DEVICES) | {SIM_SWITCHER}:
                break
            if time.monotonic() > deadline:
                print("remote_bench: zvd did not find the devices (%s)" % sorted(found), file=sys.stderr)
                return 1
            time.sleep(0.2)
        conn.close()
        print("== remote control benchmark (zvd, loopback; figures from one run, no pass mark)")
        print("   zv_device_sim's switcher logged the frame zvd reported sending: %s"
              % ("yes" if sim_check(zvd, sim_log) else "NO"))
        measure_latency(zvd, devices)
        measure_fanout(zvd)
        measure_load(zvd, devices)
        return 0
    finally:
        if zvd:
            zvd.stop()
        sim.terminate()
        sim.wait(10)


if __name__ == "__main__":
    sys.exit(main())
