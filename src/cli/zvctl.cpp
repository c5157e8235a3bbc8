// zvctl: the four device families from scripts and show-control systems.
// It links the Qt-free core only, so every byte it sends comes from the same
// builders and senders the panels use; it adds the command line around them.
//
// Exit status: 0 sent (or read), 1 the device did not answer (or did not
// take a whole setup, or a file could not be written), 2 bad usage (nothing
// was sent).

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <list>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_state.h"
#include "fourch/fourch_session.h"
#include "link/link_state.h"
#include "link/local_networks.h"
#include "link/worker_device_link.h"
#include "matrix/matrix_lock.h"
#include "matrix/matrix_session.h"
#include "multiview/multiview_session.h"
#include "multiview/multiview_setup.h"
#include "platform/platform.h"
#include "platform/small_file.h"
#include "registry/families.h"
#include "session/session_loop.h"
#include "tally/tsl_listener.h"

namespace zv {
namespace {

constexpr int kExitSent = 0;
constexpr int kExitNoAnswer = 1;
constexpr int kExitUsage = 2;
// How long a device has to name itself when asked for its type and id.
constexpr uint32_t kAskWindowMs = 1000;

struct UsageError {
  std::string message;
};
// Exit 1: the device did not answer or take it all, or a file could not be
// written.
struct NoAnswer {
  std::string message;
};

std::string Hex(std::span<const uint8_t> bytes) {
  std::string out;
  char two[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
    out += two;
  }
  return out;
}

// What a command does on a link aimed at its device.
using Action = std::function<void(LinkState& link)>;

// The family a command belongs to and what it does.
struct Plan {
  PanelKind family = PanelKind::kNone;
  Action action;
  // Reads something back: the dry run cannot stand in for it.
  bool reads = false;
  // Needs no device (the matrix lock).
  bool local = false;
  // Or an action of the family's table, run in a session of the device.
  const ActionSpec* session_action = nullptr;
  ActionArgs args = {};
};

const char* FamilyName(PanelKind kind) {
  return kind == PanelKind::kNone ? "device" : FamilyOf(FamilyKindOf(kind)).name;
}

// A setup or salvo file: a small regular file, refused before it is read
// otherwise (/dev/zero would never end).
std::string ReadFile(const std::string& path) {
  std::string text;
  std::string error;
  if (!ReadSmallFile(path, &text, &error)) throw UsageError{path + " " + error};
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!(out << text) || !out.flush()) throw NoAnswer{"cannot write " + path};
}

void PrintMultiviewer(const MultiviewSetup& s, bool json) {
  if (json) {
    std::cout << EncodeSetupJson(s);
    return;
  }
  const auto on = [](bool v) { return v ? "on" : "off"; };
  std::cout << "layout " << int{s.layout} << " windows, format " << MultiviewFormatName(s.format)
            << "\nlabels " << on(s.labels_on) << ", overlay " << on(s.overlay_on) << ", audio meter "
            << on(s.audio_on) << " (window " << int{s.audio_source} << "), border "
            << on(s.border_on) << ", lock " << on(s.lock_on) << "\n";
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    std::cout << "window " << n + 1 << ": source " << int{s.sources[n]} << ", label \""
              << Utf16ToUtf8(s.labels[n]) << "\" ("
              << kMultiviewColourNames[s.label_text[n] % kMultiviewColourCount] << " on "
              << kMultiviewColourNames[s.label_back[n] % kMultiviewColourCount] << ")\n";
  }
}

// The matrix lock, kept per router address in the user's state folder
// (matrix/matrix_lock.h), the same marker the window's session of the
// router reads and writes.
bool MatrixLocked(const std::string& address) {
  std::string error;
  const std::optional<bool> locked = ReadMatrixLock(address, &error);
  if (!locked) throw NoAnswer{error};
  return *locked;
}

// The door a session of zvctl's has to its device: the link worker, with
// every answer handed to the tool's loop. What did not leave is counted
// and said on standard error.
class ToolLink : public WorkerDeviceLink {
 public:
  ToolLink(const DeviceEntry& device, std::string name, int32_t mode, LinkWorker& worker)
      : WorkerDeviceLink(device, std::move(name), mode, worker, [this](const std::string& text, bool error) {
          if (!error) return;
          ++m_errors;
          std::cerr << "zvctl: " << text << "\n";
        }) {}
  int Errors() const { return m_errors; }

 private:
  int m_errors = 0;
};

// A door for a session whose refusals and failures the tool says itself,
// once.
class QuietLink : public ToolLink {
 public:
  using ToolLink::ToolLink;
  void ShowStatus(const std::string&, bool) override {}
};

