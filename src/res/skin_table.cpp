#include "res/skin_table.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace zv {
namespace {

using S = SkinKind;
using G = SkinGlyph;
using W = SkinWipePicture;

// The palette of the default skin. Unlit keys are dark so that a lit one
// stands out from across the room; tally colours follow broadcast custom
// (programme red, preview green), next-transition and routing choices are
// amber, page and picture choices blue.
constexpr uint32_t kKeyOff = 0x3B4049;
constexpr uint32_t kKeyWhite = 0xC6CBD2;
constexpr uint32_t kTallyRed = 0xE3262B;
constexpr uint32_t kPreviewGreen = 0x22C44A;
constexpr uint32_t kAmber = 0xF4B321;
constexpr uint32_t kAccent = 0x2F8FD8;
constexpr uint32_t kAction = 0x2D5C86;
constexpr uint32_t kPanel = 0x2A2D33;

constexpr SkinEntry Face(int id, int w, int h, const char* caption, uint32_t colour, bool lit,
                         G glyph = G::kNone) {
  return {id, w, h, S::kButtonFace, caption, colour, static_cast<int>(glyph), lit};
}
constexpr SkinEntry Page(int id, int w, const char* caption, G glyph, bool lit) {
  return {id, w, 75, S::kPageButton, caption, lit ? kAccent : kKeyOff, static_cast<int>(glyph),
          lit};
}
constexpr SkinEntry Back(int id, int w, int h, S kind, uint32_t colour) {
  return {id, w, h, kind, "", colour, 0, false};
}
constexpr SkinEntry Layout(int id, int index, bool lit) {
  return {id, 80, 57, S::kLayoutPictogram, "", lit ? kAccent : kKeyOff, index, lit};
}
// Buttons of show modes 1, 2 and 16 are two pixels taller than the others.
constexpr SkinEntry Mode(int id, int mode, bool lit) {
  const int h = (mode == 1 || mode == 2 || mode == 16) ? 50 : 48;
  return {id, 68, h, S::kShowModePictogram, "", lit ? kAccent : kKeyOff, mode, lit};
}
constexpr SkinEntry Wipe(int id, W picture, bool lit) {
  return {id, 50, 50, S::kWipePictogram, "", lit ? kAmber : kKeyOff, static_cast<int>(picture),
          lit};
}

constexpr auto kSkin = std::to_array<SkinEntry>({
    {128, 32, 32, S::kAppIcon, "ZV", kAccent, 0, false},
    // Multiviewer layout buttons, layout index 0 to 6 (1 to 16 windows).
    Layout(171, 0, false), Layout(172, 0, true),
    Layout(173, 1, false), Layout(174, 1, true),
    Layout(175, 2, false), Layout(176, 2, true),
    Layout(177, 3, false), Layout(178, 3, true),
    Layout(179, 4, false), Layout(180, 4, true),
    Layout(181, 5, false), Layout(182, 5, true),
    Layout(183, 6, false), Layout(184, 6, true),
    // Multiviewer page tabs. 192/193 and 200/201 are also the matrix panel's
    // two page buttons (function page, 80 x 75; connection page, 90 x 75), so
    // their captions name what both pages are for: CONTROL and SETUP. 200/201
    // take the wider of the two buttons (92); the face keeps a transparent
    // column at each side, which the 90-pixel button trims away.
    Page(185, 80, "AUDIO", G::kAudio, false), Page(186, 80, "AUDIO", G::kAudio, true),
    Back(187, 1280, 585, S::kPanelBackground, kPanel),
    {188, 42, 35, S::kGlyphClose, "close", 0xC8463C, 0, false},
    Page(189, 72, "COLOUR", G::kColours, false), Page(190, 72, "COLOUR", G::kColours, true),
    Back(191, 480, 400, S::kDialogBackground, 0x34373D),
    Page(192, 80, "CONTROL", G::kLayout, false), Page(193, 80, "CONTROL", G::kLayout, true),
    Back(194, 490, 420, S::kPanelBackground, 0x303339),
    {195, 1280, 720, S::kWindowBackground, "zv_multiview", 0x24272C, 0, false},
    Face(196, 138, 50, "SCAN", kAccent, false),
    {197, 34, 35, S::kGlyphMaximise, "max", 0x5A5F68, 0, false},
    {198, 47, 35, S::kGlyphMinimise, "min", 0x5A5F68, 0, false},
    {199, 25, 30, S::kGlyphSettings, "set", 0x7A808A, 0, false},
    Page(200, 92, "SETUP", G::kSettings, false), Page(201, 92, "SETUP", G::kSettings, true),
    Page(202, 80, "STATUS", G::kStatus, false), Page(203, 80, "STATUS", G::kStatus, true),
    Page(204, 80, "LABELS", G::kLabels, false), Page(205, 80, "LABELS", G::kLabels, true),
    // Serial link state (settings window and matrix connection page).
    {211, 32, 32, S::kLinkIcon, "", 0x8A4A48, 0, false},
    {212, 32, 32, S::kLinkIcon, "", kPreviewGreen, 0, true},
    // Matrix inputs and outputs k = 1 to 8 share faces 211 + 2k and 212 + 2k.
    Face(213, 60, 65, "1", kKeyOff, false), Face(214, 60, 65, "1", kAmber, true),
    Face(215, 60, 65, "2", kKeyOff, false), Face(216, 60, 65, "2", kAmber, true),
    Face(217, 60, 65, "3", kKeyOff, false), Face(218, 60, 65, "3", kAmber, true),
    Face(219, 60, 65, "4", kKeyOff, false), Face(220, 60, 65, "4", kAmber, true),
    Face(221, 60, 65, "5", kKeyOff, false), Face(222, 60, 65, "5", kAmber, true),
    Face(223, 60, 65, "6", kKeyOff, false), Face(224, 60, 65, "6", kAmber, true),
    Face(225, 60, 65, "7", kKeyOff, false), Face(226, 60, 65, "7", kAmber, true),
    Face(227, 60, 65, "8", kKeyOff, false), Face(228, 60, 65, "8", kAmber, true),
    Back(229, 1240, 580, S::kMatrixBackground, kPanel),
    // Matrix function page.
    Back(230, 490, 420, S::kPanelBackground, 0x303339),
    Face(231, 140, 65, "LOCK", kKeyOff, false, G::kLockOpen),
    Face(232, 140, 65, "LOCKED", kTallyRed, true, G::kLockClosed),
    Face(233, 220, 60, "ONE TO ALL", kAction, false),
    Face(234, 220, 65, "ONE TO ONE", kAction, false),
    Face(235, 140, 65, "APPLY", kAction, false),
    // Production switcher. Auto and BKGD sit just below the bus faces.
    Face(245, 80, 80, "AUTO", kKeyOff, false),
    Face(246, 70, 70, "BKGD", kKeyOff, false),
    Face(247, 70, 70, "BKGD", kAmber, true),
    // Bus source n = 1 to 12: 245 + 3n preview, 246 + 3n programme, 247 + 3n
    // normal. Sources 9 and 10 have no visible button but keep their faces.
    Face(248, 70, 70, "1", kPreviewGreen, true), Face(249, 70, 70, "1", kTallyRed, true),
    Face(250, 70, 70, "1", kKeyWhite, false),
    Face(251, 70, 70, "2", kPreviewGreen, true), Face(252, 70, 70, "2", kTallyRed, true),
    Face(253, 70, 70, "2", kKeyWhite, false),
    Face(254, 70, 70, "3", kPreviewGreen, true), Face(255, 70, 70, "3", kTallyRed, true),
    Face(256, 70, 70, "3", kKeyWhite, false),
    Face(257, 70, 70, "4", kPreviewGreen, true), Face(258, 70, 70, "4", kTallyRed, true),
    Face(259, 70, 70, "4", kKeyWhite, false),
    Face(260, 70, 70, "5", kPreviewGreen, true), Face(261, 70, 70, "5", kTallyRed, true),
    Face(262, 70, 70, "5", kKeyWhite, false),
    Face(263, 70, 70, "6", kPreviewGreen, true), Face(264, 70, 70, "6", kTallyRed, true),
    Face(265, 70, 70, "6", kKeyWhite, false),
    Face(266, 70, 70, "7", kPreviewGreen, true), Face(267, 70, 70, "7", kTallyRed, true),
    Face(268, 70, 70, "7", kKeyWhite, false),
    Face(269, 70, 70, "8", kPreviewGreen, true), Face(270, 70, 70, "8", kTallyRed, true),
    Face(271, 70, 70, "8", kKeyWhite, false),
    Face(272, 70, 70, "9", kPreviewGreen, true), Face(273, 70, 70, "9", kTallyRed, true),
    Face(274, 70, 70, "9", kKeyWhite, false),
    Face(275, 70, 70, "10", kPreviewGreen, true), Face(276, 70, 70, "10", kTallyRed, true),
    Face(277, 70, 70, "10", kKeyWhite, false),
    Face(278, 70, 70, "BLK", kPreviewGreen, true), Face(279, 70, 70, "BLK", kTallyRed, true),
    Face(280, 70, 70, "BLK", kKeyWhite, false),
    Face(281, 70, 70, "MP1", kPreviewGreen, true), Face(282, 70, 70, "MP1", kTallyRed, true),
    Face(283, 70, 70, "MP1", kKeyWhite, false),
    Face(285, 80, 80, "CUT", kKeyWhite, false),
    Face(286, 70, 70, "DIP", kKeyOff, false), Face(287, 70, 70, "DIP", kAmber, true),
    Face(288, 80, 80, "FTB", kTallyRed, true), Face(289, 80, 80, "FTB", kKeyOff, false),
    Face(290, 70, 70, "KEY 1", kKeyOff, false), Face(291, 70, 70, "KEY 1", kAmber, true),
    Face(292, 70, 70, "KEY 2", kKeyOff, false), Face(293, 70, 70, "KEY 2", kAmber, true),
    Back(294, 1240, 580, S::kSwitcherBackground, 0x2B2E35),
    Face(295, 70, 70, "MIX", kKeyOff, false), Face(296, 70, 70, "MIX", kAmber, true),
    Face(297, 70, 70, "ON AIR", kTallyRed, true), Face(298, 70, 70, "ON AIR", kKeyOff, false),
    Face(299, 70, 70, "PIP", kKeyOff, false), Face(300, 70, 70, "PIP", kAmber, true),
    // The T-bar's thumb is 41 high; its centre travels from 50 to 364.
    {301, 164, 420, S::kTbarChannel, "", 0x2B2E35, 0, false},
    {302, 144, 41, S::kTbarThumb, "", 0xD8DCE2, 0, false},
    Face(303, 70, 70, "WIPE", kKeyOff, false), Face(304, 70, 70, "WIPE", kAmber, true),
    Face(305, 80, 80, "AUTO", kTallyRed, true),
    // Four-channel show modes 0 to 15: 309 + 2m and its selected face.
    Mode(309, 0, false), Mode(310, 0, true), Mode(311, 1, false), Mode(312, 1, true),
    Mode(313, 2, false), Mode(314, 2, true), Mode(315, 3, false), Mode(316, 3, true),
    Mode(317, 4, false), Mode(318, 4, true), Mode(319, 5, false), Mode(320, 5, true),
    Mode(321, 6, false), Mode(322, 6, true), Mode(323, 7, false), Mode(324, 7, true),
    Mode(325, 8, false), Mode(326, 8, true), Mode(327, 9, false), Mode(328, 9, true),
    Mode(329, 10, false), Mode(330, 10, true), Mode(331, 11, false), Mode(332, 11, true),
    Mode(333, 12, false), Mode(334, 12, true), Mode(335, 13, false), Mode(336, 13, true),
    Mode(337, 14, false), Mode(338, 14, true), Mode(339, 15, false), Mode(340, 15, true),
    // Auto rates r1 (fastest) to r3.
    Face(341, 70, 70, "RATE 1", kKeyOff, false), Face(342, 70, 70, "RATE 1", kAmber, true),
    Face(343, 70, 70, "RATE 2", kKeyOff, false), Face(344, 70, 70, "RATE 2", kAmber, true),
    Face(345, 70, 70, "RATE 3", kKeyOff, false), Face(346, 70, 70, "RATE 3", kAmber, true),
    Face(347, 80, 80, "STREAM", kAction, false, G::kStream),
    // Wipe patterns: normal face, then the selected one below it. 366/367 is
    // the one picture no pattern button of the page asks for; it is drawn all
    // the same so that the grid can offer it.
    Wipe(353, W::kFromTop, true), Wipe(354, W::kFromTop, false),
    Wipe(355, W::kFromRight, true), Wipe(356, W::kFromTopRight, true),
    Wipe(357, W::kFromTopRight, false), Wipe(358, W::kSplitFromCentre, true),
    Wipe(359, W::kSplitFromCentre, false), Wipe(360, W::kFromBottomRight, true),
    Wipe(361, W::kFromBottomRight, false), Wipe(362, W::kFromRight, false),
    Wipe(363, W::kFromLeft, true), Wipe(364, W::kFromTopLeft, true),
    Wipe(365, W::kFromTopLeft, false), Wipe(366, W::kFromBottomLeft, true),
    Wipe(367, W::kFromBottomLeft, false), Wipe(368, W::kFromLeft, false),
    Wipe(369, W::kFromBottom, true), Wipe(370, W::kFromBottom, false),
    Mode(371, 16, false), Mode(372, 16, true),
    // Four-channel loop button: a start face while off, a lit stop face while on.
    Face(373, 70, 45, "LOOP", kKeyOff, false, G::kPlay),
    Face(374, 70, 45, "STOP", kPreviewGreen, true, G::kStop),
    {375, 32, 32, S::kSignalIcon, "", kPreviewGreen, 0, true},
    {376, 32, 32, S::kSignalIcon, "", 0x8A4A48, 0, false},
});

// Faces of buttons that act and keep nothing: Scan, One to all, One to one,
// Apply, Auto (and Auto while it runs), Cut, Stream.
constexpr int kActionFaces[] = {196, 233, 234, 235, 245, 305, 285, 347};

}  // namespace

bool FaceHoldsState(int id) {
  const SkinEntry* e = FindSkinEntry(id);
  if (!e) return false;
  switch (e->kind) {
    case S::kButtonFace:
      return std::find(std::begin(kActionFaces), std::end(kActionFaces), id) == std::end(kActionFaces);
    case S::kPageButton:
    case S::kLayoutPictogram:
    case S::kShowModePictogram:
    case S::kWipePictogram:
      return true;
    default:
      return false;
  }
}

const SkinEntry* FindSkinEntry(int id) {
  for (const SkinEntry& e : kSkin)
    if (e.id == id) return &e;
  return nullptr;
}

std::span<const SkinEntry> SkinEntries() { return kSkin; }

}  // namespace zv
