// The link worker: one thread that owns the device link (the UDP sockets and
// the serial port) and runs the panels' requests on it one after another.
// Requests for one device run in the order they were made. The pauses and
// windows that pace the devices (the 10 ms after each command, the
// read-back windows, the 2 s search) are kept exactly; they are waited here,
// on the worker's descriptors, never on the thread that paints the window.
// A device's pause holds back only that device: while it lasts, a request
// for another network device made later may run first. A request that is
// not for one network device (a search, the serial line) runs only after
// every request made before it, and none made after it passes it.
//
// A request is a job that runs against the worker's own link state, aimed at
// the device the request was made for (a snapshot taken when it was made).
// What a job finds is handed back as a continuation that runs on the
// caller's thread, through the `deliver` function the caller supplies (the
// window hands it to its event loop; tests may run it in place).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/link_state.h"

namespace zv {

// Whom a request is for: the chosen device and how it is reached, as they
// were when the request was made.
struct LinkTarget {
  DeviceEntry device{};
  bool chosen = false;  // a device was chosen (the index was not negative)
  int32_t mode = kModeNetwork;
};

class LinkWorker {
 public:
  // Runs on the worker with the link aimed at the request's target; returns
  // what is to run on the caller's side afterwards (may be empty).
  using Job = std::function<std::function<void()>(LinkState& link)>;
  // Hands a continuation to the caller's thread.
  using Deliver = std::function<void(std::function<void()>)>;

  // The worker works on `serial_port`, which its owner keeps; from now on
  // only the worker opens, closes, reads and writes it.
  LinkWorker(const LinkConfig& config, Deliver deliver, CnComm& serial_port);
  // Cancels what is queued and running and joins the thread.
  ~LinkWorker();
  LinkWorker(const LinkWorker&) = delete;
  LinkWorker& operator=(const LinkWorker&) = delete;

  // Queues a job behind every earlier one. Its continuation runs unless the
  // request is cancelled first.
  //
  // A `background` job (a reading to follow a device, a presence search)
  // gives way: jobs that are not run before it, and when one is queued
  // while it runs, its wait ends at once (LinkState::CancelRequested() is
  // true for it from then on) and it hands back what it has, so a command
  // never waits behind a background window.
  void Submit(const LinkTarget& target, Job job, bool background = false);
  // Drops every queued job, interrupts the wait of the running one (it ends
  // at once, as if its window had passed) and drops the continuations of all
  // requests made so far, delivered or not yet run.
  void CancelAll();
  // Drops the queued requests aimed at the serial line and interrupts the
  // running one when it is aimed there too (a write waiting for a line that
  // takes no bytes gives up at once and reports its own failure). Requests
  // for the network and the results of what ran already are kept. Returns
  // how many serial requests were dropped or interrupted. Called before the
  // port closes, so that the close is not queued behind writes that would
  // each wait out their time-out.
  int DropSerialRequests();

  // True when nothing is queued, nothing runs and every continuation has
  // been handed over and run (or dropped).
  bool Idle() const;
  // The worker's own link configuration (ports, search address).
  const LinkConfig& Config() const { return m_link.m_link_config; }

  // Read-only looks at the serial port the worker owns; safe from any thread.
  bool SerialPortOpen() const { return m_link.m_serial_port.IsOpen(); }
  bool SerialLineLost() const { return m_link.m_serial_port.LineLost(); }

 private:
  struct Request {
    uint64_t generation;
    LinkTarget target;
    Job job;
    bool background = false;
    // The device's address when the request is for one network device
    // (network byte order); 0 for a search, the serial line or no device.
    uint32_t paced = 0;
  };
  void Run();
  void Aim(const LinkTarget& target);
  // The next request to run (the mutex held, on the worker): foreground
  // before background, in order per device, skipping devices still owed
  // their pause. End when none may run yet; *wake_at is then when the
  // first pause ends (unchanged when no pause holds one back).
  std::deque<Request>::iterator NextRunnable(LinkState::PaceClock::time_point* wake_at);

  // The worker's own link state; only the worker thread touches it (the
  // serial port's open flag and line state are atomic).
  LinkState m_link;
  Deliver m_deliver;

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Request> m_queue;
  bool m_running_job = false;
  bool m_running_background = false;
  int32_t m_running_mode = kModeNetwork;
  bool m_stop = false;
  // Shared with the continuations handed over, which may outlive the worker
  // in the caller's event queue.
  struct Shared {
    std::atomic<uint64_t> generation{0};
    std::atomic<int> in_flight{0};  // handed over, not yet run or dropped
  };
  std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
  // Written by CancelAll and DropSerialRequests; the running job's waits,
  // and the serial port's writes, watch it.
  int m_cancel_fd = -1;
  std::thread m_thread;
};

}  // namespace zv
