// Shared by the examples: how long a program runs. With QUARNEL_EXAMPLE_FRAMES=N in the
// environment each example ends by itself after N frames (the package check runs them so);
// without it they run until Escape or the window's close button.
#pragma once

#include <cstdlib>

#include <quarnel/quarnel.h>

namespace example {

// The frame limit: N from QUARNEL_EXAMPLE_FRAMES, 0 when it is unset or not a positive number.
inline long frame_limit() {
  const char* text = std::getenv("QUARNEL_EXAMPLE_FRAMES");
  if (!text || !*text) return 0;
  char* end = nullptr;
  long n = std::strtol(text, &end, 10);
  return (*end == 0 && n > 0) ? n : 0;
}

// Frames shown so far by next_frame.
inline long& frames_shown() {
  static long frames = 0;
  return frames;
}

// Shows the frame drawn so far (the runtime's show_screen: input, pacing, the quit keys) and
// ends the program cleanly once the frame limit is reached.
inline void next_frame() {
  static const long limit = frame_limit();
  qrn::show_screen();
  ++frames_shown();
  if (limit && frames_shown() >= limit) qrn::end_program();
}

// Rows of text in the built-in font at twice its size (8 x 8 cells drawn 16 x 16).
constexpr int32_t kLine = 20;

// Opens the window: width x height pixels at 60 frames per second, with a caption, and
// selects the built-in font at twice its size.
inline void open_window(int32_t width, int32_t height, const char* caption) {
  qrn::g_runtime.screen_width = width;
  qrn::g_runtime.screen_height = height;
  qrn::g_runtime.frame_rate = 60;
  qrn::start_runtime(nullptr, 1, caption);
  qrn::set_font(0, 2.0);
}

}  // namespace example
