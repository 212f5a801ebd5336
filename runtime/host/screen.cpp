// Screen geometry commands (see screen.h). The device's set_viewport_raw (window.cpp) sends
// the result of place_viewport to OpenGL.
#include "host/screen.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/runtime_state.h"
#include "gfx/device.h"
#include "host/frame_loop.h"
#include "input/input_devices.h"

namespace qrn {

namespace {

bool turned_sideways(int32_t o) { return o == 1 || o == 3; }

// The image of the off-screen screen being drawn into, or null for the window.
const SpriteSlot* target_offscreen(OpenGLZodidoze& device) {
  int32_t target = g_runtime.target_screen;
  if (target < 0 || target >= OFFSCREEN_COUNT || device.offscreen[target].width == 0) return nullptr;
  return device.sprite_slot(device.offscreen[target].sprite);
}

}  // namespace

float step_virtual_scale(double f) {
  if (f >= 10.0) return static_cast<float>(std::floor(f));
  if (f >= 8.0) return 8.0f;
  if (f >= 4.0) return 4.0f;
  if (f >= 3.0) return 3.0f;
  if (f >= 2.0) return 2.0f;
  if (f >= 1.5) return 1.5f;
  return 1.0f;
}

// The rectangle's corner (x, y) lands on a window pixel; its extents turn with it, and a
// negative extent moves the corner to the other side (by extent + 1).
ViewportPlacement place_viewport(int32_t o, int32_t window_width, int32_t window_height, int32_t x, int32_t y,
                                 int32_t w, int32_t h) {
  ViewportPlacement p;
  p.ortho_width = w;
  p.ortho_height = h;
  int32_t left = x, top = y, across = w, down = h;
  switch (o) {
    case 1: left = window_width - 1 - y; top = x; across = -h; down = w; break;
    case 2: left = window_width - 1 - x; top = window_height - 1 - y; across = -w; down = -h; break;
    case 3: left = y; top = window_height - 1 - x; across = h; down = -w; break;
    default: break;
  }
  if (across < 0) {
    left += across + 1;
    across = -across;
  }
  if (down < 0) {
    top += down + 1;
    down = -down;
  }
  p.left = left;
  p.top = top;
  p.width = across;
  p.height = down;
  p.gl_y = window_height - top - down;
  return p;
}

void set_screen_size(int32_t width, int32_t height, int32_t full) {
  RuntimeState& rt = g_runtime;
  rt.screen_width = width;
  rt.screen_height = height;
  rt.full_screen = full;
  OpenGLZodidoze* device = rt.device;
  if (!device) return;
  if (width) g_runtime.window_width = width;
  if (height) g_runtime.window_height = height;
  device->enter_window_mode();
  if (full) device->enter_full_screen();
  rebind_window_users();
  // Five frames clear every buffer of the window. They are shown at once, not paced: the
  // program's first frame need not wait out five frame periods.
  for (int frame = 0; frame < 5; ++frame) {
    show_screen_unpaced();
    reset_draw_state();
  }
}

void rebind_window_users() {
  RuntimeState& rt = g_runtime;
  if (!rt.device) return;
  if (rt.input) set_pointer_mode(rt.input->system_pointer);
  if (rt.hooks.rebind_sound) rt.hooks.rebind_sound();
}

int32_t is_full_screen() { return g_runtime.device && g_runtime.device->full_screen_active ? 1 : 0; }

WindowHandle get_window_handle() { return g_runtime.window_handle; }

void get_desktop_size(int32_t& width, int32_t& height) {
  width = g_runtime.desktop_width;
  height = g_runtime.desktop_height;
}

void get_desktop_size(double& width, double& height) {
  width = g_runtime.desktop_width;
  height = g_runtime.desktop_height;
}

void get_screen_size(int32_t& width, int32_t& height) {
  width = height = 0;
  OpenGLZodidoze* device = g_runtime.device;
  if (!device) return;
  if (const SpriteSlot* screen = target_offscreen(*device)) {
    width = screen->width;
    height = screen->height;
    return;
  }
  width = device->virtual_width ? device->virtual_width : g_runtime.window_width;
  height = device->virtual_height ? device->virtual_height : g_runtime.window_height;
  if (turned_sideways(g_runtime.orientation)) std::swap(width, height);
}

void get_screen_size(double& width, double& height) {
  int32_t w = 0, h = 0;
  get_screen_size(w, h);
  width = w;
  height = h;
}

void set_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  RuntimeState& rt = g_runtime;
  OpenGLZodidoze* device = rt.device;
  if (!device) return;
  float scale = 1.0f;
  if (rt.virtual_scale != 0.0f && rt.target_screen == -1) {
    if (width < 1 || height < 1) {
      x = y = 0;
      width = rt.virtual_screen_width;
      height = rt.virtual_screen_height;
    }
    scale = rt.virtual_scale;
    x = rt.virtual_offset_x + static_cast<int32_t>(scale * static_cast<float>(x));
    y = rt.virtual_offset_y + static_cast<int32_t>(scale * static_cast<float>(y));
    width = static_cast<int32_t>(scale * static_cast<float>(width));
    height = static_cast<int32_t>(scale * static_cast<float>(height));
  }
  if (rt.hooks.engine_viewport) rt.hooks.engine_viewport(x, y, width, height);
  device->set_viewport_raw(x, y, width, height, scale);
}

