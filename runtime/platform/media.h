// Media service: the platform's media player. For now it plays music: one piece at a time
// on SDL_mixer's music stream (WAV, Ogg Vorbis, MP3, FLAC, MIDI). A player opened for a
// file it cannot play still exists; it is silent, has length 0 and never advances.
// Every default here means "no media player": open gives none and the rest does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/service.h"

namespace qrn {

// An open music player; null is none.
using MediaHandle = void*;

// Where a piece comes from: a file, or bytes in memory (copied by the player).
struct MusicSource {
  const char* path = nullptr;     // used when bytes is null
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  // The piece's length when the caller knows it better than the decoder (MIDI files, whose
  // length the decoder does not report; MP3 files, whose length it estimates); it takes
  // precedence over the decoder's. Negative: unknown.
  double length_hint_ms = -1.0;
};

// The music volume scale: 0 silent, 1000 normal (louder values play at normal volume).
constexpr int32_t MUSIC_VOLUME_NORMAL = 1000;

class MediaService {
 public:
  virtual ~MediaService() = default;

  // Opens a player for the piece, stopped at its start; the previous player of this service
  // is closed first (only one piece plays at a time).
  virtual MediaHandle open_music(const MusicSource& /*source*/) { return nullptr; }
  // Length and current position in milliseconds; a piece that played to its end reports
  // its length as its position.
  virtual double music_length_ms(MediaHandle /*player*/) { return 0.0; }
  virtual double music_position_ms(MediaHandle /*player*/) { return 0.0; }
  // Plays from the current position (a paused piece resumes).
  virtual void music_play(MediaHandle /*player*/) {}
  // Stops and moves to the start.
  virtual void music_seek_start(MediaHandle /*player*/) {}
  virtual void music_pause(MediaHandle /*player*/) {}
  virtual void music_resume(MediaHandle /*player*/) {}
  // Stops where it is (a later play goes on from there).
  virtual void music_stop(MediaHandle /*player*/) {}
  // 0..MUSIC_VOLUME_NORMAL; values outside are clamped.
  virtual void music_set_volume(MediaHandle /*player*/, int32_t /*volume*/) {}
  virtual void close_music(MediaHandle /*player*/) {}
};

inline MediaService& os_media() { return service<MediaService>(); }

}  // namespace qrn
