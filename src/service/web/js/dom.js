// Small helpers to build the pages: elements, buttons that run actions, and
// the rule that decides which controls a session may use.

// el("button", {class: "x", "aria-label": "Cut"}, "Cut") -- attributes set
// as attributes, children appended (strings become text, never HTML).
export function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === false || value === null || value === undefined) continue;
    node.setAttribute(name, value === true ? "" : String(value));
  }
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

// Controls marked with data-needs="operate" or "admin" are enabled only for
// a session whose role allows them, and only while the events connection is
// up (what a page shows while it is down may be stale).
const roleRank = { view: 0, operate: 1, admin: 2 };
let currentRole = "view";
let connected = false;

export function setRole(role) {
  currentRole = role in roleRank ? role : "view";
  refreshEnabled(document);
}

export function role() {
  return currentRole;
}

export function mayUse(needs) {
  return connected && roleRank[currentRole] >= (roleRank[needs] ?? 99);
}

export function setConnected(up) {
  connected = up;
  refreshEnabled(document);
}

// A control may also be held disabled by its page (a locked router's
// crosspoints): data-blocked="1".
export function refreshEnabled(root) {
  for (const node of root.querySelectorAll("[data-needs]")) applyEnabled(node);
}

function applyEnabled(node) {
  const off = !mayUse(node.dataset.needs) || node.dataset.blocked === "1";
  // Form controls have their own disabled state; a slider made of a div
  // says it.
  if ("disabled" in node) node.disabled = off;
  else node.setAttribute("aria-disabled", String(off));
}

export function setBlocked(node, blocked) {
  if (blocked) node.dataset.blocked = "1";
  else delete node.dataset.blocked;
  applyEnabled(node);
}

// A button that needs the operate role (or `needs`) and calls `onPress`.
export function actionButton(label, onPress, { name, needs = "operate", cls, pressed } = {}) {
  // The name people and tests find it by: the window's name for it, else
  // its caption.
  const b = el("button", { type: "button", class: cls, "data-needs": needs,
    "aria-label": name ?? (typeof label === "string" ? label : undefined) });
  b.append(label instanceof Node ? label : document.createTextNode(label));
  if (pressed !== undefined) b.setAttribute("aria-pressed", String(Boolean(pressed)));
  b.addEventListener("click", () => onPress(b));
  applyEnabled(b);
  return b;
}

export function setPressed(node, on) {
  const value = String(Boolean(on));
  if (node.getAttribute("aria-pressed") !== value) node.setAttribute("aria-pressed", value);
}

export function group(title, ...children) {
  const id = "g" + Math.random().toString(36).slice(2, 9);
  return el("section", { class: "group", "aria-labelledby": id }, el("h3", { id }, title), ...children);
}

// The line at the bottom: what the last press became.
export function notice(text, bad = false) {
  const n = document.getElementById("notice");
  n.textContent = text;
  n.classList.toggle("bad", bad);
}
