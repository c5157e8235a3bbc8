#include "service/service_server.h"

#include <sys/random.h>
#include <sys/stat.h>

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketServer>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "link/link_state.h"
#include "link/set_ip.h"
#include "matrix/salvo_folder.h"
#include "multiview/multiview_session.h"
#include "multiview/multiview_setup.h"
#include "registry/families.h"
#include "service/action_request.h"
#include "service/osc_listener.h"
#include "service/web_pages.h"

namespace zv {

// Qt's HTTP server with every request handed to the service, whatever its
// path: the service routes, checks and answers itself.
class ServiceHttp : public QAbstractHttpServer {
 public:
  explicit ServiceHttp(ServiceServer& owner) : m_owner(owner) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    m_owner.Handle(request, socket);
    return true;
  }
  void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

 private:
  ServiceServer& m_owner;
};

namespace {

constexpr const char* kCookie = "zv_session";

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string TimeText(int64_t ms) {
  if (ms <= 0) return {};
  const std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string PeerText(const QHostAddress& address) {
  bool mapped = false;
  const quint32 v4 = address.toIPv4Address(&mapped);
  return mapped ? QHostAddress(v4).toString().toStdString() : address.toString().toStdString();
}

QByteArray Json(const nlohmann::json& j) { return QByteArray::fromStdString(j.dump()); }

nlohmann::json DeviceFields(const HubDevice& d) {
  return {{"address", d.address},
          {"family", d.family ? nlohmann::json(d.family->key) : nlohmann::json(nullptr)},
          {"type", d.type},
          {"id", d.id},
          {"name", d.name},
          {"online", d.online},
          {"link", d.serial_port.empty() ? "network" : "serial"},
          {"serial_port", d.serial_port.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.serial_port)},
          {"last_heard", d.last_heard_ms > 0 ? nlohmann::json(TimeText(d.last_heard_ms)) : nlohmann::json(nullptr)}};
}

// The status a run of an action gets, and what its answer says.
int StatusOf(const ActionRun& run) {
  switch (run.outcome.status) {
    case ActionOutcome::kBadParameter: return 400;
    case ActionOutcome::kUnknown: return 404;
    case ActionOutcome::kNotNow: return 409;
    case ActionOutcome::kDone: break;
  }
  if (run.timed_out) return 504;
  if (!run.Taken()) return 502;
  return 200;
}

std::string ProblemOf(const ActionRun& run) {
  if (!run.outcome.ok()) return run.outcome.message;
  if (run.timed_out) return "the device did not finish " + run.action + " within a minute";
  if (run.not_sent) return "the device did not take it: a frame did not leave";
  if (!run.failures.empty()) return "the device did not take it: " + run.failures.front();
  return {};
}

nlohmann::json RunJson(const ActionRun& run) {
  nlohmann::json j{{"action", run.action}, {"device", run.device}, {"result", run.Result()}, {"frames", run.frames}};
  if (const std::string problem = ProblemOf(run); !problem.empty()) j["error"] = problem;
  return j;
}

std::string RandomHex(size_t bytes) {
  std::vector<uint8_t> raw(bytes);
  size_t got = 0;
  while (got < bytes) {
    const ssize_t n = getrandom(raw.data() + got, bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
  }
  std::string hex;
  char two[3];
  for (uint8_t b : raw) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

QByteArray CookieValue(const QByteArray& header) {
  for (const QByteArray& part : header.split(';')) {
    const QByteArray item = part.trimmed();
    if (item.startsWith(QByteArray(kCookie) + "=")) return item.mid(static_cast<qsizetype>(strlen(kCookie)) + 1);
  }
  return {};
}

bool ReadFile(const std::string& path, QByteArray* data, std::string* error) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    *error = "cannot read " + path + ": " + file.errorString().toStdString();
    return false;
  }
  *data = file.read(1 << 20);
  return true;
}

// The salvos a matrix router can recall, from the salvo folder: each
// with its routes, or with why its file holds no salvo.
QByteArray SalvosJson(const std::string& address) {
  const SalvoList list = ListSalvos(SalvoFolder());
  nlohmann::json salvos = nlohmann::json::array();
  for (const SavedSalvo& saved : list.salvos) {
    if (saved.error.empty())
      salvos.push_back({{"name", saved.name}, {"routes", saved.salvo.outputs}});
    else
      salvos.push_back({{"name", saved.name}, {"error", saved.error}});
  }
  nlohmann::json j{{"device", address}, {"salvos", salvos}, {"skipped", list.skipped}};
  if (!list.error.empty()) j["error"] = list.error;
  return Json(j);
}

}  // namespace

std::string AuditText(const AuditEntry& e) {
  std::string line = Now() + " audit peer=" + e.peer + " who=" + (e.who.empty() ? "-" : e.who);
  if (!e.action.empty()) line += " action=" + e.action;
  if (!e.device.empty()) line += " device=" + e.device;
  if (e.action.empty() && !e.request.empty()) line += " request=\"" + e.request + "\"";
  std::string result = e.result;
  std::replace(result.begin(), result.end(), '"', '\'');
  line += " result=" + (result.find(' ') != std::string::npos ? "\"" + result + "\"" : result);
  if (e.status) line += " status=" + std::to_string(e.status);
  return line;
}

