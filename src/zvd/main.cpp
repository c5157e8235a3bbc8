// zvd: the remote-control service with no window. It finds the devices as
// the desktop program does, keeps a session per device and offers them to
// other programs over HTTP, a WebSocket of events and OSC, behind tokens
// and roles. It needs no display (QCoreApplication).
//
// Exit status: 0 after --help, --version, --add-token or a stop by signal;
// 1 when the service cannot start (or the token file cannot be written);
// 2 for a usage error.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "link/link_worker.h"
#include "link/worker_device_link.h"
#include "matrix/salvo_folder.h"
#include "monitor/frame_export.h"
#include "platform/platform.h"
#include "service/link_options.h"
#include "service/qt_session_clock.h"
#include "service/service_options.h"
#include "service/service_server.h"
#include "service/token_store.h"
#include "hub/device_hub.h"

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char one = 1;
  (void)!write(g_signal_pipe[1], &one, 1);
}

void AddOptions(QCommandLineParser* parser) {
  parser->setApplicationDescription(
      QStringLiteral("Remote control of the zv broadcast video devices (multiviewer, matrix router, "
                     "four-channel and production switchers) over HTTP, a WebSocket of events and OSC, "
                     "with no window.\n"
                     "\n"
                     "  zvd --token-file tokens --add-token desk operate   make a token (printed once)\n"
                     "  zvd --token-file tokens --search-address %1   serve the virtual devices\n"
                     "  zvd --token-file tokens --serial-port /dev/ttyUSB0   serve the device on that serial line")
          .arg(QLatin1String(zv::kFirstRunSearchAddress)));
  parser->addHelpOption();
  parser->addVersionOption();
  zv::AddLinkOptions(parser, QStringLiteral("Print the trace lines of searches and commands on standard error."));
  zv::AddSerialLineOptions(parser);
  zv::AddServiceOptions(parser);
  parser->addOption({"add-token",
                     "Make a token for NAME with ROLE (view, operate or admin), add its hash to the token "
                     "file, print the token once and stop: zvd --add-token NAME ROLE.",
                     "name"});
  parser->addPositionalArgument("role", "With --add-token: the token's role (view, operate or admin).", "[ROLE]");
}

// The serial port, which tells the hub's thread when its line hangs up
// (the watch thread sees it at once; nothing polls).
class WatchedPort : public zv::CnComm {
 public:
  ~WatchedPort() override { Close(); }
  void OnLineLost(std::function<void()> lost) { m_lost = std::move(lost); }

 protected:
  void OnError(uint32_t errors) override {
    if (errors != 0 && m_lost) m_lost();
  }

 private:
  std::function<void()> m_lost;
};

