// Dialog templates of the production switcher: the main panel and its pages.
// Group boxes come first in each table, so that they lie below the controls
// they frame and never take their clicks.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

using K = ControlKind;
constexpr auto Du = FromDialogUnits;

// Switcher panel (237). Bus buttons show their normal face (247 + 3n).
constexpr ControlTemplate kSwitcherControls[] = {
    {-1, K::kGroupBox, "PGM", 5, 100, 440, 190, false, 0},
    {-1, K::kGroupBox, "PVM", 5, 320, 440, 190, false, 0},
    {-1, K::kGroupBox, "FUNCTION", 455, 100, 400, 410, false, 0},
    {-1, K::kGroupBox, "", 860, 100, 95, 410, false, 0},
    {-1, K::kGroupBox, "", 5, 10, 950, 80, false, 0},
    // Programme bus: sources 1..8, BLK (11), MP1 (12); 9 and 10 hidden.
    {1032, K::kSkinButton, "1", 10, 120, 70, 70, true, 250},
    {1033, K::kSkinButton, "2", 80, 120, 70, 70, true, 253},
    {1011, K::kSkinButton, "3", 150, 120, 70, 70, true, 256},
    {1107, K::kSkinButton, "4", 220, 120, 70, 70, true, 259},
    {1108, K::kSkinButton, "5", 10, 200, 70, 70, true, 262},
    {1109, K::kSkinButton, "6", 80, 200, 70, 70, true, 265},
    {1110, K::kSkinButton, "7", 150, 200, 70, 70, true, 268},
    {1111, K::kSkinButton, "8", 220, 200, 70, 70, true, 271},
    {1123, K::kSkinButton, "9", 290, 120, 70, 70, false, 274},
    {1124, K::kSkinButton, "10", 290, 200, 70, 70, false, 277},
    {1119, K::kSkinButton, "BLK", 360, 120, 70, 70, true, 280},
    {1120, K::kSkinButton, "MP1", 360, 200, 70, 70, true, 283},
    // Preview bus.
    {1034, K::kSkinButton, "1", 10, 340, 70, 70, true, 250},
    {1035, K::kSkinButton, "2", 80, 340, 70, 70, true, 253},
    {1012, K::kSkinButton, "3", 150, 340, 70, 70, true, 256},
    {1112, K::kSkinButton, "4", 220, 340, 70, 70, true, 259},
    {1113, K::kSkinButton, "5", 10, 420, 70, 70, true, 262},
    {1114, K::kSkinButton, "6", 80, 420, 70, 70, true, 265},
    {1115, K::kSkinButton, "7", 150, 420, 70, 70, true, 268},
    {1116, K::kSkinButton, "8", 220, 420, 70, 70, true, 271},
    {1126, K::kSkinButton, "9", 290, 340, 70, 70, false, 274},
    {1127, K::kSkinButton, "10", 290, 420, 70, 70, false, 277},
    {1153, K::kSkinButton, "BLK", 360, 340, 70, 70, true, 280},
    {1155, K::kSkinButton, "MP1", 360, 420, 70, 70, true, 283},
    // Next transition, ON AIR, transition types.
    {1131, K::kSkinButton, "PIP", 465, 120, 70, 70, true, 299},
    {1144, K::kSkinButton, "KEY 1", 535, 120, 70, 70, true, 290},
    {1145, K::kSkinButton, "KEY 2", 605, 120, 70, 70, true, 292},
    {1135, K::kSkinButton, "BKGD", 465, 200, 70, 70, true, 247},
    {1134, K::kSkinButton, "ON AIR", 605, 200, 70, 70, true, 298},
    {1158, K::kSkinButton, "ON AIR", 535, 200, 70, 70, false, 298},
    {1136, K::kSkinButton, "MIX", 465, 340, 70, 70, true, 296},
    {1162, K::kSkinButton, "DIP", 535, 340, 70, 70, true, 286},
    {1132, K::kSkinButton, "WIPE", 605, 340, 70, 70, true, 303},
    {1151, K::kSkinButton, "Cut", 465, 420, 80, 80, true, 285},
    {1118, K::kSkinButton, "Auto", 600, 420, 80, 80, true, 245},
    {1152, K::kSkinButton, "FTB", 870, 420, 80, 80, true, 289},
    {1161, K::kSkinButton, "  STREAM        ON", 870, 120, 80, 80, true, 347},
    {1036, K::kSkinButton, "r1", 875, 205, 70, 70, true, 342},
    {1037, K::kSkinButton, "r2", 875, 275, 70, 70, true, 343},
    {1038, K::kSkinButton, "r3", 875, 345, 70, 70, true, 345},
    // The page area; the page shown in it covers it.
    {1166, K::kStaticFrame, "", 960, 100, 250, 400, true, 0},
    // Buttons of sources and functions this switcher does not offer.
    {1121, K::kSkinButton, "MP2", 290, 30, 60, 40, false, 0},
    {1156, K::kSkinButton, "MP2", 360, 30, 60, 40, false, 0},
    {1122, K::kSkinButton, "SSrc", 430, 30, 60, 40, false, 0},
    {1154, K::kSkinButton, "SSrc", 500, 30, 60, 40, false, 0},
    {1125, K::kSkinButton, "Color1", 570, 30, 60, 40, false, 0},
    {1157, K::kSkinButton, "Color1", 640, 30, 60, 40, false, 0},
    {1128, K::kSkinButton, "DEV", 710, 30, 60, 40, false, 0},
    {1146, K::kSkinButton, "STRING", 780, 30, 60, 40, false, 0},
};

