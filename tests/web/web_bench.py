"""Figures of the touch panel, printed (no pass mark): the bytes of a first
load, the time until the switcher's page can be used, the time from a
finger's tap to the frame at the virtual device, and from a tap in one
browser to the change in another.

Usage: web_bench.py ZVD ZV_DEVICE_SIM [TAPS]
"""
import statistics
import sys
import time

from selenium.webdriver.common.by import By

import harness as h


def first_load(rig):
    """Bytes over the wire for the login page, and for the pages after login."""
    d = h.browser()
    try:
        d.execute_cdp_cmd("Network.enable", {})
        d.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        d.get(rig.origin + "/")
        h.wait(d, "the login form", lambda d: d.find_element(By.ID, "token").is_displayed())
        count = """return performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))
                   .reduce((a, e) => [a[0] + e.transferSize, a[1] + e.encodedBodySize, a[2] + 1], [0, 0, 0])"""
        login_page = d.execute_script(count)
        d.execute_script("performance.clearResourceTimings()")
        field = d.find_element(By.ID, "token")
        field.send_keys(rig.tokens["operate"])
        d.find_element(By.CSS_SELECTOR, "#login-form button[type=submit]").click()
        h.wait(d, "the device list", lambda d: len(d.find_elements(By.CSS_SELECTOR, "#device-list a")) >= 4)
        api = d.execute_script("""return performance.getEntriesByType('resource')
                                  .reduce((a, e) => [a[0] + e.transferSize, a[1] + e.encodedBodySize, a[2] + 1], [0, 0, 0])""")
        return login_page, api
    finally:
        d.quit()


def time_to_interactive(rig, loads=10):
    """From the start of a load of the switcher's page (logged in) until its
    Program 1 button is enabled: the events' snapshot is in and drawn."""
    d = h.browser()
    times = []
    try:
        h.login(d, rig, "operate")
        for _ in range(loads):
            d.get("about:blank")
            d.get(rig.origin + f"/#/device/{h.SWITCHER}")
            # Seen in the page as the DOM changes, with no polling delay.
            times.append(d.execute_async_script("""
                const done = arguments[0];
                const ready = () => { const b = document.querySelector('[aria-label="Program 1"]'); return b && !b.disabled; };
                if (ready()) { done(performance.now()); return; }
                new MutationObserver((m, o) => { if (ready()) { o.disconnect(); done(performance.now()); } })
                  .observe(document.body, {subtree: true, childList: true, attributes: true});"""))
    finally:
        d.quit()
    return times


def tap_to_datagram(rig, taps):
    """A finger taps Program 2 and Program 3 in turn; from the pointerdown in
    the page to the frame's line from the simulator."""
    d = h.browser(390, 844, mobile=True)
    delays = []
    try:
        h.login(d, rig, "operate")
        h.open_device(d, h.SWITCHER)
        d.execute_script("""window.zvDown = 0; document.addEventListener("pointerdown",
            () => { window.zvDown = performance.timeOrigin + performance.now(); }, {capture: true});""")
        for k in range(taps):
            source = 2 + k % 2
            button = h.by_name(d, f"Program {source}")
            since = rig.sim_log.mark()
            want = f"80{source:02x}"
            h.tap(d, button)
            line = rig.sim_log.wait_for(lambda e: e.get("device") == "Switcher" and
                                        e.get("command") == "0x80" and e.get("params", "").startswith(want[2:]), since)
            arrived = time.time() * 1000
            if line is None:
                raise RuntimeError(f"tap {k}: no frame")
            delays.append(arrived - d.execute_script("return window.zvDown"))
            h.wait(d, "the press shown", lambda d: h.pressed(h.by_name(d, f"Program {source}")))
    finally:
        d.quit()
    return delays


def tap_to_other_browser(rig, taps):
    a = h.browser()
    b = h.browser()
    delays = []
    try:
        for d in (a, b):
            h.login(d, rig, "operate")
            h.open_device(d, h.SWITCHER)
        for k in range(taps):
            name = f"Preview {5 + k % 2}"
            b.execute_script("""const name = arguments[0]; window.zvSeen = 0;
                new MutationObserver((m, o) => {
                  const e = document.querySelector(`[aria-label="${name}"]`);
                  if (e.getAttribute("aria-pressed") === "true") { window.zvSeen = performance.timeOrigin + performance.now(); o.disconnect(); }
                }).observe(document.body, {subtree: true, attributes: true, attributeFilter: ["aria-pressed"]});""", name)
            a.execute_script("""window.zvDown = 0; document.addEventListener("pointerdown",
                () => { window.zvDown = performance.timeOrigin + performance.now(); }, {capture: true, once: true});""")
            h.tap(a, h.by_name(a, name))
            seen = h.wait(b, f"{name} in the other browser", lambda d: d.execute_script("return window.zvSeen"))
            delays.append(seen - a.execute_script("return window.zvDown"))
    finally:
        a.quit()
        b.quit()
    return delays


def summary(values):
    v = sorted(values)
    return (f"median {statistics.median(v):.1f}, p90 {v[int(0.9 * (len(v) - 1))]:.1f}, "
            f"min {v[0]:.1f}, max {v[-1]:.1f} (n={len(v)})")


def main():
    zvd, sim = sys.argv[1], sys.argv[2]
    taps = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    rig = h.Rig(zvd, sim).start()
    try:
        login_page, after = first_load(rig)
        print(f"first load, login page: {login_page[0]} bytes transferred ({login_page[1]} bytes of bodies, "
              f"{login_page[2]} requests)")
        print(f"after the login (session, device list): {after[0]} bytes transferred ({after[2]} requests)")
        print(f"time to interactive, switcher page, ms: {summary(time_to_interactive(rig))}")
        print(f"tap to datagram at the device, ms: {summary(tap_to_datagram(rig, taps))}")
        print(f"tap to the change in another browser, ms: {summary(tap_to_other_browser(rig, max(10, taps // 2)))}")
    finally:
        rig.stop()


if __name__ == "__main__":
    main()
