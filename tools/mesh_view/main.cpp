// mesh_view: shows a mesh (binary or text ".ddd") or a scene file turning in a window, or
// writes one picture of it as a PNG. A program written against the runtime like any other.
//
//   mesh_view FILE [--png OUT.png] [--size WxH] [--turn DEG] [--tilt DEG] [--frame N]
//                  [--shader VERTEX FRAGMENT] [--seconds S] [--background RRGGBB]
//
// Exit codes: 0 done, 1 the file, shader or picture failed, 2 wrong arguments.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "quarnel.h"

using namespace qrn;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double FOV_DEGREES = 40.0;

struct Options {
  std::string file;
  std::string png;
  int32_t width = 480;
  int32_t height = 360;
  double turn = 30.0;
  double tilt = 20.0;
  int32_t frame = -1;  // -1: every frame in turn (window) or frame 0 (picture)
  std::string vertex_shader;
  std::string fragment_shader;
  double seconds = 0.0;  // 0: until Escape or the window is closed
  uint32_t background = 0x302820;  // 0x00BBGGRR
};

void usage() {
  std::fprintf(stderr,
               "usage: mesh_view FILE [--png OUT.png] [--size WxH] [--turn DEG] [--tilt DEG]\n"
               "                 [--frame N] [--shader VERTEX FRAGMENT] [--seconds S]\n"
               "                 [--background RRGGBB]\n");
}

bool number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == 0 && std::isfinite(value);
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](const char*& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    const char* value = nullptr;
    double d = 0;
    if (arg == "--png") {
      if (!next(value)) return false;
      o.png = value;
    } else if (arg == "--size") {
      int w = 0, h = 0;
      char tail = 0;
      if (!next(value) || std::sscanf(value, "%dx%d%c", &w, &h, &tail) != 2) return false;
      if (w < 16 || h < 16 || w > 4096 || h > 4096) return false;
      o.width = w, o.height = h;
    } else if (arg == "--turn" || arg == "--tilt" || arg == "--seconds") {
      if (!next(value) || !number(value, d)) return false;
      (arg == "--turn" ? o.turn : arg == "--tilt" ? o.tilt : o.seconds) = d;
      if (o.seconds < 0 || std::fabs(o.tilt) > 89) return false;
    } else if (arg == "--frame") {
      if (!next(value) || !number(value, d) || d < 0 || d > 1e9) return false;
      o.frame = static_cast<int32_t>(d);
    } else if (arg == "--shader") {
      const char* fragment = nullptr;
      if (!next(value) || !next(fragment)) return false;
      o.vertex_shader = value;
      o.fragment_shader = fragment;
    } else if (arg == "--background") {
      unsigned rgb = 0;
      char tail = 0;
      if (!next(value) || std::sscanf(value, "%6x%c", &rgb, &tail) != 1) return false;
      o.background = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else if (o.file.empty()) {
      o.file = arg;
    } else {
      return false;
    }
  }
  return !o.file.empty();
}

// Start-up makes the program's own folder the working directory, so names given relative to
// where the viewer was started become absolute first. "" stays "" (a left-out shader stage).
std::string absolute(const std::string& path, const std::string& start_dir) {
  if (path.empty() || path[0] == '/' || path.rfind("mem://", 0) == 0) return path;
  return start_dir + "/" + path;
}

// Where the camera stands: around the object's centre at a distance that shows all of it.
struct View {
  double centre[3] = {0, 0, 0};
  double distance = 5.0;
};

View fit(int32_t frame) {
  View view;
  double lo[3], hi[3];
  if (!object_bounds(0, frame, lo[0], lo[1], lo[2], hi[0], hi[1], hi[2])) return view;
  double radius = 0;
  for (int i = 0; i < 3; ++i) {
    view.centre[i] = (lo[i] + hi[i]) / 2;
    radius += (hi[i] - lo[i]) * (hi[i] - lo[i]) / 4;
  }
  radius = std::sqrt(radius);
  if (!(radius > 1e-9)) radius = 1.0;
  view.distance = radius / std::sin(FOV_DEGREES * PI / 360.0) * 1.05;
  set_camera_lens(FOV_DEGREES, view.distance / 100.0, view.distance * 4.0);
  return view;
}