// Transition settings page (240): the nine wipe patterns; the time fields and
// source lists of the template stay hidden.
constexpr ControlTemplate kFunctionControls[] = {
    {1167, K::kGroupBox, "", 5, 5, 240, 390, true, 0},
    {1032, K::kSkinButton, "Button1", 30, 100, 50, 50, true, 360},
    {1033, K::kSkinButton, "Button1", 90, 100, 50, 50, true, 370},
    {1034, K::kSkinButton, "Button1", 150, 100, 50, 50, true, 368},
    {1035, K::kSkinButton, "Button1", 30, 160, 50, 50, true, 362},
    {1036, K::kSkinButton, "Button1", 90, 160, 50, 50, true, 359},
    {1037, K::kSkinButton, "Button1", 150, 160, 50, 50, true, 367},
    {1038, K::kSkinButton, "Button1", 30, 220, 50, 50, true, 357},
    {1043, K::kSkinButton, "Button1", 90, 220, 50, 50, true, 354},
    {1044, K::kSkinButton, "Button1", 150, 220, 50, 50, true, 365},
    Du({-1, K::kStaticText, "mix time", 10, 200, 40, 8, false, 0}),
    Du({1040, K::kEdit, "", 55, 198, 30, 12, false, 0}),
    Du({-1, K::kStaticText, "dip time", 10, 214, 40, 8, false, 0}),
    Du({1041, K::kEdit, "", 55, 212, 30, 12, false, 0}),
    Du({-1, K::kStaticText, "wipe time", 10, 228, 40, 8, false, 0}),
    Du({1042, K::kEdit, "", 55, 226, 30, 12, false, 0}),
    Du({-1, K::kStaticText, "dip source", 90, 200, 40, 8, false, 0}),
    Du({1164, K::kComboDropList, "", 90, 210, 60, 80, false, 0}),
    Du({-1, K::kStaticText, "wipe source", 90, 224, 40, 8, false, 0}),
    Du({1039, K::kComboDropList, "", 90, 234, 60, 80, false, 0}),
    Du({-1, K::kStaticText, "wipe style", 90, 248, 40, 8, false, 0}),
    Du({1165, K::kComboDropList, "", 90, 258, 60, 80, false, 0}),
};

// Luma key page (242); positions in dialog units, the group box in pixels.
constexpr ControlTemplate kLumaControls[] = {
    {1168, K::kGroupBox, "", 5, 5, 240, 390, true, 0},
    Du({-1, K::kStaticText, "Video Source", 15, 15, 60, 8, true, 0}),
    Du({1174, K::kComboDropList, "", 15, 31, 93, 139, true, 0}),
    Du({-1, K::kStaticText, "Red", 15, 59, 40, 8, true, 0}),
    Du({-1, K::kStaticText, "Green", 15, 93, 40, 8, true, 0}),
    Du({-1, K::kStaticText, "Blue", 15, 129, 40, 8, true, 0}),
    Du({1175, K::kTrackbar, "", 10, 72, 100, 15, true, 0}),
    Du({1176, K::kTrackbar, "", 10, 107, 100, 15, true, 0}),
    Du({1177, K::kTrackbar, "", 10, 140, 100, 15, true, 0}),
    Du({1040, K::kEdit, "", 117, 70, 21, 14, true, 0}),
    Du({1041, K::kEdit, "", 117, 106, 21, 14, true, 0}),
    Du({1042, K::kEdit, "", 117, 139, 21, 14, true, 0}),
    Du({-1, K::kStaticText, "Key1 换成了亮度", 15, 170, 100, 8, false, 0}),
};

