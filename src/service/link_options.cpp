#include "service/link_options.h"

namespace zv {
namespace {

// A port option; false (with a message) when it is not 0..65535, or 0 where
// 0 is not allowed.
bool PortOption(const QCommandLineParser& parser, const QString& name, bool zero_allowed, uint16_t* port,
                std::string* error) {
  if (!parser.isSet(name)) return true;
  bool ok = false;
  const uint value = parser.value(name).toUInt(&ok);
  if (!ok || value > 65535 || (!zero_allowed && value == 0)) {
    *error = "--" + name.toStdString() + " must be a port number" + (zero_allowed ? " (0 to 65535)" : " (1 to 65535)") +
             ", not \"" + parser.value(name).toStdString() + "\"";
    return false;
  }
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

void AddLinkOptions(QCommandLineParser* parser) {
  parser->addOption({"device-port", "UDP port the devices listen on (default 7000).", "port"});
  parser->addOption({"local-port",
                     "Local UDP port every socket binds to (default 7000; 0 lets the system "
                     "choose).",
                     "port"});
  parser->addOption(
      {"search-address",
       QStringLiteral(
           "Destination of the discovery query (default: 255.255.255.255 and the broadcast "
           "address of every network interface, loopback left out). %1 reaches the virtual "
           "devices of zv_device_sim; 127.0.0.1 searches this machine and asks %1 too; "
           "any other address asks that address alone.")
           .arg(QLatin1String(kFirstRunSearchAddress)),
       "address"});
  parser->addOption({"frame-log",
                     "Append every frame sent and received, from start-up on, to this file as "
                     "JSON lines (one object per frame, as the frame monitor saves them).",
                     "file"});
  parser->addOption({"verbose",
                     "Print the trace lines of searches and commands (the logging category "
                     "zv.trace; QT_LOGGING_RULES=\"zv.trace.info=true\" does the same)."});
}

bool ReadLinkOptions(const QCommandLineParser& parser, LinkOptions* options, std::string* error) {
  if (!PortOption(parser, "device-port", false, &options->config.device_port, error) ||
      !PortOption(parser, "local-port", true, &options->config.local_port, error))
    return false;
  if (parser.isSet("search-address")) {
    const std::string address = parser.value("search-address").toStdString();
    if (!AimSearchAt(address, &options->config)) {
      *error = "--search-address must be an IPv4 address, not \"" + address + "\"";
      return false;
    }
  } else {
    // Without a destination of the operator's the search looks out of
    // every interface.
    options->config.search_every_interface = true;
  }
  if (parser.isSet("frame-log")) options->frame_log = parser.value("frame-log").toStdString();
  options->verbose = parser.isSet("verbose");
  return true;
}

}  // namespace zv
