// The legacy joystick interface on the real backend (it needs no display): SDL's virtual
// joysticks by number, their positions unsigned and brought back to the signed range.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "input/joysticks.h"
#include "input_fixture.h"
#include "platform/joysticks.h"

namespace qrn::test {
namespace {

class LegacyJoysticks : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    started = true;
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 10;
    desc.nhats = 1;
    desc.name = "Quarnel Legacy Pad \xC3\xA9\x01";  // UTF-8 and a control character
    int index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index, 0) << SDL_GetError();
    id = SDL_JoystickGetDeviceInstanceID(index);
    fake->input_system = false;  // no input-device system: the legacy interface serves
  }
  void TearDown() override {
    InputTest::TearDown();
    if (!started) return;
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
      if (SDL_JoystickGetDeviceInstanceID(index) == id) SDL_JoystickDetachVirtual(index);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  ServiceScope<JoystickService> real{nullptr};
  bool started = false;
  SDL_JoystickID id = -1;
};

TEST_F(LegacyJoysticks, AVirtualJoystickIsNamedAndReadByNumber) {
  open();
  int32_t number = -1;
  for (int32_t n = 0; n < joystick_count(); ++n) {
    if (joystick_name(n) == "Quarnel Legacy Pad \xE9?") number = n;
  }
  ASSERT_GE(number, 0) << "the name comes as Latin-1, control characters as ?";
  if (number > 1) GTEST_SKIP() << "only joysticks 0 and 1 are read by number";

  // The legacy interface keeps a joystick of its own open; SDL shares it per device.
  SDL_Joystick* pad = SDL_JoystickFromInstanceID(id);
  ASSERT_NE(pad, nullptr);
  SDL_JoystickSetVirtualAxis(pad, 0, 32767);
  SDL_JoystickSetVirtualAxis(pad, 1, -32768);
  SDL_JoystickSetVirtualAxis(pad, 2, 0);
  SDL_JoystickSetVirtualButton(pad, 7, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad, 8, SDL_PRESSED);  // beyond the eight the interface gives
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_LEFTDOWN);
  JoystickState s = read_joystick_raw(number);
  EXPECT_EQ(s.lX, 32767);
  EXPECT_EQ(s.lY, -32768);
  EXPECT_EQ(s.lZ, 0);
  EXPECT_EQ(s.rgbButtons[7], 128);
  EXPECT_EQ(s.rgbButtons[8], 0);
  EXPECT_EQ(s.rgdwPOV[0], 22500u);
  EXPECT_EQ(joystick_hat_x(number), -1);
  EXPECT_EQ(joystick_hat_y(number), 1);
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
  EXPECT_EQ(read_joystick_raw(number).rgdwPOV[0], LEGACY_POV_CENTRED);
  EXPECT_EQ(joystick_hat_y(number), 0);

  release_input();
  EXPECT_EQ(SDL_JoystickFromInstanceID(id), nullptr) << "the release closes what the interface opened";
}

}  // namespace
}  // namespace qrn::test
