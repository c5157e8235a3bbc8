// CClass_16view_status: page 1 of the multiviewer panel (its button stays
// hidden). It reads the device by UDP and shows four values read-only.
#pragma once

#include "multiview/multiview_page.h"

namespace zv {

class CClass_16view_status : public CMultiviewPage {
  Q_OBJECT
 public:
  // Fills the controls from the record once the read-back has ended.
  void ShowDeviceState() override;
  static constexpr int kResource = 158;
  static constexpr int kIdFrame = 1025;
  static constexpr int kIdMode = 1040;
  static constexpr int kIdAudioMeter = 1041;
  static constexpr int kIdAudioSource = 1042;
  static constexpr int kIdLabels = 1043;

  explicit CClass_16view_status(CClass_16view_dlg* host);
};

}  // namespace zv
