// The real audio and media services on SDL's "disk" audio driver, which writes everything the
// device mixes to a file: the tests read back what was played (16-bit stereo, 22050 Hz).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/audio.h"
#include "platform/media.h"
#include "platform/sdl_mixer_output.h"
#include "sound/sound_device.h"
#include "sound/wav_reader.h"
#include "sound_fixture.h"

namespace qrn::test {
namespace {

constexpr double kRate = 22050.0;

double wall_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
void sleep_for_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A stretch of output that is not silent.
struct Stretch {
  size_t start = 0, end = 0;  // frames
  double rms_left = 0, rms_right = 0;
  int peak_left = 0, peak_right = 0;
  double ms() const { return (end - start) * 1000.0 / kRate; }
};

class DiskAudio : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    output = dir.file("mixed.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    opened_ms = wall_ms();
    ASSERT_EQ(start_sound(), 1);
    opened_end_ms = wall_ms();
  }

  // Waits until the channel is silent (at most 5 s).
  void wait_silent(int32_t channel) {
    for (int i = 0; i < 500 && sound_playing(channel); ++i) sleep_for_ms(10);
  }

  // Closes the device and reads what it mixed.
  std::vector<int16_t> finish() {
    closed_ms = wall_ms();
    release_sound();
    std::string raw = read_file(output);
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
  }

  // Non-silent stretches; gaps shorter than `gap` frames (a sine's zero crossings) join.
  static std::vector<Stretch> runs(const std::vector<int16_t>& s, int threshold = 4, size_t gap = 200) {
    std::vector<Stretch> out;
    size_t frames = s.size() / 2;
    size_t f = 0;
    while (f < frames) {
      while (f < frames && std::abs(s[2 * f]) <= threshold && std::abs(s[2 * f + 1]) <= threshold) ++f;
      if (f >= frames) break;
      Stretch run;
      run.start = f;
      size_t last = f, quiet = 0;
      while (f < frames && quiet < gap) {
        bool loud = std::abs(s[2 * f]) > threshold || std::abs(s[2 * f + 1]) > threshold;
        if (loud) {
          last = f;
          quiet = 0;
        } else {
          ++quiet;
        }
        ++f;
      }
      run.end = last + 1;
      // Levels over the middle 80 % (away from the edges of the run).
      size_t margin = (run.end - run.start) / 10;
      double sl = 0, sr = 0;
      size_t n = 0;
      for (size_t i = run.start + margin; i < run.end - margin; ++i, ++n) {
        sl += double(s[2 * i]) * s[2 * i];
        sr += double(s[2 * i + 1]) * s[2 * i + 1];
      }
      for (size_t i = run.start; i < run.end; ++i) {
        run.peak_left = std::max(run.peak_left, std::abs(int(s[2 * i])));
        run.peak_right = std::max(run.peak_right, std::abs(int(s[2 * i + 1])));
      }
      run.rms_left = n ? std::sqrt(sl / n) : 0;
      run.rms_right = n ? std::sqrt(sr / n) : 0;
      out.push_back(run);
    }
    return out;
  }

