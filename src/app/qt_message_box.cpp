#include "app/qt_message_box.h"

#include <QLocale>
#include <QMessageBox>

#include "platform/platform.h"

namespace zv {

void InstallQtMessageBox() {
  SetMessageBoxHandler([](const MessageBoxRequest& request) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(request.caption),
                    QString::fromUtf8(request.text),
                    request.buttons == MessageBoxButtons::kOkCancel
                        ? QMessageBox::Ok | QMessageBox::Cancel
                        : QMessageBox::Ok);
    box.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return box.exec() == QMessageBox::Cancel ? MessageBoxAnswer::kCancel : MessageBoxAnswer::kOk;
  });
}

}  // namespace zv
