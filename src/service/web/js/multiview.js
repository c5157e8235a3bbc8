// The multiviewer: its layout, each window's source and label.
import { el, actionButton, setPressed, group, mayUse } from "./dom.js";

const layouts = [1, 4, 6, 8, 9, 10, 16];
const windows = Array.from({ length: 16 }, (_, n) => n + 1);
// The device takes a label of up to 16 characters (UTF-16 units, as a
// text field counts them).
export const kLabelMax = 16;

export function multiviewPage({ act }) {
  const layoutButtons = layouts.map((n) =>
    actionButton(String(n), () => act("multiview.layout", { windows: n }),
      { name: `Layout of ${n} ${n === 1 ? "window" : "windows"}`, pressed: false }));

  const parts = windows.map((w) => {
    const source = el("select", { id: `mv-src-${w}`, "data-needs": "operate" },
      windows.map((s) => el("option", { value: String(s) }, `SDI ${s}`)));
    source.value = "";
    source.disabled = !mayUse("operate");
    source.addEventListener("change", () => act("multiview.source", { win: w, sdi: Number(source.value) }));
    const label = el("input", { type: "text", id: `mv-label-${w}`, maxlength: String(kLabelMax), "data-needs": "operate",
      spellcheck: "false", "aria-describedby": `mv-count-${w}` });
    label.disabled = !mayUse("operate");
    const count = el("span", { class: "count", id: `mv-count-${w}` });
    const counted = () => (count.textContent = `${label.value.length} of ${kLabelMax} characters`);
    let sentLabel = null;
    const sendLabel = () => {
      if (label.value === sentLabel) return;
      sentLabel = label.value;
      act("multiview.label", { win: w, text: label.value });
    };
    label.addEventListener("input", counted);
    label.addEventListener("change", sendLabel);
    label.addEventListener("keydown", (e) => {
      if (e.key === "Enter") sendLabel();
    });
    counted();
    const box = el("div", { class: "window" },
      el("label", { for: source.id }, `Window ${w} source`), source,
      el("label", { for: label.id }, `Window ${w} label`), label, count);
    return {
      box,
      update(state) {
        const win = (state.windows || []).find((x) => x.window === w) || {};
        if (document.activeElement !== source && win.source) source.value = String(win.source);
        if (document.activeElement !== label && typeof win.label === "string") {
          // The device pads a label with blanks; the field shows the text.
          label.value = win.label.trimEnd();
          sentLabel = label.value;
          counted();
        }
      },
    };
  });

  const root = el("div", {},
    group("Layout", el("div", { class: "keys choice", role: "group", "aria-label": "Layout" }, layoutButtons)),
    group("Windows", el("p", {}, `A label takes up to ${kLabelMax} characters; it is sent when you leave the field or press Enter.`),
      el("div", { class: "windows" }, parts.map((p) => p.box))));

  return {
    root,
    update(state) {
      layouts.forEach((n, i) => setPressed(layoutButtons[i], state.layout === n));
      for (const p of parts) p.update(state);
    },
  };
}
