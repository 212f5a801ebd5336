// The joystick service on SDL2: SDL's joysticks are the game controllers, SDL's rumble (or,
// for a device without it, a haptic constant force) plays the force effect, and the same
// joysticks by number are the legacy interface.
//
// SDL reports axes as -32768..32767 in its own order, which on Linux follows the kernel's
// (X, Y, Z, Rx, Ry, Rz, then the rest): SDL axis n is the nth of X, Y, Z, Rx, Ry, Rz and the two
// sliders. Each is brought into the range the runtime set, the negative half onto low..centre
// and the positive half onto centre..high, so both ends are reached. Hats become hundredths of
// a degree clockwise from north, buttons 0x80 while pressed.
#include <SDL.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/joysticks.h"
#include "platform/video.h"

namespace qrn {

namespace {

constexpr int kAxisCount = 8;       // X, Y, Z, Rx, Ry, Rz, two sliders
constexpr int kButtonCount = 32;
constexpr int kHatCount = 4;
constexpr int kLegacyLimit = 16;    // the numbered joysticks the legacy interface serves
constexpr uint8_t kPressed = 0x80;

struct AxisSetting {
  int32_t low = 0;  // an axis reads 0..65535 until a range is set
  int32_t high = 65535;
};

struct Controller;

struct Effect {
  Controller* owner = nullptr;
  ConstantForceEffect params;
  int haptic_id = -1;  // the haptic effect, when the controller plays through SDL_Haptic
};

struct Controller {
  SDL_Joystick* joystick = nullptr;
  SDL_JoystickGUID guid{};
  bool formatted = false;
  bool acquired = false;
  bool foreground = false;
  WindowHandle window = nullptr;
  AxisSetting axes[kAxisCount];
  SDL_Haptic* haptic = nullptr;  // opened on the first force-feedback question
  bool haptic_tried = false;
  std::unique_ptr<Effect> effect;
};

// SDL names are UTF-8; the runtime's texts are 8-bit characters, so a name becomes Latin-1
// with "?" for what has no byte, and control characters become "?" too.
std::string controller_name(const char* sdl_name) {
  std::string name = typed_text_bytes(sdl_name ? sdl_name : "");
  for (char& c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return name;
}

uint32_t hat_angle(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return JOYSTICK_HAT_CENTRED;
  }
}

// An SDL axis value in the axis' range.
int32_t scaled_axis(Sint16 value, const AxisSetting& axis) {
  double v = value < 0 ? value / 32768.0 : value / 32767.0;
  double low = axis.low, high = axis.high, centre = (low + high) / 2.0;
  return static_cast<int32_t>(std::lround(v < 0 ? centre + (centre - low) * v : centre + (high - centre) * v));
}

bool window_has_focus(WindowHandle window) {
  return window && SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetKeyboardFocus() == static_cast<SDL_Window*>(window);
}

int axis_index(JoystickAxis axis) {
  int offset = static_cast<int>(axis);
  return offset >= 0 && offset % 4 == 0 && offset / 4 < 6 ? offset / 4 : -1;
}

class SdlJoysticks final : public JoystickService {
 public:
  bool enumerate_controllers(const std::function<bool(const ControllerInfo&)>& each) override {
    if (!start()) return false;
    SDL_JoystickUpdate();
    int count = SDL_NumJoysticks();
    if (count < 0) return false;
    for (int index = 0; index < count; ++index) {
      // SDL gives one name per joystick; it stands for both the instance and the product, as
      // they are the same text for most controllers elsewhere too.
      ControllerInfo info;
      info.id = index;
      info.instance_name = controller_name(SDL_JoystickNameForIndex(index));
      info.product_name = info.instance_name;
      if (!each(info)) break;
    }
    return true;
  }

  InputHandle open_controller(const ControllerInfo& info) override {
    if (!started_) return nullptr;
    SDL_Joystick* joystick = SDL_JoystickOpen(info.id);
    if (!joystick) return nullptr;
    if (holds(SDL_JoystickInstanceID(joystick))) {  // already a controller of ours
      SDL_JoystickClose(joystick);
      return nullptr;
    }
    auto controller = std::make_unique<Controller>();
    controller->joystick = joystick;
    controller->guid = SDL_JoystickGetGUID(joystick);
    controllers_.push_back(std::move(controller));
    return controllers_.back().get();
  }

