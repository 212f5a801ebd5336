// Joysticks: up to ten game controllers in the input object, opened with the other devices.
#pragma once

#include "input/input_devices.h"

namespace qrn {

// Opens the joysticks for the input object: through the input-device system, or through the
// platform's legacy joystick interface when there is none (legacy true).
void open_joysticks(InputDevices& input, bool legacy);
// Releases the ten joystick slots.
void release_joysticks(InputDevices& input);

}  // namespace qrn
