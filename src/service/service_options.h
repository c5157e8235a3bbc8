// The service's options, shared by zvd and `zv_multiview --serve`: where it
// listens, its token file, OSC and TLS. Read with the programs' own
// command-line parsers, before any application object exists.
#pragma once

#include <QCommandLineParser>
#include <QHostAddress>
#include <cstdint>
#include <optional>
#include <string>

#include "service/access_limits.h"
#include "tally/tally_service.h"

namespace zv {

inline constexpr const char* kDefaultListen = "127.0.0.1:8770";

struct ServiceOptions {
  QHostAddress address{QHostAddress::LocalHost};
  uint16_t port = 8770;
  // The token file: --token-file, else DefaultTokenFile(); `token_file_given`
  // says which.
  std::string token_file;
  bool token_file_given = false;
  std::optional<uint16_t> osc_port;
  CidrList osc_allow = CidrList::Loopback();
  std::string tls_cert, tls_key;
  // Events queued for a WebSocket client that does not read; past this the
  // client is disconnected.
  int64_t event_queue_bytes = 1024 * 1024;
  // Tally: --tsl-map, --tsl-listen, --tsl-allow, --tsl-send, --tsl-send-version.
  TallyOptions tally;

  bool Loopback() const { return address.isLoopback(); }
  bool Tls() const { return !tls_cert.empty(); }
};

// $XDG_CONFIG_HOME/zv_multiview/tokens (without XDG_CONFIG_HOME,
// ~/.config/zv_multiview/tokens).
std::string DefaultTokenFile();

// Makes the folder of a token file when it is missing (private to the
// user); false with *error when it cannot.
bool MakeTokenFolder(const std::string& token_file, std::string* error);

// Adds --listen, --token-file, --osc-port, --osc-allow, --tls-cert,
// --tls-key, --event-queue-kb and the tally options to `parser`.
void AddServiceOptions(QCommandLineParser* parser);

// Reads them; false with *error (a sentence naming the option) for a value
// that cannot be taken. `program` names the program in the sentence.
bool ReadServiceOptions(const QCommandLineParser& parser, ServiceOptions* options, std::string* error);

// "ADDR:PORT" (an IPv4 address and a port 1-65535); false for anything else.
bool ParseListen(const std::string& text, QHostAddress* address, uint16_t* port);

// The names of the options above, for a program that takes them only with
// the service (zv_multiview without --serve refuses them).
inline constexpr const char* kServiceOptionNames[] = {
    "listen",    "token-file", "osc-port", "osc-allow", "tls-cert",         "tls-key", "event-queue-kb",
    "tsl-map",   "tsl-listen", "tsl-allow", "tsl-send", "tsl-send-version"};

}  // namespace zv
