// CClass_16view_umd: page 3 of the multiviewer panel. One edit box per
// window holds its label; Enter sends the label of the focused box. A list
// switches the labels of all windows on or off.
#pragma once

#include <QLineEdit>
#include <cstdint>

#include "controls/key_presses.h"
#include "multiview/multiview_page.h"

namespace zv {

// Labels are typed up to 10 characters; a longer label that came from the
// device is still shown whole and may be shortened.
inline constexpr int kLabelTypingLimit = 10;

class CClass_16view_umd : public CMultiviewPage {
  Q_OBJECT
 public:
  static constexpr int kResource = 160;
  static constexpr int kIdFrame = 1030;
  static constexpr int kIdFirstEdit = 1035;  // window n + 1: 1035 + 2n
  static constexpr int kIdLabelsList = 1072;
  static constexpr int kIdAllOn = 1066;
  static constexpr int kIdAllOff = 1067;

  explicit CClass_16view_umd(CClass_16view_dlg* host);

  QLineEdit* Edit(int n) const;
  // The labels and the labels' list as the record has them; a box being
  // typed in keeps what is typed.
  void ShowDeviceState() override;
  // Enter: sends the label of the edit box that has the focus.
  void SendFocusedLabel();
  // Labels of all windows on (1) or off (0).
  void LabelsOnOff(int v);

  uint8_t m_umd_string_index = 255;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Enter held in a label box sends the label once.
  KeyPresses m_key_presses;
};

}  // namespace zv
