// The clock face and its overlays, checked as the exact sequence of drawing calls for day,
// peak, bedtime and night frames, the menu, the about box and the editor; and what clicks do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock_face.h"
#include "clock_menu.h"
#include "clock_state.h"
#include "day_cycle.h"
#include "platform/fake_platform.h"

using qrn::g_clock;

namespace {

class RecordingCanvas : public qrn::ClockCanvas {
 public:
  std::vector<std::string> calls;
  void set_font(int32_t slot, double scale) override {
    calls.push_back("font " + std::to_string(slot) + (scale == 1.0 ? "" : " scaled"));
  }
  void print_text(const qrn::RtString& text, double x, double y, int32_t proportional) override {
    calls.push_back("text '" + std::string(text.data) + "' " + num(x) + "," + num(y) +
                    (proportional == 1 ? "" : " fixed"));
  }
  void draw_sprite(int32_t id, int32_t x, int32_t y) override {
    calls.push_back("sprite " + std::to_string(id) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void draw_sprite_rotated(int32_t id, double x, double y, double angle) override {
    calls.push_back("rotated " + std::to_string(id) + " " + num(x) + "," + num(y) + " " + num(angle));
  }

 private:
  static std::string num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
  }
};

class FaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = qrn::install_clock_canvas(&canvas);
    g_clock = qrn::ClockState{};
    wake("0700");
  }
  void TearDown() override { qrn::install_clock_canvas(previous_); }

  void wake(const char* hhmm) {
    g_clock.wake_text = hhmm;
    qrn::parse_wake_time();
  }
  // One frame as the main loop computes it.
  void frame(int hour, int minute, int second) {
    g_clock.now_hour = hour;
    g_clock.now_minute = minute;
    g_clock.now_second = second;
    qrn::compute_cycle();
    qrn::to_12_hour(hour, g_clock.now_hour, g_clock.now_ampm);
    g_clock.now_minute_text = minute <= 9 ? qrn::RtString("0") + minute : qrn::int_to_text(minute);
    canvas.calls.clear();
    qrn::draw_clock_face();
  }
  std::vector<std::string> expect_header(const char* time, const char* ampm_at) {
    return {"font 1", std::string("text '") + time + "' 135,180", ampm_at, "font 2",
            "text 'Ver. 4.8' 145,5", "font 1"};
  }

  RecordingCanvas canvas;
  qrn::ClockCanvas* previous_ = nullptr;
};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST_F(FaceTest, DayFrameWithPeakAndLowRows) {
  frame(9, 41, 30);  // M = 161: during the first peak
  auto expected = join(expect_header("9 : 41", "text 'am' 172,180"),
                       {"rotated 2 0,0 114", "rotated 3 0,0 70", "rotated 11 0,0 180",
                        "rotated 10 0,0 0", "rotated 5 0,0 80", "rotated 9 0,-55 114",
                        "font 6", "text 'Pk: 10:00' 5,5", "text 'am' 68,5",
                        "font 3", "text 'Lo: 11:00' 5,180", "text 'am' 68,180"});
  EXPECT_EQ(canvas.calls, expected);
}

TEST_F(FaceTest, DayFrameOutsideAPeakAndTwelveOClockHands) {
  frame(12, 5, 0);  // M = 305: peak 3; then check hands at noon
  EXPECT_EQ(canvas.calls[1], "text '12 : 05' 135,180");
  EXPECT_EQ(canvas.calls[2], "text 'pm' 176,180");
  frame(12, 30, 0);
  EXPECT_EQ(canvas.calls[6], "rotated 2 0,0 180");
  EXPECT_EQ(canvas.calls[7], "rotated 3 0,0 -15");
  frame(11, 0, 0);  // M = 240, a low; peak at 12:00 pm
  auto expected = join(expect_header("11 : 00", "text 'am' 176,180"),
                       {"rotated 2 0,0 360", "rotated 3 0,0 30", "rotated 11 0,0 360",
                        "rotated 5 0,0 60", "rotated 6 0,-38 180",
                        "font 6", "text 'Pk: 12:00' 5,5", "text 'pm' 68,5",
                        "font 3", "text 'Lo: 2:00' 5,180", "text 'pm' 62,180"});
  EXPECT_EQ(canvas.calls, expected);
}

