// Scripted media service for tests: records every music operation (with the volume it
// carried) and answers with the length and position a test scripts.
// Install it with ServiceScope<MediaService> scope(&fake).
#pragma once

#include <string>
#include <vector>

#include "platform/media.h"

namespace qrn {

enum class MediaOp : int32_t { open, length, position, play, seek_start, pause, resume, stop, volume, close };

struct MediaCall {
  MediaOp op;
  int32_t value = 0;  // the volume of a volume call
};

class FakeMedia : public MediaService {
 public:
  // ---- Script --------------------------------------------------------------------------
  bool open_fails = false;  // open_music gives no player
  double length_ms = 0.0;   // length of every piece
  double position_ms = 0.0; // its position

  // ---- Record --------------------------------------------------------------------------
  std::vector<MediaCall> calls;
  std::string opened_path;  // the source of the last open ("" for bytes)
  std::vector<uint8_t> opened_bytes;
  double opened_hint_ms = -1.0;
  int32_t open_players = 0;  // opened and not yet closed

  std::vector<int32_t> volumes() const;
  int32_t count(MediaOp op) const;
  // The operations after the open, in order, without the length and position queries.
  std::vector<MediaOp> commands() const;

  MediaHandle open_music(const MusicSource& source) override;
  double music_length_ms(MediaHandle player) override;
  double music_position_ms(MediaHandle player) override;
  void music_play(MediaHandle player) override;
  void music_seek_start(MediaHandle player) override;
  void music_pause(MediaHandle player) override;
  void music_resume(MediaHandle player) override;
  void music_stop(MediaHandle player) override;
  void music_set_volume(MediaHandle player, int32_t volume) override;
  void close_music(MediaHandle player) override;

 private:
  void record(MediaHandle player, MediaOp op, int32_t value = 0);
  int32_t serial_ = 0;
  int32_t current_ = 0;  // the handle of the open player (its serial), 0: none
};

}  // namespace qrn
