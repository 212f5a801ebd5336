// Mouse and pointer state: the process-wide input object, pointer polling, the system pointer
// and touch pointers. The keyboard (keyboard.h) and the joysticks live in the same object.
// Devices come through the platform layer; nothing here talks to the operating system.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace qrn {

// A growable block of plain elements. Shared growth rule: when more elements are needed than
// the capacity holds, the new capacity is min_capacity if that suffices, otherwise
// growth_step * (needed / growth_step + 1). A failed allocation empties the block.
template <typename T>
struct GrowableBuffer {
  T* data = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
  int32_t growth_step;
  int32_t min_capacity;

  GrowableBuffer(int32_t step, int32_t minimum) : growth_step(step), min_capacity(minimum) {}
  // Makes room for needed elements; false (and the block emptied) when memory runs out.
  bool reserve(int32_t needed);
  void release();
};

// One pointer: the current position and the position and wheel at the last resetting poll.
struct PointerRecord {
  int32_t x = 0, y = 0;  // current position; in hidden mode the accumulated position
  int32_t frame_x = 100, frame_y = 100;
  int32_t wheel = 0;
};

// The result of one poll of the current pointer.
struct PointerState {
  int16_t button1 = 0, button2 = 0, button3 = 0;  // 0 or 1
  int16_t dx = 0, dy = 0;                         // motion since the last resetting poll
  int16_t wheel = 0;                              // wheel steps since the last resetting poll
};

constexpr int32_t JOYSTICK_COUNT = 10;
constexpr int32_t JOYSTICK_NAME_SIZE = 522;
constexpr int32_t TYPED_CHAR_LIMIT = 16;

// Mouse cooperation levels: exclusive (pointer hidden, relative motion) or shared.
constexpr int32_t MOUSE_EXCLUSIVE = static_cast<int32_t>(MouseCooperation::exclusive);
constexpr int32_t MOUSE_SHARED = static_cast<int32_t>(MouseCooperation::shared);

// Results of open_input_devices.
constexpr uint32_t INPUT_OPEN_OK = 1;
constexpr uint32_t INPUT_NO_SYSTEM = 0x8000000A;
constexpr uint32_t INPUT_NO_MOUSE = 0x8000000C;

// Pointer message kinds the window procedure hands to handle_pointer_message.
constexpr int32_t WM_POINTERUPDATE = 0x0245;
constexpr int32_t WM_POINTERDOWN = 0x0246;
constexpr int32_t WM_POINTERUP = 0x0247;

struct InputDevices {
  GrowableBuffer<int8_t> typed_chars{128, 512};       // typed-character queue, oldest first
  GrowableBuffer<PointerRecord> pointers{1, 4};       // one record per pointer
  int32_t current_pointer = 0;                        // index of the selected pointer
  InputHandle directinput = nullptr;                  // the input-device system
  InputHandle keyboard_device = nullptr;
  InputHandle mouse_device = nullptr;                 // opened only for an exclusive mouse
  InputHandle joystick_devices[JOYSTICK_COUNT] = {};
  char joystick_names[JOYSTICK_COUNT][JOYSTICK_NAME_SIZE] = {};
  uint8_t key_snapshot[256] = {};                     // bit 7: key down
  uint8_t system_pointer = 0;  // 1: pointer shown, absolute positions; 0: hidden, relative
  int32_t mouse_cooperation = 0;                      // level last given to mouse_device
  int32_t joystick_count = 0;
  uint16_t key_map[256] = {};  // platform key code by scan code (identity with a keyboard device)
  // Buttons the frame's poll saw down: a quick click that only that poll caught still
  // reaches the program's next read_mouse (bit 0 first button).
  uint32_t frame_poll_buttons = 0;
};

// ---- Operations used by start-up, the frame loop and the window procedure ------------------
// Builds the input object (count 1 pointer with the initial record, empty queue).
InputDevices* create_input();
// Opens keyboard, mouse and joysticks for window, which is the main window
// (RuntimeState::window_handle, where the devices find it again); result code
// (INPUT_OPEN_OK, INPUT_NO_SYSTEM or INPUT_NO_MOUSE).
uint32_t open_input_devices(WindowHandle window, ModuleHandle module, int32_t exclusive_mouse);
// Releases the devices and frees the input object in RuntimeState::input.
void release_input();
// Binds the mouse device to the input window at its cooperation level; false when refused.
bool acquire_mouse(InputDevices& input);
// Lets go of the mouse device (a debugger gets the mouse); the next poll acquires it again.
void unacquire_mouse();
// Shows the system pointer with absolute positions (on) or hides it and reads relative motion.
void set_pointer_mode(int32_t on);
// Reads the current pointer: new position through x and y, button bits as the result
// (bit 0 first button), wheel_step -1, 0 or 1.
uint32_t read_pointer_raw(int32_t& x, int32_t& y, int32_t& wheel_step);
// Polls the current pointer; with reset, its frame position and wheel start again.
PointerState poll_pointer(bool reset);
// Once per frame: resets the key-query counter, refreshes keys, polls the pointers.
void poll_input_frame();
// True when any of the three mouse buttons is down.
bool any_mouse_button();
// A pointer message (WM_POINTERUPDATE, WM_POINTERDOWN, WM_POINTERUP) from the window
// procedure; the low 16 bits of wparam carry the pointer id.
void handle_pointer_message(int32_t kind, uint32_t wparam);
// 0 mouse mode, 1 pointer-message mode; chosen on first use and never changed.
int32_t pointer_mode();
// The selected pointer's record; null when the pointer table has none at that index.
PointerRecord* current_pointer_record(InputDevices& input);

// ---- Commands ------------------------------------------------------------------------------
// Position of the current pointer in program coordinates and its first two buttons.
void read_mouse(int32_t& x, int32_t& y, int32_t& button1, int32_t& button2);
void read_mouse(double& x, double& y, double& button1, double& button2);
// Kind 0 motion x, 1 motion y, 2 wheel steps, 3..5 buttons 1..3; any other kind 0.
int32_t read_mouse_axis(int32_t kind);
void show_system_pointer(double on);
// Places the current pointer at a point in program coordinates (the cursor is not moved).
void set_mouse_position(int32_t x, int32_t y);
// 32 in pointer-message mode, else 1.
int32_t pointer_count();
void select_pointer(int32_t index);

}  // namespace qrn
