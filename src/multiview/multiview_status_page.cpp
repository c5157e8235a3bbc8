#include "multiview/multiview_status_page.h"

#include <QLineEdit>
#include <QPointer>

#include "multiview/multiview_panel.h"
#include "multiview/multiview_session.h"

namespace zv {

CClass_16view_status::CClass_16view_status(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  for (int id : {kIdMode, kIdAudioMeter, kIdAudioSource, kIdLabels})
    if (auto* box = qobject_cast<QLineEdit*>(Item(id))) box->setReadOnly(true);
  if (!Glo()) return;
  // By UDP whatever the connection mode; the boxes fill when it answers.
  QPointer<CClass_16view_status> self(this);
  Session()->Read(true, [self](bool) {
    if (self) self->ShowDeviceState();
  });
}

void CClass_16view_status::ShowDeviceState() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  const auto set = [this](int id, const QString& text) {
    if (auto* box = qobject_cast<QLineEdit*>(Item(id))) box->setText(text);
  };
  set(kIdMode, d.zv_16_view_mode_type < kMultiviewLayoutNames.size()
                   ? QString::fromUtf8(kMultiviewLayoutNames[d.zv_16_view_mode_type])
                   : QString());
  set(kIdAudioMeter, QString::fromLatin1(d.zv_16_view_audio_enable ? "ON" : "OFF"));
  set(kIdAudioSource, QStringLiteral("CH_%1").arg(d.zv_16_view_audio_source_channel));
  set(kIdLabels, QString::fromLatin1(d.zv_16_view_umd_enable ? "ON" : "OFF"));
}

}  // namespace zv
