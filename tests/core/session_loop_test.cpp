// A device session on a loop of its own, as zvctl runs one: its timed
// action (the switcher's Auto) ticks on the loop, its frames go through the
// link worker, and the loop ends once the transition has ended and every
// frame has left.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/link_worker.h"
#include "registry/families.h"
#include "session/session_loop.h"
#include "support/loopback_link.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

class LoopLink : public DeviceLink {
 public:
  LoopLink(const DeviceEntry& device, LinkWorker& worker) : DeviceLink(device), m_worker(worker) {}
  LinkTarget Target() const override { return {m_device, true, kModeNetwork}; }
  std::string DeviceName() const override { return "PS"; }
  int32_t Mode() const override { return kModeNetwork; }
  void SetMode(int32_t) override {}
  void Request(const std::string&, LinkWorker::Job job) override { m_worker.Submit(Target(), std::move(job)); }
  bool SerialPortOpen() const override { return false; }
  bool SerialLineLost() const override { return false; }
  void OpenSerialPort(const std::string&, uint32_t, std::function<void(bool)> done) override { done(false); }
  void CloseSerialPort(std::function<void()> done) override { done(); }
  std::string SerialPortName() const override { return {}; }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override { done(false); }
  void ShowStatus(const std::string& text, bool) override { statuses.push_back(text); }
  std::vector<std::string> statuses;

 private:
  LinkWorker& m_worker;
};

TEST(SessionLoopTest, AnAutoRunsToItsEndOnTheLoopAndEveryFrameLeaves) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  CnComm port;
  SessionLoop loop;
  LinkWorker worker(test::LoopbackConfig(device.port()), [&loop](std::function<void()> then) {
    loop.Post(std::move(then));
  }, port);
  DeviceEntry entry;
  entry.SetIpText("127.0.0.1");
  entry.device_type = 0xA5;
  entry.device_id = 1;
  LoopLink link(entry, worker);
  const FamilyInfo& family = FamilyOf(FamilyKind::kSwitcher);
  std::unique_ptr<DeviceSession> session = family.make_session(family, link, loop);
  // Rate 2 steps every 10 ms: 129 steps, 17 progress frames besides the Auto.
  ASSERT_TRUE(session->Invoke("switcher.auto", {{"rate", std::string("r2")}}).ok());
  EXPECT_TRUE(session->Busy());
  EXPECT_TRUE(loop.RunUntil([&] { return !session->Busy() && worker.Idle(); }, std::chrono::seconds(20)));
  EXPECT_FALSE(loop.TimersRunning()) << "the transition's timer ends with it";
  std::vector<uint8_t> progress;
  for (const test::ReceivedDatagram& d : device.ReceiveUntilMarker())
    if (d.bytes.size() > 16) progress.push_back(d.bytes[16] == 0x82 ? d.bytes[18] : d.bytes[16]);
  std::vector<uint8_t> expected{0x84, 1};
  for (uint8_t p = 8; p <= 128 && p != 0; p = static_cast<uint8_t>(p + 8)) expected.push_back(p);
  EXPECT_EQ(progress, expected);
  ASSERT_EQ(link.statuses.size(), expected.size()) << "one status per frame, once it left";
  EXPECT_EQ(link.statuses.back(), "Sent: T-bar to PS");
  // A loop whose work never ends gives up at its limit.
  EXPECT_FALSE(loop.RunUntil([] { return false; }, std::chrono::milliseconds(30)));
}

}  // namespace
}  // namespace zv
