// The remote-control service on a device hub: the HTTP API under /api/v1,
// the WebSocket of events, OSC, and the access checks that come before any
// of them runs. zvd runs it on a hub of its own; `zv_multiview --serve` on
// the window's, so remote clients and the panels share the sessions.
//
// Every request is checked in this order, and a refused one reaches no
// device: the gate's limits (connections, header and body sizes, one
// request per connection); an address blocked after repeated failures
// (429); a token or a browser's session (401); for a browser's session, an
// Origin that is the service's own (403); the role the request needs (403);
// then what the request names (404 for an unknown device, action or path,
// 400 for a bad parameter). Each action, and each refused request, writes
// an audit line.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "service/access_limits.h"
#include "service/http_gate.h"
#include "service/qt_session_clock.h"
#include "service/service_options.h"
#include "service/token_store.h"
#include "hub/device_hub.h"

class QHttpServerRequest;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

namespace zv {

class OscListener;
class ServiceHttp;

struct ServiceLimits {
  GateLimits gate;
  qint64 client_message_bytes = 4096;      // what a WebSocket client may send
  int sessions = 1024;                     // browser sessions kept (the oldest go)
  std::chrono::hours session_life{12};
};

// One audit line: when, from where, who, what and what became of it.
struct AuditEntry {
  std::string peer;     // "127.0.0.1", "osc:10.1.2.3"
  std::string who;      // a token's name; "-" for nobody
  std::string request;  // "POST /api/v1/devices/10.0.0.5/actions/switcher.cut", "osc /zv/..."
  std::string action;   // the action's name, when one was named
  std::string device;
  std::string result;   // "done", "not now", "401", ...
  int status = 0;       // the HTTP status (0 for OSC)
};

class ServiceServer : public QObject {
  Q_OBJECT
 public:
  ServiceServer(DeviceHub& hub, ServiceOptions options, ServiceLimits limits = {}, QObject* parent = nullptr);
  ~ServiceServer() override;

  // Loads the tokens and TLS files, listens and starts OSC. False with
  // *error (a sentence for people) when the service cannot start: a
  // non-loopback address without a token file, a token file that cannot
  // be taken, TLS files that cannot be read, a port that cannot be bound.
  // A loopback service without a token file starts, refusing every request.
  bool Start(std::string* error);
  // The bound ports (the HTTP port 0 and OSC port 0 pick one).
  uint16_t Port() const;
  uint16_t OscPort() const;
  // Said once at start: where it listens and whether requests can pass.
  std::string Banner() const;

  // Audit lines go here (the program writes them to standard error and the
  // frame log).
  void SetAuditSink(std::function<void(const AuditEntry& entry)> sink) { m_audit = std::move(sink); }
  // The hub's search for POST /scan (zvd's own; the window's in --serve).
  DeviceHub& Hub() { return m_hub; }
  // Tally, when an option turned it on; null otherwise.
  TallyService* Tally() { return m_tally.get(); }

  // What a request gets; called by the HTTP server.
  void Handle(const QHttpServerRequest& request, QTcpSocket* socket);

 private:
  struct Client {
    QPointer<QWebSocket> socket;
    std::string who;
  };
  struct BrowserSession {
    TokenHolder holder;
    std::chrono::steady_clock::time_point expires;
  };
  // Who a request comes from, or why it is refused.
  struct Caller {
    std::optional<TokenHolder> holder;
    int status = 0;  // 401, 403, 429 when refused
    std::string reason;
    bool by_cookie = false;
  };
  using Headers = std::function<QByteArray(const QByteArray& lower_name)>;

  Caller Authenticate(const std::string& peer, const Headers& header);
  bool OwnOrigin(const QByteArray& origin, const QByteArray& host) const;
  void ReloadTokensIfChanged();
  void OnWebSocketHead(QTcpSocket* socket, const RequestHead& head);
  void OnWebSocket();
  void Broadcast(const QByteArray& message);
  void Send(Client& client, const QByteArray& message);
  void OnOsc(uint32_t from, const std::string& path, const std::vector<std::variant<int32_t, float, std::string>>& args);
  void Audit(AuditEntry entry);

  // The routes, each with the caller already checked for its role.
  void RunAction(QTcpSocket* socket, const std::string& peer, const TokenHolder& who, const std::string& address,
                 const std::string& name, const QByteArray& body, const std::string& request);
  void SetIp(QTcpSocket* socket, const std::string& peer, const TokenHolder& who, const std::string& address,
             const QByteArray& body, const std::string& request);
  void ApplySetup(QTcpSocket* socket, const std::string& peer, const TokenHolder& who, const std::string& address,
                  const QByteArray& body, const std::string& request);
  void State(QTcpSocket* socket, const std::string& address);
  void Login(QTcpSocket* socket, const std::string& peer, const QByteArray& body, const std::string& request);

  DeviceHub& m_hub;
  ServiceOptions m_options;
  ServiceLimits m_limits;
  TokenStore m_tokens;
  bool m_have_tokens = false;
  std::string m_token_problem;  // why every request is refused
  int64_t m_token_mtime_ns = -1;
  FailureLimiter m_failures;
  std::map<std::string, BrowserSession> m_sessions;  // by cookie value
  std::unique_ptr<ServiceHttp> m_http;
  HttpGate* m_gate = nullptr;  // the HTTP server's
  std::unique_ptr<QWebSocketServer> m_ws_server;
  std::vector<Client> m_clients;
  // Connections handed to the WebSocket server, by the peer's address and
  // port, until their WebSocket comes out of it.
  std::map<std::string, QPointer<QTcpSocket>> m_upgrading;
  std::unique_ptr<OscListener> m_osc;
  // Tally (with any of the --tsl options): its timers and the engine, TSL
  // in and out, following the hub's devices.
  QtSessionClock m_tally_clock;
  std::unique_ptr<TallyService> m_tally;
  std::function<void(const AuditEntry&)> m_audit;
  std::vector<int> m_hub_tokens;
};

// "2024-05-02T10:14:07Z audit peer=... who=... ..." for standard error.
std::string AuditText(const AuditEntry& entry);
// {"audit": {...}} for the frame log.
std::string AuditJson(const AuditEntry& entry);
// A known device as the API shows it.
QByteArray DeviceJson(const HubDevice& device);

}  // namespace zv
