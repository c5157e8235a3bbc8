// The default skin as data: for every bitmap and icon id, the size the
// program expects and how the painter draws it. A folder of PNG files named
// by id (given with --skin) overrides any entry.
#pragma once

#include <cstdint>
#include <span>

namespace zv {

enum class SkinKind {
  kWindowBackground,  // main window: title band, panel well, status strip
  kPanelBackground,   // device panel or page: dark field with a soft frame
  kDialogBackground,  // small windows: plain dark field
  kButtonFace,        // rounded face with the caption
  kGlyphMinimise,     // title-bar buttons
  kGlyphMaximise,
  kGlyphClose,
  kGlyphSettings,
  kAppIcon,
};

struct SkinEntry {
  int id;
  int width, height;
  SkinKind kind;
  const char* caption;
  uint32_t colour;  // 0xRRGGBB; black is the transparent colour of faces, so never 0
};

// The entry of an id, or nullptr when the skin does not know it.
const SkinEntry* FindSkinEntry(int id);
std::span<const SkinEntry> SkinEntries();

}  // namespace zv
