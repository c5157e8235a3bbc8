#include "controls/button_st.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "res/skin.h"
#include "res/skin_table.h"

namespace zv {
namespace {

// Black is the transparent colour of every face: those pixels are cut out so
// the background shows through them.
QPixmap WithBlackTransparent(const QPixmap& source) {
  QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return QPixmap();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0x00FFFFFFu) == 0) line[x] = 0;
  }
  return QPixmap::fromImage(image);
}

void HLine(QPainter& p, const QColor& c, int x1, int x2, int y) {
  p.setPen(c);
  p.drawLine(x1, y, x2, y);
}
void VLine(QPainter& p, const QColor& c, int x, int y1, int y2) {
  p.setPen(c);
  p.drawLine(x, y1, x, y2);
}

// One ring of a 3D edge: `top_left` on the top and left lines, `bottom_right`
// on the bottom and right lines.
void EdgeRing(QPainter& p, const QRect& r, const QColor& top_left, const QColor& bottom_right) {
  HLine(p, top_left, r.left(), r.right() - 1, r.top());
  VLine(p, top_left, r.left(), r.top(), r.bottom() - 1);
  HLine(p, bottom_right, r.left(), r.right(), r.bottom());
  VLine(p, bottom_right, r.right(), r.top(), r.bottom());
}

// The button as a screen reader sees it: a push button with its name, the
// state its face shows, and the press action, which clicks it as a mouse
// would (and so sends what a click sends).
class ButtonAccessible : public QAccessibleWidget {
 public:
  explicit ButtonAccessible(CButtonST* button) : QAccessibleWidget(button, QAccessible::PushButton) {}

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const CButtonST* b = Button();
    if (b->HoldsState()) {
      s.checkable = true;
      s.checked = b->IsOn();
    }
    if (b->isDown()) s.pressed = true;
    return s;
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      if (!Button()->accessibleName().isEmpty()) return Button()->accessibleName();
      return QString(Button()->text()).remove(QLatin1Char('&')).simplified();
    }
    return QAccessibleWidget::text(t);
  }

  QStringList actionNames() const override {
    QStringList names;
    if (Button()->isEnabled()) names << pressAction();
    return names + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& action) override {
    if (action == pressAction()) {
      if (Button()->isEnabled()) Button()->click();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  CButtonST* Button() const { return static_cast<CButtonST*>(widget()); }
};

QAccessibleInterface* ButtonAccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("zv::CButtonST") && object && object->isWidgetType())
    return new ButtonAccessible(static_cast<CButtonST*>(object));
  return nullptr;
}

}  // namespace

CButtonST::CButtonST(QWidget* parent) : QAbstractButton(parent) {
  static const bool accessible_installed = [] {
    QAccessible::installFactory(ButtonAccessibleFactory);
    return true;
  }();
  (void)accessible_installed;
  // A click takes the focus, as the program's buttons always did.
  setFocusPolicy(Qt::StrongFocus);
  // Hover is decided on pointer moves, which need tracking without a button held.
  setMouseTracking(true);
  const QPalette& pal = palette();
  m_colors[static_cast<int>(FaceColor::kBackgroundHot)] = pal.color(QPalette::Button);
  m_colors[static_cast<int>(FaceColor::kTextHot)] = pal.color(QPalette::ButtonText);
  m_colors[static_cast<int>(FaceColor::kBackgroundOut)] = pal.color(QPalette::Button);
  m_colors[static_cast<int>(FaceColor::kTextOut)] = pal.color(QPalette::ButtonText);
  m_colors[static_cast<int>(FaceColor::kBackgroundFocus)] = pal.color(QPalette::Button);
}

int CButtonST::SetFaceImages(const QPixmap& image1, const QPixmap& image2) {
  const bool held_before = HoldsState();
  const bool on_before = IsOn();
  m_image1 = QPixmap();
  m_image2 = QPixmap();
  m_greyed1 = QPixmap();
  m_greyed2 = QPixmap();
  m_face_image_id = 0;
  int result = 0;
  if (image1.isNull()) {
    result = 1;
  } else {
    QPixmap face1 = WithBlackTransparent(image1);
    QPixmap face2 = image2.isNull() ? QPixmap() : WithBlackTransparent(image2);
    if (face1.isNull() || (!image2.isNull() && face2.isNull())) {
      result = 2;
    } else {
      m_image1 = face1;
      m_image2 = face2;
    }
  }
  update();
  AnnounceState(held_before, on_before);
  return result;
}

