#include "controls/ip_address_ctrl.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include "platform/platform.h"

namespace zv {

CIpAddressCtrl::CIpAddressCtrl(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(0);
  for (size_t i = 0; i < m_fields.size(); ++i) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("field%1").arg(i));
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    field->setMaxLength(3);
    // Every change of the text goes through the editor: no menu and no drop
    // can put text behind its back.
    field->setContextMenuPolicy(Qt::NoContextMenu);
    field->setAcceptDrops(false);
    field->installEventFilter(this);
    layout->addWidget(field, 1);
    m_fields[i] = field;
    if (i + 1 < m_fields.size()) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      layout->addWidget(dot);
    }
  }
}

void CIpAddressCtrl::SetAddressText(const QString& address) {
  m_editor.SetFields(IpFieldTexts(address.toStdString()));
  for (size_t i = 0; i < m_fields.size(); ++i)
    m_fields[i]->setText(QString::fromStdString(m_editor.Fields()[i]));
  m_caret_moved_by_hand = true;
}

QString CIpAddressCtrl::AddressText() const {
  std::array<uint8_t, 4> octets{};
  GetAddress(&octets);
  return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
}

int CIpAddressCtrl::GetAddress(std::array<uint8_t, 4>* octets) const {
  int filled = 0;
  for (size_t i = 0; i < m_fields.size(); ++i) {
    const std::string text = m_fields[i]->text().trimmed().toStdString();
    (*octets)[i] = IpFieldValue(text);
    if (!text.empty()) ++filled;
  }
  return filled;
}

int CIpAddressCtrl::FieldIndex(const QObject* watched) const {
  for (size_t i = 0; i < m_fields.size(); ++i)
    if (watched == m_fields[i]) return static_cast<int>(i);
  return -1;
}

void CIpAddressCtrl::TakeCaretFrom(int field) {
  const QLineEdit* edit = m_fields[static_cast<size_t>(field)];
  if (!m_caret_moved_by_hand && field == m_editor.CurrentField()) return;
  m_caret_moved_by_hand = false;
  if (edit->hasSelectedText() && edit->selectedText() == edit->text())
    m_editor.EnterField(field);
  else
    m_editor.PlaceCaret(field, static_cast<size_t>(edit->cursorPosition()));
}

bool CIpAddressCtrl::HandleKey(const QKeyEvent* key) {
  if (key->matches(QKeySequence::SelectAll)) {
    m_editor.Press(IpEditKey::kSelectAll);
  } else if (key->matches(QKeySequence::Paste)) {
    const std::optional<unsigned> too_large =
        m_editor.Paste(QApplication::clipboard()->text().toStdString());
    ShowEditor();
    if (too_large) ShowMessageBox(IpOctetTooLargeText(*too_large), "Err");
    return true;
  } else {
    struct KeyMap {
      int qt_key;
      IpEditKey key;
    };
    static constexpr KeyMap kKeys[] = {
        {Qt::Key_Backspace, IpEditKey::kBackspace}, {Qt::Key_Delete, IpEditKey::kDelete},
        {Qt::Key_Left, IpEditKey::kLeft},           {Qt::Key_Right, IpEditKey::kRight},
        {Qt::Key_Home, IpEditKey::kHome},           {Qt::Key_End, IpEditKey::kEnd},
    };
    for (const KeyMap& k : kKeys) {
      if (k.qt_key != key->key()) continue;
      m_editor.Press(k.key);
      ShowEditor();
      return true;
    }
    switch (key->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
        return false;
      default:
        break;
    }
    const QString text = key->text();
    if (text.size() != 1 || text[0].unicode() > 0x7F) return true;  // refused
    const std::optional<unsigned> too_large = m_editor.Type(text[0].toLatin1());
    ShowEditor();
    if (too_large) ShowMessageBox(IpOctetTooLargeText(*too_large), "Err");
    return true;
  }
  ShowEditor();
  return true;
}

void CIpAddressCtrl::ShowEditor() {
  const int current = m_editor.CurrentField();
  for (size_t i = 0; i < m_fields.size(); ++i) {
    QLineEdit* edit = m_fields[i];
    const QString text = QString::fromStdString(m_editor.Fields()[i]);
    if (edit->text() != text) edit->setText(text);
    if (m_editor.AllSelected())
      edit->selectAll();
    else if (static_cast<int>(i) != current)
      edit->deselect();
  }
  QLineEdit* edit = m_fields[static_cast<size_t>(current)];
  QWidget* focused = QApplication::focusWidget();
  if (focused != edit && (focused == this || (focused && isAncestorOf(focused))))
    edit->setFocus(Qt::OtherFocusReason);
  if (m_editor.AllSelected() || m_editor.FieldSelected())
    edit->selectAll();
  else
    edit->setCursorPosition(static_cast<int>(m_editor.Caret()));
  m_caret_moved_by_hand = false;
}

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
  const int field = FieldIndex(watched);
  if (field < 0) return QFrame::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::FocusIn:
      // The caret is wherever the operator put it; the editor learns it at
      // the next key.
      m_caret_moved_by_hand = true;
      break;
    case QEvent::KeyPress:
      TakeCaretFrom(field);
      return HandleKey(static_cast<QKeyEvent*>(event));
    default:
      break;
  }
  return QFrame::eventFilter(watched, event);
}

void CIpAddressCtrl::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QFrame::keyPressEvent(event);
}

void CIpAddressCtrl::mousePressEvent(QMouseEvent* event) {
  // A click on the frame or a dot goes to the field nearest to it, with the
  // caret at the end of its text.
  int field = 0;
  for (size_t i = 0; i < m_fields.size(); ++i)
    if (event->position().x() >= m_fields[i]->geometry().left()) field = static_cast<int>(i);
  QLineEdit* edit = m_fields[static_cast<size_t>(field)];
  edit->setFocus(Qt::MouseFocusReason);
  m_editor.PlaceCaret(field, static_cast<size_t>(edit->text().size()));
  ShowEditor();
  event->accept();
}

}  // namespace zv
