// Sound-effect commands on the scripted audio service: slots, voice picking, the volume and
// pan arithmetic, errors, and the device without an output.
#include <filesystem>

#include "platform/audio.h"
#include "platform/fake_audio.h"
#include "sound/sound_device.h"
#include "sound/wav_reader.h"
#include "sound_fixture.h"

namespace qrn::test {
namespace {

class SoundEffects : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ASSERT_EQ(start_sound(), 1);
    wav = write("beep.wav", tone_wav(1000, 8000, 50));
  }
  void TearDown() override {
    SoundTest::TearDown();
    (*fake).stdout_text.clear();
  }
  AudioVoice voice_of(int32_t slot, int32_t v) { return g_runtime.sound_channels[slot].voices[v]; }

  FakeAudio audio;
  ServiceScope<AudioService> scope{&audio};
  RtString wav;
};

TEST_F(SoundEffects, OpeningTheDevice) {
  EXPECT_TRUE(audio.open);
  EXPECT_EQ(audio.output_format.samples_per_second, 22050);
  EXPECT_EQ(audio.output_format.channels, 2);
  EXPECT_EQ(audio.output_format.bits_per_sample, 16);
  int marker = 0;
  bind_sound_window(&marker);
  EXPECT_EQ(audio.window, &marker);
  EXPECT_EQ(g_runtime.sound->window, &marker);
}

TEST_F(SoundEffects, FindFreeSoundTakesTheHighestFreeSlot) {
  EXPECT_EQ(find_free_sound(), 4095);
  load_sound(wav, 4095, 1);
  EXPECT_EQ(find_free_sound(), 4094);
  for (int32_t slot = 0; slot < SOUND_SLOT_COUNT; ++slot) g_runtime.sound_channels[slot].voice_count = 1;
  EXPECT_EQ(find_free_sound(), -1);
  EXPECT_EQ(g_runtime.error_code, 7);
  g_runtime.sound_channels[0].voice_count = 0;
  EXPECT_EQ(find_free_sound(), 0);
  EXPECT_EQ(g_runtime.error_code, 0);
  for (int32_t slot = 0; slot < SOUND_SLOT_COUNT; ++slot) g_runtime.sound_channels[slot].voice_count = 0;
}

TEST_F(SoundEffects, LoadingClampsVoicesAndSharesTheSamples) {
  load_sound(wav, 3, 0);
  EXPECT_EQ(g_runtime.sound_channels[3].voice_count, 1);
  load_sound(wav, 3, 9);
  EXPECT_EQ(g_runtime.error_code, 0);
  SoundSlot& slot = g_runtime.sound_channels[3];
  ASSERT_EQ(slot.voice_count, 4);
  // The first load's voice was released; the four new ones share one block of samples.
  EXPECT_EQ(audio.voices.size(), 4u);
  const auto& shared = audio.voices[slot.voices[0]].samples;
  for (AudioVoice v : slot.voices) EXPECT_EQ(audio.voices[v].samples, shared);
  EXPECT_EQ(audio.voices[slot.voices[0]].format.channels, 1);
  EXPECT_EQ(audio.voices[slot.voices[0]].format.bits_per_sample, 16);
  EXPECT_EQ(audio.voices[slot.voices[0]].samples->size(), 22050u * 50 / 1000 * 2);
}

TEST_F(SoundEffects, LoadFailuresLeaveTheSlotFree) {
  load_sound(wav, 7, 2);
  load_sound(path("missing.wav"), 7, 2);
  EXPECT_EQ(g_runtime.error_code, 3);
  // A missing name fails before the slot is touched.
  EXPECT_EQ(g_runtime.sound_channels[7].voice_count, 2);
  load_sound(write("bad.wav", "RIFF....WAVEjunk"), 7, 2);
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(g_runtime.sound_channels[7].voice_count, 0);
  EXPECT_TRUE(audio.voices.empty());
  EXPECT_EQ(play_sound(7, 0, 1), -1);
  load_sound(wav, 4096, 1);
  EXPECT_EQ(g_runtime.error_code, 7);
  load_sound(wav, -1, 1);
  EXPECT_EQ(g_runtime.error_code, 7);
  // A device that refuses the voice outright.
  audio.refuse_voices = true;
  load_sound(wav, 8, 1);
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(g_runtime.sound_channels[8].voice_count, 0);
  EXPECT_EQ(g_runtime.sound_channels[8].owner_device, nullptr);
}

