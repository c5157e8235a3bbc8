#include "controls/ip_address_ctrl.h"

#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/ip_address_fields.h"

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
    // Keystrokes that would take a field past 255 are refused.
    static const QRegularExpression kOctet(QStringLiteral("^(\\d{0,2}|1\\d\\d|2[0-4]\\d|25[0-5])$"));
    field->setValidator(new QRegularExpressionValidator(kOctet, field));
    field->installEventFilter(this);
    layout->addWidget(field, 1);
    m_fields[i] = field;
    if (i + 1 < m_fields.size()) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      layout->addWidget(dot);
    }
    connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      if (text.size() == 3 && i + 1 < m_fields.size()) {
        m_fields[i + 1]->setFocus();
        m_fields[i + 1]->selectAll();
      }
    });
  }
}

void CIpAddressCtrl::SetAddressText(const QString& address) {
  const std::array<std::string, 4> texts = IpFieldTexts(address.toStdString());
  for (size_t i = 0; i < m_fields.size(); ++i)
    m_fields[i]->setText(QString::fromStdString(texts[i]));
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

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  for (size_t i = 0; i < m_fields.size(); ++i) {
    if (watched != m_fields[i]) continue;
    const bool dot = key->text() == QStringLiteral(".") || key->key() == Qt::Key_Space;
    if (dot) {
      // A dot ends the field: on to the next one (and never into the text).
      if (i + 1 < m_fields.size() && !m_fields[i]->text().isEmpty()) {
        m_fields[i + 1]->setFocus();
        m_fields[i + 1]->selectAll();
      }
      return true;
    }
    if (key->key() == Qt::Key_Backspace && m_fields[i]->text().isEmpty() && i > 0) {
      m_fields[i - 1]->setFocus();
      m_fields[i - 1]->end(false);
      return true;
    }
    if (key->key() == Qt::Key_Right && m_fields[i]->cursorPosition() == m_fields[i]->text().size() &&
        i + 1 < m_fields.size()) {
      m_fields[i + 1]->setFocus();
      m_fields[i + 1]->home(false);
      return true;
    }
    if (key->key() == Qt::Key_Left && m_fields[i]->cursorPosition() == 0 && i > 0) {
      m_fields[i - 1]->setFocus();
      m_fields[i - 1]->end(false);
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace zv
