#include "app/qt_message_box.h"

#include <QCoreApplication>
#include <QLocale>
#include <QThread>
#include <QMessageBox>

#include "platform/platform.h"

namespace zv {

namespace {

MessageBoxAnswer ShowBox(const MessageBoxRequest& request) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(request.caption),
                  QString::fromUtf8(request.text),
                  request.buttons == MessageBoxButtons::kOkCancel
                      ? QMessageBox::Ok | QMessageBox::Cancel
                      : QMessageBox::Ok);
  box.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  return box.exec() == QMessageBox::Cancel ? MessageBoxAnswer::kCancel : MessageBoxAnswer::kOk;
}

}  // namespace

void InstallQtMessageBox() {
  SetMessageBoxHandler([](const MessageBoxRequest& request) {
    // A notice raised on the link worker ("Create socket err") is shown by
    // the window's thread; the worker does not wait for the operator.
    if (QCoreApplication::instance() &&
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [request] { ShowBox(request); }, Qt::QueuedConnection);
      return MessageBoxAnswer::kOk;
    }
    return ShowBox(request);
  });
}

}  // namespace zv
