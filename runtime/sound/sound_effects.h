// Sound-effect commands: WAV files loaded into numbered slots (0..4095) and played on one of
// their voices with a pan (-1 left .. 1 right) and a volume (0 silent .. 1 as recorded).
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// The highest free slot, or -1 (error 7) when every slot holds a sound.
int32_t find_free_sound();
// Loads a WAV file (disk, memory file or resource archive) into a slot with 1..4 voices
// (other counts are clamped). Error 7 for a slot outside 0..4095, 3 when the file cannot be
// found or read; a failed load leaves the slot free.
void load_sound(const RtString& file, int32_t slot, int32_t voices);
// Plays the slot's sound on its next voice: the channel (slot x 256 + voice), -1 when it did
// not start (no device, no sound, its only voice still playing), 0 and error 7 for a slot
// outside 0..4095.
int32_t play_sound(int32_t slot, double pan, double volume);
// 1 while the channel's voice plays. Error 7 when its slot is outside 0..4095.
int32_t sound_playing(int32_t channel);
// Stops and rewinds the channel's voice; a voice number beyond the slot's voices stops every
// voice of the slot. Negative channels and unknown slots are ignored.
void stop_sound(int32_t channel);
// Stops and rewinds every voice of every slot.
void stop_all_sounds();

}  // namespace qrn
