// The virtual multiviewer: every set command changes its state, and the
// read-state reply brings that state back to the panel, on the network and
// on the serial line.
#include <gtest/gtest.h>

#include <string>

#include "link/set_ip.h"
#include "multiview/multiview_link.h"
#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "session/session_loop.h"
#include "link/command_frame.h"
#include "sim/multiview_device.h"
#include "support/inline_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

sim::SimConfig MultiviewerSim(uint16_t port) {
  return test::LoopbackSim(port, {"Mv"}, 0xA1);
}

void AimAtSimDevice(LinkState& state, uint16_t port) {
  test::AimSearchAt(state, port);
  if (state.m_device_list.empty()) state.m_device_list.resize(1);
  state.m_device_list[0].SetIpText("127.0.0.2");
  state.m_device_list[0].device_type = 0xA1;
  state.m_device_list[0].device_id = 1;
  state.m_device_index = 0;
}

sim::MultiviewerDevice& Device(test::SimRunner& runner) {
  return dynamic_cast<sim::MultiviewerDevice&>(runner.sim().Device(0));
}

TEST(DeviceSimTest, MultiviewerReplyLayout) {
  sim::MultiviewerDevice device({0xA1, 0x03, "Mv", "127.0.0.2", {}});
  const sim::Bytes reply = device.ReadStateReply(sim::Link::kUdp);
  ASSERT_EQ(reply.size(), 669u);
  EXPECT_EQ(reply[0], 0xA5);
  EXPECT_EQ(reply[2] | (reply[3] << 8), 669);
  EXPECT_EQ(reply[4], 0xA1);
  EXPECT_EQ(reply[5], 0x03);
  EXPECT_EQ(reply[16], 0x32);
  EXPECT_EQ(reply[18], 16);  // sixteen windows
  EXPECT_EQ(reply[19], 7);   // 1080p60
  // Label of window 2: "CAM 2", 10 bytes.
  EXPECT_EQ(reply[24 + 33], 10);
  EXPECT_EQ(std::string(reply.begin() + 58, reply.begin() + 68), std::string("C\0A\0M\0 \0" "2\0", 10));
  EXPECT_EQ(reply[552 + 15], 16);  // window 16 shows input 16
  EXPECT_EQ(reply[600], 1);         // border on
  EXPECT_EQ(reply[618], 1);         // label background blue
  EXPECT_EQ(reply[650 + 15], 8);    // overlay background gray
  EXPECT_EQ(FrameChecksum(reply.data(), 666), reply[666] | (reply[667] << 8));
  EXPECT_EQ(reply[668], 0xAE);
}

