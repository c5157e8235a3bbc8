"""The touch panel in a real browser: headless Chromium driven by Selenium,
against zvd and the virtual devices run as processes on loopback.

Arguments: zvd, zv_device_sim, zvctl, and a folder holding axe-core
(node_modules/axe-core/axe.min.js), or "-" when it could not be installed.
"""
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

import harness as h

ZVD, SIM, ZVCTL, AXE_DIR = sys.argv[1:5]
del sys.argv[1:5]
OSC_PORT = h.free_port(socket.SOCK_DGRAM)
rig = None
# The service's salvo folder, with one salvo saved as the desktop panel saves it.
SALVOS = tempfile.TemporaryDirectory(prefix="zv-web-salvos-")
SALVO, SALVO_ROUTES = "Studio A", [2, 7, 2, 2, 5, 6, 7, 8]


def save_salvo(name, routes):
    path = os.path.join(SALVOS.name, name + ".json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"salvo": name, "outputs": routes}, f)
    return path


def setUpModule():
    global rig
    save_salvo(SALVO, SALVO_ROUTES)
    rig = h.Rig(ZVD, SIM, ["--osc-port", str(OSC_PORT), "--salvo-dir", SALVOS.name]).start()


def tearDownModule():
    if rig:
        rig.stop()
    SALVOS.cleanup()


# The device names the simulator gives, by address, and zvctl's type bytes.
DEVICE = {h.MULTIVIEW: ("Multiviewer16", "0xA1"), h.MATRIX: ("Matrix8x8", None),
          h.FOURCH: ("FourChannel", "0x60"), h.SWITCHER: ("Switcher", "0xA5")}


def window_frames(address, *command):
    """What the window sends for `command`: zvctl's frames for it (zvctl and
    the window run the same action; the desktop suite holds them equal)."""
    kind = DEVICE[address][1]
    args = [ZVCTL, "--dry-run"] + (["--type", kind, "--id", "1"] if kind else []) + [address, *command]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    return [line.strip().upper() for line in out.splitlines() if line.strip()]


def frame_of(entry):
    """A logged frame as hex like zvctl's (a text as its bytes); None for a
    line that is no frame."""
    if "frame" in entry:
        raw = entry["frame"].upper()
        return " ".join(raw[i:i + 2] for i in range(0, len(raw), 2))
    if "text" in entry:
        return " ".join(f"{b:02X}" for b in entry["text"].encode())
    return None


def received(entries):
    # The discovery query (command FF) is the service asking who still
    # answers, not something the page sent.
    return [f for f in map(frame_of, entries) if f is not None and command_of(f) != "FF"]


def command_of(frame_hex):
    parts = frame_hex.split()
    return parts[16] if len(parts) > 16 and parts[0] == "A5" else None


def only_commands(frames, wanted):
    """`frames` less what the service asks on its own (read-backs, polls):
    those whose command is among `wanted`'s, texts always."""
    commands = {command_of(f) for f in wanted}
    return [f for f in frames if command_of(f) in commands]


def send_osc(path, *ints):
    def padded(b):
        return b + b"\0" * (4 - len(b) % 4)
    message = padded(path.encode()) + padded(("," + "i" * len(ints)).encode()) + b"".join(struct.pack(">i", i) for i in ints)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(message, ("127.0.0.1", OSC_PORT))


class BrowserCase(unittest.TestCase):
    drivers = []

    def browser(self, role="operate", width=1280, height=900, mobile=False, address=None):
        d = h.browser(width, height, mobile)
        self.addCleanup(d.quit)
        h.login(d, rig, role)
        if address:
            h.open_device(d, address)
        return d

    def fetch(self, driver, method, path, body=None):
        """A request the page's own session makes (its cookie, no token)."""
        return driver.execute_async_script(
            """const [method, path, body, done] = arguments;
            fetch(path, {method, credentials: "same-origin", headers: {"Content-Type": "application/json"},
                         body: body === null ? undefined : JSON.stringify(body)})
              .then(r => r.text().then(t => done([r.status, t]))).catch(e => done([0, String(e)]));""",
            method, path, body)


class RolesTest(BrowserCase):
    # role, may press, sees the admin settings (set IP)
    ROLES = [("view", False, False), ("operate", True, False), ("admin", True, True)]

    def test_each_role_sees_everything_and_may_what_it_allows(self):
        for role, may_press, admin in self.ROLES:
            with self.subTest(role=role):
                d = self.browser(role, address=h.SWITCHER)
                who = d.find_element(By.ID, "who").text
                self.assertIn(role, who)
                for name in ("Program 3", "Preview 2", "Cut", "Auto", "Fade to black", "MIX"):
                    self.assertEqual(h.by_name(d, name).is_enabled(), may_press, name)
                self.assertEqual(h.by_name(d, "T-bar").get_attribute("aria-disabled"), str(not may_press).lower())
                self.assertEqual(len(d.find_elements(By.ID, "new-ip")), 1 if admin else 0)
                d.get(rig.origin + f"/#/device/{h.MATRIX}")
                h.wait(d, "the matrix page", lambda d: d.find_elements(By.CSS_SELECTOR, '[data-output="4"][data-input="3"]'))
                cell = d.find_element(By.CSS_SELECTOR, '[data-output="4"][data-input="3"]')
                self.assertEqual(cell.is_enabled(), may_press)
                salvo = h.wait(d, "the saved salvo", lambda d: d.find_elements(
                    By.XPATH, f'//button[@aria-label="Recall salvo {SALVO}"]'))[0]
                self.assertEqual(salvo.is_enabled(), may_press)
                # The page keeps nothing of the token: the cookie is HttpOnly
                # and the field was emptied when it was sent.
                kept = d.execute_script(
                    "return [localStorage.length, sessionStorage.length, document.cookie, location.href,"
                    " document.documentElement.outerHTML]")
                self.assertEqual(kept[:3], [0, 0, ""])
                self.assertNotIn(rig.tokens[role], kept[3] + kept[4])

    def test_view_session_is_refused_an_action_it_forces(self):
        d = self.browser("view", address=h.SWITCHER)
        since = rig.sim_log.mark()
        status, text = self.fetch(d, "POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.cut", {})
        self.assertEqual(status, 403, text)
        self.assertEqual(received(rig.sim_log.before_marker(h.SWITCHER, since)), [])
        # It still reads.
        status, _ = self.fetch(d, "GET", "/api/v1/devices")
        self.assertEqual(status, 200)

    def test_logging_out_ends_the_session_on_the_server(self):
        d = self.browser("operate")
        d.find_element(By.ID, "logout").click()
        h.wait(d, "the login form", lambda d: d.find_element(By.ID, "token").is_displayed())
        status, _ = self.fetch(d, "GET", "/api/v1/devices")
        self.assertEqual(status, 401)
        d.get(rig.origin + "/")
        h.wait(d, "the login form after a reload", lambda d: d.find_element(By.ID, "token").is_displayed())

    def test_a_wrong_token_is_told_and_lets_nobody_in(self):
        d = h.browser()
        self.addCleanup(d.quit)
        d.get(rig.origin + "/")
        field = h.wait(d, "the login form", lambda d: d.find_element(By.ID, "token"))
        field.send_keys("0" * 48 + Keys.ENTER)
        h.wait(d, "the refusal", lambda d: d.find_element(By.ID, "login-error").text)
        self.assertTrue(d.find_element(By.ID, "token").is_displayed())
        self.assertEqual(self.fetch(d, "GET", "/api/v1/devices")[0], 401)


def tap_name(d, name):
    h.tap(d, h.by_name(d, name))


def tap_cell(output, input_):
    return lambda d: h.tap(d, d.find_element(By.CSS_SELECTOR, f'[data-output="{output}"][data-input="{input_}"]'))


def choose(select_id, value):
    return lambda d: Select(d.find_element(By.ID, select_id)).select_by_value(str(value))


def type_into(field_id, text):
    def act(d):
        f = d.find_element(By.ID, field_id)
        f.send_keys(Keys.CONTROL, "a")
        f.send_keys(text + Keys.ENTER)
    return act


def loop_on(seconds):
    def act(d):
        f = d.find_element(By.ID, "loop-time")
        f.send_keys(Keys.CONTROL, "a")
        f.send_keys(str(seconds))
        tap_name(d, "Loop")
    return act


class PressTest(BrowserCase):
    # device, what the finger does, the zvctl command that sends what the
    # window sends for it
    PRESSES = [
        (h.SWITCHER, lambda d: tap_name(d, "Program 3"), ["switcher", "program", "3"]),
        (h.SWITCHER, lambda d: tap_name(d, "Preview 2"), ["switcher", "preview", "2"]),
        (h.SWITCHER, lambda d: tap_name(d, "Program BLK"), ["switcher", "program", "11"]),
        (h.SWITCHER, lambda d: tap_name(d, "Cut"), ["switcher", "cut"]),
        (h.SWITCHER, lambda d: tap_name(d, "WIPE"), ["switcher", "transition", "wipe"]),
        (h.MATRIX, tap_cell(4, 3), ["matrix", "route", "3", "4"]),
        (h.MATRIX, lambda d: tap_name(d, "One to one"), ["matrix", "through"]),
        (h.MULTIVIEW, lambda d: tap_name(d, "Layout of 9 windows"), ["multiview", "layout", "9"]),
        (h.MULTIVIEW, choose("mv-src-2", 5), ["multiview", "source", "2", "5"]),
        (h.MULTIVIEW, type_into("mv-label-1", "Cam 1"), ["multiview", "label", "1", "Cam 1"]),
        (h.FOURCH, lambda d: tap_name(d, "Show mode 8"), ["fourch", "mode", "8"]),
        (h.FOURCH, loop_on(7), ["fourch", "loop", "on", "7"]),
    ]

    def test_a_press_reaches_the_device_with_the_windows_bytes(self):
        d = self.browser("operate")
        for address, press, command in self.PRESSES:
            with self.subTest(command=" ".join(command)):
                d.get(rig.origin + f"/#/device/{address}")
                h.wait(d, "the page", lambda d: d.find_element(By.ID, "device").is_displayed()
                       and d.find_element(By.ID, "panel").find_elements(By.CSS_SELECTOR, "button"))
                want = window_frames(address, *command)
                d.execute_script("document.getElementById('notice').textContent = ''")
                since = rig.sim_log.mark()
                press(d)
                # The service answers once every frame of the action left;
                # the page says so.
                said = h.wait(d, "the answer", lambda d: d.find_element(By.ID, "notice").text)
                self.assertTrue(said.endswith(": done"), said)
                got = received(rig.sim_log.before_marker(address, since))
                self.assertEqual(only_commands(got, want) if command_of(want[0]) else got, want)

    def test_take_mode_holds_routes_until_take(self):
        d = self.browser("operate", address=h.MATRIX)
        h.tap(d, d.find_element(By.ID, "take-mode"))
        since = rig.sim_log.mark()
        for o, i in ((2, 6), (5, 6), (7, 1)):
            tap_cell(o, i)(d)
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, ".grid button.pending")), 3)
        self.assertEqual(received(rig.sim_log.before_marker(h.MATRIX, since)), [])
        tap_name(d, "Take")
        want = window_frames(h.MATRIX, "matrix", "route", "1", "7") + window_frames(h.MATRIX, "matrix", "route", "6", "2", "5")
        rig.sim_log.wait_for(lambda e: frame_of(e) == want[-1], since)
        self.assertEqual(received(rig.sim_log.before_marker(h.MATRIX, since)), want)
        h.wait(d, "the routes lit", lambda d: h.pressed(d.find_element(By.CSS_SELECTOR, '[data-output="5"][data-input="6"]')))

    def test_a_tap_on_a_saved_salvo_routes_the_router_and_lights_the_grid(self):
        d = self.browser("operate", address=h.MATRIX)
        status, answer, _ = rig.request("POST", f"/api/v1/devices/{h.MATRIX}/actions/matrix.through", {},
                                        role="operate")
        self.assertEqual(status, 200, answer)
        h.wait(d, "one to one lit", lambda d: h.pressed(d.find_element(By.CSS_SELECTOR, '[data-output="1"][data-input="1"]')))
        # One saved while the page is open comes with Refresh.
        later = save_salvo("Late", [1, 1, 1, 1, 1, 1, 1, 1])
        self.addCleanup(os.remove, later)
        # The salvos are below the grid: the finger scrolls to them first.
        d.execute_script("arguments[0].scrollIntoView({block: 'center'})", h.by_name(d, "Refresh salvos"))
        tap_name(d, "Refresh salvos")
        h.wait(d, "the later salvo", lambda d: d.find_elements(By.XPATH, '//button[@aria-label="Recall salvo Late"]'))
        want = window_frames(h.MATRIX, "matrix", "salvo", os.path.join(SALVOS.name, SALVO + ".json"))
        d.execute_script("document.getElementById('notice').textContent = ''")
        since = rig.sim_log.mark()
        tap_name(d, f"Recall salvo {SALVO}")
        said = h.wait(d, "the answer", lambda d: d.find_element(By.ID, "notice").text)
        self.assertEqual(said, "matrix.salvo: done")
        self.assertEqual(received(rig.sim_log.before_marker(h.MATRIX, since)), want)
        h.wait(d, "the salvo's routes lit", lambda d: all(
            h.pressed(d.find_element(By.CSS_SELECTOR, f'[data-output="{o}"][data-input="{i}"]'))
            for o, i in enumerate(SALVO_ROUTES, 1)))

    def test_a_locked_router_takes_no_tap(self):
        d = self.browser("operate", address=h.MATRIX)
        lock = h.by_name(d, "Lock")
        h.tap(d, lock)
        h.wait(d, "Lock pressed", lambda d: h.pressed(h.by_name(d, "Lock")))
        self.addCleanup(lambda: rig.request("POST", f"/api/v1/devices/{h.MATRIX}/actions/matrix.lock",
                                            {"state": "off"}, role="operate"))
        cell = d.find_element(By.CSS_SELECTOR, '[data-output="1"][data-input="8"]')
        self.assertFalse(cell.is_enabled())
        h.tap(d, h.by_name(d, "Lock"))
        h.wait(d, "Lock released", lambda d: not h.pressed(h.by_name(d, "Lock")) and cell.is_enabled())


