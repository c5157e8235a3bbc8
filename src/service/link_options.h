// How a program reaches the devices, on its command line: the options
// zv_multiview and zvd share (--device-port, --local-port,
// --search-address, --frame-log, --verbose), read before any application
// object exists.
#pragma once

#include <QCommandLineParser>
#include <string>

#include "link/link_state.h"

namespace zv {

// The address the help and the manual pages give for the first run: the
// virtual devices of zv_device_sim answer the query sent there.
inline constexpr const char* kFirstRunSearchAddress = "127.255.255.255";

struct LinkOptions {
  LinkConfig config;
  std::string frame_log;  // empty: none
  bool verbose = false;
};

void AddLinkOptions(QCommandLineParser* parser);
// False with *error (a sentence naming the option, without the program's
// name) for a value that cannot be taken.
bool ReadLinkOptions(const QCommandLineParser& parser, LinkOptions* options, std::string* error);

}  // namespace zv