// The four-channel switcher's state and signals, read by a session of the
// device: its two read-backs, one after the other.
void ReadFourChannel(LinkState& link_state, const std::string& name, bool json) {
  // The session says when the device did not answer; here that is said once,
  // by the exception below.
  SessionLoop loop;
  LinkWorker worker(link_state.m_link_config, [&loop](std::function<void()> then) { loop.Post(std::move(then)); },
                    link_state.m_serial_port);
  QuietLink link(link_state.ChosenDevice(), name, link_state.m_eState, worker);
  FourChannelSession session(FamilyOf(FamilyKind::kFourChannel), link, loop);
  const auto wait = [&] {
    loop.RunUntil([&] { return !session.Busy() && worker.Idle(); }, std::chrono::minutes(1));
  };
  session.ReadState();
  wait();
  const std::optional<TriskStateReply>& state = session.LastState();
  if (!state) throw NoAnswer{"the four-channel switcher did not answer the state request"};
  session.PollSignals();
  wait();
  const std::optional<TriskSignalReply>& signal = session.LastSignals();
  if (!signal) throw NoAnswer{"the four-channel switcher did not answer the signal request"};
  const TriskPageData& data = session.Data();
  nlohmann::json j;
  j["show_mode"] = state->show_mode ? nlohmann::json(*state->show_mode) : nlohmann::json(nullptr);
  j["output_format"] = state->output_format ? nlohmann::json(*state->output_format) : nlohmann::json(nullptr);
  j["pip"] = {data.zv_trisk_pip_child_ch[0], data.zv_trisk_pip_child_ch[1]};
  j["loop"] = data.zv_trisk_loop_state != 0;
  nlohmann::json signals = nlohmann::json::array();
  for (const auto& s : signal->status) signals.push_back(s ? nlohmann::json(*s != 0) : nlohmann::json(nullptr));
  j["signals"] = signals;
  if (json) {
    std::cout << j.dump(2) << "\n";
    return;
  }
  std::cout << "show mode " << j["show_mode"].dump() << ", output format "
            << j["output_format"].dump() << ", pip " << j["pip"][0] << " " << j["pip"][1]
            << ", loop " << (j["loop"].get<bool>() ? "on" : "off") << "\nsignals";
  for (size_t i = 0; i < signals.size(); ++i)
    std::cout << " " << i + 1 << (signals[i].is_null() ? ":?" : signals[i].get<bool>() ? ":yes" : ":no");
  std::cout << "\n";
}

// An action's command word: its name without the family, '-' for '_'.
std::string CommandWord(const ActionSpec& action) {
  std::string word = action.ShortName();
  std::replace(word.begin(), word.end(), '_', '-');
  return word;
}

// The place of a one_of group is not optional on the command line: it is
// the group's one value.
ActionParam Required(const ActionSpec& action, ActionParam p) {
  if (InOneOf(action, p)) p.optional = false;
  return p;
}

// "switcher program 7": the family's word, the command's and a value for
// each parameter that must be given.
std::string ActionExample(const FamilyInfo& family, const ActionSpec& action) {
  std::string example = std::string(family.key) + " " + CommandWord(action);
  for (const ActionParam& p : action.params) {
    if (!TakenInOrder(action, p, false) || (p.optional && !InOneOf(action, p))) continue;
    example += " " + (!p.example.empty()             ? p.example
                      : p.kind == ParamKind::kWord    ? p.words.back()
                      : p.kind == ParamKind::kInteger ? std::to_string((p.min + p.max + 1) / 2)
                                                      : "TEXT");
  }
  return example;
}

// One line of the commands' list per action of the family's table: the
// command with its parameters, and an example.
std::string ActionLines(const FamilyInfo& family, const std::string& address) {
  std::string lines;
  for (const ActionSpec& action : family.actions()) {
    if (action.record_only) continue;
    std::string usage = std::string(family.key) + " " + CommandWord(action);
    for (const ActionParam& p : action.params)
      if (TakenInOrder(action, p, false)) usage += " " + ParamUsage(Required(action, p));
    usage.resize(std::max<size_t>(usage.size() + 1, 35), ' ');
    lines += "  " + usage + "zvctl " + address + " " + ActionExample(family, action) + "\n";
  }
  return lines;
}

// The commands of every family's table, each with an example.
std::string AllActionLines() {
  std::string lines;
  for (const FamilyInfo& family : Families()) lines += ActionLines(family, "10.0.0.2");
  return lines;
}

class Tool {
 public:
  int Run(int argc, char** argv);

 private:
  void Build();
  // The commands of a family's action table, one per action.
  void AddActions(const FamilyInfo& family, CLI::App* command);
  // Runs the plan's action in a session of the device, on a link worker,
  // until every frame it makes has left (an Auto transition to its end).
  int RunSession(const Plan& plan);
  int Perform(const Plan& plan) {
    if (plan.session_action) return RunSession(plan);
    plan.action(m_link);
    return kExitSent;
  }
  void AddMatrix();
  void AddMultiview();
  void AddFourChannel();
  int Execute();
  void CheckCommand();
  void PrepareLink();
  int DryRun(const Plan& plan);
  int Scan();
  int Tally();

