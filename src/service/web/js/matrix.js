// The matrix router: an 8 x 8 grid of crosspoints, one row per output. A
// tap routes the input to the output at once, or, in take mode, marks the
// route and waits for Take. Lock, one to one, and the salvos saved in the
// service's salvo folder, recalled by name with a tap.
import { el, actionButton, setPressed, setBlocked, group, refreshEnabled } from "./dom.js";
import { api } from "./api.js";

const ports = [1, 2, 3, 4, 5, 6, 7, 8];

export function matrixPage({ address, act }) {
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

  // The salvos: one button per saved salvo, read when the page opens and
  // again on Refresh. Files in the folder that hold no salvo are named
  // with why, so that whoever saved them can mend them.
  const salvoKeys = el("div", { class: "keys grow" });
  const salvoNote = el("p", { class: "muted", id: "salvo-note", role: "status" });
  const refresh = actionButton("\u21bb", () => loadSalvos(), { name: "Refresh salvos", needs: "view", cls: "small" });
  let salvoButtons = [];
  let asked = 0;

  async function loadSalvos() {
    const mine = ++asked;
    let list;
    try {
      list = await api.salvos(address);
    } catch (e) {
      if (mine === asked) salvoNote.textContent = `The salvos could not be read: ${e.message}`;
      return;
    }
    if (mine !== asked) return;  // a newer read is on its way
    const good = list.salvos.filter((s) => s.routes);
    const bad = list.salvos.filter((s) => !s.routes);
    salvoButtons = good.map((s) => {
      // The name, and under it the input each output takes (- leaves it).
      const label = el("span", { class: "salvo" }, el("span", {}, s.name),
        el("span", { class: "routes", "aria-hidden": "true" }, s.routes.map((input) => input || "-").join(" ")));
      return actionButton(label, () => act("matrix.salvo", { name: s.name }), { name: `Recall salvo ${s.name}` });
    });
    salvoKeys.replaceChildren(...salvoButtons);
    const lines = [];
    if (list.error) lines.push(list.error);
    if (!good.length && !list.error) lines.push("No salvo is saved yet: the desktop panel's Save salvo puts them in the salvo folder.");
    for (const s of bad) lines.push(`${s.name}: ${s.error}`);
    if (list.skipped) lines.push(`${list.skipped} file(s) in the folder are not named as salvos.`);
    salvoNote.textContent = lines.join(" ");
    refreshEnabled(salvoKeys);
    draw();
  }

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
    for (const b of salvoButtons) setBlocked(b, state.locked === true);
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
    group("Salvos", el("div", { class: "row" }, salvoKeys, refresh), salvoNote));
  loadSalvos();

  return {
    root,
    update(s) {
      state = s;
      draw();
    },
  };
}
