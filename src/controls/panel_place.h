// What the window gives a device panel it makes: where it goes, its door to
// the device, the device's session, and the window's note of where a panel
// draws its preview. Each family makes its panel from this with its
// Make<Family>Panel (named after its line in families/family_list.h).
#pragma once

#include <QRect>

#include "families/family_list.h"

class QWidget;

namespace zv {

class CChildDialog;
class DeviceLink;
class DeviceSession;

struct PanelPlace {
  QWidget* parent;
  DeviceLink& link;
  DeviceSession& session;
  QRect& preview_rect;
};

#define ZV_MAKE_PANEL(Name) CChildDialog* Make##Name##Panel(const PanelPlace& place);
ZV_FAMILIES(ZV_MAKE_PANEL)
#undef ZV_MAKE_PANEL

}  // namespace zv
