// The main window's shared state without the window: the link state, the
// records of the device families, and the rules of choosing a panel. Panels
// reach it through m_p_glo_main_set_or_get_dlg; tests build it directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "multiview/multiview_state.h"
#include "switcher/switcher_state.h"

namespace zv {

enum class PanelKind { kNone, kFourChannel, kMatrix, kMultiviewer, kSwitcher };

struct PanelTypeRow {
  uint8_t device_type;
  PanelKind kind;
};
// Which panel a device type opens.
inline constexpr std::array<PanelTypeRow, 5> kPanelByDeviceType{{
    {0x60, PanelKind::kFourChannel},
    {0x81, PanelKind::kMatrix},
    {0x82, PanelKind::kMatrix},
    {0xA1, PanelKind::kMultiviewer},
    {0xA5, PanelKind::kSwitcher},
}};

// Dialog resource of each panel.
int PanelResource(PanelKind kind);

// The panel for a type byte in a connection mode. A type outside the table
// opens the mode's default panel (four-channel on the network, matrix on the
// serial line) and says so in *type_known.
PanelKind PanelForDeviceType(uint8_t device_type, int32_t mode, bool* type_known);

// The question asked before a set-IP frame leaves, naming the device (its
// line in the device list, else its address) and the address it is to take.
std::string SetIpQuestion(const std::string& device_line, const DeviceEntry& device,
                          const std::array<uint8_t, 4>& ip);


class CZELVIKState : public LinkState, public MultiviewerState {
 public:
  CZELVIKState();

  // ---- multiviewer (state in MultiviewerState; link in multiview_link.cpp) --
  // Sends a multiviewer command by the connection mode: by UDP in network
  // mode, on the serial port in serial mode. Returns 1 when the frame counts
  // as sent (network mode always; serial mode only with the port open).
  int SendMultiviewerCommand(uint8_t command, std::span<const uint8_t> params = {});
  // Sends the label of window n + 1 (set window label) by the connection mode.
  int SendMultiviewerLabel(int n, const std::u16string& label);
  // Reads the whole device state: the UDP variant in network mode, otherwise
  // the serial one.
  void ReadMultiviewerState();
  void ReadMultiviewerStateUdp();
  void ReadMultiviewerStateSerial();

  // ---- set-IP parameters: IP, mask, gateway, first octet first -----------
  uint8_t m_set_ip_params[12] = {};
  // Sends the set-IP frame with m_set_ip_params to the chosen device, by UDP
  // whatever the connection mode. No reply is awaited; true when the
  // datagram left.
  bool SendSetIpFrame();
  // What stands in the way of giving the chosen device `ip` as its new
  // address, as the notice to show the operator; empty when nothing does.
  // `fields_filled` counts the address fields that hold a number (none: no
  // address was typed). A device needs an address of its own on a network:
  // not 0.x.x.x, loopback, multicast, broadcast or reserved.
  std::string SetIpProblem(const std::array<uint8_t, 4>& ip, int fields_filled) const;

  // Start-up step: every window label holds one blank.
  void ResetWindowLabels();

  // Set while the device list holds only the "No Device Found" line that the
  // last search left.
  bool m_no_device_line = false;
  // The device a chosen line of the device list stands for: the entry of
  // that line, or -1 (no device) for no line and for the "No Device Found"
  // line, which must not open a panel that talks to nobody.
  int8_t DeviceIndexForLine(int line) const;

  // The state side of opening a device panel. Returns false (and changes
  // nothing) when no device is chosen or the list is empty; otherwise
  // resets the multiviewer record and closes a socket left open. The caller
  // then replaces the panel.
  bool PrepareOpenDevicePanel(int combo_line_count);
  // The panel for the chosen device, with the program's trace lines; kNone
  // for a connection mode that is neither network nor serial.
  PanelKind ChoosePanel();
};

}  // namespace zv