void get_viewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  double dx = 0, dy = 0, dw = 0, dh = 0;
  get_viewport(dx, dy, dw, dh);
  x = static_cast<int32_t>(dx);
  y = static_cast<int32_t>(dy);
  width = static_cast<int32_t>(dw);
  height = static_cast<int32_t>(dh);
}

void get_viewport(double& x, double& y, double& width, double& height) {
  const RuntimeState& rt = g_runtime;
  x = y = width = height = 0;
  const OpenGLZodidoze* device = rt.device;
  if (!device) return;
  x = device->viewport_x;
  y = device->viewport_y;
  width = device->viewport_width;
  height = device->viewport_height;
  if (rt.virtual_scale != 0.0f && rt.target_screen == -1) {
    double scale = rt.virtual_scale;
    x = (x - rt.virtual_offset_x) / scale;
    y = (y - rt.virtual_offset_y) / scale;
    width /= scale;
    height /= scale;
  }
}

void set_orientation(int32_t orientation) {
  OpenGLZodidoze* device = g_runtime.device;
  if (!device) return;
  g_runtime.orientation = orientation < 0 ? 0 : (orientation > 3 ? 3 : orientation);
  set_viewport(0, 0, 0, 0);
}

int32_t get_orientation() { return g_runtime.device ? g_runtime.orientation : 0; }

void set_virtual_resolution(double width, double height) {
  RuntimeState& rt = g_runtime;
  OpenGLZodidoze* device = rt.device;
  if (!device) return;
  if (width > 0 && height > 0) {
    rt.virtual_scale = 0.0f;
    rt.target_screen = -1;
    device->end_offscreen();
    // The logical screen is fitted into the window itself (not into an earlier logical
    // screen), so setting the same resolution twice gives the same result.
    double surface_w = g_runtime.window_width, surface_h = g_runtime.window_height;
    if (g_runtime.current_offscreen >= 0 && g_runtime.current_offscreen < OFFSCREEN_COUNT) {
      surface_w = device->offscreen[g_runtime.current_offscreen].width;
      surface_h = device->offscreen[g_runtime.current_offscreen].height;
    } else if (turned_sideways(g_runtime.orientation)) {
      std::swap(surface_w, surface_h);
    }
    double factor = std::min(surface_w / width, surface_h / height);
    float scale = step_virtual_scale(factor);
    rt.virtual_scale = scale;
    rt.virtual_offset_x = static_cast<int32_t>((surface_w - width * scale) * 0.5);
    rt.virtual_offset_y = static_cast<int32_t>((surface_h - height * scale) * 0.5);
    rt.virtual_screen_width = static_cast<int32_t>(width);
    rt.virtual_screen_height = static_cast<int32_t>(height);
    device->virtual_width = static_cast<int32_t>(width);
    device->virtual_height = static_cast<int32_t>(height);
  } else {
    // Switching the logical screen off also ends its scaling; drawing maps 1:1 again.
    device->virtual_width = 0;
    device->virtual_height = 0;
    rt.virtual_scale = 0.0f;
    rt.virtual_offset_x = rt.virtual_offset_y = 0;
  }
  if (rt.virtual_scale != 0.0f && rt.target_screen == -1) {
    set_viewport(0, 0, 0, 0);
  } else {
    device->set_viewport_raw(0, 0, 0, 0, 1.0f);
  }
}

}  // namespace qrn
