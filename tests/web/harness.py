"""What the browser tests, the benchmark and the screenshots share: the
virtual devices and the service as processes on loopback, tokens of each
role, and headless Chromium driven by Selenium.

Everything listens on 127.0.0.0/8 and on ports the system chose. Tokens go
to the service in a request body or a header only; they are never put on a
command line, a URL or the page's storage.
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service as DriverService
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

# The virtual devices' addresses (zv_device_sim's defaults).
MULTIVIEW, MATRIX, FOURCH, SWITCHER = "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"
ROLES = ("view", "operate", "admin")


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SimLog:
    """The virtual devices' log: one JSON line per frame received, read from
    the simulator's standard output as it comes; waits wake on each line."""

    MARKER = "zv-web-test-marker"

    def __init__(self, port):
        self.port = port
        self.markers = 0
        self._lines = []
        self._changed = threading.Condition()

    def follow(self, stream):
        def read():
            for raw in stream:
                try:
                    entry = json.loads(raw)
                except ValueError:
                    continue
                with self._changed:
                    self._lines.append(entry)
                    self._changed.notify_all()
        in_thread(read)

    def lines(self):
        with self._changed:
            return list(self._lines)

    def mark(self):
        """How many lines there are now: lines()[mark:] is what came later."""
        with self._changed:
            return len(self._lines)

    def wait_for(self, predicate, since=0, seconds=10):
        """The first line from `since` on that `predicate` accepts, or None."""
        deadline = time.monotonic() + seconds
        with self._changed:
            seen = since
            while True:
                for entry in self._lines[seen:]:
                    if predicate(entry):
                        return entry
                seen = max(seen, len(self._lines))
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._changed.wait(left)

    def before_marker(self, address, since=0):
        """Sends a text marker to the device at `address`; once it is logged,
        everything sent to that device before is logged in front of it. The
        frames from `since` up to the marker."""
        self.markers += 1
        text = f"{self.MARKER}-{self.markers}"
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.sendto(text.encode(), (address, self.port))
        if not self.wait_for(lambda e: e.get("text") == text, since):
            raise AssertionError(f"the marker to {address} was not logged")
        lines = self.lines()
        end = next(i for i in range(since, len(lines)) if lines[i].get("text") == text)
        return [e for e in lines[since:end]
                if ("command" in e or "text" in e) and not str(e.get("text", "")).startswith(self.MARKER)]


