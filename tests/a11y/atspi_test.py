"""Walks every panel of zv_multiview through AT-SPI, as a screen reader does.

Run inside a session bus of its own (atspi_test.sh). Starts a virtual display,
the virtual devices on a free port and, once for each device family, the
program searching that device alone. Each panel and each of its pages must
give every control a person operates a name; pressing Program 3 through the
accessibility action must mark it (and no other programme source) checked
and put the programme-source frame on the wire; the T-bar is a slider with a
value from 0 to 128; the four-channel switcher's signal lamps say whether a
signal is present.
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi

program, simulator = sys.argv[1], sys.argv[2]
failures = []

# Roles a person operates; each must say what it does.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PASSWORD_TEXT,
}


def fail(message):
    print("FAIL:", message)
    failures.append(message)


def wait_for(what, predicate, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = predicate()
        if result:
            return result
        time.sleep(0.05)
    fail("timed out waiting for " + what)
    return None


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def nodes(node):
    """Every showing node under `node`, depth first, with its path."""
    stack = [(node, node.name or node.getRoleName())]
    while stack:
        n, path = stack.pop()
        try:
            if not n.getState().contains(pyatspi.STATE_SHOWING):
                continue
            children = list(n)
        except Exception:
            continue
        yield n, path
        for c in reversed(children):
            if c is not None:
                stack.append((c, path + "/" + (c.name or c.getRoleName())))


def find(app, name, roles=None):
    for n, _ in nodes(app):
        if n.name == name and (roles is None or n.getRole() in roles):
            return n
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            action.doAction(i)
            return
    fail(f"{node.name}: no Press action")


def require_names(app, what):
    unnamed, named = [], 0
    for n, path in nodes(app):
        if n.getRole() not in INTERACTIVE:
            continue
        if (n.name or "").strip():
            named += 1
        else:
            unnamed.append(path)
    if unnamed:
        fail(f"{what}: unnamed: {', '.join(unnamed)}")
    if named < 4:
        fail(f"{what}: only {named} named controls")


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def walk_pages(app, family):
    require_names(app, family)
    page_buttons = [n.name for n, _ in nodes(app)
                    if n.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)
                    and (n.name or "").endswith(" page")]
    for name in page_buttons:
        button = find(app, name)
        press(button)
        wait_for(f"{name} checked", lambda: checked(find(app, name)))
        require_names(app, f"{family}, {name}")


def check_switcher(app, sim_log):
    program3 = find(app, "Program 3")
    if not program3:
        fail("no Program 3")
        return
    press(program3)
    if wait_for("Program 3 checked", lambda: checked(find(app, "Program 3"))):
        others = [n.name for n, _ in nodes(app)
                  if (n.name or "").startswith("Program ") and n.name != "Program 3" and checked(n)]
        if others:
            fail("checked besides Program 3: " + ", ".join(others))

    def frame_seen():
        with open(sim_log) as f:
            for line in f:
                entry = json.loads(line)
                if entry.get("command") == "0x80" and entry.get("params", "").startswith("03"):
                    return True
        return False
    wait_for("the programme-source frame for source 3 at the device", frame_seen)

    tbar = find(app, "T-bar", {pyatspi.ROLE_SLIDER})
    if not tbar:
        fail("the T-bar is no slider named T-bar")
    else:
        value = tbar.queryValue()
        if (value.minimumValue, value.maximumValue, value.currentValue) != (0, 128, 0):
            fail(f"T-bar value {value.currentValue} in {value.minimumValue}..{value.maximumValue}")
    for name in ("BKGD", "KEY 1", "KEY 2", "PIP"):
        press(find(app, name))
        time.sleep(0.2)
        require_names(app, f"switcher after {name}")


def check_four_channel(app, _sim_log):
    # The virtual device reports signals on inputs 1, 2 and 4 (1101).
    want = {"Input 1 signal": "present", "Input 2 signal": "present",
            "Input 3 signal": "absent", "Input 4 signal": "present"}

    def lamps():
        seen = {}
        for n, _ in nodes(app):
            if n.name in want:
                seen[n.name] = n.description
        return seen == want and seen
    if not wait_for("the signal lamps to read present, present, absent, present", lamps, 8):
        got = {n.name: n.description for n, _ in nodes(app) if (n.name or "").endswith(" signal")}
        fail(f"lamps: {got}")


def run_family(display, port, address, family, sim_log, check):
    env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_QPA_PLATFORM="xcb")
    app_proc = subprocess.Popen(
        [program, "--device-port", str(port), "--local-port", "0", "--search-address", address],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def app_found():
            for a in pyatspi.Registry.getDesktop(0):
                if a is not None and a.get_process_id() == app_proc.pid:
                    return a
            return None
        app = wait_for(f"{family}: the program on the accessibility bus", app_found, 20)
        if not app:
            return
        scan = wait_for("Scan", lambda: find(app, "Scan"))
        if not scan:
            return
        press(scan)
        # The search window is 2 s; the panel opens when it has passed.
        if not wait_for(f"{family}: the panel", lambda: find(app, check[0]), 10):
            return
        walk_pages(app, family)
        if check[1]:
            check[1](app, sim_log)
    finally:
        app_proc.terminate()
        app_proc.wait(10)


def main():
    port = free_udp_port()
    with tempfile.TemporaryDirectory() as tmp:
        sim_log = os.path.join(tmp, "sim.log")
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        sim = None
        try:
            display = ":" + xvfb.stdout.readline().decode().strip()
            sim = subprocess.Popen([simulator, "--port", str(port), "--log", sim_log],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            for line in sim.stderr:
                if b"ready" in line:
                    break
            # Each run searches one device alone, by its own address.
            families = [
                ("multiviewer", "127.0.0.2", ("Labels page", None)),
                ("matrix router", "127.0.0.3", ("Input 1", None)),
                ("four-channel switcher", "127.0.0.4", ("Input 1 signal", check_four_channel)),
                ("production switcher", "127.0.0.5", ("Program 3", check_switcher)),
            ]
            for family, address, check in families:
                run_family(display, port, address, family, sim_log, check)
        finally:
            if sim:
                sim.terminate()
                sim.wait(10)
            xvfb.terminate()
            xvfb.wait(10)
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("all panels pass")
    return 0


sys.exit(main())
