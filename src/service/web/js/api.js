// The service's HTTP API. The session is the HttpOnly cookie the login set;
// the page itself keeps no token anywhere.

export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

async function call(method, path, body) {
  const init = { method, credentials: "same-origin", headers: {} };
  if (body !== undefined) {
    init.headers["Content-Type"] = "application/json";
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch("/api/v1" + path, init);
  } catch (e) {
    throw new ApiError(0, "the service does not answer");
  }
  let data = null;
  const text = await response.text();
  if (text) {
    try {
      data = JSON.parse(text);
    } catch (e) {
      data = null;
    }
  }
  if (!response.ok) {
    const message = (data && data.error) || `${response.status} ${response.statusText}`;
    throw new ApiError(response.status, message);
  }
  return data;
}

export const api = {
  login: (token) => call("POST", "/login", { token }),
  logout: () => call("POST", "/logout", {}),
  session: () => call("GET", "/session"),
  devices: () => call("GET", "/devices"),
  state: (address) => call("GET", `/devices/${encodeURIComponent(address)}/state`),
  salvos: (address) => call("GET", `/devices/${encodeURIComponent(address)}/salvos`),
  act: (address, action, params = {}) =>
    call("POST", `/devices/${encodeURIComponent(address)}/actions/${encodeURIComponent(action)}`, params),
  setIp: (address, body) => call("POST", `/devices/${encodeURIComponent(address)}/ip`, body),
};
