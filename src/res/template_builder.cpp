#include "res/template_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "controls/ip_address_ctrl.h"
#include "controls/button_st.h"
#include "controls/group_box.h"
#include "controls/shade_button_st.h"
#include "res/control_names.h"
#include "res/skin.h"

namespace zv {
namespace {

// Every bitmap button of the program is see-through, borderless and flat.
// A button with a face shows the face alone; its caption is only its name,
// which would otherwise push the image 3 pixels to the right.
CButtonST* SetUpBitmapButton(CButtonST* button, const ControlTemplate& c, const QString& caption) {
  button->setAccessibleName(caption);
  if (c.image_id)
    button->SetFaceImageId(c.image_id);
  else
    button->setText(caption);
  button->SetSeeThrough(true);
  button->SetBorderShown(false);
  button->SetFlatLook(true);
  return button;
}

// A drop-down list that the mouse wheel leaves alone while it is closed: a
// wheel turned to scroll past it would otherwise choose (and send) entry
// after entry. It changes when it is opened and an entry chosen, or by the
// keyboard while it has the focus.
class DropList : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

QWidget* CreateControl(QWidget* dialog, const ControlTemplate& c) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case ControlKind::kSkinButton:
      return SetUpBitmapButton(new CButtonST(dialog), c, caption);
    case ControlKind::kShadeButton:
      return SetUpBitmapButton(new CShadeButtonST(dialog), c, caption);
    case ControlKind::kGroupBox:
      return new CMyGroupBox(caption, dialog);
    case ControlKind::kPushButton:
      return new QPushButton(caption, dialog);
    case ControlKind::kRadioButton:
      return new QRadioButton(caption, dialog);
    case ControlKind::kStaticText:
      return new QLabel(caption, dialog);
    case ControlKind::kStaticFrame: {
      auto* frame = new QWidget(dialog);
      // Only fixes an area; it must not take the clicks of the area.
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case ControlKind::kComboDropList: {
      auto* combo = new DropList(dialog);
      combo->setEditable(false);
      return combo;
    }
    case ControlKind::kEdit:
      return new QLineEdit(caption, dialog);
    case ControlKind::kListBox:
      return new QListWidget(dialog);
    case ControlKind::kIpAddress:
      return new CIpAddressCtrl(dialog);
    case ControlKind::kCheckBox:
      return new QCheckBox(caption, dialog);
    case ControlKind::kTrackbar: {
      auto* slider = new QSlider(Qt::Horizontal, dialog);
      slider->setTickPosition(QSlider::NoTicks);
      return slider;
    }
    case ControlKind::kIcon: {
      auto* label = new QLabel(dialog);
      if (c.image_id) label->setPixmap(SkinBitmap(c.image_id));
      return label;
    }
  }
  return nullptr;
}

// The accessible name says what the control does; the tooltip says the same
// to a pointer resting on a button whose face is only a picture.
void NameForPeople(QWidget* w, const DialogTemplate& dialog_template, const ControlTemplate& c) {
  const QString name = QString::fromStdString(AccessibleControlName(dialog_template, c));
  if (name.isEmpty()) return;
  w->setAccessibleName(name);
  w->setToolTip(name);
  if (c.kind == ControlKind::kIpAddress) {
    const QList<QLineEdit*> parts = w->findChildren<QLineEdit*>();
    for (int i = 0; i < parts.size(); ++i)
      parts[i]->setAccessibleName(QStringLiteral("%1, part %2").arg(name).arg(i + 1));
  }
}

// Tab goes through the controls as they are read: by rows from the top, each
// row from the left. Controls within 8 pixels of a row's top share the row.
void SetReadingTabOrder(QWidget* dialog, const DialogTemplate& dialog_template) {
  std::vector<const ControlTemplate*> order;
  for (const ControlTemplate& c : dialog_template.controls)
    if (c.id >= 0 && IsInteractiveControl(c.kind)) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(),
                   [](const ControlTemplate* a, const ControlTemplate* b) { return a->y < b->y; });
  for (auto row = order.begin(); row != order.end();) {
    auto row_end = row;
    while (row_end != order.end() && (*row_end)->y - (*row)->y <= 8) ++row_end;
    std::stable_sort(row, row_end,
                     [](const ControlTemplate* a, const ControlTemplate* b) { return a->x < b->x; });
    row = row_end;
  }
  QWidget* previous = nullptr;
  for (const ControlTemplate* c : order) {
    QWidget* w = FindItem(dialog, c->id);
    if (!w) continue;
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

}  // namespace

QString ItemName(int id) { return QString::number(id); }

void BuildTemplateControls(QWidget* dialog, const DialogTemplate& dialog_template) {
  for (const ControlTemplate& c : dialog_template.controls) {
    QWidget* w = CreateControl(dialog, c);
    if (!w) continue;
    if (c.id >= 0) w->setObjectName(ItemName(c.id));
    int height = c.height;
    if (c.kind == ControlKind::kComboDropList) {
      // The template's height is that of the open list; the field keeps the
      // height of its font, and the list shows as many lines as fit.
      auto* combo = static_cast<QComboBox*>(w);
      height = combo->sizeHint().height();
      const int line = std::max(1, combo->fontMetrics().height() + 2);
      combo->setMaxVisibleItems(std::max(1, (c.height - height) / line));
    }
    w->setGeometry(c.x, c.y, c.width, height);
    w->setVisible(c.visible);
    if (IsInteractiveControl(c.kind)) NameForPeople(w, dialog_template, c);
  }
  SetReadingTabOrder(dialog, dialog_template);
}

QWidget* FindItem(const QWidget* dialog, int id) {
  // Direct children only: a panel inside a window may reuse its ids.
  return dialog->findChild<QWidget*>(ItemName(id), Qt::FindDirectChildrenOnly);
}

}  // namespace zv
