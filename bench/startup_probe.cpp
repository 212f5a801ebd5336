// Start-up time of a program with a window: starts the program given on the command line and
// watches the X display for its top-level window of the given title, mapped at the given size
// (0 0: any) with its picture drawn (at least half of its pixels not black: the clock's
// 240 × 320 start-up window and its resized window's first frames are black). Prints the
// milliseconds from the start of the process to that moment and the processor time the
// program used until then, then ends the program. Gives up (printing -1) after 10 s.
//
//   bench_startup_probe TITLE WIDTH HEIGHT PROGRAM [ARGS...]      (used by bench/idle_clock.sh)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

double now_ms() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double, std::milli>(clock::now().time_since_epoch()).count();
}

const char* g_title = "";
int g_width = 0, g_height = 0;

// The program's top-level window once it is mapped at its size, else 0.
Window program_window(Display* display) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (!XFetchName(display, children[i], &name) || !name) continue;
    const bool ours = std::strcmp(name, g_title) == 0;
    XFree(name);
    XWindowAttributes a;
    if (ours && XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
        (g_width == 0 || (a.width == g_width && a.height == g_height)) && a.width > 0 && a.height > 0)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

// True when at least half of the window's pixels are not black.
bool picture_drawn(Display* display, Window window) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, window, &a)) return false;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(a.width),
                            static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (!image) return false;
  int lit = 0, all = 0;
  for (int y = 0; y < a.height; y += 4) {
    for (int x = 0; x < a.width; x += 4, ++all) lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
  }
  XDestroyImage(image);
  return lit * 2 >= all;
}

// Processor time of every thread of process pid so far, in milliseconds.
double cpu_ms(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  if (DIR* dir = opendir(tasks.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
      double ns = 0;
      if (stat >> ns) total += ns / 1e6;
    }
    closedir(dir);
  }
  return total;
}

int ignore_errors(Display*, XErrorEvent*) { return 0; }  // a window may vanish while looked at

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s TITLE WIDTH HEIGHT PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  g_title = argv[1];
  g_width = std::atoi(argv[2]);
  g_height = std::atoi(argv[3]);
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  XSetErrorHandler(ignore_errors);
  const double start = now_ms();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[4], nullptr, nullptr, argv + 4, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[4]);
    return 1;
  }
  double seen = -1, used = -1;
  while (now_ms() - start < 10000) {
    Window window = program_window(display);
    if (window && picture_drawn(display, window)) {
      seen = now_ms() - start;
      used = cpu_ms(child);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  XCloseDisplay(display);
  std::printf("%.0f %.0f\n", seen, used);
  return seen < 0 ? 1 : 0;
}
