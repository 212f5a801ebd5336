// Real videos (made here with GStreamer) played into a real window: the picture shown is the
// video's, the right way round and letterboxed over the last presented frame; looping until
// a button; a file from the resource archive; and files that are not videos, truncated or
// sound only, which must end without a hang.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/video_surface.h"
#include "platform/fake_input.h"
#include "platform/input.h"
#include "platform/video.h"
#include "platform/video_player.h"
#include "quarnel.h"
#include "support/temp_dir.h"

namespace qrn::test {
namespace {

constexpr int32_t W = 320;
constexpr int32_t H = 240;

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The test videos, made once for the program.
class Media {
 public:
  static Media& get() {
    static Media media;
    return media;
  }
  std::string file(const std::string& name) const { return dir_.file(name); }
  bool made = false;

 private:
  Media() {
    const std::string gst = "timeout 30 gst-launch-1.0 -q ";
    auto audio = [](const std::string& mux) {
      return " audiotestsrc num-buffers=44 samplesperbuffer=1024 ! audio/x-raw,rate=44100 ! vorbisenc ! " + mux + ". ";
    };
    // One second of SMPTE colour bars at 160 x 120 with a tone, and a wide red picture.
    made = run(gst + "videotestsrc pattern=smpte num-buffers=30 ! video/x-raw,width=160,height=120,framerate=30/1 ! "
                     "theoraenc ! oggmux name=m ! filesink location=" + file("bars.ogv") + audio("m")) &&
           run(gst + "videotestsrc pattern=red num-buffers=30 ! video/x-raw,width=320,height=80,framerate=30/1 ! "
                     "theoraenc ! oggmux ! filesink location=" + file("wide.ogv")) &&
           run(gst + "audiotestsrc num-buffers=44 samplesperbuffer=1024 ! audio/x-raw,rate=44100 ! vorbisenc ! oggmux ! "
                     "filesink location=" + file("tone.ogg"));
    std::string bars = read_file(file("bars.ogv"));
    write_file(file("cut.ogv"), bars.substr(0, bars.size() * 2 / 3));
    write_file(file("head.ogv"), bars.substr(0, 200));
    write_file(file("text.ogv"), "This is not a video, only some text that looks like nothing.\n");
  }
  TempDir dir_;
};

// The real player, with the frames and restarts it hands out counted.
class CountingPlayer : public ForwardingVideoPlayer {
 public:
  CountingPlayer() : ForwardingVideoPlayer(real_service<VideoPlayerService>()) {}
  int32_t frames = 0;
  int32_t seeks = 0;
  void video_seek_start(VideoPlayerHandle p) override {
    ++seeks;
    ForwardingVideoPlayer::video_seek_start(p);
  }
  bool video_next_frame(VideoPlayerHandle p, VideoFrame& f) override {
    bool got = ForwardingVideoPlayer::video_next_frame(p, f);
    frames += got ? 1 : 0;
    return got;
  }
};

// A mouse whose right button goes down at a given time.
class PressingMouse : public FakeInput {
 public:
  double press_at = 1e300;
  uint32_t mouse_buttons() override { return now_ms() >= press_at ? 2u : 0u; }
};

class VideoGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Media::get().made) << "gst-launch-1.0 could not make the test videos";
    reset_runtime_state();
    ASSERT_TRUE(os_video().video_init()) << "no display";
    WindowRequest request;
    request.width = W;
    request.height = H;
    request.title = "video";
    WindowHandle window = os_video().create_window(request);
    ASSERT_NE(window, nullptr);
    os_video().show_window(window, true);  // a window not shown has no picture to read
    g_runtime.device = new OpenGLZodidoze();
    g_runtime.window_handle = window;
    g_runtime.window_width = W;
    g_runtime.window_height = H;
    g_runtime.device->setup_2d();
    g_runtime.input = create_input();
    show_colour(0.0f, 1.0f, 0.0f);  // the program's last frame: green
  }
  void TearDown() override { reset_runtime_state(); }

  static void show_colour(float r, float g, float b) {
    flush_drawing();
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    os_video().swap_buffers(g_runtime.window_handle);
  }

  int32_t play(const std::string& name, int32_t loop = 0) {
    double start = now_ms();
    int32_t result = play_video(RtString(Media::get().file(name).c_str()), loop);
    elapsed_ms = now_ms() - start;
    return result;
  }

  // A pixel of what the window shows (y from the top), as 0xRRGGBB.
  static uint32_t shown(int32_t x, int32_t y) {
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    if (!os_video().window_pixels(g_runtime.window_handle, w, h, rgba) || x >= w || y >= h) return 0xDEADBE;
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
  }
  // True when every channel is within tolerance (the video is lossy).
  static bool near(uint32_t got, uint32_t want, int tolerance = 40) {
    for (int shift : {16, 8, 0}) {
      int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
      if (std::abs(a - b) > tolerance) return false;
    }
    return true;
  }
  static std::string hex(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "%06x", c);
    return text;
  }
  void expect_bars() {
    // SMPTE bars fill the window (same shape): white at the left, green in the middle, blue at the right of the top
    // two thirds; the bottom rows are other colours, so a picture upside down shows here.
    EXPECT_TRUE(near(shown(10, 10), 0xFFFFFF)) << hex(shown(10, 10));
    EXPECT_TRUE(near(shown(W - 10, 10), 0x0000FF)) << hex(shown(W - 10, 10));
    EXPECT_TRUE(near(shown(W / 2 + 2, 10), 0x00FF00)) << hex(shown(W / 2 + 2, 10));
    EXPECT_FALSE(near(shown(10, H - 10), 0xFFFFFF)) << hex(shown(10, H - 10));
  }

  CountingPlayer player;
  ServiceScope<VideoPlayerService> scope{&player};
  double elapsed_ms = 0.0;
};

