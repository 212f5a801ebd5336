// Keyboard and text entry: held keys by scan code (0..255, extended keys at 128 and above,
// independent of the keyboard layout), the typed-character queue and line entry.
#pragma once

#include <cstdint>
#include <functional>

#include "core/text_value.h"

namespace qrn {

struct InputDevices;

// Platform key codes the key map reads the keyboard through when there is no keyboard device.
enum VirtualKey : uint16_t {
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_LWIN = 0x5B,
  VK_RWIN = 0x5C,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
  VK_OEM_1 = 0xBA,
  VK_OEM_PLUS = 0xBB,
  VK_OEM_COMMA = 0xBC,
  VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE,
  VK_OEM_2 = 0xBF,
  VK_OEM_3 = 0xC0,
  VK_OEM_4 = 0xDB,
  VK_OEM_5 = 0xDC,
  VK_OEM_6 = 0xDD,
  VK_OEM_7 = 0xDE,
  VK_OEM_102 = 0xE2,
  VK_NONE = 0xFF,  // never reads as down
};

// ---- Commands ------------------------------------------------------------------------------
// 1 while the key with this scan code (low 8 bits) is held.
int32_t key_down(int32_t code);
// The oldest typed character as a one-character text; empty when none is waiting.
RtString take_typed_char();

// ---- Operations used by other modules ------------------------------------------------------
// Refreshes the key snapshot (frozen while the input window is not the active window).
void refresh_keys();
// Queues one typed character (from a character message).
void push_typed_char(int8_t c);
// Takes the oldest typed character; 0 when none is waiting.
int8_t pop_typed_char();
// Pops one character; true when there was one.
bool any_typed_char();
// Fills key_map: identity with a keyboard device, else scan code to platform key code.
void build_key_map(InputDevices& input);

// The editing loop of line entry (read_text_line) with its frame step given: show_frame(shown) draws the
// line (with the cursor "_" when it is shown) and presents it; next_frame prepares the next
// frame and refreshes the keys. Typed characters come from pop_typed_char.
void edit_text_line(RtString& text, const std::function<void(const RtString& shown)>& show_frame,
                    const std::function<void()>& next_frame);

}  // namespace qrn
