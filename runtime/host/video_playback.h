// Video playback over the window: a video file plays with its sound, its picture scaled to
// fit the window's client area and centred, until it ends or the user presses a key or a
// mouse button. The frame loop waits meanwhile; window messages, the program's message hook
// and looping music go on.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

struct VideoRect;  // a rectangle of the client area (platform/video_player.h)

// ---- Commands ---------------------------------------------------------------------------
// Plays the file (on disk, or in the resource archive: then from a temporary copy) and
// returns when it has ended, or at a typed character or a mouse button; loop non-zero
// starts it again at its end until then. 0 when it was played (also when it could not
// start), 3 when the file is missing or cannot be opened; the error code is left alone.
int32_t play_video(const RtString& path, int32_t loop);

// ---- Operations used across the runtime --------------------------------------------------
// The picture's rectangle in the client area: the source scaled uniformly by the smaller of
// the two ratios (client / source) and centred. Empty for a size below 1.
VideoRect fit_video_rect(int32_t client_width, int32_t client_height, int32_t source_width, int32_t source_height);
// Stops and closes the video player of a video that is playing (the program's end).
void close_video_player();

}  // namespace qrn
