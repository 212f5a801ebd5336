// qrn_close_window WINDOW_ID: asks an X window to close, as a window manager's close button
// does (the end-to-end scripts run on Xvfb, which has no window manager). Exit status 0 when
// the request was sent.
#include <cstdio>

#include "support/close_request.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
    return 2;
  }
  if (!qrn::test::send_close_request(argv[1])) {
    std::fprintf(stderr, "%s: could not send the close request to window %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
