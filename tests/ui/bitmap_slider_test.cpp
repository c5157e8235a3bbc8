#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <vector>

#include "controls/bitmap_slider.h"

namespace zv {
namespace {

constexpr int kTbarId = 1160;
const QColor kChannelColour(40, 90, 140);
const QColor kThumbKey(255, 0, 255);
const QColor kThumbBody(230, 200, 20);

struct Notice {
  int message;
  int control_id;
  int position;
  bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Notice& n) {
  return os << "{0x" << std::hex << n.message << std::dec << ", " << n.control_id << ", "
            << n.position << "}";
}

// Stands in for the switcher panel: records the slider's messages as its
// event() receives them.
class NoticeRecorder : public QWidget {
 public:
  std::vector<Notice> notices;

 protected:
  bool event(QEvent* e) override {
    if (SliderMessageEvent::IsSliderMessage(e)) {
      const auto* m = static_cast<const SliderMessageEvent*>(e);
      notices.push_back({int(e->type()), m->ControlId(), m->Position()});
      return true;
    }
    return QWidget::event(e);
  }
};

// A thumb 144 x 41 whose border is the key colour around a solid body.
QPixmap ThumbPicture() {
  QPixmap thumb(144, 41);
  thumb.fill(kThumbKey);
  QPainter p(&thumb);
  p.fillRect(QRect(4, 4, 136, 33), kThumbBody);
  return thumb;
}

// The T-bar as the switcher panel sets it up, at `position`.
struct Tbar {
  NoticeRecorder panel;
  CBitmapSlider* slider;

  explicit Tbar(int position) {
    panel.resize(300, 500);
    slider = new CBitmapSlider(&panel, kTbarId);
    slider->move(20, 30);
    QPixmap channel(164, 420);
    channel.fill(kChannelColour);
    EXPECT_TRUE(slider->LoadChannelImage(channel));
    EXPECT_TRUE(slider->LoadThumbImage(ThumbPicture()));
    slider->SetMargins(10, 30, 0, 35);
    slider->SetVertical(true);
    slider->SetLimits(0, 129);
    slider->SetPosition(position);
  }

  void Mouse(QEvent::Type type, int y, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(80, y);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, at, slider->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &e);
  }
  void Press(int y) { Mouse(QEvent::MouseButtonPress, y); }
  void Move(int y) { Mouse(QEvent::MouseMove, y); }
  void Release(int y) { Mouse(QEvent::MouseButtonRelease, y); }

