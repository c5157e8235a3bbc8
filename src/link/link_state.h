// The link half of the main window's shared state: the device list, the
// connection mode, the one UDP socket with its destination, and the serial
// receive buffer, with the UDP operations that work on them. The main window
// derives from this (through CZELVIKState), so tests can build the state and
// drive the link without a window.
#pragma once

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/command_frame.h"
#include "link/device_entry.h"
#include "link/serial_port.h"

namespace zv {

// Where datagrams go and which local port they leave from. The defaults are
// the devices' own; tests and the command line override them (local port 0,
// a loopback search address, the simulator's port).
struct LinkConfig {
  static constexpr uint16_t kDefaultDevicePort = 7000;
  static constexpr uint16_t kDefaultLocalPort = 7000;
  static constexpr const char* kDefaultSearchAddress = "255.255.255.255";

  uint16_t device_port = kDefaultDevicePort;
  uint16_t local_port = kDefaultLocalPort;
  std::string search_address = kDefaultSearchAddress;
  // Set when the operator named no destination for the search: the query
  // then also goes to the directed broadcast of every interface that is up,
  // since the limited broadcast leaves by one interface only. A config that
  // names its destination (--search-address, and every loopback config of
  // the tests) leaves it false and queries that destination alone.
  bool search_every_interface = false;
  // Set when the operator named this machine (127.0.0.1): the query then
  // also goes to the loopback broadcast, where the virtual devices of
  // zv_device_sim listen, so "search only this machine" finds them.
  bool search_loopback_broadcast = false;
  // The most devices a network search lists; those that answer past it are
  // counted, not listed.
  int device_list_cap = kDefaultDeviceListCap;
};

// The loopback broadcast: zv_device_sim's discovery socket listens here.
inline constexpr const char* kLoopbackBroadcast = "127.255.255.255";
// A search aimed at `address` as the operator typed it: that address alone,
// and the loopback broadcast too when it is an address of this machine.
// False when `address` is not a dotted quad.
bool AimSearchAt(const std::string& address, LinkConfig* config);
// How long a search that found nothing listens for virtual devices on the
// loopback broadcast before it says how to reach them.
inline constexpr uint32_t kLoopbackProbeWindowMs = 250;

// Windows and buffers of the UDP receivers.
inline constexpr uint32_t kSearchWindowMs = 2000;
inline constexpr size_t kSearchReplyBufferSize = 128;
inline constexpr uint32_t kSearchPauseAfterDatagramMs = 50;
// The receive buffer the scan socket asks for.
inline constexpr int kScanReceiveBufferBytes = 4 << 20;
inline constexpr uint32_t kCommandPauseMs = 10;
inline constexpr uint32_t kMatrixCommandPauseMs = 20;
inline constexpr size_t kSerialRxBufferSize = 1024;
inline constexpr uint32_t kSerialSearchWindowMs = 2000;
// The serial search reads the waiting bytes in pieces of at most this size.
inline constexpr uint32_t kSerialReadChunk = 256;
inline constexpr const char* kNoDeviceFoundText = "No Device Found";

enum ConnectionMode : int32_t { kModeNetwork = 0, kModeSerial = 1 };

// A received datagram: its bytes and where it came from.
struct Datagram {
  std::vector<uint8_t> bytes;
  sockaddr_in from{};
};
using ReplyTest = std::function<bool(std::span<const uint8_t> reply, const sockaddr_in& from)>;

class LinkState {
 public:
  LinkState();
  // A link that works on a port owned elsewhere (the link worker works on
  // the main window's one port).
  explicit LinkState(CnComm& serial_port);
  virtual ~LinkState();
  LinkState(const LinkState&) = delete;
  LinkState& operator=(const LinkState&) = delete;

  // ---- shared members, named as the program names them ------------------
  int32_t m_eState = kModeNetwork;
  int m_device_index = -1;
  // The devices the last search found, in the order they answered (a
  // serial search: the one device on the line).
  std::vector<DeviceEntry> m_device_list;
  // Devices that answered the last network search but found the list full.
  int m_search_left_out = 0;
  int m_udpSockfd = -1;
  sockaddr_in m_udp_dest_addr{};
  uint8_t m_main_com_dev_type = 0;
  std::u16string m_serial_device_name;
  // The device that last named itself on the serial line: the type and id
  // of its reply, and no network address.
  DeviceEntry m_serial_device{};
  uint8_t m_serial_rx_buffer[kSerialRxBufferSize] = {};
  int32_t m_serial_rx_count = 0;

