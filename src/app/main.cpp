#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>

#include "app/desktop_setup.h"
#include "app/zelvik_app.h"
#include "monitor/frame_export.h"
#include "platform/platform.h"
#include "res/skin.h"

namespace {

// Reads a port option; false (with a message) when it is not 0..65535, or 0
// where 0 is not allowed.
bool PortOption(const QCommandLineParser& parser, const QString& name, bool zero_allowed,
                uint16_t* port) {
  if (!parser.isSet(name)) return true;
  bool ok = false;
  const uint value = parser.value(name).toUInt(&ok);
  if (!ok || value > 65535 || (!zero_allowed && value == 0)) {
    std::fprintf(stderr, "zv_multiview: --%s must be a port number%s, not \"%s\"\n",
                 qPrintable(name), zero_allowed ? " (0 to 65535)" : " (1 to 65535)",
                 qPrintable(parser.value(name)));
    return false;
  }
  *port = static_cast<uint16_t>(value);
  return true;
}

// The options QApplication takes for itself. The command line is read before
// the application object exists (so that --help and --version need no
// display), so they are known here too, hidden from the help; QApplication
// then takes them out of argv.
struct ToolkitOption {
  const char* name;
  bool takes_value;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", true},    {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},      {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true}, {"geometry", true},          {"display", true},
    {"style", true},       {"stylesheet", true},         {"session", true},
    {"reverse", false},    {"widgetcount", false},
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationName("zv_multiview");
  QCoreApplication::setApplicationVersion(ZV_VERSION);

  QCommandLineParser parser;
  // Qt's own options are single-dash words (-platform offscreen).
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      "Control panel for the zv family of broadcast video devices: multiviewer, matrix "
      "router, four-channel switcher and production switcher.");
  const QCommandLineOption help_option = parser.addHelpOption();
  const QCommandLineOption version_option = parser.addVersionOption();
  parser.addOption({"device-port", "UDP port the devices listen on (default 7000).", "port"});
  parser.addOption({"local-port",
                    "Local UDP port every socket binds to (default 7000; 0 lets the system "
                    "choose).",
                    "port"});
  parser.addOption({"search-address",
                    "Destination of the discovery query, and the only one (default: "
                    "255.255.255.255 and the broadcast address of every network interface; for "
                    "example 127.0.0.1 to search only this machine).",
                    "address"});
  parser.addOption({"skin", "Folder of PNG files named by bitmap id (e.g. 195.png) that "
                            "replace the default skin.",
                    "folder"});
  parser.addOption({"serial-port",
                    "Also offer this serial port in the port lists (for example the "
                    "pseudo-terminal of zv_device_sim). May be given more than once.",
                    "path"});
  parser.addOption({"frame-log",
                    "Append every frame sent and received, from start-up on, to this file as "
                    "JSON lines (one object per frame, as the frame monitor saves them).",
                    "file"});
  parser.addOption({"verbose",
                    "Print the trace lines of searches and commands (the logging category "
                    "zv.trace; QT_LOGGING_RULES=\"zv.trace.info=true\" does the same)."});
  for (const ToolkitOption& t : kToolkitOptions) {
    QCommandLineOption option(QString::fromLatin1(t.name));
    if (t.takes_value) option.setValueName("value");
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments)) {
    std::fprintf(stderr, "zv_multiview: %s\nTry \"zv_multiview --help\".\n",
                 qPrintable(parser.errorText()));
    return 2;
  }
  if (parser.isSet(help_option) || parser.isSet("help-all")) {
    // Without an application object the parser cannot know the program's name.
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("zv_multiview"));
    std::fputs(qPrintable(text), stdout);
    return 0;
  }
  if (parser.isSet(version_option)) {
    std::printf("zv_multiview %s\n", ZV_VERSION);
    return 0;
  }

  zv::LinkConfig config;
  if (!PortOption(parser, "device-port", false, &config.device_port) ||
      !PortOption(parser, "local-port", true, &config.local_port))
    return 2;
  if (parser.isSet("search-address")) {
    const std::string address = parser.value("search-address").toStdString();
    if (!zv::ParseIpv4Address(address, nullptr)) {
      std::fprintf(stderr, "zv_multiview: --search-address must be an IPv4 address, not \"%s\"\n",
                   address.c_str());
      return 2;
    }
    config.search_address = address;
  }
  // Without a destination of the operator's the search looks out of every
  // interface.
  config.search_every_interface = !parser.isSet("search-address");

  // The frame log is opened before anything is sent, so that it has the
  // run from its first frame; a file that cannot be opened ends the run
  // before it starts rather than leaving an unwatched run unrecorded.
  zv::FrameLog frame_log;
  if (parser.isSet("frame-log")) {
    const std::string path = parser.value("frame-log").toStdString();
    std::string error;
    if (!frame_log.Open(path, &error)) {
      std::fprintf(stderr, "zv_multiview: cannot open the frame log \"%s\": %s\n", path.c_str(),
                   error.c_str());
      return 2;
    }
  }

  zv::RouteTraceToLog();
  if (parser.isSet("verbose")) zv::ShowTraceLog();

  QApplication application(argc, argv);
  zv::UseStandardSettingsFolder();
  std::vector<std::string> extra_ports;
  for (const QString& path : parser.values("serial-port")) extra_ports.push_back(path.toStdString());
  zv::SetExtraSerialPorts(std::move(extra_ports));
  if (parser.isSet("skin")) zv::SetSkinOverrideDir(parser.value("skin"));

  // The link worker writes each line as it comes; once a second the window
  // looks whether every one went down.
  QTimer log_check;
  if (parser.isSet("frame-log")) {
    QObject::connect(&log_check, &QTimer::timeout, [&frame_log, told = false]() mutable {
      // A full disk does not stop the program, but nobody is led to trust
      // a log that has holes.
      if (!told && !frame_log.Healthy()) {
        told = true;
        std::fprintf(stderr, "zv_multiview: writing the frame log failed; frames are missing from it\n");
      }
    });
    log_check.start(1000);
  }

  zv::CZELVIKApp app(config);
  const int result = app.InitInstance();
  frame_log.Close();
  return result;
}
