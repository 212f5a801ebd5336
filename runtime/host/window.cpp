// The device's window and GL context: creation with its log lines, the one-time
// software-renderer warning, window and full-screen mode, hiding and release, the 2D state
// and the projection behind every viewport.
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/clocks.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/texture_persistence_internal.h"
#include "host/frame_loop.h"
#include "host/gl_extensions.h"
#include "host/screen.h"
#include "host/software_warning.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

constexpr int32_t kDefaultSamples = 4;  // the multisample count asked for first

std::string gl_text(GLenum name) {
  const GLubyte* text = glGetString(name);
  return text ? reinterpret_cast<const char*>(text) : "";
}

void log_line(const char* format, const char* text) {
  std::string line(std::strlen(format) + std::strlen(text) + 16, '\0');
  int n = std::snprintf(&line[0], line.size(), format, text);
  line.resize(n > 0 ? static_cast<size_t>(n) : 0);
  log_write(line.c_str());
}

WindowRequest window_request(int32_t width, int32_t height, int32_t depth, int32_t samples) {
  WindowRequest request;
  request.width = width;
  request.height = height;
  request.colour_bits = depth > 24 ? 24 : depth;
  request.alpha_bits = 8;
  request.depth_bits = 24;
  request.stencil_bits = 8;
  request.samples = samples;
  request.title = "Quarnel";
  return request;
}

}  // namespace

bool OpenGLZodidoze::create_window(ModuleHandle module_handle, int32_t w, int32_t h, int32_t depth, int32_t fps,
                                   int32_t multisample_request) {
  RuntimeState& rt = g_runtime;
  if (gl_extensions().swap_control) os_video().set_swap_interval(0);
  frame_interval_ms = fps > 0 ? 1000.0 / fps : 2.0;

  module = module_handle;
  multisample = multisample_request;
  log_write("WIN32 init video\n");
  if (!os_video().video_init()) return false;
  ScreenRect desktop = os_video().display_bounds();
  rt.desktop_width = desktop.width;
  rt.desktop_height = desktop.height;

  // Window, pixel format and context come in one step from the platform.
  if (depth == 0) depth = os_video().display_bits_per_pixel();
  rt.window_handle = os_video().create_window(window_request(w, h, depth, 0));
  if (!rt.window_handle) return false;
  ScreenRect client = os_video().window_client_rect(rt.window_handle);
  rt.window_width = w ? w : client.width;
  rt.window_height = h ? h : client.height;
  colour_depth = depth;
  full_screen_active = 0;

  // Multisampling: ask for a real sample count and halve it until a format is found.
  if (multisample) {
    for (int32_t samples = multisample > 1 ? multisample : kDefaultSamples; samples > 0; samples /= 2) {
      WindowHandle sampled = os_video().create_window(window_request(rt.window_width, rt.window_height, depth, samples));
      if (!sampled) continue;
      int32_t keep_width = rt.window_width, keep_height = rt.window_height;
      release_window();
      rt.window_handle = sampled;
      rt.window_width = keep_width;
      rt.window_height = keep_height;
      break;
    }
  }
  gl_context = os_video().current_gl_context();

  warn_if_software_renderer(gl_text(GL_RENDERER));

  flush_drawing();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  virtual_width = 0;
  virtual_height = 0;
  log_write("get accurate timer - 1st call\n");
  next_frame_ms = timer_ms();
  log_write("flip - 1st call\n");
  present_device_frame(*this, nullptr);

  std::string extensions = gl_text(GL_EXTENSIONS);
  load_gl_extensions(extensions);
  bgra_supported = extensions.find("_texture_format_BGRA8888") != std::string::npos ||
                   extensions.find("GL_EXT_bgra") != std::string::npos;
  if (bgra_supported) {
    log_write("BGRA ext supported\n");
  } else {
    log_line("BGRA ext NOT supported\n%s\n", extensions.c_str());
  }
  GLint max_texture = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
  char line[64];
  std::snprintf(line, sizeof line, "Texture size limit: %d\n", max_texture);
  log_write(line);
  log_write("init fbo\n");
  init_framebuffers();

  os_video().show_window(rt.window_handle, false);
  log_write("2D VP\n");
  setup_2d();
  log_write("DIDU init [OK]\n");
  return true;
}