  void close_controller(InputHandle device) override {
    for (size_t i = 0; i < controllers_.size(); ++i) {
      if (controllers_[i].get() != device) continue;
      Controller& c = *controllers_[i];
      drop_haptic(c);
      SDL_JoystickClose(c.joystick);
      controllers_.erase(controllers_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }

  bool set_controller_format(InputHandle device) override {
    Controller* c = find(device);
    if (!c) return false;
    c->formatted = true;
    return true;
  }

  bool set_controller_cooperation(InputHandle device, WindowHandle window, JoystickCooperation level) override {
    Controller* c = find(device);
    if (!c || level != JoystickCooperation::exclusive_foreground) return false;
    c->window = window;
    c->foreground = true;
    return true;
  }

  bool set_axis_range(InputHandle device, JoystickAxis axis, int32_t low, int32_t high) override {
    Controller* c = find(device);
    int index = axis_index(axis);
    if (!c || index < 0 || low >= high) return false;
    c->axes[index].low = low;
    c->axes[index].high = high;
    return true;
  }

  // SDL reads the axes without a dead zone, so none but 0 can be had.
  bool set_axis_dead_zone(InputHandle device, JoystickAxis axis, int32_t zone) override {
    return find(device) && axis_index(axis) >= 0 && zone == 0;
  }

  bool acquire_controller(InputHandle device) override {
    Controller* c = find(device);
    if (!c || !c->formatted) return false;
    if (c->foreground && !window_has_focus(c->window)) {
      c->acquired = false;
      return false;
    }
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(c->joystick) && !reopen(*c)) return false;
    c->acquired = true;
    return true;
  }

  void unacquire_controller(InputHandle device) override {
    if (Controller* c = find(device)) c->acquired = false;
  }

  bool poll_controller(InputHandle device) override {
    Controller* c = find(device);
    if (!c || !c->acquired) return false;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(c->joystick) || (c->foreground && !window_has_focus(c->window))) {
      c->acquired = false;
      return false;
    }
    return true;
  }

  bool read_controller_state(InputHandle device, JoystickState& state) override {
    state = JoystickState();
    Controller* c = find(device);
    if (!c || !c->acquired) return false;
    int32_t* axes[kAxisCount] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                                 &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
    int axis_count = SDL_JoystickNumAxes(c->joystick);
    for (int a = 0; a < kAxisCount && a < axis_count; ++a) {
      *axes[a] = scaled_axis(SDL_JoystickGetAxis(c->joystick, a), c->axes[a]);
    }
    int hat_count = SDL_JoystickNumHats(c->joystick);
    for (int h = 0; h < kHatCount && h < hat_count; ++h) state.rgdwPOV[h] = hat_angle(SDL_JoystickGetHat(c->joystick, h));
    int button_count = SDL_JoystickNumButtons(c->joystick);
    for (int b = 0; b < kButtonCount && b < button_count; ++b) {
      state.rgbButtons[b] = SDL_JoystickGetButton(c->joystick, b) ? kPressed : 0;
    }
    return true;
  }

  bool has_force_feedback(InputHandle device) override {
    Controller* c = find(device);
    return c && (SDL_JoystickHasRumble(c->joystick) || haptic_constant(*c));
  }

  // Effects play only on an acquired controller (in the foreground).
  bool reset_force_feedback(InputHandle device) override {
    Controller* c = find(device);
    if (!c || !c->acquired) return false;
    drop_effect(*c);
    if (c->haptic) SDL_HapticStopAll(c->haptic);
    if (SDL_JoystickHasRumble(c->joystick)) SDL_JoystickRumble(c->joystick, 0, 0, 0);
    return true;
  }

  EffectHandle create_constant_force(InputHandle device, const ConstantForceEffect& params) override {
    Controller* c = find(device);
    if (!c || !has_force_feedback(device)) return nullptr;
    drop_effect(*c);
    auto effect = std::make_unique<Effect>();
    effect->owner = c;
    effect->params = params;
    if (!SDL_JoystickHasRumble(c->joystick)) {
      SDL_HapticEffect haptic = haptic_effect(params);
      effect->haptic_id = SDL_HapticNewEffect(c->haptic, &haptic);
      if (effect->haptic_id < 0) return nullptr;
    }
    c->effect = std::move(effect);
    return c->effect.get();
  }