int CButtonST::SetFaceImageId(int image_id) {
  const bool held_before = HoldsState();
  const bool on_before = IsOn();
  const int result = SetFaceImages(SkinBitmap(image_id));
  if (result == 0) m_face_image_id = image_id;
  AnnounceState(held_before, on_before);
  return result;
}

bool CButtonST::HoldsState() const { return isCheckable() || FaceHoldsState(m_face_image_id); }

bool CButtonST::IsOn() const {
  if (isCheckable()) return isChecked();
  const SkinEntry* e = FaceHoldsState(m_face_image_id) ? FindSkinEntry(m_face_image_id) : nullptr;
  return e && e->selected;
}

void CButtonST::AnnounceState(bool held_before, bool on_before) {
  if (!QAccessible::isActive()) return;
  QAccessible::State changed;
  changed.checkable = HoldsState() != held_before;
  changed.checked = IsOn() != on_before;
  if (!changed.checkable && !changed.checked) return;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

void CButtonST::SetFaceImageIds(int normal_id, int selected_id) {
  m_normal_image_id = normal_id;
  m_selected_image_id = selected_id;
  SetFaceImageId(m_selected && selected_id ? selected_id : normal_id);
}

void CButtonST::SetSelected(bool selected) {
  m_selected = selected;
  const int id = selected && m_selected_image_id ? m_selected_image_id : m_normal_image_id;
  if (id && id != m_face_image_id) SetFaceImageId(id);
}

void CButtonST::SetSeeThrough(bool on) {
  m_see_through = on;
  update();
}

void CButtonST::SetBorderShown(bool on) {
  m_border_shown = on;
  update();
}

void CButtonST::SetFlatLook(bool on) {
  m_flat = on;
  if (!on) m_mouse_over = false;
  update();
}

void CButtonST::SetFaceColor(FaceColor slot, const QColor& colour) {
  m_colors[static_cast<int>(slot)] = colour;
  update();
}

QColor CButtonST::GetFaceColor(FaceColor slot) const { return m_colors[static_cast<int>(slot)]; }

void CButtonST::SetImageAlign(ImageAlign align) {
  m_align = align;
  update();
}

void CButtonST::SetShowDisabledImage(bool on) {
  m_show_disabled_image = on;
  update();
}

void CButtonST::SetFocusRectWhenFlat(bool on) {
  m_focus_rect_when_flat = on;
  update();
}

void CButtonST::SetDefaultButton(bool on) {
  m_is_default = on;
  update();
}

void CButtonST::SetCheckBox(bool on) {
  setCheckable(on);
  update();
}

void CButtonST::SetCheck(Qt::CheckState state) {
  if (!isCheckable()) return;
  const bool on_before = IsOn();
  setChecked(state == Qt::Checked || state == Qt::PartiallyChecked);
  update();
  AnnounceState(true, on_before);
}

QSize CButtonST::sizeHint() const {
  return m_image1.isNull() ? QSize(32, 32) : m_image1.deviceIndependentSize().toSize();
}

bool CButtonST::IsPressedLook() const { return isDown() || (isCheckable() && isChecked()); }

void CButtonST::PaintFaceBackground(QPainter& painter, const QRect& face) {
  FaceColor slot = FaceColor::kBackgroundOut;
  if (m_mouse_over || IsPressedLook())
    slot = FaceColor::kBackgroundHot;
  else if (hasFocus())
    slot = FaceColor::kBackgroundFocus;
  painter.fillRect(face, m_colors[static_cast<int>(slot)]);
}

void CButtonST::PaintFaceBorder(QPainter& painter, const QRect& face, bool sunken) {
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor highlight = palette().color(QPalette::Light);
  if (sunken)
    EdgeRing(painter, face, shadow, highlight);
  else
    EdgeRing(painter, face, highlight, shadow);
}

QPixmap CButtonST::GreyedImage(bool second) const {
  const bool use2 = second && !m_image2.isNull();
  QPixmap& cache = use2 ? m_greyed2 : m_greyed1;
  if (cache.isNull()) {
    QStyleOption option;
    option.initFrom(this);
    cache = style()->generatedIconPixmap(QIcon::Disabled, use2 ? m_image2 : m_image1, &option);
  }
  return cache;
}

void CButtonST::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool pressed = IsPressedLook();
  const bool focused = hasFocus();
  const bool disabled = !isEnabled();
  const bool check_box = isCheckable();
  const QPalette& pal = palette();
  p.setBackgroundMode(Qt::TransparentMode);

  QRect face = rect();
  if (!m_flat && (focused || m_is_default)) {
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(face.adjusted(0, 0, -1, -1));
    face.adjust(1, 1, -1, -1);
  }

  // See-through faces draw nothing here: the widget is not opaque, so the
  // parent's current pixels are already under it.
  if (!m_see_through) PaintFaceBackground(p, face);

  if (pressed) {
    if (!m_flat) {
      p.setPen(pal.color(QPalette::Dark));
      p.setBrush(Qt::NoBrush);
      p.drawRect(face.adjusted(0, 0, -1, -1));
    } else if (m_border_shown) {
      PaintFaceBorder(p, face, true);
    }
  } else if (!m_flat) {
    EdgeRing(p, face, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
    EdgeRing(p, face.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight), pal.color(QPalette::Dark));
  } else if (m_mouse_over && m_border_shown) {
    PaintFaceBorder(p, face, false);
  }

  const QString caption = text();
  QRect caption_rect = face;
  if (!m_image1.isNull()) {
    const bool show_image2 =
        !m_image2.isNull() && !(check_box ? isChecked() : (pressed || m_mouse_over));
    const QPixmap& image = show_image2 ? m_image2 : m_image1;
    // Faces are painted at the screen's density; lay them out in widget pixels.
    const QSize size = image.deviceIndependentSize().toSize();
    const int w = size.width();
    const int h = size.height();
    int x = face.left() + (face.width() - w) / 2;
    int y = face.top() + (face.height() - h) / 2;
    if (!caption.isEmpty()) {
      switch (m_align) {
        case ImageAlign::kLeft:
          x = face.left() + 3;
          caption_rect.setLeft(caption_rect.left() + w + 3);
          break;
        case ImageAlign::kAbove:
          y = face.top() + 3;
          caption_rect.setTop(caption_rect.top() + h);
          break;
        case ImageAlign::kRight:
          x = face.left() + face.width() - w - 3;
          caption_rect.setLeft(face.left() + 3);
          caption_rect.setRight(x - 1);
          break;
      }
    }
    if (pressed && !check_box) {
      ++x;
      ++y;
    }
    p.drawPixmap(x, y, disabled && m_show_disabled_image ? GreyedImage(show_image2) : image);
  }

  // An image as wide as the face leaves no room for the caption.
  if (!caption.isEmpty() && !caption_rect.isEmpty()) {
    if (pressed && !check_box) caption_rect.translate(1, 1);
    p.setFont(font());
    constexpr int kTextFlags = Qt::AlignCenter | Qt::TextWordWrap;
    if (disabled) {
      p.setPen(pal.color(QPalette::Light));
      p.drawText(caption_rect.translated(1, 1), kTextFlags, caption);
      p.setPen(pal.color(QPalette::Dark));
      p.drawText(caption_rect, kTextFlags, caption);
    } else {
      const FaceColor slot = m_mouse_over || pressed ? FaceColor::kTextHot : FaceColor::kTextOut;
      p.setPen(m_colors[static_cast<int>(slot)]);
      p.drawText(caption_rect, kTextFlags, caption);
    }
  }

  if ((!m_flat || m_focus_rect_when_flat) && focused) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = face.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}

