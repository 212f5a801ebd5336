// The waiting step ends on joystick activity, and a debugger break lets go of the mouse.
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/joysticks.h"

namespace qrn::test {
namespace {

class InputWaitTest : public HostTest {
 protected:
  void open_devices(int32_t exclusive_mouse = 0, int32_t controllers = 1) {
    make_device(320, 240);
    fake->focus_window = g_runtime.window_handle;
    for (int32_t i = 0; i < controllers; ++i) fake->controllers.emplace_back();
    g_runtime.input = create_input();
    open_input_devices(g_runtime.window_handle, nullptr, exclusive_mouse);
    fake->sleeps.clear();
  }
  JoystickState& stick(size_t i = 0) { return fake->controllers[i].state; }
};

TEST_F(InputWaitTest, IdleStepReturnsAtOnceOnJoystickActivityAndOtherwiseTriesFifteenTimes) {
  open_devices(0, 2);
  idle_wait_step();
  EXPECT_EQ(fake->sleeps, std::vector<int32_t>(15, 5)) << "nothing happened: fifteen tries 5 ms apart";

  stick(1).lX = 3000;  // under a tenth of full scale
  fake->sleeps.clear();
  idle_wait_step();
  EXPECT_EQ(fake->sleeps.size(), 15u);

  for (auto touch : {+[](JoystickState& s) { s.lY = -4000; }, +[](JoystickState& s) { s.lZ = 4000; },
                     +[](JoystickState& s) { s.rgbButtons[5] = 0x80; }, +[](JoystickState& s) { s.rgdwPOV[0] = 18000; }}) {
    stick(1) = JoystickState();
    touch(stick(1));
    fake->sleeps.clear();
    idle_wait_step();
    EXPECT_TRUE(fake->sleeps.empty()) << "a deflected axis, a pressed button or a pushed hat ends the wait";
  }
}

TEST_F(InputWaitTest, DebugBreakLetsGoOfTheMouseReportsAndWakesTheProgram) {
  open_devices(1);
  ASSERT_TRUE(fake->mouse_acquired);
  debug_break(0x2A);  // no debugger: nothing happens
  EXPECT_TRUE(fake->mouse_acquired);
  EXPECT_EQ(fake->debugger_text, "");

  fake->debugger = true;
  fake->focus_window = nullptr;  // the debugger has the focus, so the mouse cannot come back
  g_runtime.paused = 1;
  debug_break(0x2A);
  EXPECT_FALSE(fake->mouse_acquired);
  EXPECT_EQ(fake->debugger_text, "BP2a");
  EXPECT_EQ(g_runtime.paused, 0);
  EXPECT_EQ(g_runtime.activation_requested, 1);

  fake->focus_window = g_runtime.window_handle;  // back in the program: the next poll takes it again
  poll_input_frame();
  EXPECT_TRUE(fake->mouse_acquired);
}

}  // namespace
}  // namespace qrn::test
