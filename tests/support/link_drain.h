// Waits, with the event loop running, until the main window's link worker
// has run every queued request and its results have been shown.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QStringList>
#include <QTest>

#include "app/main_window.h"
#include "res/dialog_templates.h"

namespace zv::test {

inline bool DrainLink(const CZELVIKDlg& dlg, int timeout_ms = 15000) {
  const bool idle = QTest::qWaitFor([&dlg] { return dlg.LinkIdle(); }, timeout_ms);
  // Anything the last result posted in turn (a repaint, a page) runs too.
  QCoreApplication::processEvents();
  return idle;
}

// Opens the serial port the link worker owns, as the connect buttons do, and
// waits for the outcome.
inline bool OpenSerialPortAndWait(CZELVIKDlg& dlg, const std::string& path, uint32_t baud) {
  dlg.OpenSerialPort(path, baud, nullptr);
  return DrainLink(dlg) && dlg.SerialPortOpen();
}

// Clicks Scan and waits until the search and what it opened are done.
[[nodiscard]] inline bool ClickScan(CZELVIKDlg& dlg) {
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdScan)), Qt::LeftButton);
  return DrainLink(dlg);
}

// The lines of a list, as a person reads them.
inline QStringList Lines(const QComboBox* combo) {
  QStringList lines;
  for (int i = 0; i < combo->count(); ++i) lines << combo->itemText(i);
  return lines;
}

}  // namespace zv::test
