// Waits, with the event loop running, until the main window's link worker
// has run every queued request and its results have been shown.
#pragma once

#include <QTest>

#include "app/main_window.h"

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

}  // namespace zv::test