std::string AuditJson(const AuditEntry& e) {
  nlohmann::json j{{"time", Now()},
                   {"audit",
                    {{"peer", e.peer},
                     {"who", e.who.empty() ? "-" : e.who},
                     {"request", e.request},
                     {"action", e.action},
                     {"device", e.device},
                     {"result", e.result},
                     {"status", e.status}}}};
  return j.dump();
}

QByteArray DeviceJson(const HubDevice& device) { return Json(DeviceFields(device)); }

ServiceServer::ServiceServer(DeviceHub& hub, ServiceOptions options, ServiceLimits limits, QObject* parent)
    : QObject(parent), m_hub(hub), m_options(std::move(options)), m_limits(limits) {}

ServiceServer::~ServiceServer() {
  for (int token : m_hub_tokens) m_hub.Unobserve(token);
  m_osc.reset();
  m_tally.reset();
  for (Client& c : m_clients)
    if (c.socket) c.socket->abort();
}

uint16_t ServiceServer::Port() const {
  return m_gate ? m_gate->serverPort() : 0;
}

uint16_t ServiceServer::OscPort() const { return m_osc ? m_osc->Port() : 0; }

std::string ServiceServer::Banner() const {
  const std::string url = std::string(m_options.Tls() ? "https://" : "http://") +
                          m_options.address.toString().toStdString() + ":" + std::to_string(Port());
  std::string text = "serving " + url + "/api/v1";
  if (m_osc) text += ", OSC on UDP port " + std::to_string(OscPort()) + " from " + m_options.osc_allow.Text();
  if (m_tally) {
    text += ", tally";
    if (const TslListener* in = m_tally->Listener())
      text += ", TSL on UDP and TCP port " + std::to_string(in->Port()) + " from " + m_options.tally.allow;
    if (!m_options.tally.send.empty())
      text += ", TSL " + m_options.tally.send_version + " out to " + std::to_string(m_options.tally.send.size()) +
              " target(s)";
  }
  if (const std::string salvos = SalvoFolder(); !salvos.empty()) text += ", salvos from " + salvos;
  if (!m_have_tokens) text += "; " + m_token_problem;
  return text;
}

void ServiceServer::ReloadTokensIfChanged() {
  struct stat st {};
  if (stat(m_options.token_file.c_str(), &st) != 0) {
    m_have_tokens = false;
    m_token_mtime_ns = -1;
    m_token_problem = "there is no token file (" + m_options.token_file +
                      "): every request is refused; make one with zvd --add-token NAME ROLE";
    return;
  }
  const int64_t stamp = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec + st.st_size;
  if (stamp == m_token_mtime_ns) return;
  m_token_mtime_ns = stamp;
  std::string error;
  TokenStore store;
  if (!store.Load(m_options.token_file, &error)) {
    m_have_tokens = false;
    m_token_problem = "the token file cannot be taken: " + error;
    Audit({"-", "-", "token file " + m_options.token_file, "", "", "refused: " + error, 0});
    return;
  }
  m_tokens = std::move(store);
  m_have_tokens = !m_tokens.Empty();
  m_token_problem = m_have_tokens ? "" : "the token file holds no token: every request is refused";
}

