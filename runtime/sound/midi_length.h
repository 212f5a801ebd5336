// Length of a Standard MIDI File from its events and tempo changes: the time of the last
// event of the longest track (format 0 and 1 share one tempo map; format 2 tracks play one
// after the other, each with its own). Plain code on bytes: it reads nothing outside them
// and a damaged track ends where it stops making sense.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrn {

// True for the start of a MIDI file ("MThd", or "RIFF" .. "RMID" around one).
bool looks_like_midi(const uint8_t* bytes, size_t size);
// The length in milliseconds; -1 when the bytes are not a MIDI file.
double midi_length_ms(const uint8_t* bytes, size_t size);

}  // namespace qrn
