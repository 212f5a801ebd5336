// Pointer polling: the pointer mode, the three reading paths (pointer messages, the platform
// cursor, a relative-motion mouse device), per-frame motion, the transform into program
// coordinates, and the touch slots fed by the window's pointer messages.
#include <cstdio>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "core/screen_points.h"
#include "input/input_devices.h"
#include "input/keyboard.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

// The screen point the cursor is parked at while the hidden pointer is read from the cursor.
constexpr int32_t PARK_X = 200;
constexpr int32_t PARK_Y = 200;

int32_t clamp_to(int64_t value, int32_t high) {
  if (value < 0) return 0;
  if (high < 0) high = 0;
  return value > high ? high : static_cast<int32_t>(value);
}

// Window-relative cursor position.
void cursor_in_client(int32_t& x, int32_t& y) {
  int32_t cx = 0, cy = 0;
  os_input().cursor_position(cx, cy);
  ScreenRect client = os_video().window_client_rect(g_runtime.window_handle);
  x = cx - client.x;
  y = cy - client.y;
}

// Positions stay within the window's outer size, both ends included.
void clamp_to_window(int64_t x, int64_t y, int32_t& out_x, int32_t& out_y) {
  ScreenRect outer = os_video().window_outer_rect(g_runtime.window_handle);
  out_x = clamp_to(x, outer.width);
  out_y = clamp_to(y, outer.height);
}

uint32_t read_touch_slot(const InputDevices& input, int32_t& x, int32_t& y) {
  int32_t index = input.current_pointer;
  if (index < 0 || index >= TOUCH_SLOT_COUNT) index = 0;
  const TouchSlot& slot = g_runtime.touch_slots[index];
  x = slot.x;
  y = slot.y;
  return slot.down ? 1u : 0u;
}

uint32_t read_platform_cursor(const InputDevices& input, int32_t& x, int32_t& y) {
  int64_t nx = x, ny = y;
  if (input.system_pointer) {
    int32_t cx = 0, cy = 0;
    cursor_in_client(cx, cy);
    nx = cx;
    ny = cy;
  } else {
    int32_t cx = 0, cy = 0;
    os_input().cursor_position(cx, cy);
    os_input().set_cursor_position(PARK_X, PARK_Y);
    nx += static_cast<int64_t>(cx) - PARK_X;
    ny += static_cast<int64_t>(cy) - PARK_Y;
  }
  uint32_t bits = os_input().mouse_buttons() & 7u;
  clamp_to_window(nx, ny, x, y);
  return bits;
}

uint32_t read_mouse_device(InputDevices& input, int32_t& x, int32_t& y, int32_t& wheel_step) {
  MouseDeviceState state;
  if (!os_input().read_mouse_device(input.mouse_device, state)) {
    if (!acquire_mouse(input)) {
      // Lost and not back yet: bind again and report nothing for this poll.
      acquire_mouse(input);
      return 0;
    }
    if (!os_input().read_mouse_device(input.mouse_device, state)) {
      clamp_to_window(x, y, x, y);
      return 0;
    }
  }
  wheel_step = state.wheel > 0 ? 1 : (state.wheel < 0 ? -1 : 0);
  int64_t nx = x, ny = y;
  if (!input.system_pointer) {
    nx += state.dx;
    ny += state.dy;
  } else {
    int32_t cx = 0, cy = 0;
    cursor_in_client(cx, cy);
    nx = cx;
    ny = cy;
  }
  uint32_t bits = 0;
  for (uint32_t b = 0; b < 3; ++b) {
    if (state.buttons[b]) bits |= 1u << b;
  }
  clamp_to_window(nx, ny, x, y);
  return bits;
}

// Window size and orientation of the device (zero without a device).
struct Geometry {
  int32_t width = 0, height = 0, orientation = 0;
};

Geometry geometry() {
  Geometry g;
  if (g_runtime.device) {
    g.width = g_runtime.window_width;
    g.height = g_runtime.window_height;
    g.orientation = g_runtime.orientation;
  }
  return g;
}

}  // namespace

