#include "controls/bitmap_slider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>

#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

CMemSliderDC::CMemSliderDC(QPainter* target, const QRect& rect) : m_target(target), m_rect(rect) {
  QPaintDevice* device = target->device();
  if (!device || device->devType() == QInternal::Printer || rect.isEmpty()) return;
  const qreal ratio = device->devicePixelRatioF();
  m_buffer = QPixmap(rect.size() * ratio);
  m_buffer.setDevicePixelRatio(ratio);
  m_painter.emplace(&m_buffer);
  m_painter->translate(-rect.topLeft());
  m_painter->setFont(target->font());
}

CMemSliderDC::~CMemSliderDC() {
  if (!m_painter) return;
  m_painter->end();
  m_target->drawPixmap(m_rect.topLeft(), m_buffer);
}

namespace {

// The slider as a screen reader sees it: a slider with a value. The value is
// read only; the keys and the mouse move the thumb, and they tell the parent.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SliderAccessible(CBitmapSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(Slider()->ValueForPeople());
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return Slider()->ValueForPeople(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return Slider()->MaximumForPeople(); }
  QVariant minimumValue() const override { return Slider()->MinimumForPeople(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  CBitmapSlider* Slider() const { return static_cast<CBitmapSlider*>(widget()); }
};

QAccessibleInterface* SliderAccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("zv::CBitmapSlider") && object && object->isWidgetType())
    return new SliderAccessible(static_cast<CBitmapSlider*>(object));
  return nullptr;
}

}  // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent, int control_id)
    : QWidget(parent), m_control_id(control_id) {
  static const bool accessible_installed = [] {
    QAccessible::installFactory(SliderAccessibleFactory);
    return true;
  }();
  (void)accessible_installed;
  if (control_id != 0) setObjectName(ItemName(control_id));
  // Every pixel is painted each time; nothing is erased first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  m_travel.SetSize(width(), height());
}

bool CBitmapSlider::LoadChannelImage(int bitmap_id) { return LoadChannelImage(SkinBitmap(bitmap_id)); }

bool CBitmapSlider::LoadChannelImage(const QPixmap& image) {
  if (image.isNull()) return false;
  m_channel = image;
  // The travel follows the channel from now on, whatever the layout does.
  const QSize size = image.deviceIndependentSize().toSize();
  m_travel.SetSize(size.width(), size.height());
  resize(size);
  update();
  return true;
}

bool CBitmapSlider::LoadThumbImage(int bitmap_id) { return LoadThumbImage(SkinBitmap(bitmap_id)); }

bool CBitmapSlider::LoadThumbImage(const QPixmap& image) {
  if (image.isNull()) return false;
  QImage thumb = image.toImage().convertToFormat(QImage::Format_ARGB32);
  const QRgb key = thumb.pixel(0, 0);
  for (int y = 0; y < thumb.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(thumb.scanLine(y));
    for (int x = 0; x < thumb.width(); ++x)
      if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
  }
  m_thumb = QPixmap::fromImage(thumb);
  m_thumb.setDevicePixelRatio(image.devicePixelRatio());
  const QSize size = image.deviceIndependentSize().toSize();
  m_travel.SetThumbSize(size.width(), size.height());
  if (!IsChannelLoaded()) m_travel.SetSize(width(), height());
  update();
  return true;
}

void CBitmapSlider::SetMargins(int left, int top, int right, int bottom) {
  m_travel.SetMargins(left, top, right, bottom);
  update();
}

void CBitmapSlider::SetVertical(bool on) {
  m_travel.SetVertical(on);
  update();
}

void CBitmapSlider::SetLimits(int minimum, int maximum) {
  m_travel.SetLimits(minimum, maximum);
  update();
}

void CBitmapSlider::SetPosition(int position) {
  m_travel.SetPosition(position);
  update();
  AnnounceValue();
}

void CBitmapSlider::SetValueForPeople(int minimum, int maximum, std::function<int(int)> value) {
  m_people_minimum = minimum;
  m_people_maximum = maximum;
  m_value_for_people = std::move(value);
  AnnounceValue();
}

