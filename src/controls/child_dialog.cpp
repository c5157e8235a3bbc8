#include "controls/child_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QProxyStyle>
#include <QKeyEvent>
#include <QStyle>
#include <QPainter>
#include <QSet>

#include "controls/focus_mark.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

namespace {

// Which colours a dialog's controls take, as a property the program's style
// reads when it polishes a control.
constexpr const char* kColoursProperty = "zvControlColours";
constexpr const char* kDark = "dark";
constexpr const char* kGreyStatics = "greystatics";
constexpr const char* kDefaultColours = "default";

const QColor kFieldText(60, 180, 255);
const QColor kFieldBackground(58, 58, 58);
const QColor kGreyStaticBackground(102, 102, 102);
// The dark field colours would otherwise hide that a control is disabled (a
// window row beyond the layout, a list the mode does not use): disabled ones
// show grey.
const QColor kDisabledText(110, 110, 110);

QString ColoursOf(const QWidget* w) { return w ? w->property(kColoursProperty).toString() : QString(); }

// Inside a dialog with dark fields (or a plain dialog placed in one), a
// disabled caption shows grey like the disabled fields beside it.
bool InsideDarkFields(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    const QString c = ColoursOf(p);
    if (c == QLatin1String(kDark) || c == QLatin1String(kGreyStatics)) return true;
  }
  return false;
}

void SetTextColours(QPalette* p, const QColor& text, const QColor& background) {
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    for (QPalette::ColorRole r : {QPalette::Base, QPalette::Window, QPalette::Button})
      p->setColor(g, r, background);
    for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
      p->setColor(g, r, text);
  }
}

void SetDisabledText(QPalette* p) {
  for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
    p->setColor(QPalette::Disabled, r, kDisabledText);
}

// The field colours, one palette for every field of the program (every
// dialog stands in the main window, whose fields are dark). Given to
// the field classes rather than to each field: a palette of a control's own
// is a new one for every control, and the style caches the pictures of
// combo boxes, edits and frames by palette, so every panel opened added
// pictures that were never drawn again (megabytes an hour of device
// switches). One palette per class is shared, and so are the pictures.
void SetFieldPalettes() {
  QPalette p = QApplication::palette();
  SetTextColours(&p, kFieldText, kFieldBackground);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(g, QPalette::Highlight, kFieldText);
    p.setColor(g, QPalette::HighlightedText, kFieldBackground);
  }
  SetDisabledText(&p);
  // No role counts as set on the control itself: each field then shares
  // this very palette instead of a copy of its own.
  p.setResolveMask(0);
  for (const char* field : {"QLineEdit", "QComboBox", "QAbstractItemView"})
    QApplication::setPalette(p, field);
}

// A caption's colours, from the dialog it stands in. Captions take a palette
// of their own, set when they are polished; the style caches no picture of
// a caption.
void ApplyColoursTo(QWidget* w) {
  if (!w->parentWidget() || w->isWindow()) return;
  const bool dark_fields = InsideDarkFields(w);
  auto* label = qobject_cast<QLabel*>(w);
  if (!label) return;
  // A caption takes the colours of the dialog it stands in.
  const QString parent = ColoursOf(w->parentWidget());
  bool grey = parent == QLatin1String(kGreyStatics);
  if (parent == QLatin1String(kDefaultColours)) {
    for (const QWidget* p = w->parentWidget()->parentWidget(); p && !grey; p = p->parentWidget())
      grey = ColoursOf(p) == QLatin1String(kGreyStatics);
  }
  const bool dark = parent == QLatin1String(kDark);
  const bool error = w->property(kErrorTextProperty).toBool();
  if (!grey && !dark && !dark_fields && !error) return;
  QPalette p = w->palette();
  if (grey || dark) {
    SetTextColours(&p, grey ? QColor(Qt::black) : kFieldText, grey ? kGreyStaticBackground : kFieldBackground);
    w->setAutoFillBackground(true);
  }
  // An error shown in a caption (the status strip) is red.
  if (error)
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
      p.setColor(g, QPalette::WindowText, QColor(178, 0, 0));
  if (dark_fields) SetDisabledText(&p);
  w->setPalette(p);
}

// The field of a list one can type into (a source list that takes a
// number) is a control of its own for a screen reader: it takes the list's
// name.
void NameEditOfList(QWidget* w) {
  auto* edit = qobject_cast<QLineEdit*>(w);
  auto* list = edit ? qobject_cast<QComboBox*>(edit->parentWidget()) : nullptr;
  if (list && edit->accessibleName().isEmpty() && !list->accessibleName().isEmpty())
    edit->setAccessibleName(list->accessibleName());
}

// The program's style: the platform's own, with the controls' colours set
// from the dialogs they stand in.
class ControlColoursStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  void polish(QWidget* widget) override {
    QProxyStyle::polish(widget);
    ApplyColoursTo(widget);
    NameEditOfList(widget);
  }
  using QProxyStyle::polish;
};

void RepolishTree(QWidget* root) {
  root->style()->polish(root);
  for (QWidget* child : root->findChildren<QWidget*>()) child->style()->polish(child);
  root->update();
}

}  // namespace

void ApplyControlColours(QWidget* dialog, ControlColours colours) {
  if (qApp && !dynamic_cast<ControlColoursStyle*>(QApplication::style())) {
    QApplication::setStyle(new ControlColoursStyle(QApplication::style()->name()));
    SetFieldPalettes();
  }
  InstallFocusMarks();
  switch (colours) {
    case ControlColours::kDarkFields:
      dialog->setProperty(kColoursProperty, QString::fromLatin1(kDark));
      break;
    case ControlColours::kDarkFieldsGreyStatics:
      dialog->setProperty(kColoursProperty, QString::fromLatin1(kGreyStatics));
      break;
    case ControlColours::kDefault:
      dialog->setProperty(kColoursProperty, QString::fromLatin1(kDefaultColours));
      break;
  }
  // Controls already polished take the new colours now.
  if (dialog->testAttribute(Qt::WA_WState_Polished) || dialog->isVisible()) RepolishTree(dialog);
}

void FillWithDarkBackground(QWidget* window) {
  // Given to the window's class, as the field colours are, rather than to
  // each window: a palette set on a window is a new one for every window,
  // its fields then take palettes of their own from it, and the style caches
  // their pictures under those (about 32 kB for each device list window
  // opened, and Qt keeps the pictures' names even after the cache is
  // emptied). Windows of one class share the palette, and so do their fields.
  static QSet<QByteArray> classes_done;
  const QByteArray window_class = window->metaObject()->className();
  if (!classes_done.contains(window_class)) {
    classes_done.insert(window_class);
    QPalette back = QApplication::palette();
    back.setColor(QPalette::Window, QColor(43, 47, 54));
    back.setColor(QPalette::WindowText, QColor(220, 220, 220));
    back.setResolveMask(0);
    QApplication::setPalette(back, window_class.constData());
  }
  window->setAutoFillBackground(true);
}

void ShowErrorText(QLabel* label, bool error) {
  if (label->property(kErrorTextProperty).toBool() == error) return;
  label->setProperty(kErrorTextProperty, error);
  // Back to the palette the label had before any colours were set, then the
  // dialog's colours again.
  label->setPalette(QPalette());
  label->style()->polish(label);
  label->update();
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
