// OSC over UDP with liblo. The listener reads datagrams on its own thread
// from its own socket, drops those from sources outside its allow-list
// before any byte of them is parsed, has liblo decode the rest and hands
// the messages to its owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "service/access_limits.h"
#include "service/action_request.h"

namespace zv {

class OscListener {
 public:
  // Runs on the listener's own thread; the owner posts the work to its own thread.
  using Handler = std::function<void(uint32_t from_address_host_order, std::string path, std::vector<OscArg> args)>;
  OscListener() = default;
  OscListener(const OscListener&) = delete;
  OscListener& operator=(const OscListener&) = delete;
  ~OscListener();  // stops and joins
  // Binds UDP `port` on `bind_address` (default 0.0.0.0); messages whose source is outside `allow`
  // are dropped and counted, never handed on. False with *error when the port cannot be bound.
  // A message with an argument of another OSC type than int32, float or string is dropped
  // and counted in Refused().
  bool Start(uint16_t port, CidrList allow, Handler handler, std::string* error,
             const std::string& bind_address = "0.0.0.0");
  void Stop();
  uint64_t Dropped() const;  // refused sources
  uint64_t Refused() const;  // allowed sources whose message had arguments of another type
  uint16_t Port() const;     // the bound port (port 0 picks one)

  // Datagrams larger than this are dropped (counted in Refused()).
  static constexpr size_t kMaxDatagram = 8192;

 private:
  void Run();
  void Take(const uint8_t* data, size_t size, uint32_t from);

  int m_socket = -1;
  int m_wake[2] = {-1, -1};  // a pipe that ends the thread's wait
  uint16_t m_port = 0;
  CidrList m_allow = CidrList::Loopback();
  Handler m_handler;
  std::thread m_thread;
  std::atomic<uint64_t> m_dropped{0}, m_refused{0};
};

}  // namespace zv
