// CClass_16view_control: page 2 of the multiviewer panel and the one shown
// when the panel opens. Seven picture buttons choose the layout, sixteen
// lists the input of each window. Opening the page reads the device.
#pragma once

#include <cstdint>

#include "multiview/multiview_page.h"

namespace zv {

class CClass_16view_control : public CMultiviewPage {
  Q_OBJECT
 public:
  // Fills the controls from the record once the read-back has ended.
  void ShowDeviceState() override;
  static constexpr int kResource = 159;
  static constexpr int kIdFrame = 1028;
  static constexpr int kIdFirstLayoutButton = 1032;  // to 1038
  static constexpr int kIdFirstRowLabel = 1075;      // to 1090
  static constexpr int kIdFirstSourceList = 1101;    // to 1116
  static constexpr int kIdLayoutList = 1062;
  static constexpr int kIdFormatList = 1063;
  static constexpr int kIdOverlayList = 1064;
  static constexpr int kIdWindowIndexList = 1014;

  explicit CClass_16view_control(CClass_16view_dlg* host);

  // Layout button k (1 to 7) clicked.
  void OnLayoutButton(int k);
  // Select layout k: the lock rule, the button marks, the window rows, and
  // (unless this is the page's first marking) the layout command.
  void SelectLayout(int k);
  // The button marks and the window rows of layout k, sending nothing;
  // false when the lock rule keeps the layout or k is marked already.
  bool ShowLayout(int k);

  uint8_t m_cur_layout_button = 255;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ApplyLayoutIndex(int index);
  void OnSourceChosen(int n, int selection);
};

}  // namespace zv
