// Joysticks (see joysticks.h): enumeration into the ten slots of the input object, the read
// with its re-acquire, the axis, hat and button commands, and the constant-force rumble.
#include "input/joysticks.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/runtime_state.h"
#include "core/screen_points.h"
#include "platform/joysticks.h"

namespace qrn {

namespace {

// The range every axis is set to when a controller is taken.
constexpr int32_t AXIS_LOW = -32768;
constexpr int32_t AXIS_HIGH = 32768;
constexpr JoystickAxis kRangedAxes[] = {JoystickAxis::x,  JoystickAxis::y,  JoystickAxis::z,
                                        JoystickAxis::rx, JoystickAxis::ry, JoystickAxis::rz};
// An axis counts as deflected for a waiting loop beyond this share of full scale.
constexpr double IDLE_DEFLECTION = 0.1;
constexpr uint32_t EFFECT_ITERATIONS = 1;

void store_name(InputDevices& input, int32_t slot, const std::string& name) {
  size_t length = name.size() < static_cast<size_t>(JOYSTICK_NAME_LIMIT) ? name.size() : JOYSTICK_NAME_LIMIT;
  std::memcpy(input.joystick_names[slot], name.data(), length);
  input.joystick_names[slot][length] = '\0';
}

void close_slots(InputDevices& input) {
  JoystickService& os = os_joysticks();
  for (int32_t slot = 0; slot < JOYSTICK_COUNT; ++slot) {
    if (InputHandle device = input.joystick_devices[slot]) {
      os.unacquire_controller(device);
      os.close_controller(device);
    }
    input.joystick_devices[slot] = nullptr;
    input.joystick_names[slot][0] = '\0';
  }
  input.joystick_count = 0;
}

// Binds a controller to the main window again after its data format.
void bind_controller(JoystickService& os, InputHandle device) {
  os.set_controller_format(device);
  os.set_controller_cooperation(device, g_runtime.window_handle, JoystickCooperation::exclusive_foreground);
}

void enumerate_controllers(InputDevices& input) {
  JoystickService& os = os_joysticks();
  InputHandle taken[JOYSTICK_COUNT] = {};
  std::string names[JOYSTICK_COUNT];
  int32_t count = 0;
  bool listed = os.enumerate_controllers([&](const ControllerInfo& info) {
    if (count >= JOYSTICK_COUNT) return false;  // the eleventh ends the enumeration
    InputHandle device = os.open_controller(info);
    if (!device) return true;
    bind_controller(os, device);
    for (JoystickAxis axis : kRangedAxes) os.set_axis_range(device, axis, AXIS_LOW, AXIS_HIGH);
    if (!os.set_axis_dead_zone(device, JoystickAxis::x, 0) || !os.set_axis_dead_zone(device, JoystickAxis::y, 0)) {
      os.close_controller(device);  // not taken: the slot goes to the next one
      return true;
    }
    os.acquire_controller(device);  // a refusal now is retried by the first read
    taken[count] = device;
    names[count] = info.instance_name + ", " + info.product_name;
    ++count;
    return true;
  });
  if (!listed) {  // what was taken before the enumeration failed is given back
    for (int32_t slot = 0; slot < count; ++slot) {
      os.unacquire_controller(taken[slot]);
      os.close_controller(taken[slot]);
    }
    return;
  }
  for (int32_t slot = 0; slot < count; ++slot) {
    input.joystick_devices[slot] = taken[slot];
    store_name(input, slot, names[slot]);
  }
  input.joystick_count = count;
}

void enumerate_legacy(InputDevices& input) {
  JoystickService& os = os_joysticks();
  int32_t count = os.legacy_joystick_count();
  if (count < 0) count = 0;
  if (count > JOYSTICK_COUNT) count = JOYSTICK_COUNT;
  for (int32_t n = 0; n < count; ++n) {
    std::string name;
    if (!os.legacy_joystick_name(n, name)) name.clear();
    store_name(input, n, name);
  }
  input.joystick_count = count;
}

// The legacy interface reports unsigned positions 0..65535; they are moved down by half the
// range into -32768..32767, so its centre 32768 reads 0.
void read_legacy(int32_t index, JoystickState& state) {
  LegacyJoystickPosition position;
  if (!os_joysticks().legacy_joystick_position(index, position)) return;
  auto signed_axis = [](uint32_t value) { return static_cast<int32_t>(value > 65535u ? 65535u : value) - 32768; };
  state.lX = signed_axis(position.x);
  state.lY = signed_axis(position.y);
  state.lZ = signed_axis(position.z);
  for (int32_t b = 0; b < 8; ++b) state.rgbButtons[b] = static_cast<uint8_t>(position.buttons & (1u << b));
  state.rgdwPOV[0] = position.pov;
}

// axis / 32767 in single precision, clamped to -1..1.
double axis_value(double axis) {
  float value = static_cast<float>(axis) / 32767.0f;
  if (value > 1.0f) value = 1.0f;
  if (value < -1.0f) value = -1.0f;
  return value;
}

// A pair of axes turned with the screen orientation.
void turned(int32_t a, int32_t b, double& x, double& y) {
  x = a;
  y = b;
  program_to_window_direction(g_runtime.orientation, x, y);
}

// The first hat as a direction: only the eight exact angles count.
void hat_direction(int32_t index, int32_t& x, int32_t& y) {
  uint32_t h = read_joystick_raw(index).rgdwPOV[0];
  int32_t vertical = (h == 0 || h == 4500 || h == 31500) ? -1 : (h == 13500 || h == 18000 || h == 22500) ? 1 : 0;
  int32_t horizontal = (h == 4500 || h == 9000 || h == 13500) ? 1 : (h == 22500 || h == 27000 || h == 31500) ? -1 : 0;
  double dx = horizontal, dy = vertical;
  program_to_window_direction(g_runtime.orientation, dx, dy);
  x = static_cast<int32_t>(dx);
  y = static_cast<int32_t>(dy);
}

// A strength clamped to -1..1; one that is not a number counts as 0.
double unit(double value) {
  if (!(value == value)) return 0.0;
  return value > 1.0 ? 1.0 : (value < -1.0 ? -1.0 : value);
}

// Milliseconds as the effect's microseconds, cut toward zero; below zero (or not a number)
// is 0, beyond what 32 bits hold plays as long as the device allows.
uint32_t effect_duration(double ms) {
  double us = ms * 1000.0;
  if (!(us > 0.0)) return 0;
  if (us >= static_cast<double>(EFFECT_INFINITE)) return EFFECT_INFINITE;
  return static_cast<uint32_t>(us);
}

InputHandle slot_device(int32_t index) {
  InputDevices* input = g_runtime.input;
  if (!input || index < 0 || index >= JOYSTICK_COUNT) return nullptr;
  return input->joystick_devices[index];
}

}  // namespace

void enumerate_joysticks(InputDevices& input, bool legacy) {
  close_slots(input);
  if (legacy) {
    enumerate_legacy(input);
  } else {
    enumerate_controllers(input);
  }
}

void release_joysticks(InputDevices& input) {
  close_slots(input);
  os_joysticks().close_joystick_system();
}

JoystickState read_joystick_raw(int32_t index) {
  JoystickState state;
  if (!g_runtime.input) return state;
  InputHandle device = slot_device(index);
  if (!device) {
    if (index == 0 || index == 1) read_legacy(index, state);
    return state;
  }
  JoystickService& os = os_joysticks();
  if (!os.poll_controller(device)) {
    bind_controller(os, device);
    os.acquire_controller(device);
    if (!os.poll_controller(device)) return state;
  }
  if (!os.read_controller_state(device, state)) state = JoystickState();
  return state;
}

int32_t joystick_count() { return g_runtime.input ? g_runtime.input->joystick_count : 0; }

RtString joystick_name(int32_t index) {
  InputDevices* input = g_runtime.input;
  if (!input || index < 0 || index >= input->joystick_count || index >= JOYSTICK_COUNT) return RtString();
  return RtString(input->joystick_names[index]);
}

int32_t joystick_button(int32_t index, int32_t button) {
  if (button < 0 || button > 31) return 0;
  return read_joystick_raw(index).rgbButtons[button];
}

double joystick_axis_x(int32_t index) {
  JoystickState s = read_joystick_raw(index);
  double x = 0, y = 0;
  turned(s.lX, s.lY, x, y);
  return axis_value(x);
}

double joystick_axis_y(int32_t index) {
  JoystickState s = read_joystick_raw(index);
  double x = 0, y = 0;
  turned(s.lX, s.lY, x, y);
  return axis_value(y);
}

double joystick_axis_z(int32_t index) { return axis_value(read_joystick_raw(index).lZ); }

double joystick_axis_rx(int32_t index) {
  JoystickState s = read_joystick_raw(index);
  double x = 0, y = 0;
  turned(s.lRx, s.lRy, x, y);
  return axis_value(x);
}

double joystick_axis_ry(int32_t index) {
  JoystickState s = read_joystick_raw(index);
  double x = 0, y = 0;
  turned(s.lRx, s.lRy, x, y);
  return axis_value(y);
}

double joystick_axis_rz(int32_t index) { return axis_value(read_joystick_raw(index).lRz); }

int32_t joystick_hat_x(int32_t index) {
  int32_t x = 0, y = 0;
  hat_direction(index, x, y);
  return x;
}

int32_t joystick_hat_y(int32_t index) {
  int32_t x = 0, y = 0;
  hat_direction(index, x, y);
  return y;
}

void read_joystick(int32_t& x, int32_t& y, int32_t& button1, int32_t& button2) {
  JoystickState s = read_joystick_raw(0);
  x = s.lX / 30000;
  y = s.lY / 30000;
  button1 = s.rgbButtons[0];
  button2 = s.rgbButtons[1];
}

void read_joystick(double& x, double& y, double& button1, double& button2) {
  int32_t ix = 0, iy = 0, b1 = 0, b2 = 0;
  read_joystick(ix, iy, b1, b2);
  x = ix;
  y = iy;
  button1 = b1;
  button2 = b2;
}

void joystick_rumble(int32_t index, double duration, double x, double y) {
  InputHandle device = slot_device(index);
  if (!device) return;
  JoystickService& os = os_joysticks();
  os.acquire_controller(device);
  if (!os.has_force_feedback(device)) return;
  os.reset_force_feedback(device);
  x = unit(x);
  y = unit(y);
  ConstantForceEffect effect;
  effect.magnitude = static_cast<int32_t>((x * x + y * y) * 10000 * 0.5);
  effect.direction_x = static_cast<int32_t>(x * 32767);
  effect.direction_y = static_cast<int32_t>(y * 32767);
  effect.duration_us = effect_duration(duration);
  effect.gain = 10000;
  effect.trigger_button = EFFECT_NO_TRIGGER;
  effect.start_delay_us = 0;
  effect.sample_period_us = 0;
  if (EffectHandle created = os.create_constant_force(device, effect)) os.start_effect(created, EFFECT_ITERATIONS);
}

bool any_joystick_active() {
  InputDevices* input = g_runtime.input;
  if (!input) return false;
  for (int32_t index = 0; index < input->joystick_count && index < JOYSTICK_COUNT; ++index) {
    JoystickState s = read_joystick_raw(index);
    for (uint8_t button : s.rgbButtons) {
      if (button) return true;
    }
    for (int32_t axis : {s.lX, s.lY, s.lZ}) {
      if (std::fabs(static_cast<double>(axis)) > IDLE_DEFLECTION * 32767.0) return true;
    }
    if ((s.rgdwPOV[0] & 0xFFFFu) != 0xFFFFu) return true;
  }
  return false;
}

}  // namespace qrn