TEST_F(FaceTest, BedtimeRowNearTheEndOfTheDayWithoutHands) {
  wake("0705");
  g_clock.show_hands = 0;
  frame(21, 30, 0);  // M = 865: bedtime 11:05 pm replaces peak and low
  auto expected = join(expect_header("9 : 30", "text 'pm' 172,180"),
                       {"rotated 5 0,0 264", "rotated 8 0,-38 285", "font 3", "text 'Bed' 5,180",
                        "text '11' 35,180", "text ':' 50,180", "text '0' 55,180", "text '5' 61,180",
                        "text 'pm' 72,180"});
  EXPECT_EQ(canvas.calls, expected);
}

TEST_F(FaceTest, NightFrameInTestModeShowsTheWakeRow) {
  wake("0712");
  g_clock.test_mode = 1;
  g_clock.show_hands = 0;
  frame(3, 0, 0);  // N = 228 minutes asleep
  auto expected = join(expect_header("3 : 00", "text 'am' 172,180"),
                       {"font 5", "text 'TEST ' 82,60", "text '228' 75,75", "text 'mins' 105,75",
                        "font 1", "font 4", "text 'Wake' 5,180", "text '7' 45,180",
                        "text ':' 60,180", "text '12' 65,180", "text 'am' 81,180",
                        "rotated 4 0,0 183", "rotated 7 0,38 288"});
  EXPECT_EQ(canvas.calls, expected);
}

TEST_F(FaceTest, OverlaysAreDrawnLastAndTheEditorRowsFollowDayAndNight) {
  g_clock.menu_open = 1;
  g_clock.about_open = 1;
  frame(10, 0, 0);
  ASSERT_GE(canvas.calls.size(), 2u);
  EXPECT_EQ(canvas.calls[canvas.calls.size() - 2], "sprite 1 10,25");
  EXPECT_EQ(canvas.calls.back(), "sprite 12 10,25");

  g_clock.menu_open = g_clock.about_open = 0;
  g_clock.editor_open = 1;
  g_clock.wake_hour12 = 12;
  g_clock.wake_minute = 59;
  g_clock.wake_ampm = "pm";
  frame(10, 0, 0);
  std::vector<std::string> tail(canvas.calls.end() - 12, canvas.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "font 4", "text 'Awake' 45,115", "text '12' 90,115", "text ':' 105,115",
                      "text '59' 112,115", "text 'pm' 135,115", "font 1", "text '1' 96,100",
                      "text '00' 112,100", "text 'am' 135,100", "text '11' 90,130", "text '58' 112,130"}));
  EXPECT_EQ(g_clock.editor_row_y, 115);

  g_clock.wake_hour12 = 1;
  g_clock.wake_minute = 0;
  g_clock.wake_ampm = "am";
  frame(2, 0, 0);  // night: rows at 60, 75 and 90
  tail.assign(canvas.calls.end() - 14, canvas.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "font 4", "text 'Awake' 45,75", "text '1' 96,75", "text ':' 105,75",
                      "text '0' 112,75", "text '0' 120,75", "text 'am' 135,75", "font 1",
                      "text '2' 96,60", "text '0' 112,60", "text '1' 120,60", "text 'pm' 135,60",
                      "text '12' 90,90", "text '59' 112,90"}));
  EXPECT_EQ(g_clock.editor_row_y, 75);
}

namespace {
class ClickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_clock = qrn::ClockState{};
    g_clock.wake_text = "0700";
    qrn::parse_wake_time();
    g_clock.editor_row_y = 115;
  }
  // A press at (x, y): the button up at the previous reading, down now.
  bool click(double x, double y) {
    g_clock.mouse_left = 0;
    qrn::handle_click();
    g_clock.mouse_x = x;
    g_clock.mouse_y = y;
    g_clock.mouse_left = 1;
    return qrn::handle_click();
  }
  qrn::FakePlatformScope fake;
};
}  // namespace

TEST_F(ClickTest, MenuItemsByBand) {
  struct Case {
    double y;
    int editor, test_mode, hands, about;
  } cases[] = {{25, 1, 0, 1, 0},  {55, 1, 0, 1, 0},  {79, 1, 0, 1, 0}, {80, 0, 1, 1, 0},
               {109, 0, 1, 1, 0}, {110, 0, 0, 0, 0}, {134, 0, 0, 0, 0}, {135, 0, 0, 1, 1},
               {159, 0, 0, 1, 1}, {160, 0, 0, 1, 0}};
  for (const Case& c : cases) {
    SetUp();
    fake->sleeps.clear();
    click(100, 10);  // opens the menu
    ASSERT_EQ(g_clock.menu_open, 1);
    click(100, c.y);
    SCOPED_TRACE(c.y);
    EXPECT_EQ(g_clock.menu_open, 0);
    EXPECT_EQ(g_clock.editor_open, c.editor);
    EXPECT_EQ(g_clock.test_mode, c.test_mode);
    EXPECT_EQ(g_clock.show_hands, c.hands);
    EXPECT_EQ(g_clock.about_open, c.about);
    EXPECT_EQ(fake->sleeps, (std::vector<int32_t>{200, 200}));
  }
}

