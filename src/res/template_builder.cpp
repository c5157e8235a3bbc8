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

#include "controls/ip_address_ctrl.h"
#include "controls/button_st.h"
#include "controls/group_box.h"
#include "controls/shade_button_st.h"
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
  }
}

QWidget* FindItem(const QWidget* dialog, int id) {
  // Direct children only: a panel inside a window may reuse its ids.
  return dialog->findChild<QWidget*>(ItemName(id), Qt::FindDirectChildrenOnly);
}

}  // namespace zv