  CLI::App m_app{"zvctl: control the multiviewer, matrix router and switchers from scripts", "zvctl"};
  LinkState m_link;
  std::string m_address;
  int m_type = -1;
  int m_id = -1;
  std::string m_serial;
  uint32_t m_baud = 9600;
  bool m_dry_run = false;
  bool m_json = false;
  bool m_verbose = false;
  std::string m_search_address = "255.255.255.255";
  CLI::Option* m_search_address_option = nullptr;
  uint16_t m_device_port = LinkConfig::kDefaultDevicePort;
  int m_device_list_cap = kDefaultDeviceListCap;
  uint16_t m_local_port = LinkConfig::kDefaultLocalPort;
  Plan m_plan;
  bool m_scan = false;
  // tally: the TSL port listened on, for how long, from where.
  bool m_tally = false;
  uint16_t m_tally_port = 8900;
  int m_tally_seconds = 1;
  std::string m_tally_allow = "127.0.0.0/8";

  // Arguments of the commands written by hand (save, apply).
  std::string m_file;
  MultiviewSetup m_setup;
  MultiviewSetupKeys m_setup_keys;
  // The words typed for the parameters of the table's actions, one list
  // per parameter (a list holds one word but for a repeated parameter).
  std::list<std::vector<std::string>> m_action_words;
  std::list<std::string> m_action_word;
};

void Tool::AddActions(const FamilyInfo& family, CLI::App* command) {
  for (const ActionSpec& action : family.actions()) {
    if (action.record_only) continue;
    CLI::App* sub = command->add_subcommand(CommandWord(action), action.help + "  e.g. " + ActionExample(family, action));
    // Each parameter's words: one for most, one or more for a repeated one.
    std::vector<std::vector<std::string>*> words;
    for (const ActionParam& p : action.params) {
      // Of a one_of group, the words give the first (a salvo's file).
      if (!TakenInOrder(action, p, false)) continue;
      std::string name;
      for (char c : p.name) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      CLI::Option* option = nullptr;
      if (p.repeated) {
        std::vector<std::string>& storage = m_action_words.emplace_back();
        words.push_back(&storage);
        option = sub->add_option(name, storage, p.help);
      } else {
        std::string& one = m_action_word.emplace_back();
        words.push_back(&m_action_words.emplace_back());
        option = sub->add_option(name, one, p.help);
        // The word goes into the list the callback reads.
        option->each([list = words.back()](const std::string& w) { list->assign(1, w); });
      }
      if (!Required(action, p).optional) option->required();
      if (p.kind == ParamKind::kInteger) option->check(CLI::Range(p.min, p.max));
      if (p.kind == ParamKind::kWord) option->check(CLI::IsMember(p.words));
    }
    sub->callback([this, &family, &action, words] {
      std::vector<std::string> typed;
      for (const std::vector<std::string>* list : words) typed.insert(typed.end(), list->begin(), list->end());
      std::string error;
      std::optional<ActionArgs> args = ParseActionWords(action, typed, &error);
      if (!args) throw UsageError{error};
      m_plan = {};
      m_plan.family = PanelKindOf(family.kind);
      m_plan.session_action = &action;
      m_plan.args = std::move(*args);
      // Something to run, for the checks that ask whether a command was given.
      m_plan.action = [](LinkState&) {};
    });
  }
}

int Tool::RunSession(const Plan& plan) {
  SessionLoop loop;
  LinkWorker worker(m_link.m_link_config, [&loop](std::function<void()> then) { loop.Post(std::move(then)); },
                    m_link.m_serial_port);
  const DeviceEntry& device = m_link.ChosenDevice();
  ToolLink link(device, m_address.empty() ? m_serial : m_address, m_link.m_eState, worker);
  const FamilyInfo* family = FamilyByKey(plan.session_action->name.substr(0, plan.session_action->name.find('.')));
  if (!family || !family->make_session) throw UsageError{"no session for " + plan.session_action->name};
  std::unique_ptr<DeviceSession> session = family->make_session(*family, link, loop);
  const ActionOutcome outcome = session->Invoke(plan.session_action->name, plan.args);
  // Nothing was sent: a bad value, or nothing to do in the device's state.
  if (!outcome.ok()) throw UsageError{outcome.message};
  // A transition runs to its end and every frame leaves before the tool
  // exits; a minute is far beyond the slowest Auto.
  const bool ended = loop.RunUntil([&] { return !session->Busy() && worker.Idle(); }, std::chrono::minutes(1));
  if (!ended) throw NoAnswer{"the " + std::string(family->name) + " did not finish " + plan.session_action->name};
  if (link.Errors() > 0) throw NoAnswer{std::to_string(link.Errors()) + " frame(s) did not leave"};
  return kExitSent;
}

MultiviewSetup ReadInMultiviewSession(LinkState& link, const std::string& name);