TEST_F(ClickTest, MenuStaysOpenOutsideItsWidthAndOverlaysBlockIt) {
  click(100, 100);
  click(5, 60);
  click(180, 60);
  EXPECT_EQ(g_clock.menu_open, 1);
  EXPECT_EQ(g_clock.editor_open, 0);
  click(100, 140);  // about box
  ASSERT_EQ(g_clock.about_open, 1);
  click(100, 100);  // closes the about box only
  EXPECT_EQ(g_clock.about_open, 0);
  EXPECT_EQ(g_clock.menu_open, 0);
}

TEST_F(ClickTest, AHeldButtonActsOnce) {
  click(100, 100);
  EXPECT_EQ(g_clock.menu_open, 1);
  // Still held on the next frames, now over the quit band: nothing happens.
  g_clock.mouse_y = 40;
  for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(qrn::handle_click());
  EXPECT_EQ(g_clock.menu_open, 1);
  EXPECT_EQ(fake->sleeps.size(), 1u);
}

TEST_F(ClickTest, EditorStepsFields) {
  auto step = [&](double x, double y) {
    g_clock.editor_open = 1;
    EXPECT_FALSE(click(x, y));
  };
  g_clock.wake_hour12 = 11;
  g_clock.wake_minute = 59;
  g_clock.wake_ampm = "am";
  step(115, 100);  // minute up: 12:00, still am
  EXPECT_EQ(g_clock.wake_hour12, 12);
  EXPECT_EQ(g_clock.wake_minute, 0);
  EXPECT_STREQ(g_clock.wake_ampm.data, "am");
  step(100, 100);  // hour up: 1
  EXPECT_EQ(g_clock.wake_hour12, 1);
  step(100, 126);  // hour down: 12
  EXPECT_EQ(g_clock.wake_hour12, 12);
  step(120, 130);  // minute down from 0: 59 and hour 11
  EXPECT_EQ(g_clock.wake_minute, 59);
  EXPECT_EQ(g_clock.wake_hour12, 11);
  step(140, 100);  // am/pm toggles
  EXPECT_STREQ(g_clock.wake_ampm.data, "pm");
  step(140, 140);
  EXPECT_STREQ(g_clock.wake_ampm.data, "am");
  // Gaps between the fields and the middle row do nothing.
  for (double x : {105.0, 108.0, 110.0, 130.0, 135.0}) step(x, 100);
  for (double y : {115.0, 120.0, 125.0}) step(100, y);
  EXPECT_EQ(g_clock.wake_hour12, 11);
  EXPECT_EQ(g_clock.wake_minute, 59);
  EXPECT_STREQ(g_clock.wake_ampm.data, "am");
}

namespace {

// The face recorded while the test's canvas is set aside.
qrn::FaceRecording record_face() {
  qrn::FaceRecording face;
  qrn::ClockCanvas* test_canvas = qrn::install_clock_canvas(&face);
  qrn::draw_clock_face();
  qrn::install_clock_canvas(test_canvas);
  return face;
}

TEST_F(FaceTest, ARecordedFaceReplaysTheSameCallsAndDiffersWhenAnythingShownChanges) {
  frame(9, 30, 15);
  const std::vector<std::string> drawn = canvas.calls;
  const qrn::FaceRecording face = record_face();
  canvas.calls.clear();
  face.replay(canvas);
  EXPECT_EQ(canvas.calls, drawn);

  frame(9, 30, 15);
  EXPECT_TRUE(record_face() == face) << "the same second gives the same face";
  frame(9, 30, 16);
  EXPECT_TRUE(record_face() != face) << "the second hand moved";
  frame(9, 30, 15);
  g_clock.menu_open = 1;
  EXPECT_TRUE(record_face() != face) << "the menu opened";
  g_clock.menu_open = 0;
  g_clock.show_hands = g_clock.show_hands ? 0 : 1;
  EXPECT_TRUE(record_face() != face) << "the hands switched";
  EXPECT_TRUE(qrn::FaceRecording().empty());
}

}  // namespace
