// Scripted video player for tests: a video of a scripted length and picture size whose
// position follows a clock (a test points it at its fake process's counter) while it plays,
// with a frame of one colour for every frame period that passed, and every operation
// recorded. Install it with ServiceScope<VideoPlayerService> scope(&fake).
#pragma once

#include <string>
#include <vector>

#include "platform/video_player.h"

namespace qrn {

enum class VideoOp : int32_t { open, play, seek_start, stop, destination, close };

class FakeVideoPlayer : public VideoPlayerService {
 public:
  // ---- Script --------------------------------------------------------------------------
  bool open_fails = false;   // open_video gives no player
  bool play_fails = false;   // video_play does not start
  bool stalls = false;       // the position never moves while playing
  double step_ms = 0.0;      // > 0: the position moves in steps this long
  int32_t width = 320, height = 240;  // 0 x 0: a file with sound only
  double start_ms = 0.0;
  double length_ms = 1000.0;
  double frame_ms = 40.0;    // one frame each period while playing
  uint32_t colour = 0xFF0000FFu;  // RGBA bytes of every pixel, red first in memory
  const double* clock_ms = &own_clock_ms;
  double own_clock_ms = 0.0;

  // ---- Record --------------------------------------------------------------------------
  std::vector<VideoOp> calls;
  std::string opened_path;
  VideoRect destination;
  int32_t open_players = 0;
  int32_t frames_taken = 0;
  int32_t count(VideoOp op) const;

  VideoPlayerHandle open_video(const char* path) override;
  bool video_source_size(VideoPlayerHandle player, int32_t& w, int32_t& h) override;
  double video_start_ms(VideoPlayerHandle player) override;
  double video_length_ms(VideoPlayerHandle player) override;
  double video_position_ms(VideoPlayerHandle player) override;
  bool video_ended(VideoPlayerHandle player) override;
  bool video_play(VideoPlayerHandle player) override;
  void video_seek_start(VideoPlayerHandle player) override;
  void video_stop(VideoPlayerHandle player) override;
  void video_set_destination(VideoPlayerHandle player, const VideoRect& rect) override;
  VideoRect video_destination(VideoPlayerHandle player) override;
  bool video_next_frame(VideoPlayerHandle player, VideoFrame& frame) override;
  void close_video(VideoPlayerHandle player) override;

 private:
  bool is_open(VideoPlayerHandle player) const { return player && player == this && open_; }
  double elapsed() const;  // position relative to the start
  bool open_ = false;
  bool playing_ = false;
  double base_ms_ = 0.0;      // elapsed position when play began or the player stopped
  double played_at_ = 0.0;    // clock when play began
  int64_t last_frame_ = -1;   // index of the frame last handed out
  std::vector<uint8_t> pixels_;
};

}  // namespace qrn
