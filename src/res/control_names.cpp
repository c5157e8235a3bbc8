#include "res/control_names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "multiview/multiview_layout.h"
#include "res/skin_table.h"

namespace zv {
namespace {

// Names no caption gives: `count` controls from `first_id` in steps of
// `id_step`, numbered from `first_number` into `pattern` (one %d, or none).
struct NameRow {
  int resource;
  int first_id;
  const char* pattern;
  int count = 1;
  int id_step = 1;
  int first_number = 1;
};
constexpr NameRow kNames[] = {
    {102, 1000, "Minimise"},
    {102, 1001, "Maximise"},
    {102, 1002, "Close"},
    {102, 1005, "Scan"},
    {102, 1006, "Connection settings"},
    {102, 1007, "Device"},
    {159, 1101, "Window %d source", 16},
    {160, 1035, "Window %d label", 16, 2},
    {160, 1034, "Window %d label line", 16, 2},
    {206, 1131, "Input %d", 8},
    {206, 1141, "Output %d", 8},
    {206, 1032, "Control page"},
    {208, 1099, "Serial link"},
    {142, 1104, "Serial link"},
    {308, 1196, "Input %d signal", 4},
    {206, 1033, "Setup page"},
    {210, 1011, "Lock"},
    {210, 1032, "One to all"},
    {210, 1033, "One to one"},
    {210, 1097, "Apply"},
    {308, 1011, "Loop"},
    {308, 1191, "Loop time"},
    {308, 1189, "First picture-in-picture child channel"},
    {308, 1192, "Second picture-in-picture child channel"},
    {237, 1118, "Auto"},
    {237, 1151, "Cut"},
    {237, 1152, "Fade to black"},
    {237, 1161, "Stream"},
    {237, 1036, "Rate %d", 3},
    {242, 1040, "Red value"},
    {242, 1041, "Green value"},
    {242, 1042, "Blue value"},
    {307, 1040, "Red value"},
    {307, 1041, "Green value"},
    {307, 1042, "Blue value"},
    {306, 1040, "Window X position value"},
    {306, 1041, "Window Y position value"},
    {306, 1042, "Window width value"},
};

// Frames whose caption names the bus of the buttons inside them.
struct BusName {
  const char* caption;
  const char* name;
};
constexpr BusName kBuses[] = {{"PGM", "Program"}, {"PVM", "Preview"}};

constexpr const char* kWipeNames[] = {
    "Wipe from bottom right", "Wipe from bottom", "Wipe from left",
    "Wipe from right",        "Wipe split from centre", "Wipe from bottom left",
    "Wipe from top right",    "Wipe from top",    "Wipe from top left",
};

// Single spaces, no space at either end; a caption left as a stand-in says nothing.
std::string Tidy(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == ' ') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += *p;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (out == "Button1") out.clear();
  return out;
}

std::string FromTable(int resource, int id) {
  for (const NameRow& row : kNames) {
    if (row.resource != resource || id < row.first_id) continue;
    const int offset = id - row.first_id;
    if (offset % row.id_step != 0 || offset / row.id_step >= row.count) continue;
    char name[64];
    std::snprintf(name, sizeof name, row.pattern, row.first_number + offset / row.id_step);
    return name;
  }
  return {};
}

std::string FromFace(int image_id) {
  const SkinEntry* e = image_id ? FindSkinEntry(image_id) : nullptr;
  if (!e) return {};
  switch (e->kind) {
    case SkinKind::kLayoutPictogram:
      if (e->index >= 0 && e->index < kMultiviewLayoutCount)
        return "Layout of " + std::to_string(MultiviewLayouts()[e->index].window_count) +
               (e->index == 0 ? " window" : " windows");
      return {};
    case SkinKind::kShowModePictogram:
      return "Show mode " + std::to_string(e->index);
    case SkinKind::kWipePictogram:
      if (e->index >= 0 && e->index < static_cast<int>(std::size(kWipeNames)))
        return kWipeNames[e->index];
      return {};
    case SkinKind::kPageButton: {
      std::string page = Tidy(e->caption);
      for (size_t i = 1; i < page.size(); ++i) page[i] = static_cast<char>(std::tolower(page[i]));
      return page.empty() ? page : page + " page";
    }
    default:
      return {};
  }
}

bool Inside(const ControlTemplate& inner, const ControlTemplate& outer) {
  const int cx = inner.x + inner.width / 2, cy = inner.y + inner.height / 2;
  return cx >= outer.x && cx < outer.x + outer.width && cy >= outer.y && cy < outer.y + outer.height;
}

// The label on the same line to the left of `c`, else the nearest label just
// above it that it lies under.
std::string FromLabel(const DialogTemplate& dialog, const ControlTemplate& c) {
  const ControlTemplate* left = nullptr;
  const ControlTemplate* above = nullptr;
  const int cy = c.y + std::min(c.height, 30) / 2;
  for (const ControlTemplate& l : dialog.controls) {
    if (l.kind != ControlKind::kStaticText || Tidy(l.caption).empty()) continue;
    const int ly = l.y + l.height / 2;
    if (std::abs(ly - cy) <= 12 && l.x + l.width <= c.x + 8 && (!left || l.x > left->x)) left = &l;
    const bool overlaps = l.x < c.x + c.width && c.x < l.x + l.width;
    if (overlaps && l.y + l.height <= c.y + 4 && c.y - (l.y + l.height) <= 24 &&
        (!above || l.y > above->y))
      above = &l;
  }
  if (left) return Tidy(left->caption);
  if (above) return Tidy(above->caption);
  return {};
}

}  // namespace

bool IsInteractiveControl(ControlKind kind) {
  switch (kind) {
    case ControlKind::kGroupBox:
    case ControlKind::kStaticText:
    case ControlKind::kStaticFrame:
    case ControlKind::kIcon:
      return false;
    default:
      return true;
  }
}

std::string AccessibleControlName(const DialogTemplate& dialog, const ControlTemplate& c) {
  if (std::string name = FromTable(dialog.resource, c.id); !name.empty()) return name;
  if (!IsInteractiveControl(c.kind)) return Tidy(c.caption);
  const bool captioned_kind = c.kind == ControlKind::kSkinButton ||
                              c.kind == ControlKind::kShadeButton ||
                              c.kind == ControlKind::kPushButton ||
                              c.kind == ControlKind::kRadioButton ||
                              c.kind == ControlKind::kCheckBox;
  if (std::string caption = captioned_kind ? Tidy(c.caption) : ""; !caption.empty()) {
    for (const ControlTemplate& frame : dialog.controls) {
      if (frame.kind != ControlKind::kGroupBox || !Inside(c, frame)) continue;
      for (const BusName& bus : kBuses)
        if (Tidy(frame.caption) == bus.caption) return std::string(bus.name) + " " + caption;
    }
    return caption;
  }
  if (std::string face = FromFace(c.image_id); !face.empty()) return face;
  return FromLabel(dialog, c);
}

}  // namespace zv
