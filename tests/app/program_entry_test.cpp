// Program entry: the command text after the program name, the project settings, the order of
// the entry steps and the build-information texts.
#include <gtest/gtest.h>

#include <regex>

#include "platform/fake_platform.h"
#include "program_entry.h"
#include "project_settings.h"
#include "runtime.h"
#include "support/temp_dir.h"

TEST(CommandText, SkipsTheProgramNameQuotedOrBare) {
  struct Case {
    const char* line;
    const char* text;
  } cases[] = {
      {"prog a b", "a b"},
      {"  \tprog \t a", "a"},
      {"\"C:\\Program Files\\orvela.exe\"  -x", "-x"},
      {"\"unclosed quote -x", ""},
      {"prog", ""},
      {"", ""},
      {"\"\" arg", "arg"},
      {"prog\targ", "arg"},
  };
  for (const auto& c : cases) EXPECT_STREQ(qrn::command_text_of(c.line), c.text) << c.line;
  EXPECT_STREQ(qrn::command_text_of(nullptr), "");
}

TEST(ProjectSettings, AreCopiedIntoTheRuntimeState) {
  qrn::reset_runtime_state();
  qrn::apply_project_settings();
  const qrn::RuntimeState& rt = qrn::g_runtime;
  EXPECT_EQ(rt.screen_width, 240);  // width before height
  EXPECT_EQ(rt.screen_height, 320);
  EXPECT_EQ(rt.full_screen, 0);
  EXPECT_EQ(rt.exclusive_mouse, 1);
  EXPECT_EQ(rt.frame_rate, 60);
  EXPECT_EQ(rt.debug_mode, 0);
  EXPECT_EQ(rt.multisample, 0);
  EXPECT_STREQ(qrn::project_title().data, "Orvela");
}

TEST(ProgramEntry, StoresTheWholeCommandLineStartsAndEnds) {
  qrn::test::TempDir dir;
  qrn::FakePlatformScope fake;
  fake->temp_dir = dir.path();
  fake->command_text = "\"/opt/my clock/orvela\" --flag";
  fake->ms_per_read = 0.25;  // time passes while the frame loop waits
  // The clock never returns: a close request a few passes after start-up ends the program.
  fake->later_messages.push_back({2000.0, {qrn::MessageKind::close_request, nullptr, 0, 0, 0}});
  qrn::reset_runtime_state();
  qrn::g_runtime.error_code = 5;
  qrn::g_runtime.source_line = 9;
  int exit_code = -1;
  try {
    qrn::command_line_entry(0, nullptr, nullptr);
  } catch (const qrn::FakeProcessExit& e) {
    exit_code = e.code;
  }
  EXPECT_EQ(exit_code, 0);
  EXPECT_STREQ(qrn::g_runtime.command_line.data, "\"/opt/my clock/orvela\" --flag");
  EXPECT_STREQ(qrn::g_runtime.caption.data, "Orvela");
  // The error state was cleared before the clock ran; the clock's media are missing beside
  // this fake program, so each load reported error 3 and the clock went on regardless.
  EXPECT_EQ(qrn::g_runtime.source_line, 0);
  EXPECT_EQ(qrn::g_runtime.error_line, 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  ASSERT_GE(fake->stdout_text.size(), 14u);
  EXPECT_EQ(fake->stdout_text.substr(0, 9), "error: 3\n");
  EXPECT_EQ(fake->stdout_text.substr(fake->stdout_text.size() - 5), "exit\n");
  std::string log = qrn::test::read_file(dir.file("ErrorLog.txt"));
  EXPECT_EQ(log.rfind("Start new log...\n", 0), 0u) << log;
}

TEST(BuildInformation, HasTheDescribedForms) {
  EXPECT_TRUE(std::regex_match(qrn::build_date_text,
                               std::regex("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}-[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")))
      << qrn::build_date_text;
  EXPECT_TRUE(std::regex_match(qrn::build_host_id, std::regex("[0-9a-f]{8}"))) << qrn::build_host_id;
  EXPECT_STREQ(qrn::runtime_version_text, "004.400");
}
