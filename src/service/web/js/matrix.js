// The matrix router: an 8 x 8 grid of crosspoints, one row per output. A
// tap routes the input to the output at once, or, in take mode, marks the
// route and waits for Take. Lock, one to one, and salvo files for admins.
import { el, actionButton, setPressed, setBlocked, group, role } from "./dom.js";

const ports = [1, 2, 3, 4, 5, 6, 7, 8];

export function matrixPage({ act }) {
  let state = {};
  const pending = new Map();  // output -> input, in take mode
  const cells = new Map();    // `${output}:${input}` -> button
  let takeMode = false;

  const heads = [el("span", { class: "head", "aria-hidden": "true" }, "out \\ in"),
    ...ports.map((i) => el("span", { class: "head", "aria-hidden": "true" }, String(i)))];
  const rows = ports.map((o) =>
    el("div", { role: "group", "aria-label": `Output ${o}` },
      el("span", { class: "out", "aria-hidden": "true" }, String(o)),
      ports.map((i) => {
        const b = actionButton(el("span", { class: "n", "aria-hidden": "true" }, String(i)), () => tap(o, i),
          { name: `Input ${i}`, pressed: false });
        b.dataset.output = String(o);
        b.dataset.input = String(i);
        cells.set(`${o}:${i}`, b);
        return b;
      })));
  const grid = el("div", { class: "grid" }, heads, rows);

  const takeToggle = el("input", { type: "checkbox", id: "take-mode", "data-needs": "operate" });
  takeToggle.addEventListener("change", () => {
    takeMode = takeToggle.checked;
    if (!takeMode) pending.clear();
    draw();
  });
  const take = actionButton("Take", () => takePending(), { cls: "" });
  const clear = actionButton("Clear", () => {
    pending.clear();
    draw();
  }, { name: "Clear pending routes" });
  const lock = actionButton("LOCK", () => act("matrix.lock", { state: state.locked ? "off" : "on" }),
    { name: "Lock", pressed: false });
  const through = actionButton("ONE TO ONE", () => act("matrix.through"), { name: "One to one" });

  async function tap(output, input) {
    if (takeMode) {
      if (pending.get(output) === input) pending.delete(output);
      else pending.set(output, input);
      draw();
      return;
    }
    await act("matrix.route", { input, outputs: [output] });
  }

  async function takePending() {
    // One request per input, its outputs together, as the window's Apply.
    const byInput = new Map();
    for (const [o, i] of pending) byInput.set(i, [...(byInput.get(i) || []), o]);
    pending.clear();
    draw();
    for (const [input, outputs] of [...byInput].sort((a, b) => a[0] - b[0])) {
      if (!(await act("matrix.route", { input, outputs: outputs.sort((a, b) => a - b) }))) break;
    }
  }

  const salvo = el("input", { type: "text", id: "salvo-file", "data-needs": "admin", spellcheck: "false",
    placeholder: "studio.json" });
  const recall = actionButton("Recall salvo", () => {
    if (salvo.value.trim()) act("matrix.salvo", { file: salvo.value.trim() });
  }, { needs: "admin" });
  const salvoPart = el("div", { class: "inline" },
    el("label", { for: "salvo-file" }, "Salvo file on the service's machine"), salvo, recall);

  function draw() {
    const routes = state.routes || [];
    for (const o of ports) {
      for (const i of ports) {
        const b = cells.get(`${o}:${i}`);
        setPressed(b, routes[o - 1] === i);
        b.classList.toggle("pending", pending.get(o) === i);
        setBlocked(b, state.locked === true);
      }
    }
    setPressed(lock, state.locked === true);
    setBlocked(through, state.locked === true);
    setBlocked(take, pending.size === 0 || state.locked === true);
    setBlocked(clear, pending.size === 0);
    take.textContent = pending.size ? `Take (${pending.size})` : "Take";
    take.setAttribute("aria-label", "Take");
  }

  const root = el("div", {},
    group("Routing", grid),
    group("Control",
      el("div", { class: "row" },
        el("div", { class: "inline" }, takeToggle, el("label", { for: "take-mode" }, "Take mode: routes wait for Take")),
        el("div", { class: "keys" }, take, clear, lock, through))),
    role() === "admin" ? group("Salvo", salvoPart) : null);

  return {
    root,
    update(s) {
      state = s;
      draw();
    },
  };
}
