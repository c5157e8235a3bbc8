// CClass_16view_audio: page 4 of the multiviewer panel, the audio meter
// switch and the audio source. Its button and controls stay hidden; the
// settings page offers the same choices. Its commands always go by UDP.
#pragma once

#include "multiview/multiview_page.h"

namespace zv {

class CClass_16view_audio : public CMultiviewPage {
  Q_OBJECT
 public:
  static constexpr int kResource = 161;
  static constexpr int kIdFrame = 1026;
  static constexpr int kIdMeterList = 1014;
  static constexpr int kIdSourceList = 1068;

  explicit CClass_16view_audio(CClass_16view_dlg* host);
  void ShowDeviceState() override;
};

}  // namespace zv
