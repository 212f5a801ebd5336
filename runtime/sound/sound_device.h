// Sound effects: the sound device and the 4096 sound slots that start-up creates and shutdown
// releases. A slot holds one WAV sound on up to four voices, so a sound can overlap itself;
// channel numbers name one voice of one slot (slot x 256 + voice).
#pragma once

#include <cstdint>

#include "platform/audio.h"
#include "platform/handles.h"

namespace qrn {

constexpr int32_t SOUND_SLOT_COUNT = 4096;
constexpr int32_t SOUND_MAX_VOICES = 4;

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  bool has_output = false;        // the audio device was opened; false: every command is silent
  WindowHandle window = nullptr;  // the window the device plays for
};

struct SoundSlot {
  int32_t voice_count = 0;               // voices loaded, 1..4; 0 or less: the slot is free
  int32_t next_voice = 0;                // voice tried first at the next play
  const char* source_name = nullptr;     // the resolved file name while loading
  SoundDevice* owner_device = nullptr;   // none after a refused voice
  AudioVoice voices[SOUND_MAX_VOICES] = {};  // voice 0 holds the samples, the others share them
};

// A device object that plays nothing until open_sound_device opens it.
SoundDevice* create_sound_device();
// SOUND_SLOT_COUNT free slots.
SoundSlot* create_sound_slots();
// Opens the audio device for the device in RuntimeState::sound: 1, or 0 when there is no
// audio device (sound commands then do nothing).
int32_t open_sound_device(WindowHandle window);
// Gives the open device a new window; nothing without a device.
void bind_sound_window(WindowHandle window);
// Releases every slot, last to first, then the device; clears both RuntimeState fields.
void release_sound();

}  // namespace qrn
