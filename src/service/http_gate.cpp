#include "service/http_gate.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace zv {

QByteArray RequestHead::Value(const QByteArray& lower_name) const {
  for (const auto& [name, value] : headers)
    if (name == lower_name) return value;
  return {};
}

QByteArray RequestHead::Path() const {
  const qsizetype query = target.indexOf('?');
  return query < 0 ? target : target.left(query);
}

bool RequestHead::WebSocketUpgrade() const {
  return Value("upgrade").trimmed().toLower() == "websocket" && Value("connection").toLower().contains("upgrade");
}

std::optional<HeadResult> ParseRequestHead(const QByteArray& bytes, const GateLimits& limits) {
  const qsizetype end = bytes.indexOf("\r\n\r\n");
  if (end < 0 || end + 4 > limits.head_bytes) {
    if (bytes.size() < limits.head_bytes && end < 0) return std::nullopt;
    return HeadResult{std::nullopt, 431, "the request's headers are over " + std::to_string(limits.head_bytes / 1024) + " KB"};
  }
  const auto bad = [](std::string why) { return HeadResult{std::nullopt, 400, std::move(why)}; };
  const QList<QByteArray> lines = bytes.left(end).split('\n');
  RequestHead head;
  head.size = end + 4;
  const QList<QByteArray> request_line = lines[0].trimmed().split(' ');
  if (request_line.size() != 3 || !request_line[2].startsWith("HTTP/1.") || !request_line[1].startsWith('/'))
    return bad("a malformed request line");
  head.method = request_line[0];
  head.target = request_line[1];
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || line.left(colon).contains(' ')) return bad("a malformed header line");
    head.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
  }
  if (!head.Value("transfer-encoding").isEmpty())
    return HeadResult{std::nullopt, 411, "send the body with a Content-Length, not in chunks"};
  int lengths = 0;
  for (const auto& [name, value] : head.headers) {
    if (name != "content-length") continue;
    bool ok = false;
    head.content_length = value.toLongLong(&ok);
    if (!ok || head.content_length < 0 || ++lengths > 1) return bad("a malformed Content-Length");
  }
  if (head.content_length > limits.body_bytes)
    return HeadResult{std::nullopt, 413, "the body is over " + std::to_string(limits.body_bytes / 1024) + " KB"};
  return HeadResult{std::move(head), 0, {}};
}

QByteArray StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 426: return "Upgrade Required";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
  }
}

QByteArray ErrorJson(const std::string& message) {
  return QJsonDocument(QJsonObject{{"error", QString::fromStdString(message)}}).toJson(QJsonDocument::Compact);
}

QByteArray JsonResponse(int status, const QByteArray& json, const QList<QPair<QByteArray, QByteArray>>& headers) {
  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " " + StatusText(status) + "\r\n";
  out += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(json.size()) + "\r\n";
  out += "Connection: close\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
  for (const auto& [name, value] : headers) out += name + ": " + value + "\r\n";
  out += "\r\n" + json;
  return out;
}

void Respond(QTcpSocket* socket, int status, const QByteArray& json,
             const QList<QPair<QByteArray, QByteArray>>& headers) {
  if (!socket || socket->state() != QAbstractSocket::ConnectedState) return;
  socket->write(JsonResponse(status, json, headers));
  socket->disconnectFromHost();
}

namespace {

// Counts a connection for as long as its socket lives: a child of the
// socket, so no one who takes the socket over (the WebSocket server
// disconnects its signals) can lose the count.
class Counted : public QObject {
 public:
  Counted(QTcpSocket* socket, std::function<void()> release) : QObject(socket), m_release(std::move(release)) {}
  ~Counted() override { m_release(); }

 private:
  std::function<void()> m_release;
};

}  // namespace

namespace {

// A timer that belongs to `owner`: it goes (and never fires) when the
// owner goes. A single-shot with a context object would stay in memory
// until its time came, which for a closed connection's two-minute idle
// limit kept every connection of the last two minutes.
QTimer* OwnedTimer(QObject* owner, int ms, std::function<void()> fire) {
  auto* timer = new QTimer(owner);
  timer->setSingleShot(true);
  QObject::connect(timer, &QTimer::timeout, owner, std::move(fire));
  timer->start(ms);
  return timer;
}

}  // namespace

