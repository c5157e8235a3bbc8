// The touch panel's files: plain HTML, CSS and JavaScript modules built
// into the program (src/service/web/, resource prefix /web) and served at
// the service's own address, so a browser needs nothing from anywhere else.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zv {

struct WebFile {
  QByteArray body;
  QByteArray content_type;
  QByteArray etag;  // quoted, from the content
};

// The file a GET of `path` names: "/" (and "/index.html") the panel's page,
// otherwise a file of the panel by its exact path. Nothing for any other
// path (a path with "..", a folder, a file the panel does not have).
std::optional<WebFile> FindWebFile(const QString& path);

// The whole response to a GET of `path`: the file with the rules the
// browser holds the page to (scripts and styles from the service alone, no
// inline script, no framing, no type sniffing, no referrer), 304 when
// `if_none_match` names its current content, or 404.
QByteArray WebResponse(const QString& path, const QByteArray& if_none_match);

// The Content-Security-Policy of the panel's pages.
extern const char* const kWebContentSecurityPolicy;

}  // namespace zv