void Tool::Build() {
  m_app.set_version_flag("--version", std::string("zvctl ") + ZV_VERSION);
  // A refusal is one line on standard error, like every other of the tool's.
  m_app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("zvctl: ") + e.what() + " (zvctl --help lists the commands)\n";
  });
  m_app.add_option("ADDR", m_address,
                   "the device's IPv4 address, one device's: not a broadcast or multicast address "
                   "(not needed with --serial)");
  m_app.add_option("--type", m_type,
                   "the device's type byte (0x60, 0x82, 0xA1, 0xA5), of the command's family; asked of ADDR "
                   "when left out")
      ->check(CLI::Range(0, 255));
  m_app.add_option("--id", m_id, "the device's id byte; asked of ADDR when left out")->check(CLI::Range(0, 255));
  m_app.add_option("--serial", m_serial, "send over this serial line instead (multiviewer, matrix router)");
  m_app.add_option("--baud", m_baud, "the serial line's rate")->check(CLI::IsMember({9600, 19200, 38400, 57600, 115200}));
  m_app.add_flag("--dry-run", m_dry_run,
                 "print each frame in hex instead of sending it; sends nothing, so it needs --type and --id "
                 "(but for the matrix router)");
  m_app.add_flag("--json", m_json, "scan and state: print JSON");
  m_search_address_option = m_app.add_option(
      "--search-address", m_search_address,
      "scan: the one destination of the discovery query (default: 255.255.255.255 and the "
      "broadcast address of every network interface)");
  m_app.add_option("--device-list-cap", m_device_list_cap,
                   "scan: the most devices listed (default " + std::to_string(kDefaultDeviceListCap) +
                       "); how many more answered is said on standard error")
      ->check(CLI::Range(1, kMaxDeviceListCap));
  m_app.add_option("--device-port", m_device_port, "UDP port the devices listen on");
  m_app.add_option("--local-port", m_local_port, "local UDP port; 0 lets the system choose");
  m_app.add_flag("--verbose", m_verbose, "print the trace lines on standard error");
  m_app.fallthrough();
  m_app.footer(
      "Commands, each with an example:\n"
      "  scan                               zvctl scan --search-address 192.168.1.255 --json\n"
      "  tally [--port N] [--seconds S]     zvctl tally --port 8900 --json\n"
      "  state [--json]                     zvctl 10.0.0.2 state --json\n"
      + AllActionLines() +
      "  multiview save FILE                zvctl 10.0.0.2 multiview save studio.json\n"
      "  multiview apply FILE               zvctl 10.0.0.2 multiview apply studio.json\n"
      "\n"
      "Other ways to send, each with an example:\n"
      "  over a serial line                 zvctl --serial /dev/ttyUSB0 --baud 9600 multiview layout 4\n"
      "  printing the frames, sending none  zvctl --dry-run --type 0xA5 --id 1 10.0.0.5 switcher cut\n"
      "\n"
      "'zvctl FAMILY COMMAND --help' describes one command.\n"
      "\n"
      "A command goes to one device: a broadcast, multicast or 0.0.0.0 ADDR is refused (only scan\n"
      "broadcasts). Labels take printable text only; setup and salvo files are regular files of\n"
      "at most 1 MB. The matrix lock is a file in $XDG_STATE_HOME/zv_multiview (without\n"
      "XDG_STATE_HOME, ~/.local/state/zv_multiview).\n"
      "\n"
      "Exit status: 0 sent or read, 1 no answer (or a setup not taken whole, or a file not\n"
      "written), 2 bad usage (nothing sent).");

  auto* scan = m_app.add_subcommand("scan", "list the devices that answer (name, address, type, id)\n"
                                            "  e.g. zvctl scan --search-address 192.168.1.255");
  scan->callback([this] { m_scan = true; });

  auto* tally = m_app.add_subcommand(
      "tally", "listen for TSL UMD tally (3.1 and 5.0, UDP and TCP) for a while and print what each display\n"
               "  shows last; zv_multiview and zvd send their switcher's tally every second with --tsl-send\n"
               "  e.g. zvctl tally --port 8900 --seconds 2 --json");
  tally->add_option("--port", m_tally_port, "the TSL port to listen on (UDP and TCP)")->check(CLI::Range(1, 65535));
  tally->add_option("--seconds", m_tally_seconds, "how long to listen")->check(CLI::Range(1, 60));
  tally->add_option("--allow", m_tally_allow, "sources taken, as networks (CIDR[,CIDR]); the rest are dropped");
  tally->callback([this] { m_tally = true; });

  auto* state = m_app.add_subcommand(
      "state", "read the device back and print it (multiviewer; four-channel with its signals)\n"
               "  e.g. zvctl 10.0.0.2 state --json");
  state->callback([this] {
    m_plan.reads = true;
    m_plan.action = [this](LinkState& link) {
      bool known = false;
      const PanelKind kind = PanelForDeviceType(link.ChosenDevice().device_type, link.m_eState, &known);
      if (kind == PanelKind::kMultiviewer) {
        PrintMultiviewer(ReadInMultiviewSession(link, m_address.empty() ? m_serial : m_address), m_json);
      } else if (kind == PanelKind::kFourChannel && known) {
        ReadFourChannel(link, m_address, m_json);
      } else {
        throw UsageError{std::string("the ") + FamilyName(kind) + " has no read-back"};
      }
    };
  });
  AddActions(FamilyOf(FamilyKind::kSwitcher),
             m_app.add_subcommand("switcher", FamilyOf(FamilyKind::kSwitcher).help));
  AddMatrix();
  AddMultiview();
  AddFourChannel();
}

