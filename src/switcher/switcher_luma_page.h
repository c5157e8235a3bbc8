#pragma once

#include <array>

#include "controls/child_dialog.h"
#include "switcher/switcher_page_host.h"

class QSlider;
class QLineEdit;

namespace zv {

// Luma key page (242): the key's video source and three levels. A source
// choice is sent at once; the levels go together, in one frame, when the
// mouse button comes up over one of their trackbars.
class CClass_switcher_effect : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 242;
  static constexpr int kSourceList = 1174;
  static constexpr std::array<int, 3> kTrackbars{1175, 1176, 1177};
  static constexpr std::array<int, 3> kFields{1040, 1041, 1042};
  CClass_switcher_effect(QWidget* parent, SwitcherPageHost& host);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  SwitcherPageHost& m_host;
  std::array<QSlider*, 3> m_trackbars{};
  std::array<QLineEdit*, 3> m_fields{};
};

}  // namespace zv
