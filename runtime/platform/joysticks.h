// Joystick service: the attached game controllers, each opened as a device whose axes are
// read in a range the runtime sets, with buttons, point-of-view hats and a constant-force
// effect; and a legacy joystick interface (numbered joysticks read as unsigned positions)
// for when there is no input-device system.
//
// A system may have no joysticks, so this is an interface whose defaults mean "not
// available"; the real backend is SDL2 (sdl_joysticks.cpp), the fake is fake_joysticks.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/handles.h"
#include "platform/service.h"

namespace qrn {

// One read of a controller, 80 bytes in this layout.
struct JoystickState {
  int32_t lX = 0;   // X axis
  int32_t lY = 0;   // Y axis
  int32_t lZ = 0;   // Z axis
  int32_t lRx = 0;  // X rotation
  int32_t lRy = 0;  // Y rotation
  int32_t lRz = 0;  // Z rotation
  int32_t rglSlider[2] = {};
  // Hats in hundredths of a degree clockwise from north; JOYSTICK_HAT_CENTRED (or 0xFFFF in
  // the low word) when centred.
  uint32_t rgdwPOV[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  uint8_t rgbButtons[32] = {};  // non-zero while pressed
};
static_assert(sizeof(JoystickState) == 80, "a controller read is 80 bytes");

constexpr uint32_t JOYSTICK_HAT_CENTRED = 0xFFFFFFFFu;

// The axes a range or dead zone is set on, named by their offset in JoystickState.
enum class JoystickAxis : int32_t {
  x = 0,
  y = 4,
  z = 8,
  rx = 12,
  ry = 16,
  rz = 20,
};

// How a controller is shared with other programs.
enum class JoystickCooperation : int32_t {
  exclusive_foreground = 5,  // read only while the bound window has the focus
};

// A controller as the enumeration lists it.
struct ControllerInfo {
  int32_t id = 0;  // the backend's number for open_controller
  std::string instance_name;
  std::string product_name;
};

// A constant force along a direction in the plane of the X and Y axes, played once started.
struct ConstantForceEffect {
  int32_t magnitude = 0;       // -10000..10000
  int32_t direction_x = 0;     // Cartesian direction on the X axis ...
  int32_t direction_y = 0;     // ... and the Y axis
  uint32_t duration_us = 0;    // EFFECT_INFINITE: until stopped
  uint32_t gain = 10000;       // 0..10000
  uint32_t trigger_button = 0xFFFFFFFFu;  // EFFECT_NO_TRIGGER
  uint32_t start_delay_us = 0;
  uint32_t sample_period_us = 0;  // 0: the device's own
};
constexpr uint32_t EFFECT_INFINITE = 0xFFFFFFFFu;
constexpr uint32_t EFFECT_NO_TRIGGER = 0xFFFFFFFFu;

// One read of a legacy joystick: unsigned positions 0..65535 (centre 32768).
constexpr uint32_t LEGACY_POV_CENTRED = 0xFFFFu;
struct LegacyJoystickPosition {
  uint32_t x = 0, y = 0, z = 0;
  uint32_t buttons = 0;               // bit n: button n pressed
  uint32_t pov = LEGACY_POV_CENTRED;  // hundredths of a degree clockwise from north
};

// A force effect created on a controller.
using EffectHandle = void*;

class JoystickService {
 public:
  virtual ~JoystickService() = default;

  // ---- Game controllers ------------------------------------------------------------------
  // Lists the attached game controllers in order, calling each for every one until it
  // returns false. Starts the platform's joystick support on first use. False when the
  // controllers cannot be listed.
  virtual bool enumerate_controllers(const std::function<bool(const ControllerInfo&)>& /*each*/) {
    return false;
  }
  // Opens a listed controller; null on failure.
  virtual InputHandle open_controller(const ControllerInfo& /*controller*/) { return nullptr; }
  virtual void close_controller(InputHandle /*device*/) {}
  // Reads are to come as JoystickState.
  virtual bool set_controller_format(InputHandle /*device*/) { return false; }
  virtual bool set_controller_cooperation(InputHandle /*device*/, WindowHandle /*window*/,
                                          JoystickCooperation) {
    return false;
  }
  // The values an axis reads at its two ends (the centre lies halfway).
  virtual bool set_axis_range(InputHandle /*device*/, JoystickAxis, int32_t /*low*/, int32_t /*high*/) {
    return false;
  }
  // The dead zone in ten-thousandths of the axis' travel around its centre.
  virtual bool set_axis_dead_zone(InputHandle /*device*/, JoystickAxis, int32_t /*zone*/) { return false; }
  // Starts reading (with the format set; an exclusive-foreground controller only while its
  // window has the focus). A controller that went away is opened again when it is back.
  virtual bool acquire_controller(InputHandle /*device*/) { return false; }
  virtual void unacquire_controller(InputHandle /*device*/) {}
  // Brings the controller's state up to date; false when it is not acquired or no longer
  // answers (unplugged, the window lost the focus).
  virtual bool poll_controller(InputHandle /*device*/) { return false; }
  // The state as the last poll left it.
  virtual bool read_controller_state(InputHandle /*device*/, JoystickState& /*state*/) { return false; }

  // ---- Force feedback --------------------------------------------------------------------
  virtual bool has_force_feedback(InputHandle /*device*/) { return false; }
  // Stops every effect of the controller and frees them.
  virtual bool reset_force_feedback(InputHandle /*device*/) { return false; }
  // The effect stays with the controller until its next reset or its closing.
  virtual EffectHandle create_constant_force(InputHandle /*device*/, const ConstantForceEffect&) {
    return nullptr;
  }
  virtual bool start_effect(EffectHandle /*effect*/, uint32_t /*iterations*/) { return false; }

  // ---- Legacy joysticks ------------------------------------------------------------------
  // How many numbered joysticks the interface serves (starting it on first use).
  virtual int32_t legacy_joystick_count() { return 0; }
  // The product name of joystick n; false when the query fails.
  virtual bool legacy_joystick_name(int32_t /*n*/, std::string& /*name*/) { return false; }
  virtual bool legacy_joystick_position(int32_t /*n*/, LegacyJoystickPosition& /*position*/) { return false; }

  // Ends the platform's joystick support once every controller is closed.
  virtual void close_joystick_system() {}
};

inline JoystickService& os_joysticks() { return service<JoystickService>(); }

}  // namespace qrn