void Tool::AddMatrix() {
  const FamilyInfo& family = FamilyOf(FamilyKind::kMatrix);
  CLI::App* mx = m_app.add_subcommand(family.key, family.help);
  AddActions(family, mx);
  // The lock needs no device: it is kept per ADDR. It still goes through a
  // session of the router, as the panel's lock button does.
  CLI::App* lock = mx->get_subcommand("lock");
  lock->callback([this, lock] {
    const bool on = lock->get_option("STATE")->results().at(0) == "on";
    m_plan = {PanelKind::kMatrix, [this, on](LinkState&) {
      DeviceEntry device;
      device.SetIpText(m_address);
      SessionLoop loop;
      LinkWorker worker(m_link.m_link_config, [&loop](std::function<void()> then) { loop.Post(std::move(then)); },
                        m_link.m_serial_port);
      QuietLink link(device, m_address, kModeNetwork, worker);
      const FamilyInfo& matrix = FamilyOf(FamilyKind::kMatrix);
      std::unique_ptr<DeviceSession> session = matrix.make_session(matrix, link, loop);
      const ActionOutcome outcome = session->Invoke("matrix.lock", {{"state", std::string(on ? "on" : "off")}});
      if (!outcome.ok()) throw UsageError{outcome.message};
      const std::string& error = static_cast<MatrixSession&>(*session).LockError();
      if (!error.empty()) throw NoAnswer{error};
    }, false, true};
  });
}

// Runs `start` in a multiviewer session of the device `link` is aimed at,
// on a link worker, until the session has called the `ended` it was given
// and every frame has left: the read-back and the apply-and-check are the
// session's operations, the panel's too.
void InMultiviewSession(LinkState& link, const std::string& name,
                        const std::function<void(MultiviewSession&, std::function<void()> ended)>& start) {
  SessionLoop loop;
  LinkWorker worker(link.m_link_config, [&loop](std::function<void()> then) { loop.Post(std::move(then)); },
                    link.m_serial_port);
  ToolLink tool_link(link.ChosenDevice(), name, link.m_eState, worker);
  MultiviewSession session(FamilyOf(FamilyKind::kMultiviewer), tool_link, loop);
  bool ended = false;
  start(session, [&ended] { ended = true; });
  if (!loop.RunUntil([&] { return ended && worker.Idle(); }, std::chrono::minutes(1)))
    throw NoAnswer{"the multiviewer did not finish"};
}

MultiviewSetup ReadInMultiviewSession(LinkState& link, const std::string& name) {
  bool answered = false;
  MultiviewSetup setup;
  InMultiviewSession(link, name, [&](MultiviewSession& session, std::function<void()> ended) {
    session.Read(false, [&, ended](bool yes) {
      answered = yes;
      if (yes) setup = SetupFromState(session.Record());
      ended();
    });
  });
  if (!answered) throw NoAnswer{"the multiviewer did not answer the state request"};
  return setup;
}

void Tool::AddMultiview() {
  const FamilyInfo& family = FamilyOf(FamilyKind::kMultiviewer);
  auto* mv = m_app.add_subcommand("multiview", "16-window multiviewer (type 0xA1)");
  // Layout, sources, labels, colours and the switches: the session's actions.
  AddActions(family, mv);
  auto* save = mv->add_subcommand("save", "read the device back and save its setup  e.g. multiview save studio.json");
  save->add_option("FILE", m_file)->required();
  save->callback([this] {
    m_plan = {PanelKind::kMultiviewer, [this](LinkState& link) {
      WriteFile(m_file, EncodeSetupJson(ReadInMultiviewSession(link, m_address.empty() ? m_serial : m_address)));
    }, true};
  });
  auto* apply = mv->add_subcommand("apply", "send the settings a setup file names (the rest stay as the device has "
                                      "them) and read them back  e.g. multiview apply studio.json");
  apply->add_option("FILE", m_file)->required();
  apply->callback([this] {
    // The file is checked before anything is sent; only the settings it
    // names are sent, the rest keep what the device has.
    std::string error;
    if (!DecodeSetupJson(ReadFile(m_file), &m_setup, &error, &m_setup_keys)) throw UsageError{m_file + ": " + error};
    m_plan = {PanelKind::kMultiviewer, [this](LinkState& link) {
      MultiviewApplyResult result;
      InMultiviewSession(link, m_address.empty() ? m_serial : m_address,
                         [&](MultiviewSession& session, std::function<void()> ended) {
                           session.ApplySetup(m_setup, m_setup_keys,
                                              [&result, ended](const MultiviewApplyResult& r) {
                                                result = r;
                                                ended();
                                              });
                         });
      if (!result.answered_before) throw NoAnswer{"the multiviewer did not answer the state request"};
      const std::string line = ApplyResultText(result, "the multiviewer");
      if (!result.content || !result.missed.empty()) {
        std::string text = line;
        for (size_t i = 1; i < result.missed.size(); ++i) text += "\n  " + result.missed[i];
        throw NoAnswer{text};
      }
      std::cout << line << "\n";
    }, true};
  });
}

