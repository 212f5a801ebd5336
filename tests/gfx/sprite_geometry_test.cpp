// Texture sizes, texture coordinates, animation frames and turned corners without GL.
#include <gtest/gtest.h>

#include "gfx/device.h"
#include "gfx/sprite_geometry.h"

namespace qrn {
namespace {

TEST(TextureSize, PowerOfTwoNeverBelowSixteen) {
  const int32_t cases[][2] = {{1, 16}, {8, 16}, {16, 16}, {17, 32}, {32, 32}, {33, 64},
                              {100, 128}, {512, 512}, {513, 1024}, {16384, 16384}};
  for (const auto& c : cases) EXPECT_EQ(texture_size_for(c[0]), c[1]) << c[0];
}

TEST(TextureSize, SlotSizesGiveTheUsedPartOfTheTexture) {
  SpriteSlot slot;
  set_slot_sizes(slot, 10, 10, texture_size_for(10), texture_size_for(10));
  EXPECT_EQ(slot.texture_width, 16);
  EXPECT_FLOAT_EQ(slot.u_max, 0.625f);
  EXPECT_FLOAT_EQ(slot.v_max, 0.625f);
  set_slot_sizes(slot, 100, 33, texture_size_for(100), texture_size_for(33));
  EXPECT_EQ(slot.texture_width, 128);
  EXPECT_EQ(slot.texture_height, 64);
  EXPECT_FLOAT_EQ(slot.u_max, 100.0f / 128.0f);
  EXPECT_FLOAT_EQ(slot.v_max, 33.0f / 64.0f);
}

TEST(AnimationFrames, NumberedRowByRowFromTheTop) {
  SpriteSlot slot;
  set_slot_sizes(slot, 256, 128, 256, 128);
  TextureRect t;
  EXPECT_FALSE(animation_frame_rect(slot, 0, false, t));  // no frame size: not an animation
  slot.frame_width = 64;
  slot.frame_height = 64;
  // 4 frames per row: frame 5 is column 1 of row 1, the lower half of the image, which is
  // the lower half of the texture's v range too (rows are stored bottom-up).
  ASSERT_TRUE(animation_frame_rect(slot, 5, false, t));
  EXPECT_FLOAT_EQ(t.u0, 0.25f);
  EXPECT_FLOAT_EQ(t.u1, 0.5f);
  EXPECT_FLOAT_EQ(t.v0, 0.0f);
  EXPECT_FLOAT_EQ(t.v1, 0.5f);
  ASSERT_TRUE(animation_frame_rect(slot, 2, true, t));  // row 0, inset by half a texel
  EXPECT_FLOAT_EQ(t.u0, 128.5f / 256.0f);
  EXPECT_FLOAT_EQ(t.u1, 191.5f / 256.0f);
  EXPECT_FLOAT_EQ(t.v0, 64.5f / 128.0f);
  EXPECT_FLOAT_EQ(t.v1, 127.5f / 128.0f);
  // Frames wider than the image: frame n is column n of row 0.
  slot.frame_width = 300;
  ASSERT_TRUE(animation_frame_rect(slot, 2, false, t));
  EXPECT_FLOAT_EQ(t.u0, 600.0f / 256.0f);
}

TEST(RotatedCorners, PositiveAnglesTurnCounterClockwiseOnScreen) {
  float xs[4], ys[4];
  // Unturned: (-hw, hh) is the bottom-left corner on screen (y down).
  rotated_corners(10, 20, 4, 2, 0, xs, ys);
  EXPECT_FLOAT_EQ(xs[0], 6);
  EXPECT_FLOAT_EQ(ys[0], 22);
  EXPECT_FLOAT_EQ(xs[2], 14);
  EXPECT_FLOAT_EQ(ys[2], 18);
  // A quarter turn brings the right edge (corners 1 and 2) to the top, exactly.
  rotated_corners(10, 20, 4, 2, 90, xs, ys);
  EXPECT_EQ(xs[1], 12.0f);
  EXPECT_EQ(ys[1], 16.0f);
  EXPECT_EQ(xs[2], 8.0f);
  EXPECT_EQ(ys[2], 16.0f);
  rotated_corners(0, 0, 1, 1, -270, xs, ys);  // the same turn
  EXPECT_EQ(ys[1], -1.0f);
  EXPECT_EQ(xs[1], 1.0f);
  rotated_corners(0, 0, 1, 0, 45, xs, ys);
  EXPECT_NEAR(xs[1], 0.7071068, 1e-6);
  EXPECT_NEAR(ys[1], -0.7071068, 1e-6);
}

TEST(Rectangles, NegativeSizesExtendLeftAndUp) {
  int32_t x = 10, y = 10, w = -5, h = 3;
  normalise_rect(x, y, w, h);
  EXPECT_EQ(x, 6);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(y, 10);
  EXPECT_EQ(h, 3);
  x = 0, y = 0, w = 2, h = -1;
  normalise_rect(x, y, w, h);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(h, 1);
}

}  // namespace
}  // namespace qrn
