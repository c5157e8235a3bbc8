#include "multiview/multiview_page.h"

#include "controls/change_marks.h"

#include "controls/button_st.h"
#include "multiview/multiview_panel.h"

namespace zv {

CMultiviewPage::CMultiviewPage(CClass_16view_dlg* host, int resource, int frame_id)
    : CChildDialog(host, resource), m_host(host) {
  if (QWidget* frame = Item(frame_id))
    frame->setGeometry(kPageFrameX, kPageFrameY, kPageFrameWidth, kPageFrameHeight);
  if (!m_host) return;
  m_session = &m_host->Session();
  // Shown once the handler that changed the record has returned.
  m_changed_token = m_session->Subscribe([this] {
    const bool by_device = m_session->ChangedByDevice();
    QMetaObject::invokeMethod(this, [this, by_device] { ShowChange(by_device); }, Qt::QueuedConnection);
  });
}

CMultiviewPage::~CMultiviewPage() {
  if (m_session) m_session->Unsubscribe(m_changed_token);
}

void CMultiviewPage::ShowChange(bool by_device) {
  const ChangeMarks marks(this);
  ShowDeviceState();
  if (by_device) marks.MarkChanged();
}

bool CMultiviewPage::MayShowIn(QWidget* control) {
  if (!control || !BeingEdited(control)) return true;
  // What the device holds shows when the operator leaves the control, and
  // is marked there if it is not what they chose.
  if (m_held.insert(control).second)
    WhenLeft(control, this, [this, control] {
      m_held.erase(control);
      ShowChange(true);
    });
  return false;
}

MultiviewerState* CMultiviewPage::Glo() const {
  return m_host ? &m_host->Session().MutableRecord() : nullptr;
}

MultiviewSession* CMultiviewPage::Session() const { return m_host ? &m_host->Session() : nullptr; }

void CMultiviewPage::Act(const std::string& action, const ActionArgs& args) const {
  if (m_host) m_host->Act(action, args);
}

QComboBox* CMultiviewPage::Combo(int id) const { return qobject_cast<QComboBox*>(Item(id)); }

void CMultiviewPage::FillList(int id, const QStringList& items, int selection) {
  QComboBox* combo = Combo(id);
  if (!combo || !MayShowIn(combo)) return;
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
