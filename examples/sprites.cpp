// Bouncing sprites: twelve balls drawn from one sprite made in memory, moved every frame of
// the runtime's frame loop, bouncing off the window's edges and turning as they fly.
#include <quarnel/quarnel.h>

#include "example_frames.h"

using namespace qrn;

namespace {

constexpr int32_t kWidth = 480, kHeight = 320, kBallSize = 32, kBalls = 12;
constexpr int32_t kBall = 1;  // sprite slot

// A shaded ball with a white band, so its turning shows: pixels 0xAABBGGRR.
void make_ball() {
  RtArray<int32_t> pixels;
  array_dim(pixels, kBallSize * kBallSize);
  const double r = kBallSize / 2.0;
  for (int32_t y = 0; y < kBallSize; ++y) {
    for (int32_t x = 0; x < kBallSize; ++x) {
      double dx = x + 0.5 - r, dy = y + 0.5 - r;
      double d = real_sqrt(dx * dx + dy * dy) / r;
      uint32_t alpha = d < 0.94 ? 255u : d < 1.0 ? static_cast<uint32_t>((1.0 - d) / 0.06 * 255) : 0u;
      double light = 1.0 - 0.55 * real_sqrt(((dx + r / 3) * (dx + r / 3) + (dy + r / 3) * (dy + r / 3))) / (1.6 * r);
      uint32_t red = static_cast<uint32_t>(250 * light), green = static_cast<uint32_t>(120 * light),
               blue = static_cast<uint32_t>(40 * light);
      if (dy > -4 && dy < 4) red = green = blue = static_cast<uint32_t>(245 * light);
      pixels(y * kBallSize + x) = static_cast<int32_t>(alpha << 24 | blue << 16 | green << 8 | red);
    }
  }
  create_sprite_from_array(pixels, kBall, kBallSize, kBallSize);
}

struct Ball {
  double x, y, dx, dy, angle, spin;
};

}  // namespace

int main() {
  example::open_window(kWidth, kHeight, "Bouncing sprites");
  make_ball();
  random_seed(7);  // the same flight every run
  Ball balls[kBalls];
  for (Ball& b : balls) {
    b = Ball{16.0 + random_int(kWidth - 32), 16.0 + random_int(kHeight - 32), 1.0 + random_int(40) / 10.0,
             1.0 + random_int(40) / 10.0, static_cast<double>(random_int(360)), random_int(9) - 4.0};
    if (random_int(2)) b.dx = -b.dx;
  }
  set_background_colour(0x00402010);  // every frame starts dark blue (0x00BBGGRR)
  for (;;) {
    for (Ball& b : balls) {
      b.x += b.dx;
      b.y += b.dy;
      const double half = kBallSize / 2.0;
      if (b.x < half || b.x > kWidth - half) b.dx = -b.dx;
      if (b.y < half || b.y > kHeight - half) b.dy = -b.dy;
      b.angle += b.spin;
      draw_sprite_rotated(kBall, b.x - half, b.y - half, b.angle);  // turned about its centre
    }
    print_text(RtString("frame ") + static_cast<int32_t>(example::frames_shown()), 8, 8, 1);
    example::next_frame();
  }
}
