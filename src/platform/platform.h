// The operating-system layer: everything the program needs from the OS goes
// through these small functions, so that nothing else includes OS headers for
// notices, time, files or processes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zv {

// ---- trace output ---------------------------------------------------------
// The program's trace lines. They carry no behaviour; tests capture them with
// SetTraceSink to check that a step was reached.
void Trace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
using TraceSink = std::function<void(const std::string& line)>;
// Installs a sink (an empty one restores standard output); returns the old one.
TraceSink SetTraceSink(TraceSink sink);

// ---- notices --------------------------------------------------------------
enum class MessageBoxButtons { kOk, kOkCancel };
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageBoxButtons buttons = MessageBoxButtons::kOk;
};
enum class MessageBoxAnswer { kOk, kCancel };
using MessageBoxHandler = std::function<MessageBoxAnswer(const MessageBoxRequest&)>;

// Shows a notice the operator must act on. Without a handler (no user
// interface yet) the notice goes to standard error and counts as OK.
MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxButtons buttons = MessageBoxButtons::kOk);
// Installs the handler (the UI's dialog, or a test's recorder); returns the old one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// ---- time -----------------------------------------------------------------
// Milliseconds of a monotonic clock, wrapping like a 32-bit tick counter; take
// differences as unsigned values.
uint32_t TickCount();
void SleepMs(uint32_t ms);

// ---- files ----------------------------------------------------------------
// Folder of the running executable, without a trailing slash.
std::string ExecutableDir();
// Path of a file beside the executable.
std::string PathBesideExecutable(const std::string& file_name);
// Path of a settings file: beside the executable in `exe_dir` when that
// folder is ours to write (a build tree, a copied folder), otherwise in the
// fallback folder, which is made when missing. A folder under /usr counts as
// not ours even for root: an installed program keeps its settings per user.
// Without a fallback folder the file stays beside the executable.
std::string SettingsFilePath(const std::string& file_name,
                             const std::string& exe_dir = ExecutableDir());
// The user's configuration folder for settings (set by the user interface).
void SetSettingsFallbackDir(std::string dir);

// INI files in the usual "[Section]" / "key=value" form. Section and key names
// compare without regard to case. Writing creates the file and the section as
// needed and replaces the file in one step. Returns 1 on success, 0 on failure.
int WriteProfileString(const std::string& section, const std::string& key,
                       const std::string& value, const std::string& path);
// Returns the value, or `fallback` when the file, section or key is missing.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path);

// ---- processes ----------------------------------------------------------------
// Starts the program at `path` with no arguments, detached: it outlives this
// program and is never waited for. Returns 1 once the program runs, 0 when it
// could not be started (missing, not executable).
int StartProgram(const std::string& path);

// ---- serial ports ------------------------------------------------------------
// The machine's serial ports that really exist, as device paths, sorted:
// every terminal the kernel ties to a device (ttyUSB*, ttyACM*, ttyAMA* ...),
// and of the built-in UART slots (ttyS*) only those with a port behind them.
// `sys_class_tty` and `dev_dir` are for tests; the defaults are the system's.
std::vector<std::string> ListSerialPorts(const std::string& sys_class_tty = "/sys/class/tty",
                                         const std::string& dev_dir = "/dev");
// Extra port paths (pseudo-terminals of the virtual devices, given on the
// command line) that the port lists offer before the machine's own.
void SetExtraSerialPorts(std::vector<std::string> paths);
const std::vector<std::string>& ExtraSerialPorts();
// The lines of a port list: the ports the operator named first, in the
// order given, then the machine's own ports; each port once. A list selects
// its first line, so a port that was named is the one a connect opens,
// never a machine port nobody chose.
std::vector<std::string> SerialPortLines(const std::vector<std::string>& named_ports,
                                         const std::vector<std::string>& machine_ports);

}  // namespace zv
