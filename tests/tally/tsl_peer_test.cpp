// TSL UMD with third-party clients as separate processes: the tsl-umd-v5
// package (node) sends 5.0 by UDP and TCP and receives our TSL out; the
// tests' own tsl_send sends 3.1, raw bytes and packets from an address
// outside the allow-list. Everything stays on loopback.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "link/frame_tap.h"
#include "link/local_networks.h"
#include "monitor/frame_decode.h"
#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "support/child_process.h"
#include "support/tally_devices.h"
#include "support/sim_frames.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/worker_link.h"
#include "switcher/switcher_session.h"
#include "tally/tally_engine.h"
#include "tally/tsl_listener.h"
#include "tally/tsl_sender.h"

namespace zv {
namespace {

using test::LabelParams;
using test::SimFrame;
using test::TwoBytes;

constexpr uint8_t kBlue = 1, kRed = 2, kGreen = 4;
const std::string kLabel = "0x1e", kColour = "0x3c";

bool Exists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

bool PeerInstalled() { return Exists(std::string(ZV_NODE_MODULES) + "/tsl-umd-v5/index.js"); }

std::string Node() { return "node"; }
std::string Peer(const char* script) { return std::string(ZV_TALLY_PEERS) + "/" + script; }
std::vector<std::string> NodeEnv() { return {std::string("NODE_PATH=") + ZV_NODE_MODULES}; }

// Runs a sender to its end; its exit status.
int RunToEnd(std::vector<std::string> argv, std::vector<std::string> env = {}) {
  test::ChildProcess child(std::move(argv), std::move(env));
  if (!child.Started()) return -1;
  return child.Wait(20000).value_or(-1);
}

int NodeSend(uint16_t port, const char* proto, int screen, int index, int left, int right, const std::string& text) {
  return RunToEnd({Node(), Peer("tsl5_send.js"), "127.0.0.1", std::to_string(port), proto, std::to_string(screen),
                   std::to_string(index), std::to_string(left), std::to_string(right), text},
                  NodeEnv());
}

int OwnSend(std::vector<std::string> args) {
  args.insert(args.begin(), ZV_TSL_SEND);
  return RunToEnd(std::move(args));
}

using test::TwoDevices;

TallyMap PeerMap() {
  std::string error;
  std::optional<TallyMap> map = ParseTallyMap(R"({"displays": [
      {"tsl": "5.0", "screen": 0, "index": 3, "window": 3},
      {"tsl": "5.0", "screen": 254, "index": 254, "window": 10},
      {"tsl": "3.1", "address": 12, "window": 4, "tally": 1, "green": 2}]})",
                                              &error);
  EXPECT_TRUE(map) << error;
  return *map;
}

// The virtual devices, their sessions on the link worker, the engine and the
// listener feeding it through the sessions' loop, as the service runs them.
class TallyPeers : public test::TallyDevices {
 public:
  TallyPeers()
      : engine(PeerMap()) {
    mv.Read(true);
    bench.Settle();
    engine.AddMultiviewer("127.0.0.2", mv);
    std::string error;
    started = listener.Start(0, *CidrList::Parse("127.0.0.1/32", nullptr),
                             [this](uint32_t from, TslDatagram d) {
                               bench.loop.Post([this, from, d = std::move(d)] {
                                 engine.TakeTsl(d, "tsl " + Ipv4Text(from));
                                 ++handled;
                               });
                             },
                             &error, "127.0.0.1");
    EXPECT_TRUE(started) << error;
    seen = test::FramesOf(runner.sim(), "Mv").size();
  }

  // Waits until the engine has taken `count` packets in all and their
  // frames have left, then returns what the multiviewer received since the
  // last call.
  std::vector<SimFrame> FramesAfter(int count) {
    EXPECT_TRUE(bench.Settle([&] { return handled >= count; })) << "handled " << handled << " of " << count;
    EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", port));
    const std::vector<SimFrame> all = test::FramesOf(runner.sim(), "Mv");
    std::vector<SimFrame> out(all.begin() + static_cast<long>(std::min(seen, all.size())), all.end());
    seen = all.size();
    return out;
  }
  // A packet that reaches no row: once the engine has taken it, the
  // listener has dealt with everything sent to it before.
  int Marker() { return OwnSend({"127.0.0.1", std::to_string(listener.Port()), "raw", "0a0000000900090000000000"}); }

  TallyEngine engine;
  TslListener listener;
  bool started = false;
  int handled = 0;
  size_t seen = 0;
};

class TslPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PeerInstalled()) GTEST_SKIP() << "tsl-umd-v5 is not installed in " << ZV_NODE_MODULES << " (npm)";
  }
};

TEST_F(TslPeerTest, SendersDriveTheRightWindowsWithExactFrames) {
  TallyPeers t;
  ASSERT_TRUE(t.runner.started() && t.started);
  const int frame_tap = FrameRecorder::Instance().Listen();
  std::vector<TappedFrame> frames;
  const uint64_t before = FrameRecorder::Instance().CopySince(~uint64_t{0}, &frames);
  const std::string port = std::to_string(t.listener.Port());
  struct Row {
    const char* what;
    std::function<int()> send;
    std::vector<SimFrame> frames;
  } const rows[] = {
      {"5.0 by UDP: text and red", [&] { return NodeSend(t.listener.Port(), "udp", 0, 3, 1, 0, "Studio A"); },
       {{kLabel, LabelParams(3, "Studio A")}, {kColour, TwoBytes(3, kRed)}}},
      {"the same again: nothing", [&] { return NodeSend(t.listener.Port(), "udp", 0, 3, 1, 0, "Studio A"); }, {}},
      {"tally off: the colour from before", [&] { return NodeSend(t.listener.Port(), "udp", 0, 3, 0, 0, "Studio A"); },
       {{kColour, TwoBytes(3, kBlue)}}},
      // Screen and index 254 are DLE bytes, doubled on the wire.
      {"5.0 by TCP, stuffed", [&] { return NodeSend(t.listener.Port(), "tcp", 254, 254, 2, 0, "Jib"); },
       {{kLabel, LabelParams(10, "Jib")}, {kColour, TwoBytes(10, kGreen)}}},
      {"3.1 of our own: the green tally", [&] { return OwnSend({"127.0.0.1", port, "31", "12", "2", "Wide"}); },
       {{kLabel, LabelParams(4, "Wide")}, {kColour, TwoBytes(4, kGreen)}}},
  };
  int count = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(row.send(), 0);
    EXPECT_EQ(t.FramesAfter(++count), row.frames);
  }
  EXPECT_EQ(t.listener.Taken(), 5u);
  EXPECT_EQ(t.listener.RefusedTotal(), 0u);
  EXPECT_EQ(t.engine.Count().unchanged, 1u);

  // The frame monitor shows the packets decoded, by UDP and TCP.
  FrameRecorder::Instance().CopySince(before, &frames);
  FrameRecorder::Instance().Unlisten(frame_tap);
  std::vector<std::string> tsl;
  for (const TappedFrame& f : frames)
    if (f.tsl) tsl.push_back(FrameJsonLine(f));
  ASSERT_EQ(tsl.size(), 5u);
  const nlohmann::json first = nlohmann::json::parse(tsl[0]);
  EXPECT_EQ(first["device"], "TSL UMD 5.0");
  EXPECT_EQ(first["link"], "udp");
  EXPECT_EQ(first["name"], "5.0 screen 0: index 3 left red text off right off \"Studio A\"");
  const nlohmann::json tcp = nlohmann::json::parse(tsl[3]);
  EXPECT_EQ(tcp["link"], "tcp");
  EXPECT_EQ(tcp["name"], "5.0 screen 254: index 254 left green text off right off \"Jib\"");
  EXPECT_EQ(nlohmann::json::parse(tsl[4])["device"], "TSL UMD 3.1");
}

