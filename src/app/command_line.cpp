#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <array>

namespace zv {
namespace {

// The options QApplication takes for itself. The command line is read before
// the application object exists, so they are known here too: hidden from
// --help, listed by --help-all; QApplication then takes them out of argv.
struct ToolkitOption {
  const char* name;
  const char* value_name;  // nullptr: a flag
  const char* description;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", "name[:options]", "Qt's platform plugin (xcb, wayland, offscreen ...)."},
    {"platformpluginpath", "path", "Folder of Qt's platform plugins."},
    {"platformtheme", "theme", "Qt's platform theme."},
    {"plugin", "plugin", "An additional Qt plugin to load; may be given more than once."},
    {"qwindowgeometry", "geometry", "Geometry of the first window (X11 syntax, 100x100+50+50)."},
    {"qwindowicon", "icon", "The windows' default icon."},
    {"qwindowtitle", "title", "Title of the first window."},
    {"geometry", "geometry", "As --qwindowgeometry (X11)."},
    {"title", "title", "As --qwindowtitle (X11)."},
    {"display", "display", "The X display to use instead of $DISPLAY (X11)."},
    {"name", "name", "The instance name of the window class (X11)."},
    {"visual", "id", "The X visual to use (X11)."},
    {"nograb", nullptr, "Never grab the mouse or keyboard (X11)."},
    {"dograb", nullptr, "Grab even when running under a debugger (X11)."},
    {"style", "style", "The widget style."},
    {"stylesheet", "file", "A Qt style sheet for the whole program."},
    {"session", "session", "Restore the session of this name."},
    {"reverse", nullptr, "Right-to-left layout (a debugging aid)."},
    {"widgetcount", nullptr, "Print how many widgets were left undestroyed at the end."},
};

// The parser with every option; the toolkit's are listed only when
// `show_toolkit` (--help-all).
void AddOptions(QCommandLineParser* parser, bool show_toolkit) {
  // Qt's own options are single-dash words (-platform offscreen).
  parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser->setApplicationDescription(
      QStringLiteral("Control panel for the zv family of broadcast video devices: multiviewer, "
                     "matrix router, four-channel switcher and production switcher.\n"
                     "\n"
                     "To try it without hardware:\n"
                     "  zv_device_sim &                                start the virtual devices\n"
                     "  zv_multiview --search-address %1  search this machine, press Scan")
          .arg(QLatin1String(kFirstRunSearchAddress)));
  parser->addHelpOption();
  parser->addVersionOption();
  AddLinkOptions(parser, QStringLiteral("Print the trace lines of searches and commands (the logging category "
                                        "zv.trace; QT_LOGGING_RULES=\"zv.trace.info=true\" does the same)."));
  parser->addOption({"skin", "Folder of PNG files named by bitmap id (e.g. 195.png) that "
                             "replace the default skin.",
                     "folder"});
  parser->addOption({"serial-port",
                     "Also offer this serial port in the port lists (for example the "
                     "pseudo-terminal of zv_device_sim). May be given more than once.",
                     "path"});
  parser->addOption({"follow-period",
                     "While a multiviewer or four-channel panel is shown, read its device back every so "
                     "many milliseconds and show what changed there (default 2000; 0: never).",
                     "ms"});
  parser->addOption({"open",
                     "Search at start, then open the panel of the device at this address in a window of "
                     "its own. May be given more than once.",
                     "address"});
  parser->addOption({"no-restore", "Do not open again the panel windows that were open when the program "
                                   "last ended."});
  parser->addOption({"serve",
                     "Also run the remote-control service (HTTP, WebSocket and OSC; see zvd(1)) on "
                     "the window's sessions: remote clients and the panels share each device. "
                     "Without a token file it makes one, with an admin token it prints once."});
  AddServiceOptions(parser);
  for (const ToolkitOption& t : kToolkitOptions) {
    QCommandLineOption option(QString::fromLatin1(t.name), QString::fromLatin1(t.description));
    if (t.value_name) option.setValueName(QString::fromLatin1(t.value_name));
    if (!show_toolkit) option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser->addOption(option);
  }
}

CommandLine UsageError(CommandLine result, const std::string& message) {
  result.exit_status = 2;
  result.error = "zv_multiview: " + message + "\nTry \"zv_multiview --help\".\n";
  return result;
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
  CommandLine result;
  QCommandLineParser parser;
  AddOptions(&parser, false);
  if (!parser.parse(arguments)) return UsageError(result, parser.errorText().toStdString());
  const bool help_all = parser.isSet("help-all");
  if (parser.isSet("help") || help_all) {
    QCommandLineParser shown;
    AddOptions(&shown, help_all);
    // Without an application object the parser cannot know the program's name.
    QString text = shown.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("zv_multiview"));
    result.out = text.toStdString();
    result.exit_status = 0;
    return result;
  }
  if (parser.isSet("version")) {
    result.out = std::string("zv_multiview ") + ZV_VERSION + "\n";
    result.exit_status = 0;
    return result;
  }
  // The program takes no operands: a device address typed after its name
  // would otherwise be dropped without a word.
  if (!parser.positionalArguments().isEmpty())
    return UsageError(result, "unexpected argument \"" +
                                  parser.positionalArguments().first().toStdString() +
                                  "\" (devices are found with Scan; --search-address ADDRESS "
                                  "aims the search)");

