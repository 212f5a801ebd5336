// Named callbacks: lookup by exact name, the debugger report, the repeating dispatcher with
// switching and stopping, and the pause switch with its callbacks.
#include <gtest/gtest.h>

#include <string>

#include "platform/fake_platform.h"
#include "quarnel.h"

namespace {

std::string g_calls;
int g_a_runs = 0;

void on_pause() { g_calls += "P"; }
void on_resume() { g_calls += "R"; }
void tick() { g_calls += "t"; }
void routine_b() {
  g_calls += "B";
  if (g_calls.size() >= 6) qrn::run_by_name("");
}
void routine_a() {
  g_calls += "A";
  if (++g_a_runs == 3) qrn::run_by_name("B");
}
void stops_at_once() {
  g_calls += "S";
  qrn::run_by_name("");
}
void switches_to_unknown() {
  g_calls += "U";
  qrn::run_by_name("NOPE");
}

const qrn::NamedCallback kTable[] = {
    {on_pause, "QRN_ON_PAUSE"}, {on_resume, "QRN_ON_RESUME"}, {tick, "onTick"},
    {routine_a, "A"},           {routine_b, "B"},             {stops_at_once, "S"},
    {switches_to_unknown, "U"}, {nullptr, nullptr}};

class CallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    qrn::install_callbacks(kTable);
    g_calls.clear();
    g_a_runs = 0;
  }
  qrn::FakePlatformScope fake;
};

}  // namespace

TEST_F(CallbacksTest, LookupIsExactAndMissingNamesReportOnlyToTheDebugger) {
  EXPECT_EQ(qrn::find_callback("onTick"), &tick);
  EXPECT_EQ(qrn::find_callback("ONTICK"), nullptr);
  EXPECT_EQ(qrn::find_callback("onTic"), nullptr);
  EXPECT_EQ(qrn::find_callback(qrn::RtString("onTick")), &tick);
  EXPECT_EQ(qrn::call_by_name("onTick"), 1);
  EXPECT_EQ(g_calls, "t");

  fake->debugger = true;
  EXPECT_EQ(qrn::call_by_name("SOMETHING"), 0);
  EXPECT_EQ(fake->debugger_text, "TXCALLBYNAME \"SOMETHING\" *** failed ***\n");
  fake->debugger_text.clear();
  EXPECT_EQ(qrn::call_by_name("QRN_ON_QUIT"), 0);
  EXPECT_EQ(qrn::call_by_name("QRN_WIN32_MSG"), 0);
  EXPECT_EQ(fake->debugger_text, "");

  qrn::install_callbacks(nullptr);
  EXPECT_EQ(qrn::call_by_name("onTick"), 0);
}

TEST_F(CallbacksTest, DispatcherRepeatsSwitchesAndStops) {
  qrn::run_by_name("A");
  EXPECT_EQ(g_calls, "AAABBB");  // A three times, then B until it stops the dispatcher
  EXPECT_TRUE(qrn::g_runtime.current_routine.empty());

  g_calls.clear();
  qrn::run_by_name("S");
  EXPECT_EQ(g_calls, "S");
  qrn::run_by_name("");  // outside the dispatcher: nothing
  qrn::run_by_name("MISSING");
  EXPECT_EQ(g_calls, "S");
}

TEST_F(CallbacksTest, UnknownNamesDoNotSwallowTheNextRun) {
  qrn::run_by_name("MISSING");
  qrn::run_by_name("S");
  EXPECT_EQ(g_calls, "S");
  g_calls.clear();
  qrn::run_by_name("U");  // switches to a name that has no function
  EXPECT_EQ(g_calls, "U");
  qrn::run_by_name("S");
  EXPECT_EQ(g_calls, "US");
}

TEST_F(CallbacksTest, PauseFiresOnTransitionsOnly) {
  qrn::set_focus_lost(1);
  qrn::set_focus_lost(1);
  EXPECT_EQ(qrn::g_runtime.paused, 1);
  qrn::set_focus_lost(0);
  qrn::set_focus_lost(0);
  EXPECT_EQ(g_calls, "PR");
  EXPECT_EQ(qrn::g_runtime.paused, 0);

  g_calls.clear();
  qrn::set_focus_lost(1);
  qrn::set_pause_enabled(0);  // unpauses and announces it
  EXPECT_EQ(g_calls, "PR");
  EXPECT_EQ(qrn::g_runtime.paused, 0);
  qrn::set_focus_lost(1);  // pausing disabled: nothing
  EXPECT_EQ(qrn::g_runtime.paused, 0);
  qrn::set_pause_enabled(1);
  EXPECT_EQ(g_calls, "PR");
  EXPECT_EQ(qrn::g_runtime.pause_enabled, 1);
}
