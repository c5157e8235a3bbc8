// Controls that are more than a button: the T-bar (a vertical touch
// slider) and a press-and-hold button.
import { el, mayUse } from "./dom.js";

// Requests of one control leave one after another, and a newer move
// replaces one still waiting: the service sees the hand's moves in order
// and never a stale one after a newer. A `final` request (the hand letting
// go) is never replaced.
export class LatestQueue {
  constructor(send) {
    this.send = send;
    this.waiting = [];
    this.busy = false;
  }
  push(item, final = false) {
    const last = this.waiting[this.waiting.length - 1];
    if (last && !last.final) this.waiting.pop();
    this.waiting.push({ item, final });
    this.pump();
  }
  async pump() {
    if (this.busy) return;
    this.busy = true;
    while (this.waiting.length) {
      const { item } = this.waiting.shift();
      await this.send(item);
    }
    this.busy = false;
  }
}

export const kTravelEnd = 129;

// The T-bar counts travel from its rest at the bottom: 0 at rest, 129 at
// the top, where the transition completes. Dragging it sends the travel
// with the hand holding it, and letting go sends the hand's release, as the
// window's T-bar does. A touch that does not move it sends nothing, so a
// tap on the track never starts a transition. Reaching the top completes
// the transition; the next one starts from there, which for this handle is
// its rest again, so the drag ends and the handle goes back to rest.
export function tbar({ send, name = "T-bar" }) {
  const fill = el("div", { class: "fill" });
  const thumb = el("div", { class: "thumb" });
  const track = el("div", {
    class: "tbar", role: "slider", tabindex: "0", "aria-label": name, "aria-orientation": "vertical",
    "aria-valuemin": "0", "aria-valuemax": String(kTravelEnd), "aria-valuenow": "0", "data-needs": "operate",
  }, fill, thumb);
  const queue = new LatestQueue(send);
  let travel = 0;      // as shown
  let drag = null;     // {pointerId, startY, startTravel, sent}

  function draw(t) {
    travel = t;
    track.style.setProperty("--travel", `${(100 * t) / kTravelEnd}%`);
    track.setAttribute("aria-valuenow", String(t));
    track.setAttribute("aria-valuetext", t === 0 ? "at rest" : `${Math.round((100 * t) / kTravelEnd)} percent`);
  }

  function travelAt(clientY) {
    const usable = track.clientHeight - thumb.offsetHeight;
    const moved = ((drag.startY - clientY) / Math.max(usable, 1)) * kTravelEnd;
    return Math.max(0, Math.min(kTravelEnd, Math.round(drag.startTravel + moved)));
  }

  track.addEventListener("pointerdown", (e) => {
    if (!mayUse("operate") || drag) return;
    e.preventDefault();
    track.setPointerCapture(e.pointerId);
    drag = { pointerId: e.pointerId, startY: e.clientY, startTravel: travel, sent: false, done: false };
    track.classList.add("held");
    track.focus({ preventScroll: true });
  });
  track.addEventListener("pointermove", (e) => {
    if (!drag || e.pointerId !== drag.pointerId || drag.done) return;
    const t = travelAt(e.clientY);
    if (t === travel) return;
    draw(t);
    drag.sent = true;
    queue.push({ travel: t, hand: "hold" });
    if (t === kTravelEnd) {
      // Complete: the hand lets go where the next transition starts.
      queue.push({ travel: 0, hand: "release" }, true);
      drag.done = true;
      draw(0);
    }
  });
  const end = (e) => {
    if (!drag || e.pointerId !== drag.pointerId) return;
    if (drag.sent && !drag.done) queue.push({ travel, hand: "release" }, true);
    drag = null;
    track.classList.remove("held");
  };
  track.addEventListener("pointerup", end);
  track.addEventListener("pointercancel", end);

  // Keys move it a step at a time, each a move and a release, as the
  // window's keys do.
  track.addEventListener("keydown", (e) => {
    if (!mayUse("operate") || drag || e.repeat) return;
    const steps = { ArrowUp: 8, ArrowRight: 8, PageUp: 32, ArrowDown: -8, ArrowLeft: -8, PageDown: -32 };
    if (!(e.key in steps)) return;
    e.preventDefault();
    const t = Math.max(0, Math.min(kTravelEnd, travel + steps[e.key]));
    if (t === travel) return;
    queue.push({ travel: t, hand: t === kTravelEnd ? "hold" : "release" }, true);
    if (t === kTravelEnd) {
      queue.push({ travel: 0, hand: "release" }, true);
      draw(0);
    } else {
      draw(t);
    }
  });

  return {
    root: track,
    // The travel the service reports, unless a hand here holds it.
    show(t) {
      if (!drag) draw(t);
    },
    held: () => drag !== null,
  };
}

// A button that acts only when held for `ms`: a brush of a finger or a
// click does nothing. The fill shows the hold; letting go early, or sliding
// off, cancels it.
export function holdButton({ label, name, ms = 1000, onHeld, cls = "" }) {
  const bar = el("span", { class: "fillbar", "aria-hidden": "true" });
  const b = el("button", {
    type: "button", class: `hold ${cls}`.trim(), "aria-label": name, "data-needs": "operate",
    "aria-description": `hold for ${ms / 1000} second${ms === 1000 ? "" : "s"}`,
  }, bar, el("span", { class: "label" }, label));
  b.style.setProperty("--hold-ms", `${ms}ms`);
  let timer = 0;
  let source = null;
  const start = (from) => {
    if (b.disabled || timer) return;
    source = from;
    b.classList.add("holding");
    timer = setTimeout(() => {
      timer = 0;
      b.classList.remove("holding");
      onHeld();
    }, ms);
  };
  const stop = (from) => {
    if (!timer || (from && from !== source)) return;
    clearTimeout(timer);
    timer = 0;
    b.classList.remove("holding");
  };
  b.addEventListener("pointerdown", (e) => {
    if (e.button !== 0) return;
    b.setPointerCapture(e.pointerId);
    start("pointer");
  });
  b.addEventListener("pointerup", () => stop("pointer"));
  b.addEventListener("pointercancel", () => stop("pointer"));
  b.addEventListener("lostpointercapture", () => stop("pointer"));
  // The pointer is captured, so sliding off is seen by position.
  b.addEventListener("pointermove", (e) => {
    const r = b.getBoundingClientRect();
    if (e.clientX < r.left || e.clientX > r.right || e.clientY < r.top || e.clientY > r.bottom) stop("pointer");
  });
  b.addEventListener("keydown", (e) => {
    if ((e.key === " " || e.key === "Enter") && !e.repeat) {
      e.preventDefault();
      start("key");
    }
  });
  b.addEventListener("keyup", (e) => {
    if (e.key === " " || e.key === "Enter") stop("key");
  });
  b.addEventListener("blur", () => stop(null));
  b.addEventListener("contextmenu", (e) => e.preventDefault());
  return b;
}
