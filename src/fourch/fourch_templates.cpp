// Dialog templates of the four-channel switcher: the panel and its pages.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

using K = ControlKind;

// The mode buttons sit on a grid of four columns (x 830, 920, 1010, 1100)
// and four rows (y 160, 220, 280, 340); modes 5 and 6 have no place on it.
constexpr ControlTemplate kPanelControls[] = {
    {1185, K::kStaticFrame, "", 5, 40, 1, 1, true, 0},
    {1186, K::kGroupBox, "", 800, 30, 400, 90, true, 0},
    {1188, K::kGroupBox, "", 800, 130, 400, 300, true, 0},
    {1190, K::kGroupBox, "", 800, 430, 400, 95, true, 0},
    {1032, K::kSkinButton, "Button1", 830, 160, 68, 48, true, 309},
    {1033, K::kSkinButton, "Button1", 920, 160, 68, 50, true, 311},
    {1034, K::kSkinButton, "Button1", 1010, 160, 68, 50, true, 313},
    {1035, K::kSkinButton, "Button1", 1100, 160, 68, 48, true, 315},
    {1036, K::kSkinButton, "Button1", 830, 220, 68, 48, true, 317},
    {1037, K::kSkinButton, "Button1", 0, 0, 68, 48, false, 319},
    {1038, K::kSkinButton, "Button1", 0, 0, 68, 48, false, 321},
    {1039, K::kSkinButton, "Button1", 920, 220, 68, 48, true, 323},
    {1040, K::kSkinButton, "Button1", 1010, 220, 68, 48, true, 325},
    {1041, K::kSkinButton, "Button1", 1100, 220, 68, 48, true, 327},
    {1042, K::kSkinButton, "Button1", 830, 280, 68, 48, true, 329},
    {1043, K::kSkinButton, "Button1", 920, 280, 68, 48, true, 331},
    {1048, K::kSkinButton, "Button1", 1010, 280, 68, 50, true, 371},
    {1044, K::kSkinButton, "Button1", 1100, 280, 68, 48, true, 333},
    {1045, K::kSkinButton, "Button1", 830, 340, 68, 48, true, 335},
    {1046, K::kSkinButton, "Button1", 920, 340, 68, 48, true, 337},
    {1047, K::kSkinButton, "Button1", 1010, 340, 68, 48, true, 339},
    {1011, K::kSkinButton, "Loop State", 830, 460, 70, 45, true, 373},
    {1191, K::kEdit, "3", 910, 470, 40, 20, true, 0},
    {1193, K::kStaticText, "PIP Child Ch", 990, 475, 70, 20, true, 0},
    {1189, K::kComboDropList, "", 1065, 470, 50, 100, true, 0},
    {1192, K::kComboDropList, "", 1125, 470, 50, 100, true, 0},
    {1200, K::kStaticText, "Channel", 850, 45, 50, 20, true, 0},
    {1201, K::kStaticText, "1", 922, 45, 20, 20, true, 0},
    {1202, K::kStaticText, "2", 962, 45, 20, 20, true, 0},
    {1203, K::kStaticText, "3", 1002, 45, 20, 20, true, 0},
    {1204, K::kStaticText, "4", 1042, 45, 20, 20, true, 0},
    {1196, K::kIcon, "", 910, 63, 30, 20, true, 376},
    {1197, K::kIcon, "", 950, 63, 30, 20, true, 376},
    {1198, K::kIcon, "", 990, 63, 30, 20, true, 376},
    {1199, K::kIcon, "", 1030, 63, 30, 20, true, 376},
    {1187, K::kComboDropList, "", 830, 440, 90, 120, false, 0},
    {1194, K::kStaticText, "Output Format", 830, 420, 90, 20, false, 0},
    {1161, K::kSkinButton, "Time", 910, 440, 40, 20, false, 0},
};

constexpr std::array<DialogTemplate, 1> kFourChannelTemplates{{
    {308, "", 1240, 580, 187, kPanelControls},
}};

}  // namespace

std::span<const DialogTemplate> FourChannelDialogTemplates() { return kFourChannelTemplates; }

}  // namespace zv