  std::vector<Notice> Delivered() {
    QCoreApplication::processEvents();
    return panel.notices;
  }
};

constexpr int kMoving = kSliderMovingMessage;
constexpr int kReleased = kSliderReleasedMessage;

TEST(BitmapSliderTest, ChannelSizesTheControlInPlace) {
  Tbar t(0);
  EXPECT_EQ(t.slider->geometry(), QRect(20, 30, 164, 420));
  EXPECT_EQ(t.slider->objectName(), "1160");
  EXPECT_FALSE(t.slider->LoadChannelImage(QPixmap()));
  EXPECT_FALSE(t.slider->LoadThumbImage(-12345));  // no such skin bitmap
  EXPECT_TRUE(t.slider->IsThumbLoaded());
  EXPECT_EQ(t.slider->Travel().Centre(129), 364);
}

TEST(BitmapSliderTest, ThumbIsDrawnThroughItsKeyColour) {
  Tbar t(0);
  struct Probe {
    int position;
    bool enabled;
    QPoint at;
    QColor colour;
  };
  const Probe probes[] = {
      {0, true, {80, 50}, kThumbBody},         // thumb body, rows 30..70
      {0, true, {11, 31}, kChannelColour},     // thumb corner in the key colour
      {0, true, {80, 72}, kChannelColour},     // just below the thumb
      {129, true, {80, 364}, kThumbBody},      // rows 344..384
      {129, true, {80, 50}, kChannelColour},
      {129, false, {80, 364}, kChannelColour}, // disabled: no thumb
  };
  for (const Probe& p : probes) {
    t.slider->SetPosition(p.position);
    t.slider->setEnabled(p.enabled);
    const QImage image = t.slider->grab().toImage();
    EXPECT_EQ(image.pixelColor(p.at), p.colour)
        << p.position << " at " << p.at.x() << "," << p.at.y();
  }
}

TEST(BitmapSliderTest, PressOffTheThumbJumpsAndPostsAfterTheInput) {
  Tbar t(0);
  t.Press(200);
  // Posted, not sent: nothing arrives until the input has been handled.
  EXPECT_TRUE(t.panel.notices.empty());
  EXPECT_EQ(t.slider->GetPosition(), 61);
  EXPECT_EQ(t.Delivered(), (std::vector<Notice>{{kMoving, kTbarId, 61}}));
  t.Release(200);
  EXPECT_EQ(t.Delivered(),
            (std::vector<Notice>{{kMoving, kTbarId, 61}, {kReleased, kTbarId, 61}}));
}

TEST(BitmapSliderTest, PressAndReleaseWithoutMovementPostsOnlyReleased) {
  Tbar t(60);  // centre 196
  t.Press(201);
  t.Release(201);
  EXPECT_EQ(t.Delivered(), (std::vector<Notice>{{kReleased, kTbarId, 60}}));
  EXPECT_EQ(t.slider->GetPosition(), 60);
}

TEST(BitmapSliderTest, DragKeepsTheGrabOffsetAndClampsAtTheEnds) {
  Tbar t(60);
  t.Press(201);     // 5 below the centre
  t.Move(211);      // centre to 206: position 64, not 66 as 211 would give
  t.Move(5000);     // past the bottom
  t.Move(5001);     // still there: no repeat
  t.Release(5001);
  t.Press(300);     // 64 above the centre: off the thumb, jump to 102
  t.Move(-400);     // past the top
  t.Move(-401);
  t.Release(-401);
  EXPECT_EQ(t.Delivered(), (std::vector<Notice>{{kMoving, kTbarId, 64},
                                                {kMoving, kTbarId, 129},
                                                {kReleased, kTbarId, 129},
                                                {kMoving, kTbarId, 102},
                                                {kMoving, kTbarId, 0},
                                                {kReleased, kTbarId, 0}}));
}

TEST(BitmapSliderTest, OnlyTheLeftButtonDrags) {
  Tbar t(0);
  t.Mouse(QEvent::MouseButtonPress, 200, Qt::RightButton);
  t.Move(250);
  t.Mouse(QEvent::MouseButtonRelease, 250, Qt::RightButton);
  EXPECT_TRUE(t.Delivered().empty());
  EXPECT_EQ(t.slider->GetPosition(), 0);
}

// A key that moves the thumb reports the move first, so the T-bar's owner
// treats it like a drag to that position; every key then posts a release.
TEST(BitmapSliderTest, NavigationKeysPostMovingAndReleased) {
  Tbar t(129);
  QTest::keyClick(t.slider, Qt::Key_End);       // already at the end
  QTest::keyClick(t.slider, Qt::Key_PageUp);
  QTest::keyClick(t.slider, Qt::Key_Up);
  QTest::keyClick(t.slider, Qt::Key_Home);
  QTest::keyClick(t.slider, Qt::Key_Left);      // already at the start
  QTest::keyClick(t.slider, Qt::Key_Right);
  QTest::keyClick(t.slider, Qt::Key_PageDown);
  QTest::keyClick(t.slider, Qt::Key_Down);
  QTest::keyClick(t.slider, Qt::Key_A);         // not ours
  EXPECT_EQ(t.Delivered(), (std::vector<Notice>{{kReleased, kTbarId, 129},
                                                {kMoving, kTbarId, 109},
                                                {kReleased, kTbarId, 109},
                                                {kMoving, kTbarId, 108},
                                                {kReleased, kTbarId, 108},
                                                {kMoving, kTbarId, 0},
                                                {kReleased, kTbarId, 0},
                                                {kReleased, kTbarId, 0},
                                                {kMoving, kTbarId, 1},
                                                {kReleased, kTbarId, 1},
                                                {kMoving, kTbarId, 21},
                                                {kReleased, kTbarId, 21},
                                                {kMoving, kTbarId, 22},
                                                {kReleased, kTbarId, 22}}));
}

TEST(BitmapSliderTest, ProgramSetPositionsPostNothing) {
  Tbar t(0);
  t.slider->SetPosition(40);
  t.slider->SetPosition(500);
  EXPECT_EQ(t.slider->GetPosition(), 129);
  t.slider->SetLimits(0, 100);
  EXPECT_EQ(t.slider->GetPosition(), 100);
  EXPECT_TRUE(t.Delivered().empty());
}

TEST(BitmapSliderTest, DisabledSliderIgnoresInputAndForgetsItsDrag) {
  Tbar t(0);
  t.slider->setEnabled(false);
  t.Press(200);
  QTest::keyClick(t.slider, Qt::Key_End);
  EXPECT_TRUE(t.Delivered().empty());
  EXPECT_EQ(t.slider->GetPosition(), 0);

  t.slider->setEnabled(true);
  t.Press(40);  // on the thumb
  t.slider->setEnabled(false);
  t.slider->setEnabled(true);
  t.Move(300);
  t.Release(300);
  EXPECT_TRUE(t.Delivered().empty());
  EXPECT_EQ(t.slider->GetPosition(), 0);
}

// Pixels of the top row that are not the channel's colour.
int FocusMarks(CBitmapSlider* slider) {
  const QImage image = slider->grab().toImage();
  int marks = 0;
  for (int x = 0; x < image.width(); ++x) marks += image.pixelColor(x, 0) != kChannelColour;
  return marks;
}

TEST(BitmapSliderTest, FocusRectangleWhileFocused) {
  Tbar t(60);
  t.panel.show();
  t.panel.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&t.panel));
  t.slider->clearFocus();  // activation hands it the focus as the only taker
  EXPECT_EQ(FocusMarks(t.slider), 0);

  t.Press(200);  // a press takes the focus
  t.Release(200);
  ASSERT_TRUE(t.slider->hasFocus());
  EXPECT_GT(FocusMarks(t.slider), 0);

  t.slider->SetFocusRectOption(false);
  EXPECT_EQ(FocusMarks(t.slider), 0);
  t.slider->SetFocusRectOption(true);
  t.slider->clearFocus();
  EXPECT_EQ(FocusMarks(t.slider), 0);
}

TEST(BitmapSliderTest, MemoryContextReachesTheTargetOnlyWhenClosed) {
  QImage target(60, 60, QImage::Format_RGB32);
  target.fill(Qt::white);
  QPainter painter(&target);
  {
    CMemSliderDC dc(&painter, QRect(10, 20, 30, 30));
    dc.Painter().fillRect(QRect(10, 20, 30, 30), Qt::blue);
    dc.Painter().fillRect(QRect(15, 25, 5, 5), Qt::red);  // target coordinates
    EXPECT_EQ(target.pixelColor(16, 26), QColor(Qt::white));
  }
  painter.end();
  EXPECT_EQ(target.pixelColor(16, 26), QColor(Qt::red));
  EXPECT_EQ(target.pixelColor(12, 22), QColor(Qt::blue));
  EXPECT_EQ(target.pixelColor(39, 49), QColor(Qt::blue));
  EXPECT_EQ(target.pixelColor(9, 22), QColor(Qt::white));
  EXPECT_EQ(target.pixelColor(40, 50), QColor(Qt::white));
}

}  // namespace
}  // namespace zv
