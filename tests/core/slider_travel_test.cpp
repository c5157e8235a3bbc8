#include <gtest/gtest.h>

#include <climits>

#include "controls/slider_travel.h"

namespace zv {
namespace {

// The T-bar: 164 x 420 channel, thumb 41 high, margins 10/30/0/35, vertical,
// range 0..129. Its thumb centre has 420 - 35 - 41 - 30 = 314 pixels of room.
SliderTravel Tbar(int position) {
  SliderTravel t;
  t.SetSize(164, 420);
  t.SetThumbSize(144, 41);
  t.SetMargins(10, 30, 0, 35);
  t.SetVertical(true);
  t.SetLimits(0, 129);
  t.SetPosition(position);
  return t;
}

TEST(SliderTravelTest, TbarThumbPlacement) {
  struct Case {
    int position;
    int centre;
    SliderPoint top_left;
  };
  const Case cases[] = {
      {0, 50, {10, 30}},      // thumb rows 30..70
      {129, 364, {10, 344}},  // thumb rows 344..384
      {60, 196, {10, 176}},   // 30 + trunc(60 * 314 / 129 = 146.05) + 20
      {1, 52, {10, 32}},      // 30 + trunc(2.43) + 20
  };
  for (const Case& c : cases) {
    const SliderTravel t = Tbar(c.position);
    EXPECT_EQ(t.Centre(c.position), c.centre) << c.position;
    EXPECT_EQ(t.ThumbTopLeft(), c.top_left) << c.position;
  }
}

TEST(SliderTravelTest, TbarPositionForCentre) {
  const SliderTravel t = Tbar(0);
  struct Case {
    int centre;
    int position;
  };
  const Case cases[] = {
      {50, 0},     {364, 129}, {365, 129}, {0, 0},  {-1000, 0}, {1000, 129},
      {200, 61},   // trunc(150 * 129 / 314 = 61.62)
      {206, 64},   // trunc(156 * 129 / 314 = 64.09)
      {196, 59},   // trunc(146 * 129 / 314 = 59.98): a centre reads back one below
      {INT_MAX, 129}, {INT_MIN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(t.PositionAt(c.centre), c.position) << c.centre;
}

TEST(SliderTravelTest, PressOnThumbKeepsGrabOffset) {
  SliderTravel t = Tbar(60);  // centre 196
  EXPECT_FALSE(t.Press(80, 201));
  EXPECT_TRUE(t.IsDragging());
  EXPECT_EQ(t.GrabOffset(), 5);
  EXPECT_EQ(t.GetPosition(), 60);

  // Pointer down by 10 to 211: the centre goes to 206, position 64. Without
  // the offset it would go to 211, position trunc(161 * 129 / 314) = 66.
  EXPECT_TRUE(t.Drag(80, 211));
  EXPECT_EQ(t.GetPosition(), 64);
  EXPECT_LE(t.Centre(64), 206);
  EXPECT_GE(t.Centre(65), 206);
}

TEST(SliderTravelTest, PressDecidesBetweenGrabAndJump) {
  struct Case {
    int start;
    int press_y;
    bool moved;
    int position;
    int grab_offset;
  };
  const Case cases[] = {
      {0, 200, true, 61, 0},    // far below the thumb: centre jumps to 200
      {0, 71, true, 8, 0},      // 21 below the centre is off a 41-pixel thumb
      {0, 70, false, 0, 20},    // 20 below is its last row
      {0, 30, false, 0, -20},   // its first row
      {0, 10, false, 0, 0},     // above the thumb at the start: nowhere to go
      {129, 0, true, 0, 0},     // from the bottom to the top at once
      {129, 400, false, 129, 0},
  };
  for (const Case& c : cases) {
    SliderTravel t = Tbar(c.start);
    EXPECT_EQ(t.Press(20, c.press_y), c.moved) << c.start << " " << c.press_y;
    EXPECT_EQ(t.GetPosition(), c.position) << c.start << " " << c.press_y;
    EXPECT_EQ(t.GrabOffset(), c.grab_offset) << c.start << " " << c.press_y;
  }
}

TEST(SliderTravelTest, ReleaseEndsOnlyADrag) {
  SliderTravel t = Tbar(60);
  EXPECT_FALSE(t.Drag(20, 300));  // no press, no drag
  EXPECT_FALSE(t.Release());
  EXPECT_FALSE(t.Press(20, 196));
  EXPECT_TRUE(t.Release());
  EXPECT_FALSE(t.IsDragging());
  EXPECT_FALSE(t.Drag(20, 300));
  EXPECT_EQ(t.GetPosition(), 60);
}

TEST(SliderTravelTest, DraggingPastTheEndsClampsAndReportsOnce) {
  SliderTravel t = Tbar(60);
  t.Press(20, 196);
  EXPECT_TRUE(t.Drag(20, -500));
  EXPECT_EQ(t.GetPosition(), 0);
  EXPECT_EQ(t.Centre(t.GetPosition()), 50);
  EXPECT_FALSE(t.Drag(20, -600));
  EXPECT_FALSE(t.Drag(20, 49));

  EXPECT_TRUE(t.Drag(20, 5000));
  EXPECT_EQ(t.GetPosition(), 129);
  EXPECT_EQ(t.Centre(t.GetPosition()), 364);
  // The end of the centre's travel is 365 (420 - 35 - 20), a pixel past the
  // centre of 129: pushing on there must not report 129 again.
  EXPECT_FALSE(t.Drag(20, 365));
  EXPECT_FALSE(t.Drag(20, 5001));
}

TEST(SliderTravelTest, WanderingWithinOnePositionReportsNothing) {
  SliderTravel t = Tbar(60);  // centre 196
  EXPECT_FALSE(t.Press(20, 196));
  struct Step {
    int y;
    bool moved;
    int position;
  };
  const Step steps[] = {
      {197, false, 60},  // trunc(147 * 129 / 314 = 60.39)
      {199, true, 61},   // trunc(61.21)
      {200, false, 61},  // trunc(61.62)
      {196, true, 59},   // back on the start pixel reads one below (59.98)
  };
  for (const Step& s : steps) {
    EXPECT_EQ(t.Drag(20, s.y), s.moved) << s.y;
    EXPECT_EQ(t.GetPosition(), s.position) << s.y;
  }
}

TEST(SliderTravelTest, NavigationKeys) {
  struct Case {
    int start;
    SliderKey key;
    int position;
  };
  const Case cases[] = {
      {60, SliderKey::kPageUp, 40},   {60, SliderKey::kPageDown, 80},
      {10, SliderKey::kPageUp, 0},    {120, SliderKey::kPageDown, 129},
      {60, SliderKey::kHome, 0},      {60, SliderKey::kEnd, 129},
      {129, SliderKey::kEnd, 129},    {0, SliderKey::kHome, 0},
      {60, SliderKey::kLeft, 59},     {60, SliderKey::kUp, 59},
      {60, SliderKey::kRight, 61},    {60, SliderKey::kDown, 61},
      {0, SliderKey::kUp, 0},         {129, SliderKey::kDown, 129},
  };
  for (const Case& c : cases) {
    SliderTravel t = Tbar(c.start);
    EXPECT_TRUE(t.Key(c.key));
    EXPECT_EQ(t.GetPosition(), c.position) << c.start << " key " << int(c.key);
  }
}

TEST(SliderTravelTest, LimitsAreOrderedAndHoldThePosition) {
  SliderTravel t = Tbar(0);
  t.SetLimits(129, 0);
  EXPECT_EQ(t.Minimum(), 0);
  EXPECT_EQ(t.Maximum(), 129);
  t.SetPosition(200);
  EXPECT_EQ(t.GetPosition(), 129);
  t.SetLimits(0, 100);
  EXPECT_EQ(t.GetPosition(), 100);
  t.SetLimits(110, 120);
  EXPECT_EQ(t.GetPosition(), 110);
  t.SetPosition(-5);
  EXPECT_EQ(t.GetPosition(), 110);
}

TEST(SliderTravelTest, NoRoomOrNoRangeLeavesTheThumbAtTheStart) {
  SliderTravel empty_range = Tbar(0);
  empty_range.SetLimits(5, 5);
  SliderTravel no_room = Tbar(60);
  no_room.SetSize(164, 100);  // 100 - 35 - 41 - 30 < 0
  SliderTravel no_thumb_room = Tbar(60);
  no_thumb_room.SetSize(164, 106);  // exactly the thumb and margins
  for (SliderTravel* t : {&empty_range, &no_room, &no_thumb_room}) {
    const int at = t->GetPosition();
    EXPECT_EQ(t->Centre(at), 50);
    EXPECT_EQ(t->PositionAt(300), t->Minimum());
    t->Press(20, 300);
    t->Drag(20, -300);
    t->Drag(20, 3000);
    EXPECT_EQ(t->Centre(t->GetPosition()), 50);
  }
  EXPECT_EQ(empty_range.GetPosition(), 5);
}

TEST(SliderTravelTest, TruncationIsExact) {
  // Room 49 over a range of 49: each position sits on its own pixel. In
  // double arithmetic 1 / 49 * 49 is just under 1 and would truncate to 0.
  SliderTravel t;
  t.SetVertical(true);
  t.SetSize(10, 49);
  t.SetLimits(0, 49);
  for (int p = 0; p <= 49; ++p) {
    EXPECT_EQ(t.Centre(p), p);
    EXPECT_EQ(t.PositionAt(p), p);
  }
}

TEST(SliderTravelTest, WholeIntRangeDoesNotOverflow) {
  SliderTravel t = Tbar(0);
  t.SetLimits(INT_MIN, INT_MAX);
  EXPECT_EQ(t.GetPosition(), 0);
  EXPECT_EQ(t.Centre(INT_MIN), 50);
  EXPECT_EQ(t.Centre(INT_MAX), 364);
  EXPECT_EQ(t.PositionAt(50), INT_MIN);
  EXPECT_EQ(t.PositionAt(364), INT_MAX);
  t.Key(SliderKey::kEnd);
  t.Key(SliderKey::kPageDown);
  EXPECT_EQ(t.GetPosition(), INT_MAX);
  t.Key(SliderKey::kHome);
  t.Key(SliderKey::kUp);
  EXPECT_EQ(t.GetPosition(), INT_MIN);
}

TEST(SliderTravelTest, HorizontalTravelsAlongX) {
  SliderTravel t;
  t.SetSize(420, 164);
  t.SetThumbSize(41, 144);
  t.SetMargins(30, 10, 35, 0);
  t.SetLimits(0, 129);
  EXPECT_EQ(t.ThumbTopLeft(), (SliderPoint{30, 10}));
  EXPECT_TRUE(t.Press(200, 50));  // off the thumb along x; y plays no part
  EXPECT_EQ(t.GetPosition(), 61);
  EXPECT_TRUE(t.Drag(9000, -9000));
  EXPECT_EQ(t.GetPosition(), 129);
  EXPECT_EQ(t.ThumbTopLeft(), (SliderPoint{344, 10}));
}

}  // namespace
}  // namespace zv
