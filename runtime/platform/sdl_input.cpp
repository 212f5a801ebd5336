// The input service on SDL2: the cursor, the mouse buttons with the memory of presses between
// two queries, a relative-motion mouse device, and the keyboard device as a 256-byte snapshot
// by the runtime's key codes.
//
// An SDL event watch sees every mouse and key event as SDL pumps events, whoever pumps them,
// so a press whose release also came before the next query still counts once. The cursor
// and the held buttons are asked of the X server directly: SDL's global mouse state is a
// cache that synthetic (XTEST) motion does not refresh.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "platform/input.h"

namespace qrn {

namespace {

// ---- Key codes ------------------------------------------------------------------------------

struct KeyPair {
  SDL_Scancode sdl;
  uint8_t code;
};

// Every SDL scan code that has a code in the runtime's numbering.
constexpr KeyPair kKeyPairs[] = {
    {SDL_SCANCODE_ESCAPE, 1},        {SDL_SCANCODE_1, 2},
    {SDL_SCANCODE_2, 3},             {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5},             {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},             {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9},             {SDL_SCANCODE_9, 10},
    {SDL_SCANCODE_0, 11},            {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},       {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},          {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17},            {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},            {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21},            {SDL_SCANCODE_U, 22},
    {SDL_SCANCODE_I, 23},            {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},            {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27}, {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},        {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},            {SDL_SCANCODE_D, 32},
    {SDL_SCANCODE_F, 33},            {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35},            {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},            {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39},    {SDL_SCANCODE_APOSTROPHE, 40},
    {SDL_SCANCODE_GRAVE, 41},        {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},    {SDL_SCANCODE_NONUSHASH, 43},
    {SDL_SCANCODE_Z, 44},            {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46},            {SDL_SCANCODE_V, 47},
    {SDL_SCANCODE_B, 48},            {SDL_SCANCODE_N, 49},
    {SDL_SCANCODE_M, 50},            {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},       {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54},       {SDL_SCANCODE_KP_MULTIPLY, 55},
    {SDL_SCANCODE_LALT, 56},         {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_CAPSLOCK, 58},     {SDL_SCANCODE_F1, 59},
    {SDL_SCANCODE_F2, 60},           {SDL_SCANCODE_F3, 61},
    {SDL_SCANCODE_F4, 62},           {SDL_SCANCODE_F5, 63},
    {SDL_SCANCODE_F6, 64},           {SDL_SCANCODE_F7, 65},
    {SDL_SCANCODE_F8, 66},           {SDL_SCANCODE_F9, 67},
    {SDL_SCANCODE_F10, 68},          {SDL_SCANCODE_NUMLOCKCLEAR, 69},
    {SDL_SCANCODE_SCROLLLOCK, 70},   {SDL_SCANCODE_KP_7, 71},
    {SDL_SCANCODE_KP_8, 72},         {SDL_SCANCODE_KP_9, 73},
    {SDL_SCANCODE_KP_MINUS, 74},     {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76},         {SDL_SCANCODE_KP_6, 77},
    {SDL_SCANCODE_KP_PLUS, 78},      {SDL_SCANCODE_KP_1, 79},
    {SDL_SCANCODE_KP_2, 80},         {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82},         {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86}, {SDL_SCANCODE_F11, 87},
    {SDL_SCANCODE_F12, 88},          {SDL_SCANCODE_F13, 100},
    {SDL_SCANCODE_F14, 101},         {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_INTERNATIONAL2, 112}, {SDL_SCANCODE_INTERNATIONAL1, 115},
    {SDL_SCANCODE_INTERNATIONAL4, 121}, {SDL_SCANCODE_INTERNATIONAL5, 123},
    {SDL_SCANCODE_INTERNATIONAL3, 125}, {SDL_SCANCODE_KP_EQUALS, 141},
    {SDL_SCANCODE_AUDIOPREV, 144},   {SDL_SCANCODE_AUDIONEXT, 153},
    {SDL_SCANCODE_KP_ENTER, 156},    {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_AUDIOMUTE, 160},   {SDL_SCANCODE_MUTE, 160},
    {SDL_SCANCODE_CALCULATOR, 161},  {SDL_SCANCODE_AUDIOPLAY, 162},
    {SDL_SCANCODE_AUDIOSTOP, 164},   {SDL_SCANCODE_VOLUMEDOWN, 174},
    {SDL_SCANCODE_VOLUMEUP, 176},    {SDL_SCANCODE_AC_HOME, 178},
    {SDL_SCANCODE_KP_COMMA, 179},    {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183}, {SDL_SCANCODE_SYSREQ, 183},
    {SDL_SCANCODE_RALT, 184},        {SDL_SCANCODE_MODE, 184},
    {SDL_SCANCODE_PAUSE, 197},       {SDL_SCANCODE_HOME, 199},
    {SDL_SCANCODE_UP, 200},          {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203},        {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_END, 207},         {SDL_SCANCODE_DOWN, 208},
    {SDL_SCANCODE_PAGEDOWN, 209},    {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},      {SDL_SCANCODE_LGUI, 219},
    {SDL_SCANCODE_RGUI, 220},        {SDL_SCANCODE_APPLICATION, 221},
    {SDL_SCANCODE_POWER, 222},       {SDL_SCANCODE_SLEEP, 223},
    {SDL_SCANCODE_AC_SEARCH, 229},   {SDL_SCANCODE_AC_BOOKMARKS, 230},
    {SDL_SCANCODE_AC_REFRESH, 231},  {SDL_SCANCODE_AC_STOP, 232},
    {SDL_SCANCODE_AC_FORWARD, 233},  {SDL_SCANCODE_AC_BACK, 234},
    {SDL_SCANCODE_COMPUTER, 235},    {SDL_SCANCODE_MAIL, 236},
    {SDL_SCANCODE_MEDIASELECT, 237},
};

struct KeyTable {
  uint8_t code[SDL_NUM_SCANCODES] = {};
  KeyTable() {
    for (const KeyPair& pair : kKeyPairs) code[pair.sdl] = pair.code;
  }
};

const KeyTable& key_table() {
  static const KeyTable table;
  return table;
}

// ---- What the event watch collects ------------------------------------------------------------

struct MouseDevice {
  bool acquired = false;
  bool relative = false;  // captured, the pointer hidden (exclusive cooperation)
  WindowHandle window = nullptr;
  int64_t dx = 0, dy = 0, wheel = 0;
  uint32_t pressed = 0;  // buttons pressed since the previous read
};

struct KeyboardDevice {
  bool acquired = false;
  WindowHandle window = nullptr;
  uint8_t pressed[256] = {};  // keys pressed since the previous read
};

uint32_t button_bit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 1u;
    case SDL_BUTTON_RIGHT: return 2u;
    case SDL_BUTTON_MIDDLE: return 4u;
    default: return 0u;
  }
}

