// A door to one device for a program with no window (zvctl, zvd): requests
// go straight to a link worker, and status lines to a sink of the owner's
// (standard error, a count of failures, nothing). The serial port is the
// worker's as it was opened; this door neither opens nor closes it.
#pragma once

#include <functional>
#include <string>

#include "link/device_link.h"

namespace zv {

class WorkerDeviceLink : public DeviceLink {
 public:
  using StatusSink = std::function<void(const std::string& text, bool error)>;
  WorkerDeviceLink(const DeviceEntry& device, std::string name, int32_t mode, LinkWorker& worker,
                   StatusSink status = {})
      : DeviceLink(device), m_name(std::move(name)), m_mode(mode), m_worker(worker), m_status(std::move(status)) {}

  LinkTarget Target() const override { return {m_device, true, m_mode}; }
  std::string DeviceName() const override { return m_name; }
  int32_t Mode() const override { return m_mode; }
  void SetMode(int32_t mode) override { m_mode = mode; }
  void Request(const std::string&, LinkWorker::Job job) override {
    // Every request hands something back, so a loop waiting for the
    // worker wakes when it ends.
    m_worker.Submit(Target(), [job = std::move(job)](LinkState& link) -> std::function<void()> {
      std::function<void()> then = job(link);
      return [then] {
        if (then) then();
      };
    });
  }
  bool SerialPortOpen() const override { return m_worker.SerialPortOpen(); }
  bool SerialLineLost() const override { return m_worker.SerialLineLost(); }
  void OpenSerialPort(const std::string&, uint32_t, std::function<void(bool)> done) override { done(false); }
  void CloseSerialPort(std::function<void()> done) override { done(); }
  std::string SerialPortName() const override { return {}; }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override { done(false); }
  void ShowStatus(const std::string& text, bool error) override {
    if (m_status) m_status(text, error);
  }

 private:
  std::string m_name;
  int32_t m_mode;
  LinkWorker& m_worker;
  StatusSink m_status;
};

}  // namespace zv