void Tool::AddFourChannel() {
  const FamilyInfo& family = FamilyOf(FamilyKind::kFourChannel);
  AddActions(family, m_app.add_subcommand(family.key, family.help));
}

void Tool::PrepareLink() {
  m_link.m_link_config.device_port = m_device_port;
  m_link.m_link_config.local_port = m_local_port;
  m_link.m_link_config.search_address = m_search_address;
  m_link.m_device_list.assign(1, DeviceEntry{});
  DeviceEntry& device = m_link.m_device_list[0];
  m_link.m_device_index = 0;
  if (!m_serial.empty()) {
    m_link.m_eState = kModeSerial;
    if (!m_dry_run && !m_link.m_serial_port.Open(m_serial, m_baud))
      throw UsageError{"cannot open the serial line " + m_serial};
  } else {
    std::array<uint8_t, 4> octets{};
    if (!ParseIpv4Address(m_address, &octets)) throw UsageError{"ADDR must be an IPv4 address, not '" + m_address + "'"};
    device.SetIpText(m_address);
  }
  if (m_plan.family == PanelKind::kMatrix) return;  // the router takes text, no frame
  if (m_type >= 0 && m_id >= 0) {
    device.device_type = static_cast<uint8_t>(m_type);
    device.device_id = static_cast<uint8_t>(m_id);
  }
}

int Tool::Scan() {
  m_link.m_link_config.device_port = m_device_port;
  m_link.m_link_config.local_port = m_local_port;
  m_link.m_link_config.search_address = m_search_address;
  m_link.m_link_config.search_every_interface = m_search_address_option->count() == 0;
  m_link.m_link_config.device_list_cap = m_device_list_cap;
  std::vector<std::string> lines;
  const int found = m_link.SearchNetworkDevices(&lines);
  if (found < 0) throw NoAnswer{"could not open the search socket"};
  if (m_link.m_search_left_out > 0)
    std::cerr << "zvctl: " << m_link.m_search_left_out << " more devices answered but were left out: "
              << "the list holds " << m_device_list_cap << " (--device-list-cap)\n";
  nlohmann::json list = nlohmann::json::array();
  // A device outside the machine's subnets answered, but commands to it may
  // not arrive: said beside it (JSON) or on standard error.
  const std::vector<NetInterface> interfaces = ReadLocalInterfaces();
  for (int i = 0; i < found; ++i) {
    const DeviceEntry& e = m_link.m_device_list[i];
    std::string name = i < static_cast<int>(lines.size()) ? lines[i] : "";
    const size_t cut = name.rfind('_');
    if (cut != std::string::npos) name.resize(cut);
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", e.device_type);
    const std::string notice = SubnetNotice(e.IpText(), interfaces);
    if (m_json) {
      list.push_back({{"name", name}, {"address", e.IpText()}, {"type", type}, {"id", e.device_id}});
      if (!notice.empty()) list.back()["note"] = notice;
    } else {
      std::cout << name << "\t" << e.IpText() << "\t" << type << "\t" << int{e.device_id} << "\n";
      if (!notice.empty()) std::cerr << "zvctl: " << e.IpText() << " is " << notice << "\n";
    }
  }
  if (m_json) std::cout << list.dump(2) << "\n";
  if (found == 0)
    throw NoAnswer{m_link.m_link_config.search_every_interface
                       ? "no device answered at " + m_search_address + " or any interface's broadcast address"
                       : "no device answered at " + m_search_address};
  return kExitSent;
}

