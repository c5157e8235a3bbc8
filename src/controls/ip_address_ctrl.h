// An IP address control: four fields of 0 to 255 with dots between them.
// Typing follows IpAddressEditor: a third digit moves on to the next field,
// a "." right after that move does nothing, a "." in a field with digits
// moves on, Backspace at the start of a field goes back, select-all takes the
// whole address and a pasted address fills all four fields. A value above
// 255 becomes 255 and the operator is told. A blank field reads as 0.
#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

#include "controls/ip_address_fields.h"

class QKeyEvent;
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
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // Runs a key through the editor; false for keys the control leaves alone
  // (Tab, Enter, Escape), which go on to the dialog.
  bool HandleKey(const QKeyEvent* key);
  // Takes the caret from field `field` when the operator put it there by
  // mouse or by focus since the last key.
  void TakeCaretFrom(int field);
  void ShowEditor();
  int FieldIndex(const QObject* watched) const;

  std::array<QLineEdit*, 4> m_fields{};
  IpAddressEditor m_editor;
  bool m_caret_moved_by_hand = true;
};

}  // namespace zv
