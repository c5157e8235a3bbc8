#include "app/main_state.h"

#include <cstring>

#include "multiview/multiview_link.h"
#include "platform/platform.h"

namespace zv {

int PanelResource(PanelKind kind) {
  switch (kind) {
    case PanelKind::kFourChannel: return 308;
    case PanelKind::kMatrix: return 206;
    case PanelKind::kMultiviewer: return 129;
    case PanelKind::kSwitcher: return 237;
    case PanelKind::kNone: break;
  }
  return 0;
}

PanelKind PanelForDeviceType(uint8_t device_type, int32_t mode, bool* type_known) {
  for (const PanelTypeRow& row : kPanelByDeviceType) {
    if (row.device_type == device_type) {
      if (type_known) *type_known = true;
      return row.kind;
    }
  }
  if (type_known) *type_known = false;
  return mode == kModeSerial ? PanelKind::kMatrix : PanelKind::kFourChannel;
}


std::string SetIpQuestion(const std::string& device_line, const DeviceEntry& device,
                          const std::array<uint8_t, 4>& ip) {
  const std::string name = device_line.empty() ? "the device at " + device.IpText() : device_line;
  return "Change the IP address of " + name + " to " + DottedQuad(ip) + "?";
}


CZELVIKState::CZELVIKState() {
  // The serial frame scanner hands a multiviewer's state reply to its decoder.
  m_state_frame_handler = [this](std::span<const uint8_t> frame) {
    ApplyReadStateReply(frame.first(MultiviewReplyContentLength(frame)));
  };
}

void CZELVIKState::ResetWindowLabels() {
  // One character assigned, not a literal: GCC 12 at -O2 warns falsely
  // (-Wrestrict) about assigning a string literal here.
  for (auto& label : m_16_view_umd_name) label.assign(1, u' ');
}

int8_t CZELVIKState::DeviceIndexForLine(int line) const {
  if (line < 0 || line >= kDeviceListSize || m_no_device_line) return -1;
  return static_cast<int8_t>(line);
}

bool CZELVIKState::PrepareOpenDevicePanel(int combo_line_count) {
  if (m_device_index < 0 || combo_line_count <= 0) return false;
  ResetMultiviewPageData(m_all_16_view_page_data);
  // Descriptor 0 is a valid socket on this platform, so any open one is closed.
  CloseUdpSocket();
  return true;
}

PanelKind CZELVIKState::ChoosePanel() {
  uint8_t device_type = 0;
  if (m_eState == kModeNetwork) {
    device_type = ChosenDevice().device_type;
  } else if (m_eState == kModeSerial) {
    device_type = m_main_com_dev_type;
  } else {
    Trace("com data wrong");
    return PanelKind::kNone;
  }
  bool known = false;
  const PanelKind kind = PanelForDeviceType(device_type, m_eState, &known);
  if (!known) Trace("the device 's type is wrong");
  return kind;
}

bool CZELVIKState::SendSetIpFrame() { return zv::SendSetIpFrame(*this, m_set_ip_params); }

int CZELVIKState::SendMultiviewerCommand(uint8_t command, std::span<const uint8_t> params) {
  return SendMultiviewerFrame(*this, command, params);
}

int CZELVIKState::SendMultiviewerLabel(int n, const std::u16string& label) {
  return SendMultiviewerLabelFrame(*this, n, label);
}

void CZELVIKState::ReadMultiviewerState() {
  if (m_eState == kModeNetwork)
    ReadMultiviewerStateUdp();
  else
    ReadMultiviewerStateSerial();
}

void CZELVIKState::ReadMultiviewerStateUdp() {
  if (const auto content = FetchMultiviewerStateUdp(*this)) ApplyReadStateReply(*content);
  m_16_view_state_read = 1;
}

void CZELVIKState::ReadMultiviewerStateSerial() {
  if (!m_serial_port.IsOpen()) return;
  // The serial reader hands the frame over itself (and the handler of this
  // state applies it), so only the read flag is left to set.
  if (const auto content = FetchMultiviewerStateSerial(*this)) ApplyReadStateReply(*content);
  m_16_view_state_read = 1;
}

std::string CZELVIKState::SetIpProblem(const std::array<uint8_t, 4>& ip, int fields_filled) const {
  if (m_device_index < 0) return "Please choose a device";
  // A device found on the serial line has no network address to send to.
  if (!ChosenDeviceAddress()) return "The chosen device has no network address";
  return DeviceAddressProblem(ip, fields_filled);
}

}  // namespace zv
