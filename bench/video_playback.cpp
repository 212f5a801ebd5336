// Video playback: frames presented per second for a 640 x 480, 30 frames per second video
// played with play_video into a 640 x 480 window, and the drift between sound and picture
// (the player's position, which follows the audio clock, minus the presentation time of the
// frame being shown). The baseline, measured in the same run, is the same video pulled from
// the same player with nothing drawn. Needs a display (Xvfb) and gst-launch-1.0.
//
// Usage: bench_video_playback [seconds]  (10 by default; 60 for the long drift run)
#include <GL/gl.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gfx/device.h"
#include "gfx/video_surface.h"
#include "platform/video.h"
#include "platform/video_player.h"
#include "quarnel.h"

namespace {

using namespace qrn;

double wall_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct Run {
  int frames = 0;
  double seconds = 0.0;
  std::vector<double> drift;  // ms, one per frame
  double fps() const { return seconds > 0.0 ? frames / seconds : 0.0; }
  double mean_abs_drift() const {
    double sum = 0.0;
    for (double d : drift) sum += std::fabs(d);
    return drift.empty() ? 0.0 : sum / drift.size();
  }
  double max_abs_drift() const {
    double m = 0.0;
    for (double d : drift) m = std::max(m, std::fabs(d));
    return m;
  }
  // Mean drift over the last tenth minus that over the first tenth: a clock that runs away.
  double drift_change() const {
    size_t n = drift.size() / 10;
    if (n == 0) return 0.0;
    double first = 0.0, last = 0.0;
    for (size_t i = 0; i < n; ++i) {
      first += drift[i];
      last += drift[drift.size() - 1 - i];
    }
    return (last - first) / n;
  }
};

// The real player with each frame's drift recorded as it is handed out for drawing.
class MeasuringPlayer : public ForwardingVideoPlayer {
 public:
  MeasuringPlayer() : ForwardingVideoPlayer(real_service<VideoPlayerService>()) {}
  Run run;
  bool video_next_frame(VideoPlayerHandle p, VideoFrame& f) override {
    if (!ForwardingVideoPlayer::video_next_frame(p, f)) return false;
    ++run.frames;
    run.drift.push_back(video_position_ms(p) - f.time_ms);
    return true;
  }
};

// The baseline: the same player polled as play_video polls it, with nothing drawn.
Run pull_only(const std::string& path) {
  Run run;
  VideoPlayerService& player_os = real_service<VideoPlayerService>();
  VideoPlayerHandle player = player_os.open_video(path.c_str());
  if (!player) return run;
  double start = wall_ms();
  player_os.video_play(player);
  while (!player_os.video_ended(player) && wall_ms() - start < 600000.0) {
    VideoFrame frame;
    if (player_os.video_next_frame(player, frame)) {
      ++run.frames;
      run.drift.push_back(player_os.video_position_ms(player) - frame.time_ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run.seconds = (wall_ms() - start) / 1000.0;
  player_os.close_video(player);
  return run;
}

void report(const char* name, const Run& r, int expected) {
  std::printf("%-22s %5d of %5d frames  %6.2f fps  drift mean %6.2f ms  max %6.2f ms  change %+6.2f ms\n", name,
              r.frames, expected, r.fps(), r.mean_abs_drift(), r.max_abs_drift(), r.drift_change());
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  int expected = seconds * 30;
  std::string path = "/tmp/qrn_bench_video_" + std::to_string(seconds) + ".ogv";
  std::string make = "gst-launch-1.0 -q videotestsrc pattern=ball num-buffers=" + std::to_string(expected) +
                     " ! video/x-raw,width=640,height=480,framerate=30/1 ! theoraenc ! oggmux name=m ! filesink "
                     "location=" + path + " audiotestsrc num-buffers=" + std::to_string(seconds * 43 + 1) +
                     " samplesperbuffer=1024 ! audio/x-raw,rate=44100 ! vorbisenc ! m.";
  int status = std::system(make.c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_video_playback: gst-launch-1.0 could not make %s\n", path.c_str());
    return 1;
  }

  Run baseline = pull_only(path);

  if (!os_video().video_init()) {
    std::fprintf(stderr, "bench_video_playback: no display\n");
    return 1;
  }
  WindowRequest request;
  request.width = 640;
  request.height = 480;
  request.title = "video bench";
  g_runtime.window_handle = os_video().create_window(request);
  if (!g_runtime.window_handle) {
    std::fprintf(stderr, "bench_video_playback: no window\n");
    return 1;
  }
  g_runtime.device = new OpenGLZodidoze();
  g_runtime.window_width = 640;
  g_runtime.window_height = 480;
  g_runtime.device->setup_2d();
  os_video().show_window(g_runtime.window_handle, true);

  // The cost of one frame on this renderer: upload, draw and swap of a 640 x 480 picture.
  double draw_ms = 0.0;
  {
    std::vector<uint8_t> pixels(640 * 480 * 4, 0x80);
    VideoFrame frame;
    frame.pixels = pixels.data();
    frame.width = 640;
    frame.height = 480;
    frame.stride = 640 * 4;
    VideoSurface surface;
    surface.begin(*g_runtime.device, 640, 480);
    VideoRect whole{0, 0, 640, 480};
    double t0 = wall_ms();
    for (int i = 0; i < 100; ++i) {
      pixels[static_cast<size_t>(i) * 4] = static_cast<uint8_t>(i);
      surface.draw(frame, whole);
      os_video().swap_buffers(g_runtime.window_handle);
    }
    glFinish();
    draw_ms = (wall_ms() - t0) / 100.0;
  }

  MeasuringPlayer measuring;
  install_service<VideoPlayerService>(&measuring);
  double start = wall_ms();
  int32_t result = play_video(RtString(path.c_str()), 0);
  measuring.run.seconds = (wall_ms() - start) / 1000.0;
  install_service<VideoPlayerService>(nullptr);

  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  std::printf("video %d x %d at 30 fps, %d s, renderer %s, sound %s\n", 640, 480, seconds, renderer ? renderer : "?",
              std::getenv("SDL_AUDIODRIVER") || std::getenv("QUARNEL_VIDEO_AUDIO") ? "silent sink" : "audio output");
  std::printf("one frame drawn and swapped: %.2f ms (%.2f of the 33.3 ms period)\n", draw_ms, draw_ms / (1000.0 / 30));
  report("pulled, nothing drawn", baseline, expected);
  report("play_video", measuring.run, expected);
  std::printf("play_video result %d; frames presented / baseline %.3f; presented / video's frames %.3f\n", result,
              baseline.frames ? static_cast<double>(measuring.run.frames) / baseline.frames : 0.0,
              static_cast<double>(measuring.run.frames) / expected);
  std::printf("mean drift / baseline %.3f; max drift against the 40 ms target %.3f\n",
              baseline.mean_abs_drift() > 0 ? measuring.run.mean_abs_drift() / baseline.mean_abs_drift() : 0.0,
              measuring.run.max_abs_drift() / 40.0);
  std::remove(path.c_str());
  return 0;
}