// Compared, never dereferenced: a device may still name a window that was re-created.
bool has_focus(WindowHandle window) { return window && SDL_GetKeyboardFocus() == window; }

// ---- The pointer as the X server sees it -------------------------------------------------------

struct X11Pointer {
  using OpenDisplayFn = void* (*)(const char*);
  using RootFn = unsigned long (*)(void*);
  using QueryFn = int (*)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*,
                          unsigned int*);
  bool tried = false;
  void* display = nullptr;
  unsigned long root = 0;
  QueryFn query = nullptr;
  double read_at = 0;  // when the last reading was taken (ms)
  int32_t x = 0, y = 0;
  unsigned int mask = 0;
};

class SdlInput final : public InputService {
 public:
  // The mouse is the pointer source: SDL already feeds touch into the mouse, and pointer
  // messages would lose a click that begins and ends between two polls.
  bool prefers_pointer_messages() override { return false; }

  void cursor_position(int32_t& x, int32_t& y) override {
    x = y = 0;
    unsigned int mask = 0;
    if (x11_pointer(x, y, mask)) return;
    if (!pump_input()) return;
    int gx = 0, gy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    x = gx;
    y = gy;
  }

  void set_cursor_position(int32_t x, int32_t y) override {
    if (input_ready()) SDL_WarpMouseGlobal(x, y);
  }

  void show_cursor(bool shown) override {
    if (!input_ready()) return;
    if (shown) SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
  }

  uint32_t mouse_buttons() override {
    if (!pump_input()) return 0;
    uint32_t bits = held_buttons() | pressed_buttons_;
    pressed_buttons_ = 0;
    return bits & 7u;
  }

