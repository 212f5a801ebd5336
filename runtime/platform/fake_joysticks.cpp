// Scripted joystick service for tests (see fake_joysticks.h).
#include "platform/fake_joysticks.h"

namespace qrn {

FakeJoysticks::Controller* FakeJoysticks::controller(InputHandle device) {
  for (Controller& c : controllers) {
    if (&c == device) return c.open ? &c : nullptr;
  }
  return nullptr;
}

bool FakeJoysticks::enumerate_controllers(const std::function<bool(const ControllerInfo&)>& each) {
  listed = 0;
  if (enumeration_fails) return false;
  for (size_t i = 0; i < controllers.size(); ++i) {
    ControllerInfo info;
    info.id = static_cast<int32_t>(i);
    info.instance_name = controllers[i].instance_name;
    info.product_name = controllers[i].product_name;
    ++listed;
    if (!each(info)) break;
  }
  return true;
}

InputHandle FakeJoysticks::open_controller(const ControllerInfo& info) {
  if (info.id < 0 || info.id >= static_cast<int32_t>(controllers.size())) return nullptr;
  Controller& c = controllers[static_cast<size_t>(info.id)];
  if (c.open_fails || c.open) return nullptr;
  c.open = true;
  return &c;
}

void FakeJoysticks::close_controller(InputHandle device) {
  if (Controller* c = controller(device)) {
    c->open = false;
    c->acquired = false;
  }
}

bool FakeJoysticks::set_controller_format(InputHandle device) {
  Controller* c = controller(device);
  if (!c) return false;
  ++c->formats;
  return true;
}

bool FakeJoysticks::set_controller_cooperation(InputHandle device, WindowHandle window, JoystickCooperation level) {
  Controller* c = controller(device);
  if (!c) return false;
  ++c->cooperations;
  c->level = level;
  c->window = window;
  return true;
}

bool FakeJoysticks::set_axis_range(InputHandle device, JoystickAxis axis, int32_t low, int32_t high) {
  Controller* c = controller(device);
  if (!c) return false;
  c->ranges[static_cast<int32_t>(axis)] = {low, high};
  return true;
}

bool FakeJoysticks::set_axis_dead_zone(InputHandle device, JoystickAxis axis, int32_t zone) {
  Controller* c = controller(device);
  if (!c || (c->dead_zone_fails && axis == c->dead_zone_axis)) return false;
  c->dead_zones[static_cast<int32_t>(axis)] = zone;
  return true;
}

bool FakeJoysticks::acquire_controller(InputHandle device) {
  Controller* c = controller(device);
  if (!c) return false;
  ++c->acquires;
  if (c->acquire_fails) return false;
  c->lost = false;
  c->acquired = true;
  return true;
}

void FakeJoysticks::unacquire_controller(InputHandle device) {
  if (Controller* c = controller(device)) c->acquired = false;
}

bool FakeJoysticks::poll_controller(InputHandle device) {
  Controller* c = controller(device);
  if (!c) return false;
  ++c->polls;
  if (c->lost) c->acquired = false;
  return c->acquired;
}

bool FakeJoysticks::read_controller_state(InputHandle device, JoystickState& state) {
  Controller* c = controller(device);
  if (!c || !c->acquired) return false;
  ++c->reads;
  state = c->state;
  return true;
}

bool FakeJoysticks::has_force_feedback(InputHandle device) {
  Controller* c = controller(device);
  return c && c->force_feedback;
}

bool FakeJoysticks::reset_force_feedback(InputHandle device) {
  Controller* c = controller(device);
  if (!c) return false;
  ++c->resets;
  return true;
}

EffectHandle FakeJoysticks::create_constant_force(InputHandle device, const ConstantForceEffect& effect) {
  Controller* c = controller(device);
  if (!c || !c->force_feedback || c->effect_fails) return nullptr;
  c->effects.push_back(effect);
  created_.push_back({c, effect});
  return &created_.back();
}

bool FakeJoysticks::start_effect(EffectHandle effect, uint32_t iterations) {
  for (CreatedEffect& e : created_) {
    if (&e != effect) continue;
    e.owner->started.emplace_back(e.params, iterations);
    return true;
  }
  return false;
}

bool FakeJoysticks::legacy_joystick_name(int32_t n, std::string& name) {
  auto found = legacy_names.find(n);
  if (found == legacy_names.end()) return false;
  name = found->second;
  return true;
}

bool FakeJoysticks::legacy_joystick_position(int32_t n, LegacyJoystickPosition& position) {
  ++legacy_reads;
  auto found = legacy_positions.find(n);
  if (found == legacy_positions.end()) return false;
  position = found->second;
  return true;
}

}  // namespace qrn
