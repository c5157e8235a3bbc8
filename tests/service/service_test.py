"""zvd as a process against zv_device_sim as a process, driven as clients
drive it: HTTP (http.client), the events' WebSocket (websocket-client) and
OSC (oscsend, and a raw datagram from an address outside the allow-list).
Everything stays on 127.0.0.0/8. What reached a device is read from the
simulator's JSON lines, after a marker sent to the device has come back
through its log (a device handles its datagrams in order).

Arguments: zvd, zv_device_sim and, when the window is built, zv_multiview.
"""

import http.client
import json
import os
import re
import socket
import ssl
import stat
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import websocket

ZVD, SIM = sys.argv[1], sys.argv[2]
WINDOW = sys.argv[3] if len(sys.argv) > 3 else None
del sys.argv[1:]

MULTIVIEW, MATRIX, FOURCH, SWITCHER = "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"
NAMES = {MULTIVIEW: "Multiviewer16", MATRIX: "Matrix8x8", FOURCH: "FourChannel", SWITCHER: "Switcher"}
# A saved salvo, and the texts the desktop panel's recall of it sends (one
# per input some output takes, as the panel's tests hold them).
SALVO, SALVO_ROUTES = "Studio A", [2, 7, 2, 2, 5, 6, 7, 8]
SALVO_TEXTS = ["2V1,3,4.", "5V5.", "6V6.", "7V2,7.", "8V8."]
# No display of any kind: zvd must start without one.
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def free_port(kind):
    s = socket.socket(socket.AF_INET, kind)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Lines:
    """The lines a process writes to one of its pipes, read as they come."""

    def __init__(self, pipe):
        self.lines = []
        self.cond = threading.Condition()
        self.thread = threading.Thread(target=self._read, args=(pipe,), daemon=True)
        self.thread.start()

    def _read(self, pipe):
        for raw in iter(pipe.readline, b""):
            with self.cond:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self.cond.notify_all()
        with self.cond:
            self.lines.append(None)  # the pipe closed
            self.cond.notify_all()

    def wait_for(self, test, timeout=10.0, start=0):
        """The first line from `start` on that passes `test`, waiting for it."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for line in self.lines[start:]:
                    if line is not None and test(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0 or (self.lines and self.lines[-1] is None):
                    return None
                self.cond.wait(left)

    def count(self):
        with self.cond:
            return len(self.lines)

    def wait_for_many(self, test, count, timeout=10.0, start=0):
        """The first `count` lines from `start` on that pass `test`, waiting
        for them; fewer when they did not come in time."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                found = [l for l in self.lines[start:] if l is not None and test(l)][:count]
                left = deadline - time.monotonic()
                if len(found) == count or left <= 0 or (self.lines and self.lines[-1] is None):
                    return found
                self.cond.wait(left)


class Sim:
    """The virtual devices on 127.0.0.2 to 127.0.0.5, logging to standard output."""

    def __init__(self, *extra, port=None):
        self.port = port or free_port(socket.SOCK_DGRAM)
        self.proc = subprocess.Popen([SIM, "--port", str(self.port), "--hub", "127.255.255.255"] + list(extra),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)
        self.log = Lines(self.proc.stdout)
        self.err = Lines(self.proc.stderr)
        assert self.err.wait_for(lambda l: l.endswith("ready")), "zv_device_sim did not start"
        self.markers = 0

    def received(self, address, link=None):
        """What the device at `address` received so far (on `link` alone,
        "udp" or "serial", when given), once it has logged everything sent
        to it by UDP before now: each frame or text as hex."""
        self.markers += 1
        marker = "zv-test-marker-%d" % self.markers
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.sendto(marker.encode(), (address, self.port))
        s.close()
        assert self.log.wait_for(lambda l: marker in l), "the device did not log the marker"
        out = []
        with self.log.cond:
            lines = [l for l in self.log.lines if l]
        for line in lines:
            if marker in line:
                break
            j = json.loads(line)
            if j.get("device") != NAMES[address] or (link and j.get("link") != link):
                continue
            if "frame" in j:
                # The discovery query is the service asking who still
                # answers (its presence search), not a request's doing.
                if j.get("command") != "0xff":
                    out.append(j["frame"])
            elif "text" in j and not j["text"].startswith("zv-test-marker"):
                out.append(j["text"].encode().hex())
        return out

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