  std::string output;
  double opened_ms = 0, opened_end_ms = 0, closed_ms = 0;
};

TEST_F(DiskAudio, HalfVolumeHalvesTheAmplitude) {
  load_sound(write("tone.wav", tone_wav(1000, 16000, 200)), 0, 1);
  ASSERT_EQ(g_runtime.error_code, 0);
  wait_silent(play_sound(0, 0, 1.0));
  sleep_for_ms(60);
  wait_silent(play_sound(0, 0, 0.5));
  sleep_for_ms(60);
  std::vector<Stretch> found = runs(finish());
  ASSERT_EQ(found.size(), 2u);
  double ratio = found[1].rms_left / found[0].rms_left;
  std::printf("amplitude at volume 0.5 / at 1.0: %.4f (left), %.4f (right)\n", ratio,
              found[1].rms_right / found[0].rms_right);
  EXPECT_NEAR(ratio, 0.5, 0.015);
  EXPECT_NEAR(found[0].rms_left, 16000 / std::sqrt(2.0), 16000 * 0.01);
  EXPECT_NEAR(found[0].ms(), 200, 3);
}

TEST_F(DiskAudio, PanAttenuatesTheFarSideExactly) {
  load_sound(write("tone.wav", tone_wav(1000, 16000, 200)), 0, 1);
  wait_silent(play_sound(0, 1.0, 1.0));   // right: the left side is silent
  sleep_for_ms(60);
  wait_silent(play_sound(0, -0.5, 1.0));  // left: the right side 50 dB down
  sleep_for_ms(60);
  std::vector<Stretch> found = runs(finish());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].peak_left, 0);
  EXPECT_NEAR(found[0].peak_right, 16000, 50);
  double ratio = found[1].rms_right / found[1].rms_left;
  std::printf("right / left at pan -0.5: %.6f (-50 dB is %.6f)\n", ratio, std::pow(10.0, -2.5));
  EXPECT_NEAR(ratio, std::pow(10.0, -2.5), std::pow(10.0, -2.5) * 0.03);
}

TEST_F(DiskAudio, TwoVoicesOfOneSoundOverlap) {
  load_sound(write("level.wav", level_wav(8000, 300)), 0, 2);
  int32_t first = play_sound(0, 0, 1.0);
  sleep_for_ms(100);
  int32_t second = play_sound(0, 0, 1.0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  wait_silent(second);
  sleep_for_ms(60);
  std::vector<Stretch> found = runs(finish());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].peak_left, 16000);  // both voices at once
  EXPECT_GT(found[0].ms(), 350);
  EXPECT_LT(found[0].ms(), 600);
}

TEST_F(DiskAudio, StoppedVoiceStopsTheSignal) {
  load_sound(write("level.wav", level_wav(8000, 1000)), 0, 1);
  int32_t channel = play_sound(0, 0, 1.0);
  sleep_for_ms(100);
  stop_sound(channel);
  EXPECT_EQ(sound_playing(channel), 0);
  sleep_for_ms(100);
  std::vector<Stretch> found = runs(finish());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_GT(found[0].ms(), 50);
  EXPECT_LT(found[0].ms(), 700);  // of 1000
}

TEST_F(DiskAudio, SoundStartsSoonAfterItsPlay) {
  // The output (and the driver's file) opens with the first sound loaded: time starts there.
  opened_ms = wall_ms();
  load_sound(write("level.wav", level_wav(8000, 100)), 0, 1);
  opened_end_ms = wall_ms();
  std::vector<double> played;
  for (int i = 0; i < 3; ++i) {
    sleep_for_ms(200);
    played.push_back(wall_ms());
    wait_silent(play_sound(0, 0, 1.0));
  }
  sleep_for_ms(100);
  std::vector<int16_t> mixed = finish();
  std::vector<Stretch> found = runs(mixed);
  ASSERT_EQ(found.size(), 3u);
  // The driver writes in real time; its pace (frames per wall millisecond) is measured over
  // the whole run, so an onset frame gives the onset time. The median of three plays counts,
  // so one late wake-up of a busy machine does not.
  double frames_per_ms = (mixed.size() / 2) / (closed_ms - opened_end_ms);
  std::vector<double> latency;
  for (int i = 0; i < 3; ++i) latency.push_back(opened_end_ms + found[i].start / frames_per_ms - played[i]);
  std::sort(latency.begin(), latency.end());
  std::printf("start latency: %.1f, %.1f, %.1f ms\n", latency[0], latency[1], latency[2]);
  EXPECT_LT(latency[1], 25.0);
}

