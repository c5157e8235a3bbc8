// The production switcher: programme and preview buses, the next
// transition's keys, the transition type, Cut, Auto with its rate, the
// T-bar and fade to black.
import { el, actionButton, setPressed, group } from "./dom.js";
import { tbar, holdButton } from "./controls.js";

// The sources the window's buses offer: inputs 1 to 8, BLK (11), MP1 (12).
const sources = [1, 2, 3, 4, 5, 6, 7, 8, 11, 12];
const sourceName = (n) => (n === 11 ? "BLK" : n === 12 ? "MP1" : String(n));
const transitions = [["mix", "MIX"], ["dip", "DIP"], ["wipe", "WIPE"]];
// The next transition's keys and ON AIR, as state field, action and caption.
const keys = [["bkgd", "switcher.bkgd", "BKGD"], ["pip", "switcher.pip", "PIP"], ["key1", "switcher.key1", "KEY 1"],
  ["key2", "switcher.key2", "KEY 2"], ["on_air", "switcher.on_air", "ON AIR"]];

export function switcherPage({ act }) {
  const bus = (title, field, action, cls) => {
    const buttons = new Map();
    const box = el("div", { class: `keys bus ${cls}`, role: "group", "aria-label": title });
    for (const n of sources) {
      const b = actionButton(sourceName(n), () => act(action, { source: n }),
        { name: `${title} ${sourceName(n)}`, pressed: false });
      b.dataset.source = String(n);
      buttons.set(n, b);
      box.append(b);
    }
    return { box, update: (state) => buttons.forEach((b, n) => setPressed(b, state[field] === n)) };
  };
  const program = bus("Program", "program", "switcher.program", "program");
  const preview = bus("Preview", "preview", "switcher.preview", "preview");

  const typeButtons = transitions.map(([type, caption]) =>
    actionButton(caption, () => act("switcher.transition", { type }), { pressed: false }));
  const keyButtons = keys.map(([, action, caption]) => actionButton(caption, () => act(action), { pressed: false }));
  const rateButtons = [1, 2, 3].map((n) =>
    actionButton(`r${n}`, () => act("switcher.rate", { rate: `r${n}` }), { name: `Rate ${n}`, pressed: false }));
  const cut = actionButton("CUT", () => act("switcher.cut"), { name: "Cut", cls: "big" });
  const auto = actionButton("AUTO", () => act("switcher.auto"), { name: "Auto", cls: "big" });
  const handle = tbar({ send: (params) => act("switcher.tbar", params) });
  const ftb = holdButton({ label: "FTB", name: "Fade to black", cls: "big ftb", onHeld: () => act("switcher.ftb") });
  ftb.setAttribute("aria-pressed", "false");

  const root = el("div", { class: "sw" },
    el("div", { class: "sw-main" },
      el("div", {},
        group("Program", program.box),
        group("Preview", preview.box),
        group("Transition",
          el("div", { class: "keys choice", role: "group", "aria-label": "Transition type" }, typeButtons),
          el("div", { class: "keys", role: "group", "aria-label": "Next transition" }, keyButtons)),
        group("Take",
          el("div", { class: "row" },
            el("div", { class: "keys" }, cut, auto),
            el("div", { class: "keys choice", role: "group", "aria-label": "Auto rate" }, rateButtons)))),
      el("div", { class: "tbar-box" },
        el("span", { "aria-hidden": "true" }, "T-bar"), handle.root, ftb)));

  return {
    root,
    update(state) {
      program.update(state);
      preview.update(state);
      transitions.forEach(([type], i) => setPressed(typeButtons[i], state.transition === type));
      keys.forEach(([field], i) => setPressed(keyButtons[i], state[field] === true));
      [1, 2, 3].forEach((n, i) => setPressed(rateButtons[i], state.rate === `r${n}`));
      setPressed(ftb, state.ftb === true);
      handle.show(Math.min(Number(state.tbar_travel) || 0, 129));
    },
  };
}
