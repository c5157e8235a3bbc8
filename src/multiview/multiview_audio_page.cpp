#include "multiview/multiview_audio_page.h"

#include "multiview/multiview_panel.h"
#include "session/action_table.h"

namespace zv {

CClass_16view_audio::CClass_16view_audio(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  // The frame stays hidden like every control of this page.
  if (QWidget* frame = Item(kIdFrame)) frame->hide();
  ShowDeviceState();
  // Both go by UDP whatever the connection mode says.
  OnChoice(kIdMeterList, [this](int s) {
    Act("multiview.audio", {{"state", std::string(s ? "on" : "off")}, {"by", std::string("udp")}});
  });
  OnChoice(kIdSourceList, [this](int s) {
    Act("multiview.audio_source", {{"win", s + 1}, {"by", std::string("udp")}});
  });
}

void CClass_16view_audio::ShowDeviceState() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  FillList(kIdMeterList, OffOnItems(), d.zv_16_view_audio_enable);
  FillList(kIdSourceList, ChannelItems(kMultiviewWindowCount), d.zv_16_view_audio_source_channel - 1);
}

}  // namespace zv
