// Frame loop: presenting frames at a steady rate, pumping window messages, pausing while the
// window has lost the focus, the waiting commands, and the orderly end of the program.
#pragma once

#include <cstdint>

#include "core/runtime_state.h"

namespace qrn {

class OpenGLZodidoze;

// ---- Commands ---------------------------------------------------------------------------
// Finishes the frame: activation, pause, input, quit keys, 3D step, music, messages, buffer
// swap and the wait for the frame deadline, drawing-state reset.
void show_screen();
// Finishes a frame whose picture is the one shown already: the steps of show_screen without
// the buffer swap (the back buffer is left as it is, and the window keeps showing the last
// frame presented), the wait for the frame deadline included. A program whose picture has
// not changed calls it instead of drawing the same frame again.
void keep_screen();
// Frames per second (cut to a whole number; 0 or less: 500 at most) and vertical sync.
void set_frame_rate(double fps, int32_t vsync);
// Milliseconds between the starts of the last two frames, at least 1.
double get_frame_time();
// Enables or disables Escape as a quit key; returns the flag as 0 or 1.
int32_t set_escape_quits(int32_t flag);
// With a debugger attached: reports "BP" and the value to it and wakes the program.
void debug_break(int32_t value);
// Discards typed characters, waits for a new one, discards any that follow.
void wait_key();
// Waits until no mouse button is down, then for a press, then for its release.
void wait_mouse_button();

// ---- Operations used across the runtime --------------------------------------------------
// Swaps the buffers, prepares the next back buffer and waits for the frame deadline.
bool present_frame(MessageHook hook);
// The same for a given device (window creation presents its first frame before the device
// is the runtime's). Unpaced, the messages are pumped once and the deadline is not waited
// for.
bool present_device_frame(OpenGLZodidoze& device, MessageHook hook, bool paced = true);
// show_screen without waiting for the frame deadline (the frames that clear a new window).
void show_screen_unpaced();
// Pumps messages and sleeps until the frame deadline, then sets the next one.
void wait_frame_deadline(OpenGLZodidoze& device, MessageHook hook);
// Dispatches the waiting messages of the device window to the window procedure.
bool pump_messages(MessageHook hook);
bool pump_device_messages(OpenGLZodidoze& device, MessageHook hook);
// Clears the back buffer (or draws background image 0) as a new frame begins.
void prepare_back_buffer(OpenGLZodidoze& device);
// Prepares the back buffer again and resets blending, alpha test, viewport and 3D state.
void reset_draw_state();
// Resets blending, alpha test, viewport and 3D state, leaving the back buffer as it is.
void reset_draw_settings();
// The program's "QRN_WIN32_MSG" function, looked up on first use; null when it has none.
MessageHook message_hook();
// One step of waiting for input (up to 15 polls 5 ms apart); enters the pause loop when
// the program is paused.
void idle_wait_step();
// While paused and no activation is requested: pump messages twice a second.
void pause_loop();

// Calls "QRN_ON_QUIT" once and releases every subsystem (the end of the program, through
// end_program, runs it).
void shutdown_runtime();
// The music step of the frame loop and of every waiting loop: a looping piece whose time has
// come starts again.
void music_frame_step();

}  // namespace qrn
