// Background music: one piece at a time on the platform's media player, optionally looping.
// The runtime loops a piece itself: it restarts it once its length (at least 500 ms) has
// passed, at the next restart check of the frame loop or a waiting loop.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// A piece shorter than this (or one that cannot be played) counts as this long.
constexpr double MUSIC_MIN_LENGTH_MS = 500.0;

// Stops the current piece and plays a file (disk, memory file or resource archive) from its
// start; loop non-zero restarts it whenever it has played its length. Error 3 when the name
// cannot be resolved. A file the player cannot play is silent and reports nothing.
void play_music(const RtString& file, int32_t loop);
// Stops and closes the music; nothing without music.
void stop_music();
// Plays the current piece again from its start.
void restart_music();
// Non-zero pauses, 0 resumes; the restart time of a looping piece moves by the paused time.
void pause_music(int32_t pause);
// 1 while a looping piece runs (even between its end and its restart) or a piece has not
// reached its end; 0 without music.
int32_t music_playing();
// 1.0 is normal volume (0 silent); only a changed value reaches the player.
void set_music_volume(double volume);

// Restarts a looping piece whose restart time has come (frame loop and waiting loops).
void restart_music_if_due();

}  // namespace qrn