class Zvd:
    def __init__(self, sim, token_file, *extra):
        self.tls = "--tls-cert" in extra
        self.port = free_port(socket.SOCK_STREAM)
        self.osc_port = free_port(socket.SOCK_DGRAM)
        self.args = [ZVD, "--token-file", token_file, "--search-address", "127.255.255.255",
                     "--device-port", str(sim.port), "--local-port", "0",
                     "--listen", "127.0.0.1:%d" % self.port, "--osc-port", str(self.osc_port),
                     "--osc-allow", "127.0.0.1/32"] + list(extra)
        self.proc = subprocess.Popen(self.args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=ENV)
        self.err = Lines(self.proc.stderr)
        ready = self.err.wait_for(lambda l: "ready:" in l or "cannot start" in l, timeout=20)
        assert ready and "ready:" in ready, "zvd did not start: %s" % self.err.lines

    def request(self, method, path, body=None, token=None, headers=None, source="127.0.0.1", context=None):
        if context:
            conn = http.client.HTTPSConnection("127.0.0.1", self.port, timeout=30, context=context)
        else:
            conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30, source_address=(source, 0))
        h = dict(headers or {})
        if token:
            h["Authorization"] = "Bearer " + token
        if isinstance(body, (dict, list)):
            body = json.dumps(body).encode()
        conn.request(method, path, body=body, headers=h)
        r = conn.getresponse()
        data = r.read()
        conn.close()
        try:
            parsed = json.loads(data) if data else None
        except ValueError:
            parsed = data
        return r.status, parsed, r

    def events(self, token=None, headers=None, **kw):
        h = list(headers or [])
        if token:
            h.append("Authorization: Bearer " + token)
        return websocket.create_connection("ws://127.0.0.1:%d/api/v1/events" % self.port, header=h, timeout=10,
                                           **kw)

    def audit(self, start, pattern, timeout=10):
        return self.err.wait_for(lambda l: " audit " in l and re.search(pattern, l), timeout, start)

    def stop(self):
        self.proc.terminate()
        return self.proc.wait(10)


def add_token(token_file, name, role):
    out = subprocess.run([ZVD, "--token-file", token_file, "--add-token", name, role],
                         capture_output=True, env=ENV, timeout=20)
    assert out.returncode == 0, out.stderr
    return out.stdout.decode().strip()


