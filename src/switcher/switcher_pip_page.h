#pragma once

#include <array>
#include <string>
#include <vector>

#include "controls/child_dialog.h"
#include "switcher/switcher_page_host.h"

class QComboBox;
class QSlider;
class QLineEdit;

namespace zv {

// Picture-in-picture page (306): the PIP window's source, border and its
// position and width on a 1920 x 1080 raster. A list choice is sent at once;
// a trackbar's pixel value when the mouse button comes up over it.
class CClass_switcher_wd_pip : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 306;
  static constexpr int kSourceList = 1183;
  static constexpr int kBorderEnableList = 1180;
  static constexpr int kBorderColorList = 1181;
  static constexpr int kBorderWidthList = 1182;
  static constexpr std::array<int, 3> kTrackbars{1170, 1171, 1172};  // X, Y, width
  static constexpr int kHeightTrackbar = 1173;
  static constexpr std::array<int, 3> kFields{1040, 1041, 1042};
  CClass_switcher_wd_pip(QWidget* parent, SwitcherPageHost& host);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A choice from list `id` invokes `action` with the entry's number, or
  // its word when `words` name the entries.
  void ConnectList(int id, const char* action, const char* param, std::vector<std::string> words);
  // Sends trackbar i's place (x, y or width).
  void SendPlace(size_t i);

  SwitcherPageHost& m_host;
  QComboBox* m_sources = nullptr;
  std::array<QSlider*, 3> m_trackbars{};
  std::array<QLineEdit*, 3> m_fields{};
};

}  // namespace zv
