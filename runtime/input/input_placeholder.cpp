// Input placeholders until the input module is built: no devices, nothing held, no pointer.
#include "input/input_devices.h"
#include "input/keyboard.h"

namespace qrn {

struct InputDevices {};

InputDevices* create_input() { return new InputDevices(); }
uint32_t open_input_devices(WindowHandle, ModuleHandle, int32_t) { return 1; }
void release_input() {}
void set_pointer_mode(int32_t) {}
void poll_input_frame() {}
bool any_mouse_button() { return false; }
void read_mouse(int32_t& x, int32_t& y, int32_t& b1, int32_t& b2) { x = y = b1 = b2 = 0; }
void read_mouse(double& x, double& y, double& b1, double& b2) { x = y = b1 = b2 = 0; }
void handle_pointer_message(int32_t, uint32_t) {}
int32_t key_down(int32_t) { return 0; }
void refresh_keys() {}
void push_typed_char(int8_t) {}
int8_t pop_typed_char() { return 0; }
bool any_typed_char() { return false; }

}  // namespace qrn
