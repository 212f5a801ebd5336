// Keyboard and text entry: held keys by scan code, the typed-character queue, line entry.
#pragma once

#include <cstdint>

namespace qrn {

// 1 while the key with this scan code (low 8 bits) is held.
int32_t key_down(int32_t code);
// Refreshes the key snapshot.
void refresh_keys();
// Queues one typed character (from a character message).
void push_typed_char(int8_t c);
// Takes the oldest typed character; 0 when none is waiting.
int8_t pop_typed_char();
// Pops one character; true when there was one.
bool any_typed_char();

}  // namespace qrn