  bool start_effect(EffectHandle handle, uint32_t iterations) override {
    Effect* effect = find_effect(handle);
    if (!effect) return false;
    Controller& c = *effect->owner;
    if (!c.acquired) return false;
    if (iterations == 0) return true;
    if (effect->haptic_id >= 0) return SDL_HapticRunEffect(c.haptic, effect->haptic_id, iterations) == 0;
    Uint16 low = 0, high = 0;
    motor_levels(effect->params, low, high);
    const ConstantForceEffect& p = effect->params;
    double ms = p.duration_us == EFFECT_INFINITE ? 4294967295.0 : std::ceil(p.duration_us / 1000.0) * iterations;
    Uint32 duration_ms = ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<Uint32>(ms);
    if (duration_ms == 0) low = high = 0;  // a zero-length effect plays nothing
    return SDL_JoystickRumble(c.joystick, low, high, duration_ms) == 0;
  }

  int32_t legacy_joystick_count() override {
    if (!start()) return 0;
    close_legacy();
    SDL_JoystickUpdate();
    int count = SDL_NumJoysticks();
    for (int index = 0; index < count && index < kLegacyLimit; ++index) {
      SDL_Joystick* joystick = SDL_JoystickOpen(index);
      if (joystick) legacy_.push_back(joystick);
    }
    return static_cast<int32_t>(legacy_.size());
  }

  bool legacy_joystick_name(int32_t n, std::string& name) override {
    if (n < 0 || n >= static_cast<int32_t>(legacy_.size())) return false;
    name = controller_name(SDL_JoystickName(legacy_[n]));
    return true;
  }

  bool legacy_joystick_position(int32_t n, LegacyJoystickPosition& position) override {
    position = LegacyJoystickPosition();
    if (n < 0 || n >= static_cast<int32_t>(legacy_.size())) return false;
    SDL_Joystick* joystick = legacy_[n];
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(joystick)) return false;
    uint32_t* axes[3] = {&position.x, &position.y, &position.z};
    int axis_count = SDL_JoystickNumAxes(joystick);
    for (int a = 0; a < 3; ++a) {
      *axes[a] = a < axis_count ? static_cast<uint32_t>(SDL_JoystickGetAxis(joystick, a) + 32768) : 32768u;
    }
    int button_count = SDL_JoystickNumButtons(joystick);
    for (int b = 0; b < kButtonCount && b < button_count; ++b) {
      if (SDL_JoystickGetButton(joystick, b)) position.buttons |= 1u << b;
    }
    if (SDL_JoystickNumHats(joystick) > 0) {
      uint32_t angle = hat_angle(SDL_JoystickGetHat(joystick, 0));
      position.pov = angle == JOYSTICK_HAT_CENTRED ? LEGACY_POV_CENTRED : angle;
    }
    return true;
  }

  void close_joystick_system() override {
    close_legacy();
    while (!controllers_.empty()) close_controller(controllers_.back().get());
    if (!started_) return;
    if (haptic_started_) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    started_ = haptic_started_ = false;
  }

 private:
  // Starts SDL's joystick support (and its haptic support, which may be missing); video is
  // left as it is. SDL keeps reading the sticks while no window of ours has the focus, so a
  // window that gets the focus back reads them as they are; reads in the background are
  // refused here instead (the controllers are bound to the foreground window).
  bool start() {
    if (started_) return true;
    SDL_SetHintWithPriority(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    haptic_started_ = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
    started_ = true;
    return true;
  }

  Controller* find(InputHandle device) {
    for (auto& c : controllers_) {
      if (c.get() == device) return c.get();
    }
    return nullptr;
  }

  Effect* find_effect(EffectHandle handle) {
    for (auto& c : controllers_) {
      if (handle && c->effect.get() == handle) return c->effect.get();
    }
    return nullptr;
  }

  bool holds(SDL_JoystickID id) {
    for (auto& c : controllers_) {
      if (SDL_JoystickGetAttached(c->joystick) && SDL_JoystickInstanceID(c->joystick) == id) return true;
    }
    return false;
  }

  // A controller that went away: the same kind of controller (same GUID), back and not one
  // of ours already, takes its place.
  bool reopen(Controller& c) {
    int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
      SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(index);
      if (std::memcmp(&guid, &c.guid, sizeof guid) != 0 || holds(SDL_JoystickGetDeviceInstanceID(index))) continue;
      SDL_Joystick* joystick = SDL_JoystickOpen(index);
      if (!joystick) continue;
      drop_haptic(c);
      SDL_JoystickClose(c.joystick);
      c.joystick = joystick;
      return true;
    }
    return false;
  }

