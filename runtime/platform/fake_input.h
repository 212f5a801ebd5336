// Scripted input service for tests: a cursor, mouse buttons, a mouse device and a keyboard
// device whose states a test sets, with what the runtime asked of them recorded.
#pragma once

#include <utility>
#include <vector>

#include "platform/input.h"

namespace qrn {

class FakeInput : public InputService {
 public:
  // Scripted
  bool pointer_messages = false;       // prefers_pointer_messages
  int32_t cursor_x = 0, cursor_y = 0;  // screen pixels; set_cursor_position moves it
  uint32_t buttons = 0;       // held mouse buttons (bit 0 left, 1 right, 2 middle)
  uint32_t clicks = 0;        // pressed since the last query; mouse_buttons clears them
  bool input_system = true;         // open_input_system succeeds
  bool keyboard_available = true;   // open_keyboard_device succeeds
  bool mouse_available = true;      // open_mouse_device succeeds
  bool mouse_acquire_fails = false;
  bool keyboard_acquire_fails = false;
  MouseDeviceState mouse_motion;     // what the next device read returns (then cleared)
  uint8_t keys[256] = {};            // keyboard device: non-zero while held, by scan code
  bool virtual_keys[256] = {};       // held keys by virtual-key code
  // Which window has the focus, for acquiring (a FakePlatform points it at its video's).
  const WindowHandle* focus = &own_focus;
  WindowHandle own_focus = nullptr;

  // Recorded
  std::vector<std::pair<int32_t, int32_t>> cursor_moves;  // every set_cursor_position
  int32_t cursor_shown = -1;  // last show_cursor: 1 shown, 0 hidden, -1 never called
  bool mouse_acquired = false;
  MouseCooperation mouse_level = MouseCooperation::shared;  // of the last successful acquire
  int32_t mouse_acquire_calls = 0;
  bool keyboard_acquired = false;
  int32_t keyboard_reads = 0;

  bool prefers_pointer_messages() override { return pointer_messages; }
  void cursor_position(int32_t& x, int32_t& y) override {
    x = cursor_x;
    y = cursor_y;
  }
  void set_cursor_position(int32_t x, int32_t y) override {
    cursor_moves.emplace_back(x, y);
    cursor_x = x;
    cursor_y = y;
  }
  void show_cursor(bool shown) override { cursor_shown = shown ? 1 : 0; }
  uint32_t mouse_buttons() override {
    uint32_t bits = buttons | clicks;
    clicks = 0;
    return bits;
  }
  InputHandle open_input_system() override { return input_system ? &input_system : nullptr; }
  InputHandle open_mouse_device(InputHandle system) override {
    return system && mouse_available ? &mouse_acquired : nullptr;
  }
  bool acquire_mouse_device(InputHandle device, WindowHandle window, MouseCooperation cooperation) override {
    ++mouse_acquire_calls;
    if (!device || mouse_acquire_fails || !window || window != *focus) return false;
    mouse_acquired = true;
    mouse_level = cooperation;
    return true;
  }
  void unacquire_mouse_device(InputHandle) override { mouse_acquired = false; }
  bool read_mouse_device(InputHandle device, MouseDeviceState& state) override {
    if (!device || !mouse_acquired) return false;
    state = mouse_motion;
    mouse_motion = MouseDeviceState();
    return true;
  }
  InputHandle open_keyboard_device(InputHandle system) override {
    return system && keyboard_available ? &keyboard_acquired : nullptr;
  }
  bool acquire_keyboard_device(InputHandle device, WindowHandle window) override {
    if (!device || keyboard_acquire_fails || !window || window != *focus) return false;
    keyboard_acquired = true;
    return true;
  }
  void unacquire_keyboard_device(InputHandle) override { keyboard_acquired = false; }
  bool read_keyboard_device(InputHandle device, uint8_t snapshot[256]) override {
    ++keyboard_reads;
    if (!device || !keyboard_acquired) return false;
    for (int32_t code = 0; code < 256; ++code) snapshot[code] = keys[code] ? 0x80 : 0;
    return true;
  }
  bool virtual_key_state(int32_t virtual_key) override {
    return virtual_key >= 0 && virtual_key < 256 && virtual_keys[virtual_key];
  }
};

}  // namespace qrn
