// Platform layer: the operating-system services the runtime relies on, as one table of
// operations. The real backend (SDL2 and POSIX) and a scripted fake for tests derive from it.
// Nothing outside runtime/platform/ includes SDL, X11 or POSIX headers.
//
// Every operation has a neutral default here ("the service is not available"), so a backend
// only overrides what it can do, and tests override just what they script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrn {

// Opaque handle of a platform window; null means none.
using WindowHandle = void*;
// Opaque handle of a loaded program or library module.
using ModuleHandle = void*;

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

// A window message, already translated into the terms of the runtime's window procedure.
enum class MessageKind : int32_t {
  none,
  close_request,    // the user asked to close the window (close button, window manager, quit)
  activate,         // the window gained the focus (code: 1 keyboard, 2 click)
  deactivate,       // the window lost the focus
  key_down,         // code: key scan code in the runtime's numbering
  key_up,
  system_key_up,    // Alt or F10 released; swallowed so no window menu opens
  character,        // code: one typed byte
  pointer_down,     // code: pointer id (non-zero); x, y: client pixels
  pointer_update,
  pointer_up,
  screen_saver,     // the system wants to start the screen saver or power the monitor down
  expose,           // the window needs repainting
  other,
};

struct WindowMessage {
  MessageKind kind = MessageKind::none;
  WindowHandle window = nullptr;
  int32_t code = 0;
  int32_t x = 0, y = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- Process and standard streams ------------------------------------------------------
  virtual void write_stdout(const char* bytes, size_t count);
  virtual void write_stderr(const char* bytes, size_t count);
  // Reads one line including its line feed into buffer (at most size - 1 bytes, NUL-ended).
  // Returns false at end of input.
  virtual bool read_stdin_line(char* buffer, size_t size);
  // The temporary folder as the system reports it, with a trailing "/".
  virtual std::string temp_folder();
  // True when a debugger is attached to this process.
  virtual bool debugger_attached();
  // The debugger's output channel.
  virtual void debugger_output(const char* text);
  // Ends the process with the given exit code, running the process-exit handlers.
  [[noreturn]] virtual void exit_process(int32_t code);
  // The complete command line, program path first, arguments separated by blanks.
  virtual std::string command_line();
  // Full path of the program file, with "/" separators.
  virtual std::string program_path();
  // Handle of the program's own module.
  virtual ModuleHandle program_module();
  // The show-window value the process was started with; false when it carries none.
  virtual bool startup_show_command(int32_t& show);

  // ---- Files -----------------------------------------------------------------------------
  // Opens path for appending without sharing (no other writer may hold it), writes the bytes
  // and closes it again. Returns false when the file could not be opened exclusively.
  virtual bool append_file_exclusive(const char* path, const char* bytes, size_t count);

  // ---- Clocks ----------------------------------------------------------------------------
  // Monotonic high-resolution counter in milliseconds (arbitrary origin).
  virtual double counter_ms();
  virtual void sleep_ms(int32_t ms);

  // ---- Display, window and GL context ---------------------------------------------------
  // Starts the video system; false when there is no display.
  virtual bool video_init();
  virtual void video_quit();
  virtual ScreenRect display_bounds();         // primary display
  virtual ScreenRect display_usable_bounds();  // the work area (without panels)
  virtual int32_t display_bits_per_pixel();
  // True when the display offers exactly this full-screen mode (depth 0: any).
  virtual bool display_has_mode(int32_t width, int32_t height, int32_t bits);
  // Creates a hidden window with a GL context current on it; null on failure.
  virtual WindowHandle create_window(const WindowRequest& request);
  virtual void destroy_window(WindowHandle window);
  virtual void set_window_title(WindowHandle window, const char* title);
  virtual void show_window(WindowHandle window, bool shown);
  virtual void raise_window(WindowHandle window);
  // Decorated (caption and minimise, no resize) or bare window.
  virtual void set_window_decorated(WindowHandle window, bool decorated);
  virtual void set_window_fullscreen(WindowHandle window, bool on);
  virtual void set_window_position(WindowHandle window, int32_t x, int32_t y);
  virtual void set_window_size(WindowHandle window, int32_t width, int32_t height);
  virtual ScreenRect window_client_rect(WindowHandle window);  // client area in screen pixels
  virtual ScreenRect window_outer_rect(WindowHandle window);   // including the frame
  virtual bool window_has_focus(WindowHandle window);
  virtual void swap_buffers(WindowHandle window);
  virtual bool set_swap_interval(int32_t interval);
  virtual void* gl_proc_address(const char* name);
  virtual void beep();
  // A warning box; a backend must never let it block an unattended run.
  virtual void message_box(const char* title, const char* text);
  virtual void allow_screen_saver(bool allowed);
  // Takes the next waiting message of the window; false when none is waiting.
  virtual bool next_message(WindowHandle window, WindowMessage& message);

  // ---- Pointer and keyboard -------------------------------------------------------------
  // Cursor position in screen pixels.
  virtual void cursor_position(int32_t& x, int32_t& y);
  virtual void set_cursor_position(int32_t x, int32_t y);
  virtual void show_cursor(bool shown);
  // Button bits (bit 0 left, 1 right, 2 middle): held now, or pressed since the last query.
  virtual uint32_t mouse_buttons();
  // Held state of one key by the runtime's scan-code numbering (0..255).
  virtual bool key_state(int32_t scan_code);
  // Position in screen pixels of a touch or pen pointer by id; false when unknown.
  virtual bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y);
};

// The backend in use. The real one is installed on first use unless a test installed another.
Platform& platform();
// Installs a backend (not owned) and returns the previous one; null restores the real backend.
Platform* install_platform(Platform* backend);

}  // namespace qrn
