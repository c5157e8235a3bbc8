// The virtual production switcher follows what the panel sends.
#include <gtest/gtest.h>

#include "link/link_state.h"
#include "sim/switcher_device.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

sim::Bytes Frame(uint8_t command, std::initializer_list<uint8_t> params = {}) {
  std::vector<uint8_t> p(params);
  sim::Bytes out(CommandFrame::kOverhead + p.size());
  BuildCommandFrame(out.data(), 0xA5, 0x01, kLinkFlagUdp, command, p);
  return out;
}

TEST(DeviceSimTest, SwitcherAppliesPanelCommands) {
  sim::SwitcherDevice device({0xA5, 0x01, "PS", "127.0.0.2", {}});
  struct Step {
    sim::Bytes frame;
    const char* note;
  };
  const Step steps[] = {
      {Frame(0x80, {3}), "programme 3"},
      {Frame(0x81, {12}), "preview MP1"},
      {Frame(0x82, {1, 1}), "transition 1/128"},
      {Frame(0x82, {1, 128}), "transition 128/128; transition done: programme MP1, preview 3"},
      {Frame(0x83), "cut: programme 3, preview MP1"},
      {Frame(0x8A, {1}), "background stays selected: no key element"},
      {Frame(0x8B, {0}), "KEY 1 on"},
      {Frame(0x86), "PIP on"},
      {Frame(0x8A, {1}), "background off"},
      {Frame(0x86), "PIP stays: background is off"},
      {Frame(0x88, {0}), "on air on"},
      {Frame(0x85), "fade to black on"},
      {Frame(0x8F), "transition type WIPE"},
      {Frame(0x92, {7}), "wipe pattern 7"},
      {Frame(0x92, {9}), "value 9 out of range, ignored"},
      {Frame(0x94, {16, 40, 16}), "luma levels 16, 40, 16"},
      {Frame(0x98, {1}), "chroma type 1"},
      {Frame(0x99, {32, 220, 32}), "chroma levels 32, 220, 32"},
      {Frame(0x9F, {6}), "PIP border width index 6"},
      {Frame(0xA0, {0x40, 0x06}), "PIP x 1600"},
      {Frame(0xA1, {0x39, 0x04}), "value 1081 out of range, ignored"},
      {Frame(0x80, {}), "command 128 too short, ignored"},
  };
  for (const Step& s : steps) {
    EXPECT_TRUE(device.OnFrame(s.frame, sim::Link::kUdp).empty());
    EXPECT_EQ(device.TakeNote(), s.note);
  }
  const SwitcherPageData state = device.State();
  EXPECT_EQ(state.zv_switcher_pgm_source, 3);
  EXPECT_EQ(state.zv_switcher_pvm_source, 12);
  EXPECT_EQ(state.zv_switcher_pip_state, 1);
  EXPECT_EQ(state.zv_switcher_key1_state, 0);
  EXPECT_EQ(state.zv_switcher_bkgd_state, 0);
  EXPECT_EQ(state.zv_switcher_on_air, 1);
  EXPECT_EQ(state.zv_switcher_ftb_state, 1);
  EXPECT_EQ(state.zv_switcher_trans_type, 3);
  EXPECT_EQ(state.zv_switcher_wipe_pattern, 7);
  EXPECT_EQ(state.zv_switcher_chroma_green[1], 220);
  EXPECT_EQ(state.zv_switcher_pip_x, 1600);
  EXPECT_EQ(state.zv_switcher_pip_y, 0);
  EXPECT_EQ(device.TransitionsDone(), 2);
}

TEST(DeviceSimTest, SwitcherNeverReadsPastAShortFrame) {
  sim::SwitcherDevice device({0xA5, 0x01, "PS", "127.0.0.2", {}});
  // A length field that promises three parameters on a frame that has none.
  sim::Bytes lying = Frame(0x94);
  lying[2] = 23;
  device.OnFrame(lying, sim::Link::kUdp);
  EXPECT_EQ(device.TakeNote(), "command 148 too short, ignored");
  const sim::Bytes tiny = {0xA5, 0x6C, 0x05, 0x00, 0xAE};
  EXPECT_TRUE(device.OnFrame(tiny, sim::Link::kUdp).empty());
  EXPECT_EQ(device.State().zv_switcher_luma_level[0], 0);
}

TEST(DeviceSimTest, SwitcherFollowsFramesOverLoopback) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"PS"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  auto* device = dynamic_cast<sim::SwitcherDevice*>(&runner.sim().Device(0));
  ASSERT_NE(device, nullptr);
  LinkState link;
  test::AimAt(link, port, "127.0.0.2", 0xA5);
  const uint8_t pgm[] = {5};
  link.SendCommand(0x80, pgm);
  const uint8_t pvm[] = {2};
  link.SendCommand(0x81, pvm);
  link.SendCommand(0x83);
  for (int i = 0; i < 200 && device->TransitionsDone() == 0; ++i) {
    test::UdpPeer idle;
    idle.Receive(10);  // a bounded wait while the simulator's thread works
  }
  const SwitcherPageData state = device->State();
  EXPECT_EQ(state.zv_switcher_pgm_source, 2);
  EXPECT_EQ(state.zv_switcher_pvm_source, 5);
}

}  // namespace
}  // namespace zv
