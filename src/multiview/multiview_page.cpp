#include "multiview/multiview_page.h"

#include "controls/button_st.h"
#include "multiview/multiview_panel.h"

namespace zv {

CMultiviewPage::CMultiviewPage(CClass_16view_dlg* host, int resource, int frame_id)
    : CChildDialog(host, resource), m_host(host) {
  if (QWidget* frame = Item(frame_id))
    frame->setGeometry(kPageFrameX, kPageFrameY, kPageFrameWidth, kPageFrameHeight);
}

MultiviewerState* CMultiviewPage::Glo() const { return m_host ? &m_host->Door().State() : nullptr; }

MultiviewerDoor* CMultiviewPage::Door() const { return m_host ? &m_host->Door() : nullptr; }

QComboBox* CMultiviewPage::Combo(int id) const { return qobject_cast<QComboBox*>(Item(id)); }

void CMultiviewPage::FillList(int id, const QStringList& items, int selection) const {
  QComboBox* combo = Combo(id);
  if (!combo) return;
  combo->clear();
  combo->addItems(items);
  combo->setCurrentIndex(selection >= 0 && selection < combo->count() ? selection : -1);
}

void CMultiviewPage::RecomputeWindows() const {
  if (m_host) m_host->RecomputeWindows();
}
void CMultiviewPage::RecomputeAudioMeters() const {
  if (m_host) m_host->RecomputeAudioMeters();
}
void CMultiviewPage::RecomputeLabels() const {
  if (m_host) m_host->RecomputeLabels();
}
void CMultiviewPage::RecomputeOverlays() const {
  if (m_host) m_host->RecomputeOverlays();
}
void CMultiviewPage::RecomputeAll() const {
  RecomputeWindows();
  RecomputeAudioMeters();
  RecomputeOverlays();
  RecomputeLabels();
}

void CMultiviewPage::SetVideoFormat(int selection) const {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  glo->m_all_16_view_page_data.zv_16_view_resolution_type = static_cast<uint8_t>(selection);
  const std::optional<uint8_t> code = MultiviewCodeForIndex(zv_16_view_resolution_map, selection);
  if (!code) return;
  const uint8_t params[] = {0x00, *code};
  Door()->SendMultiviewerCommand(kMvSetVideoFormat, params);
}

void CMultiviewPage::SetResolutionOverlay(int selection) const {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const uint8_t params[] = {static_cast<uint8_t>(selection)};
  if (Door()->SendMultiviewerCommand(kMvSetResolutionOverlay, params)) RecomputeOverlays();
  glo->m_16_view_show_resolution = selection != 0;
}

void CMultiviewPage::SetTextButtonColours(int id, const QColor& back, const QColor& text) const {
  auto* button = qobject_cast<CButtonST*>(Item(id));
  if (!button) return;
  for (auto slot : {CButtonST::FaceColor::kBackgroundHot, CButtonST::FaceColor::kBackgroundOut,
                    CButtonST::FaceColor::kBackgroundFocus})
    button->SetFaceColor(slot, back);
  for (auto slot : {CButtonST::FaceColor::kTextHot, CButtonST::FaceColor::kTextOut})
    button->SetFaceColor(slot, text);
}

QStringList OffOnItems() { return {QStringLiteral("OFF"), QStringLiteral("ON")}; }

QStringList ChannelItems(int count) {
  QStringList items;
  for (int c = 1; c <= count; ++c) items << QStringLiteral("CH_%1").arg(c);
  return items;
}

QStringList NameItems(std::initializer_list<const char*> names) {
  QStringList items;
  for (const char* n : names) items << QString::fromUtf8(n);
  return items;
}

}  // namespace zv
