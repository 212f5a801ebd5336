// The WAV reader on bytes: the chunk walk, the formats it takes, and files it must refuse.
#include "sound/wav_reader.h"

#include "sound_fixture.h"

namespace qrn::test {
namespace {

bool read(const std::string& file, WavSound& sound) {
  return read_wav(reinterpret_cast<const uint8_t*>(file.data()), file.size(), sound);
}
bool reads(const std::string& file) {
  WavSound sound;
  return read(file, sound);
}

TEST(WavReader, ChunkWalkFindsFormatAndData) {
  const std::string data = pcm16({1, -2, 3, -4});
  WavSound sound;
  // Plain file.
  std::string plain = wav_file(2, 44100, 16, data);
  ASSERT_TRUE(read(plain, sound));
  EXPECT_EQ(sound.format.channels, 2);
  EXPECT_EQ(sound.format.samples_per_second, 44100);
  EXPECT_EQ(sound.format.block_align, 4);
  EXPECT_EQ(sound.bytes, data.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sound.samples), sound.bytes), data);

  // An 18-byte format chunk (cbSize after the 16 bytes), an odd-sized chunk before "fmt ",
  // and one between "fmt " and "data": each padded to an even size as RIFF requires.
  std::string padded = riff_wave(chunk("LIST", "abc") + chunk("fmt ", format_body(1, 8000, 8, 1, le16(0))) +
                                 chunk("fact", "x") + chunk("data", "\x80\x81\x82"));
  ASSERT_TRUE(read(padded, sound));
  EXPECT_EQ(sound.format.channels, 1);
  EXPECT_EQ(sound.format.bits_per_sample, 8);
  EXPECT_EQ(sound.format.samples_per_second, 8000);
  EXPECT_EQ(sound.bytes, 3u);
  EXPECT_EQ(sound.samples[0], 0x80);

  // A format chunk of odd length (17 bytes) is skipped with its pad byte.
  EXPECT_TRUE(reads(riff_wave(chunk("fmt ", format_body(1, 8000, 16, 1, "z")) + chunk("data", data))));
}

TEST(WavReader, FormatsItTakes) {
  WavSound sound;
  ASSERT_TRUE(read(riff_wave(chunk("fmt ", format_body(2, 48000, 32, 3)) + chunk("data", std::string(16, '\0'))), sound));
  EXPECT_TRUE(sound.format.floating);
  // Extensible format whose sub-format is float, then PCM.
  std::string ext_tail = le16(22) + le16(32) + le32(3) + le16(3) + std::string(14, '\0');
  ASSERT_TRUE(read(riff_wave(chunk("fmt ", format_body(2, 48000, 32, 0xFFFE, ext_tail)) +
                             chunk("data", std::string(8, '\0'))), sound));
  EXPECT_TRUE(sound.format.floating);
  std::string ext_pcm = le16(22) + le16(24) + le32(3) + le16(1) + std::string(14, '\0');
  ASSERT_TRUE(read(riff_wave(chunk("fmt ", format_body(2, 48000, 24, 0xFFFE, ext_pcm)) +
                             chunk("data", std::string(12, '\0'))), sound));
  EXPECT_FALSE(sound.format.floating);
  EXPECT_EQ(sound.format.bits_per_sample, 24);
  // Eight channels is the most; a trailing partial frame is dropped.
  ASSERT_TRUE(read(wav_file(8, 22050, 16, std::string(16 * 2 + 5, '\0')), sound));
  EXPECT_EQ(sound.bytes, 32u);
}

TEST(WavReader, RefusesMalformedFormats) {
  const std::string data(64, '\0');
  auto with_format = [&](const std::string& fmt) { return riff_wave(chunk("fmt ", fmt) + chunk("data", data)); };
  std::string base = format_body(1, 22050, 16);
  auto patched = [&](size_t at, const std::string& bytes) {
    std::string f = base;
    f.replace(at, bytes.size(), bytes);
    return with_format(f);
  };
  EXPECT_FALSE(reads(with_format(base.substr(0, 14))));  // format chunk shorter than 16
  EXPECT_FALSE(reads(patched(2, le16(0))));              // zero channels
  EXPECT_FALSE(reads(with_format(format_body(9, 22050, 16))));  // more than 8 channels
  EXPECT_FALSE(reads(patched(4, le32(0))));              // zero sample rate
  EXPECT_FALSE(reads(patched(12, le16(0))));             // zero block alignment
  EXPECT_FALSE(reads(patched(12, le16(3))));             // alignment that is not one frame
  EXPECT_FALSE(reads(with_format(format_body(1, 22050, 12))));  // 12-bit samples
  EXPECT_FALSE(reads(with_format(format_body(1, 22050, 16, 3))));  // 16-bit float
  EXPECT_FALSE(reads(with_format(format_body(1, 22050, 4, 2))));   // ADPCM
  EXPECT_FALSE(reads(with_format(format_body(1, 8000, 8, 7))));    // mu-law would play as noise
}

TEST(WavReader, RefusesBrokenFiles) {
  std::string good = wav_file(1, 22050, 16, pcm16({100, 200, 300, 400}));
  ASSERT_TRUE(reads(good));
  // Truncated at every byte.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(reads(good.substr(0, n))) << n;
  // Chunk sizes beyond the file.
  std::string big_data = good;
  big_data.replace(40, 4, le32(9));
  EXPECT_FALSE(reads(big_data));
  std::string huge_chunk = riff_wave(chunk("LIST", "ab").replace(4, 4, le32(0xFFFFFFF0u)) +
                                     chunk("fmt ", format_body(1, 22050, 16)) + chunk("data", "ab"));
  EXPECT_FALSE(reads(huge_chunk));
  // No "fmt ", or "data" only before it, or not RIFF WAVE at all.
  EXPECT_FALSE(reads(riff_wave(chunk("data", "abcd"))));
  EXPECT_FALSE(reads(riff_wave(chunk("data", "abcd") + chunk("fmt ", format_body(1, 22050, 16)))));
  std::string not_wave = good;
  not_wave.replace(8, 4, "AVI ");
  EXPECT_FALSE(reads(not_wave));
  // Data without one whole frame.
  EXPECT_FALSE(reads(wav_file(2, 22050, 16, "abc")));
  WavSound none;
  EXPECT_FALSE(read_wav(nullptr, 0, none));
}

}  // namespace
}  // namespace qrn::test
