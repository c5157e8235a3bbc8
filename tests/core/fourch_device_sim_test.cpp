// The virtual four-channel switcher: its replies, the commands it keeps, the
// signal pattern it is told to show while it runs, and the program's
// read-backs against it on loopback.
#include <gtest/gtest.h>

#include <string>

#include "fourch/fourch_state.h"
#include "link/link_state.h"
#include "sim/fourch_device.h"
#include "support/loopback_link.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

sim::SimConfig FourChannelSim(uint16_t port) {
  return test::LoopbackSim(port, {"Quad"}, 0x60);
}

void AimAtSim(LinkState& link, uint16_t port) { test::AimAt(link, port, "127.0.0.2", 0x60); }

sim::FourChannelDevice& Switcher(test::SimRunner& runner) {
  return dynamic_cast<sim::FourChannelDevice&>(runner.sim().Device(0));
}

TEST(DeviceSimTest, FourChannelStateReplyLayout) {
  sim::FourChannelDevice device({0x60, 0x03, "QuadView", "127.0.0.4", {}});
  sim::FourChannelState s;
  s.show_mode = 16;
  s.output_format = 8;
  s.pip_child_ch = {3, 4};
  s.loop_state = 1;
  s.loop_time = 300;
  s.names = {"Cam", "", std::string(40, 'x'), "Desk"};
  device.SetState(s);
  const sim::Bytes r = device.StateReply(sim::Link::kUdp);
  ASSERT_EQ(r.size(), 263u);
  EXPECT_EQ(r[2] | (r[3] << 8), 263);                      // frame_length
  EXPECT_EQ(r[4], 0x60);                                   // device_type
  EXPECT_EQ(r[5], 0x03);                                   // device_id
  EXPECT_EQ(r[16], 0x90);                                  // read-state reply
  EXPECT_EQ(r[20], 8);                                     // output format
  EXPECT_EQ(r[22], 16);                                    // show mode
  EXPECT_EQ(std::string(r.begin() + 30, r.begin() + 38), "QuadView");
  EXPECT_EQ(r[38], 0);
  EXPECT_EQ(r[54], 3);                                     // name lengths, one per 40-byte line
  EXPECT_EQ(std::string(r.begin() + 55, r.begin() + 58), "Cam");
  EXPECT_EQ(r[94], 0);
  EXPECT_EQ(r[134], 32) << "a name is cut to 32 bytes";
  EXPECT_EQ(r[174], 4);
  EXPECT_EQ(r[255], 3);                                    // picture-in-picture channels
  EXPECT_EQ(r[256], 4);
  EXPECT_EQ(r[257], 1);                                    // loop on
  EXPECT_EQ(r[258], 0x2C);                                 // loop time 300, LE
  EXPECT_EQ(r[259], 0x01);
  EXPECT_EQ(r.back(), 0xAE);
  uint16_t sum = 0;
  for (size_t i = 0; i < 260; ++i) sum = static_cast<uint16_t>(sum + r[i]);
  EXPECT_EQ(r[260] | (r[261] << 8), sum);

  device.SetSignals({1, 0, 0, 1});
  const sim::Bytes expected = {0xA5, 0x6C, 29, 0, 0x60, 0x03, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
                               0x00, 0xAA,  // group, signal-status reply
                               0x00,        // spare
                               1, 0, 0, 0, 0, 0, 1, 0,  // inputs 1 to 4, each with a spare byte
                               0x3E, 0x02,  // checksum 0x023E
                               0xAE};
  EXPECT_EQ(device.SignalReply(sim::Link::kUdp), expected);
}

