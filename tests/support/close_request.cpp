// The close request, through the X library loaded at run time as SDL loads it.
#include "support/close_request.h"

#include <dlfcn.h>

#include <cstdlib>

// Last: the X library's macros (None, Bool, Status...) would clash with other headers.
#include <X11/Xlib.h>

namespace qrn::test {

bool send_close_request(const std::string& window_id) {
  char* end = nullptr;
  unsigned long id = std::strtoul(window_id.c_str(), &end, 10);
  if (window_id.empty() || !end || *end != '\0' || id == 0) return false;
  void* x11 = dlopen("libX11.so.6", RTLD_NOW);
  if (!x11) return false;
  auto open_display = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
  auto intern = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(x11, "XInternAtom"));
  auto send = reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(dlsym(x11, "XSendEvent"));
  auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XFlush"));
  auto close_display = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
  if (!open_display || !intern || !send || !flush || !close_display) return false;
  Display* display = open_display(nullptr);
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = intern(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(intern(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  bool ok = send(display, event.xclient.window, False, NoEventMask, &event) != 0;
  flush(display);
  close_display(display);
  return ok;
}

}  // namespace qrn::test
