// Typed text and line entry: first a line read with the runtime's line entry (it edits over a
// still copy of the screen until Enter), then free typing, where every character the user
// types arrives through the typed-character queue and Enter starts a new line.
#include <quarnel/quarnel.h>

#include <cstdio>

#include "example_frames.h"

using namespace qrn;

namespace {

constexpr int32_t kWidth = 640, kHeight = 400, kLines = 17;

}  // namespace

int main() {
  example::open_window(kWidth, kHeight, "Typing");
  set_background_colour(0x00303030);
  print_text("What is your name? (Enter ends)", 8, 8, 1);
  RtString name;
  read_text_line(name, 8, 8 + example::kLine, 1);  // returns after Enter
  print_stdout("name: " + name + "\n");

  RtString lines[kLines];
  int32_t count = 1;
  for (;;) {
    for (RtString typed = take_typed_char(); !typed.empty(); typed = take_typed_char()) {
      unsigned char c = static_cast<unsigned char>(typed.data[0]);
      RtString& line = lines[count - 1];
      if (c == '\r' || c == '\n') {
        print_stdout("typed: " + line + "\n");
        if (count == kLines) {  // the oldest line scrolls away
          for (int32_t i = 1; i < kLines; ++i) lines[i - 1] = lines[i];
          lines[kLines - 1] = RtString();
        } else {
          ++count;
        }
      } else if (c == 8) {  // Backspace
        if (!line.empty()) line.truncate_text(static_cast<int64_t>(line.length) - 1);
      } else if (c >= 32) {
        line = line + typed;
      }
    }
    print_text("Hello, " + name + "! Type away (Esc ends)", 8, 8, 1);
    for (int32_t i = 0; i < count; ++i) {
      RtString shown = lines[i];
      if (i == count - 1 && (example::frames_shown() / 30) % 2 == 0) shown = shown + "_";  // the cursor
      print_text(shown, 8, 12 + example::kLine * (i + 1), 1);
    }
    example::next_frame();
  }
}
