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
#include <utility>
#include <vector>

namespace qrn {

// Opaque handle of a platform window; null means none.
using WindowHandle = void*;
// Opaque handle of a loaded program or library module.
using ModuleHandle = void*;
// Opaque handle of an open file; null means none.
using FileHandle = void*;

// How file_open opens a file. An open file holds a lock until it is closed: readers share it
// with other readers, a writer holds it alone; an open that meets a conflicting lock fails.
enum class FileOpenMode : int32_t {
  read,    // an existing file, for reading
  create,  // created when missing and emptied, for reading and writing
  append,  // created when missing, for writing, positioned at its end
};

// What a path names.
enum class PathKind : int32_t { missing, file, directory, unknown /* cannot be examined */ };

// One entry of a directory listing.
struct DirectoryEntry {
  std::string name;
  bool directory = false;
};

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

// Opaque handle of an input system or device (mouse, keyboard); null means none.
using InputHandle = void*;

// One read of a relative-motion mouse device.
struct MouseDeviceState {
  int32_t dx = 0, dy = 0;  // motion since the previous read
  int32_t wheel = 0;       // wheel movement since the previous read, positive away from the user
  uint8_t buttons[4] = {}; // non-zero: held, or pressed since the previous read
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

  // ---- Files and system information -------------------------------------------------------
  // Paths use "/". Null on failure (missing file, a directory, a conflicting lock).
  virtual FileHandle file_open(const char* path, FileOpenMode mode);
  // Reads up to count bytes at the file position; the bytes read (fewer only at the end), or
  // -1 on an error.
  virtual int64_t file_read(FileHandle file, void* buffer, size_t count);
  // Writes at the file position; the bytes written, or -1 on an error.
  virtual int64_t file_write(FileHandle file, const void* bytes, size_t count);
  virtual bool file_seek(FileHandle file, int64_t offset);  // from the start
  virtual int64_t file_length(FileHandle file);             // -1 when unknown
  virtual void file_close(FileHandle file);
  // Replaces path's content durably: the bytes go to a temporary file in the same folder,
  // which is flushed to disk and renamed over path, so path always holds either its old or
  // its complete new content. A replaced file keeps its permissions.
  virtual bool replace_file(const char* path, const char* bytes, size_t count);
  virtual PathKind path_kind(const char* path);
  virtual bool remove_file(const char* path);       // not a directory
  virtual bool remove_directory(const char* path);  // an empty directory
  virtual bool make_directory(const char* path);    // its parent must exist
  // Last-write time in seconds since 1970-01-01 UTC.
  virtual bool file_modified_time(const char* path, int64_t& seconds);
  // Every entry of a directory, "." and ".." included, in the system's order.
  virtual bool read_directory(const char* path, std::vector<DirectoryEntry>& entries);
  // An environment variable; false when it is not set.
  virtual bool env_get(const char* name, std::string& value);
  // Sets a variable; an empty value removes it. False when the name is not acceptable.
  virtual bool env_set(const char* name, const char* value);
  // Every "name=value" entry of the process environment, in its order.
  virtual std::vector<std::string> env_entries();
  // The calendar time: seconds since 1970-01-01 UTC.
  virtual int64_t calendar_time();
  // The user's documents folder and per-user data folder (created when missing), without a
  // trailing "/"; "" when there is none.
  virtual std::string documents_folder();
  virtual std::string data_folder();
  // Charge of the batteries in percent, 255 when unknown or there is no battery.
  virtual int32_t battery_percent();
  // A stable 32-bit value of this machine (installation), 0 when there is none.
  virtual uint32_t machine_serial();
  // The locale name of the user's interface language ("de_DE.UTF-8"); "" when not set.
  virtual std::string user_language();
  // Horizontal pixels per inch of the primary display; 0 when unknown.
  virtual int32_t display_dpi();