int32_t pointer_mode() {
  RuntimeState& rt = g_runtime;
  if (rt.pointer_mode < 0) {
    int32_t major = 0, minor = 0;
    os_process().os_version(major, minor);
    char line[64];
    std::snprintf(line, sizeof line, "Win: %d, %d\n", major, minor);
    log_write(line);
    rt.pointer_mode = os_input().prefers_pointer_messages() ? 1 : 0;
  }
  return rt.pointer_mode;
}

int32_t pointer_count() { return pointer_mode() == 1 ? TOUCH_SLOT_COUNT : 1; }

PointerRecord* current_pointer_record(InputDevices& input) {
  if (input.current_pointer < 0 || input.current_pointer >= input.pointers.count) return nullptr;
  return &input.pointers.data[input.current_pointer];
}

uint32_t read_pointer_raw(int32_t& x, int32_t& y, int32_t& wheel_step) {
  InputDevices* input = g_runtime.input;
  if (!input) return 0;
  if (pointer_mode() == 1) return read_touch_slot(*input, x, y);
  if (!input->mouse_device) return read_platform_cursor(*input, x, y);
  return read_mouse_device(*input, x, y, wheel_step);
}

PointerState poll_pointer(bool reset) {
  PointerState state;
  InputDevices* input = g_runtime.input;
  PointerRecord* r = input ? current_pointer_record(*input) : nullptr;
  if (!r) return state;
  bool hidden = !input->system_pointer;
  int32_t x = hidden ? r->x : r->frame_x;
  int32_t y = hidden ? r->y : r->frame_y;
  int32_t wheel_step = 0;
  uint32_t bits = read_pointer_raw(x, y, wheel_step);
  if (hidden) {
    r->x = x;
    r->y = y;
  }
  state.button1 = (bits & 1u) ? 1 : 0;
  state.button2 = (bits & 2u) ? 1 : 0;
  state.button3 = (bits & 4u) ? 1 : 0;
  state.dx = static_cast<int16_t>(x - r->frame_x);
  state.dy = static_cast<int16_t>(y - r->frame_y);
  state.wheel = static_cast<int16_t>(r->wheel + wheel_step);
  if (reset) {
    r->x = r->frame_x = x;
    r->y = r->frame_y = y;
    r->wheel = 0;
  } else {
    r->wheel += wheel_step;
  }
  return state;
}

void poll_input_frame() {
  g_runtime.key_query_counter = 0;
  refresh_keys();
  InputDevices* input = g_runtime.input;
  if (!input) return;
  // The platform reports a press that came and went since its last query only once; the
  // frame's poll must not take it from the program.
  input->frame_poll_buttons = 0;
  for (int32_t i = 0, n = input->pointers.count; i < n; ++i) {
    PointerState state = poll_pointer(true);
    input->frame_poll_buttons |= (state.button1 ? 1u : 0u) | (state.button2 ? 2u : 0u) | (state.button3 ? 4u : 0u);
  }
}

bool any_mouse_button() {
  InputDevices* input = g_runtime.input;
  if (!input) return false;
  for (int32_t i = 0, n = input->pointers.count; i < n; ++i) poll_pointer(true);
  PointerState state = poll_pointer(false);
  return state.button1 || state.button2 || state.button3;
}

void read_mouse(int32_t& x, int32_t& y, int32_t& button1, int32_t& button2) {
  x = y = button1 = button2 = 0;
  InputDevices* input = g_runtime.input;
  if (!input) return;
  PointerState state = poll_pointer(true);
  uint32_t seen = input->frame_poll_buttons;
  input->frame_poll_buttons = 0;
  button1 = state.button1 || (seen & 1u) ? 1 : 0;
  button2 = state.button2 || (seen & 2u) ? 1 : 0;
  const PointerRecord* r = current_pointer_record(*input);
  if (!r) return;
  // The window pixel turned into program coordinates; a quarter turn swaps the edges.
  Geometry g = geometry();
  int32_t px = r->frame_x, py = r->frame_y;
  window_to_program_point(g.orientation, g.width, g.height, px, py);
  bool quarter = g.orientation == 1 || g.orientation == 3;
  int32_t max_x = quarter ? g.height : g.width;
  int32_t max_y = quarter ? g.width : g.height;
  x = clamp_to(px, max_x);
  y = clamp_to(py, max_y);
  // Back through the logical screen's scale; the border around it reads outside its size.
  const RuntimeState& rt = g_runtime;
  bool offscreen = rt.device && g_runtime.current_offscreen >= 0;
  if (!offscreen && rt.virtual_scale != 0.0f) {
    x = static_cast<int32_t>(static_cast<double>(x - rt.virtual_offset_x) / rt.virtual_scale);
    y = static_cast<int32_t>(static_cast<double>(y - rt.virtual_offset_y) / rt.virtual_scale);
  }
}

