#include "multiview/multiview_control_page.h"

#include <QPainter>
#include <QPointer>

#include "multiview/multiview_panel.h"
#include "controls/button_st.h"
#include "multiview/multiview_layout.h"
#include "session/action_table.h"

namespace zv {

CClass_16view_control::CClass_16view_control(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  for (int k = 1; k <= kMultiviewLayoutCount; ++k) {
    auto* button = qobject_cast<CButtonST*>(Item(kIdFirstLayoutButton + k - 1));
    if (!button) continue;
    button->SetFaceImageId(MultiviewLayouts()[static_cast<size_t>(k - 1)].normal_image);
    connect(button, &QAbstractButton::clicked, this, [this, k] { OnLayoutButton(k); });
  }
  for (int n = 0; n < kMultiviewWindowCount; ++n)
    OnChoice(kIdFirstSourceList + n, [this, n](int s) { OnSourceChosen(n, s); });
  OnChoice(kIdLayoutList, [this](int s) { ApplyLayoutIndex(s); });
  OnChoice(kIdFormatList, [this](int s) { SetVideoFormat(s); });
  OnChoice(kIdOverlayList, [this](int s) { SetResolutionOverlay(s); });
  OnChoice(kIdWindowIndexList, [this](int s) {
    if (MultiviewerState* glo = Glo()) glo->m_16_view_cur_window = static_cast<uint8_t>(s + 1);
  });

  if (!Glo()) return;
  // The page shows at once; its controls wait for the device's answer.
  setEnabled(false);
  QPointer<CClass_16view_control> self(this);
  Session()->Read(false, [self](bool) {
    if (self) self->ShowDeviceState();
  });
}

void CClass_16view_control::ShowDeviceState() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  setEnabled(true);
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  FillList(kIdLayoutList, NameItems(kMultiviewLayoutNames), d.zv_16_view_mode_type);
  // Showing what the device has sends nothing.
  ShowLayout(d.zv_16_view_mode_type + 1);
  FillList(kIdFormatList, NameItems(kMultiviewFormatNames), d.zv_16_view_resolution_type);
  FillList(kIdOverlayList, NameItems({"Disable", "Enable"}), d.zv_16_view_resolution_enable);
  QStringList inputs;
  for (int i = 1; i <= kMultiviewWindowCount; ++i) inputs << QStringLiteral("SDI %1").arg(i);
  for (int n = 0; n < kMultiviewWindowCount; ++n)
    FillList(kIdFirstSourceList + n, inputs, glo->m_16_view_window_source[n] - 1);
}

void CClass_16view_control::OnLayoutButton(int k) {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  glo->m_cur_window_count =
      static_cast<int8_t>(MultiviewLayouts()[static_cast<size_t>(k - 1)].window_count);
  SelectLayout(k);
}

void CClass_16view_control::SelectLayout(int k) {
  const uint8_t previous = m_cur_layout_button;
  if (!ShowLayout(k)) return;
  if (previous == 255) return;
  ApplyLayoutIndex(k - 1);
}

bool CClass_16view_control::ShowLayout(int k) {
  MultiviewerState* glo = Glo();
  if (!glo || k < 1 || k > kMultiviewLayoutCount) return false;
  // Until the device has been read, a locked device keeps its layout.
  if (glo->m_16_view_state_read == 0 && glo->m_all_16_view_page_data.zv_16_view_lock_state != 0)
    return false;
  if (k == m_cur_layout_button) return false;
  if (m_cur_layout_button >= 1 && m_cur_layout_button <= kMultiviewLayoutCount) {
    if (auto* old = qobject_cast<CButtonST*>(Item(kIdFirstLayoutButton + m_cur_layout_button - 1)))
      old->SetFaceImageId(MultiviewLayouts()[m_cur_layout_button - 1].normal_image);
  }
  if (auto* button = qobject_cast<CButtonST*>(Item(kIdFirstLayoutButton + k - 1)))
    button->SetFaceImageId(MultiviewLayouts()[static_cast<size_t>(k - 1)].selected_image);
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    const bool on = n < glo->m_cur_window_count;
    if (QWidget* label = Item(kIdFirstRowLabel + n)) label->setEnabled(on);
    if (QWidget* list = Item(kIdFirstSourceList + n)) list->setEnabled(on);
  }
  m_cur_layout_button = static_cast<uint8_t>(k);
  return true;
}

void CClass_16view_control::ApplyLayoutIndex(int index) {
  const std::optional<uint8_t> code = MultiviewCodeForIndex(zv_16_view_mode_map, index);
  if (!code) return;
  Act("multiview.layout", {{"windows", std::to_string(*code)}});
}

void CClass_16view_control::OnSourceChosen(int n, int selection) {
  Act("multiview.source", {{"win", n + 1}, {"sdi", selection + 1}});
}

void CClass_16view_control::paintEvent(QPaintEvent* event) {
  CMultiviewPage::paintEvent(event);
  QPainter p(this);
  p.drawLine(240, 20, 240, 400);
}

}  // namespace zv
