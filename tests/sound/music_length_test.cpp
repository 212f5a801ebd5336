// MIDI lengths from events and tempo changes, MP3 lengths from frames, and damaged files
// that must not be misread.
#include "sound/midi_length.h"
#include "sound/mp3_length.h"

#include "sound_fixture.h"

namespace qrn::test {
namespace {

using namespace std::string_literals;

std::string be16(uint32_t v) { return std::string{char((v >> 8) & 0xFF), char(v & 0xFF)}; }
std::string be32(uint32_t v) { return be16(v >> 16) + be16(v & 0xFFFF); }
std::string vlq(uint32_t v) {
  std::string out(1, char(v & 0x7F));
  while (v >>= 7) out.insert(out.begin(), char(0x80 | (v & 0x7F)));
  return out;
}
std::string tempo(uint32_t delta, uint32_t us) {
  return vlq(delta) + "\xFF\x51\x03" + std::string{char(us >> 16), char((us >> 8) & 0xFF), char(us & 0xFF)};
}
std::string end_of_track(uint32_t delta) { return vlq(delta) + std::string("\xFF\x2F\x00", 3); }
std::string track(const std::string& events) { return "MTrk" + be32(static_cast<uint32_t>(events.size())) + events; }
std::string midi(uint16_t format, uint16_t division, const std::vector<std::string>& tracks) {
  std::string out = "MThd" + be32(6) + be16(format) + be16(static_cast<uint32_t>(tracks.size())) + be16(division);
  for (const std::string& t : tracks) out += track(t);
  return out;
}
double length(const std::string& file) {
  return midi_length_ms(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(MidiLength, EventsAndTempoChanges) {
  // 480 ticks per quarter. Default tempo 120 bpm: 960 ticks = 1000 ms.
  EXPECT_DOUBLE_EQ(length(midi(0, 480, {vlq(0) + "\x90\x3C\x40" + vlq(960) + "\x80\x3C\x00"s + end_of_track(0)})), 1000.0);
  // Running status, a program change (one data byte) and a sysex; a tempo change to 60 bpm
  // after 480 ticks: 500 ms + 480 ticks at 1 s per quarter = 1500 ms.
  std::string events = vlq(0) + "\xC0\x05" + vlq(0) + "\x90\x3C\x40" + vlq(240) + std::string("\x3C\x00", 2) +
                       vlq(0) + "\xF0" + vlq(3) + "\x7E\x7F\xF7" + tempo(240, 1000000) + vlq(480) +
                       "\x80\x3C\x00"s + end_of_track(0);
  EXPECT_DOUBLE_EQ(length(midi(0, 480, {events})), 1500.0);
  // Format 1: the tempo map of track 0 applies to the notes of track 1, and the longest
  // track sets the length: 480 ticks at 120 bpm, 960 at 240 bpm = 500 + 500.
  std::string conductor = tempo(480, 250000) + end_of_track(0);
  std::string notes = vlq(0) + "\x90\x40\x40" + vlq(1440) + "\x80\x40\x00"s + end_of_track(0);
  EXPECT_DOUBLE_EQ(length(midi(1, 480, {conductor, notes})), 1000.0);
  // Format 2: tracks play one after the other.
  EXPECT_DOUBLE_EQ(length(midi(2, 480, {end_of_track(960), end_of_track(480)})), 1500.0);
  // SMPTE time: 25 frames of 40 ticks = 1000 ticks per second, tempo changes ignored.
  EXPECT_DOUBLE_EQ(length(midi(0, 0xE728, {tempo(0, 1000) + end_of_track(2500)})), 2500.0);
  // A RIFF "RMID" wrapper.
  std::string smf = midi(0, 480, {end_of_track(960)});
  std::string rmid = "RIFF" + le32(static_cast<uint32_t>(4 + 8 + smf.size())) + "RMID" + chunk("data", smf);
  EXPECT_TRUE(looks_like_midi(reinterpret_cast<const uint8_t*>(rmid.data()), rmid.size()));
  EXPECT_DOUBLE_EQ(length(rmid), 1000.0);
}

TEST(MidiLength, DamagedFiles) {
  EXPECT_EQ(length("RIFF0000WAVE"), -1.0);
  EXPECT_EQ(length(midi(0, 0, {end_of_track(10)})), -1.0);  // zero ticks per quarter
  EXPECT_EQ(length(midi(3, 480, {end_of_track(10)})), -1.0);
  // A track that stops making sense ends at its last good event; a track chunk longer than
  // the file is read as far as it goes; every truncation gives a length, never a crash.
  std::string good = midi(0, 480, {vlq(0) + "\x90\x3C\x40" + vlq(960) + "\x80\x3C\x00"s + end_of_track(480)});
  EXPECT_DOUBLE_EQ(length(good), 1500.0);
  std::string bad_status = midi(0, 480, {vlq(960) + "\x3C\x40" + end_of_track(480)});
  EXPECT_DOUBLE_EQ(length(bad_status), 0.0);
  for (size_t n = 14; n < good.size(); ++n) {
    double ms = length(good.substr(0, n));
    EXPECT_GE(ms, 0.0) << n;
    EXPECT_LE(ms, 1500.0) << n;
  }
  // Deltas of five bytes are not quantities.
  EXPECT_DOUBLE_EQ(length(midi(0, 480, {std::string("\x81\x81\x81\x81\x01", 5) + "\x90\x3C\x40"})), 0.0);
}

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, stereo: 417 bytes and 1152 samples a frame.
std::string mp3_frame(const std::string& body = "") {
  std::string frame = "\xFF\xFB\x90\x00"s + body;
  frame.resize(417, '\x55');
  return frame;
}
double mp3_length(const std::string& file) {
  return mp3_length_ms(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(Mp3Length, FramesLessTheEncodersDelayAndPadding) {
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += mp3_frame();
  EXPECT_TRUE(looks_like_mp3(reinterpret_cast<const uint8_t*>(ten.data()), ten.size()));
  EXPECT_DOUBLE_EQ(mp3_length(ten), 11520 * 1000.0 / 44100);
  // An ID3v2 tag before, an ID3v1 tag after and a few damaged bytes between frames.
  std::string id3 = "ID3\x03\x00\x00\x00\x00\x00\x05"s + "abcde";
  std::string tagged = id3 + ten.substr(0, 417 * 5) + "xyz" + ten.substr(417 * 5) + "TAG" + std::string(125, 'x');
  EXPECT_DOUBLE_EQ(mp3_length(tagged), 11520 * 1000.0 / 44100);
  // A "Xing" frame with a LAME header holds no audio; 576 + 1000 samples are trimmed.
  std::string side(32, '\0');
  std::string lame = "LAME3.100" + std::string(12, '\0') + "\x24\x03\xE8"s;
  std::string xing = mp3_frame(side + "Xing" + le32(0).replace(3, 1, "\x03") + "\x00\x00\x00\x0A"s + le32(0) + lame);
  EXPECT_DOUBLE_EQ(mp3_length(xing + ten), (11520 - 576 - 1000) * 1000.0 / 44100);
  // "Info" without a LAME header: only the frame itself is left out.
  EXPECT_DOUBLE_EQ(mp3_length(mp3_frame(side + "Info" + le32(0)) + ten), 11520 * 1000.0 / 44100);
}

TEST(Mp3Length, DamagedFiles) {
  EXPECT_EQ(mp3_length("not an mp3 at all"), -1.0);
  EXPECT_EQ(mp3_length("\xFF\xFB\xF0\x00"s), -1.0);  // bitrate index 15
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += mp3_frame();
  for (size_t n = 0; n < ten.size(); n += 97) {
    double ms = mp3_length(ten.substr(0, n));
    EXPECT_LE(ms, 11520 * 1000.0 / 44100 + 0.001) << n;
  }
  // A tag claiming more bytes than the file has.
  EXPECT_EQ(mp3_length("ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s + ten), -1.0);
}

}  // namespace
}  // namespace qrn::test
