// Sound effects: the device, the slots and the commands (see sound_effects.h and
// sound_device.h). Each voice plays through the audio service; the WAV data is read once at
// load time into the service's voice, and its duplicates share it.
#include "sound/sound_effects.h"

#include <cmath>
#include <new>
#include <vector>

#include "core/errors.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "core/runtime_state.h"
#include "platform/audio.h"
#include "sound/sound_device.h"
#include "sound/wav_reader.h"

namespace qrn {

namespace {

// The format the device mixes into: 16-bit stereo at 22050 frames per second.
constexpr AudioFormat kOutputFormat = {2, 22050, 16, 4, false};

bool device_open() { return g_runtime.sound && g_runtime.sound->has_output; }

SoundSlot* slot_record(int32_t slot) {
  if (slot < 0 || slot >= SOUND_SLOT_COUNT || !g_runtime.sound_channels) return nullptr;
  return &g_runtime.sound_channels[slot];
}

bool voice_is_playing(AudioVoice voice, uint32_t* status_out = nullptr) {
  uint32_t status = 0;
  if (!voice || !os_audio().voice_status(voice, status)) status = 0;
  if (status_out) *status_out = status;
  return (status & AUDIO_VOICE_PLAYING) != 0;
}

// Stops every voice, then releases them all.
void release_slot_voices(SoundSlot& slot) {
  AudioService& audio = os_audio();
  for (AudioVoice voice : slot.voices) {
    if (voice) audio.stop_voice(voice);
  }
  for (AudioVoice& voice : slot.voices) {
    if (voice) audio.release_voice(voice);
    voice = 0;
  }
}

// Reads the whole source named by slot.source_name and creates voice 0 from its WAV data.
bool load_wav(SoundSlot& slot) {
  FileStream stream;
  if (!slot.source_name || !stream_open_read(stream, slot.source_name)) return false;
  std::vector<uint8_t> bytes;
  bool read = false;
  if (stream.size <= MAX_WAV_FILE_BYTES) {
    try {
      bytes.resize(static_cast<size_t>(stream.size));
      read = stream.size == 0 || stream_read(stream, bytes.data(), stream.size);
    } catch (const std::bad_alloc&) {
      read = false;
    }
  }
  stream_close(stream);
  WavSound sound;
  if (!read || !read_wav(bytes.data(), bytes.size(), sound)) return false;
  AudioService& audio = os_audio();
  AudioVoice voice = audio.create_voice(sound.format, sound.samples, sound.bytes, true);
  // A device that refuses volume and pan control may still take the sound without it.
  if (!voice) voice = audio.create_voice(sound.format, sound.samples, sound.bytes, false);
  if (!voice) {
    slot.owner_device = nullptr;
    return false;
  }
  slot.voices[0] = voice;
  return true;
}

// The voice to play next, or -1: the voice at next_voice when it is silent; else the one
// after it (stopped and rewound if it still plays), except that a single voice is never cut.
int32_t pick_voice(SoundSlot& slot) {
  AudioService& audio = os_audio();
  if (slot.next_voice < 0 || slot.next_voice >= slot.voice_count) slot.next_voice = 0;
  if (voice_is_playing(slot.voices[slot.next_voice])) {
    if (slot.voice_count == 1) return -1;
    slot.next_voice = (slot.next_voice + 1) % slot.voice_count;
    AudioVoice voice = slot.voices[slot.next_voice];
    if (voice_is_playing(voice)) {
      audio.stop_voice(voice);
      audio.rewind_voice(voice);
    }
  }
  AudioVoice voice = slot.voices[slot.next_voice];
  if (!voice) return -1;
  uint32_t status = 0;
  voice_is_playing(voice, &status);
  if ((status & AUDIO_VOICE_LOST) && !audio.restore_voice(voice)) return -1;
  return slot.next_voice;
}

// Stop, then back to the start; false when stopping fails.
bool stop_voice(AudioVoice voice) {
  if (!voice || !os_audio().stop_voice(voice)) return false;
  os_audio().rewind_voice(voice);
  return true;
}

}  // namespace

// ---- Device ------------------------------------------------------------------------------

SoundDevice* create_sound_device() { return new SoundDevice(); }
SoundSlot* create_sound_slots() { return new SoundSlot[SOUND_SLOT_COUNT]; }

int32_t open_sound_device(WindowHandle window) {
  SoundDevice* device = g_runtime.sound;
  if (!device) return 0;
  AudioService& audio = os_audio();
  if (!audio.open_device()) return 0;
  device->has_output = true;
  if (!audio.set_device_window(window)) return 0;
  device->window = window;
  if (!audio.set_output_format(kOutputFormat)) return 0;
  return 1;
}

void bind_sound_window(WindowHandle window) {
  if (!device_open()) return;
  os_audio().set_device_window(window);
  g_runtime.sound->window = window;
}

void release_sound() {
  RuntimeState& rt = g_runtime;
  if (rt.sound_channels) {
    for (int32_t slot = SOUND_SLOT_COUNT - 1; slot >= 0; --slot) {
      release_slot_voices(rt.sound_channels[slot]);
      rt.sound_channels[slot].voice_count = 0;
    }
  }
  if (device_open()) os_audio().close_device();
  delete[] rt.sound_channels;
  rt.sound_channels = nullptr;
  delete rt.sound;
  rt.sound = nullptr;
}

// ---- Commands ----------------------------------------------------------------------------

int32_t find_free_sound() {
  clear_error();
  if (g_runtime.sound_channels) {
    for (int32_t slot = SOUND_SLOT_COUNT - 1; slot >= 0; --slot) {
      if (g_runtime.sound_channels[slot].voice_count <= 0) return slot;
    }
  }
  set_error(ERROR_OUT_OF_MEMORY);
  return -1;
}

void load_sound(const RtString& file, int32_t slot, int32_t voices) {
  clear_error();
  if (slot < 0 || slot >= SOUND_SLOT_COUNT) {
    set_error(ERROR_OUT_OF_MEMORY);
    return;
  }
  RtString name = file;
  SoundSlot* record = slot_record(slot);
  if (!resolve_file_name(name) || !record) {
    set_error(ERROR_NO_FILE);
    return;
  }
  SoundSlot& s = *record;
  release_slot_voices(s);
  s.next_voice = 0;
  s.owner_device = g_runtime.sound;
  int32_t count = voices < 1 ? 1 : (voices > SOUND_MAX_VOICES ? SOUND_MAX_VOICES : voices);
  if (!device_open()) {
    s.voice_count = 0;
    set_error(ERROR_NO_FILE);
    return;
  }
  s.voice_count = count;
  s.source_name = name.data;
  bool loaded = load_wav(s);
  s.source_name = nullptr;
  if (!loaded) {
    s.voice_count = 0;
    set_error(ERROR_NO_FILE);
    return;
  }
  // Duplicates share voice 0's samples; a refused duplicate leaves fewer voices.
  for (int32_t v = 1; v < count; ++v) {
    s.voices[v] = os_audio().duplicate_voice(s.voices[0]);
    if (!s.voices[v]) {
      s.voice_count = v;
      break;
    }
  }
}

int32_t play_sound(int32_t slot, double pan, double volume) {
  if (slot < 0 || slot >= SOUND_SLOT_COUNT) {
    set_error(ERROR_OUT_OF_MEMORY);
    return 0;
  }
  if (std::isnan(pan)) pan = 0.0;
  pan = pan < -1.0 ? -1.0 : (pan > 1.0 ? 1.0 : pan);
  double scaled = volume * 100.0;
  if (std::isnan(scaled)) scaled = 0.0;
  if (scaled > 100.0) scaled = 100.0;
  int32_t percent = static_cast<int32_t>(scaled < 0.0 ? 0.0 : scaled);  // truncated
  SoundSlot* record = slot_record(slot);
  if (!record || !record->owner_device || record->voice_count <= 0 || !device_open()) return -1;
  SoundSlot& s = *record;
  int32_t index = pick_voice(s);
  if (index < 0) return -1;
  AudioVoice voice = s.voices[index];
  int32_t attenuation = percent == 0 ? AUDIO_VOLUME_SILENCE
                                     : static_cast<int32_t>(2000.0 * std::log10(percent / 100.0));
  AudioService& audio = os_audio();
  audio.set_voice_volume(voice, attenuation);
  audio.set_voice_pan(voice, static_cast<int32_t>(pan * 10000.0));
  if (!audio.play_voice(voice)) return -1;
  return slot * 256 + s.next_voice;
}

int32_t sound_playing(int32_t channel) {
  int32_t slot = channel >> 8;
  int32_t voice = channel & 0xFF;
  if (slot < 0 || slot >= SOUND_SLOT_COUNT) {
    set_error(ERROR_OUT_OF_MEMORY);
    return 0;
  }
  SoundSlot* record = slot_record(slot);
  if (!record || voice >= record->voice_count || !device_open()) return 0;
  return voice_is_playing(record->voices[voice]) ? 1 : 0;
}

void stop_sound(int32_t channel) {
  if (channel < 0) return;
  SoundSlot* record = slot_record(channel >> 8);
  if (!record || !record->owner_device || record->voice_count <= 0 || !device_open()) return;
  int32_t voice = channel & 0xFF;
  if (voice >= record->voice_count) {
    for (int32_t v = 0; v < record->voice_count; ++v) {
      if (!stop_voice(record->voices[v])) break;
    }
    return;
  }
  stop_voice(record->voices[voice]);
}

void stop_all_sounds() {
  for (int32_t slot = 0; slot < SOUND_SLOT_COUNT; ++slot) stop_sound(slot * 256 + 255);
}

}  // namespace qrn
