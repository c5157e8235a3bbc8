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

// Device panels: placed over the main window's panel area. Their controls
// arrive with each device family.
constexpr std::array<DialogTemplate, 5> kTemplates{{
    {kMainDialogResource, "zv_multiview", 1280, 720, 195, kMainWindowControls},
    {129, "", 1240, 580, 187, {}},  // multiviewer
    {206, "", 1240, 580, 229, {}},  // matrix switcher
    {237, "", 1240, 580, 294, {}},  // production switcher
    {308, "", 1240, 580, 187, {}},  // four-channel switcher
}};

}  // namespace

const DialogTemplate* FindDialogTemplate(int resource) {
  for (const DialogTemplate& t : kTemplates)
    if (t.resource == resource) return &t;
  return nullptr;
}

}  // namespace zv
