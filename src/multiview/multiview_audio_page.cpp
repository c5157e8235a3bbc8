#include "multiview/multiview_audio_page.h"

#include "app/main_window.h"

namespace zv {

CClass_16view_audio::CClass_16view_audio(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  // The frame stays hidden like every control of this page.
  if (QWidget* frame = Item(kIdFrame)) frame->hide();
  CZELVIKDlg* glo = Glo();
  if (glo) {
    const MultiviewPageData& d = glo->m_all_16_view_page_data;
    FillList(kIdMeterList, OffOnItems(), d.zv_16_view_audio_enable);
    FillList(kIdSourceList, ChannelItems(kMultiviewWindowCount),
             d.zv_16_view_audio_source_channel - 1);
  }
  // Both commands go by UDP whatever the connection mode says.
  OnChoice(kIdMeterList, [this](int s) {
    CZELVIKDlg* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s)};
    glo->SendCommand(kMvSetAudioMeter, params);
    RecomputeAudioMeters();
    glo->m_16_view_show_audio = s != 0;
  });
  OnChoice(kIdSourceList, [](int s) {
    CZELVIKDlg* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s + 1)};
    glo->SendCommand(kMvSetAudioSource, params);
  });
}

}  // namespace zv
