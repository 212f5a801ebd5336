// Input service: the cursor, the mouse buttons (held, or pressed since the last query), a
// relative-motion mouse device, a keyboard device read as a snapshot by the runtime's key
// codes, and the key state by virtual-key code.
//
// A system may have no input devices, so this is an interface whose defaults mean "not
// available"; the real backend is SDL2 (sdl_input.cpp), the fake is fake_input.h.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/service.h"

namespace qrn {

// One read of a relative-motion mouse device.
struct MouseDeviceState {
  int32_t dx = 0, dy = 0;  // motion since the previous read
  int32_t wheel = 0;       // wheel movement since the previous read, positive away from the user
  uint8_t buttons[4] = {}; // non-zero: held, or pressed since the previous read
};

class InputService {
 public:
  virtual ~InputService() = default;

  // ---- Cursor and buttons ----------------------------------------------------------------
  // True when the window's pointer messages, rather than the mouse, are the pointer source.
  virtual bool prefers_pointer_messages() { return false; }
  // Cursor position in screen pixels.
  virtual void cursor_position(int32_t& x, int32_t& y) { x = y = 0; }
  virtual void set_cursor_position(int32_t /*x*/, int32_t /*y*/) {}
  // Shown: the standard arrow over the program's windows; hidden: no pointer.
  virtual void show_cursor(bool /*shown*/) {}
  // Button bits (bit 0 left, 1 right, 2 middle): held now, or pressed since the last query.
  virtual uint32_t mouse_buttons() { return 0; }

  // ---- Devices ---------------------------------------------------------------------------
  // The input-device system through which the devices below are opened; null when none.
  virtual InputHandle open_input_system() { return nullptr; }
  virtual void close_input_system(InputHandle /*system*/) {}
  // A mouse read as relative motion; null when there is none.
  virtual InputHandle open_mouse_device(InputHandle /*system*/) { return nullptr; }
  // Binds the device to the window and starts reading. Only the focused window can acquire.
  virtual bool acquire_mouse_device(InputHandle /*device*/, WindowHandle /*window*/, MouseCooperation) {
    return false;
  }
  virtual void unacquire_mouse_device(InputHandle /*device*/) {}
  // False when the device is not acquired (or lost it with the focus).
  virtual bool read_mouse_device(InputHandle /*device*/, MouseDeviceState& /*state*/) { return false; }
  virtual void close_mouse_device(InputHandle /*device*/) {}
  // A keyboard read as a snapshot of 256 bytes by scan code (the runtime's numbering).
  virtual InputHandle open_keyboard_device(InputHandle /*system*/) { return nullptr; }
  virtual bool acquire_keyboard_device(InputHandle /*device*/, WindowHandle /*window*/) { return false; }
  virtual void unacquire_keyboard_device(InputHandle /*device*/) {}
  // Processes pending input, then sets bit 7 of every key held or pressed since the previous
  // read and clears the others. False (snapshot untouched) when the device is not acquired.
  virtual bool read_keyboard_device(InputHandle /*device*/, uint8_t /*snapshot*/[256]) { return false; }
  virtual void close_keyboard_device(InputHandle /*device*/) {}

  // ---- Keys without a device ------------------------------------------------------------
  // Key state by virtual-key code: held now, or pressed since the last query of that key.
  virtual bool virtual_key_state(int32_t /*virtual_key*/) { return false; }
  // The 256 virtual keys at once, bit 7 set while held.
  virtual void keyboard_state(uint8_t state[256]) {
    for (int32_t key = 0; key < 256; ++key) state[key] = virtual_key_state(key) ? 0x80 : 0;
  }
};

inline InputService& os_input() { return service<InputService>(); }

// The runtime's key code (the keyboard's set-1 scan code, extended keys at 128 and above) of
// an SDL scan code; 0 when the key has none.
int32_t sdl_key_code(int32_t sdl_scancode);

}  // namespace qrn