 private:
  CnComm m_own_serial_port;
  // Devices still owed their pause: address and when it ends. Entries whose
  // time has passed are dropped as new ones come, so it holds at most the
  // devices sent to in the last pause.
  std::vector<std::pair<uint32_t, std::chrono::steady_clock::time_point>> m_paced;

 public:
  // The one serial port: this state's own, or the one it was given.
  CnComm& m_serial_port;

  LinkConfig m_link_config;

  // Set on the link worker's own state: readable when the running request is
  // cancelled. Every wait below watches it and ends at once when it fires.
  int m_cancel_fd = -1;
  bool CancelRequested() const;
  // Pauses between frames; a cancel ends the pause early.
  void PauseMs(uint32_t ms) const;
  // Waits until `until`; false when a cancel ended the wait first.
  bool PauseUntil(std::chrono::steady_clock::time_point until) const;

  // ---- pacing -----------------------------------------------------------------
  // A device is given its pause after each frame (10 ms, the router 20 ms)
  // before the next frame to it; other devices need not wait for it. The
  // link keeps, per device address, when that device may next be sent to.
  using PaceClock = std::chrono::steady_clock;
  // When the device at `address` (network byte order) may next be sent a
  // frame; a time already past (or the clock's epoch) when it may now.
  PaceClock::time_point QuietUntil(uint32_t address) const;
  // Waits for the device's turn; false when a cancel ended the wait (the
  // frame is then not to be sent).
  bool WaitTurn(uint32_t address) const;
  // Notes a frame just sent to the device and the pause it is owed.
  void NotePaced(uint32_t address, uint32_t pause_ms);
  // Waits (without giving way to a cancel) until every device has had its
  // pause: a link that goes leaves the devices as a paused one did.
  void SettleAll();

  // The chosen device: the entry at m_device_index in either mode; a zeroed
  // entry when the index is negative or past the list, so no sender reads
  // outside it.
  const DeviceEntry& ChosenDevice() const;
  // The chosen device's IPv4 address; nothing when no device is chosen or its
  // entry holds no address (a device found on the serial line).
  std::optional<in_addr> ChosenDeviceAddress() const;

  // ---- UDP link -------------------------------------------------------------
  // Nothing to start for sockets on this platform.
  int StartWinsock();
  // Broadcast socket for the network search, aimed at the search address.
  int OpenScanSocket();
  // Socket aimed at the chosen device. With no device chosen the operator is
  // told "Please choose a device" and no socket stays open.
  int OpenCommandSocket();
  int CloseUdpSocket();
  // Opens, waits for the device's turn, sends one datagram, closes; the
  // device is owed `pause_ms` before its next frame (pacing bursts of
  // commands), which another device does not wait for. Returns true when
  // the whole datagram left (false, sending nothing, when a cancel ended the
  // wait for the device's turn).
  bool SendAndClose(std::span<const uint8_t> frame, uint32_t pause_ms = kCommandPauseMs);
  // Builds a frame for the chosen device with the UDP link flag and sends it.
  // Returns true when the whole frame left.
  bool SendCommand(uint8_t command, std::span<const uint8_t> params = {});
  // Sends the request to the chosen device and waits up to `window_ms` for the
  // first datagram that passes `test`; others are skipped. Waits on the
  // socket, not by spinning. The request waits for the device's turn first
  // (see SendAndClose); the window starts when it is sent, or with
  // `window_after_pause` after the pause that follows it. Returns nothing
  // (with the trace "wait time over") when the window passes.
  std::optional<Datagram> ReceiveWithTimeout(std::span<const uint8_t> request,
                                             size_t reply_buffer_size, uint32_t window_ms,
                                             const ReplyTest& test,
                                             uint32_t pause_after_send_ms = 0,
                                             bool window_after_pause = false);
  // Waits up to `wait_ms` for one datagram on m_udpSockfd. Returns 1 with the
  // datagram, 0 when none came, -1 when one came but did not fit the buffer
  // (it is dropped). The sender's address also lands in m_udp_dest_addr.
  int ReceiveDatagram(size_t buffer_size, uint32_t wait_ms, Datagram* out);
  // Sends a datagram on the open socket to m_udp_dest_addr.
  bool SendDatagram(std::span<const uint8_t> bytes);
  // Sends a datagram on the open socket to `destination`.
  bool SendDatagramTo(std::span<const uint8_t> bytes, const sockaddr_in& destination);
  // Writes a frame (or a router's text) to the serial port; returns the
  // bytes the line took.
  uint32_t WriteSerial(const void* bytes, uint32_t count);
  // Told of every datagram and serial write this link sends, with whether
  // all of it left. Set by the device hub only while a job it follows runs
  // (the frames an action sent), on the worker's own link; empty otherwise.
  std::function<void(std::span<const uint8_t> bytes, bool whole)> m_sent_hook;