// One picture: the camera turned `turn` degrees about the object and raised by `tilt`.
void draw(const View& view, int32_t frame, double turn, double tilt) {
  const double a = turn * PI / 180.0, b = tilt * PI / 180.0;
  const double dir[3] = {std::sin(a) * std::cos(b), std::sin(b), std::cos(a) * std::cos(b)};
  set_camera(view.centre[0] + dir[0] * view.distance, view.centre[1] + dir[1] * view.distance,
             view.centre[2] + dir[2] * view.distance, view.centre[0], view.centre[1], view.centre[2]);
  // The light comes from over the viewer's left shoulder.
  set_light(dir[0] - 0.5 * dir[2], dir[1] + 0.7, dir[2] + 0.5 * dir[0], 0.3);
  draw_object(0, frame, 0, 0, 0, 0, 0, 0, 1);
}

// Ends the viewer once its work is done, without the window and GL teardown: the process
// ends anyway, and Mesa's software renderer has been seen to deadlock while the display is
// closed right after a frame (its rasteriser threads waiting on each other).
[[noreturn]] void finish(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "mesh_view: %s\n", message.c_str());
  finish(1);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    usage();
    return 2;
  }
  ProcessService& os = os_process();
  const std::string start_dir = os.working_directory();
  o.file = absolute(o.file, start_dir);
  o.png = absolute(o.png, start_dir);
  o.vertex_shader = absolute(o.vertex_shader, start_dir);
  o.fragment_shader = absolute(o.fragment_shader, start_dir);
  // A picture is taken without anyone watching: no box may wait for a click.
  if (!o.png.empty()) os.env_set("QUARNEL_UNATTENDED", "1");

  RuntimeState& rt = g_runtime;
  rt.screen_width = o.width;
  rt.screen_height = o.height;
  rt.frame_rate = 60;
  rt.command_line = os.command_line().c_str();
  start_runtime(os.program_module(), 10, "mesh_view");
  if (!rt.device || !rt.window_handle) fail("no window could be made (is there a display?)");
  set_escape_quits(1);

  load_object(o.file.c_str(), 0);
  if (!object_loaded(0)) fail(o.file + " could not be loaded (the reason is in " + debug_log_path().data + ")");
  if (!o.vertex_shader.empty() || !o.fragment_shader.empty()) {
    if (!load_shader(0, o.vertex_shader.c_str(), o.fragment_shader.c_str())) fail("the shader did not compile or link");
  }
  const int32_t frames = object_frame_count(0);
  const bool shaded = !o.vertex_shader.empty() || !o.fragment_shader.empty();
  const View view = fit(o.frame < 0 ? 0 : o.frame);
  set_background_colour(o.background);

  if (!o.png.empty()) {
    if (shaded) use_shader(0);
    draw(view, o.frame < 0 ? 0 : o.frame, o.turn, o.tilt);
    clear_error();
    save_screen(o.png.c_str());
    if (rt.error_code) fail("the picture could not be written to " + o.png);
    finish(0);
  }

  const double start = timer_ms();
  for (;;) {
    const double elapsed = (timer_ms() - start) / 1000.0;
    if (o.seconds > 0 && elapsed >= o.seconds) break;
    const int32_t frame = o.frame >= 0 ? o.frame : frames > 1 ? static_cast<int32_t>(elapsed * 10) % frames : 0;
    if (shaded) use_shader(0);
    draw(view, frame, o.turn + elapsed * 45.0, o.tilt);
    show_screen();  // Escape or closing the window ends the program here
  }
  finish(0);
}
