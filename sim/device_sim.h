// zv_device_sim: virtual devices that answer the panel as real ones do.
//
// Each device has a type byte, an id byte, a name and an address. On the
// network one hub socket receives the discovery query (a broadcast inside a
// network namespace, or the hub address on loopback) and every device answers
// from its own address; each device then takes its commands on its own
// address. One device may also sit behind a pseudo-terminal and answer on the
// serial line. Every frame or text received is logged as one JSON line.
// With a front-panel period each device also changes one value of its state
// now and then, as a person at its front panel would, and logs that too.
//
// The simulator is a library so that tests can run it in-process on a thread
// of their own (Run with a stop descriptor), and the zv_device_sim program is
// a thin command line around it.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zv::sim {

using Bytes = std::vector<uint8_t>;

// Faults a device can be told to show.
struct FaultOptions {
  bool silent = false;        // answers nothing, not even discovery
  uint32_t delay_ms = 0;      // every answer leaves this much later
  int truncate = -1;          // every answer is cut to this many bytes (-1: whole)
  int repeat = 1;             // how many times the discovery reply is sent
  int garbage = 0;            // this many junk datagrams leave before every answer
  uint32_t flood_per_second = 0;  // after each request, junk datagrams to its sender
  uint32_t flood_ms = 0;          // at that rate for this long
  std::string answer_from{};  // answers leave from this address instead (same port)
};

struct DeviceConfig {
  uint8_t type = 0;
  uint8_t id = 1;
  std::string name;
  std::string address;  // IPv4 address the device's socket binds
  FaultOptions faults;
  std::string input_signals{};  // four-channel switcher: inputs with a signal, "1101"
};

enum class Link { kUdp, kSerial };

// One value a person changed at the device's front panel, in the device's
// own codes: {"layout", 9}, or {"source", 7, "window", 3} for the input
// window 3 shows.
struct FrontPanelChange {
  std::string field;
  int value = 0;
  std::string where_key{};  // "window", "output": which one the value belongs to
  int where = 0;
};

// A value of `choices` other than `current` (any of them when every one is
// `current`), drawn from `random`.
int PickOther(std::mt19937& random, const std::vector<int>& choices, int current);

// One virtual device. The base records what it receives; each family adds
// its state and answers by overriding OnFrame / OnText.
class SimDevice {
 public:
  explicit SimDevice(DeviceConfig config) : m_config(std::move(config)) {}
  virtual ~SimDevice() = default;

  const DeviceConfig& Config() const { return m_config; }
  // The discovery reply: sync bytes, type, id, the link flag, command 0xFF,
  // the name followed by a "-x-" marker, checksum and tail.
  Bytes DiscoveryReply(Link link) const;

  // A command frame for this device (sync bytes and tail already checked).
  // Returns the answers to send back, in order.
  virtual std::vector<Bytes> OnFrame(std::span<const uint8_t> frame, Link link);
  // Text that is not a command frame (the matrix router's language).
  virtual std::vector<Bytes> OnText(const std::string& text, Link link);

  // What the last frame or text did to the device ("route 3 -> 1,4,8"), for
  // the log; empty when it changed nothing worth saying. Taking it clears it.
  std::string TakeNote() { return std::exchange(m_note, {}); }

  // Changes one value of the device's state, chosen with `random`, as a
  // person at its front panel would; nothing for a device with no state.
  virtual std::optional<FrontPanelChange> ChangeAtFrontPanel(std::mt19937& random);

 protected:
  // Families call this from OnFrame / OnText; several notes are joined.
  void Note(const std::string& text) { m_note += m_note.empty() ? text : "; " + text; }

 private:
  DeviceConfig m_config;
  std::string m_note;
};

// Builds the device for a config: the family class for its type byte.
std::unique_ptr<SimDevice> MakeDevice(const DeviceConfig& config);

struct SimConfig {
  std::vector<DeviceConfig> devices;
  std::string hub_address = "127.255.255.255";  // where discovery queries arrive
  uint16_t port = 7000;                          // the devices' port
  bool serial = false;                           // open a pseudo-terminal
  int serial_device = 0;                         // which device answers on it
  std::string serial_link;                       // symlink to the pty's path
  FILE* log = stdout;                            // JSON lines; nullptr for none
  bool keep_log_lines = true;  // also keep every line for LogLines (tests read them)
  // Every this many milliseconds each device changes one value at its front
  // panel (0: never). Each device's first change comes at a moment of its
  // own within the first period, so many devices do not change at once.
  uint32_t front_panel_ms = 0;
  uint32_t seed = 1;  // seeds the front-panel changes: the same seed, the same changes
};