// Chroma key page (307).
constexpr ControlTemplate kChromaControls[] = {
    {1173, K::kGroupBox, "", 5, 5, 240, 390, true, 0},
    Du({-1, K::kStaticText, "Video Source", 17, 14, 60, 8, true, 0}),
    Du({1178, K::kComboDropList, "", 17, 27, 94, 122, true, 0}),
    Du({-1, K::kStaticText, "Chorma Type", 17, 47, 60, 8, true, 0}),
    Du({1179, K::kComboDropList, "", 17, 65, 94, 128, true, 0}),
    Du({-1, K::kStaticText, "Red", 17, 90, 40, 8, true, 0}),
    Du({-1, K::kStaticText, "Green", 17, 125, 40, 8, true, 0}),
    Du({-1, K::kStaticText, "Blue", 17, 153, 40, 8, true, 0}),
    Du({1170, K::kTrackbar, "", 12, 104, 100, 15, true, 0}),
    Du({1171, K::kTrackbar, "", 12, 136, 100, 15, true, 0}),
    Du({1172, K::kTrackbar, "", 12, 168, 100, 15, true, 0}),
    Du({1040, K::kEdit, "", 119, 103, 20, 14, true, 0}),
    Du({1041, K::kEdit, "", 119, 135, 20, 14, true, 0}),
    Du({1042, K::kEdit, "", 119, 167, 20, 14, true, 0}),
    Du({-1, K::kStaticText, "Key2换成了色度", 17, 190, 100, 8, false, 0}),
};

// Picture-in-picture page (306). The source list has an edit field; the page
// makes it editable.
constexpr ControlTemplate kPipControls[] = {
    {1169, K::kGroupBox, "", 5, 5, 240, 390, true, 0},
    Du({-1, K::kStaticText, "Video Source", 22, 13, 60, 8, true, 0}),
    Du({1183, K::kComboDropList, "", 22, 24, 90, 30, true, 0}),
    Du({-1, K::kStaticText, "Border Enable", 22, 38, 60, 8, true, 0}),
    Du({1180, K::kComboDropList, "", 22, 50, 90, 98, true, 0}),
    Du({-1, K::kStaticText, "Border Color", 22, 65, 60, 8, true, 0}),
    Du({1181, K::kComboDropList, "", 22, 73, 90, 132, true, 0}),
    Du({-1, K::kStaticText, "Border Width", 22, 89, 60, 8, true, 0}),
    Du({1182, K::kComboDropList, "", 22, 97, 90, 169, true, 0}),
    Du({-1, K::kStaticText, "Window X Pos", 22, 116, 60, 8, true, 0}),
    Du({-1, K::kStaticText, "Window Y Pos", 22, 148, 60, 8, true, 0}),
    Du({-1, K::kStaticText, "Window Width", 22, 179, 60, 8, true, 0}),
    Du({1170, K::kTrackbar, "", 17, 129, 100, 15, true, 0}),
    Du({1171, K::kTrackbar, "", 17, 159, 100, 15, true, 0}),
    Du({1172, K::kTrackbar, "", 17, 189, 100, 15, true, 0}),
    Du({1040, K::kEdit, "", 121, 128, 26, 14, true, 0}),
    Du({1041, K::kEdit, "", 121, 157, 26, 14, true, 0}),
    Du({1042, K::kEdit, "", 121, 187, 26, 14, true, 0}),
    Du({-1, K::kStaticText, "Window Height", 22, 206, 60, 8, false, 0}),
    Du({1173, K::kTrackbar, "", 17, 216, 100, 15, false, 0}),
};

constexpr std::array<DialogTemplate, 5> kSwitcherTemplates{{
    {237, "", 1240, 580, 294, kSwitcherControls},
    {240, "", 250, 400, 194, kFunctionControls},
    {242, "", 250, 400, 194, kLumaControls},
    {307, "", 250, 400, 194, kChromaControls},
    {306, "", 250, 400, 194, kPipControls},
}};

}  // namespace

std::span<const DialogTemplate> SwitcherDialogTemplates() { return kSwitcherTemplates; }

}  // namespace zv
