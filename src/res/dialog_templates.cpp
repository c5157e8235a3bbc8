#include "res/dialog_templates.h"

#include <array>

namespace zv {
namespace {

using K = ControlKind;

// Main window (102): a popup without caption or border.
constexpr std::array<ControlTemplate, 8> kMainWindowControls{{
    {kIdMinimise, K::kShadeButton, "min", 1150, 0, 47, 35, true, 198},
    {kIdMaximise, K::kShadeButton, "max", 1200, 0, 34, 35, true, 197},
    {kIdClose, K::kShadeButton, "close", 1236, 0, 42, 35, true, 188},
    {kIdPanelPlaceholder, K::kStaticFrame, "", 20, 110, 1240, 580, false, 0},
    {kIdScan, K::kShadeButton, "scan", 560, 55, 138, 50, true, 196},
    {kIdSet, K::kShadeButton, "set", 2, 690, 25, 30, true, 199},
    // The height of a drop-down list is the height of its open list; the
    // field itself takes the height of its font.
    {kIdDeviceCombo, K::kComboDropList, "", 80, 68, 480, 60, true, 0},
    {kIdVersionStatic, K::kStaticText, "ver 1.0.0.2", 1160, 700, 80, 14, false, 0},
}};

// Connection settings window (142): the mode above the first line, the
// device's address between the lines, the serial group below the second.
// The machine's own addresses sit under the device's, above the second line.
constexpr std::array<ControlTemplate, 12> kSetConfigureControls{{
    {-1, K::kStaticText, "Connection Mode", 20, 34, 120, 20, true, 0},
    {kIdConnectionModeList, K::kComboDropList, "", 150, 30, 200, 80, true, 0},
    {-1, K::kStaticText, "Dev IP", 20, 124, 120, 20, true, 0},
    {kIdDeviceIpField, K::kIpAddress, "", 150, 120, 180, 26, true, 0},
    {kIdChangeIp, K::kPushButton, "Change  IP", 345, 118, 115, 30, true, 0},
    {kIdLocalAddresses, K::kStaticText, "", 150, 152, 310, 34, true, 0},
    {-1, K::kStaticText, "Serial Port", 20, 224, 120, 20, true, 0},
    {kIdSerialPortList, K::kComboDropList, "", 150, 220, 180, 120, true, 0},
    {-1, K::kStaticText, "Baud Rate", 20, 274, 120, 20, true, 0},
    {kIdSerialBaudList, K::kComboDropList, "", 150, 270, 180, 120, true, 0},
    {kIdSerialConnect, K::kPushButton, "Connect", 345, 218, 115, 30, true, 0},
    {kIdLinkStatusIcon, K::kIcon, "", 345, 264, 32, 32, true, kIconLinkDown},
}};

constexpr std::array<DialogTemplate, 2> kTemplates{{
    {kMainDialogResource, "zv_multiview", 1280, 720, 195, kMainWindowControls},
    {kSetConfigureResource, "Configure", 480, 400, 191, kSetConfigureControls},
}};

const DialogTemplate* FindIn(std::span<const DialogTemplate> templates, int resource) {
  for (const DialogTemplate& t : templates)
    if (t.resource == resource) return &t;
  return nullptr;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int resource) {
  // Each device family keeps the templates of its panel and pages beside its
  // own code.
#define ZV_FAMILY_TEMPLATES(Name) Name##DialogTemplates(),
  for (std::span<const DialogTemplate> family :
       {std::span<const DialogTemplate>(kTemplates), ZV_FAMILIES(ZV_FAMILY_TEMPLATES)})
#undef ZV_FAMILY_TEMPLATES
    if (const DialogTemplate* t = FindIn(family, resource)) return t;
  return nullptr;
}

}  // namespace zv