void CButtonST::mouseMoveEvent(QMouseEvent* event) {
  QAbstractButton::mouseMoveEvent(event);
  if (!m_flat) return;
  // A press that began elsewhere never lights the button up on its way past.
  if ((event->buttons() & Qt::LeftButton) && !m_mouse_over) return;
  const bool over = rect().contains(event->position().toPoint()) &&
                    (m_always_track || isActiveWindow());
  if (over) {
    if (!m_mouse_over) {
      m_mouse_over = true;
      update();
    }
  } else {
    ClearHover();
  }
}

void CButtonST::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second click of a quick pair is an ordinary press, so two quick
  // clicks are two clicks.
  if (event->button() == Qt::LeftButton) {
    mousePressEvent(event);
    return;
  }
  QAbstractButton::mouseDoubleClickEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
  ClearHover();
  QAbstractButton::leaveEvent(event);
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
  QAbstractButton::focusOutEvent(event);
  ClearHover();
}

void CButtonST::changeEvent(QEvent* event) {
  QAbstractButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::ActivationChange:
      if (!isActiveWindow()) ClearHover();
      break;
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        // A disabled button must not keep the keyboard: the next tab stop
        // takes it, or the parent when there is none.
        if (hasFocus() && !focusNextChild() && parentWidget()) parentWidget()->setFocus();
        ClearHover();
      }
      update();
      break;
    default:
      break;
  }
}

void CButtonST::ClearHover() {
  if (!m_mouse_over) return;
  m_mouse_over = false;
  update();
}

}  // namespace zv