class SwitcherHandsTest(BrowserCase):
    def settled(self, d, since):
        """What reached the switcher from `since`, once everything the page
        asked for before has: a press on another preview source goes last
        through the same service and link, and its frame is waited for."""
        source = next(n for n in (2, 3) if not h.pressed(h.by_name(d, f"Preview {n}")))
        h.tap(d, h.by_name(d, f"Preview {source}"))
        want = window_frames(h.SWITCHER, "switcher", "preview", str(source))[0]
        self.assertIsNotNone(rig.sim_log.wait_for(lambda e: frame_of(e) == want, since))
        return [f for f in received(rig.sim_log.before_marker(h.SWITCHER, since)) if f != want]

    def test_tbar_dragged_by_touch_sends_the_progress_and_exchanges_the_buses(self):
        d = self.browser("operate", address=h.SWITCHER)
        rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.program", {"source": 1}, role="operate")
        rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.preview", {"source": 4}, role="operate")
        h.wait(d, "Program 1 and Preview 4", lambda d: h.pressed(h.by_name(d, "Program 1")) and h.pressed(h.by_name(d, "Preview 4")))
        bar = h.by_name(d, "T-bar")
        height = bar.size["height"]
        since = rig.sim_log.mark()
        b = h.touch(d)
        finger = b.pointer_action
        # From the bottom of the track to well past its top, in steps, as a
        # finger moves.
        finger.move_to(bar, 0, height // 2 - 10).pointer_down()
        for k in range(1, 13):
            finger.move_to(bar, 0, height // 2 - 10 - k * (height + 20) // 12).pause(0.03)
        finger.pointer_up()
        b.perform()
        h.wait(d, "the buses exchanged", lambda d: h.pressed(h.by_name(d, "Program 4")) and h.pressed(h.by_name(d, "Preview 1")))
        frames = [f.split() for f in self.settled(d, since) if command_of(f) == "82"]
        progress = [int(f[18], 16) for f in frames]
        directions = {f[17] for f in frames}
        self.assertGreaterEqual(len(progress), 4, progress)
        self.assertEqual(progress, sorted(set(progress)), "progress goes one way, each step once")
        self.assertEqual(progress[-1], 128)
        # As the window's T-bar: a move is sent when it reaches or passes
        # progress 1 or a multiple of 8 since the last one sent.
        for before, after in zip([0] + progress, progress):
            self.assertTrue(any(q == 1 or q % 8 == 0 for q in range(before + 1, after + 1)), (before, after))
        self.assertEqual(len(directions), 1)
        self.assertEqual(bar.get_attribute("aria-valuenow"), "0")

    def test_an_auto_runs_up_the_tbar_from_rest_either_way(self):
        d = self.browser("view", address=h.SWITCHER)
        rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.rate", {"rate": "r2"}, role="operate")
        for run in (1, 2):   # the second Auto runs the device's T-bar back
            with self.subTest(run=run):
                d.execute_script("""window.zvTravel = [];
                    new MutationObserver(() => window.zvTravel.push(Number(
                        document.querySelector('[aria-label="T-bar"]').getAttribute("aria-valuenow"))))
                      .observe(document.querySelector('[aria-label="T-bar"]'), {attributes: true, attributeFilter: ["aria-valuenow"]});""")
                status, answer, _ = rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.auto", {},
                                                role="operate")
                self.assertEqual(status, 200, answer)
                h.wait(d, "the T-bar at rest", lambda d: h.by_name(d, "T-bar").get_attribute("aria-valuenow") == "0")
                travel = d.execute_script("return window.zvTravel")
                under_way = [t for t in travel if t]
                self.assertGreaterEqual(len(under_way), 3, travel)
                self.assertEqual(under_way, sorted(under_way), travel)

    def test_tbar_tapped_without_moving_sends_nothing(self):
        d = self.browser("operate", address=h.SWITCHER)
        since = rig.sim_log.mark()
        h.tap(d, h.by_name(d, "T-bar"))
        self.assertEqual(self.settled(d, since), [])

    def test_fade_to_black_needs_a_hold_of_a_second(self):
        d = self.browser("operate", address=h.SWITCHER)
        ftb = h.by_name(d, "Fade to black")
        before = h.pressed(ftb)
        since = rig.sim_log.mark()
        h.touch_hold(d, ftb, 0.4)   # a brush: shorter than the hold
        h.touch_hold(d, ftb, 1.3)   # a hold
        want = window_frames(h.SWITCHER, "switcher", "ftb")
        # Exactly the hold's frame: the brush's would come first.
        self.assertEqual(only_commands(self.settled(d, since), want), want)
        h.wait(d, "FTB shown", lambda d: h.pressed(h.by_name(d, "Fade to black")) != before)

    def test_a_click_on_fade_to_black_does_nothing(self):
        d = self.browser("operate", address=h.SWITCHER)
        since = rig.sim_log.mark()
        h.by_name(d, "Fade to black").click()
        h.by_name(d, "Fade to black").send_keys(Keys.ENTER)
        self.assertEqual(self.settled(d, since), [])


class LiveTest(BrowserCase):
    def recorder(self, d, name):
        """Records in the page when the control named `name` turns pressed."""
        d.execute_script("""
            const name = arguments[0];
            window.zvSeen = null;
            const target = () => document.querySelector(`[aria-label="${name}"]`);
            new MutationObserver(() => {
              if (window.zvSeen === null && target() && target().getAttribute("aria-pressed") === "true")
                window.zvSeen = Date.now();
            }).observe(document.body, {subtree: true, attributes: true, attributeFilter: ["aria-pressed"]});""", name)

    def seen(self, d, what):
        return h.wait(d, what, lambda d: d.execute_script("return window.zvSeen"))

    def test_two_browsers_and_every_surface_agree(self):
        a = self.browser("operate", address=h.SWITCHER)
        b = self.browser("view", address=h.SWITCHER)
        delays = []
        # (what changes it, the control that must light in both)
        changes = [
            ("a tap in the other browser", lambda: h.tap(a, h.by_name(a, "Program 6")), "Program 6"),
            ("a script over HTTP", lambda: rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.program",
                                                       {"source": 2}, role="operate"), "Program 2"),
            ("OSC", lambda: send_osc(f"/zv/{h.SWITCHER}/switcher/preview", 7), "Preview 7"),
        ]
        for what, change, name in changes:
            with self.subTest(change=what):
                for d in (a, b):
                    self.recorder(d, name)
                # From the click in the page, or from the request sent.
                a.execute_script("window.zvClick = 0; document.addEventListener('click', "
                                 "() => { window.zvClick = Date.now(); }, {capture: true, once: true})")
                start = int(time.time() * 1000)
                change()
                start = a.execute_script("return window.zvClick") or start
                for d in (a, b):
                    delays.append(self.seen(d, f"{name} after {what}") - start)
                for d in (a, b):
                    self.assertTrue(h.pressed(h.by_name(d, name)))
        print(f"figure: change to both browsers' pages, ms: {sorted(delays)}", file=sys.stderr)

    def test_a_lost_connection_is_shown_and_mended_by_itself(self):
        d = self.browser("operate", address=h.SWITCHER)
        if os.geteuid() != 0:
            self.skipTest("closing another program's connections (ss -K) needs root")
        d.execute_script("""
            window.zvLink = [];
            new MutationObserver(() => window.zvLink.push([document.getElementById("link").textContent,
                document.body.classList.contains("offline"),
                document.querySelector('[aria-label="Cut"]').disabled])
            ).observe(document.getElementById("link"), {childList: true, characterData: true, subtree: true});""")
        # The service stalls and its connections drop: the page must say so
        # at once, then come back by itself when the service does.
        os.kill(rig.service.pid, signal.SIGSTOP)
        try:
            subprocess.run(["ss", "-K", "dst", "127.0.0.1", "dport", "=", f":{rig.http_port}"], check=True,
                           capture_output=True)
            h.wait(d, "the loss shown", lambda d: d.find_element(By.ID, "link").text)
            text, offline, cut_disabled = d.execute_script("return window.zvLink")[0]
            self.assertIn("lost", text)
            self.assertTrue(offline)
            self.assertTrue(cut_disabled)
        finally:
            os.kill(rig.service.pid, signal.SIGCONT)
        h.wait(d, "the connection back", lambda d: d.find_element(By.ID, "link").text == "" and
               h.by_name(d, "Cut").is_enabled(), seconds=30)
        rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/switcher.preview", {"source": 3}, role="operate")
        h.wait(d, "a change after the connection came back", lambda d: h.pressed(h.by_name(d, "Preview 3")))


