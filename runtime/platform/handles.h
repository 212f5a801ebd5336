// The plain values that cross the platform boundary and appear in the runtime's public
// records: opaque handles (null always means "none"), window messages, mouse cooperation.
#pragma once

#include <cstdint>

namespace qrn {

// A platform window.
using WindowHandle = void*;
// A loaded program or library module.
using ModuleHandle = void*;
// An open file.
using FileHandle = void*;
// An input system or device (mouse, keyboard).
using InputHandle = void*;

// A window message, already translated into the terms of the runtime's window procedure.
enum class MessageKind : int32_t {
  none,
  close_request,    // the user asked to close the window (close button, window manager, quit)
  activate,         // the window gained the focus (code: an ActivationCause)
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

// How a window gained the focus (the code of an activate message).
enum ActivationCause : int32_t {
  ACTIVATED_BY_KEYBOARD = 1,  // or by the program
  ACTIVATED_BY_CLICK = 2,
};

// One message: its kind, its window and its values.
struct WindowMessage {
  MessageKind kind = MessageKind::none;
  WindowHandle window = nullptr;
  int32_t code = 0;
  int32_t x = 0, y = 0;
};

// How a mouse device shares the mouse with the rest of the desktop.
enum class MouseCooperation : int32_t {
  exclusive = 5,  // captured, the pointer hidden; motion is relative
  shared = 6,     // the desktop's pointer stays
};

}  // namespace qrn