  LinkOptions link;
  std::string error;
  if (!ReadLinkOptions(parser, &link, &error)) return UsageError(result, error);
  result.config = link.config;
  result.frame_log = link.frame_log;
  result.salvo_dir = link.salvo_dir;
  result.verbose = link.verbose;
  result.presence_period_ms = link.presence_period_ms;
  result.serve = parser.isSet("serve");
  if (!ReadServiceOptions(parser, &result.service, &error)) return UsageError(result, error);
  // The tally map is the window's too (its multiviewer panel edits the
  // source rows); every other service option needs the service.
  for (const char* option : kServiceOptionNames)
    if (parser.isSet(option) && !result.serve && std::string(option) != "tsl-map")
      return UsageError(result, std::string("--") + option + " is an option of the service: add --serve");
  if (parser.isSet("skin")) {
    const QString dir = parser.value("skin");
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isReadable())
      return UsageError(result, "--skin must name a readable folder of PNG files, not \"" +
                                    dir.toStdString() + "\"" +
                                    (info.exists() ? "" : " (it does not exist)"));
    result.skin_dir = dir;
  }
  for (const QString& path : parser.values("serial-port"))
    result.serial_ports.push_back(path.toStdString());
  if (parser.isSet("follow-period")) {
    bool ok = false;
    const uint value = parser.value("follow-period").toUInt(&ok);
    if (!ok || (value != 0 && value < 100) || value > 3'600'000)
      return UsageError(result, "--follow-period must be 0 (never) or 100 to 3600000 milliseconds, not \"" +
                                    parser.value("follow-period").toStdString() + "\"");
    result.follow_period_ms = static_cast<int>(value);
  }
  for (const QString& address : parser.values("open")) {
    std::array<uint8_t, 4> octets{};
    if (!ParseIpv4Address(address.toStdString(), &octets))
      return UsageError(result, "--open must be a device's IPv4 address, not \"" + address.toStdString() + "\"");
    result.open.push_back(address.toStdString());
  }
  result.restore = !parser.isSet("no-restore");
  result.platform_given = parser.isSet("platform");
  return result;
}

std::string DisplayProblem(const CommandLine& command_line, const std::function<const char*(const char* name)>& env) {
  const auto set = [&env](const char* name) {
    const char* value = env(name);
    return value && *value;
  };
  if (command_line.platform_given || set("QT_QPA_PLATFORM") || set("DISPLAY") ||
      set("WAYLAND_DISPLAY"))
    return {};
  return "zv_multiview: no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY "
         "is set (QT_QPA_PLATFORM=offscreen runs the program without a screen)\n";
}

}  // namespace zv
