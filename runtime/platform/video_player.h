// Video player service: plays a video file with its sound. The sound goes to the system's
// audio output (nowhere when there is none); the picture is handed to the runtime as RGBA
// frames at their presentation time, and the runtime draws them into its own window.
//
// A system may have no video decoder, so this is an interface whose defaults mean "no video
// player": open gives none and the rest does nothing. The real backend is GStreamer
// (gst_video_player.cpp), the fake is fake_video_player.h.
#pragma once

#include <cstdint>

#include "platform/service.h"

namespace qrn {

// An open video player; null is none.
using VideoPlayerHandle = void*;

// A rectangle in client pixels of the main window, origin at its top left.
struct VideoRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

// One decoded picture: RGBA bytes, rows from the top.
struct VideoFrame {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;    // bytes from one row to the next, a multiple of 4
  double time_ms = 0.0;  // its presentation time in the video
};

// A player that opens a file but makes no progress for this long while it should be playing
// is taken as stuck; open waits at most this long for the first picture.
constexpr double VIDEO_STALL_MS = 5000.0;

class VideoPlayerService {
 public:
  virtual ~VideoPlayerService() = default;

  // Opens a player for a file, stopped at its start and ready to play; null when the file is
  // missing or cannot be played (not a media file, no decoder for it). Only one player is
  // open at a time: the previous one is closed first.
  virtual VideoPlayerHandle open_video(const char* /*path*/) { return nullptr; }
  // The size of the picture; false for a file without a picture (sound only).
  virtual bool video_source_size(VideoPlayerHandle /*player*/, int32_t& width, int32_t& height) {
    width = height = 0;
    return false;
  }
  // Start position and length in milliseconds; a length of 0 is unknown.
  virtual double video_start_ms(VideoPlayerHandle /*player*/) { return 0.0; }
  virtual double video_length_ms(VideoPlayerHandle /*player*/) { return 0.0; }
  // The current position; once the video has played to its end (or its stream failed while
  // playing) it is start + length.
  virtual double video_position_ms(VideoPlayerHandle /*player*/) { return 0.0; }
  // True once the video has played to its end or its stream failed while playing.
  virtual bool video_ended(VideoPlayerHandle /*player*/) { return true; }
  // Plays from the current position; false when playing could not start.
  virtual bool video_play(VideoPlayerHandle /*player*/) { return false; }
  // Moves to the start (a playing video goes on playing from there).
  virtual void video_seek_start(VideoPlayerHandle /*player*/) {}
  virtual void video_stop(VideoPlayerHandle /*player*/) {}
  // Where the runtime shows the picture; the player keeps it for its frames.
  virtual void video_set_destination(VideoPlayerHandle /*player*/, const VideoRect& /*rect*/) {}
  virtual VideoRect video_destination(VideoPlayerHandle /*player*/) { return {}; }
  // The newest picture not handed out before (older ones that were never taken are
  // skipped); false when there is none. The frame stays valid until the next call or close.
  virtual bool video_next_frame(VideoPlayerHandle /*player*/, VideoFrame& /*frame*/) { return false; }
  virtual void close_video(VideoPlayerHandle /*player*/) {}
};

// A player that hands every call to another: the base of a player that watches some calls of
// the real one (a test or benchmark counting frames) and overrides only those.
class ForwardingVideoPlayer : public VideoPlayerService {
 public:
  explicit ForwardingVideoPlayer(VideoPlayerService& to) : to_(to) {}
  VideoPlayerHandle open_video(const char* path) override { return to_.open_video(path); }
  bool video_source_size(VideoPlayerHandle p, int32_t& width, int32_t& height) override {
    return to_.video_source_size(p, width, height);
  }
  double video_start_ms(VideoPlayerHandle p) override { return to_.video_start_ms(p); }
  double video_length_ms(VideoPlayerHandle p) override { return to_.video_length_ms(p); }
  double video_position_ms(VideoPlayerHandle p) override { return to_.video_position_ms(p); }
  bool video_ended(VideoPlayerHandle p) override { return to_.video_ended(p); }
  bool video_play(VideoPlayerHandle p) override { return to_.video_play(p); }
  void video_seek_start(VideoPlayerHandle p) override { to_.video_seek_start(p); }
  void video_stop(VideoPlayerHandle p) override { to_.video_stop(p); }
  void video_set_destination(VideoPlayerHandle p, const VideoRect& rect) override {
    to_.video_set_destination(p, rect);
  }
  VideoRect video_destination(VideoPlayerHandle p) override { return to_.video_destination(p); }
  bool video_next_frame(VideoPlayerHandle p, VideoFrame& frame) override { return to_.video_next_frame(p, frame); }
  void close_video(VideoPlayerHandle p) override { to_.close_video(p); }

 private:
  VideoPlayerService& to_;
};

inline VideoPlayerService& os_video_player() { return service<VideoPlayerService>(); }

}  // namespace qrn
