// The default skin as data: for every bitmap and icon id, the size the
// program expects and how the painter draws it. A folder of PNG files named
// by id (given with --skin) overrides any entry.
#pragma once

#include <cstdint>
#include <span>

namespace zv {

enum class SkinKind {
  kWindowBackground,    // main window: title band, panel well, status strip
  kPanelBackground,     // device panel or page: dark field with a soft frame
  kDialogBackground,    // small windows: plain dark field
  kMatrixBackground,    // matrix panel: frames behind the input and output rows
  kSwitcherBackground,  // production switcher: programme and preview bus bands
  kButtonFace,          // rounded face in `colour` with the caption (and glyph)
  kPageButton,          // page tab with glyph and caption
  kGlyphMinimise,       // title-bar buttons
  kGlyphMaximise,
  kGlyphClose,
  kGlyphSettings,
  kAppIcon,
  kLinkIcon,            // serial link: `selected` is connected
  kSignalIcon,          // input signal: `selected` is signal present
  kLayoutPictogram,     // multiviewer layout `index` (zv_16_view_mode_type)
  kShowModePictogram,   // four-channel show mode `index`
  kWipePictogram,       // wipe picture `index` (see SkinWipePicture)
  kTbarChannel,         // the T-bar's track, the whole slider control
  kTbarThumb,           // the T-bar's handle, keyed on its top-left pixel
};

// Small drawings on faces and page tabs, carried in SkinEntry::index.
enum class SkinGlyph {
  kNone,
  kPlay,
  kStop,
  kLockOpen,
  kLockClosed,
  kStream,
  kStatus,
  kLayout,
  kLabels,
  kAudio,
  kColours,
  kSettings,
};

// Wipe pictures, carried in SkinEntry::index: where the incoming picture's
// block starts and which way it grows.
enum class SkinWipePicture {
  kFromBottomRight,
  kFromBottom,
  kFromLeft,
  kFromRight,
  kSplitFromCentre,
  kFromBottomLeft,
  kFromTopRight,
  kFromTop,
  kFromTopLeft,
};

struct SkinEntry {
  int id;
  int width, height;
  SkinKind kind;
  const char* caption;
  uint32_t colour;  // 0xRRGGBB; black is the transparent colour of faces, so never 0
  int index;        // layout, show mode, wipe picture or glyph, by kind
  bool selected;    // the lit face of a pair
};

// Whether a button showing face `id` holds a state, that is, the face is one
// of a normal and a lit pair (a bus source, a layout, a page, Lock, a key, a
// transition type, a show mode); false for the faces of buttons that only
// act (Scan, Cut, Auto, Stream, Apply) and for ids the skin does not know.
// Whether the state is on is the face's `selected`.
bool FaceHoldsState(int id);

// The entry of an id, or nullptr when the skin does not know it.
const SkinEntry* FindSkinEntry(int id);
std::span<const SkinEntry> SkinEntries();

}  // namespace zv