TEST_F(DiskAudio, TheOutputOpensWithTheFirstSoundAndClosesWithTheDevice) {
  // Opened at start only to be known there: a program without sounds runs no audio thread.
  EXPECT_TRUE(g_runtime.sound->has_output);
  EXPECT_EQ(mixer_output().holders(), 0);
  load_sound(write("level.wav", level_wav(8000, 100)), 0, 2);
  EXPECT_EQ(mixer_output().holders(), 1);
  EXPECT_EQ(g_runtime.error_code, 0);
  const int32_t channel = play_sound(0, 0, 1.0);
  EXPECT_GE(channel, 0);
  wait_silent(channel);
  // Music shares the output; the last holder closes it.
  play_music(RtString(write("tune.wav", level_wav(8000, 100)).c_str()), 1);
  EXPECT_EQ(mixer_output().holders(), 2);
  stop_music();
  EXPECT_EQ(mixer_output().holders(), 1);
  std::vector<Stretch> found = runs(finish());
  EXPECT_EQ(mixer_output().holders(), 0);
  EXPECT_GE(found.size(), 1u);
}

TEST_F(DiskAudio, ConversionAtLoadKeepsTheDuration) {
  // 8-bit mono at 11025 Hz and 16-bit stereo at 44100 Hz both play 200 ms.
  std::string eight(11025 / 5, char(0x80 + 64));
  load_sound(write("u8.wav", wav_file(1, 11025, 8, eight)), 0, 1);
  std::string stereo = pcm16(std::vector<int16_t>(44100 / 5 * 2, 5000));
  load_sound(write("s16.wav", wav_file(2, 44100, 16, stereo)), 1, 1);
  ASSERT_EQ(g_runtime.error_code, 0);
  wait_silent(play_sound(0, 0, 1.0));
  sleep_for_ms(60);
  wait_silent(play_sound(1, 0, 1.0));
  sleep_for_ms(60);
  std::vector<Stretch> found = runs(finish());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NEAR(found[0].ms(), 200, 5);
  EXPECT_NEAR(found[1].ms(), 200, 5);
  EXPECT_NEAR(found[0].rms_left, 64 * 256, 400);
  EXPECT_NEAR(found[1].rms_right, 5000, 100);
}

TEST_F(DiskAudio, AtMost1024VoicesSoundAtOnce) {
  AudioService& audio = os_audio();
  std::string level = pcm16(std::vector<int16_t>(22050, 1));
  AudioFormat format{1, 22050, 16, 2, false};
  AudioVoice first = audio.create_voice(format, reinterpret_cast<const uint8_t*>(level.data()), level.size(), true);
  ASSERT_NE(first, 0u);
  std::vector<AudioVoice> voices{first};
  for (int i = 0; i < 1024; ++i) voices.push_back(audio.duplicate_voice(first));
  for (int i = 0; i < 1024; ++i) EXPECT_TRUE(audio.play_voice(voices[i])) << i;
  EXPECT_FALSE(audio.play_voice(voices[1024]));
  audio.stop_voice(voices[0]);
  EXPECT_TRUE(audio.play_voice(voices[1024]));
  for (AudioVoice v : voices) audio.release_voice(v);
  finish();
}

TEST_F(DiskAudio, MusicPlaysThroughTheRealPlayer) {
  RtString piece = write("piece.wav", tone_wav(440, 8000, 1500, 44100));
  play_music(piece, 0);
  ASSERT_NE(g_runtime.music_window, nullptr);
  double length = os_media().music_length_ms(g_runtime.music_window);
  EXPECT_NEAR(length, 1500, 1500 * 0.05);
  EXPECT_EQ(music_playing(), 1);
  sleep_for_ms(300);
  double position = os_media().music_position_ms(g_runtime.music_window);
  EXPECT_GT(position, 150);
  EXPECT_LT(position, 800);
  pause_music(1);
  double paused = os_media().music_position_ms(g_runtime.music_window);
  sleep_for_ms(200);
  EXPECT_NEAR(os_media().music_position_ms(g_runtime.music_window), paused, 1);
  pause_music(0);
  stop_music();
  std::vector<Stretch> found = runs(finish());
  ASSERT_FALSE(found.empty());  // the music reached the output
}

