// Audio service: the sound-effect output. A device is opened once; each voice holds one
// block of samples (converted to the device's format when it is created) and plays it once
// from its start with its own attenuation and pan. Duplicated voices share the samples.
// Every default here means "no audio device", so the runtime's silent path is the default.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "platform/service.h"

namespace qrn {

// Layout of PCM sample data: interleaved frames of `channels` samples.
struct AudioFormat {
  int32_t channels = 0;            // 1..AUDIO_MAX_CHANNELS
  int32_t samples_per_second = 0;  // frames per second
  int32_t bits_per_sample = 0;     // 8 (unsigned), 16, 24 or 32 (signed, little-endian)
  int32_t block_align = 0;         // bytes per frame
  bool floating = false;           // 32-bit IEEE float samples instead of integers
};

constexpr int32_t AUDIO_MAX_CHANNELS = 8;
// Attenuation in hundredths of a decibel: 0 is the recorded level, SILENCE and below mute.
constexpr int32_t AUDIO_VOLUME_SILENCE = -10000;
// Pan: -10000 only the left channel sounds, 0 both, 10000 only the right.
constexpr int32_t AUDIO_PAN_LEFT = -10000;
constexpr int32_t AUDIO_PAN_RIGHT = 10000;

// A voice; 0 is none.
using AudioVoice = uint32_t;

// Bits of a voice's status.
enum : uint32_t {
  AUDIO_VOICE_PLAYING = 1,  // still sounding
  AUDIO_VOICE_LOST = 2,     // its samples were lost and must be restored before playing
};

class AudioService {
 public:
  virtual ~AudioService() = default;

  // Opens the default output device; false when there is none or it cannot be opened.
  virtual bool open_device() { return false; }
  // Gives the device the window it plays for (priority cooperation).
  virtual bool set_device_window(WindowHandle /*window*/) { return false; }
  // Sets the format the device mixes into (16-bit integer samples only).
  virtual bool set_output_format(const AudioFormat& /*format*/) { return false; }
  // Stops every voice, releases them and closes the device.
  virtual void close_device() {}

  // A new voice holding `bytes` bytes of samples in `format`, converted once to the device's
  // format. `controls`: the voice takes volume and pan (without, both stay at full). 0 when
  // the device refuses the voice (no device, format it cannot convert, out of memory).
  virtual AudioVoice create_voice(const AudioFormat& /*format*/, const uint8_t* /*samples*/,
                                  size_t /*bytes*/, bool /*controls*/) {
    return 0;
  }
  // A second voice sharing the samples of one; 0 on failure.
  virtual AudioVoice duplicate_voice(AudioVoice /*voice*/) { return 0; }
  // Stops the voice and frees it (the samples go with the last voice sharing them).
  virtual void release_voice(AudioVoice /*voice*/) {}

  // AUDIO_VOICE_* bits; false when the status cannot be read.
  virtual bool voice_status(AudioVoice /*voice*/, uint32_t& /*status*/) { return false; }
  // Restores lost samples; false when that fails.
  virtual bool restore_voice(AudioVoice /*voice*/) { return false; }
  // Attenuation in hundredths of a decibel (AUDIO_VOLUME_SILENCE..0).
  virtual bool set_voice_volume(AudioVoice /*voice*/, int32_t /*hundredths_db*/) { return false; }
  // AUDIO_PAN_LEFT..AUDIO_PAN_RIGHT: the far side is attenuated by |pan| hundredths of a dB.
  virtual bool set_voice_pan(AudioVoice /*voice*/, int32_t /*pan*/) { return false; }
  // Plays the voice once from its current position (the start unless it was moved).
  virtual bool play_voice(AudioVoice /*voice*/) { return false; }
  // Stops the voice where it is.
  virtual bool stop_voice(AudioVoice /*voice*/) { return false; }
  // Moves the voice's position back to its start.
  virtual bool rewind_voice(AudioVoice /*voice*/) { return false; }
};

inline AudioService& os_audio() { return service<AudioService>(); }

}  // namespace qrn
