// The pop-up menu, the about box and the wake-time editor: what a click does, and the
// editor's three rows.
#pragma once

namespace qrn {

// Pause after every handled click, in milliseconds.
constexpr int CLICK_PAUSE_MS = 200;

// Acts on this frame's pointer reading in g_clock. A click is a press: the left button down
// now and up at the previous reading. Returns true when the wake time was saved (the loop
// then starts again at parse_wake_time).
bool handle_click();
// Draws the editor's rows (the last step of the face).
void draw_wake_editor();

}  // namespace qrn