bool ServiceServer::Start(std::string* error) {
  struct stat st {};
  const bool token_file_exists = stat(m_options.token_file.c_str(), &st) == 0;
  if (!token_file_exists && (m_options.token_file_given || !m_options.Loopback())) {
    *error = m_options.Loopback() ? "there is no token file " + m_options.token_file
                                  : "listening on " + m_options.address.toString().toStdString() +
                                        " (not loopback) needs a token file; there is none at " +
                                        m_options.token_file + " (make one with zvd --add-token NAME ROLE)";
    return false;
  }
  if (token_file_exists) {
    TokenStore store;
    if (!store.Load(m_options.token_file, error)) return false;
  }
  ReloadTokensIfChanged();

  std::optional<QSslConfiguration> tls;
  if (m_options.Tls()) {
    QByteArray cert_pem, key_pem;
    if (!ReadFile(m_options.tls_cert, &cert_pem, error) || !ReadFile(m_options.tls_key, &key_pem, error))
      return false;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(cert_pem, QSsl::Pem);
    if (chain.isEmpty()) {
      *error = m_options.tls_cert + " holds no PEM certificate";
      return false;
    }
    QSslKey key(key_pem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) key = QSslKey(key_pem, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) {
      *error = m_options.tls_key + " holds no PEM private key (RSA or EC) without a pass phrase";
      return false;
    }
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setLocalCertificateChain(chain);
    conf.setPrivateKey(key);
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls = conf;
  }

  m_http = std::make_unique<ServiceHttp>(*this);
  auto* gate = new HttpGate(m_limits.gate, tls);
  gate->on_websocket = [this](QTcpSocket* socket, const RequestHead& head) { OnWebSocketHead(socket, head); };
  gate->on_refused = [this](const QHostAddress& peer, int status, const std::string& reason, const RequestHead* head) {
    Audit({PeerText(peer), "-", head ? (head->method + " " + head->Path()).toStdString() : "", "", "", reason, status});
  };
  if (!gate->listen(m_options.address, m_options.port)) {
    *error = "cannot listen on " + m_options.address.toString().toStdString() + ":" + std::to_string(m_options.port) +
             ": " + gate->errorString().toStdString();
    delete gate;
    return false;
  }
  m_http->bind(gate);  // the HTTP server owns it now
  m_gate = gate;

  m_ws_server = std::make_unique<QWebSocketServer>(QStringLiteral("zvd"), QWebSocketServer::NonSecureMode);
  connect(m_ws_server.get(), &QWebSocketServer::newConnection, this, &ServiceServer::OnWebSocket);

  if (m_options.osc_port) {
    m_osc = std::make_unique<OscListener>();
    QPointer<ServiceServer> self(this);
    std::string why;
    if (!m_osc->Start(
            *m_options.osc_port, m_options.osc_allow,
            [self](uint32_t from, std::string path, std::vector<OscArg> args) {
              QMetaObject::invokeMethod(
                  self.data(),
                  [self, from, path = std::move(path), args = std::move(args)] {
                    if (self) self->OnOsc(from, path, args);
                  },
                  Qt::QueuedConnection);
            },
            &why)) {
      *error = "cannot take OSC on UDP port " + std::to_string(*m_options.osc_port) + ": " + why;
      return false;
    }
  }

  if (TallyWanted(m_options.tally)) {
    QPointer<ServiceServer> self(this);
    m_tally = TallyService::Start(
        m_options.tally,
        [self](std::function<void()> work) {
          QMetaObject::invokeMethod(
              self.data(),
              [self, work = std::move(work)] {
                if (self) work();
              },
              Qt::QueuedConnection);
        },
        m_tally_clock, error);
    if (!m_tally) {
      *error = "tally: " + *error;
      return false;
    }
    m_tally->Engine().SubscribeEvents(
        [this](const TallyEvent& event) { Broadcast(QByteArray::fromStdString(TallyService::EventJson(event))); });
    m_tally->Follow(m_hub);
  }

  m_hub_tokens.push_back(m_hub.OnRecord(
      [this](const std::string& address, const nlohmann::json& fields, const ActionOrigin& origin) {
        Broadcast(Json({{"event", "record"},
                        {"device", address},
                        {"fields", fields},
                        {"surface", origin.surface},
                        {"who", origin.who}}));
      }));
  m_hub_tokens.push_back(m_hub.OnDevice([this](const HubDevice& device) {
    nlohmann::json j = DeviceFields(device);
    j["event"] = "device";
    j["device"] = device.address;
    Broadcast(Json(j));
  }));
  m_hub_tokens.push_back(m_hub.OnAction([this](const ActionRun& run) {
    Broadcast(Json({{"event", "action"},
                    {"device", run.device},
                    {"action", run.action},
                    {"who", run.origin.who},
                    {"from", run.origin.surface},
                    {"result", run.Result()}}));
    // The window's actions are audited here; the clients' where they are
    // answered.
    if (run.origin.surface == "window")
      Audit({"window", "window", "", run.action, run.device, run.Result(), 0});
  }));
  return true;
}

void ServiceServer::Audit(AuditEntry entry) {
  if (m_audit) m_audit(entry);
}

// ---- who is asking -----------------------------------------------------------

ServiceServer::Caller ServiceServer::Authenticate(const std::string& peer, const Headers& header) {
  const auto now = FailureLimiter::Clock::now();
  if (m_failures.Blocked(peer, now))
    return {std::nullopt, 429, "too many failed attempts from this address: try again in a minute", false};
  ReloadTokensIfChanged();
  if (!m_have_tokens) return {std::nullopt, 401, m_token_problem, false};
  const auto failed = [&](std::string why) {
    if (m_failures.Failed(peer, now))
      Audit({peer, "-", "", "", "", "blocked for a minute after repeated failed attempts", 429});
    return Caller{std::nullopt, 401, std::move(why), false};
  };
  const QByteArray authorization = header("authorization");
  if (!authorization.isEmpty()) {
    if (!authorization.startsWith("Bearer ")) return failed("the Authorization header must be \"Bearer TOKEN\"");
    const QByteArray token = authorization.mid(7).trimmed();
    const std::optional<TokenHolder> holder = m_tokens.Check(std::string_view(token.constData(), token.size()));
    if (!holder) return failed("the token is not valid");
    return {holder, 0, {}, false};
  }
  const QByteArray cookie = CookieValue(header("cookie"));
  if (!cookie.isEmpty()) {
    const auto it = m_sessions.find(cookie.toStdString());
    if (it == m_sessions.end() || it->second.expires < std::chrono::steady_clock::now()) {
      if (it != m_sessions.end()) m_sessions.erase(it);
      return failed("the session has ended: log in again");
    }
    return {it->second.holder, 0, {}, true};
  }
  return {std::nullopt, 401,
          "a token is needed: send \"Authorization: Bearer TOKEN\", or log in with POST /api/v1/login", false};
}