  // ---- device search ----------------------------------------------------------
  // The network search without the window. It starts from no chosen device,
  // no open socket and an empty list. It then broadcasts the discovery query
  // and for the search window turns every reply into an entry of
  // m_device_list and a combo line "name_address" in `lines`, in the order
  // the replies came. With `search_every_interface` the query goes to the
  // search address and to every interface's directed broadcast. Each device
  // is listed once: a device that answers again (reached by several
  // queries, or answering twice) is skipped by its sender, type and id.
  // Past the configured cap a device is counted in m_search_left_out
  // instead. Returns the number listed, or -1 when the scan socket could not
  // be prepared (the operator has been told). The socket is closed again
  // before it returns.
  int SearchNetworkDevices(std::vector<std::string>* lines);
  // The serial search without the window: writes the discovery query to the
  // open port and waits up to the search window for the device to name
  // itself. The device that answers becomes the one entry of m_device_list (the
  // type and id of its reply, no address) and m_device_index 0, so every
  // frame to it carries its own identity; without an answer m_device_index
  // is -1. Returns false when the port is not open (the operator has been
  // told). `query_written` (when given) says whether the line took the whole
  // query; without it nobody was asked and nothing is waited for.
  bool SearchSerialDevice(bool* query_written = nullptr);
  // True when a search sends a query to the loopback broadcast on the
  // device port (the operator's address, or an address of this machine).
  bool SearchAsksLoopbackBroadcast() const;
  // Sends the discovery query to the loopback broadcast on the device port
  // and says whether a device answered within `window_ms`: a search that
  // found nothing asks this to tell the operator that virtual devices are
  // running and how to reach them. The socket is closed again before it
  // returns.
  bool LoopbackDevicesAnswer(uint32_t window_ms);
  // Called by the network search for each device as it is listed (with its
  // entry and line) or left out (no entry), with the count left out so far.
  std::function<void(const DeviceEntry* entry, const std::string& line, int left_out)> m_search_progress;
  // Reads and discards every byte waiting on the serial port.
  void FlushSerialInput();

  // ---- serial receive buffer ---------------------------------------------------
  // Scans m_serial_rx_buffer; stores the type byte of every candidate in
  // m_main_com_dev_type, and the last name in m_serial_device_name with the
  // type and id of its reply in m_serial_device. A complete
  // multiviewer state frame goes to the state-frame handler. Returns the
  // count; `found` (when given) says what kind of frame it counted.
  int ParseSerialReply(SerialScan::Found* found = nullptr);
  // The multiviewer plugs its reply decoder in here.
  std::function<void(std::span<const uint8_t> frame)> m_state_frame_handler;
  // Appends received serial bytes; a buffer that would overflow is cleared first.
  void AppendSerialBytes(std::span<const uint8_t> bytes);
  void ClearSerialBuffer();

 private:
  // A new socket in m_udpSockfd and a cleared destination; 0 on failure.
  int CreateUdpSocket();
  int BindAndSetNonBlocking(const char* failure_trace);
};

// How a serial group (port list, baud list, connect button, link icon) and
// the address beside it show the connection mode and the port: the lists
// take a choice in serial mode while the port is closed, connect is offered
// in serial mode, the address in network mode, and the link shows connected
// while the port is open.
struct SerialGroupLook {
  bool lists_enabled = false;
  bool connect_enabled = false;
  bool address_enabled = false;
  bool connected = false;
};
SerialGroupLook SerialGroupFor(int32_t mode, bool port_open);

// "a.b.c.d".
std::string DottedQuad(const std::array<uint8_t, 4>& ip);
// Why a device cannot take `ip` as its own address, as the notice to show
// the operator; empty when it can. `fields_filled` counts the address
// fields that hold a number (none: nothing was typed). A device needs an
// address of its own on a network: not 0.x.x.x, loopback, multicast,
// broadcast or reserved.
std::string DeviceAddressProblem(const std::array<uint8_t, 4>& ip, int fields_filled);

// Dotted quad of an IPv4 socket address.
std::string AddressText(const sockaddr_in& address);
// Strict dotted quad ("a.b.c.d", each 0 to 255); false for anything else.
bool ParseIpv4Address(const std::string& text, std::array<uint8_t, 4>* octets);

}  // namespace zv
