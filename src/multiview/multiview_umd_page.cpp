#include "multiview/multiview_umd_page.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "multiview/multiview_panel.h"
#include "multiview/multiview_setup.h"
#include "controls/button_st.h"
#include "session/action_table.h"

namespace zv {
namespace {

// A box takes at most kLabelTypingLimit characters. A longer label read back
// from the device is shown whole and may be shortened, never lengthened: the
// box's limit is the length it holds, falling with each deletion until it
// reaches kLabelTypingLimit. (A validator cannot do this: it judges the
// loaded text before knowing it, finds it too long, and from then on lets
// every keystroke through.)
void LimitLabelBox(QLineEdit* edit) {
  edit->setMaxLength(std::max<int>(kLabelTypingLimit, static_cast<int>(edit->text().size())));
}

constexpr QColor kHiddenButtonBack{64, 64, 64};
constexpr QColor kHiddenButtonText{60, 180, 255};

}  // namespace

CClass_16view_umd::CClass_16view_umd(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    QLineEdit* edit = Edit(n);
    if (!edit) continue;
    connect(edit, &QLineEdit::textEdited, edit, [edit] { LimitLabelBox(edit); });
    edit->installEventFilter(this);
  }
  if (QWidget* list = Item(kIdLabelsList)) list->installEventFilter(this);
  ShowDeviceState();
  OnChoice(kIdLabelsList, [this](int s) { LabelsOnOff(s); });
  for (int id : {kIdAllOn, kIdAllOff}) {
    SetTextButtonColours(id, kHiddenButtonBack, kHiddenButtonText);
    if (auto* button = qobject_cast<QAbstractButton*>(Item(id)))
      connect(button, &QAbstractButton::clicked, this, [this, id] { LabelsOnOff(id == kIdAllOn); });
  }
}

void CClass_16view_umd::ShowDeviceState() {
  MultiviewerState* glo = Glo();
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    QLineEdit* edit = Edit(n);
    if (!edit || !MayShowIn(edit)) continue;
    const QString label = glo ? QString::fromStdU16String(glo->m_16_view_umd_name[n]) : QString();
    if (edit->text() == label) continue;
    edit->setMaxLength(std::max<int>(kLabelTypingLimit, static_cast<int>(label.size())));
    edit->setText(label);
  }
  FillList(kIdLabelsList, NameItems({"UMD OFF", "UMD ON"}), glo && glo->m_16_view_show_umd ? 1 : 0);
}

QLineEdit* CClass_16view_umd::Edit(int n) const {
  return qobject_cast<QLineEdit*>(Item(kIdFirstEdit + 2 * n));
}

void CClass_16view_umd::SendFocusedLabel() {
  MultiviewerState* glo = Glo();
  const QWidget* focused = focusWidget();
  int index = -1;
  for (int n = 0; n < kMultiviewWindowCount && index < 0; ++n)
    if (focused && Edit(n) == focused) index = n;
  if (index < 0) {
    m_umd_string_index = 255;
    return;
  }
  m_umd_string_index = static_cast<uint8_t>(index);
  if (!glo) return;
  // The device takes at most the typing limit; a longer read-back label is
  // cut to what is sent, so the box shows what the device holds.
  QLineEdit* edit = Edit(index);
  if (edit->text().size() > kLabelTypingLimit) {
    edit->setText(edit->text().left(kLabelTypingLimit));
    LimitLabelBox(edit);
  }
  // A pasted label can carry control characters the device cannot show (a
  // NUL fails the command): nothing goes out and the record keeps the label
  // the device has.
  const std::u16string label = edit->text().toStdU16String();
  if (const std::string problem = MultiviewLabelProblem(label); !problem.empty()) {
    Session()->Link().ShowStatus("Label of window " + std::to_string(index + 1) + " not sent: it " + problem, true);
    return;
  }
  Act("multiview.label", {{"win", index + 1}, {"text", Utf16ToUtf8(label)}});
}

void CClass_16view_umd::LabelsOnOff(int v) {
  Act("multiview.labels", {{"state", std::string(v ? "on" : "off")}});
}

bool CClass_16view_umd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    const auto* key_event = static_cast<QKeyEvent*>(event);
    m_key_presses.Release(key_event->key(), key_event->timestamp(), key_event->isAutoRepeat());
  }
  if (event->type() == QEvent::KeyPress) {
    const auto* key_event = static_cast<QKeyEvent*>(event);
    const int key = key_event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // One label frame per press: a held Enter repeats.
      if (m_key_presses.Press(key, key_event->timestamp(), key_event->isAutoRepeat()))
        SendFocusedLabel();
      return true;
    }
    if (key == Qt::Key_Escape) return true;
  }
  return CMultiviewPage::eventFilter(watched, event);
}

void CClass_16view_umd::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (!event->isAutoRepeat()) SendFocusedLabel();
    event->accept();
    return;
  }
  CMultiviewPage::keyPressEvent(event);
}

void CClass_16view_umd::paintEvent(QPaintEvent* event) {
  CMultiviewPage::paintEvent(event);
  QPainter p(this);
  p.drawLine(20, 80, 470, 80);
}

}  // namespace zv
