#include "controls/child_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QPainter>

#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

namespace {

// Which colours a dialog's controls take, as a property the one style sheet
// below selects on.
constexpr const char* kColoursProperty = "zvControlColours";

// One style sheet for the whole program, set once: a sheet of its own on
// every dialog made Qt build a style for each panel and page it opened, the
// larger part of the time a panel took to open. A dialog picks its colours
// by the property. Fields take the dark colours inside any dialog that asks
// for them (and inside a plain dialog placed in one, as a sheet's cascade
// gave them); a caption takes the colours of the dialog it stands in.
#define ZV_DARK_FIELDS(p) \
  "[zvControlColours=\"" p "\"] QLineEdit, [zvControlColours=\"" p "\"] QListWidget, " \
  "[zvControlColours=\"" p "\"] QListView, [zvControlColours=\"" p "\"] QComboBox, " \
  "[zvControlColours=\"" p "\"] QComboBox QAbstractItemView"
#define ZV_GREY_FIELDS(p) \
  "[zvControlColours=\"" p "\"] QLabel:disabled, [zvControlColours=\"" p "\"] QLineEdit:disabled, " \
  "[zvControlColours=\"" p "\"] QComboBox:disabled"
const char kProgramSheet[] =
    ZV_DARK_FIELDS("dark") ", " ZV_DARK_FIELDS("greystatics") " {"
    " color: rgb(60,180,255); background-color: rgb(58,58,58);"
    " selection-color: rgb(58,58,58); selection-background-color: rgb(60,180,255); }"
    " [zvControlColours=\"greystatics\"] > QLabel,"
    " [zvControlColours=\"greystatics\"] [zvControlColours=\"default\"] > QLabel"
    " { color: black; background-color: rgb(102,102,102); }"
    " [zvControlColours=\"dark\"] > QLabel { color: rgb(60,180,255); background-color: rgb(58,58,58); }"
    // The dark field colours would otherwise hide that a control is disabled
    // (a window row beyond the layout, a list the mode does not use):
    // disabled ones show grey.
    " " ZV_GREY_FIELDS("dark") ", " ZV_GREY_FIELDS("greystatics") " { color: rgb(110,110,110); }";
#undef ZV_DARK_FIELDS
#undef ZV_GREY_FIELDS

}  // namespace

void ApplyControlColours(QWidget* dialog, ControlColours colours) {
  if (qApp && !qApp->property("zvProgramSheet").toBool()) {
    qApp->setProperty("zvProgramSheet", true);
    qApp->setStyleSheet(QString::fromLatin1(kProgramSheet));
  }
  switch (colours) {
    case ControlColours::kDarkFields:
      dialog->setProperty(kColoursProperty, QStringLiteral("dark"));
      break;
    case ControlColours::kDarkFieldsGreyStatics:
      dialog->setProperty(kColoursProperty, QStringLiteral("greystatics"));
      break;
    case ControlColours::kDefault:
      dialog->setProperty(kColoursProperty, QStringLiteral("default"));
      break;
  }
  // A dialog whose colours change after it was shown takes them now.
  if (dialog->isVisible()) {
    dialog->style()->unpolish(dialog);
    dialog->style()->polish(dialog);
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
  // The colours first: building may already polish a control (to size it),
  // and a control takes its colours when it is polished.
  ApplyControlColours(this, colours);
  BuildTemplateControls(this, *t);
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
