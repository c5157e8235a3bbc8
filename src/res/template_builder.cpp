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
#include "res/skin_table.h"

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

}  // namespace

QString ItemName(int id) { return QString::number(id); }

void SetGroupTabOrder(QWidget* dialog, const DialogTemplate& dialog_template) {
  struct Item {
    QWidget* widget;
    QRect place;
    int group;
  };
  std::vector<QRect> frames;
  for (const ControlTemplate& c : dialog_template.controls)
    if (c.kind == ControlKind::kGroupBox) frames.emplace_back(c.x, c.y, c.width, c.height);
  std::vector<Item> items;
  for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isWindow() || w->inherits("zv::CChildDialog")) continue;
    bool interactive = (w->focusPolicy() & Qt::TabFocus) != 0;
    for (const ControlTemplate& c : dialog_template.controls)
      if (c.id >= 0 && w->objectName() == ItemName(c.id))
        interactive = interactive || IsInteractiveControl(c.kind);
    if (!interactive) continue;
    const QPoint centre = w->geometry().center();
    int group = -1;
    for (size_t f = 0; f < frames.size(); ++f) {
      const bool smaller = group < 0 || frames[f].width() * frames[f].height() <
                                            frames[group].width() * frames[group].height();
      if (frames[f].contains(centre) && smaller) group = static_cast<int>(f);
    }
    items.push_back({w, w->geometry(), group});
  }
  // Each group's place: its frame, or where its loose controls stand.
  const int loose = static_cast<int>(frames.size());
  std::vector<QRect> group_place = frames;
  group_place.emplace_back();
  for (Item& item : items) {
    if (item.group < 0) {
      item.group = loose;
      group_place[loose] = group_place[loose].isNull() ? item.place : group_place[loose] | item.place;
    }
  }
  std::vector<int> groups;
  for (int g = 0; g <= loose; ++g)
    if (std::any_of(items.begin(), items.end(), [g](const Item& i) { return i.group == g; }))
      groups.push_back(g);
  std::stable_sort(groups.begin(), groups.end(), [&](int a, int b) {
    return group_place[a].left() < group_place[b].left();
  });
  std::vector<int> column_of(group_place.size(), 0);
  for (size_t i = 0, column = 0, first = 0; i < groups.size(); ++i) {
    if (group_place[groups[i]].left() - group_place[groups[first]].left() > 24) {
      ++column;
      first = i;
    }
    column_of[groups[i]] = static_cast<int>(column);
  }
  std::vector<int> rank(group_place.size(), 0);
  std::stable_sort(groups.begin(), groups.end(), [&](int a, int b) {
    if (column_of[a] != column_of[b]) return column_of[a] < column_of[b];
    return group_place[a].top() < group_place[b].top();
  });
  for (size_t i = 0; i < groups.size(); ++i) rank[groups[i]] = static_cast<int>(i);
  // Rows of a group: controls within 8 pixels of a row's top share it.
  std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (a.group != b.group) return rank[a.group] < rank[b.group];
    return a.place.top() < b.place.top();
  });
  for (auto row = items.begin(); row != items.end();) {
    auto row_end = row;
    while (row_end != items.end() && row_end->group == row->group &&
           row_end->place.top() - row->place.top() <= 8)
      ++row_end;
    std::stable_sort(row, row_end, [](const Item& a, const Item& b) { return a.place.left() < b.place.left(); });
    row = row_end;
  }
  for (size_t i = 1; i < items.size(); ++i) QWidget::setTabOrder(items[i - 1].widget, items[i].widget);
}

void DescribeLamp(QWidget* lamp, int image_id) {
  const SkinEntry* e = FindSkinEntry(image_id);
  if (!lamp || !e) return;
  QString state;
  if (e->kind == SkinKind::kSignalIcon) state = e->selected ? QStringLiteral("present") : QStringLiteral("absent");
  if (e->kind == SkinKind::kLinkIcon)
    state = e->selected ? QStringLiteral("connected") : QStringLiteral("not connected");
  if (!state.isEmpty()) lamp->setAccessibleDescription(state);
}

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
    if (c.kind == ControlKind::kIcon) {
      // A lamp says what it watches and what it shows.
      const QString name = QString::fromStdString(AccessibleControlName(dialog_template, c));
      if (!name.isEmpty()) w->setAccessibleName(name);
      DescribeLamp(w, c.image_id);
    }
  }
  SetGroupTabOrder(dialog, dialog_template);
}

QWidget* FindItem(const QWidget* dialog, int id) {
  // Direct children only: a panel inside a window may reuse its ids.
  return dialog->findChild<QWidget*>(ItemName(id), Qt::FindDirectChildrenOnly);
}

}  // namespace zv
