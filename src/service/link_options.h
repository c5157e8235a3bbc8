// How a program reaches the devices, on its command line: the options
// zv_multiview and zvd share (--device-port, --local-port,
// --search-address, --frame-log, --salvo-dir, --verbose), read before any
// application object exists.
#pragma once

#include <QCommandLineParser>
#include <string>

#include "link/link_state.h"
#include "link/serial_port.h"

namespace zv {

// The address the help and the manual pages give for the first run: the
// virtual devices of zv_device_sim answer the query sent there.
inline constexpr const char* kFirstRunSearchAddress = "127.255.255.255";

struct LinkOptions {
  LinkConfig config;
  std::string frame_log;  // empty: none
  bool verbose = false;
  // Presence searches: how often the known devices are asked whether they
  // still answer (milliseconds; 0: never).
  int presence_period_ms = 10000;
  // The salvo folder (matrix/salvo_folder.h), as an absolute path; empty:
  // the default.
  std::string salvo_dir;
  // The serial port a device is served on (zvd); empty: none.
  std::string serial_port;
  uint32_t serial_baud = kBaudRateLines[0];
};

// `verbose_help` says where --verbose prints the trace lines.
void AddLinkOptions(QCommandLineParser* parser, const QString& verbose_help);
// False with *error (a sentence naming the option, without the program's
// name) for a value that cannot be taken.
bool ReadLinkOptions(const QCommandLineParser& parser, LinkOptions* options, std::string* error);

// --serial-port PATH and --serial-baud N of a program that serves the device
// on that port itself (zvd; the window has its own port lists).
void AddSerialLineOptions(QCommandLineParser* parser);
bool ReadSerialLineOptions(const QCommandLineParser& parser, LinkOptions* options, std::string* error);

}  // namespace zv
