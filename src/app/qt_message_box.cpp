#include "app/qt_message_box.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QStyle>
#include <QThread>

#include "platform/platform.h"

#include <iterator>

namespace zv {

namespace {

// The style makes a new icon for the OK and the Cancel button of every box,
// and Qt's cache of drawn pictures keeps what it drew of each icon under
// that icon's own key, never asked for again: every box shown left about
// 2 kB behind, up to the cache's limit of 10 MB (hours of notices). The
// boxes share one icon per button, made the first time.
void ShareButtonIcons(QMessageBox& box) {
  struct Shared {
    QMessageBox::StandardButton button;
    QStyle::StandardPixmap picture;
  };
  static const Shared kShared[] = {{QMessageBox::Ok, QStyle::SP_DialogOkButton},
                                   {QMessageBox::Cancel, QStyle::SP_DialogCancelButton}};
  static QIcon icons[std::size(kShared)];
  for (size_t i = 0; i < std::size(kShared); ++i) {
    QAbstractButton* button = box.button(kShared[i].button);
    if (!button || button->icon().isNull()) continue;  // a style that shows none
    if (icons[i].isNull()) icons[i] = button->icon();
    button->setIcon(icons[i]);
  }
}

MessageBoxAnswer ShowBox(const MessageBoxRequest& request) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(request.caption),
                  QString::fromUtf8(request.text),
                  request.buttons == MessageBoxButtons::kOkCancel
                      ? QMessageBox::Ok | QMessageBox::Cancel
                      : QMessageBox::Ok);
  box.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  ShareButtonIcons(box);
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
