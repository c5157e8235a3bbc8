// The device hub: an action run for a remote client answers once its
// frames have left (a timed one once it ended), with exactly the frames the
// device received; the record's changes are told with the surface that
// made them; the device list follows the searches; and an answer comes even
// when the link worker drops what the action queued.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/worker_device_link.h"
#include "registry/families.h"
#include "hub/device_hub.h"
#include "session/session_loop.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

struct Told {
  std::string address;
  nlohmann::json fields;
  ActionOrigin origin;
};

// A hub on a loop of its own, its sessions' doors straight to the worker,
// aimed at devices on loopback that listen on `port`.
class Hub {
 public:
  explicit Hub(uint16_t port)
      : m_worker(test::LoopbackConfig(port), [this](std::function<void()> then) { m_loop.Post(std::move(then)); },
                 m_port),
        m_hub(
            m_worker, m_loop, [this](std::function<void()> then) { m_loop.Post(std::move(then)); },
            [this](const DeviceEntry& device, const std::string& name, bool) -> std::unique_ptr<DeviceLink> {
              return std::make_unique<WorkerDeviceLink>(device, name, kModeNetwork, m_worker);
            }) {
    m_hub.SetIdleSurface("device");
    m_hub.OnRecord([this](const std::string& address, const nlohmann::json& fields, const ActionOrigin& origin) {
      records.push_back({address, fields, origin});
    });
    m_hub.OnDevice([this](const HubDevice& d) { devices.push_back(d); });
    m_hub.OnAction([this](const ActionRun& run) { actions.push_back(run); });
  }

  DeviceHub& hub() { return m_hub; }
  LinkWorker& worker() { return m_worker; }
  SessionLoop& loop() { return m_loop; }

  // Lists one device as a search would have found it.
  void Know(const char* address, uint8_t type) {
    DeviceEntry e{};
    e.SetIpText(address);
    e.device_type = type;
    e.device_id = 1;
    m_hub.Found({e}, {std::string("Dev_") + address}, false);
  }

  // Runs an action for a client and waits for its answer.
  std::optional<ActionRun> Invoke(const char* address, const std::string& action, const ActionArgs& args = {}) {
    std::optional<ActionRun> answer;
    m_hub.Invoke(address, action, args, {"http", "desk"}, [&](const ActionRun& run) { answer = run; });
    m_loop.RunUntil([&] { return answer.has_value(); }, std::chrono::seconds(20));
    return answer;
  }

  std::vector<Told> records;
  std::vector<HubDevice> devices;
  std::vector<ActionRun> actions;

 private:
  CnComm m_port;
  SessionLoop m_loop;
  LinkWorker m_worker;
  DeviceHub m_hub;
};

std::vector<std::string> Hex(const std::vector<test::ReceivedDatagram>& datagrams) {
  std::vector<std::string> out;
  for (const test::ReceivedDatagram& d : datagrams)
    if (!d.bytes.empty()) out.push_back(HexBytes(d.bytes));
  return out;
}

TEST(DeviceHubTest, AnActionAnswersWithTheFramesTheDeviceReceivedOnceTheyLeft) {
  struct Case {
    const char* action;
    ActionArgs args;
    size_t frames;  // how many the device must have received
  };
  const Case cases[] = {
      {"switcher.program", {{"source", 3}}, 1},
      {"switcher.cut", {}, 1},
      // The Auto at r2: its frame and 17 steps of progress, answered only
      // when the transition has ended.
      {"switcher.auto", {{"rate", std::string("r2")}}, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    test::UdpPeer device;
    ASSERT_TRUE(device.ok());
    Hub hub(device.port());
    hub.Know("127.0.0.1", 0xA5);
    const std::optional<ActionRun> run = hub.Invoke("127.0.0.1", c.action, c.args);
    ASSERT_TRUE(run.has_value()) << "no answer";
    EXPECT_EQ(run->Result(), "done");
    EXPECT_FALSE(hub.hub().SessionOf("127.0.0.1")->Busy()) << "answered before the transition ended";
    const std::vector<std::string> received = Hex(device.ReceiveUntilMarker());
    EXPECT_EQ(received.size(), c.frames);
    EXPECT_EQ(run->frames, received) << "the answer's frames are what the device received, in order";
    // The action event follows the answer's own run.
    hub.loop().RunUntil([&] { return !hub.actions.empty(); }, std::chrono::seconds(2));
    ASSERT_EQ(hub.actions.size(), 1u);
    EXPECT_EQ(hub.actions[0].origin.who, "desk");
  }
}

TEST(DeviceHubTest, RefusedActionsAnswerAtOnceAndSendNothing) {
  struct Case {
    const char* address;
    const char* action;
    ActionArgs args;
    std::string result;
  };
  const Case cases[] = {
      {"127.0.0.1", "switcher.program", {{"source", 13}}, "bad parameter"},
      {"127.0.0.1", "switcher.program", {{"input", 3}}, "bad parameter"},
      {"127.0.0.1", "matrix.route", {{"in", 1}}, "unknown"},
      {"127.0.0.9", "switcher.cut", {}, "unknown"},  // no device known there
      // A T-bar moved to where it stands moves nothing.
      {"127.0.0.1", "switcher.tbar", {{"travel", 0}}, "not now"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.action);
    test::UdpPeer device;
    Hub hub(device.port());
    hub.Know("127.0.0.1", 0xA5);
    std::optional<ActionRun> answer;
    hub.hub().Invoke(c.address, c.action, c.args, {"http", "desk"}, [&](const ActionRun& run) { answer = run; });
    hub.loop().RunUntil([&] { return answer.has_value(); }, std::chrono::seconds(2));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->Result(), c.result) << answer->outcome.message;
    EXPECT_TRUE(answer->frames.empty());
    EXPECT_TRUE(Hex(device.ReceiveUntilMarker()).empty()) << "a refused action sent something";
  }
}

