// Video playback on the scripted platform and player: the picture's rectangle, what ends a
// video and what does not, looping, the music and the message hook during a video, files
// that are missing, unplayable, stuck or in the resource archive.
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "host_fixture.h"
#include "platform/fake_media.h"
#include "platform/fake_video_player.h"
#include "platform/input.h"
#include "platform/video_player.h"

namespace qrn::test {
namespace {

int g_hook_calls = 0;
void count_hook() { ++g_hook_calls; }
const NamedCallback kHook[] = {{count_hook, "QRN_WIN32_MSG"}, {nullptr, nullptr}};

std::string str(const RtString& t) { return std::string(t.data, t.length); }

bool same(const VideoRect& a, const VideoRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(VideoRectTest, ScalesByTheSmallerRatioAndCentres) {
  struct Case {
    int32_t cw, ch, sw, sh;
    VideoRect want;
  } cases[] = {
      {640, 480, 320, 240, {0, 0, 640, 480}},    // same shape, scaled up
      {640, 480, 1280, 960, {0, 0, 640, 480}},   // scaled down
      {640, 480, 320, 120, {0, 120, 640, 240}},  // wider: bars above and below
      {640, 480, 120, 240, {200, 0, 240, 480}},  // taller: bars left and right
      {200, 200, 3, 2, {0, 33, 200, 133}},       // rounding toward zero, centred in what is left
      {1, 1, 1920, 1080, {0, 0, 1, 0}},          // too small to show anything but a row
  };
  for (const Case& c : cases) {
    VideoRect got = fit_video_rect(c.cw, c.ch, c.sw, c.sh);
    EXPECT_TRUE(same(got, c.want)) << c.cw << "x" << c.ch << " <- " << c.sw << "x" << c.sh << ": " << got.x << ","
                                   << got.y << " " << got.width << "x" << got.height;
  }
  for (auto sizes : {std::array<int32_t, 4>{0, 480, 320, 240}, std::array<int32_t, 4>{640, 480, 0, 240},
                     std::array<int32_t, 4>{640, 480, 320, -1}, std::array<int32_t, 4>{-5, 480, 320, 240}}) {
    VideoRect got = fit_video_rect(sizes[0], sizes[1], sizes[2], sizes[3]);
    EXPECT_EQ(got.width, 0);
    EXPECT_EQ(got.height, 0);
  }
}

class VideoPlaybackTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_hook_calls = 0;
    player.clock_ms = &fake->now_ms;
    make_device(640, 480);
    fake->focus_window = g_runtime.window_handle;
    g_runtime.input = create_input();
    video = dir.file("clip.ogv");
    write_file(video, "a video");
  }
  void TearDown() override {
    HostTest::TearDown();
    EXPECT_EQ(player.open_players, 0) << "every player is closed";
    EXPECT_EQ(g_runtime.video_player, nullptr);
  }

  int32_t play(int32_t loop = 0) {
    start_ms = fake->now_ms;
    return play_video(RtString(video.c_str()), loop);
  }
  double played_ms() { return fake->now_ms - start_ms; }
  void key_at(double ms, int32_t c = 'x') {
    fake->later_messages.emplace_back(start_ms + ms, message(MessageKind::character, c));
  }

