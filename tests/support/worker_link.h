// Sessions on a real link worker, as the program runs them: one worker
// thread paces every frame (the 10 ms after each command) and hands each
// request's continuation to a SessionLoop, which the test runs until what it
// waits for has happened.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "link/device_link.h"
#include "link/link_state.h"
#include "link/link_worker.h"
#include "session/session_loop.h"

namespace zv::test {

class WorkerLink : public DeviceLink {
 public:
  WorkerLink(const DeviceEntry& device, LinkWorker& worker, std::string name = "device")
      : DeviceLink(device), m_worker(worker), m_name(std::move(name)) {}
  LinkTarget Target() const override { return {m_device, true, kModeNetwork}; }
  std::string DeviceName() const override { return m_name; }
  int32_t Mode() const override { return kModeNetwork; }
  void SetMode(int32_t) override {}
  void Request(const std::string&, LinkWorker::Job job) override {
    // Every request hands something back, so the loop wakes when it ends.
    m_worker.Submit(Target(), [job = std::move(job)](LinkState& link) -> std::function<void()> {
      std::function<void()> then = job(link);
      return [then] {
        if (then) then();
      };
    });
  }
  bool SerialPortOpen() const override { return false; }
  bool SerialLineLost() const override { return false; }
  void OpenSerialPort(const std::string&, uint32_t, std::function<void(bool)> done) override { done(false); }
  void CloseSerialPort(std::function<void()> done) override { done(); }
  std::string SerialPortName() const override { return {}; }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override { done(false); }
  void ShowStatus(const std::string& text, bool error) override {
    if (error) errors.push_back(text);
  }
  std::vector<std::string> errors;

 private:
  LinkWorker& m_worker;
  std::string m_name;
};

// A device entry for a virtual device at `address`.
inline DeviceEntry SimEntry(const char* address, uint8_t type, uint8_t id = 1) {
  DeviceEntry e;
  e.SetIpText(address);
  e.device_type = type;
  e.device_id = id;
  return e;
}

// The worker and the loop its answers come back to, aimed at virtual
// devices on `port`.
struct WorkerBench {
  explicit WorkerBench(uint16_t port) {
    config.device_port = port;
    config.local_port = 0;
    config.search_address = "127.0.0.1";
    worker = std::make_unique<LinkWorker>(config, [this](std::function<void()> then) { loop.Post(std::move(then)); },
                                          serial);
  }
  ~WorkerBench() { worker.reset(); }
  // Runs the loop until `done` holds and the worker has nothing left.
  bool Settle(const std::function<bool()>& done = [] { return true; },
              std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return loop.RunUntil([&] { return worker->Idle() && done(); }, limit);
  }
  LinkConfig config;
  CnComm serial;
  SessionLoop loop;
  std::unique_ptr<LinkWorker> worker;
};

}  // namespace zv::test
