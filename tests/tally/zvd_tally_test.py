"""Tally in zvd, as a process against zv_device_sim as a process: TSL in
from the tsl-umd-v5 package (node), the events' WebSocket, the switcher
driven over HTTP, TSL out to a tsl-umd-v5 display. Everything stays on
127.0.0.0/8. The service tests' harness (service_test.py) runs the
processes.

Arguments: zvd, zv_device_sim, the node_modules folder, the peers' folder.
"""

import json
import os
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
NODE_MODULES, PEERS = sys.argv[3], sys.argv[4]
del sys.argv[3:5]
sys.path.insert(0, os.path.join(HERE, "..", "service"))
import service_test as svc  # noqa: E402  (takes zvd and zv_device_sim from sys.argv)

NODE_ENV = dict(svc.ENV, NODE_PATH=NODE_MODULES)


def frames_with(frames, command):
    """The frames (hex, no spaces) whose command byte is `command`."""
    return [f for f in frames if len(f) > 34 and int(f[32:34], 16) == command]


def frames_after(sim, address, before, start, last):
    """What the device received after `before`, once it has logged `last`
    ("0x3c 0306": a command and its parameters) from log line `start` on:
    an event says a window changed as its frames are queued, and they
    leave at the link's pace."""
    command, params = last.split()
    name = '"device":"%s"' % svc.NAMES[address]
    key = '"command":"%s","params":"%s"' % (command, params)
    assert sim.log.wait_for(lambda l: name in l and key in l, timeout=10, start=start), "no %s frame" % last
    return sim.received(address)[len(before):]


class ZvdTallyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tokens = os.path.join(cls.dir.name, "tokens")
        cls.operate = svc.add_token(cls.tokens, "desk", "operate")
        cls.tsl_port = svc.free_port(socket.SOCK_DGRAM)
        cls.rx_port = svc.free_port(socket.SOCK_DGRAM)
        mapping = os.path.join(cls.dir.name, "map.json")
        with open(mapping, "w") as f:
            json.dump({"displays": [{"tsl": "5.0", "screen": 0, "index": 3, "window": 3}],
                       "sources": [{"source": 2, "input": 2, "name": "Host"}, {"source": 5, "input": 5}]}, f)
        cls.rx = subprocess.Popen(["node", os.path.join(PEERS, "tsl5_receive.js"), str(cls.rx_port)],
                                  stdout=subprocess.PIPE, env=NODE_ENV)
        cls.rx_lines = svc.Lines(cls.rx.stdout)
        cls.sim = svc.Sim()
        cls.zvd = svc.Zvd(cls.sim, cls.tokens, "--tsl-map", mapping, "--tsl-listen", str(cls.tsl_port),
                          "--tsl-allow", "127.0.0.1/32", "--tsl-send", "127.0.0.1:%d" % cls.rx_port)

    @classmethod
    def tearDownClass(cls):
        cls.zvd.stop()
        cls.sim.stop()
        cls.rx.kill()
        cls.rx.wait(10)
        cls.dir.cleanup()

    def tally_events(self, ws, count):
        out = []
        while len(out) < count:
            m = json.loads(ws.recv())
            if m["event"] == "tally":
                out.append(m)
        return out

    def test_tsl_in_lights_the_window_and_says_so(self):
        ws = self.zvd.events(self.operate, suppress_origin=True)
        before = self.sim.received(svc.MULTIVIEW)
        log_start = self.sim.log.count()
        sent = subprocess.run(["node", os.path.join(PEERS, "tsl5_send.js"), "127.0.0.1", str(self.tsl_port), "udp",
                               "0", "3", "1", "0", "Studio A"], env=NODE_ENV, timeout=30)
        self.assertEqual(sent.returncode, 0)
        event = self.tally_events(ws, 1)[0]
        self.assertEqual(event, {"event": "tally", "multiviewer": svc.MULTIVIEW, "window": 3, "colour": "red",
                                 "from": "tsl 127.0.0.1"})
        new = frames_after(self.sim, svc.MULTIVIEW, before, log_start, "0x3c 0302")
        labels, colours = frames_with(new, 0x1E), frames_with(new, 0x3C)
        self.assertEqual(len(labels), 1)
        # Window 3, the fixed prefix, the text as UTF-16LE.
        label = "03" + "01000100010001" + "Studio A".encode("utf-16-le").hex()
        self.assertEqual(labels[0][34:34 + len(label)], label)
        self.assertEqual(len(colours), 1)
        self.assertEqual(colours[0][34:38], "0302")  # window 3, Red
        ws.close()

    def test_a_source_outside_the_allow_list_changes_nothing_and_is_counted(self):
        ws = self.zvd.events(self.operate, suppress_origin=True)
        before = self.sim.received(svc.MULTIVIEW)
        log_start = self.sim.log.count()
        dropped = self.zvd.request("GET", "/api/v1/status", token=self.operate)[1]["tally"]["tsl_in"]["dropped"]

        def packet(lamp, text):  # 5.0, screen 0, index 3, the left lamp
            body = bytes([0, 0, 0, 0, 3, 0, lamp << 4 | 0xC0, 0, len(text), 0]) + text.encode()
            return bytes([len(body), 0]) + body

        intruder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        intruder.bind(("127.0.0.7", 0))
        intruder.sendto(packet(1, "Intruder"), ("127.0.0.1", self.tsl_port))
        intruder.close()
        # Then one from an allowed source: once its event comes, the refused
        # datagram before it on the same socket has been dealt with.
        allowed = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        allowed.sendto(packet(3, "Desk"), ("127.0.0.1", self.tsl_port))
        allowed.close()
        event = self.tally_events(ws, 1)[0]
        self.assertEqual((event["window"], event["colour"], event["from"]), (3, "amber", "tsl 127.0.0.1"))
        tally = self.zvd.request("GET", "/api/v1/status", token=self.operate)[1]["tally"]
        self.assertEqual(tally["tsl_in"]["dropped"], dropped + 1)
        self.assertIn({"multiviewer": svc.MULTIVIEW, "window": 3, "colour": "amber", "label": "Desk",
                       "from": "tsl 127.0.0.1"}, tally["windows"])
        new = frames_after(self.sim, svc.MULTIVIEW, before, log_start, "0x3c 0306")
        self.assertFalse(any("Intruder".encode("utf-16-le").hex() in f for f in new), new)
        self.assertEqual([f[34:38] for f in frames_with(new, 0x3C)], ["0306"])  # window 3 Yellow, once
        ws.close()

    def test_a_cut_moves_red_and_green_and_tsl_out_follows(self):
        ws = self.zvd.events(self.operate, suppress_origin=True)
        for action, body in (("switcher.program", {"source": 2}), ("switcher.preview", {"source": 5})):
            status, answer, _ = self.zvd.request("POST", "/api/v1/devices/%s/actions/%s" % (svc.SWITCHER, action),
                                                 body, self.operate)
            self.assertEqual(status, 200, answer)
        self.assertEqual({(e["window"], e["colour"]) for e in self.tally_events(ws, 2)}, {(2, "red"), (5, "green")})
        start = self.rx_lines.count()
        status, answer, _ = self.zvd.request("POST", "/api/v1/devices/%s/actions/switcher.cut" % svc.SWITCHER, {},
                                             self.operate)
        self.assertEqual(status, 200, answer)
        events = self.tally_events(ws, 2)
        self.assertEqual({(e["window"], e["colour"], e["from"]) for e in events},
                         {(2, "green", "switcher"), (5, "red", "switcher")})
        line = self.rx_lines.wait_for(lambda l: json.loads(l)["index"] == 5 and
                                      json.loads(l)["display"]["lh_tally"] == 1, timeout=10, start=start)
        self.assertTrue(line, "the TSL display never showed source 5 red")
        host = self.rx_lines.wait_for(lambda l: json.loads(l)["index"] == 2, timeout=10, start=start)
        self.assertEqual(json.loads(host)["display"]["text"], "Host")
        ws.close()


if __name__ == "__main__":
    unittest.main()
