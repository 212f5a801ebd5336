// The real backend on a virtual X display: clicks, keys and typed text made with xdotool reach
// read_mouse, key_down and the typed-character queue.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "display_fixture.h"

namespace qrn::test {
namespace {

TEST_F(InputOnDisplay, AClickBetweenTwoReadsReachesReadMouse) {
  int32_t sx = 0, sy = 0;
  client_to_screen(40, 30, sx, sy);
  ASSERT_TRUE(run("xdotool mousemove " + std::to_string(sx) + " " + std::to_string(sy)));
  int32_t x = 0, y = 0, b1 = 0, b2 = 0;
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 30);
  EXPECT_EQ(b1, 0);

  // Pressed and released before the next read: still seen once.
  ASSERT_TRUE(run("xdotool click 1"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b1, 1);
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b1, 0);

  ASSERT_TRUE(run("xdotool mousedown 3"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b2, 1);
  ASSERT_TRUE(run("xdotool mouseup 3"));
  read_mouse(x, y, b1, b2);  // the press since the last read
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b2, 0);

  ASSERT_TRUE(run("xdotool mousemove 0 0"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(InputOnDisplay, ExclusiveMouseHidesThePointerAndReadsRelativeMotion) {
  release_input();
  g_runtime.input = create_input();
  ASSERT_EQ(open_input_devices(window, nullptr, 1), INPUT_OPEN_OK);
  set_pointer_mode(0);
  set_mouse_position(50, 50);
  settle();
  int32_t x = 0, y = 0, b1 = 0, b2 = 0;
  read_mouse(x, y, b1, b2);  // motion is measured from here
  ASSERT_TRUE(run("xdotool mousemove_relative -- 5 7"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(read_mouse_axis(0), 5);
  EXPECT_EQ(read_mouse_axis(1), 7);
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 55);
  EXPECT_EQ(y, 57);
  ASSERT_TRUE(run("xdotool mousemove_relative -- -400 -400"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(InputOnDisplay, HeldAndTappedKeysReachKeyDown) {
  ASSERT_TRUE(run("xdotool keydown Escape"));
  poll_input_frame();
  EXPECT_EQ(key_down(1), 1);
  ASSERT_TRUE(run("xdotool keyup Escape"));
  poll_input_frame();  // the press since the previous refresh
  poll_input_frame();
  EXPECT_EQ(key_down(1), 0);

  ASSERT_TRUE(run("xdotool key KP_Enter"));  // down and up between two frames
  poll_input_frame();
  EXPECT_EQ(key_down(156), 1);
  EXPECT_EQ(key_down(28), 0);

  ASSERT_TRUE(run("xdotool keydown alt+F4"));
  poll_input_frame();
  EXPECT_EQ(key_down(56) && key_down(62), 1);
  ASSERT_TRUE(run("xdotool keyup alt+F4"));
}

TEST_F(InputOnDisplay, TypedTextReachesTheQueue) {
  ASSERT_TRUE(run("xdotool type --delay 5 'Hi 42'"));
  settle();
  std::string typed;
  for (RtString c = take_typed_char(); !c.empty(); c = take_typed_char()) typed += c.c_str();
  EXPECT_EQ(typed, "Hi 42");
}

// Enter, Backspace and Tab make characters as well, so line entry can be finished and edited
// (Escape makes one too, which the queue drops).
TEST_F(InputOnDisplay, EnterBackspaceAndTabAreTypedCharacters) {
  ASSERT_TRUE(run("xdotool type --delay 5 'ab' && xdotool key --delay 5 BackSpace Tab Escape Return KP_Enter"));
  settle();
  std::string typed;
  for (int8_t c = pop_typed_char(); c != 0; c = pop_typed_char()) typed += static_cast<char>(c);
  EXPECT_EQ(typed, "ab\b\t\n\n");  // a carriage return is queued as a line feed
}

}  // namespace
}  // namespace qrn::test
