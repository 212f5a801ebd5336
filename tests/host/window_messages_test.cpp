// The window procedure on scripted messages: pausing and resuming with the title suffix,
// the screen saver, close requests and the orderly end, and the file dialogs.
#include "host_fixture.h"

namespace qrn::test {
namespace {

std::string g_calls;
void on_pause() { g_calls += "P"; }
void on_resume() { g_calls += "R"; }
void on_quit() {
  g_calls += "Q";
  end_program();  // re-entry returns at once
  g_calls += "q";
}
void hook() { g_calls += "h"; }
const NamedCallback kCallbacks[] = {
    {on_pause, "QRN_ON_PAUSE"}, {on_resume, "QRN_ON_RESUME"}, {on_quit, "QRN_ON_QUIT"}, {nullptr, nullptr}};
const NamedCallback kWithHook[] = {{hook, "QRN_WIN32_MSG"}, {nullptr, nullptr}};

class WindowMessagesTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_calls.clear();
    install_callbacks(kCallbacks);
    make_device(200, 200);
    set_caption("Clock");
    g_runtime.input = create_input();
  }
  void TearDown() override {
    if (g_runtime.input) release_input();
    HostTest::TearDown();
  }
  const std::string& title() { return fake->fake_window(g_runtime.window_handle)->title; }
};

TEST_F(WindowMessagesTest, FocusLossPausesWithTheSuffixAndRegainResumes) {
  fake->messages.push_back(message(MessageKind::activate, 2));
  fake->messages.push_back(message(MessageKind::deactivate));
  pump_messages(nullptr);
  EXPECT_EQ(g_runtime.paused, 1);
  EXPECT_EQ(title(), "Clock <pause>");
  EXPECT_EQ(get_caption(), "Clock");
  EXPECT_TRUE(fake->screen_saver_allowed);

  fake->messages.push_back(message(MessageKind::activate, 1));
  pump_messages(nullptr);
  EXPECT_EQ(g_runtime.paused, 0);
  EXPECT_EQ(title(), "Clock");
  EXPECT_FALSE(fake->screen_saver_allowed);  // off while the program has the focus
  EXPECT_EQ(g_calls, "PR");
}

TEST_F(WindowMessagesTest, ShowScreenIdlesWhilePausedAndWakesOnActivation) {
  fake->messages.push_back(message(MessageKind::deactivate));
  fake->later_messages.push_back({fake->now_ms + 1600.0, message(MessageKind::activate, 2)});
  show_screen();  // takes the deactivation
  EXPECT_EQ(g_runtime.paused, 1);
  fake->sleeps.clear();
  show_screen();  // stays in the pause loop until the activation arrives
  EXPECT_EQ(g_runtime.paused, 0);
  EXPECT_EQ(title(), "Clock");
  EXPECT_GE(std::count(fake->sleeps.begin(), fake->sleeps.end(), 500), 3);
  EXPECT_TRUE(in_order(log_lines(), {"pause loop in showscreen/hibernate\n", "pause loop ended\n"}));
  EXPECT_EQ(g_calls, "PR");
}

TEST_F(WindowMessagesTest, DebugModeAndDisabledPausingNeverPause) {
  g_runtime.debug_mode = 1;
  fake->messages.push_back(message(MessageKind::deactivate));
  pump_messages(nullptr);
  EXPECT_EQ(g_runtime.paused, 0);
  EXPECT_EQ(title(), "Clock");

  g_runtime.debug_mode = 0;
  set_pause_enabled(0);
  fake->messages.push_back(message(MessageKind::deactivate));
  pump_messages(nullptr);
  EXPECT_EQ(g_runtime.paused, 0);
  EXPECT_EQ(title(), "Clock");
  EXPECT_EQ(g_calls, "");
}

TEST_F(WindowMessagesTest, ActivationRequestRaisesTheWindowAndEndsThePause) {
  fake->messages.push_back(message(MessageKind::deactivate));
  pump_messages(nullptr);
  g_runtime.activation_requested = 1;
  show_screen();
  EXPECT_EQ(fake->stdout_text, "activate\nok\n");
  EXPECT_EQ(g_runtime.activation_requested, 0);
  EXPECT_GE(fake->fake_window(g_runtime.window_handle)->raised, 1);
}

TEST_F(WindowMessagesTest, CharactersGoToTheTypedQueueAndTheHookSeesEveryMessage) {
  install_callbacks(kWithHook);
  fake->messages.push_back(message(MessageKind::character, 'a'));
  fake->messages.push_back(message(MessageKind::system_key_up, 56));
  pump_messages(message_hook());
  EXPECT_EQ(g_calls, "hh");
  EXPECT_EQ(current_window_message().kind, MessageKind::system_key_up);
  EXPECT_EQ(pop_typed_char(), 'a');
  EXPECT_EQ(window_procedure(message(MessageKind::expose)), 1);
}

TEST_F(WindowMessagesTest, CloseRequestEndsOnceWithExitAndStatusZero) {
  g_runtime.debug_mode = 1;
  g_runtime.error_code = 3;
  g_runtime.error_line = 8;
  fake->messages.push_back(message(MessageKind::close_request));
  try {
    pump_messages(nullptr);
    FAIL() << "a close request must end the program";
  } catch (const FakeProcessExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_EQ(g_calls, "Qq");  // the quit callback ran once; its own end_program returned
  EXPECT_EQ(fake->stdout_text, "exit\n");
  EXPECT_TRUE(in_order(log_lines(), {"-End On Line\n", "3\n", "7\n", "0\n", "0\n", "Shut down QRN\n",
                                     "qrn is shut down\n"}));
  EXPECT_EQ(g_runtime.device, nullptr);
  EXPECT_EQ(g_runtime.input, nullptr);
  end_program();  // already ending: returns
}

TEST(DialogFilter, BarsSplitIntoDescriptionAndPatternPairs) {
  auto pairs = split_dialog_filter("Pictures|*.png;*.jpg|All files|*.*");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"Pictures", "*.png;*.jpg"}));
  EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>{"All files", "*.*"}));
  EXPECT_EQ(split_dialog_filter("Text|*.txt||Ignored|*.x").size(), 1u);  // an empty entry ends the list
  EXPECT_EQ(split_dialog_filter("Lonely").size(), 0u);
  EXPECT_EQ(split_dialog_filter("").size(), 0u);
}

TEST_F(WindowMessagesTest, FileDialogGivesSlashedPathsOrNoFileAndRestoresWindowAndDirectory) {
  std::string start = fake->cwd;
  fake->dialog_confirms = true;
  fake->dialog_path = "C:\\Data\\x.txt";
  EXPECT_EQ(file_dialog(0, "Text|*.txt"), "C:/Data/x.txt");
  EXPECT_EQ(fake->cwd, start);
  EXPECT_EQ(fake->dialog_filters.size(), 1u);
  EXPECT_TRUE(fake->fake_window(g_runtime.window_handle)->shown);

  fake->dialog_confirms = false;
  EXPECT_EQ(file_dialog(1, "Text|*.txt"), "NO_FILE");
  EXPECT_EQ(fake->cwd, start);
}

}  // namespace
}  // namespace qrn::test