  FakeVideoPlayer player;
  ServiceScope<VideoPlayerService> player_scope{&player};
  std::string video;
  double start_ms = 0.0;
};

TEST_F(VideoPlaybackTest, PlaysToItsEndCentredAndClosesThePlayer) {
  player.width = 320;
  player.height = 120;
  player.length_ms = 1000.0;
  EXPECT_EQ(play(), 0);
  EXPECT_EQ(player.opened_path, video);
  EXPECT_TRUE(same(player.destination, VideoRect{0, 120, 640, 240}));
  EXPECT_GE(played_ms(), 1000.0);
  EXPECT_LT(played_ms(), 1100.0) << "the end is noticed within a few milliseconds";
  EXPECT_EQ(player.calls, (std::vector<VideoOp>{VideoOp::open, VideoOp::destination, VideoOp::play, VideoOp::stop,
                                                 VideoOp::close}));
  EXPECT_GE(player.frames_taken, 20) << "the frames were taken as they came (one per 40 ms)";
}

TEST_F(VideoPlaybackTest, KeysAndButtonsBeforeTheCallDoNotSkipItThoseDuringPlaybackDo) {
  // Typed before the call: one already queued, one still among the window's messages.
  push_typed_char('a');
  fake->messages.push_back(message(MessageKind::character, 'b'));
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), 1000.0) << "typed before the call: played to its end";

  start_ms = fake->now_ms;
  key_at(300.0);
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), 300.0);
  EXPECT_LT(played_ms(), 400.0) << "a key during playback ends it";
  EXPECT_FALSE(any_typed_char()) << "the key that ended it was taken";

  // A button held when the call comes: nothing plays until it is let go, and the release
  // does not end the video; a press during playback does.
  fake->buttons = 1;
  fake->later_messages.clear();
  int32_t polls = 0;
  // The button is let go after a few polls (each poll of the fake input reads it once).
  struct ReleasingInput : FakeInput {
    int32_t* polls;
    FakeInput* real;
    uint32_t mouse_buttons() override {
      if (++*polls == 5) real->buttons = 0;
      return real->mouse_buttons();
    }
  } input;
  input.polls = &polls;
  input.real = &*fake;
  {
    ServiceScope<InputService> scope(&input);
    EXPECT_EQ(play(), 0);
  }
  EXPECT_GE(polls, 5);
  EXPECT_GE(played_ms(), 1000.0) << "the held button, let go, did not end it";
  EXPECT_EQ(player.count(VideoOp::play), 3);

  struct PressingInput : FakeInput {
    const double* clock;
    double press_at;
    uint32_t mouse_buttons() override { return *clock >= press_at ? 2u : 0u; }
  } pressing;
  pressing.clock = &fake->now_ms;
  pressing.press_at = fake->now_ms + 250.0;
  {
    ServiceScope<InputService> scope(&pressing);
    start_ms = fake->now_ms;
    EXPECT_EQ(play(), 0);
  }
  EXPECT_GE(played_ms(), 250.0);
  EXPECT_LT(played_ms(), 350.0) << "a button pressed during playback ends it";
}

TEST_F(VideoPlaybackTest, LoopRestartsAtTheEndUntilAKey) {
  player.length_ms = 500.0;
  start_ms = fake->now_ms;
  key_at(1800.0);
  EXPECT_EQ(play_video(RtString(video.c_str()), 1), 0);
  EXPECT_GE(played_ms(), 1800.0);
  EXPECT_LT(played_ms(), 1900.0);
  EXPECT_EQ(player.count(VideoOp::seek_start), 3) << "restarted at 500, 1000 and 1500 ms";
  EXPECT_EQ(player.count(VideoOp::play), 4);
}

TEST_F(VideoPlaybackTest, LoopingMusicAndTheMessageHookGoOnDuringAVideo) {
  FakeMedia media;
  ServiceScope<VideoPlayerService> keep(&player);
  ServiceScope<MediaService> media_scope(&media);
  std::string music = dir.file("tune.ogg");
  write_file(music, "music");
  media.length_ms = 200.0;  // counts as 500 ms
  play_music(RtString(music.c_str()), 1);
  int32_t plays_before = media.count(MediaOp::play);

  install_callbacks(kHook);
  for (int i = 1; i <= 4; ++i) {
    fake->later_messages.emplace_back(fake->now_ms + 300.0 * i, message(MessageKind::other));
  }
  player.length_ms = 1800.0;
  EXPECT_EQ(play(), 0);
  EXPECT_EQ(media.count(MediaOp::play) - plays_before, 6) << "restarted at 500, 1000 and 1500 ms (play, seek, play)";
  EXPECT_EQ(g_hook_calls, 4) << "the hook saw every message";
  stop_music();
}