bool ServiceServer::OwnOrigin(const QByteArray& origin, const QByteArray& host) const {
  const QByteArray scheme = m_options.Tls() ? "https://" : "http://";
  const QByteArray port = ":" + QByteArray::number(Port());
  if (origin == scheme + m_options.address.toString().toLatin1() + port) return true;
  if (m_options.Loopback() && origin == scheme + "localhost" + port) return true;
  // Listening on every address: the address the client used, when it is an
  // address (a name of someone else's that resolves here is not the
  // service's own).
  if (m_options.address == QHostAddress::AnyIPv4) {
    QHostAddress used;
    const qsizetype colon = host.lastIndexOf(':');
    if (colon > 0 && used.setAddress(QString::fromLatin1(host.left(colon))) && origin == scheme + host) return true;
  }
  return false;
}

// ---- HTTP --------------------------------------------------------------------------

void ServiceServer::Handle(const QHttpServerRequest& request, QTcpSocket* socket) {
  // One request per connection: the gate saw only the first.
  if (socket->property("zv_answered").toBool()) {
    socket->abort();
    return;
  }
  socket->setProperty("zv_answered", true);
  const std::string peer = PeerText(request.remoteAddress());
  const QList<QPair<QByteArray, QByteArray>> headers = request.headers();
  const Headers header = [&headers](const QByteArray& lower) {
    for (const auto& [name, value] : headers)
      if (name.toLower() == lower) return value;
    return QByteArray();
  };
  const QString path = request.url().path();
  const bool get = request.method() == QHttpServerRequest::Method::Get;
  const bool post = request.method() == QHttpServerRequest::Method::Post;
  const std::string method = get ? "GET" : post ? "POST" : "other";
  const std::string text = method + " " + path.toStdString();
  const auto refuse = [&](int status, const std::string& reason, const std::string& who = "-") {
    Audit({peer, who, text, "", "", reason, status});
    Respond(socket, status, ErrorJson(reason));
  };

  // The touch panel's pages hold no secret: anyone who may connect gets
  // them (after the gate's limits and the failure block); all they do goes
  // through the API's checks below.
  if (get && !path.startsWith("/api/")) {
    if (m_failures.Blocked(peer, FailureLimiter::Clock::now()))
      return refuse(429, "too many failed attempts from this address: try again in a minute");
    if (!FindWebFile(path)) return refuse(404, "no such page");
    socket->write(WebResponse(path, header("if-none-match")));
    socket->disconnectFromHost();
    return;
  }

  QStringList parts = path.split('/');
  if (parts.size() < 3 || parts[0] != "" || parts[1] != "api" || parts[2] != "v1") {
    refuse(404, "no such path: the API is under /api/v1");
    return;
  }
  parts = parts.mid(3);
  const auto is = [&](std::initializer_list<const char*> words) {
    if (parts.size() != static_cast<qsizetype>(words.size())) return false;
    qsizetype i = 0;
    for (const char* w : words) {
      if (*w != '*' && parts[i] != QLatin1String(w)) return false;
      ++i;
    }
    return true;
  };

  if (is({"login"})) {
    if (!post) return refuse(405, "log in with POST");
    Login(socket, peer, request.body(), text);
    return;
  }

  const Caller caller = Authenticate(peer, header);
  if (!caller.holder) return refuse(caller.status, caller.reason);
  const TokenHolder& who = *caller.holder;
  // A browser's cookie is the browser's, whatever page sends it: only the
  // service's own pages may use it.
  const QByteArray origin = header("origin");
  if (caller.by_cookie && !origin.isEmpty() && !OwnOrigin(origin, header("host")))
    return refuse(403, "a request with this session must come from the service's own origin", who.name);
  const auto needs = [&](Role role) {
    if (static_cast<int>(who.role) >= static_cast<int>(role)) return true;
    refuse(403, std::string("this needs the ") + RoleName(role) + " role; " + who.name + " has " + RoleName(who.role),
           who.name);
    return false;
  };
  const auto address = [&]() -> std::string { return parts.size() > 1 ? parts[1].toStdString() : std::string(); };

  if (is({"devices"})) {
    if (!get) return refuse(405, "GET only", who.name);
    if (!needs(Role::kView)) return;
    nlohmann::json list = nlohmann::json::array();
    for (const HubDevice& d : m_hub.Devices()) list.push_back(DeviceFields(d));
    Respond(socket, 200, Json(list));
  } else if (is({"actions"})) {
    if (!get) return refuse(405, "GET only", who.name);
    if (!needs(Role::kView)) return;
    Respond(socket, 200, QJsonDocument(ActionTableJson()).toJson(QJsonDocument::Compact));
  } else if (is({"status"})) {
    if (!get) return refuse(405, "GET only", who.name);
    if (!needs(Role::kView)) return;
    std::erase_if(m_clients, [](const Client& c) { return !c.socket; });
    nlohmann::json j{{"events_clients", m_clients.size()}, {"connections", m_gate ? m_gate->Connections() : 0}};
    if (m_osc) j["osc"] = {{"port", m_osc->Port()}, {"dropped", m_osc->Dropped()}, {"refused", m_osc->Refused()}};
    if (m_tally) j["tally"] = nlohmann::json::parse(m_tally->CurrentJson());
    Respond(socket, 200, Json(j));
  } else if (is({"scan"})) {
    if (!post) return refuse(405, "POST only", who.name);
    if (!needs(Role::kAdmin)) return;
    QPointer<QTcpSocket> s(socket);
    m_hub.Scan([this, s, peer, who, text](bool searched) {
      Audit({peer, who.name, text, "scan", "", searched ? "done" : "not searched", searched ? 200 : 502});
      if (!searched) return Respond(s, 502, ErrorJson("the search could not run (its socket could not be opened)"));
      nlohmann::json list = nlohmann::json::array();
      for (const HubDevice& d : m_hub.Devices()) list.push_back(DeviceFields(d));
      Respond(s, 200, Json(list));
    });
  } else if (is({"devices", "*", "state"})) {
    if (!get) return refuse(405, "GET only", who.name);
    if (!needs(Role::kView)) return;
    if (!IsDeviceAddress(address()) || !m_hub.Device(address()))
      return refuse(404, "no device is known at " + address(), who.name);
    State(socket, address());
  } else if (is({"devices", "*", "salvos"})) {
    if (!get) return refuse(405, "GET only", who.name);
    if (!needs(Role::kView)) return;
    const HubDevice* device = IsDeviceAddress(address()) ? m_hub.Device(address()) : nullptr;
    if (!device) return refuse(404, "no device is known at " + address(), who.name);
    if (device->family != &FamilyOf(FamilyKind::kMatrix))
      return refuse(404, address() + " is no matrix router: only a matrix router recalls salvos", who.name);
    Respond(socket, 200, SalvosJson(address()));
  } else if (is({"devices", "*", "actions", "*"})) {
    if (!post) return refuse(405, "POST only", who.name);
    if (!needs(Role::kOperate)) return;
    RunAction(socket, peer, who, address(), parts[3].toStdString(), request.body(), text);
  } else if (is({"devices", "*", "ip"})) {
    if (!post) return refuse(405, "POST only", who.name);
    if (!needs(Role::kAdmin)) return;
    SetIp(socket, peer, who, address(), request.body(), text);
  } else if (is({"devices", "*", "setup"})) {
    if (!post) return refuse(405, "POST only", who.name);
    if (!needs(Role::kAdmin)) return;
    ApplySetup(socket, peer, who, address(), request.body(), text);
  } else if (is({"session"})) {
    // Who the caller is: a page reloaded with its cookie asks.
    if (!get) return refuse(405, "GET only", who.name);
    Respond(socket, 200, Json({{"name", who.name}, {"role", RoleName(who.role)}}));
  } else if (is({"logout"})) {
    if (!post) return refuse(405, "POST only", who.name);
    m_sessions.erase(CookieValue(header("cookie")).toStdString());
    Respond(socket, 200, "{}",
            {{"Set-Cookie", QByteArray(kCookie) + "=; HttpOnly; SameSite=Strict; Path=/api/v1; Max-Age=0"}});
  } else if (is({"events"})) {
    refuse(426, "the events are a WebSocket: send the upgrade", who.name);
  } else {
    refuse(404, "no such path", who.name);
  }
}