def osc_message(path, *ints):
    """An OSC message with int32 arguments, as bytes."""
    def pad(b):
        return b + b"\0" * (4 - len(b) % 4)
    return pad(path.encode()) + pad(("," + "i" * len(ints)).encode()) + b"".join(struct.pack(">i", i) for i in ints)


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tokens = os.path.join(cls.dir.name, "tokens")
        cls.view = add_token(cls.tokens, "wall", "view")
        cls.operate = add_token(cls.tokens, "desk", "operate")
        cls.admin = add_token(cls.tokens, "root", "admin")
        # The salvo folder: a salvo, a file that holds none, and files whose
        # names are no salvo's (left out and counted); a text file is no
        # salvo file at all.
        cls.salvos = os.path.join(cls.dir.name, "salvos")
        os.mkdir(cls.salvos)
        for name, text in ((SALVO + ".json", json.dumps({"salvo": SALVO, "outputs": SALVO_ROUTES})),
                           ("Broken.json", "{\"outputs\": [1, 2]}"),
                           (".hidden.json", json.dumps({"outputs": SALVO_ROUTES})),
                           ("50%.json", json.dumps({"outputs": SALVO_ROUTES})),
                           ("notes.txt", "not a salvo")):
            with open(os.path.join(cls.salvos, name), "w") as f:
                f.write(text)
        cls.sim = Sim()
        cls.zvd = Zvd(cls.sim, cls.tokens, "--event-queue-kb", "32", "--salvo-dir", cls.salvos)

    @classmethod
    def tearDownClass(cls):
        status = cls.zvd.stop()
        cls.sim.stop()
        cls.dir.cleanup()
        # A stop by SIGTERM ends zvd cleanly (under the sanitizers: no leak,
        # no error on the way out).
        if status != 0:
            raise AssertionError("zvd ended with status %d: %s" % (status, cls.zvd.err.lines[-5:]))

    def nothing_reached(self, address, before):
        self.assertEqual(self.sim.received(address)[len(before):], [], "a refused request reached the device")

    def test_security_cases(self):
        z = self.zvd
        action = "/api/v1/devices/%s/actions/switcher.cut" % SWITCHER

        def http(method, path, body, token=None, headers=None):
            return lambda: z.request(method, path, body, token, headers)[0]

        def foreign_origin():
            try:
                z.events(self.operate, origin="http://evil.example").close()
                return 101
            except websocket.WebSocketBadStatusException as e:
                return e.status_code

        def osc_outside():
            # From 127.0.0.66, which the allow-list (127.0.0.1/32) leaves out;
            # then an allowed message behind it, whose audit line says the
            # listener has dealt with both.
            before = z.request("GET", "/api/v1/status", token=self.view)[1]["osc"]["dropped"]
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.bind(("127.0.0.66", 0))
            s.sendto(osc_message("/zv/%s/switcher/cut" % SWITCHER), ("127.0.0.1", z.osc_port))
            s.close()
            start = z.err.count()
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.sendto(osc_message("/zv/%s/switcher/nothing" % SWITCHER), ("127.0.0.1", z.osc_port))
            s.close()
            self.assertTrue(z.audit(start, r"osc /zv/.*/switcher/nothing"), "the allowed message was not audited")
            after = z.request("GET", "/api/v1/status", token=self.view)[1]["osc"]["dropped"]
            return "dropped" if after == before + 1 else "dropped %d" % (after - before)

        cases = [
            # name, request, what it must get, audit line expected
            ("no token", http("POST", action, b"{}"), 401),
            ("wrong token", http("POST", action, b"{}", "0" * 48), 401),
            ("view token on an action", http("POST", action, b"{}", self.view), 403),
            ("operate token on set IP",
             http("POST", "/api/v1/devices/%s/ip" % SWITCHER, {"address": "10.9.9.9"}, self.operate), 403),
            ("foreign Origin on the events", foreign_origin, 403),
            ("oversized body", http("POST", action, b"{" + b" " * (70 * 1024) + b"}", self.operate), 413),
            ("malformed JSON",
             http("POST", "/api/v1/devices/%s/actions/switcher.program" % SWITCHER, b'{"source": 3', self.operate),
             400),
            ("unknown action",
             http("POST", "/api/v1/devices/%s/actions/switcher.explode" % SWITCHER, b"{}", self.operate), 404),
            ("out-of-range parameter",
             http("POST", "/api/v1/devices/%s/actions/switcher.program" % SWITCHER, {"source": 13}, self.operate),
             400),
            ("action of another family",
             http("POST", "/api/v1/devices/%s/actions/matrix.through" % SWITCHER, b"{}", self.operate), 404),
            ("unknown device",
             http("POST", "/api/v1/devices/127.0.0.9/actions/switcher.cut", b"{}", self.operate), 404),
            ("OSC from outside the allow-list", osc_outside, "dropped"),
        ]
        for name, run, expected in cases:
            with self.subTest(name):
                before = self.sim.received(SWITCHER)
                start = z.err.count()
                self.assertEqual(run(), expected)
                self.nothing_reached(SWITCHER, before)
                if isinstance(expected, int):
                    self.assertTrue(z.audit(start, r"status=%d" % expected), "no audit line for the refusal")

    def test_a_client_that_does_not_read_its_events_is_disconnected(self):
        z = self.zvd
        start = z.err.count()
        # A receive buffer of a few KB: what it does not take queues in zvd.
        ws = z.events(self.view, sockopt=[(socket.SOL_SOCKET, socket.SO_RCVBUF, 2048)])
        closed = None
        for i in range(400):
            # Each label change sends every window's record (a few KB).
            status = z.request("POST", "/api/v1/devices/%s/actions/multiview.label" % MULTIVIEW,
                               {"win": 1 + i % 16, "text": "Camera %d" % i}, self.operate)[0]
            self.assertEqual(status, 200)
            closed = z.err.wait_for(lambda l: "does not read its events" in l, timeout=0, start=start)
            if closed:
                break
        self.assertTrue(closed, "a client that never reads was never disconnected")
        self.assertIn("who=wall", closed)
        ws.close()

    def test_closed_event_clients_give_their_connections_back(self):
        # More than the 16 connections one address may hold, one after the
        # other: each closed client's connection is counted out again.
        z = self.zvd
        for _ in range(20):
            ws = z.events(self.view)
            self.assertEqual(json.loads(ws.recv())["event"], "snapshot")
            ws.close()
        status = z.request("GET", "/api/v1/status", token=self.view)
        self.assertEqual(status[0], 200, status[1])

    def test_events_start_with_the_state_and_tell_what_an_action_changed(self):
        z = self.zvd
        # A client that is no browser: a bearer token and no Origin.
        ws = z.events(self.view, suppress_origin=True)
        snapshot = json.loads(ws.recv())
        self.assertEqual(snapshot["event"], "snapshot")
        devices = {d["address"]: d for d in snapshot["devices"]}
        self.assertEqual(set(devices), set(NAMES))
        self.assertIn("program", devices[SWITCHER]["state"])
        self.assertEqual(devices[SWITCHER]["family"], "switcher")
        source = 8 if devices[SWITCHER]["state"]["program"] != 8 else 7
        status, body, _ = z.request("POST", "/api/v1/devices/%s/actions/switcher.program" % SWITCHER,
                                    {"source": source}, self.operate)
        self.assertEqual(status, 200, body)
        seen = []
        while not any(m["event"] == "action" for m in seen):
            seen.append(json.loads(ws.recv()))
        records = [m for m in seen if m["event"] == "record"]
        self.assertEqual(records[0]["device"], SWITCHER)
        self.assertEqual(records[0]["fields"], {"program": source})
        self.assertEqual((records[0]["surface"], records[0]["who"]), ("http", "desk"))
        action = seen[-1]
        self.assertEqual((action["action"], action["from"], action["who"], action["result"]),
                         ("switcher.program", "http", "desk", "done"))
        ws.close()

    def test_a_browser_logs_in_and_listens_from_the_services_own_origin(self):
        z = self.zvd
        status, body, response = z.request("POST", "/api/v1/login", {"token": self.view})
        self.assertEqual((status, body), (200, {"name": "wall", "role": "view"}))
        cookie = response.getheader("Set-Cookie")
        for attribute in ("HttpOnly", "SameSite=Strict"):
            self.assertIn(attribute, cookie)
        session = cookie.split(";")[0]
        self.assertEqual(z.request("GET", "/api/v1/devices", headers={"Cookie": session})[0], 200)
        ws = z.events(headers=["Cookie: " + session], origin="http://127.0.0.1:%d" % z.port)
        self.assertEqual(json.loads(ws.recv())["event"], "snapshot")
        ws.close()
        # A cookie without an Origin is no browser's own page.
        with self.assertRaises(websocket.WebSocketBadStatusException) as refused:
            z.events(headers=["Cookie: " + session], suppress_origin=True)
        self.assertEqual(refused.exception.status_code, 403)
        self.assertEqual(z.request("GET", "/api/v1/devices", headers={"Cookie": session,
                                                                     "Origin": "http://evil.example"})[0], 403)

    def test_the_api_examples_as_written(self):
        z = self.zvd
        examples = [
            (SWITCHER, "switcher.program", {"source": 3}),
            (SWITCHER, "switcher.preview", {"source": 2}),
            (SWITCHER, "switcher.cut", {}),
            (SWITCHER, "switcher.auto", {}),
            (MATRIX, "matrix.route", {"input": 2, "outputs": [5, 6]}),
            (MULTIVIEW, "multiview.layout", {"windows": 9}),
        ]
        for device, action, body in examples:
            with self.subTest(action):
                before = self.sim.received(device)
                status, answer, _ = z.request("POST", "/api/v1/devices/%s/actions/%s" % (device, action), body,
                                              self.operate)
                self.assertEqual(status, 200, answer)
                self.assertEqual(answer["result"], "done")
                self.assertTrue(answer["frames"])
                # The answer's frames are what the device received.
                received = self.sim.received(device)[len(before):]
                self.assertEqual([f.replace(" ", "") for f in answer["frames"]], received)
        # The state reads the multiviewer back: it has the layout just sent.
        status, state, _ = z.request("GET", "/api/v1/devices/%s/state" % MULTIVIEW, token=self.view)
        self.assertEqual((status, state["family"], state["state"]["layout"]), (200, "multiview", 9))

    def test_osc_sends_what_http_sends_for_the_same_action(self):
        z = self.zvd
        before = self.sim.received(MATRIX)
        start = z.err.count()
        subprocess.run(["oscsend", "127.0.0.1", str(z.osc_port), "/zv/%s/matrix/route" % MATRIX, "ii", "4", "7"],
                       check=True, timeout=20)
        self.assertTrue(z.audit(start, r"who=127.0.0.1 action=matrix.route device=%s result=done" % MATRIX))
        by_osc = self.sim.received(MATRIX)[len(before):]
        self.assertEqual(len(by_osc), 1)
        status, answer, _ = z.request("POST", "/api/v1/devices/%s/actions/matrix.route" % MATRIX,
                                      {"input": 4, "outputs": [7]}, self.operate)
        self.assertEqual(status, 200, answer)
        by_http = self.sim.received(MATRIX)[len(before) + 1:]
        self.assertEqual(by_http, by_osc)
        self.assertEqual([f.replace(" ", "") for f in answer["frames"]], by_osc)

    def test_salvos_are_listed_and_recalled_by_name_and_never_by_a_path(self):
        z = self.zvd
        salvos = "/api/v1/devices/%s/salvos" % MATRIX
        status, listed, _ = z.request("GET", salvos, token=self.view)
        self.assertEqual(status, 200, listed)
        self.assertEqual([(s["name"], s.get("routes")) for s in listed["salvos"]],
                         [("Broken", None), (SALVO, SALVO_ROUTES)])
        self.assertIn("outputs", listed["salvos"][0]["error"])
        self.assertNotIn(self.salvos, json.dumps(listed), "the listing shows the service's paths")
        self.assertEqual(listed["skipped"], 2)
        for name, path, token, expected in [
                ("not a matrix router", "/api/v1/devices/%s/salvos" % SWITCHER, self.view, 404),
                ("no such device", "/api/v1/devices/127.0.0.9/salvos", self.view, 404),
                ("no token", salvos, None, 401)]:
            with self.subTest(name):
                self.assertEqual(z.request("GET", path, token=token)[0], expected)

        # By name, over HTTP and OSC: the panel's texts reach the router.
        expected = [t.encode().hex() for t in SALVO_TEXTS]
        recall = "/api/v1/devices/%s/actions/matrix.salvo" % MATRIX
        before = self.sim.received(MATRIX)
        status, answer, _ = z.request("POST", recall, {"name": SALVO}, self.operate)
        self.assertEqual(status, 200, answer)
        self.assertEqual(self.sim.received(MATRIX)[len(before):], expected)
        self.assertEqual([f.replace(" ", "") for f in answer["frames"]], expected)
        before = self.sim.received(MATRIX)
        start = z.err.count()
        subprocess.run(["oscsend", "127.0.0.1", str(z.osc_port), "/zv/%s/matrix/salvo" % MATRIX, "s", SALVO],
                       check=True, timeout=20)
        self.assertTrue(z.audit(start, r"action=matrix.salvo device=%s result=done" % MATRIX))
        self.assertEqual(self.sim.received(MATRIX)[len(before):], expected)

        # Refused, with nothing sent: a path from any client, whatever its
        # role (even one inside the salvo folder), and names that are none.
        def osc(*words):
            start = z.err.count()
            subprocess.run(["oscsend", "127.0.0.1", str(z.osc_port), "/zv/%s/matrix/salvo" % MATRIX,
                            "s" * len(words), *words], check=True, timeout=20)
            line = z.audit(start, r"osc /zv/.*/matrix/salvo")
            return int(re.search(r"status=(\d+)", line).group(1)) if line else None

        in_folder = os.path.join(self.salvos, SALVO + ".json")
        cases = [
            ("a path, from an admin", lambda: z.request("POST", recall, {"file": "/etc/passwd"}, self.admin), 400,
             "salvos are recalled by name from the salvo folder"),
            ("a path inside the salvo folder", lambda: z.request("POST", recall, {"file": in_folder}, self.admin),
             400, "recalled by name"),
            ("a path as a name", lambda: z.request("POST", recall, {"name": "../tokens"}, self.admin), 400, "name"),
            ("a hidden file's name", lambda: z.request("POST", recall, {"name": ".hidden"}, self.operate), 400,
             "name"),
            ("a salvo that is not there", lambda: z.request("POST", recall, {"name": "Nope"}, self.operate), 400,
             "no salvo \"Nope\""),
            ("a file that holds no salvo", lambda: z.request("POST", recall, {"name": "Broken"}, self.operate), 400,
             "Broken"),
            ("neither name nor file", lambda: z.request("POST", recall, {}, self.operate), 400, "name"),
            ("a view token", lambda: z.request("POST", recall, {"name": SALVO}, self.view), 403, "operate"),
            ("a path over OSC", lambda: (osc("/etc/passwd"), None, None), 400, None),
        ]
        for name, run, status, says in cases:
            with self.subTest(name):
                before = self.sim.received(MATRIX)
                got, answer, _ = run()
                self.assertEqual(got, status, answer)
                if says:
                    self.assertIn(says, answer["error"])
                self.nothing_reached(MATRIX, before)

    def test_repeated_failures_block_the_address(self):
        z = self.zvd
        source = "127.0.0.77"
        for _ in range(10):
            self.assertEqual(z.request("GET", "/api/v1/devices", token="f" * 48, source=source)[0], 401)
        # Now even the right token is refused from there, and only there.
        self.assertEqual(z.request("GET", "/api/v1/devices", token=self.view, source=source)[0], 429)
        self.assertEqual(z.request("GET", "/api/v1/devices", token=self.view)[0], 200)


