// The clock's desktop icon: the day face (sky, sun, hands at ten past ten) in a round frame,
// drawn at 200 x 200 like the rest of the artwork and resampled to the icon sizes.
#pragma once

#include "canvas.h"

namespace media {

// The sizes the desktop entry's icons are written at (hicolor NxN/apps/orvela.png).
constexpr int kIconSizes[] = {48, 128, 256};

// The icon at size x size pixels.
Canvas clock_icon(int size);

// Picture helpers the icon needs: a canvas turned clockwise about its centre, and one
// resampled to another square size (each output pixel averages 4 x 4 bilinear samples, so
// shrinking does not alias and growing stays smooth).
Canvas turned(const Canvas& source, double degrees_clockwise);
Canvas resampled(const Canvas& source, int size);

}  // namespace media
