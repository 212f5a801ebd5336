// Joysticks on the real backend, with SDL's virtual joysticks attached before the input
// devices open: counted and named, axes, buttons and the hat read back through the commands,
// rumble shared between the two motors (or ignored by a controller without it), and a
// controller that goes away and comes back.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "display_fixture.h"
#include "input/joysticks.h"
#include "platform/joysticks.h"
#include "platform/video.h"

namespace qrn::test {
namespace {

std::vector<std::pair<Uint16, Uint16>> g_rumbles;  // what the rumbling controller was asked

int SDLCALL record_rumble(void*, Uint16 low, Uint16 high) {
  g_rumbles.emplace_back(low, high);
  return 0;
}

class JoysticksOnDisplay : public InputOnDisplay {
 protected:
  static constexpr const char* kPlain = "Quarnel Plain Pad";
  static constexpr const char* kRumbling = "Quarnel Rumble Pad";

  void before_open() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    joystick_started = true;
    plain_id = attach(kPlain, false);
    rumbling_id = attach(kRumbling, true);
    g_rumbles.clear();
  }

  void TearDown() override {
    InputOnDisplay::TearDown();
    if (!joystick_started) return;
    for (SDL_JoystickID id : {plain_id, rumbling_id}) {
      int index = device_index(id);
      if (index >= 0) SDL_JoystickDetachVirtual(index);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  // A virtual game controller with six axes, twelve buttons and one hat; its instance id.
  static SDL_JoystickID attach(const char* name, bool rumble) {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 12;
    desc.nhats = 1;
    desc.name = name;
    if (rumble) desc.Rumble = record_rumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    return index >= 0 ? SDL_JoystickGetDeviceInstanceID(index) : -1;
  }

  static int device_index(SDL_JoystickID id) {
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
      if (SDL_JoystickGetDeviceInstanceID(index) == id) return index;
    }
    return -1;
  }

  // The runtime's slot of a controller by its name (a machine may have real ones as well).
  static int32_t slot_of(const char* name) {
    std::string full = std::string(name) + ", " + name;
    for (int32_t slot = 0; slot < joystick_count(); ++slot) {
      if (full == joystick_name(slot).c_str()) return slot;
    }
    return -1;
  }

  // The joystick the runtime opened for an instance (SDL shares one object per device).
  static SDL_Joystick* opened(SDL_JoystickID id) { return SDL_JoystickFromInstanceID(id); }

  bool joystick_started = false;
  SDL_JoystickID plain_id = -1;
  SDL_JoystickID rumbling_id = -1;
};

TEST_F(JoysticksOnDisplay, AVirtualControllerIsCountedNamedAndReadThroughTheCommands) {
  int32_t slot = slot_of(kPlain);
  ASSERT_GE(slot, 0) << "found " << joystick_count() << " controllers";
  EXPECT_GE(slot_of(kRumbling), 0);
  EXPECT_GE(joystick_count(), 2);

  SDL_Joystick* pad = opened(plain_id);
  ASSERT_NE(pad, nullptr) << "the runtime opens the controllers it takes";
  const Sint16 axes[6] = {32767, -32768, 16384, -16384, 0, 1000};
  for (int a = 0; a < 6; ++a) SDL_JoystickSetVirtualAxis(pad, a, axes[a]);
  SDL_JoystickSetVirtualButton(pad, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad, 11, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_RIGHTUP);

  // SDL's axis n is the nth of X, Y, Z, Rx, Ry, Rz, brought to -32768..+32768.
  JoystickState s = read_joystick_raw(slot);
  EXPECT_EQ(s.lX, 32768);
  EXPECT_EQ(s.lY, -32768);
  EXPECT_EQ(s.lZ, 16385);
  EXPECT_EQ(s.lRx, -16384);
  EXPECT_EQ(s.lRy, 0);
  EXPECT_EQ(s.lRz, 1000);
  EXPECT_EQ(s.rgdwPOV[0], 4500u);
  EXPECT_EQ(s.rgdwPOV[1], JOYSTICK_HAT_CENTRED) << "a hat the controller does not have is centred";

  EXPECT_EQ(joystick_axis_x(slot), 1.0);
  EXPECT_EQ(joystick_axis_y(slot), -1.0);
  EXPECT_EQ(joystick_axis_z(slot), static_cast<double>(16385.0f / 32767.0f));
  EXPECT_EQ(joystick_axis_rx(slot), static_cast<double>(-16384.0f / 32767.0f));
  EXPECT_EQ(joystick_axis_rz(slot), static_cast<double>(1000.0f / 32767.0f));
  EXPECT_EQ(joystick_button(slot, 0), 0x80);
  EXPECT_EQ(joystick_button(slot, 11), 0x80);
  EXPECT_EQ(joystick_button(slot, 1), 0);
  EXPECT_EQ(joystick_button(slot, 12), 0) << "a button the controller does not have";
  EXPECT_EQ(joystick_hat_x(slot), 1);
  EXPECT_EQ(joystick_hat_y(slot), -1);
  if (slot == 0) {
    int32_t x = 0, y = 0, b1 = 0, b2 = 0;
    read_joystick(x, y, b1, b2);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(b1, 0x80);
    EXPECT_EQ(b2, 0);
  }

  SDL_JoystickSetVirtualButton(pad, 0, SDL_RELEASED);
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
  EXPECT_EQ(joystick_button(slot, 0), 0) << "every command reads the controller again";
  EXPECT_EQ(joystick_hat_y(slot), 0);
}

TEST_F(JoysticksOnDisplay, RumbleIsSharedBetweenTheMotorsAndIgnoredWithoutThem) {
  int32_t plain = slot_of(kPlain), rumbling = slot_of(kRumbling);
  ASSERT_GE(plain, 0);
  ASSERT_GE(rumbling, 0);

  joystick_rumble(plain, 200.0, 1.0, 1.0);
  EXPECT_TRUE(g_rumbles.empty());
  EXPECT_EQ(g_runtime.error_code, 0);

  struct Case {
    double x, y;
    Uint16 low, high;
  };
  // Magnitude (x^2 + y^2) * 5000 panned by the direction: the left (low-frequency) motor
  // for x < 0, the right (high-frequency) one for x > 0, both for straight up or down.
  // SDL passes a change of the motors on only: each case ends with the motors as asked.
  for (Case c : {Case{1.0, 0.0, 0, 32768}, Case{-1.0, 0.0, 32768, 0}, Case{0.0, 1.0, 32768, 32768},
                 Case{1.0, 1.0, 19195, 65535}, Case{0.0, 0.0, 0, 0}}) {
    g_rumbles.clear();
    joystick_rumble(rumbling, 5000.0, c.x, c.y);
    ASSERT_FALSE(g_rumbles.empty());
    EXPECT_EQ(g_rumbles.back(), std::make_pair(c.low, c.high)) << "x " << c.x << " y " << c.y;
    if (c.x < 0) {  // after a rumble, the reset stops the motors before the new effect
      ASSERT_EQ(g_rumbles.size(), 2u);
      EXPECT_EQ(g_rumbles[0], std::make_pair(Uint16{0}, Uint16{0}));
    }
  }
}

TEST_F(JoysticksOnDisplay, AControllerThatGoesAwayReadsCentredAndIsOpenedAgainWhenBack) {
  int32_t slot = slot_of(kPlain);
  ASSERT_GE(slot, 0);
  SDL_JoystickSetVirtualAxis(opened(plain_id), 0, 32767);
  SDL_JoystickSetVirtualHat(opened(plain_id), 0, SDL_HAT_LEFT);
  EXPECT_EQ(joystick_axis_x(slot), 1.0);

  ASSERT_EQ(SDL_JoystickDetachVirtual(device_index(plain_id)), 0);
  EXPECT_EQ(joystick_axis_x(slot), 0.0);
  EXPECT_EQ(joystick_hat_x(slot), 0);
  EXPECT_EQ(joystick_hat_y(slot), 0);

  plain_id = attach(kPlain, false);
  EXPECT_EQ(joystick_axis_x(slot), 0.0) << "opened again, with the new controller's state";
  SDL_Joystick* again = opened(plain_id);
  ASSERT_NE(again, nullptr) << "the read opened the controller that came back";
  SDL_JoystickSetVirtualAxis(again, 1, -32768);
  EXPECT_EQ(joystick_axis_y(slot), -1.0);
  EXPECT_EQ(joystick_name(slot), (std::string(kPlain) + ", " + kPlain).c_str());
}

TEST_F(JoysticksOnDisplay, ControllersReadOnlyWhileTheWindowHasTheFocus) {
  int32_t slot = slot_of(kPlain);
  ASSERT_GE(slot, 0);
  SDL_JoystickSetVirtualAxis(opened(plain_id), 0, 32767);
  EXPECT_EQ(joystick_axis_x(slot), 1.0);

  WindowRequest request;
  request.width = 64;
  request.height = 64;
  request.title = "quarnel other window";
  WindowHandle other = os_video().create_window(request);
  ASSERT_NE(other, nullptr);
  os_video().show_window(other, true);
  for (int attempt = 0; attempt < 5 && os_video().window_has_focus(window); ++attempt) {
    run("xdotool search --sync --name 'quarnel other window' windowfocus --sync >/dev/null");
    settle();
  }
  bool moved = !os_video().window_has_focus(window);
  if (moved) {
    EXPECT_EQ(joystick_axis_x(slot), 0.0) << "in the background the controller reads centred";
  }
  os_video().destroy_window(other);
  for (int attempt = 0; attempt < 5 && !os_video().window_has_focus(window); ++attempt) {
    run("xdotool search --sync --name 'quarnel input probe' windowfocus --sync >/dev/null");
    settle();
  }
  ASSERT_TRUE(os_video().window_has_focus(window));
  EXPECT_EQ(joystick_axis_x(slot), 1.0) << "back in the foreground it is acquired again";
  if (!moved) GTEST_SKIP() << "the other window never took the focus";
}

}  // namespace
}  // namespace qrn::test