TEST_F(VideoPlaybackTest, ACloseRequestDuringAVideoEndsTheProgramWithThePlayerClosed) {
  fake->later_messages.emplace_back(fake->now_ms + 200.0, message(MessageKind::close_request));
  bool ended = false;
  try {
    play();
  } catch (const FakeProcessExit& exit) {
    ended = true;
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(player.open_players, 0);
  EXPECT_EQ(player.count(VideoOp::close), 1);
}

TEST_F(VideoPlaybackTest, MissingOrUnplayableFilesGiveThreeAndLeaveTheErrorCode) {
  g_runtime.error_code = 7;
  EXPECT_EQ(play_video(RtString(dir.file("none.ogv").c_str()), 0), 3);
  EXPECT_EQ(play_video(RtString(""), 0), 3);
  EXPECT_TRUE(player.calls.empty()) << "a missing file never reaches the player";
  EXPECT_EQ(play_video(RtString(dir.path().c_str()), 0), 3) << "a folder";

  player.open_fails = true;
  EXPECT_EQ(play(), 3);
  EXPECT_EQ(player.count(VideoOp::open), 1);
  EXPECT_EQ(g_runtime.error_code, 7);
  EXPECT_EQ(fake->stdout_text, "") << "no error line";
  EXPECT_NEAR(fake->now_ms - start_ms, 0.0, 1.0);
}

TEST_F(VideoPlaybackTest, AStuckPlayerEndsAfterFiveSecondsAndOneThatCannotStartAtOnce) {
  player.stalls = true;
  player.length_ms = 60000.0;
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), VIDEO_STALL_MS);
  EXPECT_LT(played_ms(), VIDEO_STALL_MS + 100.0);

  // A player that moves just within the limit goes on; one that waits a little longer ends.
  player.stalls = false;
  player.frame_ms = 0.0;  // no pictures: only the position shows progress
  player.length_ms = 12000.0;
  player.step_ms = VIDEO_STALL_MS - 50.0;
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), 12000.0);
  player.step_ms = VIDEO_STALL_MS + 50.0;
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), VIDEO_STALL_MS);
  EXPECT_LT(played_ms(), VIDEO_STALL_MS + 50.0);

  player.step_ms = 0.0;
  player.play_fails = true;
  EXPECT_EQ(play(), 0);
  EXPECT_LT(played_ms(), 50.0);
  EXPECT_EQ(player.calls.back(), VideoOp::close);
}

TEST_F(VideoPlaybackTest, SoundOnlyPlaysWithoutAPictureAndNoWindowPlaysNothing) {
  player.width = player.height = 0;
  EXPECT_EQ(play(), 0);
  EXPECT_GE(played_ms(), 1000.0);
  EXPECT_EQ(player.frames_taken, 0);
  EXPECT_EQ(player.destination.width, 0);

  player.width = 320;
  player.height = 240;
  delete g_runtime.device;
  g_runtime.device = nullptr;
  g_runtime.window_handle = nullptr;
  player.calls.clear();
  EXPECT_EQ(play(1), 0) << "without a window no key could end it";
  EXPECT_EQ(player.calls, (std::vector<VideoOp>{VideoOp::open, VideoOp::stop, VideoOp::close}));
  EXPECT_EQ(play_video(RtString(dir.file("none.ogv").c_str()), 0), 3);
}

TEST_F(VideoPlaybackTest, AFileInTheResourceArchivePlaysFromATemporaryCopy) {
  std::string program = dir.file("prog");
  write_file(program, "#!program#");
  write_file(dir.file("Intro.OGV"), "video bytes");
  std::string command = std::string("'") + QRN_KIX_PACK + "' '" + program + "' '" + dir.file("Intro.OGV") + "'";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::remove(dir.file("Intro.OGV").c_str());
  set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));

  struct CopyReader : FakeVideoPlayer {
    std::string bytes;
    VideoPlayerHandle open_video(const char* path) override {
      bytes = read_file(path);
      return FakeVideoPlayer::open_video(path);
    }
  } reader;
  reader.clock_ms = &fake->now_ms;
  ServiceScope<VideoPlayerService> scope(&reader);
  EXPECT_EQ(play_video(RtString("media/intro.ogv"), 0), 0);
  EXPECT_EQ(reader.bytes, "video bytes");
  EXPECT_EQ(reader.opened_path.rfind(dir.path() + "kix", 0), 0u) << reader.opened_path;
  EXPECT_EQ(reader.open_players, 0);
  EXPECT_EQ(play_video(RtString("media/other.ogv"), 0), 3);
  EXPECT_EQ(read_file(reader.opened_path), "") << "the copy is gone with the next lookup";

  // A memory-file name cannot be handed to a player.
  RtString name("Intro.ogv");
  ASSERT_EQ(resolve_file_name(name), 1);
  EXPECT_EQ(str(name).rfind("mem://", 0), 0u);
  EXPECT_EQ(play_video(name, 0), 3);
}

}  // namespace
}  // namespace qrn::test
