// Screen geometry: viewport placement under each orientation, the point transforms, the
// logical resolution's stepped scale and offsets, window and full-screen placement.
#include "host_fixture.h"

namespace qrn::test {
namespace {

using ScreenTest = HostTest;

TEST(ViewportPlacement, WholeScreenUnderEachOrientationCoversTheWindow) {
  // A 320 x 240 window; turned sideways the program sees 240 x 320.
  ViewportPlacement p0 = place_viewport(0, 320, 240, 0, 0, 320, 240);
  EXPECT_EQ((std::vector<int32_t>{p0.left, p0.top, p0.width, p0.height, p0.gl_y}),
            (std::vector<int32_t>{0, 0, 320, 240, 0}));
  for (int32_t o : {1, 3}) {
    ViewportPlacement p = place_viewport(o, 320, 240, 0, 0, 240, 320);
    EXPECT_EQ((std::vector<int32_t>{p.left, p.top, p.width, p.height}), (std::vector<int32_t>{0, 0, 320, 240}))
        << "orientation " << o;
    EXPECT_EQ(p.ortho_width, 240);
    EXPECT_EQ(p.ortho_height, 320);
  }
}

TEST(ViewportPlacement, PartialRectanglesTurnWithTheScreen) {
  // Program rectangle x 10, y 20, 30 x 40 on a 320 x 240 window.
  ViewportPlacement p1 = place_viewport(1, 320, 240, 10, 20, 30, 40);
  EXPECT_EQ((std::vector<int32_t>{p1.left, p1.top, p1.width, p1.height}),
            (std::vector<int32_t>{320 - 20 - 40, 10, 40, 30}));
  ViewportPlacement p2 = place_viewport(2, 320, 240, 10, 20, 30, 40);
  EXPECT_EQ((std::vector<int32_t>{p2.left, p2.top, p2.width, p2.height}),
            (std::vector<int32_t>{320 - 10 - 30, 240 - 20 - 40, 30, 40}));
  EXPECT_EQ(p2.gl_y, 20);  // measured from the window's bottom
  ViewportPlacement p3 = place_viewport(3, 320, 240, 10, 20, 30, 40);
  EXPECT_EQ((std::vector<int32_t>{p3.left, p3.top, p3.width, p3.height}),
            (std::vector<int32_t>{20, 240 - 10 - 30, 40, 30}));
}

TEST(PointTransforms, EachOrientationAndItsInverse) {
  int32_t x = 0, y = 0;
  program_to_window_point(2, 320, 240, x, y);
  EXPECT_EQ(x, 319);
  EXPECT_EQ(y, 239);
  const int32_t expected[4][2] = {{10, 20}, {320 - 1 - 20, 10}, {320 - 1 - 10, 240 - 1 - 20}, {20, 240 - 1 - 10}};
  for (int32_t o = 0; o < 4; ++o) {
    x = 10;
    y = 20;
    program_to_window_point(o, 320, 240, x, y);
    EXPECT_EQ(x, expected[o][0]) << "orientation " << o;
    EXPECT_EQ(y, expected[o][1]) << "orientation " << o;
    window_to_program_point(o, 320, 240, x, y);
    EXPECT_EQ(x, 10) << "orientation " << o;
    EXPECT_EQ(y, 20) << "orientation " << o;
  }
  double dx = 1, dy = 2;
  program_to_window_direction(1, dx, dy);
  EXPECT_EQ(dx, -2);
  EXPECT_EQ(dy, 1);
  dx = 1, dy = 2;
  program_to_window_direction(3, dx, dy);
  EXPECT_EQ(dx, 2);
  EXPECT_EQ(dy, -1);
}

TEST(VirtualScale, FactorSteps) {
  EXPECT_EQ(step_virtual_scale(12.7), 12.0f);
  EXPECT_EQ(step_virtual_scale(9.9), 8.0f);
  EXPECT_EQ(step_virtual_scale(7.9), 4.0f);
  EXPECT_EQ(step_virtual_scale(3.2), 3.0f);
  EXPECT_EQ(step_virtual_scale(2.4), 2.0f);
  EXPECT_EQ(step_virtual_scale(1.99), 1.5f);
  EXPECT_EQ(step_virtual_scale(1.49), 1.0f);
  EXPECT_EQ(step_virtual_scale(0.3), 1.0f);
}

TEST_F(ScreenTest, VirtualResolutionScalesAndCentresTheLogicalScreen) {
  make_device(320, 240);
  set_virtual_resolution(160, 120);
  EXPECT_EQ(g_runtime.virtual_scale, 2.0f);
  EXPECT_EQ(g_runtime.virtual_offset_x, 0);
  EXPECT_EQ(g_runtime.virtual_offset_y, 0);

  set_virtual_resolution(100, 100);  // min(3.2, 2.4) steps to 2
  EXPECT_EQ(g_runtime.virtual_scale, 2.0f);
  EXPECT_EQ(g_runtime.virtual_offset_x, 60);
  EXPECT_EQ(g_runtime.virtual_offset_y, 20);
  set_virtual_resolution(100, 100);  // the same again gives the same screen
  EXPECT_EQ(g_runtime.virtual_scale, 2.0f);
  EXPECT_EQ(g_runtime.virtual_offset_x, 60);

  int32_t w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 100);
  int32_t vx = -1, vy = -1, vw = 0, vh = 0;
  get_viewport(vx, vy, vw, vh);  // logical coordinates
  EXPECT_EQ((std::vector<int32_t>{vx, vy, vw, vh}), (std::vector<int32_t>{0, 0, 100, 100}));
  EXPECT_EQ(g_runtime.device->viewport_x, 60);  // the window rectangle behind it
  EXPECT_EQ(g_runtime.device->viewport_width, 200);