class NoDevices:
    """Where no device answers: a free UDP port."""

    def __init__(self):
        self.port = free_port(socket.SOCK_DGRAM)


class StartTest(unittest.TestCase):
    """How zvd and the served window start: without a token file, with one
    the window makes, and under TLS."""

    def test_tls(self):
        with tempfile.TemporaryDirectory() as d:
            cert, key, tokens = (os.path.join(d, n) for n in ("cert.pem", "key.pem", "tokens"))
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                            "-subj", "/CN=127.0.0.1", "-days", "1"], check=True, capture_output=True, timeout=60)
            token = add_token(tokens, "desk", "operate")
            z = Zvd(NoDevices(), tokens, "--tls-cert", cert, "--tls-key", key)
            try:
                context = ssl.create_default_context(cafile=cert)
                context.check_hostname = False
                status, body, _ = z.request("GET", "/api/v1/devices", token=token, context=context)
                self.assertEqual((status, body), (200, []))
                status, _, response = z.request("POST", "/api/v1/login", {"token": token}, context=context)
                self.assertEqual(status, 200)
                self.assertIn("Secure", response.getheader("Set-Cookie"))
                ws = websocket.create_connection("wss://127.0.0.1:%d/api/v1/events" % z.port, timeout=10,
                                                 header=["Authorization: Bearer " + token], suppress_origin=True,
                                                 sslopt={"ca_certs": cert, "check_hostname": False})
                self.assertEqual(json.loads(ws.recv())["event"], "snapshot")
                ws.close()
            finally:
                z.stop()

    @unittest.skipUnless(WINDOW, "the window is not built")
    def test_the_served_window_makes_its_token_once(self):
        with tempfile.TemporaryDirectory() as d:
            env = dict(ENV, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=d)
            port = free_port(socket.SOCK_STREAM)
            args = [WINDOW, "--serve", "--listen", "127.0.0.1:%d" % port, "--search-address", "127.0.0.1",
                    "--device-port", str(free_port(socket.SOCK_DGRAM)), "--local-port", "0"]
            tokens = []
            for run in range(2):
                proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
                out, err = Lines(proc.stdout), Lines(proc.stderr)
                try:
                    self.assertTrue(err.wait_for(lambda l: "serving http://127.0.0.1" in l, timeout=30), err.lines)
                    line = out.wait_for(lambda l: "shown once" in l, timeout=0)
                    if run == 0:
                        self.assertTrue(line, "no token was shown")
                        tokens.append(line.split()[-1])
                        mode = os.stat(os.path.join(d, "zv_multiview", "tokens")).st_mode
                        self.assertEqual(stat.S_IMODE(mode) & 0o077, 0, "the token file is not private")
                    else:
                        self.assertIsNone(line, "a token was shown again")
                    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                    conn.request("GET", "/api/v1/devices", headers={"Authorization": "Bearer " + tokens[0]})
                    self.assertEqual(conn.getresponse().status, 200)
                    conn.close()
                finally:
                    proc.terminate()
                    proc.wait(10)

    def test_without_a_token_file(self):
        with tempfile.TemporaryDirectory() as d:
            missing = os.path.join(d, "none")
            out = subprocess.run([ZVD, "--token-file", missing, "--listen", "0.0.0.0:%d" % free_port(socket.SOCK_STREAM)],
                                 capture_output=True, env=ENV, timeout=20)
            self.assertEqual(out.returncode, 1)
            self.assertIn(b"needs a token file", out.stderr)
            # On loopback it starts, and refuses every request.
            env = dict(ENV, XDG_CONFIG_HOME=d)
            port = free_port(socket.SOCK_STREAM)
            proc = subprocess.Popen([ZVD, "--listen", "127.0.0.1:%d" % port, "--search-address", "127.0.0.1",
                                     "--device-port", str(free_port(socket.SOCK_DGRAM)), "--local-port", "0"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
            err = Lines(proc.stderr)
            self.assertTrue(err.wait_for(lambda l: "serving" in l, timeout=20), err.lines)
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            conn.request("GET", "/api/v1/devices", headers={"Authorization": "Bearer " + "a" * 48})
            r = conn.getresponse()
            self.assertEqual(r.status, 401)
            self.assertIn("no token file", json.loads(r.read())["error"])
            proc.terminate()
            self.assertEqual(proc.wait(10), 0)


def serial_frame(udp_frame):
    """A frame as it goes on the serial line: the one sent by UDP with the
    serial link flag (0 for the 1 of UDP) and its checksum made again."""
    b = bytearray.fromhex(udp_frame)
    assert b[6] == 1, "not a frame sent by UDP: %s" % udp_frame
    b[6] = 0
    checksum = sum(b[:-3]) & 0xFFFF
    b[-3], b[-2] = checksum & 0xFF, checksum >> 8
    return b.hex()


class SerialLineTest(unittest.TestCase):
    """zvd --serial-port on the pseudo-terminal of zv_device_sim --serial,
    whose multiviewer (127.0.0.2 by UDP) also answers on that line."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tokens = os.path.join(cls.dir.name, "tokens")
        cls.operate = add_token(cls.tokens, "desk", "operate")
        cls.admin = add_token(cls.tokens, "root", "admin")
        # The port by a name of the operator's, as a udev rule would give it.
        cls.link = os.path.join(cls.dir.name, "ttyZV0")
        cls.key = "serial-ttyZV0"
        cls.sim = Sim("--serial", "--serial-link", cls.link)
        cls.zvd = Zvd(cls.sim, cls.tokens, "--serial-port", cls.link)

    @classmethod
    def tearDownClass(cls):
        status = cls.zvd.stop()
        cls.sim.stop()
        cls.dir.cleanup()
        if status != 0:
            raise AssertionError("zvd ended with status %d: %s" % (status, cls.zvd.err.lines[-5:]))

    def serial_frames(self, start, count):
        """The first `count` frames the multiviewer took on the serial line
        from log line `start` on, discovery queries left out."""
        lines = self.sim.log.wait_for_many(
            lambda l: '"link":"serial"' in l and '"frame"' in l and '"command":"0xff"' not in l, count, start=start)
        return [json.loads(l)["frame"] for l in lines]

    def act(self, device, action, body, token=None):
        return self.zvd.request("POST", "/api/v1/devices/%s/actions/%s" % (device, action), body,
                                token or self.operate)

    def test_the_device_on_the_line_is_listed_and_driven_as_on_the_network(self):
        z = self.zvd
        status, listed, _ = z.request("GET", "/api/v1/devices", token=self.operate)
        self.assertEqual(status, 200, listed)
        devices = {d["address"]: d for d in listed}
        self.assertEqual(
            {k: devices.get(self.key, {}).get(k) for k in ("family", "type", "id", "online", "link", "serial_port")},
            {"family": "multiview", "type": 0xA1, "id": 1, "online": True, "link": "serial",
             "serial_port": self.link})
        self.assertEqual((devices[MULTIVIEW]["link"], devices[MULTIVIEW]["serial_port"]), ("network", None))

        def osc(windows):
            start = z.err.count()
            subprocess.run(["oscsend", "127.0.0.1", str(z.osc_port), "/zv/%s/multiview/layout" % self.key, "i",
                            str(windows)], check=True, timeout=20)
            line = z.audit(start, r"action=multiview.layout device=%s result=done" % self.key)
            self.assertTrue(line, "the OSC action was not done: %s" % z.err.lines[start:])
            return None

        def http(windows):
            status, answer, _ = self.act(self.key, "multiview.layout", {"windows": windows})
            self.assertEqual(status, 200, answer)
            return answer["frames"]

        for surface, send, windows in [("http", http, 4), ("osc", osc, 9)]:
            with self.subTest(surface):
                udp_before = self.sim.received(MULTIVIEW, "udp")
                start = self.sim.log.count()
                answered = send(windows)
                on_line = self.serial_frames(start, 1)
                self.assertEqual(len(on_line), 1, "nothing reached the device on the line")
                # It went on the line, not to the device's network address.
                self.assertEqual(self.sim.received(MULTIVIEW, "udp")[len(udp_before):], [])
                if answered is not None:
                    self.assertEqual([f.replace(" ", "") for f in answered], on_line)
                # The bytes of the same action by UDP, with the serial link
                # flag: what the window's serial connection sends.
                status, answer, _ = self.act(MULTIVIEW, "multiview.layout", {"windows": windows})
                self.assertEqual(status, 200, answer)
                by_udp = self.sim.received(MULTIVIEW, "udp")[len(udp_before):]
                self.assertEqual(len(by_udp), 1)
                self.assertEqual(on_line, [serial_frame(by_udp[0])])
                # Its state is read back over the line.
                status, state, _ = z.request("GET", "/api/v1/devices/%s/state" % self.key, token=self.operate)
                self.assertEqual((status, state["address"], state["state"]["layout"]), (200, self.key, windows))

    def test_requests_refused_for_the_line_send_nothing_on_it(self):
        z = self.zvd

        def http(method, path, body, token):
            return lambda: z.request(method, path, body, token)[0]

        cases = [
            ("set IP", http("POST", "/api/v1/devices/%s/ip" % self.key, {"address": "10.9.9.9"}, self.admin), 409),
            ("unknown serial key",
             http("POST", "/api/v1/devices/serial-ttyZV9/actions/multiview.layout", {"windows": 4}, self.operate),
             404),
            ("a key no port gives",
             http("POST", "/api/v1/devices/serial-a%20b/actions/multiview.layout", {"windows": 4}, self.operate),
             404),
        ]
        for name, run, expected in cases:
            with self.subTest(name):
                start = self.sim.log.count()
                self.assertEqual(run(), expected)
                # The line keeps its order: the next frame on it is the
                # one sent after the refusal.
                status, answer, _ = self.act(self.key, "multiview.layout", {"windows": 1})
                self.assertEqual(status, 200, answer)
                self.assertEqual(self.serial_frames(start, 1), [answer["frames"][0].replace(" ", "")])

    def test_a_lost_line_takes_the_device_offline_and_a_scan_finds_it_again(self):
        z = self.zvd
        ws = z.events(self.operate)
        self.assertEqual(json.loads(ws.recv())["event"], "snapshot")

        def next_event(test):
            while True:
                event = json.loads(ws.recv())
                if test(event):
                    return event

        # A search of the network, which the line's device is not on, and
        # of the line leaves it as it was: the next event about it is the
        # action's, not a device event.
        status, listed, _ = z.request("POST", "/api/v1/scan", {}, self.admin)
        self.assertEqual(status, 200, listed)
        self.assertEqual(self.act(self.key, "multiview.layout", {"windows": 4})[0], 200)
        self.assertEqual(next_event(lambda e: e["event"] in ("device", "action") and e["device"] == self.key)["event"],
                         "action")
        port = self.sim.port
        self.sim.stop()  # the far end of the line closes
        lost = next_event(lambda e: e["event"] == "device" and e["device"] == self.key)
        self.assertEqual((lost["online"], lost["link"]), (False, "serial"))
        type(self).sim = Sim("--serial", "--serial-link", self.link, port=port)
        status, listed, _ = z.request("POST", "/api/v1/scan", {}, self.admin)
        self.assertEqual(status, 200, listed)
        back = next_event(lambda e: e["event"] == "device" and e["device"] == self.key)
        self.assertTrue(back["online"])
        ws.close()
        self.assertIn((self.key, True), [(d["address"], d["online"]) for d in listed])
        start = self.sim.log.count()
        status, answer, _ = self.act(self.key, "multiview.layout", {"windows": 16})
        self.assertEqual(status, 200, answer)
        self.assertEqual(self.serial_frames(start, 1), [answer["frames"][0].replace(" ", "")])


if __name__ == "__main__":
    unittest.main(verbosity=2)
