#include "service/web_pages.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>

#include "service/http_gate.h"

// The resource is in a static library: it must be registered by name.
static void InitWebResource() { Q_INIT_RESOURCE(web); }

namespace zv {

const char* const kWebContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

namespace {

QByteArray ContentType(const QString& path) {
  if (path.endsWith(".html")) return "text/html; charset=utf-8";
  if (path.endsWith(".js")) return "text/javascript; charset=utf-8";
  if (path.endsWith(".css")) return "text/css; charset=utf-8";
  if (path.endsWith(".svg")) return "image/svg+xml";
  return {};
}

}  // namespace

std::optional<WebFile> FindWebFile(const QString& path) {
  static const bool registered = (InitWebResource(), true);
  (void)registered;
  const QString name = path == "/" ? QStringLiteral("/index.html") : path;
  // Only names of the panel's own kind: no "..", no doubled or trailing
  // slash, one of the types it serves.
  if (!name.startsWith('/') || name.contains("..") || name.contains("//") || name.contains('\\')) return std::nullopt;
  const QByteArray type = ContentType(name);
  if (type.isEmpty()) return std::nullopt;
  // The files never change while the program runs: each is read once.
  static QMap<QString, WebFile> cache;
  if (auto it = cache.find(name); it != cache.end()) return *it;
  QFile file(":/web" + name);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  WebFile out{file.readAll(), type, {}};
  out.etag = '"' + QCryptographicHash::hash(out.body, QCryptographicHash::Sha256).toHex().left(20) + '"';
  cache.insert(name, out);
  return out;
}

QByteArray WebResponse(const QString& path, const QByteArray& if_none_match) {
  const std::optional<WebFile> file = FindWebFile(path);
  if (!file) return JsonResponse(404, ErrorJson("no such page"));
  const bool same = !if_none_match.isEmpty() && if_none_match == file->etag;
  const int status = same ? 304 : 200;
  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " " + StatusText(status) + "\r\n";
  if (!same) out += "Content-Type: " + file->content_type + "\r\nContent-Length: " + QByteArray::number(file->body.size()) + "\r\n";
  out += "ETag: " + file->etag + "\r\n";
  // Asked again each time, answered with 304 while unchanged.
  out += "Cache-Control: no-cache\r\nConnection: close\r\n";
  out += QByteArray("Content-Security-Policy: ") + kWebContentSecurityPolicy + "\r\n";
  out += "X-Content-Type-Options: nosniff\r\nX-Frame-Options: DENY\r\nReferrer-Policy: no-referrer\r\n";
  out += "Cross-Origin-Opener-Policy: same-origin\r\nCross-Origin-Resource-Policy: same-origin\r\n\r\n";
  if (!same) out += file->body;
  return out;
}

}  // namespace zv
