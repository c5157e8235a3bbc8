// Input the way a person gives it: clicks on the drop-down list itself and on
// the line in its open list, and an address typed over field by field.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTest>

#include "controls/ip_address_ctrl.h"

namespace zv::test {

// Opens the list with a click on the box and clicks the line. False when the
// list did not open.
inline bool ChooseLine(QComboBox* combo, int line) {
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* view = combo->view();
  if (!QTest::qWaitFor([view] { return view->isVisible(); }, 2000)) return false;
  const QRect item = view->visualRect(combo->model()->index(line, combo->modelColumn()));
  // The pointer comes over the line before it clicks, which is what marks it.
  QTest::mouseMove(view->viewport(), item.center());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  return QTest::qWaitFor([view] { return !view->isVisible(); }, 2000);
}

// Selects each field's text and types the new one over it ("" clears all four).
inline void TypeAddress(CIpAddressCtrl* control, const QString& address) {
  const QStringList parts = address.isEmpty() ? QStringList{"", "", "", ""} : address.split('.');
  for (int i = 0; i < 4; ++i) {
    QLineEdit* field = control->Field(i);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, parts.value(i));
  }
}

}  // namespace zv::test