  bool haptic_constant(Controller& c) {
    if (!c.haptic_tried) {
      c.haptic_tried = true;
      if (haptic_started_ && SDL_JoystickIsHaptic(c.joystick) == 1) {
        c.haptic = SDL_HapticOpenFromJoystick(c.joystick);
        if (c.haptic && !(SDL_HapticQuery(c.haptic) & SDL_HAPTIC_CONSTANT)) {
          SDL_HapticClose(c.haptic);
          c.haptic = nullptr;
        }
      }
    }
    return c.haptic != nullptr;
  }

  void drop_effect(Controller& c) {
    if (c.effect && c.effect->haptic_id >= 0 && c.haptic) SDL_HapticDestroyEffect(c.haptic, c.effect->haptic_id);
    c.effect.reset();
  }

  void drop_haptic(Controller& c) {
    drop_effect(c);
    if (c.haptic) SDL_HapticClose(c.haptic);
    c.haptic = nullptr;
    c.haptic_tried = false;
  }

  void close_legacy() {
    for (SDL_Joystick* joystick : legacy_) SDL_JoystickClose(joystick);
    legacy_.clear();
  }

  // The two rumble motors share the effect: its strength (magnitude times gain) is panned
  // by the direction's horizontal share s (-1 left .. +1 right), the low-frequency (left)
  // motor at strength * min(1, 1 - s) and the high-frequency (right) one at
  // strength * min(1, 1 + s). Straight up or down both run at full strength; a negative
  // magnitude pulls the other way.
  static void motor_levels(const ConstantForceEffect& p, Uint16& low, Uint16& high) {
    double magnitude = p.magnitude, dx = p.direction_x, dy = p.direction_y;
    if (magnitude < 0) {
      magnitude = -magnitude;
      dx = -dx;
    }
    double strength = std::fmin(1.0, magnitude / 10000.0 * (std::fmin(p.gain, 10000u) / 10000.0));
    double length = std::hypot(dx, dy);
    double share = length > 0 ? dx / length : 0.0;
    low = static_cast<Uint16>(std::lround(65535.0 * strength * std::fmin(1.0, 1.0 - share)));
    high = static_cast<Uint16>(std::lround(65535.0 * strength * std::fmin(1.0, 1.0 + share)));
  }

  static SDL_HapticEffect haptic_effect(const ConstantForceEffect& p) {
    SDL_HapticEffect e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_HAPTIC_CONSTANT;
    e.constant.direction.type = SDL_HAPTIC_CARTESIAN;
    e.constant.direction.dir[0] = p.direction_x;
    e.constant.direction.dir[1] = p.direction_y;
    e.constant.length = p.duration_us == EFFECT_INFINITE ? SDL_HAPTIC_INFINITY
                                                         : static_cast<Uint32>(std::ceil(p.duration_us / 1000.0));
    e.constant.delay = static_cast<Uint16>(std::fmin(65535.0, p.start_delay_us / 1000.0));
    double level = p.magnitude / 10000.0 * (std::fmin(p.gain, 10000u) / 10000.0) * 32767.0;
    e.constant.level = static_cast<Sint16>(std::lround(std::fmax(-32767.0, std::fmin(32767.0, level))));
    return e;
  }

  bool started_ = false;
  bool haptic_started_ = false;
  std::vector<std::unique_ptr<Controller>> controllers_;
  std::vector<SDL_Joystick*> legacy_;
};

}  // namespace

template <>
JoystickService& real_service<JoystickService>() {
  static JoystickService* backend = new SdlJoysticks();
  return *backend;
}

}  // namespace qrn
