// Music commands on the scripted media service and clock: looping by the runtime, the
// 500 ms minimum, pausing, volume, and what reaches the player.
#include "platform/fake_media.h"
#include "sound_fixture.h"

namespace qrn::test {
namespace {

class Music : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    (*fake).now_ms = 10000.0;
    song = write("song.ogg", "OggS not really");
  }
  double now() { return timer_ms(); }
  void advance(double ms) { (*fake).now_ms += ms; }

  FakeMedia media;
  ServiceScope<MediaService> scope{&media};
  RtString song;
};

TEST_F(Music, PlayOpensSeeksPlaysAndSetsNormalVolume) {
  media.length_ms = 2000;
  play_music(song, 0);
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(media.opened_path, song.c_str());
  EXPECT_EQ(media.opened_hint_ms, -1.0);
  EXPECT_EQ(media.commands(), (std::vector<MediaOp>{MediaOp::open, MediaOp::seek_start, MediaOp::play, MediaOp::volume}));
  EXPECT_EQ(media.volumes(), std::vector<int32_t>{1000});
  EXPECT_EQ(g_runtime.music_restart_ms, 0.0);  // not looping
  EXPECT_STREQ(g_runtime.music_file.c_str(), song.c_str());
}

TEST_F(Music, ShortLoopRestartsAfterTheMinimum) {
  media.length_ms = 200;
  double start = now();
  play_music(song, 1);
  EXPECT_NEAR(g_runtime.music_restart_ms, start + 500.0, 1.0);
  advance(499);
  media.calls.clear();
  restart_music_if_due();
  EXPECT_TRUE(media.commands().empty());
  advance(2);
  restart_music_if_due();
  EXPECT_EQ(media.commands(), (std::vector<MediaOp>{MediaOp::play, MediaOp::seek_start, MediaOp::play}));
  EXPECT_NEAR(g_runtime.music_restart_ms, now() + 500.0, 1.0);
}

TEST_F(Music, LoopingPieceCountsAsPlayingUntilItsRestart) {
  media.length_ms = 3000;
  play_music(song, 1);
  media.position_ms = 3000;  // at its end, restart not yet due
  advance(2990);
  EXPECT_EQ(music_playing(), 1);
  stop_music();
  EXPECT_EQ(music_playing(), 0);
  // A piece played once reports by position.
  play_music(song, 0);
  media.position_ms = 1500;
  EXPECT_EQ(music_playing(), 1);
  media.position_ms = 3000;
  EXPECT_EQ(music_playing(), 0);
}

TEST_F(Music, PauseMovesTheRestartByThePausedTime) {
  media.length_ms = 10000;
  play_music(song, 1);
  double restart = g_runtime.music_restart_ms;
  advance(1000);
  pause_music(1);
  EXPECT_LT(g_runtime.music_restart_ms, 0.0);
  // A paused looping piece is never restarted and reports by position.
  advance(3000);
  media.calls.clear();
  advance(20000);
  restart_music_if_due();
  EXPECT_TRUE(media.commands().empty());
  media.position_ms = 1000;
  EXPECT_EQ(music_playing(), 1);
  advance(-20000);
  pause_music(0);
  EXPECT_NEAR(g_runtime.music_restart_ms, restart + 3000.0, 1.0);
  EXPECT_EQ(media.commands(), (std::vector<MediaOp>{MediaOp::resume}));
  // Pausing without music does nothing.
  stop_music();
  pause_music(1);
  EXPECT_EQ(g_runtime.music_restart_ms, 0.0);
}

TEST_F(Music, VolumeIsSentOnlyWhenItChanges) {
  play_music(song, 0);
  media.calls.clear();
  set_music_volume(0.5);
  set_music_volume(0.5);
  set_music_volume(0.2345);
  set_music_volume(-1.5);
  set_music_volume(1e300);
  EXPECT_EQ(media.volumes(), (std::vector<int32_t>{500, 234, -1500, INT32_MAX}));
  play_music(song, 0);
  EXPECT_EQ(media.volumes().back(), 1000);
  // Without music the value is kept but nothing is sent.
  stop_music();
  media.calls.clear();
  set_music_volume(0.7);
  EXPECT_TRUE(media.calls.empty());
  EXPECT_EQ(g_runtime.music_volume, 0.7);
}

TEST_F(Music, MissingFilesAndSilentPlayers) {
  media.length_ms = 5000;
  play_music(song, 1);
  play_music(path("nothing.mid"), 1);
  EXPECT_EQ(g_runtime.error_code, 3);
  // The previous piece was stopped and closed first.
  EXPECT_EQ(media.open_players, 0);
  EXPECT_EQ(g_runtime.music_window, nullptr);
  EXPECT_EQ(music_playing(), 0);
  // A player that cannot play counts 500 ms and loops silently.
  media.length_ms = 0;
  play_music(song, 1);
  EXPECT_NEAR(g_runtime.music_restart_ms, now() + 500.0, 1.0);
  EXPECT_EQ(g_runtime.error_code, 0);
  // No player at all: nothing happens, nothing is reported.
  media.open_fails = true;
  play_music(song, 1);
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(g_runtime.music_window, nullptr);
  advance(600);
  restart_music_if_due();
  restart_music();
  EXPECT_EQ(music_playing(), 0);
  stop_music();
  stop_music();  // without music: nothing
  EXPECT_EQ(media.open_players, 0);
}

TEST_F(Music, MidiLengthAndMemoryFilesReachThePlayer) {
  // One quarter note at 120 bpm (480 ticks per quarter) and an end 480 ticks later: 1000 ms.
  std::string smf = std::string("MThd") + std::string("\0\0\0\x06\0\0\0\x01\x01\xE0", 10) + "MTrk" +
                    std::string("\0\0\0\x0C", 4) + std::string("\x00\x90\x3C\x40\x83\x60\x80\x3C\x00", 9) +
                    std::string("\x83\x60\xFF\x2F\x00", 5);
  smf.replace(22 - 4, 4, std::string("\0\0\0\x0E", 4));  // the track's real size
  play_music(write("tune.mid", smf), 0);
  EXPECT_NEAR(media.opened_hint_ms, 1000.0, 0.001);
  RtString name = memory_file_name(smf.data(), static_cast<uint32_t>(smf.size()));
  play_music(name, 0);
  EXPECT_EQ(media.opened_bytes, std::vector<uint8_t>(smf.begin(), smf.end()));
  EXPECT_NEAR(media.opened_hint_ms, 1000.0, 0.001);
}

}  // namespace
}  // namespace qrn::test
