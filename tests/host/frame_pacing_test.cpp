// Frame presentation on the scripted clock: the deadline wait, the catch-up of late frames,
// the frame period and the frame time.
#include "gfx/device.h"
#include "host_fixture.h"

namespace qrn::test {
namespace {

class FramePacingTest : public HostTest {
 protected:
  // Presents one frame with the clock at now (ms since the runtime clock's start).
  void present_at(double now) {
    fake->now_ms = clock_origin() + now;
    ASSERT_TRUE(present_frame(nullptr));
  }
  double clock_origin() {
    // The runtime clock counts from its first reading; find where that lies on the counter.
    double saved = fake->ms_per_read;
    fake->ms_per_read = 0.0;
    double origin = fake->now_ms - timer_ms();
    fake->ms_per_read = saved;
    return origin;
  }
  double clock_now() { return fake->now_ms - clock_origin(); }
};

TEST_F(FramePacingTest, SleepsInOneStretchThenSpinsUpToTheDeadline) {
  OpenGLZodidoze& device = make_device(200, 200);
  const double period = 1000.0 / 60.0;
  device.next_frame_ms = period;
  present_at(0.0);
  EXPECT_EQ(fake->swaps, 1);
  ASSERT_EQ(fake->sleeps.size(), 1u);
  EXPECT_EQ(fake->sleeps[0], 13);  // the whole part of 16.67 - 3
  ASSERT_FALSE(fake->naps.empty());  // then the last stretch up to 1 ms before the deadline
  EXPECT_NEAR(fake->naps[0], period - 13.0 - 1.0, 0.6);
  double returned = clock_now();
  EXPECT_GE(returned, period - 1.0);
  EXPECT_LE(returned, period);
  EXPECT_DOUBLE_EQ(device.next_frame_ms, 2 * period);
}

TEST_F(FramePacingTest, LateFramesCatchUpByOnePeriodAtMost) {
  OpenGLZodidoze& device = make_device(200, 200);
  const double period = 1000.0 / 60.0;

  device.next_frame_ms = period;
  present_at(period + 10.0);  // late by less than a period: the schedule holds
  EXPECT_DOUBLE_EQ(device.next_frame_ms, 2 * period);

  device.next_frame_ms = period;
  present_at(period + 20.0);  // late by more than one period: one extra period
  EXPECT_DOUBLE_EQ(device.next_frame_ms, 3 * period);

  device.next_frame_ms = period;
  present_at(period + 40.0);  // more than two periods: the schedule restarts from now
  EXPECT_NEAR(device.next_frame_ms, period + 40.0 + period, 0.6);
  EXPECT_TRUE(fake->sleeps.empty());
  EXPECT_TRUE(fake->naps.empty());
}

TEST_F(FramePacingTest, FrameRateSetsThePeriodAndWithoutOneFramesAreTwoMillisecondsApart) {
  OpenGLZodidoze& device = make_device(200, 200);
  set_frame_rate(59.9, 1);
  EXPECT_DOUBLE_EQ(device.frame_interval_ms, 1000.0 / 59);
  set_frame_rate(0, 0);
  EXPECT_DOUBLE_EQ(device.frame_interval_ms, 2.0);

  device.frame_interval_ms = 0.0;  // no period: the deadline stays
  device.next_frame_ms = 5.0;
  present_at(50.0);
  EXPECT_DOUBLE_EQ(device.next_frame_ms, 5.0);
}

TEST_F(FramePacingTest, ShowScreenKeepsASteadyPeriod) {
  OpenGLZodidoze& device = make_device(200, 200);
  g_runtime.input = create_input();
  device.next_frame_ms = timer_ms();
  std::vector<double> starts;
  for (int frame = 0; frame < 20; ++frame) {
    show_screen();
    starts.push_back(clock_now());
  }
  for (size_t i = 2; i < starts.size(); ++i) {
    EXPECT_NEAR(starts[i] - starts[i - 1], 1000.0 / 60.0, 1.0) << "frame " << i;
  }
  EXPECT_GT(get_frame_time(), 15.0);
  EXPECT_EQ(fake->swaps, 20);
  release_input();
}

TEST_F(FramePacingTest, FrameTimeIsAtLeastOne) {
  g_runtime.frame_start_ms = 100.0;
  g_runtime.previous_frame_start_ms = 100.0;
  EXPECT_EQ(get_frame_time(), 1.0);
  g_runtime.previous_frame_start_ms = 80.0;
  EXPECT_EQ(get_frame_time(), 20.0);
}

}  // namespace
}  // namespace qrn::test
