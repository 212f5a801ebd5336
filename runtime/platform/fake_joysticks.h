// Scripted joystick service for tests: controllers whose names, states and failures a test
// sets, with what the runtime asked of them recorded (formats, cooperation levels, ranges,
// dead zones, polls, acquires, force-feedback resets, created and started effects), and
// legacy joysticks by number.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/joysticks.h"

namespace qrn {

class FakeJoysticks : public JoystickService {
 public:
  struct Controller {
    // Scripted
    std::string instance_name;
    std::string product_name;
    JoystickState state;          // what every read returns
    bool open_fails = false;
    bool dead_zone_fails = false;  // setting a dead zone on dead_zone_axis fails
    JoystickAxis dead_zone_axis = JoystickAxis::x;
    bool lost = false;             // polls fail until the controller is acquired again
    bool acquire_fails = false;
    bool force_feedback = false;
    bool effect_fails = false;     // creating an effect fails
    // Recorded
    bool open = false;
    bool acquired = false;
    int32_t formats = 0, cooperations = 0, acquires = 0, polls = 0, reads = 0, resets = 0;
    JoystickCooperation level{};
    WindowHandle window = nullptr;
    std::map<int32_t, std::pair<int32_t, int32_t>> ranges;  // by axis offset
    std::map<int32_t, int32_t> dead_zones;                  // by axis offset
    std::vector<ConstantForceEffect> effects;               // every effect created
    std::vector<std::pair<ConstantForceEffect, uint32_t>> started;  // effect and iterations
  };

  // Scripted: the attached controllers in enumeration order; a handle is an entry's address.
  std::deque<Controller> controllers;
  bool enumeration_fails = false;
  int32_t legacy_count = 0;                               // legacy_joystick_count
  std::map<int32_t, std::string> legacy_names;            // missing: the query fails
  std::map<int32_t, LegacyJoystickPosition> legacy_positions;  // missing: the read fails
  // Recorded
  int32_t listed = 0;        // controllers the last enumeration offered
  int32_t legacy_reads = 0;
  int32_t system_closes = 0;

  Controller* controller(InputHandle device);

  bool enumerate_controllers(const std::function<bool(const ControllerInfo&)>& each) override;
  InputHandle open_controller(const ControllerInfo& info) override;
  void close_controller(InputHandle device) override;
  bool set_controller_format(InputHandle device) override;
  bool set_controller_cooperation(InputHandle device, WindowHandle window, JoystickCooperation level) override;
  bool set_axis_range(InputHandle device, JoystickAxis axis, int32_t low, int32_t high) override;
  bool set_axis_dead_zone(InputHandle device, JoystickAxis axis, int32_t zone) override;
  bool acquire_controller(InputHandle device) override;
  void unacquire_controller(InputHandle device) override;
  bool poll_controller(InputHandle device) override;
  bool read_controller_state(InputHandle device, JoystickState& state) override;
  bool has_force_feedback(InputHandle device) override;
  bool reset_force_feedback(InputHandle device) override;
  EffectHandle create_constant_force(InputHandle device, const ConstantForceEffect& effect) override;
  bool start_effect(EffectHandle effect, uint32_t iterations) override;
  int32_t legacy_joystick_count() override { return legacy_count; }
  bool legacy_joystick_name(int32_t n, std::string& name) override;
  bool legacy_joystick_position(int32_t n, LegacyJoystickPosition& position) override;
  void close_joystick_system() override { ++system_closes; }

 private:
  struct CreatedEffect {
    Controller* owner;
    ConstantForceEffect params;
  };
  std::deque<CreatedEffect> created_;
};

}  // namespace qrn