TEST_F(VideoGlTest, ShowsEveryFrameOfTheVideoTheRightWayRoundAndAKeyTypedBeforeDoesNotSkipIt) {
  push_typed_char('k');
  EXPECT_EQ(play("bars.ogv"), 0);
  EXPECT_GE(elapsed_ms, 900.0) << "played its second";
  EXPECT_LT(elapsed_ms, 3000.0);
  EXPECT_GE(player.frames, 24) << "30 frames in the video";
  expect_bars();
  EXPECT_EQ(g_runtime.video_player, nullptr);
}

TEST_F(VideoGlTest, AWiderVideoIsLetterboxedOverTheLastPresentedFrame) {
  EXPECT_EQ(play("wide.ogv"), 0);
  // 320 x 80 in 320 x 240: rows 80 to 159 are the video, the rest the green frame before it.
  EXPECT_TRUE(near(shown(W / 2, H / 2), 0xFF0000)) << hex(shown(W / 2, H / 2));
  EXPECT_TRUE(near(shown(5, 85), 0xFF0000)) << hex(shown(5, 85));
  EXPECT_TRUE(near(shown(W / 2, 20), 0x00FF00, 8)) << hex(shown(W / 2, 20));
  EXPECT_TRUE(near(shown(W / 2, H - 20), 0x00FF00, 8)) << hex(shown(W / 2, H - 20));
}

TEST_F(VideoGlTest, LoopRepeatsUntilAButtonIsPressed) {
  PressingMouse mouse;
  ServiceScope<InputService> input(&mouse);
  mouse.press_at = now_ms() + 2600.0;
  EXPECT_EQ(play("bars.ogv", 1), 0);
  EXPECT_GE(elapsed_ms, 2500.0);
  EXPECT_LT(elapsed_ms, 4500.0);
  EXPECT_GE(player.seeks, 2) << "restarted at its end, twice at least";
  EXPECT_GE(player.frames, 60);
  expect_bars();
}

TEST_F(VideoGlTest, AVideoInTheResourceArchivePlays) {
  TempDir dir;
  std::string program = dir.file("prog");
  write_file(program, "#!program#");
  write_file(dir.file("Intro.ogv"), read_file(Media::get().file("bars.ogv")));
  ASSERT_TRUE(run("'" + std::string(QRN_KIX_PACK) + "' '" + program + "' '" + dir.file("Intro.ogv") + "'"));
  std::remove(dir.file("Intro.ogv").c_str());
  set_archive_paths(RtString(program.c_str()), RtString(program.c_str()));
  EXPECT_EQ(play_video(RtString("movies/intro.ogv"), 0), 0);
  EXPECT_GE(player.frames, 24);
  expect_bars();
}

TEST_F(VideoGlTest, SoundOnlyPlaysUnseenAndBrokenFilesEndWithoutAHang) {
  EXPECT_EQ(play("tone.ogg"), 0);
  EXPECT_GE(elapsed_ms, 900.0) << "the sound played";
  EXPECT_EQ(player.frames, 0);
  EXPECT_TRUE(near(shown(W / 2, H / 2), 0x00FF00, 8)) << "nothing drawn: " << hex(shown(W / 2, H / 2));

  g_runtime.error_code = 0;
  EXPECT_EQ(play("text.ogv"), 3);
  EXPECT_EQ(play("missing.ogv"), 3);
  EXPECT_EQ(g_runtime.error_code, 0);
  for (const char* name : {"cut.ogv", "head.ogv"}) {
    int32_t result = play(name);
    EXPECT_TRUE(result == 0 || result == 3) << name << ": " << result;
    EXPECT_LT(elapsed_ms, VIDEO_STALL_MS + 2000.0) << name;
    std::printf("%s: %d after %.0f ms\n", name, result, elapsed_ms);
  }
}

// The picture's texture is as large as the driver allows and no larger.
TEST_F(VideoGlTest, FramesUpToTheTextureLimitAreDrawnLargerOnesAreNot) {
  int32_t max = gl_max_texture_size();
  ASSERT_GT(max, 0);
  std::vector<uint8_t> row(static_cast<size_t>(max + 1) * 4);
  for (size_t i = 0; i < row.size(); i += 4) row[i] = row[i + 3] = 0xFF;  // red
  VideoFrame frame;
  frame.pixels = row.data();
  frame.height = 1;
  VideoSurface surface;
  ASSERT_TRUE(surface.begin(*g_runtime.device, W, H));
  frame.width = max + 1;
  frame.stride = frame.width * 4;
  EXPECT_FALSE(surface.draw(frame, VideoRect{0, 0, W, H}));
  frame.width = max;
  EXPECT_TRUE(surface.draw(frame, VideoRect{0, 0, W, H}));
  os_video().swap_buffers(g_runtime.window_handle);
  EXPECT_TRUE(near(shown(W / 2, H / 2), 0xFF0000)) << hex(shown(W / 2, H / 2));
  frame.stride = frame.width * 4 - 4;
  EXPECT_FALSE(surface.draw(frame, VideoRect{0, 0, W, H})) << "rows shorter than the picture";
}

}  // namespace
}  // namespace qrn::test
