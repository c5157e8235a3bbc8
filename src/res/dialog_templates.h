// Dialog templates as data: each dialog's controls keyed by its resource
// number. One builder (template_builder.h) makes the widgets from a table and
// names each by its id, so Item(1032) finds a control the way the program's
// texts refer to it.
#pragma once

#include <cstdint>
#include <span>

#include "families/family_list.h"

namespace zv {

enum class ControlKind {
  kSkinButton,     // bitmap button drawn over the parent's background
  kShadeButton,    // the same, whose face can carry a computed shade
  kGroupBox,       // thin grey rounded frame with an optional caption
  kPushButton,     // ordinary push button
  kRadioButton,    // radio button; one group per dialog
  kStaticText,     // label
  kStaticFrame,    // invisible frame that only fixes an area
  kComboDropList,  // drop-down list combo box
  kEdit,           // one-line edit field
  kListBox,
  kIcon,           // static picture showing an icon
  kIpAddress,      // four address fields of 0 to 255
  kCheckBox,
  kTrackbar,       // horizontal trackbar without tick marks
};

struct ControlTemplate {
  int id;            // control id; -1 for a label nobody refers to
  ControlKind kind;
  const char* caption;
  int x, y, width, height;  // client pixels
  bool visible;
  int image_id;      // skin bitmap or icon; 0 for none
};

struct DialogTemplate {
  int resource;
  const char* title;
  int width, height;  // client pixels
  int background_id;  // skin bitmap stretched over the client area; 0 for none
  std::span<const ControlTemplate> controls;
};

// A control whose template gives dialog units of the 8-point "MS Shell Dlg"
// font (average character 6 x 13 pixels): converted to client pixels once,
// rounding as the dialog manager does.
constexpr ControlTemplate FromDialogUnits(ControlTemplate c) {
  auto x = [](int du) { return (du * 6 + 2) / 4; };
  auto y = [](int du) { return (du * 13 + 4) / 8; };
  c.x = x(c.x);
  c.y = y(c.y);
  c.width = x(c.width);
  c.height = y(c.height);
  return c;
}

// The template of a dialog resource, or nullptr for an unknown number.
const DialogTemplate* FindDialogTemplate(int resource);

// The templates of each device family's panel and pages (one file per family).
#define ZV_FAMILY_TEMPLATES(Name) std::span<const DialogTemplate> Name##DialogTemplates();
ZV_FAMILIES(ZV_FAMILY_TEMPLATES)
#undef ZV_FAMILY_TEMPLATES

// Ids of the main window's controls.
enum MainWindowControl : int {
  kIdMinimise = 1000,
  kIdMaximise = 1001,
  kIdClose = 1002,
  kIdPanelPlaceholder = 1004,
  kIdScan = 1005,
  kIdSet = 1006,
  kIdDeviceCombo = 1007,
  kIdVersionStatic = 1008,
};
inline constexpr int kMainDialogResource = 102;

// Ids of the connection settings window's controls.
enum SetConfigureControl : int {
  kIdSerialConnect = 1011,
  kIdSerialPortList = 1014,
  kIdSerialBaudList = 1015,
  kIdChangeIp = 1032,
  kIdDeviceIpField = 1036,
  kIdConnectionModeList = 1103,
  kIdLinkStatusIcon = 1104,
  kIdLocalAddresses = 1105,
};
inline constexpr int kSetConfigureResource = 142;
// Skin icons of the serial link state.
inline constexpr int kIconLinkDown = 211;
inline constexpr int kIconLinkUp = 212;

}  // namespace zv
