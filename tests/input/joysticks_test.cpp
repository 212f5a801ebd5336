// Joysticks on the scripted platform: enumeration into ten slots, the axis, hat and button
// arithmetic with the screen orientation, the re-acquire of a silent controller, the legacy
// interface, and the constant-force rumble.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "input/joysticks.h"
#include "input_fixture.h"
#include "platform/joysticks.h"

namespace qrn::test {
namespace {

class JoystickTest : public InputTest {
 protected:
  FakeJoysticks::Controller& add(const std::string& name = "Pad") {
    fake->controllers.emplace_back();
    FakeJoysticks::Controller& c = fake->controllers.back();
    c.instance_name = name;
    c.product_name = name + " product";
    return c;
  }
  FakeJoysticks::Controller& pad(size_t i = 0) { return fake->controllers[i]; }
  JoystickState& state(size_t i = 0) { return pad(i).state; }
};

TEST_F(JoystickTest, EnumerationTakesControllersIntoSlotsWithTheirRangesAndNames) {
  add("Left");
  add("Broken").open_fails = true;
  FakeJoysticks::Controller& no_dead_zone = add("Stiff");
  no_dead_zone.dead_zone_fails = true;
  no_dead_zone.dead_zone_axis = JoystickAxis::y;
  add("Right");
  open();

  EXPECT_EQ(joystick_count(), 2);
  EXPECT_EQ(joystick_name(0), "Left, Left product");
  EXPECT_EQ(joystick_name(1), "Right, Right product") << "a controller not taken leaves its slot to the next";
  EXPECT_EQ(joystick_name(2), "");
  EXPECT_EQ(joystick_name(-1), "");

  EXPECT_FALSE(pad(2).open) << "the controller without a dead zone is given back";
  for (size_t i : {size_t{0}, size_t{3}}) {
    FakeJoysticks::Controller& c = pad(i);
    EXPECT_TRUE(c.acquired);
    EXPECT_EQ(c.formats, 1);
    EXPECT_EQ(c.level, JoystickCooperation::exclusive_foreground);
    EXPECT_EQ(c.window, window);
    ASSERT_EQ(c.ranges.size(), 6u);
    for (int32_t offset = 0; offset <= 20; offset += 4) {
      EXPECT_EQ(c.ranges[offset], std::make_pair(-32768, 32768)) << "axis at offset " << offset;
    }
    EXPECT_EQ(c.dead_zones.size(), 2u);
    EXPECT_EQ(c.dead_zones[0], 0);
    EXPECT_EQ(c.dead_zones[4], 0);
  }
}

TEST_F(JoystickTest, TwelveControllersGiveTenAndTheEleventhEndsTheEnumeration) {
  for (int i = 0; i < 12; ++i) add("Pad " + std::to_string(i));
  open();
  EXPECT_EQ(joystick_count(), 10);
  EXPECT_EQ(joystick_name(9), "Pad 9, Pad 9 product");
  EXPECT_EQ(joystick_name(10), "");
  EXPECT_EQ(fake->listed, 11);
  EXPECT_FALSE(pad(10).open);
  EXPECT_FALSE(pad(11).open);
}

TEST_F(JoystickTest, AFailedEnumerationLeavesNoControllers) {
  add();
  fake->enumeration_fails = true;
  open();
  EXPECT_EQ(joystick_count(), 0);
  EXPECT_EQ(joystick_name(0), "");
  EXPECT_EQ(joystick_axis_x(0), 0.0);
}

TEST_F(JoystickTest, LongNamesAreCutAt521Bytes) {
  add().product_name = std::string(519 - 3, 'p');  // "Pad, " and 516 bytes: 521 in all
  add().product_name = std::string(520 - 3, 'p');  // one more
  FakeJoysticks::Controller& c = add();
  c.instance_name = std::string(300, 'i');
  c.product_name = std::string(300, 'p');
  open();
  EXPECT_EQ(std::string(joystick_name(0).c_str()), "Pad, " + std::string(516, 'p'));
  EXPECT_EQ(std::string(joystick_name(1).c_str()), "Pad, " + std::string(516, 'p'));
  EXPECT_EQ(std::string(joystick_name(2).c_str()), std::string(300, 'i') + ", " + std::string(219, 'p'));
}

TEST_F(JoystickTest, ReleaseClosesEveryControllerAndTheJoystickSystem) {
  add();
  add();
  open();
  release_input();
  EXPECT_FALSE(pad(0).open);
  EXPECT_FALSE(pad(1).open);
  EXPECT_EQ(fake->system_closes, 1);
  EXPECT_EQ(joystick_count(), 0);
  EXPECT_EQ(joystick_axis_x(0), 0.0) << "commands after the release read nothing";
}

TEST_F(JoystickTest, ButtonsGiveTheRawByteAndNothingOutsideZeroTo31) {
  add();
  open();
  state().rgbButtons[0] = 0x80;
  state().rgbButtons[31] = 0x01;
  EXPECT_EQ(joystick_button(0, 0), 128);
  EXPECT_EQ(joystick_button(0, 31), 1);
  EXPECT_EQ(joystick_button(0, 1), 0);
  int32_t reads = pad().reads;
  EXPECT_EQ(joystick_button(0, 32), 0);
  EXPECT_EQ(joystick_button(0, -1), 0);
  EXPECT_EQ(pad().reads, reads) << "a button outside 0..31 does not read the device";
}

TEST_F(JoystickTest, AxesAreDividedBy32767InSinglePrecisionAndClamped) {
  add();
  open();
  state().lX = 32768;  // full deflection
  state().lY = -32768;
  state().lZ = 16384;
  state().lRz = -100000;
  EXPECT_EQ(joystick_axis_x(0), 1.0);
  EXPECT_EQ(joystick_axis_y(0), -1.0);
  EXPECT_EQ(joystick_axis_z(0), static_cast<double>(16384.0f / 32767.0f));
  EXPECT_NE(joystick_axis_z(0), 16384.0 / 32767.0) << "the division is done in single precision";
  EXPECT_EQ(joystick_axis_rz(0), -1.0);
  state().lRx = 32767;
  state().lRy = -1;
  EXPECT_EQ(joystick_axis_rx(0), 1.0);
  EXPECT_EQ(joystick_axis_ry(0), static_cast<double>(-1.0f / 32767.0f));
}

TEST_F(JoystickTest, AxisPairsTurnWithTheOrientationAndZAxesDoNot) {
  add();
  open();
  state().lX = 1000;
  state().lY = 2000;
  state().lRx = 3000;
  state().lRy = 4000;
  state().lZ = 500;
  state().lRz = 600;
  auto v = [](int32_t n) { return static_cast<double>(static_cast<float>(n) / 32767.0f); };
  struct Expected {
    int32_t o, x, y, rx, ry;
  };
  // A pair (a, b): 1 -> (-b, a), 2 -> (-a, -b), 3 -> (b, -a), otherwise unchanged.
  for (Expected e : {Expected{0, 1000, 2000, 3000, 4000}, Expected{1, -2000, 1000, -4000, 3000},
                     Expected{2, -1000, -2000, -3000, -4000}, Expected{3, 2000, -1000, 4000, -3000},
                     Expected{7, 1000, 2000, 3000, 4000}}) {
    g_runtime.orientation = e.o;
    EXPECT_EQ(joystick_axis_x(0), v(e.x)) << "orientation " << e.o;
    EXPECT_EQ(joystick_axis_y(0), v(e.y)) << "orientation " << e.o;
    EXPECT_EQ(joystick_axis_rx(0), v(e.rx)) << "orientation " << e.o;
    EXPECT_EQ(joystick_axis_ry(0), v(e.ry)) << "orientation " << e.o;
    EXPECT_EQ(joystick_axis_z(0), v(500));
    EXPECT_EQ(joystick_axis_rz(0), v(600));
  }
  // Turning never overflows: the most negative reading turns into the clamped positive end.
  state().lX = std::numeric_limits<int32_t>::min();
  g_runtime.orientation = 2;
  EXPECT_EQ(joystick_axis_x(0), 1.0);
}

TEST_F(JoystickTest, HatsCountOnlyTheEightExactAnglesAndTurnWithTheOrientation) {
  add();
  open();
  struct Case {
    uint32_t angle;
    int32_t x, y;
  };
  for (Case c : {Case{0, 0, -1}, Case{4500, 1, -1}, Case{9000, 1, 0}, Case{13500, 1, 1}, Case{18000, 0, 1},
                 Case{22500, -1, 1}, Case{27000, -1, 0}, Case{31500, -1, -1}, Case{4000, 0, 0},
                 Case{36000, 0, 0}, Case{0xFFFF, 0, 0}, Case{JOYSTICK_HAT_CENTRED, 0, 0}}) {
    state().rgdwPOV[0] = c.angle;
    EXPECT_EQ(joystick_hat_x(0), c.x) << "angle " << c.angle;
    EXPECT_EQ(joystick_hat_y(0), c.y) << "angle " << c.angle;
  }
  state().rgdwPOV[0] = JOYSTICK_HAT_CENTRED;
  state().rgdwPOV[1] = 0;
  EXPECT_EQ(joystick_hat_y(0), 0) << "only the first hat is read";

  state().rgdwPOV[0] = 4500;  // north-east
  g_runtime.orientation = 2;
  EXPECT_EQ(joystick_hat_x(0), -1);
  EXPECT_EQ(joystick_hat_y(0), 1);
  g_runtime.orientation = 1;  // (1, -1) -> (1, 1)
  EXPECT_EQ(joystick_hat_x(0), 1);
  EXPECT_EQ(joystick_hat_y(0), 1);
  g_runtime.orientation = 3;  // (1, -1) -> (-1, -1)
  EXPECT_EQ(joystick_hat_x(0), -1);
  EXPECT_EQ(joystick_hat_y(0), -1);
}

TEST_F(JoystickTest, ReadJoystickCutsBy30000WithoutTurning) {
  add();
  open();
  g_runtime.orientation = 2;
  struct Case {
    int32_t axis, expected;
  };
  for (Case c : {Case{29999, 0}, Case{30000, 1}, Case{-30000, -1}, Case{-29999, 0}, Case{32768, 1}}) {
    state().lX = c.axis;
    state().lY = -c.axis;
    int32_t x = 9, y = 9, b1 = 9, b2 = 9;
    read_joystick(x, y, b1, b2);
    EXPECT_EQ(x, c.expected) << c.axis;
    EXPECT_EQ(y, -c.expected) << c.axis;
  }
  state().rgbButtons[0] = 0x80;
  state().rgbButtons[1] = 0x7F;
  double x = 9, y = 9, b1 = 9, b2 = 9;
  read_joystick(x, y, b1, b2);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, -1.0);
  EXPECT_EQ(b1, 128.0);
  EXPECT_EQ(b2, 127.0);
}

TEST_F(JoystickTest, ASilentControllerReadsCentredUntilItCanBeAcquiredAgain) {
  add();
  open();
  state().lX = 32768;
  state().rgbButtons[2] = 0x80;
  state().rgdwPOV[0] = 9000;
  EXPECT_EQ(joystick_axis_x(0), 1.0);

  pad().lost = true;
  pad().acquire_fails = true;
  int32_t formats = pad().formats, cooperations = pad().cooperations;
  EXPECT_EQ(joystick_axis_x(0), 0.0);
  EXPECT_EQ(joystick_button(0, 2), 0);
  EXPECT_EQ(joystick_hat_x(0), 0);
  EXPECT_EQ(joystick_hat_y(0), 0) << "a state that could not be read has its hat centred, not north";
  EXPECT_GT(pad().formats, formats) << "each failed poll sets the format again";
  EXPECT_GT(pad().cooperations, cooperations);
  EXPECT_EQ(pad().window, window);

  pad().acquire_fails = false;  // it answers again: the next read re-acquires it
  EXPECT_EQ(joystick_axis_x(0), 1.0);
  EXPECT_EQ(joystick_button(0, 2), 128);
  EXPECT_EQ(joystick_hat_x(0), 1);
}

TEST_F(JoystickTest, IndicesWithoutAControllerReadTheLegacyInterfaceForZeroAndOneOnly) {
  open();  // no controllers
  EXPECT_EQ(joystick_axis_x(0), 0.0);
  EXPECT_EQ(joystick_hat_y(0), 0);
  EXPECT_EQ(joystick_button(1, 0), 0);

  LegacyJoystickPosition p;
  p.x = 65535;
  p.y = 0;
  p.z = 32768;
  p.buttons = 0x1FF;  // buttons 0..8; only 0..7 are taken
  p.pov = 27000;
  fake->legacy_positions[0] = p;
  fake->legacy_positions[1] = p;
  fake->legacy_positions[2] = p;
  JoystickState s = read_joystick_raw(0);
  EXPECT_EQ(s.lX, 32767);
  EXPECT_EQ(s.lY, -32768);
  EXPECT_EQ(s.lZ, 0);
  for (int32_t b = 0; b < 8; ++b) EXPECT_EQ(s.rgbButtons[b], 1 << b) << "button " << b;
  EXPECT_EQ(s.rgbButtons[8], 0);
  EXPECT_EQ(s.lRx, 0);
  EXPECT_EQ(joystick_hat_x(1), -1);
  EXPECT_EQ(joystick_axis_z(1), 0.0);

  int32_t reads = fake->legacy_reads;
  EXPECT_EQ(joystick_axis_x(2), 0.0);
  EXPECT_EQ(joystick_axis_x(10), 0.0);
  EXPECT_EQ(joystick_axis_x(-1), 0.0);
  EXPECT_EQ(fake->legacy_reads, reads) << "only indices 0 and 1 reach the legacy interface";

  fake->legacy_positions[0].pov = LEGACY_POV_CENTRED;
  EXPECT_EQ(joystick_hat_y(0), 0);
  fake->legacy_positions.erase(0);  // the read fails
  EXPECT_EQ(read_joystick_raw(0).lY, 0);
  EXPECT_EQ(joystick_hat_y(0), 0);
}

TEST_F(JoystickTest, WithoutAnInputSystemTheLegacyInterfaceNamesUpToTen) {
  fake->input_system = false;
  add();  // not seen: there is no enumeration of controllers
  fake->legacy_count = 16;
  fake->legacy_names[0] = "Stick";
  fake->legacy_names[9] = "Wheel";
  open();
  EXPECT_EQ(joystick_count(), 10);
  EXPECT_EQ(joystick_name(0), "Stick");
  EXPECT_EQ(joystick_name(1), "") << "a failed name query gives the empty text";
  EXPECT_EQ(joystick_name(9), "Wheel");
  EXPECT_FALSE(pad().open);

  fake->legacy_positions[0].x = 65535;
  fake->legacy_positions[0].y = 32768;
  EXPECT_EQ(joystick_axis_x(0), 1.0);
  EXPECT_EQ(joystick_axis_y(0), 0.0);
}

TEST_F(JoystickTest, RumblePlaysOneConstantForceWithTheMagnitudeDirectionAndDuration) {
  add().force_feedback = true;
  open();
  joystick_rumble(0, 250.0, 1.0, 1.0);
  joystick_rumble(0, 1000.5, 1.0, 0.0);
  joystick_rumble(0, 10.0, 0.5, -0.25);
  ASSERT_EQ(pad().started.size(), 3u);
  EXPECT_EQ(pad().resets, 3) << "every rumble resets the force feedback first";

  const ConstantForceEffect& both = pad().started[0].first;
  EXPECT_EQ(both.magnitude, 10000);
  EXPECT_EQ(both.direction_x, 32767);
  EXPECT_EQ(both.direction_y, 32767);
  EXPECT_EQ(both.duration_us, 250000u);
  EXPECT_EQ(both.gain, 10000u);
  EXPECT_EQ(both.trigger_button, EFFECT_NO_TRIGGER);
  EXPECT_EQ(both.start_delay_us, 0u);
  EXPECT_EQ(both.sample_period_us, 0u);
  EXPECT_EQ(pad().started[0].second, 1u) << "one iteration";

  const ConstantForceEffect& x_only = pad().started[1].first;
  EXPECT_EQ(x_only.magnitude, 5000);
  EXPECT_EQ(x_only.direction_x, 32767);
  EXPECT_EQ(x_only.direction_y, 0);
  EXPECT_EQ(x_only.duration_us, 1000500u);

  const ConstantForceEffect& mixed = pad().started[2].first;
  EXPECT_EQ(mixed.magnitude, 1562) << "(0.25 + 0.0625) * 10000 * 0.5, cut";
  EXPECT_EQ(mixed.direction_x, 16383);
  EXPECT_EQ(mixed.direction_y, -8191);
}

TEST_F(JoystickTest, RumbleClampsItsArgumentsAndKeepsBadNumbersHarmless) {
  add().force_feedback = true;
  open();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  joystick_rumble(0, 100.0, 3.0, -2.0);
  joystick_rumble(0, -5.0, nan, 1.0);
  joystick_rumble(0, inf, 0.0, 0.0);
  joystick_rumble(0, nan, 1.0, 0.0);
  joystick_rumble(0, 5e6, 0.0, 1.0);  // longer than 32 bits of microseconds hold
  joystick_rumble(0, 4294967.0, 0.0, 1.0);  // just within them
  ASSERT_EQ(pad().started.size(), 6u);
  EXPECT_EQ(pad().started[0].first.magnitude, 10000);
  EXPECT_EQ(pad().started[0].first.direction_x, 32767);
  EXPECT_EQ(pad().started[0].first.direction_y, -32767);
  EXPECT_EQ(pad().started[1].first.magnitude, 5000) << "a strength that is not a number is 0";
  EXPECT_EQ(pad().started[1].first.direction_x, 0);
  EXPECT_EQ(pad().started[1].first.duration_us, 0u) << "a negative duration is 0";
  EXPECT_EQ(pad().started[2].first.duration_us, EFFECT_INFINITE);
  EXPECT_EQ(pad().started[2].first.magnitude, 0);
  EXPECT_EQ(pad().started[3].first.duration_us, 0u);
  EXPECT_EQ(pad().started[4].first.duration_us, EFFECT_INFINITE);
  EXPECT_EQ(pad().started[5].first.duration_us, 4294967000u);
}

TEST_F(JoystickTest, RumbleDoesNothingWithoutAForceFeedbackController) {
  add();                    // no force feedback
  add().force_feedback = true;
  pad(1).effect_fails = true;
  open();
  int32_t acquires = pad(0).acquires;
  joystick_rumble(0, 100.0, 1.0, 1.0);
  EXPECT_EQ(pad(0).acquires, acquires + 1) << "the controller is acquired before its capabilities are read";
  EXPECT_EQ(pad(0).resets, 0);
  EXPECT_TRUE(pad(0).effects.empty());

  joystick_rumble(1, 100.0, 1.0, 1.0);  // the effect cannot be made: nothing is started
  EXPECT_EQ(pad(1).resets, 1);
  EXPECT_TRUE(pad(1).started.empty());

  joystick_rumble(2, 100.0, 1.0, 1.0);  // no controller in the slot
  joystick_rumble(-1, 100.0, 1.0, 1.0);
  joystick_rumble(10, 100.0, 1.0, 1.0);
  EXPECT_EQ(g_runtime.error_code, 0) << "no error is reported";
  EXPECT_EQ(fake->stdout_text, "");
}

TEST_F(JoystickTest, ActivityIsAButtonAnAxisBeyondATenthOrAPushedHat) {
  add();
  add();
  open();
  EXPECT_FALSE(any_joystick_active());
  state(1).lX = 3276;  // a tenth of full scale is 3276.7
  state(1).lY = -3276;
  state(1).lRz = 32768;  // the rotations do not count
  state(1).rgdwPOV[1] = 0;  // nor the other hats
  EXPECT_FALSE(any_joystick_active());
  state(1).lZ = -3277;
  EXPECT_TRUE(any_joystick_active());
  state(1).lZ = 0;
  state(1).rgbButtons[31] = 1;
  EXPECT_TRUE(any_joystick_active());
  state(1).rgbButtons[31] = 0;
  state(1).rgdwPOV[0] = 4000;  // any direction, not only the eight exact ones
  EXPECT_TRUE(any_joystick_active());
  state(1).rgdwPOV[0] = 0x1234FFFF;  // 0xFFFF in the low word is centred
  EXPECT_FALSE(any_joystick_active());
}

}  // namespace
}  // namespace qrn::test