TEST(DeviceSimTest, FourChannelKeepsWhatItIsSent) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(FourChannelSim(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState link;
  AimAtSim(link, port);

  TriskPageData data{};
  data.zv_trisk_show_mode_type = 11;
  data.zv_trisk_output_format = 7;
  data.zv_trisk_pip_child_ch[0] = 4;
  data.zv_trisk_pip_child_ch[1] = 2;
  data.zv_trisk_loop_state = 1;
  SendTriskShowMode(link, data);
  SendTriskOutputFormat(link, data);
  SendTriskPipChannels(link, data);
  SendTriskLoopState(link, data);
  SendTriskLoopTime(link, 300);
  // Values the device cannot take are ignored, not stored.
  TriskPageData bad = data;
  bad.zv_trisk_show_mode_type = 17;
  bad.zv_trisk_output_format = 5;
  bad.zv_trisk_pip_child_ch[0] = 0;
  SendTriskShowMode(link, bad);
  SendTriskOutputFormat(link, bad);
  SendTriskPipChannels(link, bad);

  // The read-back is answered after every command before it was applied.
  TriskPageData read{};
  std::optional<uint8_t> mode;
  ASSERT_TRUE(ReadTriskState(link, [&](const TriskStateReply& r) { mode = ApplyTriskStateReply(read, r); }));
  EXPECT_EQ(mode, 11);
  EXPECT_EQ(read.zv_trisk_output_format, 7);
  EXPECT_EQ(read.zv_trisk_pip_child_ch[0], 4);
  EXPECT_EQ(read.zv_trisk_pip_child_ch[1], 2);
  EXPECT_EQ(read.zv_trisk_loop_state, 1);
  EXPECT_EQ(Switcher(runner).State().loop_time, 300);

  bool noted = false;
  for (const std::string& line : runner.sim().LogLines())
    noted |= line.find("\"note\":\"show mode 17 does not exist, ignored\"") != std::string::npos;
  EXPECT_TRUE(noted);
}

TEST(DeviceSimTest, FourChannelSignalsChangeWhileItRuns) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = FourChannelSim(port);
  config.devices[0].input_signals = "0100";
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState link;
  AimAtSim(link, port);
  auto statuses = [&link] {
    const auto r = ReadTriskSignalStatus(link);
    std::string s;
    if (r)
      for (const auto& v : r->status) s += v ? char('0' + *v) : '-';
    return s;
  };
  EXPECT_EQ(statuses(), "0100");

  test::UdpPeer person;
  sockaddr_in device{};
  device.sin_family = AF_INET;
  device.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.2", &device.sin_addr);
  const struct {
    const char* text;
    const char* answer;
    const char* after;
  } rows[] = {
      {"signals 1010", "signals 1010", "1010"},
      {"signals 0011\n", "signals 0011", "0011"},
      {"signals 2011", "error: signals takes four digits 0 or 1, input 1 first", "0011"},
      {"signals 101", "error: signals takes four digits 0 or 1, input 1 first", "0011"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const std::string text = row.text;
    person.SendTo(device, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    const auto answer = person.Receive(2000);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(std::string(answer->bytes.begin(), answer->bytes.end()), row.answer);
    EXPECT_EQ(statuses(), row.after);
  }
}

TEST(DeviceSimTest, FourChannelSignalsInTheDeviceSpec) {
  const struct {
    const char* spec;
    bool ok;
  } rows[] = {
      {"type=0x60,addr=127.0.0.4,signals=0101", true},
      {"type=0x60,addr=127.0.0.4,signals=012", false},
      {"type=0x60,addr=127.0.0.4,signals=01011", false},
      {"type=0x60,addr=127.0.0.4,signals=", false},
  };
  for (const auto& row : rows) {
    sim::DeviceConfig c;
    std::string error;
    EXPECT_EQ(sim::ParseDeviceSpec(row.spec, &c, &error), row.ok) << row.spec;
    if (row.ok) {
      EXPECT_EQ(c.input_signals, "0101");
    } else {
      EXPECT_NE(error.find("signals"), std::string::npos) << error;
    }
  }
}

TEST(DeviceSimTest, FourChannelCutReplyKeepsChannelsAndLoop) {
  // The device's answers are cut after byte 255: the first channel arrives,
  // the second channel and the loop state do not and stay as they were.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = FourChannelSim(port);
  config.devices[0].faults.truncate = 256;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  sim::FourChannelState s;
  s.show_mode = 9;
  s.pip_child_ch = {3, 1};
  s.loop_state = 0;
  Switcher(runner).SetState(s);
  LinkState link;
  AimAtSim(link, port);
  TriskPageData data{};
  data.zv_trisk_pip_child_ch[1] = 4;
  data.zv_trisk_loop_state = 1;
  std::optional<uint8_t> mode;
  test::TraceRecorder trace;
  ASSERT_TRUE(ReadTriskState(link, [&](const TriskStateReply& r) { mode = ApplyTriskStateReply(data, r); }));
  EXPECT_TRUE(trace.Has("recv len is 256"));
  EXPECT_EQ(mode, 9);
  EXPECT_EQ(data.zv_trisk_pip_child_ch[0], 3);
  EXPECT_EQ(data.zv_trisk_pip_child_ch[1], 4);
  EXPECT_EQ(data.zv_trisk_loop_state, 1);
}

TEST(DeviceSimTest, FourChannelSilentDeviceEndsTheReadInItsWindow) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = FourChannelSim(port);
  config.devices[0].faults.silent = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState link;
  AimAtSim(link, port);
  test::TraceRecorder trace;
  const uint32_t start = TickCount();
  EXPECT_FALSE(ReadTriskState(link).has_value());
  const uint32_t took = TickCount() - start;
  EXPECT_GE(took, 1000u);
  EXPECT_LT(took, 1500u);
  EXPECT_EQ(trace.lines, (std::vector<std::string>{"wait time over", "read over"}));
}

}  // namespace
}  // namespace zv
