// The touch panel: login, the device list and one page per device family,
// all following the service's events.
import { api, ApiError } from "./api.js";
import { Live } from "./live.js";
import { el, setRole, setConnected, notice, refreshEnabled, role } from "./dom.js";
import { switcherPage } from "./switcher.js";
import { matrixPage } from "./matrix.js";
import { multiviewPage } from "./multiview.js";
import { fourchPage } from "./fourch.js";
import { settingsPart } from "./settings.js";

const pages = {
  switcher: { title: "Production switcher", build: switcherPage },
  matrix: { title: "Matrix router", build: matrixPage },
  multiview: { title: "Multiviewer", build: multiviewPage },
  fourch: { title: "Four-channel switcher", build: fourchPage },
};

const $ = (id) => document.getElementById(id);
let names = new Map();  // address -> the device's name from the device list
let shown = null;       // {address, family, page}
let live = null;

function show(section) {
  for (const id of ["login", "devices", "device"]) $(id).hidden = id !== section;
}

// ---- the session -------------------------------------------------------------------

async function boot() {
  $("login-form").addEventListener("submit", onLogin);
  $("logout").addEventListener("click", onLogout);
  window.addEventListener("hashchange", route);
  try {
    const who = await api.session();
    await begin(who);
  } catch (e) {
    if (e instanceof ApiError && e.status === 401) showLogin("");
    else showLogin(e.message);
  }
}

function showLogin(message) {
  if (live) live.stop();
  live = null;
  setConnected(false);
  document.body.classList.remove("offline");
  $("link").textContent = "";
  $("link").classList.remove("lost");
  $("who").textContent = "";
  $("logout").hidden = true;
  $("login-error").textContent = message;
  show("login");
  $("token").focus();
}

async function onLogin(event) {
  event.preventDefault();
  const field = $("token");
  const token = field.value;
  // The token leaves the page with this one request and is forgotten.
  field.value = "";
  $("login-error").textContent = "";
  try {
    const who = await api.login(token);
    await begin(who);
  } catch (e) {
    $("login-error").textContent =
      e.status === 401 ? "That token is not known." : e.status === 429 ? "Too many failed tries: wait a minute." : e.message;
  }
}

async function onLogout() {
  try {
    await api.logout();
  } catch (e) {
    // The session is over for this page either way.
  }
  shown = null;
  showLogin("");
}

async function begin(who) {
  setRole(who.role);
  $("who").textContent = `${who.name} (${who.role})`;
  $("logout").hidden = false;
  await loadNames();
  live = new Live({ onChange, onLink, onGone });
  live.start();
  route();
}

async function loadNames() {
  try {
    const list = await api.devices();
    names = new Map(list.map((d) => [d.address, d.name]));
  } catch (e) {
    if (e.status === 401) showLogin("");
  }
}

function onLink(up, retrySeconds) {
  setConnected(up);
  document.body.classList.toggle("offline", !up);
  $("main").inert = !up;
  const line = $("link");
  line.classList.toggle("lost", !up);
  line.textContent = up ? "" : `Connection to the service lost: trying again in ${retrySeconds} s`;
}

async function onGone() {
  // The upgrade was refused or the service is away: which one, the next
  // request says.
  try {
    await api.session();
  } catch (e) {
    if (e.status === 401) {
      shown = null;
      showLogin("The session has ended: log in again.");
    }
  }
}

// ---- what is shown -----------------------------------------------------------------

function route() {
  if (!live) return;
  const m = location.hash.match(/^#\/device\/([0-9.]+)$/);
  if (m) showDevice(m[1]);
  else showList();
}

function onChange(address, fields) {
  if (address === null) {
    // A snapshot: a page asked for before it came can show now.
    if (!shown) route();
    else if (!live.devices.has(shown.address)) showList();
    else refreshDevice(null);
    return;
  }
  if (!names.has(address)) loadNames().then(() => !shown && renderList());
  if (!shown) renderList();
  else if (shown.address === address) refreshDevice(fields);
}

function showList() {
  shown = null;
  document.title = "Devices - zv touch panel";
  $("title").textContent = "zv touch panel";
  show("devices");
  renderList();
}

function renderList() {
  const list = $("device-list");
  list.replaceChildren();
  const devices = [...live.devices.values()].sort((a, b) => a.address.localeCompare(b.address, "en", { numeric: true }));
  for (const d of devices) {
    const family = pages[d.family];
    const name = names.get(d.address) || (family ? family.title : d.family);
    list.append(
      el("li", {},
        el("a", { href: `#/device/${d.address}`, "data-address": d.address },
          el("strong", {}, name),
          el("span", { class: "meta" }, `${family ? family.title : d.family} at ${d.address}`),
          el("span", { class: d.online ? "state-online" : "state-offline" }, d.online ? "online" : "offline"))));
  }
  $("no-devices").hidden = devices.length > 0;
}

function showDevice(address) {
  const d = live.devices.get(address);
  if (!d) {
    // Not known (yet): the list says what there is.
    showList();
    return;
  }
  const family = pages[d.family];
  const title = `${names.get(address) || (family ? family.title : d.family)} (${address})`;
  document.title = `${title} - zv touch panel`;
  $("title").textContent = family ? family.title : d.family;
  $("device-head").textContent = title;
  const panel = $("panel");
  panel.replaceChildren();
  $("settings").replaceChildren();
  const ctx = { address, serial: d.link === "serial", act: (action, params) => act(address, action, params), role };
  const page = family ? family.build(ctx) : { root: el("p", {}, `No page for ${d.family} devices.`), update() {} };
  panel.append(page.root);
  const settings = settingsPart(ctx);
  if (settings) $("settings").append(settings);
  shown = { address, family: d.family, page };
  show("device");
  refreshEnabled(document);
  refreshDevice(null);
}

function refreshDevice(fields) {
  const d = live.devices.get(shown.address);
  const line = $("device-online");
  line.textContent = d.online ? "online" : "offline: not answering";
  line.className = "online-line " + (d.online ? "state-online" : "state-offline");
  shown.page.update(d.state, fields);
}

async function act(address, action, params = {}) {
  try {
    const answer = await api.act(address, action, params);
    notice(`${action}: done`);
    return answer;
  } catch (e) {
    if (e.status === 401) {
      showLogin("The session has ended: log in again.");
    } else {
      notice(`${action}: ${e.message}`, true);
    }
    return null;
  }
}

boot();
