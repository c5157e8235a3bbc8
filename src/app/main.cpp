#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/desktop_setup.h"
#include "app/zelvik_app.h"
#include "controls/heap_policy.h"
#include "matrix/salvo_folder.h"
#include "session/device_session.h"
#include "monitor/frame_export.h"
#include "platform/platform.h"
#include "res/skin.h"

namespace {

QtMessageHandler g_previous_handler = nullptr;

// While the application object is built, a platform that cannot start (a
// display that does not answer, a plugin that is missing) is a fatal Qt
// message, which would end the program by SIGABRT: it ends with status 1
// and says why instead.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (g_previous_handler)
      g_previous_handler(type, context, text);
    else
      std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    return;
  }
  std::fprintf(stderr, "zv_multiview: the window cannot be shown: %s\n", qPrintable(text));
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
  zv::ReturnLargeBlocksToSystem();
  QCoreApplication::setApplicationName("zv_multiview");
  QCoreApplication::setApplicationVersion(ZV_VERSION);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const zv::CommandLine command_line = zv::ReadCommandLine(arguments);
  std::fputs(command_line.out.c_str(), stdout);
  std::fputs(command_line.error.c_str(), stderr);
  if (command_line.exit_status >= 0) return command_line.exit_status;

  zv::SetSalvoFolder(command_line.salvo_dir);

  const std::string display_problem = zv::DisplayProblem(command_line, [](const char* name) { return std::getenv(name); });
  if (!display_problem.empty()) {
    std::fputs(display_problem.c_str(), stderr);
    return 1;
  }

  // The frame log is opened before anything is sent, so that it has the
  // run from its first frame; a file that cannot be opened ends the run
  // before it starts rather than leaving an unwatched run unrecorded.
  zv::FrameLog frame_log;
  if (!command_line.frame_log.empty()) {
    std::string error;
    if (!frame_log.Open(command_line.frame_log, &error)) {
      std::fprintf(stderr, "zv_multiview: cannot open the frame log \"%s\": %s\n",
                   command_line.frame_log.c_str(), error.c_str());
      return 2;
    }
  }

  zv::RouteTraceToLog();
  if (command_line.verbose) zv::ShowTraceLog();

  // The window belongs to the menu entry zv-multiview.desktop (the Wayland
  // app id; on X11 the entry names the window class).
  QGuiApplication::setDesktopFileName(QStringLiteral("zv-multiview"));
  g_previous_handler = qInstallMessageHandler(StartupMessageHandler);
  QApplication application(argc, argv);
  qInstallMessageHandler(g_previous_handler);
  zv::UseStandardSettingsFolder();
  zv::SetExtraSerialPorts(command_line.serial_ports);
  if (!command_line.skin_dir.isEmpty()) zv::SetSkinOverrideDir(command_line.skin_dir);

  // The link worker writes each line as it comes; once a second the window
  // looks whether every one went down.
  QTimer log_check;
  if (!command_line.frame_log.empty()) {
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

  zv::DeviceSession::SetFollowPeriodMs(command_line.follow_period_ms);
  zv::CZELVIKApp app(command_line.config);
  app.SetStartOptions({command_line.presence_period_ms, command_line.open, command_line.restore,
                       command_line.service.tally.map_file, zv::TallyWanted(command_line.service.tally)});
  if (command_line.serve) app.Serve(command_line.service, command_line.frame_log.empty() ? nullptr : &frame_log);
  const int result = app.InitInstance();
  frame_log.Close();
  return result;
}