void ServiceServer::Login(QTcpSocket* socket, const std::string& peer, const QByteArray& body,
                          const std::string& request) {
  const QJsonDocument doc = QJsonDocument::fromJson(body);
  const QString token = doc.isObject() ? doc.object().value("token").toString() : QString();
  if (token.isEmpty()) {
    Audit({peer, "-", request, "", "", "no token in the body", 400});
    return Respond(socket, 400, ErrorJson("log in with {\"token\": \"...\"}"));
  }
  const QByteArray bytes = token.toUtf8();
  const Caller caller = Authenticate(
      peer, [&bytes](const QByteArray& name) { return name == "authorization" ? "Bearer " + bytes : QByteArray(); });
  if (!caller.holder) {
    Audit({peer, "-", request, "", "", caller.reason, caller.status});
    return Respond(socket, caller.status, ErrorJson(caller.reason));
  }
  // The oldest sessions go first when there are too many.
  const auto now = std::chrono::steady_clock::now();
  for (auto it = m_sessions.begin(); it != m_sessions.end();)
    it = it->second.expires < now ? m_sessions.erase(it) : std::next(it);
  while (m_sessions.size() >= static_cast<size_t>(m_limits.sessions)) {
    auto oldest = m_sessions.begin();
    for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
      if (it->second.expires < oldest->second.expires) oldest = it;
    m_sessions.erase(oldest);
  }
  const std::string id = RandomHex(32);
  m_sessions[id] = {*caller.holder, now + m_limits.session_life};
  QByteArray cookie = QByteArray(kCookie) + "=" + QByteArray::fromStdString(id) +
                      "; HttpOnly; SameSite=Strict; Path=/api/v1";
  if (m_options.Tls()) cookie += "; Secure";
  Audit({peer, caller.holder->name, request, "", "", "logged in", 200});
  Respond(socket, 200, Json({{"name", caller.holder->name}, {"role", RoleName(caller.holder->role)}}),
          {{"Set-Cookie", cookie}});
}

