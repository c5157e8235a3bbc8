// zv_multiview's command line, read before the application object exists so
// that --help, --version and every usage error need no display.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "service/link_options.h"
#include "service/service_options.h"

namespace zv {

struct CommandLine {
  // What the run ends with before the window: -1 to go on, otherwise the
  // exit status (0 after --help or --version, 2 for a usage error), with
  // `out` for standard output and `error` for standard error.
  int exit_status = -1;
  std::string out;
  std::string error;

  LinkConfig config;
  QString skin_dir;  // empty: the default skin
  std::vector<std::string> serial_ports;
  std::string frame_log;  // empty: none
  std::string salvo_dir;  // empty: the default salvo folder
  bool verbose = false;
  // How often a shown multiviewer or four-channel panel reads its device
  // back (milliseconds; 0: never).
  int follow_period_ms = 2000;
  // Presence searches (milliseconds; 0: none), devices to open in windows
  // of their own, and whether the last run's panel windows come back.
  int presence_period_ms = 10000;
  std::vector<std::string> open;
  bool restore = true;
  // -platform (or --platform) was given: Qt is told which platform to use.
  bool platform_given = false;
  // --serve: the remote-control service runs beside the window, on its
  // sessions, with these options.
  bool serve = false;
  ServiceOptions service;
};

// Reads `arguments` (argv as given, the program's name first).
CommandLine ReadCommandLine(const QStringList& arguments);

// Why no window can be shown, before Qt tries (and aborts): empty when a
// display, a platform option or QT_QPA_PLATFORM names where it goes.
// `env` reads an environment variable (the process's own in the program).
std::string DisplayProblem(const CommandLine& command_line,
                           const std::function<const char*(const char* name)>& env);

}  // namespace zv
