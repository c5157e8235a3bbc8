#include "res/skin_table.h"

#include <array>

namespace zv {
namespace {

using S = SkinKind;

constexpr std::array<SkinEntry, 12> kSkin{{
    {128, 32, 32, S::kAppIcon, "ZV", 0x2F8FD8},
    {187, 1280, 585, S::kPanelBackground, "", 0x2A2D33},
    {188, 42, 35, S::kGlyphClose, "close", 0xC8463C},
    {191, 480, 400, S::kDialogBackground, "", 0x34373D},
    {194, 490, 420, S::kPanelBackground, "", 0x303339},
    {195, 1280, 720, S::kWindowBackground, "zv_multiview", 0x24272C},
    {196, 138, 50, S::kButtonFace, "SCAN", 0x2F8FD8},
    {197, 34, 35, S::kGlyphMaximise, "max", 0x5A5F68},
    {198, 47, 35, S::kGlyphMinimise, "min", 0x5A5F68},
    {199, 25, 30, S::kGlyphSettings, "set", 0x7A808A},
    {229, 1240, 580, S::kPanelBackground, "", 0x2A2D33},
    {294, 1240, 580, S::kPanelBackground, "", 0x2B2E35},
}};

}  // namespace

const SkinEntry* FindSkinEntry(int id) {
  for (const SkinEntry& e : kSkin)
    if (e.id == id) return &e;
  return nullptr;
}

std::span<const SkinEntry> SkinEntries() { return kSkin; }

}  // namespace zv
