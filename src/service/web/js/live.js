// The events connection: the state of every device as the service knows
// it, kept up to date by the WebSocket. A lost connection is reported at
// once and tried again by itself, waiting longer after each failure.

export class Live {
  constructor({ onChange, onLink, onGone }) {
    this.devices = new Map();  // address -> {address, family, online, state}
    this.onChange = onChange;  // (address or null for all, changed fields)
    this.onLink = onLink;      // (up, secondsToRetry)
    this.onGone = onGone;      // the session is no longer valid
    this.socket = null;
    this.delayMs = 0;
    this.timer = 0;
    this.stopped = true;
  }

  start() {
    this.stopped = false;
    this.delayMs = 0;
    this.open();
  }

  stop() {
    this.stopped = true;
    clearTimeout(this.timer);
    if (this.socket) {
      this.socket.onclose = null;
      this.socket.close();
      this.socket = null;
    }
  }

  open() {
    const scheme = location.protocol === "https:" ? "wss:" : "ws:";
    const socket = new WebSocket(`${scheme}//${location.host}/api/v1/events`);
    this.socket = socket;
    let opened = false;
    socket.onopen = () => {
      opened = true;
    };
    socket.onmessage = (message) => {
      let event;
      try {
        event = JSON.parse(message.data);
      } catch (e) {
        return;
      }
      if (event.event === "snapshot") {
        // The connection counts as up once the state it brings is in.
        this.delayMs = 0;
        this.devices.clear();
        for (const d of event.devices || []) this.devices.set(d.address, { ...d, state: d.state || {} });
        this.onLink(true, 0);
        this.onChange(null, null);
      } else if (event.event === "record") {
        const d = this.devices.get(event.device);
        if (!d) return;
        Object.assign(d.state, event.fields);
        this.onChange(event.device, event.fields);
      } else if (event.event === "device") {
        let d = this.devices.get(event.device);
        if (!d) {
          d = { address: event.device, family: event.family, link: event.link, online: event.online, state: {} };
          this.devices.set(event.device, d);
        }
        d.online = event.online;
        if (event.family) d.family = event.family;
        if (event.state) d.state = event.state;
        this.onChange(event.device, null);
      }
    };
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      if (this.stopped) return;
      // A refused upgrade never opens: the session may have ended.
      if (!opened) this.onGone();
      this.retry();
    };
  }

  retry() {
    this.delayMs = this.delayMs ? Math.min(this.delayMs * 2, 8000) : 250;
    this.onLink(false, this.delayMs / 1000);
    clearTimeout(this.timer);
    this.timer = setTimeout(() => {
      if (!this.stopped) this.open();
    }, this.delayMs);
  }
}
