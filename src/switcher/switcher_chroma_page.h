#pragma once

#include <array>

#include "controls/child_dialog.h"
#include "switcher/switcher_page_host.h"

class QSlider;
class QLineEdit;

namespace zv {

// Chroma key page (307): the key's video source, the chroma type with its
// preset colour, and the red, green and blue levels of that type.
class CClass_switcher_chorma : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 307;
  static constexpr int kSourceList = 1178;
  static constexpr int kTypeList = 1179;
  static constexpr std::array<int, 3> kTrackbars{1170, 1171, 1172};
  static constexpr std::array<int, 3> kFields{1040, 1041, 1042};
  CClass_switcher_chorma(QWidget* parent, SwitcherPageHost& host);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowLevels(const std::array<int, 3>& levels);
  void OnTypeChosen(int t);

  SwitcherPageHost& m_host;
  std::array<QSlider*, 3> m_trackbars{};
  std::array<QLineEdit*, 3> m_fields{};
};

}  // namespace zv
