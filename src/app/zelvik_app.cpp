#include "app/zelvik_app.h"

#include <QCoreApplication>

#include "app/main_window.h"
#include "app/qt_message_box.h"

namespace zv {

int CZELVIKApp::InitInstance() {
  // The wizard's organisation name; the program keeps no settings under it.
  QCoreApplication::setOrganizationName(QString::fromUtf8("应用程序向导生成的本地应用程序"));
  InstallQtMessageBox();
  CZELVIKDlg dlg(m_link_config);
  dlg.Hub().SetPresencePeriodMs(m_start.presence_period_ms);
  if (m_start.restore) dlg.RestorePanelWindows();
  if (!m_start.open.empty()) dlg.OpenAtStart(m_start.open);
  dlg.exec();
  // The program ends when the main window's modal loop does.
  return 0;
}

}  // namespace zv