TEST(DeviceSimTest, MultiviewerAppliesSetCommandsAndReadsBackOverUdp) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(MultiviewerSim(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState state;
  AimAtSimDevice(state, port);
  test::InlineLink door(state);
  SessionLoop clock;
  MultiviewSession session(FamilyOf(FamilyKind::kMultiviewer), door, clock);

  // The panel's and zvctl's actions, each one set command.
  const std::pair<const char*, ActionArgs> actions[] = {
      {"multiview.layout", {{"windows", std::string("9")}}},
      {"multiview.source", {{"win", 12}, {"sdi", 3}}},
      {"multiview.labels", {{"state", std::string("off")}}},
      {"multiview.audio", {{"state", std::string("off")}}},
      {"multiview.audio_source", {{"win", 16}}},
      {"multiview.overlay", {{"state", std::string("on")}}},
      {"multiview.colour", {{"win", 0}, {"part", std::string("label-text")}, {"colour", std::string("Yellow")}}},
      {"multiview.colour", {{"win", 5}, {"part", std::string("label-back")}, {"colour", std::string("Red")}}},
      {"multiview.colour", {{"win", 0}, {"part", std::string("overlay-text")}, {"colour", std::string("Magenta")}}},
      {"multiview.colour", {{"win", 16}, {"part", std::string("overlay-back")}, {"colour", std::string("Trans")}}},
      {"multiview.border", {{"state", std::string("off")}}},
      {"multiview.lock", {{"state", std::string("on")}}},
      {"multiview.format", {{"format", std::string("720p50")}}},
      {"multiview.label", {{"win", 7}, {"text", std::string("CAM \u4E2D")}}},
  };
  for (const auto& [name, args] : actions) EXPECT_TRUE(session.Invoke(name, args).ok()) << name;
  // What no action sends, the device ignores.
  const uint8_t no_window[] = {17, 4};  // label background, window 17
  const uint8_t no_layout[] = {5};      // a layout of five windows
  EXPECT_EQ(SendMultiviewerFrame(state, 0x3C, no_window), 1);
  EXPECT_EQ(SendMultiviewerFrame(state, 0x33, no_layout), 1);
  for (const auto& [text, error] : door.statuses) EXPECT_FALSE(error) << text;

  session.Read(false);
  const MultiviewerState& r = session.Record();
  const MultiviewPageData& d = r.m_all_16_view_page_data;
  EXPECT_EQ(r.m_cur_window_count, 9);
  EXPECT_EQ(d.zv_16_view_mode_type, 4);
  EXPECT_EQ(r.m_16_view_window_source[11], 3);
  EXPECT_EQ(r.m_16_view_window_source[10], 11);
  EXPECT_EQ(d.zv_16_view_umd_enable, 0);
  EXPECT_EQ(d.zv_16_view_audio_enable, 0);
  EXPECT_EQ(d.zv_16_view_audio_source_channel, 16);
  EXPECT_EQ(d.zv_16_view_resolution_enable, 1);
  EXPECT_EQ(d.zv_16_view_umd_text_color[9], 6);
  EXPECT_EQ(d.zv_16_view_umd_back_color[4], 2);
  EXPECT_EQ(d.zv_16_view_umd_back_color[3], 1);
  EXPECT_EQ(d.zv_16_view_resolution_text_color[0], 3);
  EXPECT_EQ(d.zv_16_view_resolution_back_color[15], 14);
  EXPECT_EQ(d.zv_16_view_resolution_back_color[14], 8);
  EXPECT_EQ(d.zv_16_view_border_enable, 0);
  EXPECT_EQ(d.zv_16_view_lock_state, 1);
  EXPECT_EQ(d.zv_16_view_resolution_type, 8);
  EXPECT_EQ(r.m_16_view_umd_name[6], u"CAM \u4E2D");
  EXPECT_EQ(r.m_16_view_umd_name[0], u"CAM 1");

  // Set IP and restore defaults (which reads back by itself); the labels
  // survive the restore.
  ASSERT_TRUE(SendSetIpFrame(state, NewAddressFor({10, 0, 0, 25})));
  EXPECT_TRUE(session.Invoke("multiview.defaults").ok());
  EXPECT_EQ(r.m_cur_window_count, 16);
  EXPECT_EQ(d.zv_16_view_lock_state, 0);
  EXPECT_EQ(r.m_16_view_window_source[11], 12);
  EXPECT_EQ(r.m_16_view_umd_name[6], u"CAM \u4E2D");
  const sim::MultiviewerDeviceState device = Device(runner).State();
  const std::array<uint8_t, 12> ip_params{10, 0, 0, 25, 255, 255, 255, 0, 10, 0, 0, 1};
  EXPECT_EQ(device.ip_params, ip_params);
}

TEST(DeviceSimTest, MultiviewerAnswersOnTheSerialLine) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = MultiviewerSim(port);
  config.serial = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState state;
  AimAtSimDevice(state, port);
  state.m_eState = kModeSerial;
  ASSERT_TRUE(state.m_serial_port.Open(runner.sim().SerialPath(), 115200));
  test::InlineLink door(state);
  SessionLoop clock;
  MultiviewSession session(FamilyOf(FamilyKind::kMultiviewer), door, clock);
  EXPECT_TRUE(session.Invoke("multiview.layout", {{"windows", std::string("4")}}).ok());
  EXPECT_TRUE(session.Invoke("multiview.source", {{"win", 2}, {"sdi", 7}}).ok());
  EXPECT_TRUE(session.Invoke("multiview.label", {{"win", 2}, {"text", std::string("Serial")}}).ok());
  session.Read(false);
  const MultiviewerState& r = session.Record();
  EXPECT_EQ(r.m_cur_window_count, 4);
  EXPECT_EQ(r.m_all_16_view_page_data.zv_16_view_mode_type, 1);
  EXPECT_EQ(r.m_16_view_window_source[1], 7);
  EXPECT_EQ(r.m_16_view_umd_name[1], u"Serial");
  EXPECT_EQ(r.m_16_view_state_read, 1);
  for (const auto& [text, error] : door.statuses) EXPECT_FALSE(error) << text;
  EXPECT_EQ(Device(runner).State().layout_code, 4);
  state.m_serial_port.Close();
}

}  // namespace
}  // namespace zv