// The first address the devices of CountedDevices take when no pattern
// names one.
inline constexpr const char* kFirstCountedAddress = "127.0.1.1";
// `count` devices made from `patterns` taken in turn (type, id, faults,
// name with the device's number added: "Multiviewer16.12"), on consecutive
// addresses from `first_address`, leaving out every address that ends in .0
// or .255. False (with `error`) when the addresses run out of 127.0.0.0/8
// or `first_address` is not an IPv4 address.
bool CountedDevices(const std::vector<DeviceConfig>& patterns, int count,
                    const std::string& first_address, std::vector<DeviceConfig>* devices,
                    std::string* error);

// The four families on 127.0.0.2 to 127.0.0.5.
std::vector<DeviceConfig> DefaultDevices();
// A whole decimal, hex (0x) or octal number within [min, max]; false for
// anything else.
bool ParseNumber(const std::string& text, long min, long max, long* out);
// Parses "type=0xA1,id=1,name=Studio1,addr=127.0.0.2[,silent][,delay=MS]
// [,truncate=N][,repeat=N][,garbage=N][,flood=PER_SECOND:MS][,from=ADDR]
// [,signals=1101]". False (with `error`) for anything malformed.
bool ParseDeviceSpec(const std::string& spec, DeviceConfig* config, std::string* error);

class DeviceSim {
 public:
  explicit DeviceSim(SimConfig config);
  ~DeviceSim();
  DeviceSim(const DeviceSim&) = delete;
  DeviceSim& operator=(const DeviceSim&) = delete;

  // Binds the sockets and opens the pseudo-terminal. False with a message.
  bool Start(std::string* error);
  // Serves until `stop_fd` becomes readable (an eventfd or a pipe).
  void Run(int stop_fd);
  // Path of the serial side (the pty's slave), once started with serial on.
  const std::string& SerialPath() const { return m_serial_path; }
  // Every JSON line logged so far (also kept when the log file is null),
  // unless the config asks not to keep them (a long run would grow for ever).
  std::vector<std::string> LogLines() const;
  // Waits up to `timeout_ms` for a kept log line that `match` accepts (one
  // logged earlier counts too) and returns it; nothing when none came.
  std::optional<std::string> WaitForLogLine(const std::function<bool(const std::string&)>& match,
                                            int timeout_ms) const;
  SimDevice& Device(size_t index) { return *m_devices[index].device; }
  size_t DeviceCount() const { return m_devices.size(); }

 private:
  struct Flood {
    int fd = -1;
    sockaddr_in to{};
    uint32_t start = 0;
    uint64_t sent = 0;
  };
  struct Running {
    std::unique_ptr<SimDevice> device;
    int fd = -1;
    sockaddr_in bound{};  // the address and port the socket took
    int answer_fd = -1;   // the socket answers leave from (fd, or one on answer_from)
    Flood flood;          // a flood in progress (fd >= 0)
    std::mt19937 random;  // the device's own front-panel choices
    uint32_t next_change = 0;  // tick of its next front-panel change
  };
  struct Pending {
    uint32_t due;
    int fd;  // -1: the serial line
    sockaddr_in to;
    Bytes bytes;
  };

  // True when a datagram comes from one of the devices' own sockets. Devices
  // never answer each other or themselves: a discovery reply that reached
  // the hub or a device (a panel sharing the devices' port) would otherwise
  // be answered back and forth for ever.
  bool FromADevice(const sockaddr_in& from) const;
  void OnHubDatagram();
  void OnDeviceDatagram(size_t index);
  void OnSerialBytes();
  void HandleSerialBuffer();
  void Answer(const SimDevice& device, int fd, const sockaddr_in& to, const std::vector<Bytes>& answers);
  void SendPending(const Pending& pending);
  // Junk datagrams: the seeded generator makes the same ones every run.
  Bytes Junk();
  // Sends what each flood owes by now and ends floods whose time is over.
  void RunFloods();
  // Makes the front-panel changes that are due and logs each.
  void RunFrontPanels();
  int NextTimeoutMs() const;
  void Log(const SimDevice* device, const char* link, const sockaddr_in* from,
           std::span<const uint8_t> bytes, bool is_text);
  // One line with the device's note, when it has one.
  void LogNote(SimDevice& device);
  void WriteLogLine(const std::string& line);

  SimConfig m_config;
  std::vector<Running> m_devices;
  int m_hub_fd = -1;
  int m_pty_master = -1;
  int m_pty_keep_slave = -1;
  std::string m_serial_path;
  Bytes m_serial_buffer;
  std::vector<Pending> m_pending;
  uint32_t m_start_tick = 0;
  uint32_t m_junk_seed = 0x2545F491;
  mutable std::mutex m_log_mutex;
  mutable std::condition_variable m_log_grew;
  std::vector<std::string> m_log_lines;
};

}  // namespace zv::sim
