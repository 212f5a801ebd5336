// Background music: one piece at a time, optionally looping, restarted by the frame loop.
#pragma once

namespace qrn {

// Restarts a looping piece whose restart time has come (frame loop and waiting loops).
void restart_music_if_due();
// Stops and closes the music; nothing without music.
void stop_music();

}  // namespace qrn
