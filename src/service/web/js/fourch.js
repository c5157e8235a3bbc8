// The four-channel switcher: show modes, the picture-in-picture channels,
// the loop with its time and the four inputs' signal lamps.
import { el, actionButton, setPressed, group, mayUse } from "./dom.js";

// Where each channel's window sits in each show mode (720 x 480), for the
// pictograms; the same table the window's preview draws from.
const F = [0, 0, 720, 480];
const N = null;
const modes = [
  [[0, 0, 360, 240], [360, 0, 360, 240], [0, 240, 360, 240], [360, 240, 360, 240]],
  [[100, 160, 520, 320], [0, 0, 240, 160], [240, 0, 240, 160], [480, 0, 240, 160]],
  [[100, 0, 520, 320], [0, 320, 240, 160], [240, 320, 240, 160], [480, 320, 240, 160]],
  [[0, 80, 480, 320], [480, 0, 240, 160], [480, 160, 240, 160], [480, 320, 240, 160]],
  [[240, 80, 480, 320], [0, 0, 240, 160], [0, 160, 240, 160], [0, 320, 240, 160]],
  [F, [40, 330, 180, 120], [500, 330, 180, 120], N],
  [[180, 0, 360, 240], [0, 240, 360, 240], [360, 240, 360, 240], N],
  [F, [500, 30, 180, 120], N, N],
  [F, [40, 30, 180, 120], N, N],
  [F, [40, 330, 180, 120], N, N],
  [F, [500, 330, 180, 120], N, N],
  [[0, 0, 360, 480], [360, 0, 360, 480], N, N],
  [N, N, N, F],
  [N, N, F, N],
  [N, F, N, N],
  [F, N, N, N],
  [[180, 0, 360, 240], [180, 240, 360, 240], N, N],
];

function pictogram(slots) {
  const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
  svg.setAttribute("viewBox", "0 0 720 480");
  svg.setAttribute("aria-hidden", "true");
  svg.setAttribute("focusable", "false");
  for (const s of slots) {
    if (!s) continue;
    const r = document.createElementNS("http://www.w3.org/2000/svg", "rect");
    [["x", s[0]], ["y", s[1]], ["width", s[2]], ["height", s[3]]].forEach(([k, v]) => r.setAttribute(k, String(v)));
    svg.append(r);
  }
  return svg;
}

export function fourchPage({ act }) {
  const modeButtons = modes.map((slots, m) =>
    actionButton(pictogram(slots), () => act("fourch.mode", { mode: m }), { name: `Show mode ${m}`, pressed: false }));

  const channel = (id, name) => {
    const s = el("select", { id, "data-needs": "operate" }, [1, 2, 3, 4].map((c) => el("option", { value: String(c) }, `Channel ${c}`)));
    s.value = "";
    s.disabled = !mayUse("operate");
    return [el("label", { for: id }, name), s];
  };
  const [firstLabel, first] = channel("pip-first", "First picture-in-picture child channel");
  const [secondLabel, second] = channel("pip-second", "Second picture-in-picture child channel");
  const sendPip = (e) => {
    // A channel not known yet is taken as one the other is not.
    const other = e.target === first ? second : first;
    if (!other.value) other.value = e.target.value === "1" ? "2" : "1";
    act("fourch.pip", { first: Number(first.value), second: Number(second.value) });
  };
  first.addEventListener("change", sendPip);
  second.addEventListener("change", sendPip);

  const time = el("input", { type: "number", id: "loop-time", min: "3", max: "65535", step: "1", value: "5",
    inputmode: "numeric", "data-needs": "operate" });
  time.disabled = !mayUse("operate");
  const seconds = () => {
    const n = Number(time.value);
    return Number.isInteger(n) && n >= 3 && n <= 65535 ? n : null;
  };
  let looping = false;
  const loop = actionButton("LOOP", () => {
    if (looping) act("fourch.loop", { state: "off" });
    else if (seconds() !== null) act("fourch.loop", { state: "on", seconds: seconds() });
  }, { name: "Loop", pressed: false });
  const setTime = actionButton("Set time", () => {
    if (seconds() !== null) act("fourch.loop_time", { seconds: seconds() });
  }, { name: "Set loop time" });

  const lamps = [1, 2, 3, 4].map((n) => {
    const word = el("span", { class: "word" }, "unknown");
    const item = el("li", { class: "lamp" }, el("span", { class: "dot", "aria-hidden": "true" }), `Input ${n} signal: `, word);
    return { item, word };
  });

  const root = el("div", {},
    group("Show mode", el("div", { class: "keys choice mode", role: "group", "aria-label": "Show mode" }, modeButtons)),
    el("div", { class: "row" },
      group("Picture in picture", el("div", { class: "inline" }, firstLabel, first), el("div", { class: "inline" }, secondLabel, second)),
      group("Loop", el("div", { class: "inline" }, loop, el("label", { for: "loop-time" }, "Loop time (seconds, 3 to 65535)"), time, setTime)),
      group("Signals", el("ul", { class: "lamps" }, lamps.map((l) => l.item)))));

  return {
    root,
    update(state) {
      modeButtons.forEach((b, m) => setPressed(b, state.show_mode === m));
      const pip = state.pip || [];
      if (document.activeElement !== first && pip[0]) first.value = String(pip[0]);
      if (document.activeElement !== second && pip[1]) second.value = String(pip[1]);
      looping = state.loop === true;
      setPressed(loop, looping);
      if (document.activeElement !== time && Number.isInteger(state.loop_time)) time.value = String(state.loop_time);
      const signals = state.signals || [];
      lamps.forEach((l, i) => {
        const known = typeof signals[i] === "boolean";
        l.word.textContent = known ? (signals[i] ? "present" : "absent") : "unknown";
        l.item.classList.toggle("present", signals[i] === true);
      });
    },
  };
}
