#include "app/zelvik_app.h"

#include "app/main_window.h"
#include "app/qt_message_box.h"

namespace zv {

int CZELVIKApp::InitInstance() {
  InstallQtMessageBox();
  CZELVIKDlg dlg(m_link_config);
  dlg.exec();
  // The program ends when the main window's modal loop does.
  return 0;
}

}  // namespace zv
