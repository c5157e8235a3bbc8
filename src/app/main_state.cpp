#include "app/main_state.h"

#include <cstring>

#include "platform/platform.h"

namespace zv {

int PanelResource(PanelKind kind) {
  return kind == PanelKind::kNone ? 0 : FamilyOf(FamilyKindOf(kind)).panel_resource;
}

PanelKind PanelForDeviceType(uint8_t device_type, int32_t mode, bool* type_known) {
  if (const FamilyInfo* family = FamilyForType(device_type)) {
    if (type_known) *type_known = true;
    return PanelKindOf(family->kind);
  }
  if (type_known) *type_known = false;
  return mode == kModeSerial ? PanelKind::kMatrix : PanelKind::kFourChannel;
}




CZELVIKState::CZELVIKState() = default;

int CZELVIKState::DeviceIndexForLine(int line) const {
  if (line < 0 || line >= static_cast<int>(m_device_list.size()) || m_no_device_line) return -1;
  return line;
}

std::string SearchStatusText(bool over, int found, int left_out, int cap) {
  std::string text = std::string(over ? "Search over: " : "Searching... ") + std::to_string(found) + " found";
  if (left_out > 0)
    text += ", " + std::to_string(left_out) + " more answered but left out: the device list holds " +
            std::to_string(cap) + (over ? " (--device-list-cap raises it)" : "");
  return text;
}

bool CZELVIKState::PrepareOpenDevicePanel(int combo_line_count) {
  if (m_device_index < 0 || combo_line_count <= 0) return false;
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

std::string CZELVIKState::SetIpProblem(const std::array<uint8_t, 4>& ip, int fields_filled) const {
  if (m_device_index < 0) return "Please choose a device";
  // A device found on the serial line has no network address to send to.
  if (!ChosenDeviceAddress()) return "The chosen device has no network address";
  return DeviceAddressProblem(ip, fields_filled);
}

}  // namespace zv