// What the tally displays on the TSL port say: each display's last message
// heard within the time given. A one-shot command keeps no state, so it
// listens: a tally source repeats every display (ours once a second), so a
// second hears them all.
int Tool::Tally() {
  std::string error;
  std::optional<CidrList> allow = CidrList::Parse(m_tally_allow, &error);
  if (!allow) throw UsageError{"--allow: " + error};
  struct Heard {
    std::string from;
    TslDatagram datagram;
  };
  std::mutex mutex;
  std::condition_variable changed;
  // By display: version, screen (5.0) and index or address.
  std::map<std::tuple<int, int, int>, std::pair<std::string, Tsl50Display>> displays;
  std::map<int, std::pair<std::string, Tsl31Message>> addresses;
  TslListener listener;
  const bool started = listener.Start(
      m_tally_port, *allow,
      [&](uint32_t from, TslDatagram d) {
        std::lock_guard<std::mutex> lock(mutex);
        const std::string source = Ipv4Text(from);
        if (d.version == TslVersion::k31) {
          addresses[d.v31.address] = {source, d.v31};
        } else {
          for (const Tsl50Display& m : d.v50.displays) displays[{50, d.v50.screen, m.index}] = {source, m};
        }
      },
      &error);
  if (!started) throw NoAnswer{error};
  {
    // Listening for the time given is the command's work.
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(m_tally_seconds), [] { return false; });
  }
  listener.Stop();
  nlohmann::json list = nlohmann::json::array();
  for (const auto& [address, heard] : addresses) {
    const Tsl31Message& m = heard.second;
    std::string tallies;
    for (size_t i = 0; i < 4; ++i)
      if (m.tally[i]) tallies += (tallies.empty() ? "" : "+") + std::to_string(i + 1);
    if (m_json) {
      nlohmann::json lit = nlohmann::json::array();
      for (size_t i = 0; i < 4; ++i)
        if (m.tally[i]) lit.push_back(i + 1);
      list.push_back({{"tsl", "3.1"}, {"address", address}, {"tally", lit}, {"text", m.text}, {"from", heard.first}});
    } else {
      std::cout << "3.1 address " << address << "\ttally " << (tallies.empty() ? "none" : tallies) << "\t\""
                << m.text << "\"\t" << heard.first << "\n";
    }
  }
  for (const auto& [key, heard] : displays) {
    const Tsl50Display& m = heard.second;
    if (m_json) {
      list.push_back({{"tsl", "5.0"}, {"screen", std::get<1>(key)}, {"index", m.index},
                      {"left", TslLampName(m.left)}, {"text_tally", TslLampName(m.text_tally)},
                      {"right", TslLampName(m.right)}, {"text", m.text}, {"from", heard.first}});
    } else {
      std::cout << "5.0 screen " << std::get<1>(key) << " index " << m.index << "\tleft " << TslLampName(m.left)
                << ", text " << TslLampName(m.text_tally) << ", right " << TslLampName(m.right) << "\t\""
                << m.text << "\"\t" << heard.first << "\n";
    }
  }
  if (m_json) std::cout << list.dump(2) << "\n";
  if (addresses.empty() && displays.empty())
    throw NoAnswer{"no tally heard on port " + std::to_string(m_tally_port) + " in " +
                   std::to_string(m_tally_seconds) + " s" +
                   (listener.Dropped() ? " (" + std::to_string(listener.Dropped()) + " from sources not allowed)" : "")};
  return kExitSent;
}

// The dry run sends to a socket of its own on loopback (or to a
// pseudo-terminal for the serial line) and prints what arrived there, so
// what it shows is exactly what the senders put on the wire.
int Tool::DryRun(const Plan& plan) {
  if (m_link.m_eState == kModeSerial) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) throw UsageError{"no pseudo-terminal for the dry run"};
    close(slave);
    if (!m_link.m_serial_port.Open(std::string(name), m_baud)) {
      close(master);
      throw UsageError{"cannot open the dry run's pseudo-terminal"};
    }
    Perform(plan);
    std::vector<uint8_t> bytes;
    uint8_t buffer[1024];
    pollfd p{master, POLLIN, 0};
    // The line has taken every byte when the writes returned; what is not
    // readable within a moment was never written.
    while (poll(&p, 1, 100) == 1 && (p.revents & POLLIN)) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    m_link.m_serial_port.Close();
    close(master);
    std::cout << Hex(bytes) << "\n";
    return kExitSent;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in here{};
  here.sin_family = AF_INET;
  here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof here;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&here), sizeof here) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&here), &len) != 0) {
    if (fd >= 0) close(fd);
    throw UsageError{"no loopback socket for the dry run"};
  }
  m_link.m_device_list[0].SetIpText("127.0.0.1");
  m_link.m_link_config.device_port = ntohs(here.sin_port);
  m_link.m_link_config.local_port = 0;
  Perform(plan);
  uint8_t buffer[CommandFrame::kSenderBufferSize];
  for (;;) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0) break;
    std::cout << Hex({buffer, static_cast<size_t>(n)}) << "\n";
  }
  close(fd);
  return kExitSent;
}

