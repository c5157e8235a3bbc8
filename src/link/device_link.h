// The one door through which a device panel and its pages reach their
// device: the device the panel was opened for, the connection mode, and the
// link worker's requests. A panel gets it when it is created and needs
// nothing else of the window that holds it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/link_worker.h"

namespace zv {

class DeviceLink {
 public:
  virtual ~DeviceLink() = default;

  // The device the panel was opened for and how it is reached now.
  virtual LinkTarget Target() const = 0;
  const DeviceEntry& Device() const { return m_device; }
  // The device's line in the device list ("MV16_10.0.0.2"), for messages.
  virtual std::string DeviceName() const = 0;
  // The connection mode (network or serial); the matrix connection page
  // changes it.
  virtual int32_t Mode() const = 0;
  virtual void SetMode(int32_t mode) = 0;

  // Queues work for the device. `status` (when not empty) goes to the status
  // strip ("Reading MV16_10.0.0.2"); the job runs on the link worker and
  // returns what is to run here afterwards. Nothing runs here once the panel
  // is gone.
  virtual void Request(const std::string& status, LinkWorker::Job job) = 0;
  // As Request, for a reading nobody waits for (following the device): it
  // gives way to commands (LinkWorker::Submit's `background`) and says
  // nothing in the status strip.
  virtual void RequestInBackground(LinkWorker::Job job) { Request("", std::move(job)); }
  // A command the device does not answer: `send` puts its frames on the
  // wire and says whether every one left. Once it ran, the status strip
  // says "Sent: <what> to <device>", or in red "Not sent: <what> to
  // <device>" when a frame did not leave; `done` (when given) then runs
  // here with the same answer.
  void Command(const std::string& what, std::function<bool(LinkState& link)> send,
               std::function<void(bool sent)> done = {}) {
    Request("", [this, what, send = std::move(send), done = std::move(done)](
                    LinkState& link) -> std::function<void()> {
      const bool sent = send(link);
      return [this, what, sent, done] {
        ShowStatus((sent ? "Sent: " : "Not sent: ") + what + " to " + DeviceName(), !sent);
        if (done) done(sent);
      };
    });
  }

  // The serial port, owned by the link worker.
  virtual bool SerialPortOpen() const = 0;
  virtual bool SerialLineLost() const = 0;
  // Opens (an open port is closed first) or closes the port on the worker;
  // `done` runs here with whether the port is open afterwards.
  virtual void OpenSerialPort(const std::string& name, uint32_t baud,
                              std::function<void(bool open)> done) = 0;
  virtual void CloseSerialPort(std::function<void()> done) = 0;
  // The port the worker opened last ("/dev/ttyUSB0"), for the port list.
  virtual std::string SerialPortName() const = 0;
  // Closes the port when its line was lost; `done` runs here with whether
  // this call closed it (only one watcher tells the operator).
  virtual void CloseSerialPortIfLineLost(std::function<void(bool closed)> done) = 0;

  // One line in the window's status strip; errors stay until the next action.
  virtual void ShowStatus(const std::string& text, bool error = false) = 0;

  // `handler` runs here, with how many, when requests made through this door
  // are dropped before they ran to the end (the serial port was closed under
  // them); nothing else of theirs runs. A panel that shows ahead of its
  // device takes back what they would have done.
  void OnRequestsDropped(std::function<void(int count)> handler) {
    m_requests_dropped = std::move(handler);
  }
  void RequestsDropped(int count) const {
    if (m_requests_dropped) m_requests_dropped(count);
  }

 protected:
  explicit DeviceLink(const DeviceEntry& device) : m_device(device) {}
  DeviceEntry m_device;
  std::function<void(int count)> m_requests_dropped;
};

}  // namespace zv
