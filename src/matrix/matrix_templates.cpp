// Dialog templates of the 8x8 matrix router: the routing panel and its pages.
#include <array>

#include "matrix/matrix_ids.h"
#include "res/dialog_templates.h"

namespace zv {
namespace {

using K = ControlKind;

// Input and output k sit at x = 80 + 68 (k - 1) and show faces 211 + 2k
// (normal) and 212 + 2k (selected), in the rows at y 180 and 380.
constexpr ControlTemplate RowButton(int first_id, int y, int k) {
  return {first_id + k - 1, K::kSkinButton, "", kMatrixRowLeft + kMatrixRowStep * (k - 1), y,
          kMatrixButtonWidth, kMatrixButtonHeight, true, MatrixNormalFace(k)};
}

// Routing panel (206): the two rows, the two page buttons and the page area.
constexpr std::array<ControlTemplate, 21> kMatrixPanelControls{{
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 1),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 2),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 3),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 4),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 5),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 6),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 7),
    RowButton(kIdMatrixInput1, kMatrixInputRowY, 8),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 1),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 2),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 3),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 4),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 5),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 6),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 7),
    RowButton(kIdMatrixOutput1, kMatrixOutputRowY, 8),
    {kIdMatrixFunctionPageButton, K::kShadeButton, "function", 748, 25, 80, 75, true,
     kMatrixFunctionPageFace},
    {kIdMatrixConnectionPageButton, K::kShadeButton, "connection", 840, 25, 90, 75, true,
     kMatrixConnectionPageFace},
    {kIdMatrixPageArea, K::kStaticFrame, "", 750, 105, 490, 420, true, 0},
    // Frames around the rows; the background carries them, so they stay hidden.
    {kIdMatrixInputGroup, K::kGroupBox, "", 60, 160, 560, 105, false, 0},
    {kIdMatrixOutputGroup, K::kGroupBox, "", 60, 360, 560, 105, false, 0},
}};

// Function page (210).
constexpr std::array<ControlTemplate, 5> kMatrixFunctionControls{{
    {kIdMatrixFunctionGroup, K::kGroupBox, "", 5, 5, 480, 410, true, 0},
    {kIdMatrixOneToAll, K::kSkinButton, "one to all", 200, 100, 220, 60, true, 233},
    {kIdMatrixOneToOne, K::kSkinButton, "one to one", 200, 195, 220, 65, true, 234},
    {kIdMatrixLock, K::kSkinButton, "lock", 272, 300, 140, 65, true, kMatrixUnlockedFace},
    {kIdMatrixApply, K::kSkinButton, "apply", 100, 300, 140, 65, true, 235},
}};

// Connection page (208): the mode above the first line, the address between
// the lines, the serial group below the second.
constexpr std::array<ControlTemplate, 15> kMatrixConnectionControls{{
    {kIdMatrixConnectionGroup, K::kGroupBox, "", 5, 5, 480, 410, true, 0},
    {-1, K::kStaticText, "Connection Mode", 30, 36, 130, 20, true, 0},
    {kIdMatrixModeList, K::kComboDropList, "", 170, 32, 200, 80, true, 0},
    {kIdMatrixLanRadio, K::kRadioButton, "", 390, 34, 16, 16, false, 0},
    {kIdMatrixSerialRadio, K::kRadioButton, "", 420, 34, 16, 16, false, 0},
    {-1, K::kStaticText, "Current IP", 30, 124, 130, 20, true, 0},
    {kIdMatrixDeviceIpField, K::kIpAddress, "", 170, 120, 180, 26, true, 0},
    {-1, K::kStaticText, "Net Work", 370, 124, 80, 20, false, 0},
    {-1, K::kStaticText, "Com", 370, 224, 80, 20, false, 0},
    {-1, K::kStaticText, "Serial Port", 30, 224, 130, 20, true, 0},
    {kIdMatrixPortList, K::kComboDropList, "", 170, 220, 180, 120, true, 0},
    {-1, K::kStaticText, "Baud Rate", 30, 274, 130, 20, true, 0},
    {kIdMatrixBaudList, K::kComboDropList, "", 170, 270, 180, 120, true, 0},
    {kIdMatrixConnect, K::kShadeButton, "Connect", 170, 330, 120, 40, true, 0},
    {kIdMatrixLinkIcon, K::kIcon, "", 380, 222, 32, 32, true, kIconLinkDown},
}};

constexpr std::array<DialogTemplate, 3> kMatrixTemplates{{
    {kMatrixPanelResource, "", 1240, 580, 229, kMatrixPanelControls},
    {kMatrixFunctionPageResource, "", 490, 420, 230, kMatrixFunctionControls},
    {kMatrixConnectionPageResource, "", 490, 420, 194, kMatrixConnectionControls},
}};

}  // namespace

std::span<const DialogTemplate> MatrixDialogTemplates() { return kMatrixTemplates; }

}  // namespace zv
