// Mouse and pointer state on the scripted platform: the three reading paths, clamping,
// orientation, the logical screen, per-frame motion and the touch slots.
#include <gtest/gtest.h>

#include "input_fixture.h"

namespace qrn::test {
namespace {

struct MouseRead {
  int32_t x = -1, y = -1, b1 = -1, b2 = -1;
};

MouseRead mouse() {
  MouseRead r;
  read_mouse(r.x, r.y, r.b1, r.b2);
  return r;
}

using PointerTest = InputTest;

TEST_F(PointerTest, ShownPointerReadsClientPixelsClampedToTheWindowEdges) {
  cursor_at(30, 40);
  EXPECT_EQ(open(), INPUT_OPEN_OK);
  EXPECT_EQ(input().system_pointer, 1);
  EXPECT_EQ(fake->cursor_shown, 1);
  fake->cursor_moves.clear();
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(r.y, 40);

  fake->cursor_x = fake->cursor_y = 0;  // left of and above the window
  r = mouse();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  fake->cursor_x = fake->cursor_y = 5000;  // right of and below: the size, not size - 1
  r = mouse();
  EXPECT_EQ(r.x, kWidth);
  EXPECT_EQ(r.y, kHeight);
  EXPECT_TRUE(fake->cursor_moves.empty()) << "a shown pointer is never moved by reading";
}

TEST_F(PointerTest, ButtonsIncludeAClickThatEndedBetweenTwoReads) {
  open();
  fake->buttons = 1;
  MouseRead r = mouse();
  EXPECT_EQ(r.b1, 1);
  EXPECT_EQ(r.b2, 0);
  fake->buttons = 0;
  fake->clicks = 2;  // the right button went down and up again since the last read
  r = mouse();
  EXPECT_EQ(r.b1, 0);
  EXPECT_EQ(r.b2, 1);
  EXPECT_EQ(mouse().b2, 0);
  fake->buttons = 4;
  EXPECT_TRUE(any_mouse_button());
  EXPECT_EQ(read_mouse_axis(5), 1);
}

// The frame's poll in show_screen also asks the platform, which reports a press that came
// and went only once: the program's next read must still see that click, and only once.
TEST_F(PointerTest, AClickThatOnlyTheFramePollSawReachesTheNextRead) {
  open();
  fake->clicks = 1;
  poll_input_frame();
  EXPECT_EQ(fake->clicks, 0u);
  EXPECT_EQ(read_mouse_axis(3), 1);
  EXPECT_EQ(mouse().b1, 1);
  EXPECT_EQ(mouse().b1, 0);
  EXPECT_EQ(read_mouse_axis(3), 0);

  fake->clicks = 1;
  poll_input_frame();
  poll_input_frame();  // a later frame's poll saw nothing: the click is a frame old
  EXPECT_EQ(mouse().b1, 0);
}

TEST_F(PointerTest, HiddenPointerAccumulatesMotionFromTheParkedCursorAndStaysInTheWindow) {
  cursor_at(50, 60);
  open();
  set_pointer_mode(0);
  EXPECT_EQ(fake->cursor_shown, 0);
  EXPECT_EQ(input().system_pointer, 0);

  fake->cursor_x = 215;  // 15 right of and 5 above the parking point
  fake->cursor_y = 195;
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 65);
  EXPECT_EQ(r.y, 55);
  EXPECT_EQ(fake->cursor_x, 200);
  EXPECT_EQ(fake->cursor_y, 200);

  fake->cursor_x = 200 + 1000;
  fake->cursor_y = 200 - 1000;
  r = mouse();
  EXPECT_EQ(r.x, kWidth);
  EXPECT_EQ(r.y, 0);

