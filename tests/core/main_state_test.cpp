#include <gtest/gtest.h>

#include "app/main_state.h"
#include "support/recorders.h"

namespace zv {
namespace {

TEST(MainStateTest, PanelChosenByTypeAndMode) {
  struct Case {
    int32_t mode;
    uint8_t list_type;   // type of the chosen list entry (network)
    uint8_t serial_type; // m_main_com_dev_type (serial)
    PanelKind panel;
    int resource;
    bool type_wrong_traced;
  };
  const Case cases[] = {
      {kModeNetwork, 0x60, 0xA1, PanelKind::kFourChannel, 308, false},
      {kModeNetwork, 0x81, 0x00, PanelKind::kMatrix, 206, false},
      {kModeNetwork, 0x82, 0x00, PanelKind::kMatrix, 206, false},
      {kModeNetwork, 0xA1, 0x60, PanelKind::kMultiviewer, 129, false},
      {kModeNetwork, 0xA5, 0x00, PanelKind::kSwitcher, 237, false},
      {kModeNetwork, 0x00, 0xA1, PanelKind::kFourChannel, 308, true},
      {kModeSerial, 0xA1, 0xA5, PanelKind::kSwitcher, 237, false},
      {kModeSerial, 0xA1, 0x00, PanelKind::kMatrix, 206, true},
      {kModeSerial, 0x00, 0x7E, PanelKind::kMatrix, 206, true},
      {2, 0xA1, 0xA1, PanelKind::kNone, 0, false},
  };
  for (const Case& c : cases) {
    CZELVIKState state;
    state.m_eState = c.mode;
    if (state.m_device_list.size() < 4) state.m_device_list.resize(4);
    state.m_device_list[3].device_type = c.list_type;
    state.m_device_index = 3;
    state.m_main_com_dev_type = c.serial_type;
    test::TraceRecorder trace;
    const PanelKind kind = state.ChoosePanel();
    EXPECT_EQ(kind, c.panel) << "mode " << c.mode << " type " << int(c.list_type);
    EXPECT_EQ(PanelResource(kind), c.resource);
    EXPECT_EQ(trace.Has("the device 's type is wrong"), c.type_wrong_traced)
        << "mode " << c.mode << " type " << int(c.list_type);
    EXPECT_EQ(trace.Has("com data wrong"), c.mode != kModeNetwork && c.mode != kModeSerial);
  }
}

TEST(MainStateTest, PreparingAPanelClosesASocketLeftOpen) {
  CZELVIKState state;
  state.m_link_config.local_port = 0;
  ASSERT_EQ(state.OpenScanSocket(), 1);
  // Nothing chosen, or an empty list: nothing changes.
  EXPECT_FALSE(state.PrepareOpenDevicePanel(3));
  state.m_device_index = 0;
  EXPECT_FALSE(state.PrepareOpenDevicePanel(0));
  EXPECT_NE(state.m_udpSockfd, -1);
  // The devices' records are their sessions', which outlive the panel.
  EXPECT_TRUE(state.PrepareOpenDevicePanel(1));
  EXPECT_EQ(state.m_udpSockfd, -1);
}

}  // namespace
}  // namespace zv