  // ---- Clocks ----------------------------------------------------------------------------
  // Monotonic high-resolution counter in milliseconds (arbitrary origin).
  virtual double counter_ms();
  virtual void sleep_ms(int32_t ms);
  // Sleeps for a span that may be a fraction of a millisecond, as exactly as the system's
  // timers allow (the frame loop's last stretch before a deadline).
  virtual void nap_ms(double ms);

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
  virtual std::string window_title(WindowHandle window);
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
  // The GL context current on this thread; null when there is none.
  virtual void* current_gl_context();
  virtual void beep();
  // A warning box; a backend must never let it block an unattended run.
  virtual void message_box(const char* title, const char* text);
  virtual void allow_screen_saver(bool allowed);
  // Takes the next waiting message of the window; false when none is waiting.
  virtual bool next_message(WindowHandle window, WindowMessage& message);
  // The next waiting message of the window, left in the queue; false when none is waiting.
  virtual bool peek_message(WindowHandle window, WindowMessage& message);
  // Why the video system, a window or its context could not be made ("" when unknown).
  virtual std::string video_error();
  // With on, mouse buttons and motion also arrive as pointer messages with id 1.
  // False when the platform cannot do that.
  virtual bool set_mouse_pointer_messages(bool on);

  // ---- Host services: working directory, console, file dialogs --------------------------
  virtual std::string working_directory();
  virtual bool set_working_directory(const char* path);
  // Connects standard input and output to a text console the user can see; false when the
  // process can have none.
  virtual bool open_console();
  // A native open or save dialog starting in start_dir. filters holds (description, pattern)
  // pairs, patterns separated by ";". False when cancelled or no dialog can be shown.
  virtual bool file_dialog(bool open, const std::vector<std::pair<std::string, std::string>>& filters,
                           const std::string& start_dir, std::string& chosen);

  // ---- Pointer and keyboard -------------------------------------------------------------
  // Version of the operating system (logged when the pointer mode is chosen).
  virtual void os_version(int32_t& major, int32_t& minor);
  // True when the window's pointer messages, rather than the mouse, are the pointer source.
  virtual bool prefers_pointer_messages();
  // Cursor position in screen pixels.
  virtual void cursor_position(int32_t& x, int32_t& y);
  virtual void set_cursor_position(int32_t x, int32_t y);
  // Shown: the standard arrow over the program's windows; hidden: no pointer.
  virtual void show_cursor(bool shown);
  // Button bits (bit 0 left, 1 right, 2 middle): held now, or pressed since the last query.
  virtual uint32_t mouse_buttons();
  // The input-device system through which the mouse and keyboard devices below are opened;
  // null when there is none.
  virtual InputHandle open_input_system();
  virtual void close_input_system(InputHandle system);
  // A mouse read as relative motion; null when there is none.
  virtual InputHandle open_mouse_device(InputHandle system);
  // Binds the device to the window with a cooperation level (5: exclusive, the pointer hidden
  // and captured; 6: shared) and starts reading. Only the focused window can acquire.
  virtual bool acquire_mouse_device(InputHandle device, WindowHandle window, int32_t cooperation);
  virtual void unacquire_mouse_device(InputHandle device);
  // False when the device is not acquired (or lost it with the focus).
  virtual bool read_mouse_device(InputHandle device, MouseDeviceState& state);
  virtual void close_mouse_device(InputHandle device);
  // A keyboard read as a snapshot of 256 bytes by scan code (the runtime's numbering).
  virtual InputHandle open_keyboard_device(InputHandle system);
  virtual bool acquire_keyboard_device(InputHandle device, WindowHandle window);
  virtual void unacquire_keyboard_device(InputHandle device);
  // Processes pending input, then sets bit 7 of every key held or pressed since the previous
  // read and clears the others. False (snapshot untouched) when the device is not acquired.
  virtual bool read_keyboard_device(InputHandle device, uint8_t snapshot[256]);
  virtual void close_keyboard_device(InputHandle device);
  // Key state by virtual-key code, for reading the keyboard without a device: held now, or
  // pressed since the last query of that key.
  virtual bool virtual_key_state(int32_t virtual_key);
  // The 256 virtual keys at once, bit 7 set while held.
  virtual void keyboard_state(uint8_t state[256]);
  // Position in screen pixels of a touch or pen pointer by id; false when unknown.
  virtual bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y);
};

// The backend in use. The real one is installed on first use unless a test installed another.
Platform& platform();
// Installs a backend (not owned) and returns the previous one; null restores the real backend.
Platform* install_platform(Platform* backend);

}  // namespace qrn
