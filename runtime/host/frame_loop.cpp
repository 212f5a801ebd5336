// Frame loop and the orderly end of the program (see frame_loop.h).
#include "host/frame_loop.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "core/errors.h"
#include "core/named_callbacks.h"
#include "core/text_commands.h"
#include "files/channels.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "host/gl_extensions.h"
#include "host/screen.h"
#include "host/startup.h"
#include "host/video_playback.h"
#include "host/window_messages.h"
#include "input/input_devices.h"
#include "input/joysticks.h"
#include "input/keyboard.h"
#include "platform/platform.h"

namespace qrn {

namespace {

constexpr int32_t KEY_ESCAPE = 1;
constexpr int32_t KEY_ESCAPE_ALT = 129;
constexpr int32_t KEY_LEFT_ALT = 56;
constexpr int32_t KEY_F4 = 62;

bool escape_pressed() {
  return g_runtime.escape_quits && (key_down(KEY_ESCAPE_ALT) || key_down(KEY_ESCAPE));
}

// Brings the window to the front as the active, top-most normal window.
void activate_window() {
  print_stdout("activate\n");
  os_video().show_window(g_runtime.window_handle, true);
  os_video().raise_window(g_runtime.window_handle);
  print_stdout("ok\n");
}

}  // namespace

MessageHook message_hook() {
  RuntimeState& rt = g_runtime;
  if (rt.window_message_hook_state == -1) {
    rt.window_message_hook = find_callback("QRN_WIN32_MSG");
    rt.window_message_hook_state = rt.window_message_hook ? 1 : 0;
  }
  return rt.window_message_hook;
}

namespace {

// The steps of a frame before its presentation; false when there is no window.
bool begin_frame_end(RuntimeState& rt) {
  // Without a window nothing can be shown and nothing can ever happen; the program ends
  // the way a failed presentation ends it.
  if (!rt.device || !g_runtime.window_handle) {
    end_program();
    return false;
  }
  if (rt.activation_requested) {
    activate_window();
    rt.activation_requested = 0;
  }
  rt.previous_frame_start_ms = rt.frame_start_ms;
  rt.frame_start_ms = timer_ms();
  while (rt.paused) idle_wait_step();
  poll_input_frame();
  if (escape_pressed()) end_program();
  if (key_down(KEY_LEFT_ALT) && key_down(KEY_F4)) end_program();
  if (rt.hooks.engine_frame) rt.hooks.engine_frame();
  music_frame_step();
  pump_messages(message_hook());
  return true;
}

}  // namespace

void show_screen() {
  RuntimeState& rt = g_runtime;
  if (!begin_frame_end(rt)) return;
  if (!present_frame(message_hook())) end_program();
  // The presentation prepared the back buffer already: the state alone is reset, so a
  // background image is not drawn twice into every frame.
  reset_draw_settings();
}

void show_screen_unpaced() {
  RuntimeState& rt = g_runtime;
  if (!begin_frame_end(rt)) return;
  present_device_frame(*rt.device, message_hook(), false);
  reset_draw_settings();
}

void keep_screen() {
  RuntimeState& rt = g_runtime;
  if (!begin_frame_end(rt)) return;
  rt.device->end_offscreen();
  flush_drawing();
  wait_frame_deadline(*rt.device, message_hook());
  reset_draw_settings();
}

bool present_frame(MessageHook hook) {
  return g_runtime.device ? present_device_frame(*g_runtime.device, hook) : false;
}

bool present_device_frame(OpenGLZodidoze& device, MessageHook hook, bool paced) {
  device.end_offscreen();
  flush_drawing();
  os_video().swap_buffers(g_runtime.window_handle);
  prepare_back_buffer(device);
  if (paced) {
    wait_frame_deadline(device, hook);
  } else {
    pump_device_messages(device, hook);
  }
  return true;
}

void wait_frame_deadline(OpenGLZodidoze& device, MessageHook hook) {
  // Long sleeps while more than 7 ms remain, waking 3 ms early; then the message pump runs
  // until at most 1 ms is left. Between its passes the last stretch is slept away with the
  // platform's fine-grained sleep rather than spun, which keeps the start as precise for a
  // fraction of the processor time.
  double current = 0.0;
  for (;;) {
    pump_device_messages(device, hook);
    double now = timer_ms();
    double remaining = device.next_frame_ms - now;
    if (remaining > 7.0) {
      sleep_ms(static_cast<int32_t>(remaining - 3.0));
      continue;
    }
    if (remaining > 1.0) {
      os_process().nap_ms(remaining - 1.0);
      continue;
    }
    current = now;
    break;
  }

  // The next deadline: one period on; a late frame catches up by at most one extra period
  // before the schedule restarts from now.
  if (device.frame_interval_ms > 0.0) {
    device.next_frame_ms += device.frame_interval_ms;
    if (current > device.next_frame_ms) device.next_frame_ms += device.frame_interval_ms;
    if (current > device.next_frame_ms) device.next_frame_ms = current + device.frame_interval_ms;
  }
}

bool pump_messages(MessageHook hook) {
  return g_runtime.device ? pump_device_messages(*g_runtime.device, hook) : true;
}

bool pump_device_messages(OpenGLZodidoze& /*device*/, MessageHook hook) {
  WindowMessage message;
  while (os_video().peek_message(g_runtime.window_handle, message)) {
    if (hook) {
      set_current_window_message(message);
      hook();  // sees the message while it is still queued
    }
    if (!os_video().next_message(g_runtime.window_handle, message)) break;
    set_current_window_message(message);
    // Typed characters arrive as their own messages here, so a key-down needs no
    // translation before it reaches the window procedure.
    if (message.kind == MessageKind::character) push_typed_char(static_cast<int8_t>(message.code));
    window_procedure(message);
  }
  return true;
}

void prepare_back_buffer(OpenGLZodidoze& device) {
  if (device.backgrounds[0].columns) {
    if (device.clear_depth_pending) {
      flush_drawing();
      glClear(GL_DEPTH_BUFFER_BIT);
      device.clear_depth_pending = 0;
    }
    device.draw_background(0);
    return;
  }
  GLbitfield mask = 0;
  if (device.clear_each_frame) mask |= GL_COLOR_BUFFER_BIT;
  if (device.clear_depth_pending) {
    mask |= GL_DEPTH_BUFFER_BIT;
    device.clear_depth_pending = 0;
  }
  if (mask) {
    flush_drawing();
    glClear(mask);
  }
}

void reset_draw_state() {
  OpenGLZodidoze* device = g_runtime.device;
  if (!device) return;
  prepare_back_buffer(*device);
  reset_draw_settings();
}

void reset_draw_settings() {
  RuntimeState& rt = g_runtime;
  OpenGLZodidoze* device = rt.device;
  if (!device) return;
  gl_set_enabled(GL_ALPHA_TEST, false);
  device->alpha_test_threshold = 1.0f;
  gl_set_enabled(GL_BLEND, true);
  gl_set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  device->global_alpha = 1.0f;
  gl_set_colour(1.0f, 1.0f, 1.0f, 1.0f);
  set_viewport(0, 0, 0, 0);
  if (rt.hooks.engine_reset) rt.hooks.engine_reset();
}

void set_frame_rate(double fps, int32_t vsync) {
  int32_t whole = static_cast<int32_t>(fps);
  if (gl_extensions().swap_control) os_video().set_swap_interval(vsync ? 1 : 0);
  if (OpenGLZodidoze* device = g_runtime.device) {
    device->frame_interval_ms = whole > 0 ? 1000.0 / whole : 2.0;
  }
}

double get_frame_time() {
  double elapsed = g_runtime.frame_start_ms - g_runtime.previous_frame_start_ms;
  return elapsed <= 0.0 ? 1.0 : elapsed;
}

int32_t set_escape_quits(int32_t flag) {
  g_runtime.escape_quits = flag ? 1 : 0;
  return g_runtime.escape_quits;
}

void debug_break(int32_t value) {
  if (!os_process().debugger_attached()) return;
  unacquire_mouse();
  RtString text = "BP" + hex_text(value);
  os_process().debugger_output(text.data);
  g_runtime.paused = 0;
  poll_input_frame();
  g_runtime.activation_requested = 1;
}

void idle_wait_step() {
  RuntimeState& rt = g_runtime;
  int32_t x0 = 0, y0 = 0, a0 = 0, b0 = 0;
  read_mouse(x0, y0, a0, b0);
  for (int attempt = 0; attempt < 15; ++attempt) {
    music_frame_step();
    pump_messages(message_hook());
    if (rt.paused) {
      pause_loop();
      return;
    }
    poll_input_frame();
    if (escape_pressed()) end_program();
    for (int32_t code = 0; code < 256; ++code) {
      if (key_down(code)) return;
    }
    int32_t x = 0, y = 0, a = 0, b = 0;
    read_mouse(x, y, a, b);
    if (x != x0 || y != y0 || a != a0 || b != b0) return;
    if (any_joystick_active()) return;
    sleep_ms(5);
  }
}

void pause_loop() {
  RuntimeState& rt = g_runtime;
  log_write("pause loop in showscreen/hibernate\n");
  while (rt.paused && !rt.activation_requested) {
    music_frame_step();
    pump_messages(message_hook());
    sleep_ms(500);
  }
  log_write("pause loop ended\n");
}

void wait_key() {
  while (any_typed_char()) {
  }
  while (!any_typed_char()) {
    music_frame_step();
    pump_messages(message_hook());
    idle_wait_step();
  }
  while (any_typed_char()) {
  }
}

// Button state on this platform is only fresh after the messages were pumped, so the polls
// pump (and rest a millisecond) between readings.
void wait_mouse_button() {
  auto poll_until = [](bool down) {
    for (;;) {
      music_frame_step();
      pump_messages(message_hook());
      if (any_mouse_button() == down) return;
      sleep_ms(1);
    }
  };
  poll_until(false);
  while (!any_mouse_button()) idle_wait_step();
  poll_until(false);
}

void music_frame_step() {
  if (g_runtime.hooks.restart_music) g_runtime.hooks.restart_music();
}

void shutdown_runtime() {
  RuntimeState& rt = g_runtime;
  call_quit_callback_once();
  if (!rt.device) return;
  log_write("Shut down QRN\n");
  if (rt.hooks.stop_music) rt.hooks.stop_music();
  close_video_player();  // the program ended while a video played
  RtString directory = program_directory();
  os_process().set_working_directory(directory.data);
  close_all_channels();
  if (rt.network && rt.hooks.shutdown_network) rt.hooks.shutdown_network();
  if (rt.input) release_input();
  if ((rt.sound || rt.sound_channels) && rt.hooks.release_sound) rt.hooks.release_sound();
  rt.device->release_all();
  delete rt.device;
  rt.device = nullptr;
  if (rt.hooks.destroy_engine_3d) rt.hooks.destroy_engine_3d();
  for (ResourceArchive*& archive : rt.resource_archives) {
    if (archive) release_resource_archive(archive);
    archive = nullptr;
  }
  rt.window_handle = nullptr;
  os_video().video_quit();
  log_write("qrn is shut down\n");
}

}  // namespace qrn
