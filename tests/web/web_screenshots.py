"""Renders the touch panel's switcher and matrix pages at a phone's size
(390 x 844) and a tablet's (820 x 1180) into PNG files, against zvd and the
virtual devices on loopback. Not a test: scripts/screenshots.sh runs it.

Usage: web_screenshots.py ZVD ZV_DEVICE_SIM OUT_DIR
"""
import os
import sys

from selenium.webdriver.common.by import By

import harness as h

SIZES = [("phone", 390, 844), ("tablet", 820, 1180)]
PAGES = [("switcher", h.SWITCHER), ("matrix", h.MATRIX)]


def main():
    zvd, sim, out = sys.argv[1:4]
    rig = h.Rig(zvd, sim).start()
    try:
        # Something on the buses and the router, as in use.
        for action, body in (("switcher.program", {"source": 2}), ("switcher.preview", {"source": 5})):
            rig.request("POST", f"/api/v1/devices/{h.SWITCHER}/actions/{action}", body, role="operate")
        for i, outputs in ((1, [1, 2]), (3, [3, 8]), (5, [4, 5, 6]), (2, [7])):
            rig.request("POST", f"/api/v1/devices/{h.MATRIX}/actions/matrix.route",
                        {"input": i, "outputs": outputs}, role="operate")
        for size, width, height in SIZES:
            d = h.browser(width, height, mobile=True)
            try:
                h.login(d, rig, "operate")
                for page, address in PAGES:
                    d.get(rig.origin + f"/#/device/{address}")
                    h.wait(d, page, lambda d: d.find_element(By.ID, "device").is_displayed()
                           and d.find_element(By.ID, "panel").find_elements(By.CSS_SELECTOR, "button:enabled"))
                    path = os.path.join(out, f"web_{page}_{size}.png")
                    # The whole page, as long as it is.
                    tall = d.execute_script("return document.documentElement.scrollHeight")
                    d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                        "width": width, "height": max(height, tall), "deviceScaleFactor": 1, "mobile": True})
                    d.save_screenshot(path)
                    d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
                    print(path)
            finally:
                d.quit()
    finally:
        rig.stop()


if __name__ == "__main__":
    main()
