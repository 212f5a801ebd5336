// Frame pacing at 60 frames per second over 600 frames: how far frame starts stray from a
// steady schedule, and the process's CPU time per second, for the runtime's show_screen
// loop beside a plain SDL loop that sleeps to the same schedule. Needs a display (Xvfb).
//
// Output: one line per loop with mean and 99th-percentile deviation (ms), the share of
// frames within 1 ms, CPU ms per second; then the runtime's CPU as a ratio of the plain loop.
#include <GL/gl.h>
#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "gfx/device.h"
#include "platform/process.h"
#include "quarnel.h"

namespace {

constexpr int kFrames = 600;
constexpr double kPeriod = 1000.0 / 60.0;

double wall_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Result {
  double mean = 0, p99 = 0, within_1ms = 0, cpu_per_s = 0;
};

// Each frame's deviation from the deadline its loop planned for it, less the loop's typical
// offset (the runtime lets a frame go up to 1 ms before its deadline), so a constant lead does
// not count and a schedule that restarts after an overrun is followed.
Result measure(const std::vector<double>& starts, const std::vector<double>& deadlines, double cpu, double wall) {
  std::vector<double> offsets;
  for (size_t k = 0; k < starts.size(); ++k) offsets.push_back(starts[k] - deadlines[k]);
  std::vector<double> sorted = offsets;
  std::sort(sorted.begin(), sorted.end());
  double anchor = sorted[sorted.size() / 2];
  std::vector<double> deviations;
  Result r;
  int within = 0;
  for (double offset : offsets) {
    double d = std::fabs(offset - anchor);
    deviations.push_back(d);
    r.mean += d;
    if (d <= 1.0) ++within;
  }
  r.mean /= deviations.size();
  std::sort(deviations.begin(), deviations.end());
  r.p99 = deviations[static_cast<size_t>(0.99 * (deviations.size() - 1))];
  r.within_1ms = 100.0 * within / deviations.size();
  r.cpu_per_s = cpu / wall * 1000.0;
  return r;
}

void print(const char* name, const Result& r) {
  std::printf("%-14s mean %.3f ms  p99 %.3f ms  within 1 ms %.1f%%  cpu %.1f ms/s\n", name, r.mean, r.p99,
              r.within_1ms, r.cpu_per_s);
}

// The baseline: clear, swap, take the events, sleep to the next deadline.
Result plain_sdl_loop() {
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("plain", 0, 0, 200, 200, SDL_WINDOW_OPENGL);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  SDL_GL_SetSwapInterval(0);
  std::vector<double> starts, deadlines;
  double cpu0 = cpu_ms(), wall0 = wall_ms();
  double next = wall0;
  for (int k = 0; k < kFrames; ++k) {
    deadlines.push_back(next);
    starts.push_back(wall_ms());
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    next += kPeriod;
    double now = wall_ms();
    if (now > next + kPeriod) next = now;  // far behind: restart the schedule
    double left = next - now;
    if (left > 0) {
      timespec t{static_cast<time_t>(left / 1000), static_cast<long>(std::fmod(left, 1000.0) * 1e6)};
      nanosleep(&t, nullptr);
    }
  }
  Result r = measure(starts, deadlines, cpu_ms() - cpu0, wall_ms() - wall0);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  return r;
}

Result runtime_loop() {
  qrn::RuntimeState& rt = qrn::g_runtime;
  rt.screen_width = 200;
  rt.screen_height = 200;
  rt.frame_rate = 60;
  qrn::start_runtime(qrn::os_process().program_module(), 10, "frame pacing");
  if (!rt.device || !rt.window_handle) {
    std::fprintf(stderr, "no window: a display is needed\n");
    std::exit(2);
  }
  for (int k = 0; k < 30; ++k) qrn::show_screen();  // settle
  std::vector<double> starts, deadlines;
  double cpu0 = cpu_ms(), wall0 = wall_ms();
  for (int k = 0; k < kFrames; ++k) {
    deadlines.push_back(rt.device->next_frame_ms);
    qrn::show_screen();
    starts.push_back(qrn::timer_ms());
  }
  return measure(starts, deadlines, cpu_ms() - cpu0, wall_ms() - wall0);
}

}  // namespace

// The plain loop runs before and after the runtime's, and its CPU time is their mean, so a
// change of the machine's load during the run weighs on both sides alike.
int main() {
  Result plain_before = plain_sdl_loop();
  Result runtime = runtime_loop();
  qrn::shutdown_runtime();
  Result plain_after = plain_sdl_loop();
  print("plain SDL", plain_before);
  print("show_screen", runtime);
  print("plain SDL", plain_after);
  double plain_cpu = (plain_before.cpu_per_s + plain_after.cpu_per_s) / 2;
  std::printf("cpu ratio show_screen / plain: %.2f (target <= 1.20)\n", runtime.cpu_per_s / plain_cpu);
  std::printf("frames within 1 ms: %.1f%% (target >= 99%%)\n", runtime.within_1ms);
  return 0;
}
