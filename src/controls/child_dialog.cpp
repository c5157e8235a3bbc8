#include "controls/child_dialog.h"

#include <QKeyEvent>
#include <QPainter>

#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

void ApplyControlColours(QWidget* dialog, ControlColours colours) {
  static const char kFields[] =
      "QLineEdit, QListWidget, QListView, QComboBox, QComboBox QAbstractItemView {"
      " color: rgb(60,180,255); background-color: rgb(58,58,58);"
      " selection-color: rgb(58,58,58); selection-background-color: rgb(60,180,255); }";
  // The dark field colours would otherwise hide that a control is disabled
  // (a window row beyond the layout, a list the mode does not use): disabled
  // ones show grey.
  static const char kDisabled[] =
      " QLabel:disabled, QLineEdit:disabled, QComboBox:disabled { color: rgb(110,110,110); }";
  switch (colours) {
    case ControlColours::kDarkFields:
      dialog->setStyleSheet(QString(kFields) +
                            " QLabel { color: rgb(60,180,255); background-color: rgb(58,58,58); }" + kDisabled);
      break;
    case ControlColours::kDarkFieldsGreyStatics:
      dialog->setStyleSheet(QString(kFields) +
                            " QLabel { color: black; background-color: rgb(102,102,102); }" + kDisabled);
      break;
    case ControlColours::kDefault:
      dialog->setStyleSheet(QString());
      break;
  }
}

bool IsDialogClosingKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

CChildDialog::CChildDialog(QWidget* parent, int resource, ControlColours colours)
    : QWidget(parent), m_resource(resource) {
  setObjectName(QStringLiteral("dialog_%1").arg(resource));
  const DialogTemplate* t = FindDialogTemplate(resource);
  if (!t) {
    Trace("no dialog template %d", resource);
    return;
  }
  m_background_id = t->background_id;
  resize(t->width, t->height);
  BuildTemplateControls(this, *t);
  ApplyControlColours(this, colours);
}

QWidget* CChildDialog::Item(int id) const { return FindItem(this, id); }

void CChildDialog::paintEvent(QPaintEvent*) {
  if (!m_background_id) return;
  QPainter p(this);
  p.drawPixmap(rect(), SkinBitmap(m_background_id));
}

void CChildDialog::keyPressEvent(QKeyEvent* event) {
  if (IsDialogClosingKey(event->key())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace zv
