// The input object: its creation, the opening of keyboard, mouse and joysticks for the window,
// the pointer-mode switch and the release at shutdown. Polling is in pointer.cpp, the keyboard
// in keyboard.cpp.
#include "input/input_devices.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "input/joysticks.h"
#include "input/keyboard.h"
#include "platform/input.h"
#include "platform/video.h"

namespace qrn {

template <typename T>
bool GrowableBuffer<T>::reserve(int32_t needed) {
  if (needed <= capacity) return true;
  int32_t grown = min_capacity >= needed ? min_capacity : growth_step * (needed / growth_step + 1);
  T* block = static_cast<T*>(std::malloc(sizeof(T) * static_cast<size_t>(grown)));
  if (!block) {
    release();
    return false;
  }
  if (data && count > 0) std::memcpy(block, data, sizeof(T) * static_cast<size_t>(count));
  std::free(data);
  data = block;
  capacity = grown;
  return true;
}

template <typename T>
void GrowableBuffer<T>::release() {
  std::free(data);
  data = nullptr;
  count = 0;
  capacity = 0;
}

template struct GrowableBuffer<int8_t>;
template struct GrowableBuffer<PointerRecord>;

InputDevices* create_input() {
  InputDevices* input = new InputDevices();
  if (input->pointers.reserve(4)) {
    input->pointers.data[0] = PointerRecord();
    input->pointers.count = 1;
  }
  return input;
}

bool acquire_mouse(InputDevices& input) {
  return os_input().acquire_mouse_device(input.mouse_device, g_runtime.window_handle,
                                         static_cast<MouseCooperation>(input.mouse_cooperation));
}

void unacquire_mouse() {
  InputDevices* input = g_runtime.input;
  if (input && input->mouse_device) os_input().unacquire_mouse_device(input->mouse_device);
}

namespace {

// Shows the arrow; coming from the hidden pointer, the cursor first goes where the hidden
// position was, so the pointer does not jump.
void show_pointer(InputDevices& input) {
  PointerRecord* record = current_pointer_record(input);
  if (!input.system_pointer && record) {
    ScreenRect client = os_video().window_client_rect(g_runtime.window_handle);
    os_input().set_cursor_position(client.x + record->frame_x, client.y + record->frame_y);
  }
  os_input().show_cursor(true);
  input.system_pointer = 1;
}

void open_keyboard(InputDevices& input) {
  input.keyboard_device = os_input().open_keyboard_device(input.directinput);
  if (input.keyboard_device && !os_input().acquire_keyboard_device(input.keyboard_device, g_runtime.window_handle)) {
    log_write("can't aquire keyboard - first try\n");
  }
  build_key_map(input);
}

// The exclusive mouse: read as relative motion with the pointer captured and hidden.
uint32_t open_exclusive_mouse(InputDevices& input) {
  input.mouse_device = os_input().open_mouse_device(input.directinput);
  bool acquired = false;
  if (input.mouse_device) {
    input.mouse_cooperation = MOUSE_EXCLUSIVE;
    acquired = acquire_mouse(input);
    if (!acquired) log_write("can't aquire mouse - first try\n");
  }
  if (acquired) return INPUT_OPEN_OK;
  log_write("No DX_Mouse\n");
  return INPUT_NO_MOUSE;
}

}  // namespace

uint32_t open_input_devices(WindowHandle /*window*/, ModuleHandle /*module*/, int32_t exclusive_mouse) {
  InputDevices* input = g_runtime.input;
  if (!input) return INPUT_NO_SYSTEM;
  uint32_t result = INPUT_OPEN_OK;
  input->current_pointer = 0;
  input->directinput = os_input().open_input_system();
  if (!input->directinput) {
    log_write("No DX_Input\n");
    result = INPUT_NO_SYSTEM;
  }

  if (PointerRecord* record = current_pointer_record(*input)) {
    int32_t cx = 0, cy = 0;
    os_input().cursor_position(cx, cy);
    ScreenRect client = os_video().window_client_rect(g_runtime.window_handle);
    record->x = record->frame_x = cx - client.x;
    record->y = record->frame_y = cy - client.y;
  }
  std::memset(input->key_snapshot, 0, sizeof input->key_snapshot);

  if (!input->directinput) {
    enumerate_joysticks(*input, true);
    build_key_map(*input);
    return result;
  }
  open_keyboard(*input);

  input->system_pointer = 0;
  if (!exclusive_mouse) {
    show_pointer(*input);
  } else {
    result = open_exclusive_mouse(*input);
  }
  enumerate_joysticks(*input, false);
  return result;
}

void set_pointer_mode(int32_t on) {
  InputDevices* input = g_runtime.input;
  if (!input) return;
  if (input->mouse_device) {
    os_input().unacquire_mouse_device(input->mouse_device);
    input->mouse_cooperation = on ? MOUSE_SHARED : MOUSE_EXCLUSIVE;
    acquire_mouse(*input);
  }
  if (on) {
    show_pointer(*input);
  } else {
    os_input().show_cursor(false);
    input->system_pointer = 0;
  }
}

void show_system_pointer(double on) { set_pointer_mode(on != 0.0 ? 1 : 0); }

void release_input() {
  InputDevices* input = g_runtime.input;
  if (!input) return;
  set_pointer_mode(1);
  if (input->mouse_device) {
    os_input().unacquire_mouse_device(input->mouse_device);
    os_input().close_mouse_device(input->mouse_device);
    input->mouse_device = nullptr;
  }
  if (input->keyboard_device) {
    os_input().unacquire_keyboard_device(input->keyboard_device);
    os_input().close_keyboard_device(input->keyboard_device);
    input->keyboard_device = nullptr;
  }
  release_joysticks(*input);
  if (input->directinput) os_input().close_input_system(input->directinput);
  input->directinput = nullptr;
  input->pointers.release();
  input->typed_chars.release();
  delete input;
  g_runtime.input = nullptr;
}

}  // namespace qrn
