// The effect mixer on plain data: gains from attenuation and pan, saturation, and voices
// that end inside a block.
#include "platform/voice_mixer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qrn {
namespace {

TEST(VoiceMixer, GainsFromVolumeAndPan) {
  EXPECT_EQ(attenuation_gain(0), 1.0f);
  EXPECT_EQ(attenuation_gain(-10000), 0.0f);
  EXPECT_EQ(attenuation_gain(-20000), 0.0f);
  EXPECT_FLOAT_EQ(attenuation_gain(-602), static_cast<float>(std::pow(10.0, -0.301)));
  EXPECT_FLOAT_EQ(attenuation_gain(-9999), static_cast<float>(std::pow(10.0, -4.9995)));  // -100 dB, not 0
  MixerVoice v;
  v.volume = -2000;
  v.pan = 4000;  // right: the left side loses another 40 dB
  update_voice_gains(v);
  EXPECT_FLOAT_EQ(v.left_gain, 0.001f);
  EXPECT_FLOAT_EQ(v.right_gain, 0.1f);
  v.pan = -10000;
  update_voice_gains(v);
  EXPECT_FLOAT_EQ(v.left_gain, 0.1f);
  EXPECT_EQ(v.right_gain, 0.0f);
  v.controls = false;  // a voice without controls stays at full level
  update_voice_gains(v);
  EXPECT_EQ(v.left_gain, 1.0f);
  EXPECT_EQ(v.right_gain, 1.0f);
}

TEST(VoiceMixer, AddsOntoTheOutputSaturatesAndEndsVoices) {
  auto frames = std::make_shared<std::vector<int16_t>>(std::vector<int16_t>{30000, -30000, 100, -100, 7, 7});
  MixerVoice a, b;
  a.frames = b.frames = frames;
  a.playing = b.playing = true;
  b.position = 2;  // b has one frame left
  MixerVoice* voices[] = {&a, &b};
  std::vector<int16_t> out = {5000, -5000, 1, 1, 2, 2, 3, 3};
  std::vector<float> scratch;
  size_t kept = mix_voices(voices, 2, out.data(), 4, scratch);
  // Frame 0: 5000 + 30000 + 7 saturates; frames past a voice's end get nothing from it.
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32768, 101, -99, 9, 9, 3, 3}));
  // Both reached their end: stopped, back at the start.
  EXPECT_EQ(kept, 0u);
  EXPECT_FALSE(a.playing);
  EXPECT_FALSE(b.playing);
  EXPECT_EQ(a.position, 0u);
  EXPECT_EQ(b.position, 0u);

  // A voice still playing after the block is kept; a muted voice advances all the same.
  a.playing = true;
  a.left_gain = a.right_gain = 0.0f;
  MixerVoice* one[] = {&a};
  std::vector<int16_t> quiet(4, 0);
  EXPECT_EQ(mix_voices(one, 1, quiet.data(), 2, scratch), 1u);
  EXPECT_EQ(quiet, std::vector<int16_t>(4, 0));
  EXPECT_EQ(a.position, 2u);
}

}  // namespace
}  // namespace qrn
