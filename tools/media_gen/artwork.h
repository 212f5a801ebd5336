// Artwork: the clock's pictures, drawn procedurally.
//
// Everything that turns is 200 x 200 and turns about its own centre, which the clock places
// at the face's centre (100, 100) or straight above or below it:
//   hands, sun, moon          centre of the face; unturned they point or sit at 12 o'clock
//                             (the moon at 6 o'clock, as it shows only while its picture is
//                             turned half round);
//   day cycle badges A and B  drawn 38 px higher, centre (100, 62);
//   peak badge                drawn 55 px higher, centre (100, 45), over the peak dial,
//                             which is drawn unturned at (0, 0) and so is centred there too;
//   night badge               drawn 38 px lower, centre (100, 138).
// The menu and the about box are drawn unturned at (10, 25).
#pragma once

#include "canvas.h"
#include "typeface.h"

namespace media {

struct Faces {
    const Typeface* bold;
    const Typeface* regular;  // falls back to bold when the regular face is missing
};

Canvas hour_hand();
Canvas minute_hand();
Canvas second_hand();
Canvas sun_disc();
Canvas moon_disc();
Canvas cycle_badge_a();
Canvas cycle_badge_b();
Canvas cycle_badge_night();
Canvas cycle_badge_peak();
Canvas peak_dial(const Faces& faces);
Canvas day_sky();
Canvas night_sky();
Canvas popup_menu(const Faces& faces);
Canvas about_box(const Faces& faces);

// Sizes of the two overlays, and the menu's item bands in image rows (inclusive).
constexpr int kMenuWidth = 170;
constexpr int kMenuHeight = 136;
constexpr int kAboutWidth = 180;
constexpr int kAboutHeight = 150;

}  // namespace media
