// An IP address control: four fields of 0 to 255 with dots between them.
// Typing three digits or a dot moves on to the next field; Backspace in an
// empty field goes back. A blank field reads as 0.
#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

namespace zv {

class CIpAddressCtrl : public QFrame {
  Q_OBJECT
 public:
  explicit CIpAddressCtrl(QWidget* parent = nullptr);

  // Shows "a.b.c.d"; any other text blanks all four fields.
  void SetAddressText(const QString& address);
  QString AddressText() const;
  // The four values, first field first. Returns how many fields are not blank.
  int GetAddress(std::array<uint8_t, 4>* octets) const;
  QLineEdit* Field(int index) const { return m_fields[static_cast<size_t>(index)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace zv
