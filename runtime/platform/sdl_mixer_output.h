// The one SDL_mixer output that the audio service (sound effects) and the media service
// (music) share. Whichever needs it first opens it; it closes when neither holds it.
// Internal to the SDL backends.
#pragma once

#include <cstdint>

namespace qrn {

struct MixerOutputFormat {
  int32_t frequency = 22050;
  int32_t channels = 2;  // the effect mixer writes 16-bit stereo
};

class MixerOutput {
 public:
  // Opens the output (when nobody holds it yet) at the given format and counts one holder.
  // False when SDL has no audio device or it cannot be opened; nothing is held then.
  bool acquire(const MixerOutputFormat& format);
  // Drops one holder; the last one closes the output.
  void release();
  // The format the open output mixes at.
  MixerOutputFormat format() const { return format_; }
  // Number of holders (0: closed).
  int32_t holders() const { return holders_; }

 private:
  int32_t holders_ = 0;
  MixerOutputFormat format_;
};

// The process's one output, never destroyed (exit handlers may still stop sounds).
MixerOutput& mixer_output();

}  // namespace qrn