TEST_F(SoundEffects, WavFilesUpToTheSizeLimitLoad) {
  // Sparse files of 16-bit stereo whose data chunk fills them: exactly the limit, and one
  // byte more (refused before anything is read).
  for (uint64_t size : {MAX_WAV_FILE_BYTES, MAX_WAV_FILE_BYTES + 1}) {
    uint64_t data = size - 44;
    std::string header = riff_wave(chunk("fmt ", format_body(2, 22050, 16)) + "data" + le32(static_cast<uint32_t>(data)));
    RtString name = write("big.wav", header);
    std::filesystem::resize_file(name.c_str(), size);
    load_sound(name, 0, 1);
    EXPECT_EQ(g_runtime.error_code, size == MAX_WAV_FILE_BYTES ? 0 : 3) << size;
    EXPECT_EQ(g_runtime.sound_channels[0].voice_count, size == MAX_WAV_FILE_BYTES ? 1 : 0) << size;
    release_sound();
    ASSERT_EQ(start_sound(), 1);
  }
}

TEST_F(SoundEffects, MemoryFilesLoad) {
  std::string bytes = level_wav(1000, 10);
  RtString name = memory_file_name(bytes.data(), static_cast<uint32_t>(bytes.size()));
  load_sound(name, 1, 1);
  EXPECT_EQ(g_runtime.error_code, 0);
  ASSERT_EQ(g_runtime.sound_channels[1].voice_count, 1);
  EXPECT_EQ(audio.voices[voice_of(1, 0)].samples->size(), 220u * 2);
}

TEST_F(SoundEffects, OneVoiceIsNeverCutShort) {
  load_sound(wav, 5, 1);
  EXPECT_EQ(play_sound(5, 0, 1), 5 * 256);
  EXPECT_EQ(play_sound(5, 0, 1), -1);
  EXPECT_EQ(sound_playing(5 * 256), 1);
  audio.finish_all();
  EXPECT_EQ(sound_playing(5 * 256), 0);
  EXPECT_EQ(play_sound(5, 0, 1), 5 * 256);
}

TEST_F(SoundEffects, VoicesTakeTurnsAndTheOldestIsRestarted) {
  load_sound(wav, 2, 3);
  std::vector<int32_t> channels;
  for (int i = 0; i < 4; ++i) channels.push_back(play_sound(2, 0, 1));
  EXPECT_EQ(channels, (std::vector<int32_t>{512, 513, 514, 512}));
  // Voice 0 was stopped and rewound before it played again.
  std::vector<AudioOp> ops;
  for (const AudioCall& call : audio.calls) {
    if (call.voice == voice_of(2, 0) && (call.op == AudioOp::stop || call.op == AudioOp::rewind || call.op == AudioOp::play)) {
      ops.push_back(call.op);
    }
  }
  EXPECT_EQ(ops, (std::vector<AudioOp>{AudioOp::play, AudioOp::stop, AudioOp::rewind, AudioOp::play}));
  // A silent voice at next_voice is taken again rather than moving on.
  audio.finish_all();
  EXPECT_EQ(play_sound(2, 0, 1), 512);
  // A lost voice is restored before it plays; one that cannot be restored does not play.
  audio.finish_all();
  audio.lose(voice_of(2, 0));
  EXPECT_EQ(play_sound(2, 0, 1), 512);
  audio.finish_all();
  audio.lose(voice_of(2, 0));
  audio.restore_fails = true;
  EXPECT_EQ(play_sound(2, 0, 1), -1);
}

TEST_F(SoundEffects, VolumeAndPanArithmetic) {
  load_sound(wav, 0, 1);
  struct Case { double pan, volume; int32_t want_pan, want_volume; };
  const Case cases[] = {{0, 1.0, 0, 0},         {0, 0.5, 0, -602},      {0, 0.1, 0, -2000},
                        {0, 0.0, 0, -10000},    {0, -3.0, 0, -10000},   {0, 2.0, 0, 0},
                        {0, 0.999, 0, -8},      {0, 0.005, 0, -10000},  {1.0, 1, 10000, 0},
                        {-1.0, 1, -10000, 0},   {5.0, 1, 10000, 0},     {-0.33333, 1, -3333, 0},
                        {0.25, 1, 2500, 0},     {NAN, NAN, 0, -10000}};
  for (const Case& c : cases) {
    audio.calls.clear();
    ASSERT_EQ(play_sound(0, c.pan, c.volume), 0);
    EXPECT_EQ(audio.values(AudioOp::set_volume), std::vector<int32_t>{c.want_volume}) << c.volume;
    EXPECT_EQ(audio.values(AudioOp::set_pan), std::vector<int32_t>{c.want_pan}) << c.pan;
    audio.finish_all();
  }
}