class Rig:
    """zv_device_sim and zvd, started together, stopped together."""

    def __init__(self, zvd, sim, extra_service_args=()):
        self.zvd_path, self.sim_path = zvd, sim
        self.tmp = tempfile.TemporaryDirectory(prefix="zv-web-")
        self.udp_port = free_port(socket.SOCK_DGRAM)
        self.http_port = free_port()
        self.token_file = os.path.join(self.tmp.name, "tokens")
        self.sim_log = SimLog(self.udp_port)
        self.service_log = os.path.join(self.tmp.name, "zvd.log")
        self.extra_service_args = list(extra_service_args)
        self.tokens = {}
        self.sim = None
        self.service = None

    @property
    def origin(self):
        return f"http://127.0.0.1:{self.http_port}"

    def start(self):
        self.sim = subprocess.Popen([self.sim_path, "--port", str(self.udp_port)],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        for line in self.sim.stderr:
            if "ready" in line:
                break
        self.sim_log.follow(self.sim.stdout)
        for role in ROLES:
            out = subprocess.run([self.zvd_path, "--token-file", self.token_file, "--add-token", f"{role}-desk", role],
                                 check=True, capture_output=True, text=True).stdout
            self.tokens[role] = out.strip().splitlines()[-1].strip()
        self.start_service()
        # The devices are found by a search, as the window's Scan finds them.
        self.request("POST", "/api/v1/scan", {}, role="admin", timeout=30)
        return self

    def start_service(self):
        self.service_err = open(self.service_log, "ab")
        self.service = subprocess.Popen(
            [self.zvd_path, "--listen", f"127.0.0.1:{self.http_port}", "--token-file", self.token_file,
             "--search-address", "127.255.255.255", "--device-port", str(self.udp_port), "--local-port", "0",
             *self.extra_service_args],
            stdout=subprocess.DEVNULL, stderr=self.service_err)
        wait_for_port("127.0.0.1", self.http_port, self.service)

    def stop_service(self):
        if self.service:
            self.service.terminate()
            self.service.wait(10)
            self.service = None
            self.service_err.close()

    def stop(self):
        self.stop_service()
        if os.environ.get("ZV_WEB_SERVICE_LOG"):
            with open(self.service_log, encoding="utf-8", errors="replace") as f:
                print(f.read(), file=sys.stderr)
        if self.sim:
            self.sim.terminate()
            self.sim.wait(10)
        self.tmp.cleanup()

    def request(self, method, path, body=None, role=None, timeout=10):
        """An API request with a bearer token (as a script would send it)."""
        data = None if body is None else json.dumps(body).encode()
        req = urllib.request.Request(self.origin + path, data=data, method=method)
        if data is not None:
            req.add_header("Content-Type", "application/json")
        if role:
            req.add_header("Authorization", "Bearer " + self.tokens[role])
        def body_of(r):
            text = r.read().decode()
            return json.loads(text) if text and "json" in r.headers.get("Content-Type", "") else text
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                return r.status, body_of(r), dict(r.headers)
        except urllib.error.HTTPError as e:
            return e.code, body_of(e), dict(e.headers)


def wait_for_port(host, port, process, seconds=20):
    """Until the service takes connections (or its process ended)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"the service ended with status {process.returncode}")
        try:
            with socket.create_connection((host, port), timeout=1):
                return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError("the service did not start listening")


def browser(width=1280, height=900, mobile=False):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--no-first-run", "--disable-extensions", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--metrics-recording-only",
                f"--window-size={width},{height}"):
        options.add_argument(arg)
    if mobile:
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": width, "height": height, "pixelRatio": 2.0, "touch": True}})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=DriverService(CHROMEDRIVER), options=options)
    driver.set_script_timeout(20)
    return driver


def wait(driver, what, predicate, seconds=10):
    try:
        return WebDriverWait(driver, seconds, poll_frequency=0.02).until(lambda d: predicate(d))
    except TimeoutException:
        raise AssertionError(f"timed out waiting for {what}") from None


def by_name(driver, name, tag="*"):
    """The control whose accessible name (aria-label) is `name`."""
    return driver.find_element(By.XPATH, f'//{tag}[@aria-label="{name}"]')


def login(driver, rig, role):
    driver.get(rig.origin + "/")
    field = wait(driver, "the login form", lambda d: d.find_element(By.ID, "token").is_displayed()
                 and d.find_element(By.ID, "token"))
    field.send_keys(rig.tokens[role])
    driver.find_element(By.CSS_SELECTOR, "#login-form button[type=submit]").click()
    wait(driver, "the device list", lambda d: len(d.find_elements(By.CSS_SELECTOR, "#device-list a")) >= 4)


def open_device(driver, address):
    driver.find_element(By.CSS_SELECTOR, f'#device-list a[data-address="{address}"]').click()
    wait(driver, f"the page of {address}", lambda d: d.find_element(By.ID, "device").is_displayed())


def pressed(element):
    return element.get_attribute("aria-pressed") == "true"


def touch(driver):
    """An action builder whose pointer is a finger."""
    return ActionBuilder(driver, mouse=PointerInput(interaction.POINTER_TOUCH, "finger"))


def tap(driver, element):
    b = touch(driver)
    b.pointer_action.move_to(element).pointer_down().pointer_up()
    b.perform()


def touch_hold(driver, element, seconds):
    """A finger on `element` for `seconds` (the length of the press itself)."""
    b = touch(driver)
    b.pointer_action.move_to(element).pointer_down().pause(seconds).pointer_up()
    b.perform()


def in_thread(fn, *args):
    t = threading.Thread(target=fn, args=args, daemon=True)
    t.start()
    return t
