// Joystick placeholders until the joystick module is built: no joystick is ever opened.
#include "input/joysticks.h"

namespace qrn {

void open_joysticks(InputDevices& input, bool) { input.joystick_count = 0; }
void release_joysticks(InputDevices& input) {
  for (InputHandle& device : input.joystick_devices) device = nullptr;
  input.joystick_count = 0;
}

}  // namespace qrn