bool OpenGLZodidoze::enter_window_mode() {
  RuntimeState& rt = g_runtime;
  if (full_screen_active) {
    os_video().set_window_fullscreen(rt.window_handle, false);
    os_process().sleep_ms(500);
  }
  if (rt.window_handle) {
    os_video().set_window_decorated(rt.window_handle, true);
    os_video().set_window_size(rt.window_handle, rt.window_width, rt.window_height);
    os_video().show_window(rt.window_handle, true);
    // The frame's size is known once the rt.window_handle is shown; centre the whole outer rt.window_handle
    // in the work area.
    ScreenRect work = os_video().display_usable_bounds();
    ScreenRect client = os_video().window_client_rect(rt.window_handle);
    ScreenRect outer = os_video().window_outer_rect(rt.window_handle);
    int32_t frame_left = client.x - outer.x, frame_top = client.y - outer.y;
    int32_t outer_width = rt.window_width + (outer.width - client.width);
    int32_t outer_height = rt.window_height + (outer.height - client.height);
    int32_t left = work.x + (work.width - outer_width) / 2;
    int32_t top = work.y + (work.height - outer_height) / 2;
    os_video().set_window_position(rt.window_handle, left + frame_left, top + frame_top);
    os_video().raise_window(rt.window_handle);
  }
  set_viewport_raw(0, 0, 0, 0, 1.0f);
  full_screen_active = 0;
  return true;
}

bool OpenGLZodidoze::enter_full_screen() {
  RuntimeState& rt = g_runtime;
  int32_t desktop_bits = os_video().display_bits_per_pixel();
  bool found = colour_depth && colour_depth != desktop_bits && os_video().display_has_mode(rt.window_width, rt.window_height, colour_depth);
  if (!found) found = os_video().display_has_mode(rt.window_width, rt.window_height, 0);
  if (!found) {
    os_video().beep();
    log_write("No Fullscreen Mode available\n");
    enter_window_mode();
    return false;
  }
  WindowHandle old_window = rt.window_handle;
  std::string title = os_video().window_title(old_window);
  int32_t fps = frame_interval_ms > 0.0 ? static_cast<int32_t>(1000.0 / frame_interval_ms) : 5;
  // The new window takes over the context; should the platform have to make a new one
  // instead, the sprites come over through the persistence file.
  void* old_context = gl_context;
  const bool saved = save_textures();
  rt.window_handle = nullptr;
  if (!create_window(module, rt.window_width, rt.window_height, colour_depth, fps, multisample)) {
    // Keep the old rt.window_handle rather than losing the screen altogether.
    rt.window_handle = old_window;
    delete_persistence_file();
    enter_window_mode();
    return false;
  }
  if (saved && gl_context != old_context) {
    restore_textures_in_new_context();
  } else {
    delete_persistence_file();
  }
  os_video().set_window_title(rt.window_handle, title.c_str());
  os_video().destroy_window(old_window);
  set_viewport_raw(0, 0, 0, 0, 1.0f);
  os_video().set_window_decorated(rt.window_handle, false);
  os_video().set_window_position(rt.window_handle, 0, 0);
  os_video().set_window_size(rt.window_handle, rt.window_width, rt.window_height);
  os_video().show_window(rt.window_handle, true);
  os_video().set_window_fullscreen(rt.window_handle, true);
  os_video().raise_window(rt.window_handle);
  full_screen_active = 1;
  return true;
}

void OpenGLZodidoze::hide_window() {
  RuntimeState& rt = g_runtime;
  if (full_screen_active) os_video().set_window_fullscreen(rt.window_handle, false);
  os_video().set_window_decorated(rt.window_handle, false);
  os_video().show_window(rt.window_handle, false);
  pump_device_messages(*this, nullptr);
  full_screen_active = 0;
}

