// The virtual multiviewer: every set command changes its state, and the
// read-state reply brings that state back to the panel, on the network and
// on the serial line.
#include <gtest/gtest.h>

#include <string>

#include "app/main_state.h"
#include "link/command_frame.h"
#include "sim/multiview_device.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

sim::SimConfig MultiviewerSim(uint16_t port) {
  return test::LoopbackSim(port, {"Mv"}, 0xA1);
}

void AimAtSimDevice(CZELVIKState& state, uint16_t port) {
  test::AimSearchAt(state, port);
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
  CZELVIKState state;
  AimAtSimDevice(state, port);

  struct Command {
    uint8_t command;
    std::vector<uint8_t> params;
  };
  const Command commands[] = {
      {0x33, {9}},         // nine windows
      {0x34, {3, 12}},     // input 3 in window 12
      {0x36, {0}},         // labels off
      {0x37, {0}},         // audio meters off
      {0x39, {16}},        // audio from channel 16
      {0x3A, {1}},         // resolution overlays on
      {0x3B, {0, 6}},      // label text yellow, all windows
      {0x3C, {5, 2}},      // label background red, window 5
      {0x3D, {0, 3}},      // overlay text magenta, all windows
      {0x3E, {16, 14}},    // overlay background trans, window 16
      {0x3F, {0}},         // border off
      {0x50, {1}},         // lock on
      {0x19, {0, 6}},      // 720p50
      {0x3C, {17, 4}},     // no such window: ignored
      {0x33, {5}},         // no such layout: ignored
  };
  for (const Command& c : commands) EXPECT_EQ(state.SendMultiviewerCommand(c.command, c.params), 1);
  EXPECT_EQ(state.SendMultiviewerLabel(6, u"CAM \u4E2D"), 1);

  state.ReadMultiviewerStateUdp();
  const MultiviewPageData& d = state.m_all_16_view_page_data;
  EXPECT_EQ(state.m_cur_window_count, 9);
  EXPECT_EQ(d.zv_16_view_mode_type, 4);
  EXPECT_EQ(state.m_16_view_window_source[11], 3);
  EXPECT_EQ(state.m_16_view_window_source[10], 11);
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
  EXPECT_EQ(state.m_16_view_umd_name[6], u"CAM \u4E2D");
  EXPECT_EQ(state.m_16_view_umd_name[0], u"CAM 1");

  // Set IP and restore defaults; the labels survive the restore.
  state.m_set_ip_params[0] = 10;
  state.m_set_ip_params[3] = 25;
  state.SendSetIpFrame();
  const uint8_t zero[] = {0};
  EXPECT_EQ(state.SendMultiviewerCommand(0x38, zero), 1);
  state.ReadMultiviewerStateUdp();
  EXPECT_EQ(state.m_cur_window_count, 16);
  EXPECT_EQ(d.zv_16_view_lock_state, 0);
  EXPECT_EQ(state.m_16_view_window_source[11], 12);
  EXPECT_EQ(state.m_16_view_umd_name[6], u"CAM \u4E2D");
  const sim::MultiviewerDeviceState device = Device(runner).State();
  EXPECT_EQ(device.ip_params[0], 10);
  EXPECT_EQ(device.ip_params[3], 25);
}

TEST(DeviceSimTest, MultiviewerAnswersOnTheSerialLine) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = MultiviewerSim(port);
  config.serial = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKState state;
  AimAtSimDevice(state, port);
  state.m_eState = kModeSerial;
  ASSERT_TRUE(state.m_serial_port.Open(runner.sim().SerialPath(), 115200));
  const uint8_t four[] = {4};
  const uint8_t source[] = {7, 2};
  EXPECT_EQ(state.SendMultiviewerCommand(0x33, four), 1);
  EXPECT_EQ(state.SendMultiviewerCommand(0x34, source), 1);
  EXPECT_EQ(state.SendMultiviewerLabel(1, u"Serial"), 1);
  state.ReadMultiviewerState();
  EXPECT_EQ(state.m_cur_window_count, 4);
  EXPECT_EQ(state.m_all_16_view_page_data.zv_16_view_mode_type, 1);
  EXPECT_EQ(state.m_16_view_window_source[1], 7);
  EXPECT_EQ(state.m_16_view_umd_name[1], u"Serial");
  EXPECT_EQ(state.m_16_view_state_read, 1);
  EXPECT_EQ(Device(runner).State().layout_code, 4);
  state.m_serial_port.Close();
}

}  // namespace
}  // namespace zv
