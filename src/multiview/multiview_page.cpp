#include "multiview/multiview_page.h"

#include "controls/button_st.h"
#include "multiview/multiview_panel.h"

namespace zv {

CMultiviewPage::CMultiviewPage(CClass_16view_dlg* host, int resource, int frame_id)
    : CChildDialog(host, resource), m_host(host) {
  if (QWidget* frame = Item(frame_id))
    frame->setGeometry(kPageFrameX, kPageFrameY, kPageFrameWidth, kPageFrameHeight);
}

MultiviewerState* CMultiviewPage::Glo() const {
  return m_host ? &m_host->Session().MutableRecord() : nullptr;
}

MultiviewSession* CMultiviewPage::Session() const { return m_host ? &m_host->Session() : nullptr; }

void CMultiviewPage::Act(const std::string& action, const ActionArgs& args) const {
  if (m_host) m_host->Act(action, args);
}

QComboBox* CMultiviewPage::Combo(int id) const { return qobject_cast<QComboBox*>(Item(id)); }

void CMultiviewPage::FillList(int id, const QStringList& items, int selection) const {
  QComboBox* combo = Combo(id);
  if (!combo) return;
  combo->clear();
  combo->addItems(items);
  combo->setCurrentIndex(selection >= 0 && selection < combo->count() ? selection : -1);
}

void CMultiviewPage::SetVideoFormat(int selection) const {
  if (selection < 0 || selection >= static_cast<int>(kMultiviewFormatNames.size())) return;
  Act("multiview.format", {{"format", std::string(kMultiviewFormatNames[static_cast<size_t>(selection)])}});
}

void CMultiviewPage::SetResolutionOverlay(int selection) const {
  Act("multiview.overlay", {{"state", std::string(selection ? "on" : "off")}});
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
