#include "service/service_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zv {

std::string DefaultTokenFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string dir;
  if (config && *config == '/') {
    dir = config;
  } else {
    const char* home = std::getenv("HOME");
    dir = std::string(home && *home ? home : "/") + "/.config";
  }
  return dir + "/zv_multiview/tokens";
}

bool MakeTokenFolder(const std::string& token_file, std::string* error) {
  const size_t slash = token_file.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string folder = token_file.substr(0, slash);
  // Each missing folder on the way, private to the user.
  for (size_t at = 1; at != std::string::npos; at = folder.find('/', at + 1)) {
    const std::string part = folder.substr(0, folder.find('/', at + 1));
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot make the folder " + part + ": " + std::strerror(errno);
      return false;
    }
    if (part == folder) break;
  }
  return true;
}

void AddServiceOptions(QCommandLineParser* parser) {
  parser->addOption({"listen",
                     QStringLiteral("Where HTTP and WebSocket clients connect (default %1). Any address "
                                    "but loopback needs a token file.")
                         .arg(QLatin1String(kDefaultListen)),
                     "addr:port"});
  parser->addOption({"token-file",
                     "The tokens clients authenticate with (default $XDG_CONFIG_HOME/zv_multiview/tokens). "
                     "Without one every request is refused.",
                     "file"});
  parser->addOption({"osc-port", "Take OSC messages on this UDP port (off without it).", "port"});
  parser->addOption({"osc-allow",
                     "The networks OSC is taken from, as CIDR[,CIDR] (default: loopback only); every "
                     "other source is dropped and counted.",
                     "cidrs"});
  parser->addOption({"tls-cert", "Serve HTTPS and WSS with this certificate (PEM); needs --tls-key.", "file"});
  parser->addOption({"tls-key", "The private key (PEM) of --tls-cert.", "file"});
  parser->addOption({"event-queue-kb",
                     "Events queued for a WebSocket client that does not read them, in KB, before it is "
                     "disconnected (default 1024).",
                     "kb"});
  parser->addOption({"tsl-map",
                     "Tally: which TSL display lights which multiviewer window, and which multiviewer input "
                     "each production-switcher source comes in on (JSON; see the design notes). Turns tally "
                     "on, also from our switcher alone.",
                     "file"});
  parser->addOption({"tsl-listen",
                     "Tally: take TSL UMD 3.1 and 5.0 on this UDP port and 5.0 on this TCP port.", "port"});
  parser->addOption({"tsl-allow",
                     "The networks TSL is taken from, as CIDR[,CIDR] (default 127.0.0.0/8); every other "
                     "source is dropped and counted.",
                     "cidrs"});
  parser->addOption({"tsl-send",
                     "Tally: send the production switcher's tally per source to HOST:PORT over UDP, on "
                     "every change and once a second. May be given more than once.",
                     "host:port"});
  parser->addOption({"tsl-send-version", "The TSL version --tsl-send speaks: 5.0 (default) or 3.1.", "version"});
}

bool ParseListen(const std::string& text, QHostAddress* address, uint16_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  QHostAddress a;
  if (!a.setAddress(QString::fromStdString(text.substr(0, colon))) || a.protocol() != QHostAddress::IPv4Protocol)
    return false;
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long p = std::stoul(digits);
  if (p < 1 || p > 65535) return false;
  *address = a;
  *port = static_cast<uint16_t>(p);
  return true;
}

bool ReadServiceOptions(const QCommandLineParser& parser, ServiceOptions* options, std::string* error) {
  if (parser.isSet("listen")) {
    const std::string text = parser.value("listen").toStdString();
    if (!ParseListen(text, &options->address, &options->port)) {
      *error = "--listen must be an IPv4 address and a port, such as 127.0.0.1:8770, not \"" + text + "\"";
      return false;
    }
  }
  options->token_file_given = parser.isSet("token-file");
  options->token_file = options->token_file_given ? parser.value("token-file").toStdString() : DefaultTokenFile();
  if (parser.isSet("osc-port")) {
    bool ok = false;
    const uint value = parser.value("osc-port").toUInt(&ok);
    if (!ok || value < 1 || value > 65535) {
      *error = "--osc-port must be a port number (1 to 65535), not \"" + parser.value("osc-port").toStdString() + "\"";
      return false;
    }
    options->osc_port = static_cast<uint16_t>(value);
  }
  if (parser.isSet("osc-allow")) {
    std::string why;
    const std::optional<CidrList> list = CidrList::Parse(parser.value("osc-allow").toStdString(), &why);
    if (!list) {
      *error = "--osc-allow: " + why;
      return false;
    }
    options->osc_allow = *list;
  }
  if (parser.isSet("event-queue-kb")) {
    bool ok = false;
    const uint value = parser.value("event-queue-kb").toUInt(&ok);
    if (!ok || value < 1 || value > 1024 * 1024) {
      *error = "--event-queue-kb must be 1 to 1048576, not \"" + parser.value("event-queue-kb").toStdString() + "\"";
      return false;
    }
    options->event_queue_bytes = int64_t{value} * 1024;
  }
  TallyOptions& tally = options->tally;
  tally.map_file = parser.value("tsl-map").toStdString();
  if (!tally.map_file.empty() && !LoadTallyMap(tally.map_file, error)) {
    *error = "--tsl-map: " + *error;
    return false;
  }
  if (parser.isSet("tsl-listen")) {
    bool ok = false;
    const uint value = parser.value("tsl-listen").toUInt(&ok);
    if (!ok || value < 1 || value > 65535) {
      *error = "--tsl-listen must be a port number (1 to 65535), not \"" + parser.value("tsl-listen").toStdString() +
               "\"";
      return false;
    }
    tally.listen_port = static_cast<uint16_t>(value);
  }
  if (parser.isSet("tsl-allow")) {
    tally.allow = parser.value("tsl-allow").toStdString();
    std::string why;
    if (!CidrList::Parse(tally.allow, &why)) {
      *error = "--tsl-allow: " + why;
      return false;
    }
  }
  for (const QString& target : parser.values("tsl-send")) {
    std::string why;
    if (!ParseTslTarget(target.toStdString(), &why)) {
      *error = "--tsl-send: " + why;
      return false;
    }
    tally.send.push_back(target.toStdString());
  }
  if (parser.isSet("tsl-send-version")) {
    tally.send_version = parser.value("tsl-send-version").toStdString();
    if (tally.send_version != "5.0" && tally.send_version != "3.1") {
      *error = "--tsl-send-version must be 5.0 or 3.1, not \"" + tally.send_version + "\"";
      return false;
    }
  }
  options->tls_cert = parser.value("tls-cert").toStdString();
  options->tls_key = parser.value("tls-key").toStdString();
  if (options->tls_cert.empty() != options->tls_key.empty()) {
    *error = "--tls-cert and --tls-key go together";
    return false;
  }
  return true;
}

}  // namespace zv
