// A device link whose requests run in place, on the test's own link state:
// a session's job runs at once and its continuation right after it, so a
// test drives a session's real path (its jobs, its record) without a
// worker thread. Statuses are kept for the test to read.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "link/device_link.h"
#include "link/link_state.h"

namespace zv::test {

class InlineLink : public DeviceLink {
 public:
  // `link` must already be aimed at the device.
  explicit InlineLink(LinkState& link, std::string name = "MV")
      : DeviceLink(link.ChosenDevice()), m_link(link), m_name(std::move(name)) {}

  LinkTarget Target() const override { return {m_device, true, m_link.m_eState}; }
  std::string DeviceName() const override { return m_name; }
  int32_t Mode() const override { return m_link.m_eState; }
  void SetMode(int32_t mode) override { m_link.m_eState = mode; }
  void Request(const std::string&, LinkWorker::Job job) override {
    if (std::function<void()> then = job(m_link)) then();
  }
  bool SerialPortOpen() const override { return m_link.m_serial_port.IsOpen(); }
  bool SerialLineLost() const override { return false; }
  void OpenSerialPort(const std::string&, uint32_t, std::function<void(bool)> done) override { done(false); }
  void CloseSerialPort(std::function<void()> done) override { done(); }
  std::string SerialPortName() const override { return {}; }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override { done(false); }
  void ShowStatus(const std::string& text, bool error) override { statuses.emplace_back(text, error); }

  std::vector<std::pair<std::string, bool>> statuses;

 private:
  LinkState& m_link;
  std::string m_name;
};

}  // namespace zv::test