int Usage(const std::string& message) {
  std::fprintf(stderr, "zvd: %s\nTry \"zvd --help\".\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationName("zvd");
  QCoreApplication::setApplicationVersion(ZV_VERSION);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  AddOptions(&parser);
  if (!parser.parse(arguments)) return Usage(parser.errorText().toStdString());
  if (parser.isSet("help")) {
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("zvd"));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (parser.isSet("version")) {
    std::printf("zvd %s\n", ZV_VERSION);
    return 0;
  }
  zv::LinkOptions link;
  zv::ServiceOptions service;
  std::string error;
  if (!zv::ReadLinkOptions(parser, &link, &error) || !zv::ReadSerialLineOptions(parser, &link, &error) ||
      !zv::ReadServiceOptions(parser, &service, &error))
    return Usage(error);

  if (parser.isSet("add-token")) {
    const QStringList rest = parser.positionalArguments();
    if (rest.size() != 1) return Usage("--add-token takes NAME and ROLE: zvd --add-token NAME ROLE");
    const std::optional<zv::Role> role = zv::RoleFromName(rest[0].toStdString());
    if (!role) return Usage("the role must be view, operate or admin, not \"" + rest[0].toStdString() + "\"");
    const std::optional<std::string> token =
        zv::MakeTokenFolder(service.token_file, &error)
            ? zv::TokenStore::AddToken(service.token_file, parser.value("add-token").toStdString(), *role, &error)
            : std::nullopt;
    if (!token) {
      std::fprintf(stderr, "zvd: %s\n", error.c_str());
      return 1;
    }
    // The token, once: only its hash stays in the file.
    std::printf("%s\n", token->c_str());
    std::fprintf(stderr, "zvd: added %s (%s) to %s; the token above is shown this once\n",
                 parser.value("add-token").toLocal8Bit().constData(), zv::RoleName(*role),
                 service.token_file.c_str());
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return Usage("unexpected argument \"" + parser.positionalArguments().first().toStdString() + "\"");

  zv::SetSalvoFolder(link.salvo_dir);
  zv::FrameLog frame_log;
  if (!link.frame_log.empty() && !frame_log.Open(link.frame_log, &error)) {
    std::fprintf(stderr, "zvd: cannot open the frame log \"%s\": %s\n", link.frame_log.c_str(), error.c_str());
    return 2;
  }
  const bool verbose = link.verbose;
  zv::SetTraceSink([verbose](const std::string& line) {
    if (verbose) std::fprintf(stderr, "zvd: %s\n", line.c_str());
  });
  // What the core would put in front of an operator goes to the log.
  zv::SetMessageBoxHandler([](const zv::MessageBoxRequest& r) {
    std::fprintf(stderr, "zvd: %s\n", r.text.c_str());
    return zv::MessageBoxAnswer::kOk;
  });

  QCoreApplication app(argc, argv);
  // SIGTERM (systemd's stop) and SIGINT end the event loop, so everything
  // below is taken down in order.
  if (pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  QSocketNotifier stop(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

  const auto post = [&app](std::function<void()> then) {
    QMetaObject::invokeMethod(&app, std::move(then), Qt::QueuedConnection);
  };
  zv::QtSessionClock clock;
  WatchedPort serial_port;
  zv::LinkWorker worker(link.config, post, serial_port);
  // The device on the serial line gets a serial door: its frames go out on
  // the port with the serial link flag, as the window's do.
  zv::DeviceHub hub(worker, clock, post,
                    [&worker](const zv::DeviceEntry& device, const std::string& name, bool serial) {
                      return std::make_unique<zv::WorkerDeviceLink>(
                          device, name, serial ? zv::kModeSerial : zv::kModeNetwork, worker,
                          [](const std::string& text, bool error) {
                            zv::Trace("%s", text.c_str());
                            if (error) std::fprintf(stderr, "zvd: %s\n", text.c_str());
                          });
                    });
  hub.SetIdleSurface("device");
  hub.SetPresencePeriodMs(link.presence_period_ms);
  if (!link.serial_port.empty()) {
    hub.SetSerialLine(link.serial_port, link.serial_baud);
    serial_port.OnLineLost([post, &hub, port = link.serial_port] {
      post([&hub, port] {
        std::fprintf(stderr, "zvd: the serial line %s was lost; POST /api/v1/scan opens it again\n", port.c_str());
        hub.SerialLineLost();
      });
    });
  }
  zv::ServiceServer server(hub, service);
  server.SetAuditSink([&frame_log](const zv::AuditEntry& entry) {
    std::fprintf(stderr, "zvd: %s\n", zv::AuditText(entry).c_str());
    frame_log.WriteLine(zv::AuditJson(entry) + "\n");
  });
  if (!server.Start(&error)) {
    std::fprintf(stderr, "zvd: the service cannot start: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "zvd: %s\n", server.Banner().c_str());
  // The devices are known from the start: one search now, more on
  // POST /api/v1/scan.
  hub.Scan([&hub](bool searched) {
    if (!searched) {
      std::fprintf(stderr, "zvd: the first search could not run (its socket could not be opened)\n");
      return;
    }
    if (!hub.SerialLineProblem().empty()) std::fprintf(stderr, "zvd: %s\n", hub.SerialLineProblem().c_str());
    std::fprintf(stderr, "zvd: ready: %zu device(s) found\n", hub.Devices().size());
  });
  const int status = app.exec();
  frame_log.Close();
  return status;
}
