// The main window's shared state without the window: the link state and the
// rules of choosing a panel (the devices' records are their sessions'); tests
// build it directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "link/set_ip.h"
#include "registry/families.h"

namespace zv {

// The panel a device opens: its family's, or none. Which type bytes each
// family answers with is the family registry's (registry/families.h).
#define ZV_PANEL_KIND(Name) k##Name,
enum class PanelKind { kNone, ZV_FAMILIES(ZV_PANEL_KIND) };
#undef ZV_PANEL_KIND
inline PanelKind PanelKindOf(FamilyKind kind) { return static_cast<PanelKind>(static_cast<int>(kind) + 1); }
inline FamilyKind FamilyKindOf(PanelKind kind) { return static_cast<FamilyKind>(static_cast<int>(kind) - 1); }
static_assert(PanelKind::kSwitcher == PanelKind(static_cast<int>(FamilyKind::kSwitcher) + 1));
static_assert(PanelKind::kFourChannel == PanelKind(static_cast<int>(FamilyKind::kFourChannel) + 1));

// Dialog resource of each panel.
int PanelResource(PanelKind kind);

// The panel for a type byte in a connection mode. A type outside the table
// opens the mode's default panel (four-channel on the network, matrix on the
// serial line) and says so in *type_known.
PanelKind PanelForDeviceType(uint8_t device_type, int32_t mode, bool* type_known);



// What the status strip says of a network search while it runs (`over`
// false) and when it is over: how many devices it found and, when the list
// was full, how many more answered and were left out.
std::string SearchStatusText(bool over, int found, int left_out, int cap);

class CZELVIKState : public LinkState {
 public:
  CZELVIKState();

  // ---- set IP (the frame and its question: link/set_ip.h) -----------------
  // What stands in the way of giving the chosen device `ip` as its new
  // address, as the notice to show the operator; empty when nothing does.
  // `fields_filled` counts the address fields that hold a number (none: no
  // address was typed). A device needs an address of its own on a network:
  // not 0.x.x.x, loopback, multicast, broadcast or reserved.
  std::string SetIpProblem(const std::array<uint8_t, 4>& ip, int fields_filled) const;


  // Set while the device list holds only the "No Device Found" line that the
  // last search left.
  bool m_no_device_line = false;
  // The device a chosen line of the device list stands for: the entry of
  // that line, or -1 (no device) for no line and for the "No Device Found"
  // line, which must not open a panel that talks to nobody.
  int DeviceIndexForLine(int line) const;

  // The state side of opening a device panel. Returns false (and changes
  // nothing) when no device is chosen or the list is empty; otherwise closes
  // a socket left open. The caller then replaces the panel.
  bool PrepareOpenDevicePanel(int combo_line_count);
  // The panel for the chosen device, with the program's trace lines; kNone
  // for a connection mode that is neither network nor serial.
  PanelKind ChoosePanel();
};

}  // namespace zv