TEST_F(TslPeerTest, RefusedSourcesAndMalformedPacketsChangeNothing) {
  TallyPeers t;
  ASSERT_TRUE(t.runner.started() && t.started);
  const std::string port = std::to_string(t.listener.Port());
  // A whole good 5.0 packet: index 3 red, text "X".
  const std::string good = "0b000000000003001000010058";
  struct Row {
    const char* what;
    std::vector<std::string> args;
    // The rows on TCP from an allowed source carry the good packet after
    // the bad bytes, in the same stream; the others are followed by a
    // marker datagram.
    bool marker;
    std::vector<SimFrame> frames;
  } const rows[] = {
      {"3.1 from 127.0.0.7, outside the list",
       {"--from", "127.0.0.7", "127.0.0.1", port, "31", "12", "1", "Intruder"}, true, {}},
      {"5.0 by TCP from 127.0.0.7", {"--from", "127.0.0.7", "--tcp", "127.0.0.1", port, "raw", "fe02" + good}, true,
       {}},
      {"too short", {"127.0.0.1", port, "raw", "0a00"}, true, {}},
      {"PBC says more than came", {"127.0.0.1", port, "raw", "1f000000000003001000010058"}, true, {}},
      {"text past the end", {"127.0.0.1", port, "raw", "0b000000000003001000090058"}, true, {}},
      {"odd UTF-16", {"127.0.0.1", port, "raw", "0b000001000003001000010058"}, true, {}},
      {"bad stuffing on TCP, then a good packet", {"--tcp", "127.0.0.1", port, "raw", "fe020f00fe07fe02" + good},
       false, {{kLabel, LabelParams(3, "X")}, {kColour, TwoBytes(3, kRed)}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(OwnSend(row.args), 0);
    if (row.marker) {
      ASSERT_EQ(t.Marker(), 0);
    }
    EXPECT_EQ(t.FramesAfter(t.handled + 1), row.frames);
  }
  EXPECT_EQ(t.listener.Dropped(), 2u);
  EXPECT_EQ(t.listener.Refused(TslFault::kShort), 1u);
  EXPECT_EQ(t.listener.Refused(TslFault::kLength), 2u);
  EXPECT_EQ(t.listener.Refused(TslFault::kText), 1u);
  EXPECT_EQ(t.listener.Refused(TslFault::kStuffing), 1u);
  EXPECT_EQ(t.listener.RefusedTotal(), 5u);
}

TEST_F(TslPeerTest, TslOutReachesAReceiverAfterACut) {
  TallyPeers t;
  ASSERT_TRUE(t.runner.started());
  const uint16_t rx_port = test::FreeUdpPort();
  test::ChildProcess rx({Node(), Peer("tsl5_receive.js"), std::to_string(rx_port)}, NodeEnv());
  ASSERT_TRUE(rx.Started());
  TslSender sender({{"127.0.0.1", rx_port}}, TslVersion::k50, TallyMap::Defaults(), t.bench.loop);
  sender.SetSwitcher(&t.sw);
  std::string error;
  ASSERT_TRUE(sender.Start(&error)) << error;
  // The receiver is up once it prints the first of the once-a-second sends.
  std::optional<std::string> line;
  ASSERT_TRUE(t.bench.loop.RunUntil([&] { return (line = rx.ReadLine(0)).has_value(); }, std::chrono::seconds(20)));

  ASSERT_TRUE(t.sw.Invoke("switcher.program", {{"source", 2}}).ok());
  ASSERT_TRUE(t.sw.Invoke("switcher.preview", {{"source", 5}}).ok());
  const uint64_t sent_before_cut = sender.Sent();
  const int frame_tap = FrameRecorder::Instance().Listen();
  std::vector<TappedFrame> tapped;
  const uint64_t mark = FrameRecorder::Instance().CopySince(~uint64_t{0}, &tapped);
  ASSERT_TRUE(t.sw.Invoke("switcher.cut").ok());
  // The cut sends the two sources whose tally changed, at once, and the
  // frame monitor shows them as they left.
  EXPECT_EQ(sender.Sent(), sent_before_cut + 2);
  FrameRecorder::Instance().CopySince(mark, &tapped);
  FrameRecorder::Instance().Unlisten(frame_tap);
  std::vector<std::string> out;
  for (const TappedFrame& f : tapped)
    if (f.tsl && f.direction == FrameDirection::kSent) out.push_back(nlohmann::json::parse(FrameJsonLine(f))["name"]);
  EXPECT_EQ(out, (std::vector<std::string>{"5.0 screen 0: index 2 left green text green right green \"Cam 02\"",
                                           "5.0 screen 0: index 5 left red text red right red \"Cam 05\""}));
  std::map<int, nlohmann::json> last;
  while (!(last.count(5) && last[5]["display"]["lh_tally"] == 1 && last.count(2) &&
           last[2]["display"]["lh_tally"] == 2)) {
    line = rx.ReadLine(5000);
    ASSERT_TRUE(line) << "no TSL from us after the cut";
    const nlohmann::json m = nlohmann::json::parse(*line, nullptr, false);
    ASSERT_FALSE(m.is_discarded()) << *line;
    last[m["index"].get<int>()] = m;
  }
  EXPECT_EQ(last[5]["display"]["text"], "Cam 05");
  EXPECT_EQ(last[5]["display"]["rh_tally"], 1);
  EXPECT_EQ(last[2]["display"]["text"], "Cam 02");
  EXPECT_EQ(last[2]["screen"], 0);
}

// zvctl tally, as a script runs it, hears what our TSL out sends: the
// sender's once-a-second round reaches it within its listening time.
TEST(ZvctlTallyTest, PrintsWhatTheTallyBusCarries) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(TwoDevices(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  test::WorkerBench bench(port);
  test::WorkerLink link(test::SimEntry("127.0.0.3", 0xA5), *bench.worker, "Sw");
  SwitcherSession sw(FamilyOf(FamilyKind::kSwitcher), link, bench.loop);
  ASSERT_TRUE(sw.Invoke("switcher.program", {{"source", 3}}).ok());
  ASSERT_TRUE(sw.Invoke("switcher.preview", {{"source", 1}}).ok());
  const uint16_t tally_port = test::FreeUdpPort();
  TslSender sender({{"127.0.0.1", tally_port}}, TslVersion::k50, TallyMap::Defaults(), bench.loop);
  sender.SetSwitcher(&sw);
  ASSERT_TRUE(sender.Start(nullptr));
  struct Row {
    const char* allow;
    int status;
  } const rows[] = {{"127.0.0.1/32", 0}, {"127.0.0.2/32", 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.allow);
    test::ChildProcess zvctl({ZVCTL_PATH, "tally", "--port", std::to_string(tally_port), "--seconds", "2", "--allow",
                              row.allow, "--json"});
    ASSERT_TRUE(zvctl.Started());
    std::optional<int> status;
    ASSERT_TRUE(bench.loop.RunUntil([&] { return (status = zvctl.Wait(0)).has_value(); }, std::chrono::seconds(20)));
    EXPECT_EQ(*status, row.status);
    if (row.status != 0) continue;
    std::string text;
    while (std::optional<std::string> line = zvctl.ReadLine(1000)) text += *line + "\n";
    const nlohmann::json list = nlohmann::json::parse(text, nullptr, false);
    ASSERT_TRUE(list.is_array()) << text;
    ASSERT_EQ(list.size(), 10u) << text;
    EXPECT_EQ(list[0]["index"], 1);
    EXPECT_EQ(list[0]["left"], "green");
    EXPECT_EQ(list[2]["left"], "red");
    EXPECT_EQ(list[2]["text"], "Cam 03");
    EXPECT_EQ(list[3]["left"], "off");
    EXPECT_EQ(list[2]["from"], "127.0.0.1");
  }
}

TEST(TslSenderTest, Version31PacketsAndTargets) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(TwoDevices(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  test::WorkerBench bench(port);
  test::WorkerLink link(test::SimEntry("127.0.0.3", 0xA5), *bench.worker, "Sw");
  SwitcherSession sw(FamilyOf(FamilyKind::kSwitcher), link, bench.loop);
  test::UdpPeer display;
  TslSender sender({{"127.0.0.1", display.port()}}, TslVersion::k31, TallyMap::Defaults(), bench.loop);
  sender.SetSwitcher(&sw);
  ASSERT_TRUE(sender.Start(nullptr));
  for (int n = 1; n <= 10; ++n) ASSERT_TRUE(display.Receive(2000)) << "start-up packet " << n;
  ASSERT_TRUE(sw.Invoke("switcher.program", {{"source", 2}}).ok());
  std::optional<test::ReceivedDatagram> d = display.Receive(2000);
  ASSERT_TRUE(d);
  // Address 2, tally 1 (programme), brightness 3, the default name.
  const std::string expected = std::string("\x82\x31", 2) + "Cam 02          ";
  EXPECT_EQ(std::string(d->bytes.begin(), d->bytes.end()), expected);
  ASSERT_TRUE(sw.Invoke("switcher.ftb").ok());
  d = display.Receive(2000);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes.at(1), 0x30) << "programme tally off while faded to black";

  struct Row {
    const char* text;
    bool ok;
  } const rows[] = {{"127.0.0.1:9000", true}, {"127.0.0.1", false}, {"studio:9000", false},
                    {"127.0.0.1:0", false},   {"127.0.0.1:65536", false}, {"127.0.0.1:9x", false}};
  for (const Row& row : rows) {
    std::string error;
    EXPECT_EQ(ParseTslTarget(row.text, &error).has_value(), row.ok) << row.text;
    EXPECT_EQ(error.empty(), row.ok) << row.text;
  }
}

}  // namespace
}  // namespace zv