  InputHandle open_input_system() override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
    watch_installed_ = false;  // a new session of the video system may have dropped the watch
    input_ready();
    return &system_token_;
  }

  void close_input_system(InputHandle) override {
    if (watch_installed_) SDL_DelEventWatch(watch_event, this);
    watch_installed_ = false;
  }

  InputHandle open_mouse_device(InputHandle system) override {
    if (!system || !input_ready()) return nullptr;
    mouse_ = MouseDevice();
    return &mouse_;
  }

  bool acquire_mouse_device(InputHandle device, WindowHandle window, MouseCooperation cooperation) override {
    MouseDevice* mouse = static_cast<MouseDevice*>(device);
    if (!mouse || !pump_input() || !has_focus(window)) return false;
    bool relative = cooperation == MouseCooperation::exclusive;
    if (SDL_SetRelativeMouseMode(relative ? SDL_TRUE : SDL_FALSE) != 0 && relative) return false;
    mouse->relative = relative;
    mouse->window = window;
    if (!mouse->acquired) {
      mouse->dx = mouse->dy = mouse->wheel = 0;
      mouse->pressed = 0;
    }
    mouse->acquired = true;
    return true;
  }

  void unacquire_mouse_device(InputHandle device) override {
    MouseDevice* mouse = static_cast<MouseDevice*>(device);
    if (!mouse) return;
    if (mouse->relative && input_ready()) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouse->relative = false;
    mouse->acquired = false;
  }

  bool read_mouse_device(InputHandle device, MouseDeviceState& state) override {
    MouseDevice* mouse = static_cast<MouseDevice*>(device);
    state = MouseDeviceState();
    if (!mouse || !mouse->acquired || !pump_input()) return false;
    if (!has_focus(mouse->window)) {  // focus lost: the device is lost until acquired again
      unacquire_mouse_device(device);
      return false;
    }
    auto to_int = [](int64_t v) {
      return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : v));
    };
    state.dx = to_int(mouse->dx);
    state.dy = to_int(mouse->dy);
    state.wheel = to_int(mouse->wheel);
    uint32_t buttons = held_buttons() | mouse->pressed;
    for (uint32_t b = 0; b < 3; ++b) state.buttons[b] = (buttons >> b) & 1u ? 0x80 : 0;
    mouse->dx = mouse->dy = mouse->wheel = 0;
    mouse->pressed = 0;
    return true;
  }

  void close_mouse_device(InputHandle device) override { unacquire_mouse_device(device); }

  InputHandle open_keyboard_device(InputHandle system) override {
    if (!system || !input_ready()) return nullptr;
    keyboard_ = KeyboardDevice();
    return &keyboard_;
  }

  bool acquire_keyboard_device(InputHandle device, WindowHandle window) override {
    KeyboardDevice* keyboard = static_cast<KeyboardDevice*>(device);
    if (!keyboard || !pump_input() || !has_focus(window)) return false;
    if (!keyboard->acquired) std::memset(keyboard->pressed, 0, sizeof keyboard->pressed);
    keyboard->window = window;
    keyboard->acquired = true;
    return true;
  }

  void unacquire_keyboard_device(InputHandle device) override {
    if (KeyboardDevice* keyboard = static_cast<KeyboardDevice*>(device)) keyboard->acquired = false;
  }

  bool read_keyboard_device(InputHandle device, uint8_t snapshot[256]) override {
    KeyboardDevice* keyboard = static_cast<KeyboardDevice*>(device);
    if (!keyboard || !keyboard->acquired || !pump_input()) return false;
    if (!has_focus(keyboard->window)) {
      keyboard->acquired = false;
      return false;
    }
    int count = 0;
    const Uint8* held = SDL_GetKeyboardState(&count);
    uint8_t next[256] = {};
    for (const KeyPair& pair : kKeyPairs) {
      if (pair.sdl < count && held[pair.sdl]) next[pair.code] = 0x80;
    }
    for (int32_t code = 0; code < 256; ++code) {
      if (keyboard->pressed[code]) next[code] = 0x80;
    }
    std::memcpy(snapshot, next, sizeof next);
    std::memset(keyboard->pressed, 0, sizeof keyboard->pressed);
    return true;
  }

  void close_keyboard_device(InputHandle device) override { unacquire_keyboard_device(device); }

 private:
  // Every event the watch sees comes from the video system's pump on the main thread.
  static int watch_event(void* self, SDL_Event* event) {
    static_cast<SdlInput*>(self)->watch(*event);
    return 0;
  }

  void watch(const SDL_Event& event) {
    switch (event.type) {
      case SDL_MOUSEBUTTONDOWN:
        pressed_buttons_ |= button_bit(event.button.button);
        if (mouse_.acquired) mouse_.pressed |= button_bit(event.button.button);
        break;
      case SDL_MOUSEMOTION:
        if (mouse_.acquired) {
          mouse_.dx += event.motion.xrel;
          mouse_.dy += event.motion.yrel;
        }
        break;
      case SDL_MOUSEWHEEL:
        if (mouse_.acquired) {
          int32_t steps = event.wheel.y;
          mouse_.wheel += event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -steps : steps;
        }
        break;
      case SDL_KEYDOWN: {
        int32_t code = sdl_key_code(event.key.keysym.scancode);
        if (code && keyboard_.acquired) keyboard_.pressed[code] = 1;
        break;
      }
      default: break;
    }
  }

  // True while the video system runs; (re)installs the watch, which SDL drops when it stops.
  bool input_ready() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
      watch_installed_ = false;
      return false;
    }
    if (!watch_installed_) {
      SDL_DelEventWatch(watch_event, this);
      SDL_AddEventWatch(watch_event, this);
      watch_installed_ = true;
    }
    return true;
  }

  // Lets SDL read what the windowing system has queued, so the watch sees it.
  bool pump_input() {
    if (!input_ready()) return false;
    SDL_PumpEvents();
    return true;
  }

  // Real-time cursor position in screen pixels and X button mask; false when not on X11.
  bool x11_pointer(int32_t& x, int32_t& y, unsigned int& mask) {
    if (!input_ready()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) return false;
    X11Pointer& p = x11_;
    if (!p.tried) {
      p.tried = true;
      void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
      if (!lib) return false;
      auto open_display = reinterpret_cast<X11Pointer::OpenDisplayFn>(dlsym(lib, "XOpenDisplay"));
      auto root = reinterpret_cast<X11Pointer::RootFn>(dlsym(lib, "XDefaultRootWindow"));
      p.query = reinterpret_cast<X11Pointer::QueryFn>(dlsym(lib, "XQueryPointer"));
      if (!open_display || !root || !p.query) return false;
      p.display = open_display(nullptr);  // a connection of its own, kept for the process
      if (p.display) p.root = root(p.display);
    }
    if (!p.display || !p.query) return false;
    // One poll asks for the position and then the buttons: a reading younger than a
    // millisecond answers both, saving the X server a round trip.
    double now = SDL_GetPerformanceCounter() * 1000.0 / SDL_GetPerformanceFrequency();
    if (p.read_at > 0 && now - p.read_at < 1.0) {
      x = p.x;
      y = p.y;
      mask = p.mask;
      return true;
    }
    unsigned long root_return = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    if (!p.query(p.display, p.root, &root_return, &child, &rx, &ry, &wx, &wy, &mask)) return false;
    x = p.x = rx;
    y = p.y = ry;
    p.mask = mask;
    p.read_at = now;
    return true;
  }

  // Held buttons as runtime bits (bit 0 left, 1 right, 2 middle).
  uint32_t held_buttons() {
    int32_t x = 0, y = 0;
    unsigned int mask = 0;
    if (x11_pointer(x, y, mask)) {
      constexpr unsigned int kLeft = 1u << 8, kMiddle = 1u << 9, kRight = 1u << 10;
      return ((mask & kLeft) ? 1u : 0u) | ((mask & kRight) ? 2u : 0u) | ((mask & kMiddle) ? 4u : 0u);
    }
    int gx = 0, gy = 0;
    Uint32 state = SDL_GetGlobalMouseState(&gx, &gy);
    return ((state & SDL_BUTTON_LMASK) ? 1u : 0u) | ((state & SDL_BUTTON_RMASK) ? 2u : 0u) |
           ((state & SDL_BUTTON_MMASK) ? 4u : 0u);
  }

  bool watch_installed_ = false;
  uint32_t pressed_buttons_ = 0;  // pressed since the previous mouse_buttons query
  MouseDevice mouse_;
  KeyboardDevice keyboard_;
  int system_token_ = 0;
  X11Pointer x11_;
};

}  // namespace

template <>
InputService& real_service<InputService>() {
  static InputService* backend = new SdlInput();
  return *backend;
}

int32_t sdl_key_code(int32_t sdl_scancode) {
  if (sdl_scancode <= 0 || sdl_scancode >= SDL_NUM_SCANCODES) return 0;
  return key_table().code[sdl_scancode];
}

}  // namespace qrn