void ServiceServer::RunAction(QTcpSocket* socket, const std::string& peer, const TokenHolder& who,
                              const std::string& address, const std::string& name, const QByteArray& body,
                              const std::string& request) {
  const auto refuse = [&](int status, const std::string& reason) {
    Audit({peer, who.name, request, name, address, reason, status});
    Respond(socket, status, ErrorJson(reason));
  };
  if (!IsDeviceAddress(address)) return refuse(404, address + " is not a device's address");
  const auto found = FindActionByName(name);
  if (const auto* e = std::get_if<RequestError>(&found)) return refuse(e->status, e->message);
  const ActionSpec& action = *std::get<const ActionSpec*>(found);
  const Role role = ActionRole(action);
  if (static_cast<int>(who.role) < static_cast<int>(role))
    return refuse(403, name + " needs the " + RoleName(role) + " role; " + who.name + " has " + RoleName(who.role));
  auto args = ArgsFromJson(action, std::string_view(body.constData(), static_cast<size_t>(body.size())));
  if (const auto* e = std::get_if<RequestError>(&args)) return refuse(e->status, e->message);
  const HubDevice* device = m_hub.Device(address);
  if (!device) return refuse(404, "no device is known at " + address + " (POST /api/v1/scan searches)");
  const std::string key = name.substr(0, name.find('.'));
  if (!device->family || key != device->family->key)
    return refuse(404, address + " is " +
                           (device->family ? std::string("a ") + device->family->name : std::string("of no known family")) +
                           ", which has no action " + name);
  QPointer<QTcpSocket> s(socket);
  m_hub.Invoke(address, name, std::get<ActionArgs>(args), {"http", who.name},
               [this, s, peer, who, request](const ActionRun& run) {
                 const int status = StatusOf(run);
                 Audit({peer, who.name, request, run.action, run.device, run.Result(), status});
                 Respond(s, status, Json(RunJson(run)));
               });
}

void ServiceServer::State(QTcpSocket* socket, const std::string& address) {
  QPointer<QTcpSocket> s(socket);
  m_hub.ReadBack(address, {"device", ""}, [this, s, address](const ActionRun& run) {
    const HubDevice* device = m_hub.Device(address);
    nlohmann::json j{{"address", address},
                     {"family", device && device->family ? nlohmann::json(device->family->key) : nlohmann::json(nullptr)},
                     {"state", m_hub.StateOf(address)}};
    if (!run.Taken()) {
      j["error"] = run.outcome.ok() ? "the device did not answer the read-back: the state is what the session last had"
                                    : run.outcome.message;
      return Respond(s, run.outcome.ok() ? 502 : StatusOf(run), Json(j));
    }
    Respond(s, 200, Json(j));
  });
}

void ServiceServer::SetIp(QTcpSocket* socket, const std::string& peer, const TokenHolder& who,
                          const std::string& address, const QByteArray& body, const std::string& request) {
  const auto refuse = [&](int status, const std::string& reason) {
    Audit({peer, who.name, request, "device.set_ip", address, reason, status});
    Respond(socket, status, ErrorJson(reason));
  };
  const HubDevice* device = IsDeviceAddress(address) ? m_hub.Device(address) : nullptr;
  if (!device) return refuse(404, "no device is known at " + address);
  if (!device->serial_port.empty())
    return refuse(409, address + " is on the serial line " + device->serial_port +
                           ": it has no network address to change");
  const QJsonDocument doc = QJsonDocument::fromJson(body);
  if (!doc.isObject()) return refuse(400, "the body must be {\"address\": \"a.b.c.d\"} (mask and gateway optional)");
  const QJsonObject o = doc.object();
  for (const QString& key : o.keys())
    if (key != "address" && key != "mask" && key != "gateway")
      return refuse(400, "a new address takes address, mask and gateway, not " + key.toStdString());
  const auto octets = [&](const char* key, std::array<uint8_t, 4>* out) {
    return o.value(key).isString() && ParseIpv4Address(o.value(key).toString().toStdString(), out);
  };
  NewAddress to;
  if (!octets("address", &to.ip)) return refuse(400, "address must be a dotted IPv4 address");
  if (const std::string problem = DeviceAddressProblem(to.ip, 4); !problem.empty()) return refuse(400, problem);
  const NewAddress defaults = NewAddressFor(to.ip);
  to.mask = defaults.mask;
  to.gateway = defaults.gateway;
  if (o.contains("mask") && !octets("mask", &to.mask)) return refuse(400, "mask must be a dotted IPv4 mask");
  if (o.contains("gateway") && !octets("gateway", &to.gateway))
    return refuse(400, "gateway must be a dotted IPv4 address");
  QPointer<QTcpSocket> s(socket);
  m_hub.RunInSession(
      address, "device.set_ip", {"http", who.name},
      [to](DeviceSession& session) {
        session.Link().Request("", SetIpJob(to));
        return ActionOutcome::Done();
      },
      [this, s, peer, who, request](const ActionRun& run) {
        const int status = StatusOf(run);
        Audit({peer, who.name, request, run.action, run.device, run.Result(), status});
        Respond(s, status, Json(RunJson(run)));
      });
}

