// Runtime start-up (see startup.h): each step in its fixed place, with its log line.
#include "host/startup.h"

#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/math_random.h"
#include "core/runtime_state.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "files/foreign_calls.h"
#include "gfx/device.h"
#include "gfx/drawing.h"
#include "gfx/fonts.h"
#include "host/frame_loop.h"
#include "host/window_messages.h"
#include "input/input_devices.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

RtString program_file() {
  std::string path = os_process().program_path();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return RtString(path.c_str());
}

// Step 25: the declared foreign functions, with the window system's two optional pointer
// functions among them. Those are declared once per process under the names they have where
// the runtime came from; no library of those names exists on Linux, so the debug log shows
// "DECLARE module not found: " for "user32.dll" and "User32.dll" there, and the fields keep
// the platform layer's pointer functions they held before.
void load_declared_functions() {
  RuntimeState& rt = g_runtime;
  GetPointerTouchInfoFn touch_info = rt.get_pointer_touch_info;
  EnableMouseInPointerFn mouse_in_pointer = rt.enable_mouse_in_pointer;
  static bool declared = false;
  if (!declared) {
    declared = true;
    declare_foreign("user32.dll", "GetPointerTouchInfo", &rt.get_pointer_touch_info);
    declare_foreign("User32.dll", "EnableMouseInPointer", &rt.enable_mouse_in_pointer);
  }
  resolve_declared();
  if (!rt.get_pointer_touch_info) rt.get_pointer_touch_info = touch_info;
  if (!rt.enable_mouse_in_pointer) rt.enable_mouse_in_pointer = mouse_in_pointer;
}

void restart_frame_clock() {
  RuntimeState& rt = g_runtime;
  double now = timer_ms();
  rt.frame_start_ms = now;
  rt.previous_frame_start_ms = now;
  rt.timer_base_ms = now;
}

}  // namespace

RtString program_directory() {
  std::string path = program_file().data;
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return RtString(".");
  return RtString(path.substr(0, slash == 0 ? 1 : slash).c_str());
}

void start_runtime_steps(ModuleHandle module, int32_t show_command, const char* caption) {
  RuntimeState& rt = g_runtime;

  RtString log = debug_log_path();
  std::remove(log.data);  // a file, or an empty directory of that name
  log_write("Start new log...\n");
  rt.pause_enabled = 1;
  log_write("timer\n");
  timer_ms();  // the first reading starts the runtime clock

  log_write("duro\n");
  rt.device = new OpenGLZodidoze();
  log_write("duro init\n");
  OpenGLZodidoze& device = *rt.device;
  if (!device.create_window(module, rt.screen_width, rt.screen_height, 0, rt.frame_rate, rt.multisample)) {
    std::string reason = os_video().video_error();
    print_stderr(RtString("Quarnel: the window and its OpenGL context could not be created") +
                 (reason.empty() ? RtString("") : RtString(" (") + reason.c_str() + ")") +
                 "; the program ends at its first frame.\n");
    return;
  }

  set_caption(caption);
  log_write("Cptn\n");
  random_seed(static_cast<int32_t>(program_timer_ms()));
  log_write("Network\n");
  if (rt.hooks.start_network) rt.hooks.start_network();
  if (rt.hooks.start_engine_3d) rt.hooks.start_engine_3d();
  log_write("Input\n");
  rt.input = create_input();
  log_write("Window mode\n");
  if (rt.full_screen) {
    device.enter_full_screen();
  } else {
    device.enter_window_mode();
  }

  log_write("Create DXin\n");
  open_input_devices(rt.window_handle, module, rt.exclusive_mouse);
  log_write("reptr\n");
  rt.current_font = 0;

  log_write("getexe\n");
  RtString exe = program_file();
  RtString directory = program_directory();
  log_write("cd\n");
  os_process().set_working_directory(directory.data);
  {
    std::string line = std::string("exepath=curdir= ") + directory.data + "\n";
    log_write(line.c_str());
  }
  rt.resource_archives[0] = create_resource_archive();
  rt.resource_archives[1] = create_resource_archive();
  log_write("kistreling...\n");
  set_archive_paths(exe, exe);

  log_write("init gettimer\n");
  restart_frame_clock();
  log_write("clear screen\n");
  set_background_colour(0);
  log_write("flip\n");
  present_frame(nullptr);
  log_write("mk2D\n");
  device.setup_2d();
  device.install_builtin_font(0);
  log_write("finding font...\n");
  static const char* const kDefaultFonts[] = {"Media/smalfont.png", "Media/smalfont.bmp", "smalfont.png",
                                              "smalfont.bmp"};
  for (const char* candidate : kDefaultFonts) {
    RtString name = candidate;
    if (resolve_file_name(name)) {
      load_font(name, 0);
      break;
    }
  }
  set_font(0, 1.0);
  rt.paused = 0;
  restart_frame_clock();

  if (show_command == 0) device.hide_window();
  set_pointer_mode(rt.exclusive_mouse == 0 ? 1 : 0);
  load_declared_functions();
  if (rt.enable_mouse_in_pointer) {
    log_write("Win8+ mouse as pointer\n");
    rt.enable_mouse_in_pointer(true);
  } else {
    print_stderr(
        "!!! EnableMouseInPointer() not found in user32.dll. If this is >=Win8, you get no mouse messages.\n");
  }
  if (rt.hooks.start_sound) rt.hooks.start_sound();
  log_write("Init Finalized\n");
}

}  // namespace qrn