TEST(DeviceHubTest, RecordChangesNameTheirFieldsAndTheSurfaceThatMadeThem) {
  test::UdpPeer device;
  Hub hub(device.port());
  hub.Know("127.0.0.1", 0xA5);
  ASSERT_TRUE(hub.Invoke("127.0.0.1", "switcher.program", {{"source", 4}}));
  ASSERT_FALSE(hub.records.empty());
  EXPECT_EQ(hub.records[0].fields, nlohmann::json({{"program", 4}})) << hub.records[0].fields.dump();
  EXPECT_EQ(hub.records[0].origin.surface, "http");
  EXPECT_EQ(hub.records[0].origin.who, "desk");

  // The Auto's own press is the client's; its steps are the timer's, in the
  // client's name; the transition ends with the lamp off.
  hub.records.clear();
  ASSERT_TRUE(hub.Invoke("127.0.0.1", "switcher.auto", {{"rate", std::string("r1")}}));
  ASSERT_GE(hub.records.size(), 3u);
  EXPECT_EQ(hub.records.front().origin.surface, "http");
  EXPECT_EQ(hub.records.front().fields.value("in_transition", false), true);
  EXPECT_EQ(hub.records.back().origin.surface, "timer");
  EXPECT_EQ(hub.records.back().origin.who, "desk");
  EXPECT_EQ(hub.records.back().fields.value("in_transition", true), false);

  // A view's press, outside the hub's actions, is the window's.
  hub.records.clear();
  DeviceSession* session = hub.hub().SessionOf("127.0.0.1");
  ASSERT_NE(session, nullptr);
  ASSERT_TRUE(session->InvokeFromView("switcher.preview", {{"source", 2}}).ok());
  ASSERT_EQ(hub.records.size(), 1u);
  EXPECT_EQ(hub.records[0].origin.surface, "window");
  EXPECT_EQ(hub.records[0].fields, nlohmann::json({{"preview", 2}}));
}

TEST(DeviceHubTest, AnActionWhoseJobsTheWorkerDropsStillAnswers) {
  // The window cancels everything queued when its panel goes; a client
  // waiting for an Auto must still get its answer.
  test::UdpPeer device;
  Hub hub(device.port());
  hub.Know("127.0.0.1", 0xA5);
  std::optional<ActionRun> answer;
  hub.hub().Invoke("127.0.0.1", "switcher.program", {{"source", 5}}, {"http", "desk"},
                   [&](const ActionRun& run) { answer = run; });
  hub.worker().CancelAll();
  ASSERT_TRUE(hub.loop().RunUntil([&] { return answer.has_value(); }, std::chrono::seconds(5)));
  // Dropped before it ran, it did not get through and says so; taken by
  // the worker first, its frame left.
  EXPECT_EQ(answer->Taken(), !answer->frames.empty()) << answer->Result();
}

TEST(DeviceHubTest, SearchesBringDevicesAndTellWhichCameAndWent) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner sim(test::LoopbackSim(port, {"PS", "PS2"}));
  ASSERT_TRUE(sim.started()) << sim.error();
  Hub hub(port);
  // A second device watcher stays when a record watcher goes (the lists
  // number their watchers each on its own).
  int watched = 0;
  hub.hub().OnDevice([&](const HubDevice&) { ++watched; });
  hub.hub().Unobserve(hub.hub().OnRecord([](const std::string&, const nlohmann::json&, const ActionOrigin&) {}));
  bool searched = false;
  hub.hub().Scan([&](bool ok) { searched = ok; });
  ASSERT_TRUE(hub.loop().RunUntil([&] { return !hub.hub().Scanning(); }, std::chrono::seconds(10)));
  EXPECT_TRUE(searched);
  ASSERT_EQ(hub.hub().Devices().size(), 2u);
  const HubDevice* d = hub.hub().Device("127.0.0.3");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->family, &FamilyOf(FamilyKind::kSwitcher));
  EXPECT_EQ(d->id, 2);
  EXPECT_TRUE(d->online);
  EXPECT_GT(d->last_heard_ms, 0);
  EXPECT_EQ(hub.devices.size(), 2u) << "each new device told once";
  EXPECT_EQ(watched, 2);

  // The same result again tells nothing; one without a device takes it
  // offline.
  hub.devices.clear();
  DeviceEntry first{};
  first.SetIpText("127.0.0.2");
  first.device_type = 0xA5;
  first.device_id = 1;
  hub.hub().Found({first}, {"PS_127.0.0.2"}, true);
  ASSERT_EQ(hub.devices.size(), 1u);
  EXPECT_EQ(hub.devices[0].address, "127.0.0.3");
  EXPECT_FALSE(hub.devices[0].online);
}

TEST(DeviceHubTest, AReadBackThatStaysSilentTakesTheDeviceOffline) {
  test::UdpPeer silent;  // a multiviewer that never answers
  Hub hub(silent.port());
  hub.Know("127.0.0.1", 0xA1);
  hub.devices.clear();
  std::optional<ActionRun> answer;
  hub.hub().ReadBack("127.0.0.1", {"http", "desk"}, [&](const ActionRun& run) { answer = run; });
  ASSERT_TRUE(hub.loop().RunUntil([&] { return answer.has_value(); }, std::chrono::seconds(10)));
  EXPECT_EQ(answer->Result(), "no answer");
  EXPECT_EQ(answer->frames.size(), 1u) << "the read-state request";
  ASSERT_EQ(hub.devices.size(), 1u);
  EXPECT_FALSE(hub.devices[0].online);
}

}  // namespace
}  // namespace zv
