// The service's front door: the listening socket. Qt's HTTP server (6.4)
// has no hook for limits or for a WebSocket upgrade that must be refused
// before its handshake, so every connection comes here first. The gate
// counts connections per address and in all, waits for the whole request
// (head and body) within its limits, keeps a connection to one request, and
// only then hands it on: a WebSocket upgrade to the service (which checks
// who it is and where it comes from before the handshake), anything else
// to the HTTP server, which reads the request again from the same bytes.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSslConfiguration>
#include <QTcpServer>
#include <functional>
#include <optional>
#include <string>

class QTcpSocket;

namespace zv {

struct GateLimits {
  int head_bytes = 16 * 1024;          // request line and headers (431)
  qint64 body_bytes = 64 * 1024;       // body (413)
  int connections_per_address = 16;    // 503
  int connections = 256;               // 503
  int head_ms = 10000;                 // the whole request must come within this
  int idle_ms = 120000;                // an HTTP connection closes after this
};

// A request's line and headers, as the gate read them.
struct RequestHead {
  QByteArray method;
  QByteArray target;  // path and query
  QList<QPair<QByteArray, QByteArray>> headers;  // names in lower case
  qint64 content_length = 0;
  qsizetype size = 0;  // bytes of the head, with the blank line

  QByteArray Value(const QByteArray& lower_name) const;
  QByteArray Path() const;
  bool WebSocketUpgrade() const;
};

// Reads a request head from the bytes received so far. Returns nullopt
// while the head is incomplete and fits the limit; otherwise the head, or an
// HTTP status (400, 411, 413, 431) with a reason in *refusal.
struct HeadResult {
  std::optional<RequestHead> head;
  int status = 0;
  std::string reason;
};
std::optional<HeadResult> ParseRequestHead(const QByteArray& bytes, const GateLimits& limits);

// The reason phrase of an HTTP status.
QByteArray StatusText(int status);

// A whole HTTP/1.1 response with a JSON body; the connection closes after it.
QByteArray JsonResponse(int status, const QByteArray& json,
                        const QList<QPair<QByteArray, QByteArray>>& headers = {});
// Writes a response and closes the connection once it left.
void Respond(QTcpSocket* socket, int status, const QByteArray& json,
             const QList<QPair<QByteArray, QByteArray>>& headers = {});
// {"error": message}
QByteArray ErrorJson(const std::string& message);

class HttpGate : public QTcpServer {
  Q_OBJECT
 public:
  HttpGate(const GateLimits& limits, std::optional<QSslConfiguration> tls, QObject* parent = nullptr);

  // A WebSocket upgrade whose head has come; the owner refuses it or hands
  // it to its WebSocket server.
  std::function<void(QTcpSocket* socket, const RequestHead& head)> on_websocket;
  // A connection the gate refused itself (for the audit log); `head` is
  // null when none was read.
  std::function<void(const QHostAddress& peer, int status, const std::string& reason, const RequestHead* head)>
      on_refused;

  const GateLimits& Limits() const { return m_limits; }
  int Connections() const { return m_total; }

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  void Examine(QTcpSocket* socket, QObject* watch);
  void Refuse(QTcpSocket* socket, int status, const std::string& reason, const RequestHead* head);

  GateLimits m_limits;
  std::optional<QSslConfiguration> m_tls;
  QMap<QString, int> m_per_address;
  int m_total = 0;
};

}  // namespace zv