TEST_F(SoundEffects, StoppingVoices) {
  load_sound(wav, 9, 4);
  for (int i = 0; i < 4; ++i) play_sound(9, 0, 1);
  stop_sound(9 * 256 + 1);
  EXPECT_EQ(sound_playing(9 * 256 + 1), 0);
  EXPECT_EQ(sound_playing(9 * 256 + 2), 1);
  stop_sound(9 * 256 + 255);  // any voice number beyond the slot's stops them all
  for (int v = 0; v < 4; ++v) EXPECT_EQ(sound_playing(9 * 256 + v), 0);
  EXPECT_EQ(audio.voices_of(AudioOp::rewind).size(), audio.voices_of(AudioOp::stop).size());

  play_sound(9, 0, 1);
  load_sound(wav, 10, 1);
  play_sound(10, 0, 1);
  stop_all_sounds();
  EXPECT_EQ(sound_playing(9 * 256), 0);
  EXPECT_EQ(sound_playing(10 * 256), 0);

  // Ignored: negative channels, slots beyond the table, free slots; voices beyond a slot's
  // count are not playing.
  audio.calls.clear();
  stop_sound(-1);
  stop_sound(4096 * 256);
  stop_sound(100 * 256);
  EXPECT_TRUE(audio.calls.empty());
  EXPECT_EQ(sound_playing(10 * 256 + 3), 0);
  EXPECT_EQ(g_runtime.error_code, 0);
}

TEST_F(SoundEffects, ChannelAndSlotRanges) {
  EXPECT_EQ(play_sound(4096, 0, 1), 0);
  EXPECT_EQ(g_runtime.error_code, 7);
  EXPECT_EQ(play_sound(-1, 0, 1), 0);
  g_runtime.error_code = 0;
  EXPECT_EQ(sound_playing(0xFFFFF), 0);  // slot 4095, voice 255: in range, nothing there
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(sound_playing(0x100000), 0);
  EXPECT_EQ(g_runtime.error_code, 7);
  g_runtime.error_code = 0;
  EXPECT_EQ(sound_playing(-1), 0);  // slot -1
  EXPECT_EQ(g_runtime.error_code, 7);
  EXPECT_EQ(play_sound(100, 0, 1), -1);  // a free slot
}

TEST_F(SoundEffects, DeviceThatRefusesVolumeAndPanControl) {
  audio.refuse_controlled = true;
  load_sound(wav, 4, 2);
  EXPECT_EQ(g_runtime.error_code, 0);
  ASSERT_EQ(g_runtime.sound_channels[4].voice_count, 2);
  EXPECT_FALSE(audio.voices[voice_of(4, 0)].controls);
  EXPECT_EQ(play_sound(4, 1.0, 0.5), 4 * 256);  // plays at full volume, centred
  audio.play_fails = true;
  EXPECT_EQ(play_sound(4, 0, 1), -1);
}

TEST_F(SoundEffects, ReleaseStopsAndFreesEverything) {
  load_sound(wav, 0, 2);
  load_sound(wav, 4095, 1);
  play_sound(0, 0, 1);
  release_sound();
  EXPECT_TRUE(audio.voices.empty());
  EXPECT_FALSE(audio.open);
  EXPECT_EQ(g_runtime.sound, nullptr);
  EXPECT_EQ(g_runtime.sound_channels, nullptr);
  // Slots are released last to first.
  std::vector<AudioVoice> released = audio.voices_of(AudioOp::release_voice);
  ASSERT_EQ(released.size(), 3u);
  EXPECT_EQ(released[0], 3u);  // slot 4095's voice
}

class SilentSound : public SoundTest {
 protected:
  FakeAudio audio;
  ServiceScope<AudioService> scope{&audio};
};

TEST_F(SilentSound, NoAudioDeviceMakesEveryCommandSilent) {
  audio.device_available = false;
  EXPECT_EQ(start_sound(), 0);
  RtString wav = write("a.wav", level_wav(100, 10));
  load_sound(wav, 1, 1);
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(g_runtime.sound_channels[1].voice_count, 0);
  EXPECT_EQ(play_sound(1, 0, 1), -1);
  EXPECT_EQ(sound_playing(256), 0);
  stop_sound(256);
  stop_all_sounds();
  bind_sound_window(nullptr);
  EXPECT_EQ(find_free_sound(), 4095);
  release_sound();
  for (const AudioCall& call : audio.calls) EXPECT_EQ(call.op, AudioOp::open_device);
}

TEST_F(SilentSound, CommandsBeforeStartUp) {
  RtString wav = write("a.wav", level_wav(100, 10));
  load_sound(wav, 1, 1);
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(play_sound(1, 0, 1), -1);
  EXPECT_EQ(sound_playing(256), 0);
  EXPECT_EQ(find_free_sound(), -1);
  stop_all_sounds();
  release_sound();
}

}  // namespace
}  // namespace qrn::test
