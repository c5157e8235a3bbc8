// What only an admin sees on a device's page: giving the device a new
// address. The change is asked for twice, as the window's settings ask.
import { el, actionButton, group, role, notice } from "./dom.js";
import { api } from "./api.js";

const ipPattern = /^(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3}$/;

export function settingsPart({ address, serial }) {
  // The device on a serial line has no network address to change.
  if (role() !== "admin" || serial) return null;
  const ip = el("input", { type: "text", id: "new-ip", inputmode: "decimal", spellcheck: "false", "data-needs": "admin",
    placeholder: address });
  const problem = el("p", { class: "error", id: "new-ip-problem", role: "alert" });
  const confirmLine = el("div", { class: "inline", hidden: true });
  const question = el("span");
  let asked = null;
  const send = actionButton("Change IP", () => {
    const to = ip.value.trim();
    problem.textContent = "";
    if (!ipPattern.test(to)) {
      problem.textContent = `"${to}" is not an IPv4 address`;
      return;
    }
    asked = to;
    question.textContent = `Give the device at ${address} the address ${to}? It will answer there from now on.`;
    confirmLine.hidden = false;
  }, { needs: "admin" });
  const yes = actionButton("OK", async () => {
    confirmLine.hidden = true;
    try {
      await api.setIp(address, { address: asked });
      notice(`The device at ${address} was sent the address ${asked}`);
    } catch (e) {
      notice(`Change IP: ${e.message}`, true);
    }
  }, { needs: "admin", name: "OK, change the address" });
  const no = actionButton("Cancel", () => {
    confirmLine.hidden = true;
  }, { needs: "admin" });
  confirmLine.append(question, yes, no);
  return el("div", { class: "settings" },
    group("Device settings (admin)",
      el("div", { class: "inline" }, el("label", { for: "new-ip" }, "New IP address"), ip, send),
      problem, confirmLine));
}
