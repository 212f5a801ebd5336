// Video service: the display, windows with their OpenGL context, buffer swaps, GL entry
// points, warning boxes, the beep, the screen saver, file dialogs, and the window messages
// (SDL's events translated into the terms of the runtime's window procedure).
//
// A system may have no display, so this is an interface whose defaults mean "not
// available"; the real backend is SDL2 (sdl_video.cpp), the fake is fake_video.h.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles.h"
#include "platform/service.h"

namespace qrn {

// What the window and GL context must offer when a window is created.
struct WindowRequest {
  int32_t width = 0;   // client size in pixels
  int32_t height = 0;
  int32_t colour_bits = 24;
  int32_t alpha_bits = 8;
  int32_t depth_bits = 24;
  int32_t stencil_bits = 8;
  int32_t samples = 0;  // multisample count, 0 for none
  const char* title = "";
};

// Rectangle in desktop (screen) pixels.
struct ScreenRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};


// (description, patterns) pairs of a file dialog, patterns separated by ";".
using FileFilters = std::vector<std::pair<std::string, std::string>>;

class VideoService {
 public:
  virtual ~VideoService() = default;

  // ---- Display ---------------------------------------------------------------------------
  // Starts the video system; false when there is no display.
  virtual bool video_init() { return false; }
  virtual void video_quit() {}
  virtual ScreenRect display_bounds() { return {0, 0, 1024, 768}; }  // primary display
  virtual ScreenRect display_usable_bounds() { return display_bounds(); }  // without panels
  virtual int32_t display_bits_per_pixel() { return 24; }
  // True when the display offers exactly this full-screen mode (depth 0: any).
  virtual bool display_has_mode(int32_t /*width*/, int32_t /*height*/, int32_t /*bits*/) { return false; }
  // Horizontal pixels per inch of the primary display; 0 when unknown.
  virtual int32_t display_dpi() { return 0; }
  // Why the video system, a window or its context could not be made ("" when unknown).
  virtual std::string video_error() { return ""; }

  // ---- Windows ---------------------------------------------------------------------------
  // Creates a hidden window with a GL context current on it; null on failure.
  virtual WindowHandle create_window(const WindowRequest& /*request*/) { return nullptr; }
  virtual void destroy_window(WindowHandle /*window*/) {}
  virtual void set_window_title(WindowHandle /*window*/, const char* /*title*/) {}
  virtual std::string window_title(WindowHandle /*window*/) { return ""; }
  virtual void show_window(WindowHandle /*window*/, bool /*shown*/) {}
  virtual void raise_window(WindowHandle /*window*/) {}
  // Decorated (caption and minimise, no resize) or bare window.
  virtual void set_window_decorated(WindowHandle /*window*/, bool /*decorated*/) {}
  virtual void set_window_fullscreen(WindowHandle /*window*/, bool /*on*/) {}
  virtual void set_window_position(WindowHandle /*window*/, int32_t /*x*/, int32_t /*y*/) {}
  virtual void set_window_size(WindowHandle /*window*/, int32_t /*width*/, int32_t /*height*/) {}
  // Client area in screen pixels.
  virtual ScreenRect window_client_rect(WindowHandle /*window*/) { return {}; }
  // Including the frame.
  virtual ScreenRect window_outer_rect(WindowHandle /*window*/) { return {}; }
  virtual bool window_has_focus(WindowHandle /*window*/) { return false; }

  // ---- OpenGL ----------------------------------------------------------------------------
  virtual void swap_buffers(WindowHandle /*window*/) {}
  virtual bool set_swap_interval(int32_t /*interval*/) { return false; }
  virtual void* gl_proc_address(const char* /*name*/) { return nullptr; }
  // The GL context current on this thread; null when there is none.
  virtual void* current_gl_context() { return nullptr; }

  // ---- Desktop ---------------------------------------------------------------------------
  virtual void beep() {}
  // A warning box; a backend must never let it block an unattended run.
  virtual void message_box(const char* /*title*/, const char* /*text*/) {}
  virtual void allow_screen_saver(bool /*allowed*/) {}
  // A native open or save dialog starting in start_dir. False when cancelled or no dialog
  // can be shown.
  virtual bool file_dialog(bool /*open*/, const FileFilters& /*filters*/, const std::string& /*start_dir*/,
                           std::string& chosen) {
    chosen.clear();
    return false;
  }

  // ---- Window messages -------------------------------------------------------------------
  // Takes the next waiting message of the window; false when none is waiting.
  virtual bool next_message(WindowHandle /*window*/, WindowMessage& /*message*/) { return false; }
  // The next waiting message of the window, left in the queue; false when none is waiting.
  virtual bool peek_message(WindowHandle /*window*/, WindowMessage& /*message*/) { return false; }
  // With on, mouse buttons and motion also arrive as pointer messages with id 1.
  // False when the platform cannot do that.
  virtual bool set_mouse_pointer_messages(bool /*on*/) { return false; }
  // Position in screen pixels of a touch or pen pointer by id, as its last message left it;
  // false when unknown.
  virtual bool pointer_location(int32_t /*pointer_id*/, int32_t& /*x*/, int32_t& /*y*/) { return false; }
};

inline VideoService& os_video() { return service<VideoService>(); }

// Typed UTF-8 text as the runtime's 8-bit characters: a code below 256 is that byte
// (Latin-1), any other character and any broken sequence is "?".
std::string typed_text_bytes(const char* utf8);

// The arguments (program first) of the dialog program for a file dialog.
std::vector<std::string> file_dialog_arguments(bool open, const FileFilters& filters, const std::string& start_dir);

}  // namespace qrn