void ServiceServer::ApplySetup(QTcpSocket* socket, const std::string& peer, const TokenHolder& who,
                               const std::string& address, const QByteArray& body, const std::string& request) {
  const auto refuse = [&](int status, const std::string& reason) {
    Audit({peer, who.name, request, "multiview.setup", address, reason, status});
    Respond(socket, status, ErrorJson(reason));
  };
  const HubDevice* device = IsDeviceAddress(address) ? m_hub.Device(address) : nullptr;
  if (!device) return refuse(404, "no device is known at " + address);
  if (device->family != &FamilyOf(FamilyKind::kMultiviewer))
    return refuse(404, address + " is no multiviewer: only a multiviewer takes a setup");
  auto setup = std::make_shared<MultiviewSetup>();
  MultiviewSetupKeys keys;
  std::string error;
  if (!DecodeSetupJson(body.toStdString(), setup.get(), &error, &keys)) return refuse(400, "the setup: " + error);
  auto result = std::make_shared<std::optional<MultiviewApplyResult>>();
  QPointer<QTcpSocket> s(socket);
  m_hub.RunInSession(
      address, "multiview.setup", {"http", who.name},
      [setup, keys, result](DeviceSession& session) {
        static_cast<MultiviewSession&>(session).ApplySetup(
            *setup, keys, [result](const MultiviewApplyResult& r) { *result = r; });
        return ActionOutcome::Done();
      },
      [this, s, peer, who, request, result, address](const ActionRun& run) {
        nlohmann::json j = RunJson(run);
        int status = StatusOf(run);
        if (status == 200 || status == 502) {
          const bool took = result->has_value() && (*result)->answered_before && (*result)->content &&
                            (*result)->missed.empty();
          if (result->has_value()) {
            j["report"] = ApplyResultText(**result, address);
            j["missed"] = (*result)->missed;
          }
          status = took ? 200 : 502;
          j["result"] = took ? "done" : "not taken";
          if (!took) j["error"] = result->has_value() ? ApplyResultText(**result, address) : "no answer";
        }
        Audit({peer, who.name, request, run.action, run.device, j["result"].get<std::string>(), status});
        Respond(s, status, Json(j));
      });
}

// ---- the events -----------------------------------------------------------------------

void ServiceServer::OnWebSocketHead(QTcpSocket* socket, const RequestHead& head) {
  const std::string peer = PeerText(socket->peerAddress());
  const std::string text = "GET " + head.Path().toStdString() + " (WebSocket)";
  const auto refuse = [&](int status, const std::string& reason, const std::string& who = "-") {
    Audit({peer, who, text, "", "", reason, status});
    Respond(socket, status, ErrorJson(reason));
  };
  if (head.Path() != "/api/v1/events") return refuse(404, "the events are at /api/v1/events");
  const Caller caller = Authenticate(peer, [&head](const QByteArray& name) { return head.Value(name); });
  if (!caller.holder) return refuse(caller.status, caller.reason);
  const QByteArray origin = head.Value("origin");
  int origins = 0;
  for (const auto& [name, value] : head.headers) origins += name == "origin";
  if (origins > 1) return refuse(403, "more than one Origin", caller.holder->name);
  if (!origin.isEmpty() && !OwnOrigin(origin, head.Value("host")))
    return refuse(403, "a WebSocket from another origin (" + origin.toStdString() + ") is refused", caller.holder->name);
  if (origin.isEmpty() && caller.by_cookie)
    return refuse(403, "a browser's WebSocket must say its Origin", caller.holder->name);
  // Who it is goes with the connection to the WebSocket server, which
  // makes the handshake from the bytes the gate only looked at.
  socket->setProperty("zv_who", QString::fromStdString(caller.holder->name));
  // A send buffer of a fixed size: left to itself the kernel grows it to
  // megabytes for a client that does not read, and the queue's bound
  // (bytes Qt holds beyond it) would come far too late.
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
  // Events are small and wanted at once: none waits for the client's
  // acknowledgement of the one before.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // The socket goes with its WebSocket (OnWebSocket); one whose handshake
  // never ends is closed.
  const std::string key = PeerText(socket->peerAddress()) + ":" + std::to_string(socket->peerPort());
  m_upgrading[key] = socket;
  QPointer<QTcpSocket> guard(socket);
  QTimer::singleShot(m_limits.gate.head_ms, this, [this, guard, key] {
    if (!guard || guard->property("zv_upgraded").toBool()) return;
    m_upgrading.erase(key);
    guard->abort();
    guard->deleteLater();
  });
  m_ws_server->handleConnection(socket);
  emit socket->readyRead();
}