HttpGate::HttpGate(const GateLimits& limits, std::optional<QSslConfiguration> tls, QObject* parent)
    : QTcpServer(parent), m_limits(limits), m_tls(std::move(tls)) {}

void HttpGate::incomingConnection(qintptr descriptor) {
  QTcpSocket* socket = nullptr;
  if (m_tls) {
    auto* ssl = new QSslSocket(this);
    ssl->setSslConfiguration(*m_tls);
    socket = ssl;
  } else {
    socket = new QTcpSocket(this);
  }
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  const QHostAddress peer = socket->peerAddress();
  const QString key = peer.toString();
  if (m_total >= m_limits.connections || m_per_address.value(key) >= m_limits.connections_per_address) {
    const std::string reason = m_total >= m_limits.connections ? "too many connections"
                                                                : "too many connections from this address";
    if (on_refused) on_refused(peer, 503, reason, nullptr);
    // Under TLS nothing can be said before the handshake: the connection
    // just closes.
    if (!m_tls) socket->write(JsonResponse(503, ErrorJson(reason)));
    socket->disconnectFromHost();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    OwnedTimer(socket, 1000, [socket] { socket->abort(); });
    return;
  }
  ++m_total;
  ++m_per_address[key];
  QPointer<HttpGate> self(this);
  new Counted(socket, [self, key] {
    if (!self) return;
    --self->m_total;
    if (--self->m_per_address[key] <= 0) self->m_per_address.remove(key);
  });
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  // The watch lives until the request is handed on: its timer closes a
  // connection whose request never comes whole, and the reading stops
  // with it.
  auto* watch = new QTimer(socket);
  watch->setSingleShot(true);
  connect(watch, &QTimer::timeout, socket, [this, socket, watch] {
    // The reading stops with it; the timer goes once its signal returned.
    QObject::disconnect(socket, nullptr, watch, nullptr);
    watch->deleteLater();
    Refuse(socket, 408, "the request did not come whole within " + std::to_string(m_limits.head_ms / 1000) + " s",
           nullptr);
  });
  watch->start(m_limits.head_ms);
  connect(socket, &QTcpSocket::readyRead, watch, [this, socket, watch] { Examine(socket, watch); });
  if (m_tls) {
    auto* ssl = static_cast<QSslSocket*>(socket);
    connect(ssl, &QSslSocket::sslErrors, ssl, [ssl] { ssl->abort(); });
    ssl->startServerEncryption();
  }
}

void HttpGate::Refuse(QTcpSocket* socket, int status, const std::string& reason, const RequestHead* head) {
  if (on_refused) on_refused(socket->peerAddress(), status, reason, head);
  Respond(socket, status, ErrorJson(reason));
  // A client that does not take the answer is not waited for long.
  OwnedTimer(socket, 5000, [socket] { socket->abort(); });
}

void HttpGate::Examine(QTcpSocket* socket, QObject* watch) {
  const std::optional<HeadResult> result = ParseRequestHead(socket->peek(m_limits.head_bytes + 4), m_limits);
  if (!result) return;  // more to come
  if (!result->head) {
    delete watch;
    Refuse(socket, result->status, result->reason, nullptr);
    return;
  }
  const RequestHead& head = *result->head;
  if (head.WebSocketUpgrade()) {
    delete watch;
    if (on_websocket) on_websocket(socket, head);
    return;
  }
  const qint64 whole = head.size + head.content_length;
  const QByteArray bytes = socket->peek(whole + 1);
  if (bytes.size() < whole) {
    // The body is still coming; a client that waits to be asked for it
    // (curl, for bodies over 1 KB) is asked once.
    if (head.Value("expect").toLower() == "100-continue" && !socket->property("zv_continued").toBool()) {
      socket->setProperty("zv_continued", true);
      socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    return;
  }
  delete watch;
  if (bytes.size() > whole) {
    Refuse(socket, 400, "one request per connection", &head);
    return;
  }
  // The HTTP server takes the connection and reads the request from the
  // bytes the gate only looked at. A second request on it is refused by
  // closing: every answer says the connection closes.
  addPendingConnection(socket);
  emit socket->readyRead();
  QTimer* after = OwnedTimer(socket, m_limits.idle_ms, [socket] { socket->abort(); });
  connect(socket, &QTcpSocket::readyRead, after, [socket] { socket->abort(); });
}

}  // namespace zv
