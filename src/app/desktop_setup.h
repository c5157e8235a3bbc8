// How the program fits into a desktop: where its trace lines go and where
// its settings file lives when it is installed.
#pragma once

#include <QLoggingCategory>

namespace zv {

// The trace lines' category, "zv.trace". Its info messages are off unless
// --verbose or QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// Sends Trace() lines to the category instead of standard output.
void RouteTraceToLog();
// Turns the category on (--verbose); QT_LOGGING_RULES still has the last word.
void ShowTraceLog();

// Makes the user's configuration folder (QStandardPaths) the settings
// folder used when the executable's own folder cannot be written.
void UseStandardSettingsFolder();

}  // namespace zv
