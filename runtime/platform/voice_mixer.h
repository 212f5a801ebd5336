// The sound-effect mixer behind the audio service: voices hold 16-bit stereo frames at the
// device's rate and are added, each with its own left and right gain, onto a block of output
// that already holds the music. Plain code on plain data: no device, no locks (the caller
// holds the lock the audio thread shares).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qrn {

// Samples shared by a voice and its duplicates: interleaved stereo frames.
using VoiceFrames = std::shared_ptr<const std::vector<int16_t>>;

struct MixerVoice {
  VoiceFrames frames;
  size_t position = 0;    // next frame to play
  bool playing = false;
  bool controls = true;   // false: volume and pan are ignored, both gains stay 1
  int32_t volume = 0;     // hundredths of a decibel, -10000..0
  int32_t pan = 0;        // -10000..10000
  float left_gain = 1.0f;
  float right_gain = 1.0f;
};

// Linear gain of an attenuation in hundredths of a decibel: 10^(h / 2000); exactly 0 at
// -10000 and below, exactly 1 at 0 and above.
float attenuation_gain(int32_t hundredths_db);
// Sets the voice's two gains from its volume and pan: the side away from the pan is
// attenuated by |pan| on top of the volume, the other side only by the volume.
void update_voice_gains(MixerVoice& voice);

// Adds every playing voice in voices[0..count) onto `frames` stereo frames of `out`,
// saturating at the 16-bit range. A voice that reaches its end stops and its position goes
// back to the start. `scratch` is resized to 2 * frames as needed. Returns how many of the
// voices are still playing afterwards; those are moved to the front of `voices`, in order.
size_t mix_voices(MixerVoice** voices, size_t count, int16_t* out, size_t frames,
                  std::vector<float>& scratch);

}  // namespace qrn