  // Showing the pointer again puts the cursor where the hidden position was.
  set_pointer_mode(1);
  EXPECT_EQ(fake->cursor_x, kLeft + kWidth);
  EXPECT_EQ(fake->cursor_y, kTop + 0);
  EXPECT_EQ(fake->cursor_shown, 1);
}

TEST_F(PointerTest, HiddenMotionIsClampedToTheOuterSizeOfADecoratedWindow) {
  fake->set_window_decorated(window, true);  // 2-pixel border, 20-pixel caption
  open();
  set_pointer_mode(0);
  fake->cursor_x = fake->cursor_y = 200 + 5000;
  int32_t x = 0, y = 0, wheel = 0;
  read_pointer_raw(x, y, wheel);
  EXPECT_EQ(x, kWidth + 4);
  EXPECT_EQ(y, kHeight + 22);
}

TEST_F(PointerTest, OrientationTurnsTheWindowPointIntoProgramCoordinates) {
  open();
  cursor_at(10, 20);
  g_runtime.orientation = 1;
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 20);
  EXPECT_EQ(r.y, 309);
  g_runtime.orientation = 2;
  r = mouse();
  EXPECT_EQ(r.x, 309);
  EXPECT_EQ(r.y, 219);
  g_runtime.orientation = 3;
  r = mouse();
  EXPECT_EQ(r.x, 219);
  EXPECT_EQ(r.y, 10);
  // The window's far corner, turned a quarter: the turn of (width, height) is (height, -1),
  // which clamps to the edge.
  g_runtime.orientation = 1;
  fake->cursor_x = fake->cursor_y = 5000;
  r = mouse();
  EXPECT_EQ(r.x, kHeight);
  EXPECT_EQ(r.y, 0);
}

TEST_F(PointerTest, LogicalScreenScalesBackUnlessAnOffscreenTargetIsInUse) {
  open();
  g_runtime.virtual_scale = 2.0f;
  cursor_at(101, 50);
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 50);
  EXPECT_EQ(r.y, 25);

  // The border around a centred logical screen reads outside it, unclamped.
  g_runtime.virtual_offset_x = 60;
  g_runtime.virtual_offset_y = 20;
  cursor_at(49, 10);
  r = mouse();
  EXPECT_EQ(r.x, -5);  // -11 / 2, truncated toward zero
  EXPECT_EQ(r.y, -5);

  g_runtime.current_offscreen = 0;
  r = mouse();
  EXPECT_EQ(r.x, 49);
  EXPECT_EQ(r.y, 10);
  g_runtime.current_offscreen = -1;
}

TEST_F(PointerTest, ExclusiveMouseReadsRelativeMotionAndMouseAxisKinds) {
  EXPECT_EQ(open(1), INPUT_OPEN_OK);
  EXPECT_TRUE(fake->mouse_acquired);
  EXPECT_EQ(fake->mouse_level, MouseCooperation::exclusive);
  set_pointer_mode(0);
  set_mouse_position(100, 100);

  fake->mouse_motion.dx = 5;
  fake->mouse_motion.dy = -3;
  fake->mouse_motion.wheel = 360;  // three notches in one poll count as one step
  fake->mouse_motion.buttons[2] = 0x80;
  EXPECT_EQ(read_mouse_axis(0), 5);
  EXPECT_EQ(read_mouse_axis(1), -3);  // motion is kept until a resetting poll
  EXPECT_EQ(read_mouse_axis(2), 1);
  EXPECT_EQ(read_mouse_axis(5), 0);  // this poll read no button
  EXPECT_EQ(read_mouse_axis(6), 0);
  EXPECT_EQ(read_mouse_axis(-1), 0);

  g_runtime.orientation = 1;
  EXPECT_EQ(read_mouse_axis(0), -3);
  EXPECT_EQ(read_mouse_axis(1), -5);
  g_runtime.orientation = 3;
  EXPECT_EQ(read_mouse_axis(0), 3);
  EXPECT_EQ(read_mouse_axis(1), 5);
  g_runtime.orientation = 0;

  MouseRead r = mouse();  // resets: motion is measured from here
  EXPECT_EQ(r.x, 105);
  EXPECT_EQ(r.y, 97);
  EXPECT_EQ(read_mouse_axis(0), 0);
  EXPECT_EQ(read_mouse_axis(2), 0);

  // Showing the pointer makes the device shared and positions absolute again.
  set_pointer_mode(1);
  EXPECT_EQ(fake->mouse_level, MouseCooperation::shared);
  cursor_at(7, 8);
  r = mouse();
  EXPECT_EQ(r.x, 7);
  EXPECT_EQ(r.y, 8);
}

