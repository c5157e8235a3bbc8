#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "controls/button_st.h"
#include "controls/dib_draw.h"
#include "controls/group_box.h"
#include "controls/shade_button_st.h"
#include "res/template_builder.h"

namespace zv {
namespace {

const QColor kBackground(10, 200, 30);
const QColor kFaceGrey(200, 200, 200);
const QColor kMarker(220, 20, 20);

// A plain window filled with one colour, so whatever shows through a face is
// recognisable.
class Backdrop : public QWidget {
 public:
  Backdrop() {
    resize(200, 120);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
  }
};

// 20 x 10 grey face with a marker pixel at its top-left corner and a black
// 4 x 4 block at (8, 3).
QPixmap MarkedFace() {
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(kFaceGrey);
  image.setPixelColor(0, 0, kMarker);
  for (int y = 3; y < 7; ++y)
    for (int x = 8; x < 12; ++x) image.setPixelColor(x, y, Qt::black);
  return QPixmap::fromImage(image);
}

QImage Shot(QWidget& parent, const QWidget& child) {
  return parent.grab(child.geometry()).toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

void MoveOver(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
  SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, held);
}

TEST(ButtonTest, BlackPixelsOfAFaceShowWhatIsBehindIt) {
  struct Case {
    bool see_through;
    QColor behind_black;
  };
  const Case cases[] = {
      {true, kBackground},      // the parent's own pixels
      {false, QColor(0, 0, 200)}, // the face colour slot
  };
  for (const Case& c : cases) {
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(30, 20, 20, 10);
    ASSERT_EQ(button->SetFaceImages(MarkedFace()), 0);
    button->SetFaceColor(CButtonST::FaceColor::kBackgroundOut, QColor(0, 0, 200));
    button->SetSeeThrough(c.see_through);
    button->SetBorderShown(false);
    const QImage shot = Shot(window, *button);
    EXPECT_EQ(At(shot, 9, 4), c.behind_black) << c.see_through;
    EXPECT_EQ(At(shot, 11, 6), c.behind_black) << c.see_through;
    EXPECT_EQ(At(shot, 2, 2), kFaceGrey) << c.see_through;
  }
}

TEST(ButtonTest, ImageSitsThreePixelsInWithACaptionAndMovesOnePixelWhenPressed) {
  struct Case {
    const char* caption;
    bool pressed;
    QPoint marker;  // where the image's top-left pixel lands
  };
  const Case cases[] = {
      {"", false, {0, 0}},   // centred on a face of its own size
      {"", true, {1, 1}},
      {"Go", false, {3, 0}}, // its rightmost three columns fall off the face
      {"Go", true, {4, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.caption << "\" pressed " << c.pressed);
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(30, 20, 20, 10);
    button->SetFaceImages(MarkedFace());
    button->SetSeeThrough(true);
    button->SetBorderShown(false);
    button->setText(c.caption);
    button->setDown(c.pressed);
    const QImage shot = Shot(window, *button);
    EXPECT_EQ(At(shot, c.marker.x(), c.marker.y()), kMarker);
    // Left of the image and above it the backdrop shows.
    for (int x = 0; x < c.marker.x(); ++x) EXPECT_EQ(At(shot, x, 5), kBackground) << x;
    for (int y = 0; y < c.marker.y(); ++y) EXPECT_EQ(At(shot, 10, y), kBackground) << y;
    // The black block keeps its place relative to the marker.
    EXPECT_EQ(At(shot, c.marker.x() + 8, c.marker.y() + 3), kBackground);
    EXPECT_EQ(At(shot, c.marker.x() + 7, c.marker.y() + 3), kFaceGrey);
  }
}

TEST(ButtonTest, ImageAlignmentWithACaption) {
  struct Case {
    CButtonST::ImageAlign align;
    QPoint marker;
  };
  // A 10 x 6 image on a 40 x 30 face.
  const Case cases[] = {
      {CButtonST::ImageAlign::kLeft, {3, 12}},
      {CButtonST::ImageAlign::kAbove, {15, 3}},
      {CButtonST::ImageAlign::kRight, {27, 12}},
  };
  QImage image(10, 6, QImage::Format_RGB32);
  image.fill(kFaceGrey);
  image.setPixelColor(0, 0, kMarker);
  for (const Case& c : cases) {
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(10, 10, 40, 30);
    button->SetFaceImages(QPixmap::fromImage(image));
    button->SetSeeThrough(true);
    button->setText(" ");
    button->SetImageAlign(c.align);
    const QImage shot = Shot(window, *button);
    EXPECT_EQ(At(shot, c.marker.x(), c.marker.y()), kMarker) << int(c.align);
  }
}

TEST(ButtonTest, HoverIsMarkedAndClearedAsThePointerAndWindowDo) {
  enum class Step { kMoveIn, kMoveInHeld, kMoveOutHeld, kLeave, kFocusOut, kDeactivate };
  struct Case {
    const char* name;
    bool flat;
    std::vector<Step> steps;
    bool hovered;
  };
  const Case cases[] = {
      {"move in", true, {Step::kMoveIn}, true},
      {"a press from elsewhere passes by", true, {Step::kMoveInHeld}, false},
      {"pressing a hovered button keeps it lit", true, {Step::kMoveIn, Step::kMoveInHeld}, true},
      {"dragging off a hovered button", true, {Step::kMoveIn, Step::kMoveOutHeld}, false},
      {"leave", true, {Step::kMoveIn, Step::kLeave}, false},
      {"focus loss", true, {Step::kMoveIn, Step::kFocusOut}, false},
      {"window deactivated", true, {Step::kMoveIn, Step::kDeactivate}, false},
      {"back in after leaving", true, {Step::kMoveIn, Step::kLeave, Step::kMoveIn}, true},
      {"not flat", false, {Step::kMoveIn}, false},
  };
  const QColor hot(250, 150, 0), out(0, 0, 160);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(20, 20, 40, 20);
    button->SetFaceColor(CButtonST::FaceColor::kBackgroundHot, hot);
    button->SetFaceColor(CButtonST::FaceColor::kBackgroundOut, out);
    button->SetFaceColor(CButtonST::FaceColor::kBackgroundFocus, out);
    button->SetFlatLook(c.flat);
    for (Step step : c.steps) {
      switch (step) {
        case Step::kMoveIn: MoveOver(button, {10, 10}); break;
        case Step::kMoveInHeld: MoveOver(button, {12, 10}, Qt::LeftButton); break;
        case Step::kMoveOutHeld: MoveOver(button, {60, 10}, Qt::LeftButton); break;
        case Step::kLeave: {
          QEvent leave(QEvent::Leave);
          QApplication::sendEvent(button, &leave);
          break;
        }
        case Step::kFocusOut: {
          QFocusEvent focus_out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
          QApplication::sendEvent(button, &focus_out);
          break;
        }
        case Step::kDeactivate: {
          // The window is not the active one, as after a deactivation.
          ASSERT_FALSE(button->isActiveWindow());
          QEvent change(QEvent::ActivationChange);
          QApplication::sendEvent(button, &change);
          break;
        }
      }
    }
    EXPECT_EQ(button->IsHovered(), c.hovered);
    // The repaint follows the mark.
    EXPECT_EQ(At(Shot(window, *button), 20, 10), c.hovered ? hot : out);
  }
}

TEST(ButtonTest, BordersFollowTheLook) {
  enum class Role { kFace, kBlack, kLight, kMidlight, kDark, kShadow };
  struct Case {
    const char* name;
    bool flat, border, is_default, hovered, pressed;
    Role top_left, bottom_right, inner_top_left;
  };
  const Case cases[] = {
      {"flat idle", true, true, false, false, false, Role::kFace, Role::kFace, Role::kFace},
      {"flat hovered: raised", true, true, false, true, false, Role::kLight, Role::kDark, Role::kFace},
      {"flat pressed: sunken", true, true, false, true, true, Role::kDark, Role::kLight, Role::kFace},
      {"flat without border", true, false, false, true, true, Role::kFace, Role::kFace, Role::kFace},
      {"3D idle: two lines", false, true, false, false, false, Role::kLight, Role::kShadow, Role::kMidlight},
      {"3D pressed: shadow frame", false, true, false, false, true, Role::kDark, Role::kDark, Role::kFace},
      {"3D default: black frame", false, true, true, false, false, Role::kBlack, Role::kBlack, Role::kLight},
  };
  const QColor face(0, 0, 160);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(20, 20, 40, 20);
    for (auto slot : {CButtonST::FaceColor::kBackgroundHot, CButtonST::FaceColor::kBackgroundOut,
                      CButtonST::FaceColor::kBackgroundFocus})
      button->SetFaceColor(slot, face);
    button->SetFlatLook(c.flat);
    button->SetBorderShown(c.border);
    button->SetDefaultButton(c.is_default);
    if (c.hovered) MoveOver(button, {10, 10});
    button->setDown(c.pressed);
    const QPalette& pal = button->palette();
    // Palette colours carry 16 bits a channel; the picture has 8.
    const auto colour = [&](Role role) -> QColor {
      switch (role) {
        case Role::kFace: return face;
        case Role::kBlack: return Qt::black;
        case Role::kLight: return QColor(pal.color(QPalette::Light).rgb());
        case Role::kMidlight: return QColor(pal.color(QPalette::Midlight).rgb());
        case Role::kDark: return QColor(pal.color(QPalette::Dark).rgb());
        case Role::kShadow: return QColor(pal.color(QPalette::Shadow).rgb());
      }
      return {};
    };
    const QImage shot = Shot(window, *button);
    EXPECT_EQ(At(shot, 5, 0), colour(c.top_left));
    EXPECT_EQ(At(shot, 0, 5), colour(c.top_left));
    EXPECT_EQ(At(shot, 5, 19), colour(c.bottom_right));
    EXPECT_EQ(At(shot, 39, 5), colour(c.bottom_right));
    EXPECT_EQ(At(shot, 5, 1), colour(c.inner_top_left));
    EXPECT_EQ(At(shot, 20, 10), face);
  }
}

TEST(ButtonTest, TwoQuickClicksAreTwoClicks) {
  for (bool check_box : {false, true}) {
    SCOPED_TRACE(check_box ? "check box" : "push button");
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(10, 10, 30, 20);
    button->SetCheckBox(check_box);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    const QPoint at(5, 5);
    SendMouse(button, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(button, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(button->GetCheck(), check_box ? 1 : 0);
    SendMouse(button, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(button, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(button->GetCheck(), 0);
  }
}

TEST(ButtonTest, CheckStateAppliesOnlyToCheckBoxesAndLooksPressed) {
  struct Case {
    bool check_box;
    Qt::CheckState state;
    int stored;
  };
  const Case cases[] = {
      {true, Qt::Checked, 1},
      {true, Qt::PartiallyChecked, 1},
      {true, Qt::Unchecked, 0},
      {false, Qt::Checked, 0},
  };
  for (const Case& c : cases) {
    Backdrop window;
    auto* button = new CButtonST(&window);
    button->setGeometry(30, 20, 20, 10);
    button->SetFaceImages(MarkedFace());
    button->SetSeeThrough(true);
    button->SetCheckBox(c.check_box);
    button->SetCheck(c.state);
    EXPECT_EQ(button->GetCheck(), c.stored) << c.check_box << " " << c.state;
    // A checked box looks pressed, but its image does not move.
    EXPECT_EQ(At(Shot(window, *button), 0, 0), kMarker);
  }
}

TEST(ButtonTest, DisabledButtonHandsTheFocusOnAndGreysItsImage) {
  Backdrop window;
  auto* first = new CButtonST(&window);
  auto* second = new CButtonST(&window);
  first->setGeometry(10, 10, 20, 10);
  second->setGeometry(40, 10, 20, 10);
  first->SetFaceImages(MarkedFace());
  first->SetSeeThrough(true);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  first->setFocus();
  ASSERT_TRUE(first->hasFocus());
  MoveOver(first, {5, 5});
  ASSERT_TRUE(first->IsHovered());
  first->setEnabled(false);
  EXPECT_TRUE(second->hasFocus());
  EXPECT_FALSE(first->IsHovered());
  const QImage shot = Shot(window, *first);
  EXPECT_NE(At(shot, 0, 0), kMarker) << "the disabled image is greyed";
  EXPECT_EQ(At(shot, 9, 4), kBackground) << "and keeps its transparent pixels";
}

TEST(ButtonTest, FaceImageIdsSwapBetweenNormalAndSelected) {
  CButtonST button;
  button.SetFaceImageIds(196, 199);
  EXPECT_EQ(button.FaceImageId(), 196);
  button.SetSelected(true);
  EXPECT_EQ(button.FaceImageId(), 199);
  EXPECT_TRUE(button.IsSelected());
  button.SetSelected(false);
  EXPECT_EQ(button.FaceImageId(), 196);
  // A selection without a selected id keeps the normal face.
  button.SetFaceImageIds(198, 0);
  button.SetSelected(true);
  EXPECT_EQ(button.FaceImageId(), 198);
  EXPECT_TRUE(button.HasFaceImage());
  // Unknown ids and null pictures leave no face behind.
  EXPECT_EQ(button.SetFaceImageId(99999), 1);
  EXPECT_EQ(button.FaceImageId(), 0);
  EXPECT_FALSE(button.HasFaceImage());
  EXPECT_EQ(button.SetFaceImages(QPixmap()), 1);
}

TEST(ButtonTest, SecondImageShowsOnlyWhileIdle) {
  QImage idle(20, 10, QImage::Format_RGB32);
  idle.fill(QColor(20, 20, 220));
  Backdrop window;
  auto* button = new CButtonST(&window);
  button->setGeometry(30, 20, 20, 10);
  button->SetSeeThrough(true);
  ASSERT_EQ(button->SetFaceImages(MarkedFace(), QPixmap::fromImage(idle)), 0);
  EXPECT_EQ(At(Shot(window, *button), 5, 5), QColor(20, 20, 220));
  MoveOver(button, {5, 5});
  EXPECT_EQ(At(Shot(window, *button), 5, 5), kFaceGrey);
}

TEST(ShadeButtonTest, ShadeFillsTheFaceAndHoverUsesItsTintedCopy) {
  struct Case {
    bool hovered, pressed;
    bool hover_face;
    QPoint offset;
  };
  const Case cases[] = {
      {false, false, false, {0, 0}},
      {false, true, false, {0, 0}},
      {true, false, true, {0, 0}},
      {true, true, true, {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "hovered " << c.hovered << " pressed " << c.pressed);
    Backdrop window;
    auto* button = new CShadeButtonST(&window);
    button->setGeometry(10, 10, 60, 24);
    button->SetBorderShown(false);
    ASSERT_EQ(button->BuildShade(), 1);
    ASSERT_EQ(button->NormalShade().Width(), 60);
    ASSERT_EQ(button->NormalShade().Height(), 24);
    if (c.hovered) MoveOver(button, {30, 12});
    button->setDown(c.pressed);
    const QImage face = DibImage(c.hover_face ? button->HoverShade() : button->NormalShade());
    const QImage shot = Shot(window, *button);
    for (QPoint p : {QPoint(0, 0), QPoint(20, 7), QPoint(40, 15)})
      EXPECT_EQ(At(shot, p.x() + c.offset.x(), p.y() + c.offset.y()), face.pixelColor(p))
          << p.x() << "," << p.y();
  }
  // The two faces share their pixels but not their colours.
  CShadeButtonST button;
  button.resize(30, 10);
  button.show();
  button.BuildShade();
  EXPECT_NE(DibImage(button.NormalShade()), DibImage(button.HoverShade()));
  // A resized button gets a shade of its new size.
  button.resize(50, 12);
  EXPECT_EQ(button.NormalShade().Width(), 50);
  EXPECT_EQ(button.HoverShade().Height(), 12);
}

TEST(ShadeButtonTest, ConnectButtonLookShowsItsCaptionInTheSlotColours) {
  Backdrop window;
  auto* button = new CShadeButtonST(&window);
  button->setGeometry(10, 10, 120, 40);
  button->setText("CONNECT");
  QFont big = button->font();
  big.setPixelSize(30);
  big.setBold(true);
  button->setFont(big);
  button->BuildShade();
  button->SetFaceColor(CButtonST::FaceColor::kTextOut, QColor(0, 128, 0));
  button->SetFaceColor(CButtonST::FaceColor::kTextHot, QColor(178, 0, 0));
  const auto count = [&](const QColor& colour) {
    const QImage shot = Shot(window, *button);
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) n += At(shot, x, y) == colour;
    return n;
  };
  EXPECT_GT(count(QColor(0, 128, 0)), 20);
  EXPECT_EQ(count(QColor(178, 0, 0)), 0);
  MoveOver(button, {5, 5});
  EXPECT_GT(count(QColor(178, 0, 0)), 20);
}

TEST(GroupBoxTest, FrameIsInsetAndCaptionInterruptsIt) {
  const QColor frame(168, 168, 168);
  // The short caption is narrower than 35 pixels.
  for (const char* caption : {"", "A", "Audio settings"}) {
    SCOPED_TRACE(caption);
    Backdrop window;
    auto* box = new CMyGroupBox(caption, &window);
    box->setGeometry(20, 10, 160, 100);
    const QImage shot = Shot(window, *box);
    // Left 2, top 8, right and bottom 8 pixels in.
    EXPECT_EQ(At(shot, 2, 50), frame);
    EXPECT_EQ(At(shot, 1, 50), kBackground);
    EXPECT_EQ(At(shot, 151, 50), frame);
    EXPECT_EQ(At(shot, 152, 50), kBackground);
    EXPECT_EQ(At(shot, 120, 91), frame);
    EXPECT_EQ(At(shot, 120, 92), kBackground);
    EXPECT_EQ(At(shot, 120, 8), frame);
    EXPECT_EQ(At(shot, 120, 7), kBackground);
    // Inside the frame the panel shows.
    EXPECT_EQ(At(shot, 80, 50), kBackground);
    const QRect strip = box->CaptionRect();
    if (QString(caption).isEmpty()) {
      EXPECT_TRUE(strip.isEmpty());
      EXPECT_EQ(At(shot, 40, 8), frame);
      continue;
    }
    ASSERT_EQ(strip.left(), 10);
    // No frame line anywhere behind the caption, and the caption is grey.
    int grey = 0;
    for (int x = strip.left(); x <= strip.right(); ++x) {
      EXPECT_NE(At(shot, x, 8), frame) << x;
      for (int y = strip.top(); y <= strip.bottom(); ++y)
        grey += At(shot, x, y) == QColor(128, 128, 128);
    }
    EXPECT_GT(grey, 0);
    EXPECT_EQ(At(shot, strip.right() + 3, 8), frame);
  }
}

TEST(TemplateTest, BitmapButtonsAreSeeThroughBorderlessAndFlat) {
  static constexpr ControlTemplate kControls[] = {
      {1, ControlKind::kSkinButton, "one", 0, 0, 138, 50, true, 196},
      {2, ControlKind::kShadeButton, "two", 0, 60, 80, 30, true, 0},
      {3, ControlKind::kGroupBox, "", 0, 100, 100, 50, true, 0},
  };
  const DialogTemplate t{999, "", 200, 200, 0, kControls};
  QWidget dialog;
  BuildTemplateControls(&dialog, t);
  auto* one = qobject_cast<CButtonST*>(FindItem(&dialog, 1));
  auto* two = qobject_cast<CShadeButtonST*>(FindItem(&dialog, 2));
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(qobject_cast<CShadeButtonST*>(one), nullptr);
  EXPECT_NE(qobject_cast<CMyGroupBox*>(FindItem(&dialog, 3)), nullptr);
  for (CButtonST* b : {one, static_cast<CButtonST*>(two)}) {
    EXPECT_TRUE(b->IsSeeThrough());
    EXPECT_FALSE(b->IsBorderShown());
    EXPECT_TRUE(b->IsFlatLook());
  }
  // A face shows whole; the caption only names the button.
  EXPECT_EQ(one->FaceImageId(), 196);
  EXPECT_TRUE(one->text().isEmpty());
  EXPECT_EQ(one->accessibleName(), "one");
  EXPECT_EQ(two->text(), "two");
}

}  // namespace
}  // namespace zv
