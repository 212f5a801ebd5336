// Scripted video player (see fake_video_player.h).
#include "platform/fake_video_player.h"

#include <algorithm>
#include <cmath>

namespace qrn {

int32_t FakeVideoPlayer::count(VideoOp op) const {
  return static_cast<int32_t>(std::count(calls.begin(), calls.end(), op));
}

double FakeVideoPlayer::elapsed() const {
  double at = base_ms_;
  if (playing_ && !stalls) at += *clock_ms - played_at_;
  if (step_ms > 0.0) at = std::floor(at / step_ms) * step_ms;
  return std::min(at, length_ms);
}

VideoPlayerHandle FakeVideoPlayer::open_video(const char* path) {
  if (open_) close_video(this);
  calls.push_back(VideoOp::open);
  opened_path = path ? path : "";
  if (open_fails) return nullptr;
  open_ = true;
  playing_ = false;
  base_ms_ = 0.0;
  last_frame_ = -1;
  ++open_players;
  return this;
}

bool FakeVideoPlayer::video_source_size(VideoPlayerHandle player, int32_t& w, int32_t& h) {
  bool picture = is_open(player) && width > 0 && height > 0;
  w = picture ? width : 0;
  h = picture ? height : 0;
  return picture;
}

double FakeVideoPlayer::video_start_ms(VideoPlayerHandle player) { return is_open(player) ? start_ms : 0.0; }
double FakeVideoPlayer::video_length_ms(VideoPlayerHandle player) { return is_open(player) ? length_ms : 0.0; }

double FakeVideoPlayer::video_position_ms(VideoPlayerHandle player) {
  return is_open(player) ? start_ms + elapsed() : 0.0;
}

bool FakeVideoPlayer::video_ended(VideoPlayerHandle player) {
  return !is_open(player) || elapsed() >= length_ms;
}

bool FakeVideoPlayer::video_play(VideoPlayerHandle player) {
  if (!is_open(player)) return false;
  calls.push_back(VideoOp::play);
  if (play_fails) return false;
  if (!playing_) {
    playing_ = true;
    played_at_ = *clock_ms;
  }
  return true;
}

void FakeVideoPlayer::video_seek_start(VideoPlayerHandle player) {
  if (!is_open(player)) return;
  calls.push_back(VideoOp::seek_start);
  base_ms_ = 0.0;
  played_at_ = *clock_ms;
  last_frame_ = -1;
}

void FakeVideoPlayer::video_stop(VideoPlayerHandle player) {
  if (!is_open(player)) return;
  calls.push_back(VideoOp::stop);
  base_ms_ = elapsed();
  playing_ = false;
}

void FakeVideoPlayer::video_set_destination(VideoPlayerHandle player, const VideoRect& rect) {
  if (!is_open(player)) return;
  calls.push_back(VideoOp::destination);
  destination = rect;
}

VideoRect FakeVideoPlayer::video_destination(VideoPlayerHandle player) {
  return is_open(player) ? destination : VideoRect();
}

bool FakeVideoPlayer::video_next_frame(VideoPlayerHandle player, VideoFrame& frame) {
  if (!is_open(player) || width <= 0 || height <= 0 || !playing_ || frame_ms <= 0.0) return false;
  int64_t index = static_cast<int64_t>(elapsed() / frame_ms);
  if (index <= last_frame_) return false;
  last_frame_ = index;
  pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = static_cast<uint8_t>(colour >> (8 * (i % 4)));
  frame.pixels = pixels_.data();
  frame.width = width;
  frame.height = height;
  frame.stride = width * 4;
  frame.time_ms = static_cast<double>(index) * frame_ms;
  ++frames_taken;
  return true;
}

void FakeVideoPlayer::close_video(VideoPlayerHandle player) {
  if (!is_open(player)) return;
  calls.push_back(VideoOp::close);
  open_ = false;
  playing_ = false;
  --open_players;
}

}  // namespace qrn