TEST_F(PointerTest, LostMouseDeviceIsReacquiredAndReportsNothingMeanwhile) {
  fake->focus_window = nullptr;  // not in the foreground: acquiring fails at start
  EXPECT_EQ(open(1), INPUT_NO_MOUSE);
  EXPECT_NE(log().find("can't aquire mouse - first try\nNo DX_Mouse\n"), std::string::npos);
  ASSERT_NE(input().mouse_device, nullptr) << "the device is kept and retried";
  set_mouse_position(40, 30);

  fake->mouse_motion.dx = 50;
  fake->mouse_motion.buttons[0] = 0x80;
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 40);
  EXPECT_EQ(r.y, 30);
  EXPECT_EQ(r.b1, 0);

  fake->focus_window = window;
  r = mouse();
  EXPECT_EQ(r.x, 90);
  EXPECT_EQ(r.b1, 1);
}

TEST_F(PointerTest, WithoutAnInputSystemTheCursorIsReadAndTheLogSaysSo) {
  fake->input_system = false;
  cursor_at(12, 34);
  EXPECT_EQ(open(1), INPUT_NO_SYSTEM);
  EXPECT_NE(log().find("No DX_Input\n"), std::string::npos);
  EXPECT_EQ(input().mouse_device, nullptr);
  set_pointer_mode(1);
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 12);
  EXPECT_EQ(r.y, 34);
}

TEST_F(PointerTest, SetMousePositionLastsOnlyWhileThePointerIsHidden) {
  cursor_at(5, 6);
  open();
  set_mouse_position(70, 80);
  MouseRead r = mouse();
  EXPECT_EQ(r.x, 5);
  EXPECT_EQ(r.y, 6);

  set_pointer_mode(0);
  fake->cursor_x = fake->cursor_y = 200;  // no motion
  g_runtime.orientation = 1;
  set_mouse_position(20, 309);  // program point of the window pixel (10, 20)
  EXPECT_EQ(input().pointers.data[0].x, 10);
  EXPECT_EQ(input().pointers.data[0].y, 20);
  r = mouse();
  EXPECT_EQ(r.x, 20);
  EXPECT_EQ(r.y, 309);
}

TEST_F(PointerTest, PointerModeIsChosenOnceAndLogged) {
  fake->os_major = 10;
  fake->os_minor = 0;
  EXPECT_EQ(pointer_count(), 1);
  fake->pointer_messages = true;
  EXPECT_EQ(pointer_count(), 1) << "the mode never changes once chosen";
  std::string text = log();
  EXPECT_EQ(text.find("Win: 10, 0\n"), text.rfind("Win: 10, 0\n"));
  EXPECT_NE(text.find("Win: 10, 0\n"), std::string::npos);
  select_pointer(3);
  EXPECT_EQ(input().current_pointer, 0);
}

class TouchTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    fake->pointer_messages = true;
    open();
  }
  // A pointer message for id at a client point.
  void message(int32_t kind, int32_t id, int32_t x, int32_t y) {
    fake->pointer_locations[id] = {kLeft + x, kTop + y};
    handle_pointer_message(kind, static_cast<uint32_t>(id) | 0xABCD0000u);
  }
  const TouchSlot& slot(int32_t i) { return g_runtime.touch_slots[i]; }
};

