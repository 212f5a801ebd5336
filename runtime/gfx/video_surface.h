// Drawing a playing video into the window: each frame goes into a streaming texture and is
// drawn at the video's rectangle, over the picture the window showed when the video began
// (kept as a backdrop, so the area around a letterboxed video keeps the last presented
// frame). The drawing state of the program (matrices, viewport, enables, texture bindings,
// shader) is left as it was.
#pragma once

#include <cstdint>

#include "platform/video_player.h"

namespace qrn {

class OpenGLZodidoze;

class VideoSurface {
 public:
  VideoSurface() = default;
  VideoSurface(const VideoSurface&) = delete;
  VideoSurface& operator=(const VideoSurface&) = delete;
  ~VideoSurface() { end(); }

  // Starts drawing into the device's window of width x height client pixels. The backdrop
  // is shown: what the window shows now, as RGBA rows from the top, when the caller has it
  // at that size; otherwise the back buffer as it is. False when nothing can be drawn (no
  // GL context, a size below 1 or above the driver's texture limit).
  bool begin(OpenGLZodidoze& device, int32_t width, int32_t height, const uint8_t* shown_rgba = nullptr,
             int32_t shown_width = 0, int32_t shown_height = 0);
  // Draws the backdrop and the frame scaled into rect into the back buffer (the caller swaps
  // the buffers). False, with nothing drawn, for a frame larger than the texture limit.
  bool draw(const VideoFrame& frame, const VideoRect& rect);
  // Frees the textures.
  void end();

  // Frames drawn since begin.
  int32_t frames_drawn() const { return frames_drawn_; }

 private:
  OpenGLZodidoze* device_ = nullptr;
  int32_t width_ = 0, height_ = 0;
  uint32_t backdrop_ = 0;
  int32_t backdrop_side_w_ = 0, backdrop_side_h_ = 0;
  bool backdrop_top_first_ = false;  // rows from the top (the window's picture) or the bottom
  uint32_t picture_ = 0;
  int32_t picture_w_ = 0, picture_h_ = 0;            // the frame size last uploaded
  int32_t picture_side_w_ = 0, picture_side_h_ = 0;  // its texture's sides
  int32_t frames_drawn_ = 0;
};

}  // namespace qrn
