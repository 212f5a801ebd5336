// Sound placeholders until the sound module is built: a device that plays nothing, empty
// slots, and no music.
#include "core/runtime_state.h"
#include "sound/music.h"
#include "sound/sound_device.h"

namespace qrn {

SoundDevice* create_sound_device() { return new SoundDevice(); }
SoundSlot* create_sound_slots() { return new SoundSlot[SOUND_SLOT_COUNT]; }

int32_t open_sound_device(WindowHandle window) {
  if (!g_runtime.sound) return 0;
  g_runtime.sound->window = window;
  return 1;
}

void bind_sound_window(WindowHandle window) {
  if (g_runtime.sound) g_runtime.sound->window = window;
}

void release_sound() {
  delete[] g_runtime.sound_channels;
  g_runtime.sound_channels = nullptr;
  delete g_runtime.sound;
  g_runtime.sound = nullptr;
}

void restart_music_if_due() {}

void stop_music() {
  g_runtime.music_restart_ms = 0.0;
  g_runtime.music_window = nullptr;
}

}  // namespace qrn
