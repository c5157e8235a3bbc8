#include "service/link_options.h"

#include <QFileInfo>
#include <algorithm>

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

void AddLinkOptions(QCommandLineParser* parser, const QString& verbose_help) {
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
  parser->addOption({"device-list-cap",
                     QStringLiteral("The most devices a scan lists (default %1); how many more "
                                    "answered is said, not listed.")
                         .arg(kDefaultDeviceListCap),
                     "count"});
  parser->addOption({"presence-period",
                     "Every so many seconds, a light search asks which known devices still answer, "
                     "and they are marked online or offline (default 10; 0: never).",
                     "seconds"});
  parser->addOption({"frame-log",
                     "Append every frame sent and received, from start-up on, to this file as "
                     "JSON lines (one object per frame, as the frame monitor saves them).",
                     "file"});
  parser->addOption({"salvo-dir",
                     "The folder of saved salvos, NAME.json each (default "
                     "$XDG_DATA_HOME/zv_multiview/salvos, else ~/.local/share/zv_multiview/salvos). The "
                     "matrix panel saves there; remote clients recall a salvo from there by its name.",
                     "folder"});
  parser->addOption({"verbose", verbose_help});
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
  if (parser.isSet("device-list-cap")) {
    bool ok = false;
    const uint cap = parser.value("device-list-cap").toUInt(&ok);
    if (!ok || cap < 1 || cap > kMaxDeviceListCap) {
      *error = "--device-list-cap must be a count from 1 to " + std::to_string(kMaxDeviceListCap) + ", not \"" +
               parser.value("device-list-cap").toStdString() + "\"";
      return false;
    }
    options->config.device_list_cap = static_cast<int>(cap);
  }
  if (parser.isSet("presence-period")) {
    bool ok = false;
    const uint value = parser.value("presence-period").toUInt(&ok);
    if (!ok || value > 86400) {
      *error = "--presence-period must be 0 (never) to 86400 seconds, not \"" +
               parser.value("presence-period").toStdString() + "\"";
      return false;
    }
    options->presence_period_ms = static_cast<int>(value) * 1000;
  }
  if (parser.isSet("frame-log")) options->frame_log = parser.value("frame-log").toStdString();
  if (parser.isSet("salvo-dir")) {
    const QString dir = parser.value("salvo-dir");
    const QFileInfo info(dir);
    // A folder yet to be made is taken (the first save makes it); a file is not.
    if (dir.isEmpty() || (info.exists() && !info.isDir())) {
      *error = "--salvo-dir must name a folder, not \"" + dir.toStdString() + "\"";
      return false;
    }
    options->salvo_dir = info.absoluteFilePath().toStdString();
  }
  options->verbose = parser.isSet("verbose");
  return true;
}

void AddSerialLineOptions(QCommandLineParser* parser) {
  parser->addOption({"serial-port",
                     "Open this serial port at start and search its line as well (again on each scan); "
                     "the device that answers is served under the name serial-FILE, FILE being the "
                     "port's file name (/dev/ttyUSB0: serial-ttyUSB0).",
                     "path"});
  parser->addOption({"serial-baud",
                     QStringLiteral("The rate of --serial-port: 9600, 19200, 38400, 57600 or 115200 (default %1).")
                         .arg(kBaudRateLines[0]),
                     "baud"});
}

bool ReadSerialLineOptions(const QCommandLineParser& parser, LinkOptions* options, std::string* error) {
  const QStringList ports = parser.values("serial-port");
  if (ports.size() > 1) {
    *error = "--serial-port takes one port";
    return false;
  }
  if (!ports.isEmpty()) {
    if (ports[0].isEmpty()) {
      *error = "--serial-port must name a port";
      return false;
    }
    options->serial_port = ports[0].toStdString();
  }
  if (parser.isSet("serial-baud")) {
    bool ok = false;
    const uint baud = parser.value("serial-baud").toUInt(&ok);
    if (!ok || std::find(kBaudRateLines.begin(), kBaudRateLines.end(), baud) == kBaudRateLines.end()) {
      *error = "--serial-baud must be 9600, 19200, 38400, 57600 or 115200, not \"" +
               parser.value("serial-baud").toStdString() + "\"";
      return false;
    }
    if (options->serial_port.empty()) {
      *error = "--serial-baud is the rate of --serial-port: give the port too";
      return false;
    }
    options->serial_baud = baud;
  }
  return true;
}

}  // namespace zv
