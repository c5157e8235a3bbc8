#include "multiview/multiview_audio_page.h"

#include "multiview/multiview_panel.h"

namespace zv {

CClass_16view_audio::CClass_16view_audio(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  // The frame stays hidden like every control of this page.
  if (QWidget* frame = Item(kIdFrame)) frame->hide();
  MultiviewerState* glo = Glo();
  if (glo) {
    const MultiviewPageData& d = glo->m_all_16_view_page_data;
    FillList(kIdMeterList, OffOnItems(), d.zv_16_view_audio_enable);
    FillList(kIdSourceList, ChannelItems(kMultiviewWindowCount),
             d.zv_16_view_audio_source_channel - 1);
  }
  // Both commands go by UDP whatever the connection mode says.
  OnChoice(kIdMeterList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s)};
    Door()->SendCommand(kMvSetAudioMeter, params);
    RecomputeAudioMeters();
    glo->m_16_view_show_audio = s != 0;
  });
  OnChoice(kIdSourceList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s + 1)};
    Door()->SendCommand(kMvSetAudioSource, params);
  });
}

}  // namespace zv