// The real player's lengths for every format it plays, against the files' true lengths.
TEST_F(DiskAudio, LengthsOfEveryFormat) {
  const double truth = 1234.0;
  std::string wav = write("t.wav", tone_wav(440, 8000, 1234, 44100)).c_str();
  std::vector<std::pair<std::string, std::string>> files = {{"wav", wav}};
  bool have_sox = std::system("command -v sox >/dev/null 2>&1") == 0;
  bool have_gst = std::system("command -v gst-launch-1.0 >/dev/null 2>&1") == 0;
  for (const char* ext : {"ogg", "flac"}) {
    std::string out = dir.file(std::string("t.") + ext);
    if (have_sox && std::system(("sox -q '" + wav + "' '" + out + "'").c_str()) == 0) files.push_back({ext, out});
    else ADD_FAILURE() << "cannot make a ." << ext << " file (sox)";
  }
  std::string mp3 = dir.file("t.mp3");
  std::string gst = "gst-launch-1.0 -q filesrc location='" + wav + "' ! wavparse ! audioconvert ! "
                    "lamemp3enc target=bitrate bitrate=128 ! xingmux ! filesink location='" + mp3 + "' >/dev/null 2>&1";
  // An MP3 file holds whole frames, so it plays longer than its source: its true length is
  // what an independent decoder (GStreamer's) makes of it.
  double mp3_truth = 0;
  std::string decoded = dir.file("mp3.wav");
  std::string decode = "gst-launch-1.0 -q filesrc location='" + mp3 + "' ! mpegaudioparse ! mpg123audiodec ! "
                       "audioconvert ! wavenc ! filesink location='" + decoded + "' >/dev/null 2>&1";
  if (have_gst && std::system(gst.c_str()) == 0 && std::system(decode.c_str()) == 0) {
    std::string bytes = read_file(decoded);
    WavSound sound;
    if (read_wav(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), sound)) {
      mp3_truth = 1000.0 * (sound.bytes / sound.format.block_align) / sound.format.samples_per_second;
      files.push_back({"mp3", mp3});
    }
  }
  if (mp3_truth == 0) ADD_FAILURE() << "cannot make and decode an .mp3 file (gst-launch-1.0, lamemp3enc, mpg123audiodec)";
  // MIDI: one note of 1234 ticks at 500 ticks per quarter and 120 bpm (1 ms per tick).
  std::string events = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7) +  // 500000 us per quarter
                       std::string("\x00\xC0\x00\x00\x90\x45\x60", 7) + std::string("\x89\x52", 2) +
                       std::string("\x80\x45\x00\x00\xFF\x2F\x00", 7);
  std::string smf = std::string("MThd\0\0\0\x06\0\0\0\x01\x01\xF4", 14) + "MTrk" + le32(0) + events;
  uint32_t n = static_cast<uint32_t>(events.size());
  smf.replace(18, 4, std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)});
  files.push_back({"mid", write("t.mid", smf).c_str()});

  for (const auto& [ext, path] : files) {
    play_music(RtString(path.c_str()), 0);
    ASSERT_NE(g_runtime.music_window, nullptr) << ext;
    double length = os_media().music_length_ms(g_runtime.music_window);
    double want = ext == "mp3" ? mp3_truth : truth;
    std::printf("%s: length %.1f ms (true length %.1f)\n", ext.c_str(), length, want);
    EXPECT_NEAR(length, want, 10.0) << ext;
    sleep_for_ms(150);
    EXPECT_GT(os_media().music_position_ms(g_runtime.music_window), 50) << ext;
    stop_music();
  }
  finish();
}

TEST(NoAudioDevice, FailedOpenIsTheSilentPath) {
  const char* before = std::getenv("SDL_AUDIODRIVER");
  std::string driver = before ? before : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  reset_runtime_state();
  g_runtime.sound = create_sound_device();
  g_runtime.sound_channels = create_sound_slots();
  EXPECT_EQ(open_sound_device(nullptr), 0);
  EXPECT_FALSE(g_runtime.sound->has_output);
  EXPECT_EQ(play_sound(0, 0, 1), -1);
  release_sound();
  // Music without a device: a silent player, nothing reported.
  TempDir dir;
  write_file(dir.file("a.wav"), level_wav(100, 100));
  play_music(RtString(dir.file("a.wav").c_str()), 1);
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(music_playing(), 1);
  stop_music();
  reset_runtime_state();
  if (before) setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  else unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace qrn::test