void read_mouse(double& x, double& y, double& button1, double& button2) {
  int32_t ix = 0, iy = 0, b1 = 0, b2 = 0;
  read_mouse(ix, iy, b1, b2);
  x = ix;
  y = iy;
  button1 = b1;
  button2 = b2;
}

int32_t read_mouse_axis(int32_t kind) {
  if (!g_runtime.input) return 0;
  PointerState state = poll_pointer(false);
  int32_t dx = state.dx, dy = state.dy;
  switch (geometry().orientation) {
    case 1:
      dx = state.dy;
      dy = -state.dx;
      break;
    case 2:
      dx = -state.dx;
      dy = -state.dy;
      break;
    case 3:
      dx = -state.dy;
      dy = state.dx;
      break;
    default:
      break;
  }
  switch (kind) {
    case 0: return dx;
    case 1: return dy;
    case 2: return state.wheel;
    case 3: return state.button1 || (g_runtime.input->frame_poll_buttons & 1u) ? 1 : 0;
    case 4: return state.button2 || (g_runtime.input->frame_poll_buttons & 2u) ? 1 : 0;
    case 5: return state.button3 || (g_runtime.input->frame_poll_buttons & 4u) ? 1 : 0;
    default: return 0;
  }
}

void set_mouse_position(int32_t x, int32_t y) {
  InputDevices* input = g_runtime.input;
  PointerRecord* r = input ? current_pointer_record(*input) : nullptr;
  if (!r) return;
  Geometry g = geometry();
  int32_t wx = x, wy = y;
  program_to_window_point(g.orientation, g.width, g.height, wx, wy);
  r->x = r->frame_x = wx;
  r->y = r->frame_y = wy;
}

void select_pointer(int32_t index) {
  InputDevices* input = g_runtime.input;
  if (!input) return;
  int32_t n = pointer_count();
  if (index < 0 || index >= n) index = 0;
  input->current_pointer = index;
  GrowableBuffer<PointerRecord>& pointers = input->pointers;
  if (index < pointers.count) return;
  if (!pointers.reserve(n)) return;
  for (int32_t i = pointers.count; i < n; ++i) pointers.data[i] = PointerRecord();
  pointers.count = n;
}

void handle_pointer_message(int32_t kind, uint32_t wparam) {
  RuntimeState& rt = g_runtime;
  int32_t id = static_cast<int32_t>(wparam & 0xFFFFu);
  int32_t sx = 0, sy = 0;
  if (id == 0 || !rt.get_pointer_touch_info || !rt.get_pointer_touch_info(id, sx, sy)) return;
  TouchSlot* slot = nullptr;
  for (TouchSlot& candidate : rt.touch_slots) {
    if (candidate.pointer_id == id) {
      slot = &candidate;
      break;
    }
  }
  if (!slot) {
    for (TouchSlot& candidate : rt.touch_slots) {
      if (candidate.pointer_id == 0) {
        slot = &candidate;
        break;
      }
    }
  }
  if (!slot) return;
  if (kind == WM_POINTERDOWN) {
    slot->down = 1;
    slot->pointer_id = id;
  } else if (kind == WM_POINTERUP) {
    slot->down = 0;
    slot->pointer_id = 0;
  }
  ScreenRect client = os_video().window_client_rect(rt.window_handle);
  slot->x = sx - client.x;
  slot->y = sy - client.y;
}

}  // namespace qrn
