// The sound-effect mixer (see voice_mixer.h).
#include "platform/voice_mixer.h"

#include <algorithm>
#include <cmath>

namespace qrn {

float attenuation_gain(int32_t hundredths_db) {
  if (hundredths_db <= -10000) return 0.0f;
  if (hundredths_db >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, hundredths_db / 2000.0));
}

void update_voice_gains(MixerVoice& voice) {
  if (!voice.controls) {
    voice.left_gain = voice.right_gain = 1.0f;
    return;
  }
  int32_t pan = std::clamp(voice.pan, -10000, 10000);
  int32_t left = voice.volume - (pan > 0 ? pan : 0);
  int32_t right = voice.volume - (pan < 0 ? -pan : 0);
  voice.left_gain = attenuation_gain(left);
  voice.right_gain = attenuation_gain(right);
}

size_t mix_voices(MixerVoice** voices, size_t count, int16_t* out, size_t frames,
                  std::vector<float>& scratch) {
  if (scratch.size() < frames * 2) scratch.resize(frames * 2);
  float* sum = scratch.data();
  std::fill(sum, sum + frames * 2, 0.0f);
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    MixerVoice& voice = *voices[i];
    if (!voice.playing) continue;
    const std::vector<int16_t>& data = *voice.frames;
    size_t total = data.size() / 2;
    size_t n = voice.position < total ? std::min(frames, total - voice.position) : 0;
    const float gl = voice.left_gain;
    const float gr = voice.right_gain;
    // A muted voice still moves on, so it ends when it would have ended.
    if (gl != 0.0f || gr != 0.0f) {
      const int16_t* source = data.data() + voice.position * 2;
      for (size_t f = 0; f < n; ++f) {
        sum[2 * f] += source[2 * f] * gl;
        sum[2 * f + 1] += source[2 * f + 1] * gr;
      }
    }
    voice.position += n;
    if (voice.position >= total) {
      voice.playing = false;
      voice.position = 0;
    } else {
      voices[kept++] = &voice;
    }
  }
  if (count == 0) return 0;
  for (size_t s = 0; s < frames * 2; ++s) {
    float mixed = out[s] + sum[s];
    mixed = std::nearbyint(mixed);
    out[s] = static_cast<int16_t>(std::clamp(mixed, -32768.0f, 32767.0f));
  }
  return kept;
}

}  // namespace qrn