  set_viewport(10, 5, 20, 30);
  get_viewport(vx, vy, vw, vh);
  EXPECT_EQ((std::vector<int32_t>{vx, vy, vw, vh}), (std::vector<int32_t>{10, 5, 20, 30}));

  set_virtual_resolution(0, 0);  // off: drawing maps 1:1 to the window again
  EXPECT_EQ(g_runtime.virtual_scale, 0.0f);
  get_screen_size(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  get_viewport(vx, vy, vw, vh);
  EXPECT_EQ((std::vector<int32_t>{vx, vy, vw, vh}), (std::vector<int32_t>{0, 0, 320, 240}));
}

TEST_F(ScreenTest, OrientationIsClampedAndTurnsTheScreenSize) {
  make_device(320, 240);
  set_orientation(7);
  EXPECT_EQ(get_orientation(), 3);
  int32_t w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 240);
  EXPECT_EQ(h, 320);
  set_orientation(-2);
  EXPECT_EQ(get_orientation(), 0);
}

TEST_F(ScreenTest, FullScreenWithoutAnExactModeBeepsAndStaysACentredWindow) {
  g_runtime.input = create_input();
  make_device(640, 480);
  fake->display_modes = {{640, 480}, {1280, 1024}};
  set_screen_size(200, 200, 1);
  EXPECT_EQ(fake->beeps, 1);
  EXPECT_TRUE(in_order(log_lines(), {"No Fullscreen Mode available\n"}));
  const FakePlatform::FakeWindow& window = *fake->fake_window(g_runtime.window_handle);
  EXPECT_FALSE(window.fullscreen);
  EXPECT_TRUE(window.shown);
  EXPECT_EQ(window.client.width, 200);
  EXPECT_EQ(window.client.height, 200);
  EXPECT_EQ(window.client.x, (1280 - 204) / 2 + 2);
  EXPECT_EQ(window.client.y, (1024 - 222) / 2 + 20);
  EXPECT_EQ(is_full_screen(), 0);
  EXPECT_EQ(g_runtime.screen_width, 200);
  EXPECT_EQ(fake->swaps, 5);
  EXPECT_TRUE(fake->sleeps.empty() && fake->naps.empty()) << "the five frames are not paced";
  release_input();
}

TEST_F(ScreenTest, FullScreenWithAnExactModeMakesANewBareWindow) {
  g_runtime.input = create_input();
  make_device(200, 200);
  set_caption("Clock");
  WindowHandle old_window = g_runtime.window_handle;
  fake->display_modes = {{640, 480}};
  set_screen_size(640, 480, 1);
  EXPECT_EQ(fake->beeps, 0);
  EXPECT_NE(g_runtime.window_handle, old_window);
  EXPECT_TRUE(fake->fake_window(old_window)->destroyed);
  const FakePlatform::FakeWindow& window = *fake->fake_window(g_runtime.window_handle);
  EXPECT_TRUE(window.fullscreen);
  EXPECT_FALSE(window.decorated);
  EXPECT_EQ(window.title, "Clock");
  EXPECT_EQ(is_full_screen(), 1);
  release_input();
}

}  // namespace
}  // namespace qrn::test
