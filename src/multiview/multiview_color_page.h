// CClass_16view_color: page 5 of the multiviewer panel. The text and
// background colours of the labels and of the resolution overlays, for all
// windows or for one.
#pragma once

#include "multiview/multiview_page.h"

namespace zv {

class CClass_16view_color : public CMultiviewPage {
  Q_OBJECT
 public:
  static constexpr int kResource = 162;
  static constexpr int kIdFrame = 1027;
  static constexpr int kIdLabelTarget = 1060;
  static constexpr int kIdLabelText = 1044;
  static constexpr int kIdLabelBack = 1015;
  static constexpr int kIdOverlayTarget = 1061;
  static constexpr int kIdOverlayText = 1031;
  static constexpr int kIdOverlayBack = 1039;
  static constexpr int kIdAllChannelBox = 1070;
  static constexpr int kIdAllWindowBox = 1071;

  explicit CClass_16view_color(CClass_16view_dlg* host);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowLabelColours();
  void ShowOverlayColours();
  void OnColourChosen(int list_id, int k);
};

}  // namespace zv
