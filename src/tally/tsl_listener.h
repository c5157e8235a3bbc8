// TSL UMD in: one port number, UDP (3.1 and 5.0 told apart by their shape)
// and TCP (5.0 in DLE/STX form). The listener works on its own thread,
// drops every datagram and connection whose source is outside its
// allow-list before it looks at a byte, decodes the rest, counts what it
// refuses by fault and hands the packets to its owner.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "service/access_limits.h"
#include "tally/tsl_umd.h"

namespace zv {

class TslListener {
 public:
  // Runs on the listener's thread; the owner posts the work to its own.
  using Handler = std::function<void(uint32_t from_address_host_order, TslDatagram datagram)>;

  TslListener() = default;
  TslListener(const TslListener&) = delete;
  TslListener& operator=(const TslListener&) = delete;
  ~TslListener();  // stops and joins

  // Binds UDP and TCP `port` on `bind_address`; port 0 lets the system
  // choose (the TCP port then takes the UDP port's number). False with
  // *error when either cannot be bound.
  bool Start(uint16_t port, CidrList allow, Handler handler, std::string* error,
             const std::string& bind_address = "0.0.0.0");
  void Stop();
  uint16_t Port() const { return m_port; }

  // Datagrams and connections from sources outside the allow-list.
  uint64_t Dropped() const { return m_dropped.load(); }
  // Packets from allowed sources refused, by fault and in all.
  uint64_t Refused(TslFault fault) const { return m_refused[static_cast<size_t>(fault)].load(); }
  uint64_t RefusedTotal() const;
  // Packets handed on.
  uint64_t Taken() const { return m_taken.load(); }
  // Connections closed to make room for a newer one.
  uint64_t Evicted() const { return m_evicted.load(); }

  // At most this many TCP clients at once; a new one replaces the one that
  // has been quiet longest.
  static constexpr size_t kMaxClients = 16;
  // A datagram larger than the largest packet in DLE/STX form is refused.
  static constexpr size_t kMaxDatagram = 2 + 2 * kTsl50MaxPacket;

 private:
  struct Client {
    int fd = -1;
    uint32_t address = 0;
    uint16_t port = 0;
    uint64_t last_active = 0;
    Tsl50StreamReader reader;
  };
  void Run();
  void OnDatagram(std::vector<uint8_t>& buffer);
  void OnAccept(uint64_t now);
  // False when the client is gone.
  bool OnClientBytes(Client& client, std::vector<uint8_t>& buffer, uint64_t now);
  void Refuse(TslFault fault) { ++m_refused[static_cast<size_t>(fault)]; }

  int m_udp = -1;
  int m_tcp = -1;
  int m_wake[2] = {-1, -1};
  uint16_t m_port = 0;
  CidrList m_allow = CidrList::Loopback();
  Handler m_handler;
  std::array<Client, kMaxClients> m_clients{};
  std::thread m_thread;
  std::atomic<uint64_t> m_dropped{0}, m_taken{0}, m_evicted{0};
  std::array<std::atomic<uint64_t>, static_cast<size_t>(TslFault::kCount)> m_refused{};
};

}  // namespace zv