void OpenGLZodidoze::release_window() {
  RuntimeState& rt = g_runtime;
  delete_all_images();
  if (rt.window_handle) {
    enter_window_mode();
    flush_drawing();
    os_video().destroy_window(rt.window_handle);  // the context stays for the next rt.window_handle
  }
  rt.window_handle = nullptr;
  rt.window_width = 0;
  rt.window_height = 0;
}

void OpenGLZodidoze::release_all() {
  delete_all_images();
  release_window();
}

void OpenGLZodidoze::setup_2d() {
  set_viewport_raw(0, 0, 0, 0, 1.0f);
  invalidate_gl_state();
  static const GLenum kOff[] = {GL_DEPTH_TEST,    GL_CULL_FACE, GL_FOG,        GL_LINE_SMOOTH,
                                GL_POINT_SMOOTH,  GL_POLYGON_SMOOTH, GL_STENCIL_TEST, GL_NORMALIZE,
                                GL_LIGHTING,      GL_COLOR_MATERIAL, GL_DITHER,    GL_POLYGON_OFFSET_FILL};
  for (GLenum capability : kOff) gl_set_enabled(capability, false);
  glFrontFace(GL_CCW);
  glShadeModel(GL_FLAT);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  smoothing = 1;
  gl_set_enabled(GL_TEXTURE_2D, false);
  gl_bind_texture(0);
  bound_sprite = -1;
  gl_set_enabled(GL_ALPHA_TEST, false);
  alpha_test_threshold = 1.0f;
  gl_set_enabled(GL_BLEND, true);
  gl_set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  global_alpha = 1.0f;
  gl_set_colour(1.0f, 1.0f, 1.0f, 1.0f);
}

void OpenGLZodidoze::set_viewport_raw(int32_t x, int32_t y, int32_t w, int32_t h, float scale) {
  RuntimeState& rt = g_runtime;
  if (virtual_height == 0) {
    virtual_width = rt.window_width;
    virtual_height = rt.window_height;
  }
  const OffscreenScreen* target =
      rt.current_offscreen >= 0 && rt.current_offscreen < OFFSCREEN_COUNT ? &offscreen[rt.current_offscreen] : nullptr;
  // A screen's surface is its sprite's image, which fills the bottom-left corner of the
  // texture; an emulated screen (no framebuffer) lies in the window's top-left corner.
  const SpriteSlot* image = target ? sprite_slot(target->sprite) : nullptr;
  const int32_t image_width = image ? image->width : 0, image_height = image ? image->height : 0;
  if (w < 1 || h < 1) {
    x = y = 0;
    if (target) {
      w = image_width;
      h = image_height;
    } else if (rt.orientation == 1 || rt.orientation == 3) {
      w = virtual_height;
      h = virtual_width;
    } else {
      w = virtual_width;
      h = virtual_height;
    }
  }
  flush_drawing();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (target) {
    const int32_t top = target->framebuffer ? image_height : rt.window_height;
    glViewport(x, top - h - y, w, h);
    glOrtho(0.0, w, h, 0.0, -1.0, 1.0);
  } else {
    ViewportPlacement p = place_viewport(rt.orientation, rt.window_width, rt.window_height, x, y, w, h);
    glViewport(p.left, p.gl_y, p.width, p.height);
    // A quarter turn of the normalised coordinates per rt.orientation step, clockwise on screen.
    if (rt.orientation) glRotatef(-90.0f * static_cast<float>(rt.orientation), 0.0f, 0.0f, 1.0f);
    glOrtho(0.0, p.ortho_width, p.ortho_height, 0.0, -1.0, 1.0);
  }
  viewport_x = x;
  viewport_y = y;
  viewport_width = w;
  viewport_height = h;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (scale != 1.0f && !target) glScalef(scale, scale, scale);
}

}  // namespace qrn
