// Sound effects: the sound device and the 4096 sound slots that start-up creates and shutdown
// releases.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace qrn {

constexpr int32_t SOUND_SLOT_COUNT = 4096;

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  WindowHandle window = nullptr;  // the window the device plays for
};

struct SoundSlot {
  SoundDevice* owner_device = nullptr;
};

// A device object that plays nothing until open_sound_device opens it.
SoundDevice* create_sound_device();
// SOUND_SLOT_COUNT empty slots.
SoundSlot* create_sound_slots();
// Opens the device in RuntimeState::sound for the window; result code.
int32_t open_sound_device(WindowHandle window);
// Gives the open device a new window; nothing without a device.
void bind_sound_window(WindowHandle window);
// Releases every slot, last to first, then the device; clears both RuntimeState fields.
void release_sound();

}  // namespace qrn
