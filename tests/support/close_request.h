// What a window manager's close button does to a window of the X display in DISPLAY: the
// WM_DELETE_WINDOW message of its WM_PROTOCOLS. Used by the window tests and, through the
// small qrn_close_window program, by the end-to-end scripts (Xvfb has no window manager).
#pragma once

#include <string>

namespace qrn::test {

// window_id: the X window id in decimal (as xdotool prints it). False when the display or
// the X library cannot be opened or the message cannot be sent.
bool send_close_request(const std::string& window_id);

}  // namespace qrn::test