class PageTest(BrowserCase):
    PAGES = [("", None), ("switcher", h.SWITCHER), ("matrix", h.MATRIX), ("multiview", h.MULTIVIEW), ("fourch", h.FOURCH)]
    SIZES = [("phone", 390, 844, True), ("desktop", 1280, 900, False)]

    def each_page(self, role="admin"):
        for size, width, height, mobile in self.SIZES:
            d = self.browser(role, width, height, mobile)
            for family, address in self.PAGES:
                if address:
                    d.get(rig.origin + f"/#/device/{address}")
                    h.wait(d, f"the {family} page", lambda d: d.find_element(By.ID, "device").is_displayed()
                           and d.find_element(By.ID, "panel").find_elements(By.CSS_SELECTOR, "button"))
                yield f"{family or 'list'} at {size}", d, width

    def test_headers_keep_the_page_to_itself(self):
        status, _, headers = rig.request("GET", "/")
        self.assertEqual(status, 200)
        csp = headers.get("Content-Security-Policy", "")
        for rule in ("script-src 'self'", "frame-ancestors 'none'", "default-src 'none'"):
            self.assertIn(rule, csp)
        self.assertNotIn("unsafe-inline", csp)
        self.assertEqual(headers.get("X-Content-Type-Options"), "nosniff")
        for path, status in (("/js/app.js", 200), ("/app.css", 200), ("/js/../../etc/passwd", 404), ("/nothing.js", 404)):
            self.assertEqual(rig.request("GET", path)[0], status, path)

    def test_pages_load_from_the_service_alone_and_break_no_rule(self):
        for what, d, width in self.each_page():
            with self.subTest(page=what):
                foreign = d.execute_script(
                    "return performance.getEntriesByType('resource').map(e => e.name)"
                    ".filter(n => !n.startsWith(location.origin + '/'))")
                self.assertEqual(foreign, [])
                # Script errors and refusals by the content policy; a 401
                # from the service is an answer, not a fault of the page.
                errors = [e["message"] for e in d.get_log("browser")
                          if e["level"] == "SEVERE" and e.get("source") != "network"]
                self.assertEqual(errors, [])

    def test_touch_targets_fit_a_finger_and_the_phone_needs_no_sideways_scroll(self):
        for what, d, width in self.each_page():
            with self.subTest(page=what):
                small = d.execute_script("""
                    return [...document.querySelectorAll("button, input, select, a, [role=slider]")]
                      .filter(e => e.offsetParent !== null)
                      .map(e => [e.getAttribute("aria-label") || e.id || e.textContent.trim(), e.getBoundingClientRect()])
                      .filter(([, r]) => r.width < 44 || r.height < 44)
                      .map(([n, r]) => `${n} ${Math.round(r.width)}x${Math.round(r.height)}`);""")
                self.assertEqual(small, [])
                # A phone's browser widens its layout to fit what overflows,
                # so the page is held to the window's width it was given.
                self.assertLessEqual(d.execute_script("return document.documentElement.scrollWidth"), width)

    def test_stateful_controls_say_their_state(self):
        d = self.browser("operate", address=h.SWITCHER)
        # control names on each page whose state must be exposed
        pages = [(h.SWITCHER, ["Program 1", "Preview 1", "Fade to black", "MIX", "Rate 1", "BKGD"]),
                 (h.MATRIX, ["Lock"]),
                 (h.MULTIVIEW, ["Layout of 16 windows"]),
                 (h.FOURCH, ["Show mode 0", "Loop"])]
        for address, names in pages:
            d.get(rig.origin + f"/#/device/{address}")
            h.wait(d, address, lambda d: d.find_element(By.ID, "device").is_displayed())
            for name in names:
                with self.subTest(control=name):
                    self.assertIn(h.by_name(d, name).get_attribute("aria-pressed"), ("true", "false"))

    def test_axe_finds_nothing_serious(self):
        axe = os.path.join(AXE_DIR, "node_modules", "axe-core", "axe.min.js")
        if not os.path.exists(axe):
            self.skipTest("axe-core could not be installed")
        with open(axe, encoding="utf-8") as f:
            source = f.read()
        for role in ("view", "admin"):
            for what, d, _ in self.each_page(role):
                with self.subTest(page=what, role=role):
                    d.execute_script(source)
                    result = d.execute_async_script(
                        "const done = arguments[0]; axe.run(document).then(r => done(r.violations.map(v => "
                        "[v.id, v.impact, v.nodes.map(n => n.target.join(' ')).slice(0, 3)])))")
                    self.assertEqual([v for v in result if v[1] in ("serious", "critical")], [], json.dumps(result))


if __name__ == "__main__":
    unittest.main(verbosity=2)