int CBitmapSlider::ValueForPeople() const {
  return m_value_for_people ? m_value_for_people(GetPosition()) : GetPosition();
}

int CBitmapSlider::MinimumForPeople() const {
  return m_value_for_people ? m_people_minimum : m_travel.Minimum();
}

int CBitmapSlider::MaximumForPeople() const {
  return m_value_for_people ? m_people_maximum : m_travel.Maximum();
}

void CBitmapSlider::AnnounceValue() {
  if (!QAccessible::isActive()) return;
  const int value = ValueForPeople();
  if (m_announced_value == value) return;
  m_announced_value = value;
  QAccessibleValueChangeEvent event(this, value);
  QAccessible::updateAccessibility(&event);
}

void CBitmapSlider::SetFocusRectOption(bool on) {
  m_focus_rect_option = on;
  update();
}

QSize CBitmapSlider::sizeHint() const {
  return IsChannelLoaded() ? m_channel.size() : QWidget::sizeHint();
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter screen(this);
  CMemSliderDC dc(&screen, rect());
  QPainter& p = dc.Painter();
  p.fillRect(rect(), palette().color(backgroundRole()));
  if (IsChannelLoaded()) p.drawPixmap(0, 0, m_channel);
  if (IsThumbLoaded() && isEnabled()) {
    const SliderPoint at = m_travel.ThumbTopLeft();
    p.drawPixmap(at.x, at.y, m_thumb);
  }
  if (m_focus_rect_option && hasFocus() && isEnabled()) {
    // A dotted rectangle inverted over the picture stays visible on any skin.
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.restore();
  }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  const QPoint at = event->position().toPoint();
  if (m_travel.Press(at.x(), at.y())) PostToParent(kSliderMovingMessage);
  update();
  event->accept();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!m_travel.IsDragging()) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  if (m_travel.Drag(at.x(), at.y())) {
    update();
    PostToParent(kSliderMovingMessage);
  }
  event->accept();
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  if (m_travel.Release()) PostToParent(kSliderReleasedMessage);
  update();
  event->accept();
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  struct KeyMap {
    int qt_key;
    SliderKey key;
  };
  static constexpr KeyMap kKeys[] = {
      {Qt::Key_PageUp, SliderKey::kPageUp}, {Qt::Key_PageDown, SliderKey::kPageDown},
      {Qt::Key_End, SliderKey::kEnd},       {Qt::Key_Home, SliderKey::kHome},
      {Qt::Key_Left, SliderKey::kLeft},     {Qt::Key_Up, SliderKey::kUp},
      {Qt::Key_Right, SliderKey::kRight},   {Qt::Key_Down, SliderKey::kDown},
  };
  for (const KeyMap& k : kKeys) {
    if (k.qt_key != event->key()) continue;
    const int before = GetPosition();
    m_travel.Key(k.key);
    update();
    // A key that moves the thumb is reported as a move first, as a drag to
    // that position would be, so that the parent tells the device what the
    // thumb now shows. The release is posted even when the position stays:
    // the parent applies every key like a release.
    if (GetPosition() != before) PostToParent(kSliderMovingMessage);
    PostToParent(kSliderReleasedMessage);
    event->accept();
    return;
  }
  // Anything else goes on to the dialog (which swallows Enter and Escape).
  QWidget::keyPressEvent(event);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void CBitmapSlider::resizeEvent(QResizeEvent* event) {
  if (!IsChannelLoaded()) m_travel.SetSize(width(), height());
  QWidget::resizeEvent(event);
}

void CBitmapSlider::changeEvent(QEvent* event) {
  // A slider disabled mid-drag gets no button-up; the drag ends silently.
  if (event->type() == QEvent::EnabledChange && !isEnabled()) m_travel.CancelDrag();
  QWidget::changeEvent(event);
}

void CBitmapSlider::PostToParent(int message) {
  // The parent sees the message after this input; the value read now may
  // still change when it applies it, and is told again then.
  AnnounceValue();
  if (QWidget* parent = parentWidget())
    QCoreApplication::postEvent(parent,
                                new SliderMessageEvent(message, m_control_id, GetPosition()));
}

}  // namespace zv
