// Helpers for the sound tests: WAV and MIDI files built byte by byte, and a runtime record
// with a sound device and its slots on the scripted (or the real) audio service.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "quarnel.h"
#include "sound/sound_device.h"
#include "support/temp_dir.h"

namespace qrn::test {

inline std::string le16(uint32_t v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// A RIFF chunk, padded to an even size.
inline std::string chunk(const char* id, const std::string& body) {
  std::string out = std::string(id, 4) + le32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() % 2) out += '\0';
  return out;
}

// The 16 bytes of a format chunk (plus any extra bytes).
inline std::string format_body(uint32_t channels, uint32_t rate, uint32_t bits, uint32_t tag = 1,
                               const std::string& extra = "") {
  uint32_t block = channels * (bits / 8);
  return le16(tag) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits) + extra;
}

inline std::string riff_wave(const std::string& chunks) {
  return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

inline std::string wav_file(uint32_t channels, uint32_t rate, uint32_t bits, const std::string& data) {
  return riff_wave(chunk("fmt ", format_body(channels, rate, bits)) + chunk("data", data));
}

// 16-bit mono samples.
inline std::string pcm16(const std::vector<int16_t>& samples) {
  std::string out;
  for (int16_t s : samples) out += le16(static_cast<uint16_t>(s));
  return out;
}

// A sine of `hz` at `amplitude` for `ms`, 16-bit mono at `rate`.
inline std::string tone_wav(double hz, double amplitude, int ms, uint32_t rate = 22050) {
  std::vector<int16_t> samples(static_cast<size_t>(rate) * ms / 1000);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
  }
  return wav_file(1, rate, 16, pcm16(samples));
}

// A constant level for `ms`, 16-bit mono at `rate` (sums of overlapping voices stay exact).
inline std::string level_wav(int16_t level, int ms, uint32_t rate = 22050) {
  return wav_file(1, rate, 16, pcm16(std::vector<int16_t>(static_cast<size_t>(rate) * ms / 1000, level)));
}

// A runtime record with a sound device and free slots, on the scripted platform.
class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime_state();
    (*fake).temp_dir = dir.path();
    (*fake).cwd = dir.path();
  }
  void TearDown() override { reset_runtime_state(); }
  // Creates the device and slots and opens the device, as start-up does.
  int32_t start_sound() {
    g_runtime.sound = create_sound_device();
    g_runtime.sound_channels = create_sound_slots();
    return open_sound_device(nullptr);
  }
  RtString write(const std::string& name, const std::string& bytes) {
    write_file(dir.file(name), bytes);
    return RtString(dir.file(name).c_str());
  }
  RtString path(const std::string& name) const { return RtString(dir.file(name).c_str()); }

  TempDir dir;
  FakePlatformScope fake;
};

}  // namespace qrn::test