void ServiceServer::OnWebSocket() {
  while (QWebSocket* ws = m_ws_server->nextPendingConnection()) {
    ws->setParent(this);
    connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
    // Its socket (and the gate's count of it) goes with it.
    const auto it = m_upgrading.find(PeerText(ws->peerAddress()) + ":" + std::to_string(ws->peerPort()));
    if (it != m_upgrading.end()) {
      if (QTcpSocket* socket = it->second) {
        socket->setProperty("zv_upgraded", true);
        connect(ws, &QObject::destroyed, socket, &QObject::deleteLater);
      }
      m_upgrading.erase(it);
    }
    // The gate checked the upgrade; its holder is checked again here from
    // the same headers (a session may have ended meanwhile), without
    // counting a failure twice.
    const QNetworkRequest request = ws->request();
    const QByteArray authorization = request.rawHeader("Authorization");
    std::optional<TokenHolder> holder;
    if (m_have_tokens && authorization.startsWith("Bearer ")) {
      const QByteArray token = authorization.mid(7).trimmed();
      holder = m_tokens.Check(std::string_view(token.constData(), token.size()));
    } else if (const QByteArray cookie = CookieValue(request.rawHeader("Cookie")); !cookie.isEmpty()) {
      const auto it = m_sessions.find(cookie.toStdString());
      if (it != m_sessions.end()) holder = it->second.holder;
    }
    if (!holder) {
      ws->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("not authenticated"));
      continue;
    }
    ws->setMaxAllowedIncomingFrameSize(static_cast<quint64>(m_limits.client_message_bytes));
    ws->setMaxAllowedIncomingMessageSize(static_cast<quint64>(m_limits.client_message_bytes));
    Audit({PeerText(ws->peerAddress()), holder->name, "GET /api/v1/events (WebSocket)", "", "", "connected", 101});
    m_clients.push_back({ws, holder->name});
    nlohmann::json devices = nlohmann::json::array();
    for (const HubDevice& d : m_hub.Devices()) {
      nlohmann::json j = DeviceFields(d);
      j["state"] = m_hub.StateOf(d.address);
      devices.push_back(j);
    }
    Send(m_clients.back(), Json({{"event", "snapshot"}, {"devices", devices}}));
  }
}

void ServiceServer::Send(Client& client, const QByteArray& message) {
  if (!client.socket || client.socket->state() != QAbstractSocket::ConnectedState) return;
  client.socket->sendTextMessage(QString::fromUtf8(message));
  if (client.socket->bytesToWrite() > m_options.event_queue_bytes) {
    Audit({PeerText(client.socket->peerAddress()), client.who, "GET /api/v1/events (WebSocket)", "", "",
           "closed: the client does not read its events", 0});
    client.socket->abort();
  }
}

void ServiceServer::Broadcast(const QByteArray& message) {
  std::erase_if(m_clients, [](const Client& c) { return !c.socket; });
  for (Client& c : m_clients) Send(c, message);
}

// ---- OSC -------------------------------------------------------------------------------

void ServiceServer::OnOsc(uint32_t from, const std::string& path, const std::vector<OscArg>& args) {
  const std::string peer = "osc:" + QHostAddress(from).toString().toStdString();
  const std::string text = "osc " + path;
  const auto refuse = [&](int status, const std::string& reason, const std::string& action = "",
                          const std::string& device = "") {
    Audit({peer, "-", text, action, device, reason, status});
  };
  auto found = ActionFromOsc(path, args);
  if (const auto* e = std::get_if<RequestError>(&found)) return refuse(e->status, e->message);
  ActionRequest& request = std::get<ActionRequest>(found);
  const std::string& name = request.action->name;
  const HubDevice* device = m_hub.Device(request.address);
  if (!device || !device->family || name.substr(0, name.find('.')) != device->family->key)
    return refuse(404, device ? request.address + " has no action " + name : "no device is known at " + request.address,
                  name, request.address);
  const std::string who = QHostAddress(from).toString().toStdString();
  m_hub.Invoke(request.address, name, request.args, {"osc", who}, [this, peer, who, text](const ActionRun& run) {
    Audit({peer, who, text, run.action, run.device, run.Result(), 0});
  });
}

}  // namespace zv