TEST_F(TouchTest, ThirtyTwoPointersWithOnlyTheFirstButton) {
  EXPECT_EQ(pointer_count(), TOUCH_SLOT_COUNT);
  select_pointer(40);
  EXPECT_EQ(input().current_pointer, 0);
  select_pointer(5);
  EXPECT_EQ(input().current_pointer, 5);
  EXPECT_EQ(input().pointers.count, TOUCH_SLOT_COUNT);
  EXPECT_EQ(input().pointers.capacity, 33);  // growth step 1: needed + 1
  MouseRead r = mouse();  // a slot never touched
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.b1, 0);

  select_pointer(0);
  fake->buttons = 7;
  message(WM_POINTERDOWN, 7, 30, 40);
  r = mouse();
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(r.y, 40);
  EXPECT_EQ(r.b1, 1);
  EXPECT_EQ(r.b2, 0);
  EXPECT_EQ(read_mouse_axis(2), 0);
}

TEST_F(TouchTest, AFingerHoldsOneSlotFromDownToUp) {
  message(WM_POINTERUPDATE, 1, 3, 4);  // a hovering mouse shows in the first free slot
  EXPECT_EQ(slot(0).x, 3);
  EXPECT_EQ(slot(0).pointer_id, 0);

  message(WM_POINTERDOWN, 7, 30, 40);
  message(WM_POINTERDOWN, 9, 60, 70);
  message(WM_POINTERUPDATE, 7, 31, 41);
  EXPECT_EQ(slot(0).pointer_id, 7);
  EXPECT_EQ(slot(0).x, 31);
  EXPECT_EQ(slot(1).pointer_id, 9);
  EXPECT_EQ(slot(1).down, 1);

  message(WM_POINTERUP, 7, 32, 42);
  EXPECT_EQ(slot(0).pointer_id, 0);
  EXPECT_EQ(slot(0).down, 0);
  EXPECT_EQ(slot(0).x, 32) << "a freed slot keeps its last position";
  message(WM_POINTERUPDATE, 1, 5, 6);
  EXPECT_EQ(slot(0).x, 5);
  EXPECT_EQ(slot(1).x, 60);
}

TEST_F(TouchTest, MessagesWithoutAnIdALocationOrAFreeSlotChangeNothing) {
  message(WM_POINTERDOWN, 0, 30, 40);
  handle_pointer_message(WM_POINTERDOWN, 77);  // the platform does not know id 77
  EXPECT_EQ(slot(0).down, 0);
  GetPointerTouchInfoFn saved = g_runtime.get_pointer_touch_info;
  g_runtime.get_pointer_touch_info = nullptr;
  message(WM_POINTERDOWN, 5, 1, 1);
  g_runtime.get_pointer_touch_info = saved;
  EXPECT_EQ(slot(0).down, 0);

  for (int32_t id = 100; id < 100 + TOUCH_SLOT_COUNT; ++id) message(WM_POINTERDOWN, id, id, 0);
  message(WM_POINTERDOWN, 500, 1, 1);  // a 33rd finger finds no slot
  for (int32_t i = 0; i < TOUCH_SLOT_COUNT; ++i) EXPECT_EQ(slot(i).pointer_id, 100 + i);
}

TEST(PointerWithoutInput, CommandsAnswerNeutrallyBeforeStartUp) {
  FakePlatformScope fake;
  ASSERT_EQ(g_runtime.input, nullptr);
  int32_t x = 9, y = 9, b1 = 9, b2 = 9;
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x + y + b1 + b2, 0);
  EXPECT_EQ(read_mouse_axis(0), 0);
  EXPECT_FALSE(any_mouse_button());
  set_mouse_position(1, 2);
  select_pointer(3);
  set_pointer_mode(1);
  poll_input_frame();
  EXPECT_EQ(key_down(1), 0);
  push_typed_char('a');
  EXPECT_EQ(pop_typed_char(), 0);
  release_input();
}

}  // namespace
}  // namespace qrn::test
