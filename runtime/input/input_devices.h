// Mouse and pointer state: the process-wide input object, pointer polling, the system pointer
// and touch pointers.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace qrn {

struct InputDevices;

// Builds the input object (start-up).
InputDevices* create_input();
// Binds the object to the window and opens keyboard, mouse and joysticks; result code.
uint32_t open_input_devices(WindowHandle window, ModuleHandle module, int32_t exclusive_mouse);
// Releases the devices and frees the input object in RuntimeState::input.
void release_input();
// Shows the system pointer with absolute positions (on) or hides it and reads relative motion.
void set_pointer_mode(int32_t on);
// Once per frame: resets the key-query counter, refreshes keys, polls the pointers.
void poll_input_frame();
// True when any of the three mouse buttons is down.
bool any_mouse_button();
// Position of the current pointer in program coordinates and its first two buttons.
void read_mouse(int32_t& x, int32_t& y, int32_t& button1, int32_t& button2);
void read_mouse(double& x, double& y, double& button1, double& button2);
// A pointer message (down, update, up) from the window procedure; wparam carries the id.
void handle_pointer_message(int32_t kind, uint32_t wparam);

}  // namespace qrn