// Everything that can be refused is refused here, before a file is touched
// or a byte is sent.
void Tool::CheckCommand() {
  if (!m_plan.action) throw UsageError{"no command given (zvctl --help lists them)"};
  if (m_address.empty() && m_serial.empty()) throw UsageError{"ADDR (or --serial PATH) is needed"};
  if (!m_address.empty()) {
    uint32_t host = 0;
    if (!ParseIpv4(m_address, &host)) throw UsageError{"ADDR must be an IPv4 address, not '" + m_address + "'"};
    if (const std::string problem = OneDeviceAddressProblem(host, ReadLocalInterfaces()); !problem.empty())
      throw UsageError{m_address + " " + problem + " (only scan broadcasts)"};
  }
  if (!m_serial.empty() && m_plan.family != PanelKind::kNone &&
      FamilyOf(FamilyKindOf(m_plan.family)).network_only)
    throw UsageError{std::string("the ") + FamilyName(m_plan.family) + " is reached by network only"};
  if ((m_type >= 0) != (m_id >= 0)) throw UsageError{"--type and --id go together"};
  if (m_type >= 0 && m_plan.family != PanelKind::kNone) {
    bool known = false;
    const PanelKind kind = PanelForDeviceType(static_cast<uint8_t>(m_type), kModeNetwork, &known);
    if (!known || kind != m_plan.family) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02X", m_type);
      throw UsageError{std::string("--type ") + text + " is " +
                       (known ? std::string("a ") + FamilyName(kind) + "'s" : "no known device's") +
                       ", not a " + FamilyName(m_plan.family) + "'s"};
    }
  }
  if (m_dry_run) {
    if (m_plan.local) throw UsageError{"--dry-run has no frame to print for the lock"};
    if (m_plan.reads) throw UsageError{"--dry-run cannot stand in for a read-back"};
    // The router's texts carry no type or id; every other frame does, and
    // the dry run asks the device nothing.
    if (m_plan.family != PanelKind::kMatrix && m_type < 0)
      throw UsageError{"--dry-run needs --type and --id (it asks the device nothing)"};
  }
  if (m_plan.local && m_address.empty()) throw UsageError{"the lock is kept per ADDR"};
}

int Tool::Execute() {
  if (m_scan) return Scan();
  if (m_tally) return Tally();
  CheckCommand();
  if (m_plan.local) {
    m_plan.action(m_link);
    return kExitSent;
  }
  if (m_plan.family == PanelKind::kMatrix && !m_address.empty() && m_serial.empty() && MatrixLocked(m_address))
    throw UsageError{"the matrix router at " + m_address + " is locked (zvctl " + m_address + " matrix lock off)"};
  PrepareLink();
  // The router's texts carry no type or id, but asking still tells a silent
  // router from one that is there.
  const bool ask = m_type < 0 && !m_dry_run;
  if (ask) {
    if (m_link.m_eState == kModeSerial) {
      if (!m_link.SearchSerialDevice() || m_link.m_device_index < 0)
        throw NoAnswer{"no device answered on " + m_serial};
    } else {
      const std::optional<in_addr> address = m_link.ChosenDeviceAddress();
      DiscoveryReply found;
      const ReplyTest named = [&](std::span<const uint8_t> bytes, const sockaddr_in& from) {
        if (!address || from.sin_addr.s_addr != address->s_addr) return false;
        found = ParseDiscoveryDatagram(bytes.data(), bytes.size());
        return found.is_reply;
      };
      if (!m_link.ReceiveWithTimeout(DISCOVERY_QUERY, kSearchReplyBufferSize, kAskWindowMs, named))
        throw NoAnswer{m_address + " did not answer"};
      m_link.m_device_list[0].device_type = found.device_type;
      m_link.m_device_list[0].device_id = found.device_id;
    }
    const uint8_t type = m_link.ChosenDevice().device_type;
    bool known = false;
    const PanelKind kind = PanelForDeviceType(type, kModeNetwork, &known);
    if (m_plan.family != PanelKind::kNone && (!known || kind != m_plan.family)) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02X", type);
      throw UsageError{std::string(m_address.empty() ? m_serial : m_address) + " is a " +
                       (known ? FamilyName(kind) : std::string("device of type ") + text) + ", not a " +
                       FamilyName(m_plan.family)};
    }
  }
  if (m_dry_run) return DryRun(m_plan);
  return Perform(m_plan);
}

int Tool::Run(int argc, char** argv) {
  Build();
  try {
    m_app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return m_app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return m_app.exit(e);
  } catch (const CLI::Success& e) {
    return m_app.exit(e);
  } catch (const CLI::ParseError& e) {
    m_app.exit(e);
    return kExitUsage;
  } catch (const UsageError& e) {
    std::cerr << "zvctl: " << e.message << "\n";
    return kExitUsage;
  }
  SetTraceSink(m_verbose ? TraceSink([](const std::string& line) { std::cerr << line << "\n"; })
                         : TraceSink([](const std::string&) {}));
  // Notices the core would show the operator are messages on standard error.
  SetMessageBoxHandler([](const MessageBoxRequest& r) {
    std::cerr << "zvctl: " << r.text << "\n";
    return MessageBoxAnswer::kOk;
  });
  try {
    return Execute();
  } catch (const UsageError& e) {
    std::cerr << "zvctl: " << e.message << "\n";
    return kExitUsage;
  } catch (const NoAnswer& e) {
    std::cerr << "zvctl: " << e.message << "\n";
    return kExitNoAnswer;
  }
}

}  // namespace
}  // namespace zv

int main(int argc, char** argv) {
  zv::Tool tool;
  return tool.Run(argc, argv);
}
