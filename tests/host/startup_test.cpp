// Start-up on the scripted platform: the log lines in their order, the window it leaves, and
// the path when no window can be made.
#include <filesystem>

#include "host/software_warning.h"
#include "host_fixture.h"
#include "support/child_process.h"

namespace qrn::test {
namespace {

using StartupTest = HostTest;

void configure() {
  g_runtime.screen_width = 200;
  g_runtime.screen_height = 200;
  g_runtime.frame_rate = 60;
}

TEST_F(StartupTest, LogHoldsEveryStepInOrderFromAFreshStart) {
  write_file(dir.file("ErrorLog.txt"), "old run\n");
  configure();
  start_runtime(nullptr, 10, "Clock");
  std::vector<std::string> lines = log_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Start new log...\n");
  EXPECT_EQ(lines.back(), "Init Finalized\n");
  EXPECT_TRUE(in_order(lines, {"Start new log...\n", "timer\n", "duro\n", "duro init\n", "WIN32 init video\n",
                               "get accurate timer - 1st call\n", "flip - 1st call\n", "Texture size limit: 0\n",
                               "init fbo\n", "2D VP\n", "DIDU init [OK]\n", "Cptn\n", "Network\n", "Input\n",
                               "Window mode\n", "Create DXin\n", "reptr\n", "getexe\n", "cd\n",
                               "exepath=curdir= " + dir.path().substr(0, dir.path().size() - 1) + "\n",
                               "kistreling...\n", "init gettimer\n", "clear screen\n", "flip\n", "mk2D\n",
                               "finding font...\n", "Delay load DLLs\n",
                               "DECLARE module not found: user32.dll\n", "\n",
                               "DECLARE module not found: User32.dll\n", "\n", "Win8+ mouse as pointer\n",
                               "Init Finalized\n"}));
  for (const std::string& line : lines) EXPECT_NE(line, "old run\n");

  // The window: the project's size with the caption, shown and centred on the work area.
  const FakePlatform::FakeWindow& window = *fake->fake_window(g_runtime.window_handle);
  EXPECT_EQ(window.title, "Clock");
  EXPECT_TRUE(window.shown);
  EXPECT_EQ(window.client.width, 200);
  EXPECT_EQ(window.client.height, 200);
  EXPECT_EQ(window.client.x, (1280 - 204) / 2 + 2);
  EXPECT_EQ(window.client.y, (1024 - 222) / 2 + 20);
  EXPECT_EQ(get_caption(), "Clock");
  EXPECT_EQ(fake->cwd, dir.path().substr(0, dir.path().size() - 1));
  EXPECT_NE(g_runtime.input, nullptr);
  EXPECT_NE(g_runtime.sound, nullptr);
  EXPECT_NE(g_runtime.network, nullptr);
  EXPECT_NE(g_runtime.engine_3d, nullptr);
  EXPECT_EQ(get_frame_time(), 1.0);  // both frame starts hold the same reading
  // The window system's optional pointer functions are not found; the platform's stay.
  EXPECT_EQ(g_runtime.enable_mouse_in_pointer, platform_enable_mouse_in_pointer);
  EXPECT_EQ(g_runtime.get_pointer_touch_info, platform_get_pointer_touch_info);
  EXPECT_EQ(fake->stderr_text.find("!!!"), std::string::npos);
}

TEST_F(StartupTest, ShowCommandZeroLeavesTheWindowHidden) {
  configure();
  start_runtime(nullptr, 0, "Clock");
  EXPECT_FALSE(fake->fake_window(g_runtime.window_handle)->shown);
}

TEST_F(StartupTest, SoftwareRendererWarningIsShownAtMostOnce) {
  warn_if_software_renderer("llvmpipe (LLVM 15.0.6, 256 bits)");
  warn_if_software_renderer("llvmpipe (LLVM 15.0.6, 256 bits)");
  ASSERT_EQ(fake->message_boxes.size(), 1u);
  EXPECT_EQ(fake->message_boxes[0].rfind("No OpenGL Hardware Drivers|Please update your GFX", 0), 0u);
  EXPECT_TRUE(in_order(log_lines(), {"*** OpenGL Software Emulation - update driver!\n"}));
  EXPECT_TRUE(is_software_renderer("softpipe"));
  EXPECT_TRUE(is_software_renderer("Mesa Windows GDI Driver"));
  EXPECT_FALSE(is_software_renderer("AMD Radeon RX 580 (radeonsi, polaris10, LLVM 15.0.6)"));
}

TEST_F(StartupTest, WarningTextComesFromTheDriverFileInUtf8) {
  std::string old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  write_file(dir.file("opengldriver.txt"), "Treiber f\xFCr OpenGL");  // Western European
  std::string text = software_warning_text();
  write_file(dir.file("opengldriver.txt"), "");
  std::string fallback = software_warning_text();
  std::filesystem::current_path(old_cwd);
  EXPECT_EQ(text, "Treiber f\xC3\xBCr OpenGL");
  EXPECT_NE(fallback.find("unterst\xC3\xBCtzt!"), std::string::npos);
}

TEST_F(StartupTest, WithoutADisplayStartUpStopsAndTheFirstFrameEndsTheProgram) {
  configure();
  fake->video_available = false;
  start_runtime(nullptr, 10, "Clock");
  std::vector<std::string> lines = log_lines();
  EXPECT_EQ(lines.back(), "WIN32 init video\n");
  EXPECT_TRUE(in_order(lines, {"Start new log...\n", "duro init\n", "WIN32 init video\n"}));
  EXPECT_NE(fake->stderr_text.find("could not be created (no display)"), std::string::npos);
  try {
    show_screen();
    FAIL() << "show_screen returned without a window";
  } catch (const FakeProcessExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_EQ(fake->stdout_text, "exit\n");
}

}  // namespace
}  // namespace qrn::test

namespace qrn::test {
namespace {

// The real backend without a display: one clear line on standard error, and the program's
// first frame ends it the normal way. SDL's invisible drivers do not stand in for a display.
ChildResult start_without_display(const char* display, const char* driver) {
  TempDir dir;
  return run_in_child([&] {
    unsetenv("WAYLAND_DISPLAY");
    if (display) {
      setenv("DISPLAY", display, 1);
    } else {
      unsetenv("DISPLAY");
    }
    if (driver) {
      setenv("SDL_VIDEODRIVER", driver, 1);
    } else {
      unsetenv("SDL_VIDEODRIVER");
    }
    setenv("TMPDIR", dir.path().c_str(), 1);
    g_runtime.screen_width = 200;
    g_runtime.screen_height = 200;
    start_runtime(nullptr, 10, "Clock");
    if (g_runtime.device && g_runtime.window_handle) print_stdout("window\n");
    for (int frame = 0; frame < 3; ++frame) show_screen();
    print_stdout("frames\n");
    end_program();
  });
}

TEST(StartupWithoutDisplay, EndsAtTheFirstFrameWithAClearLine) {
  for (const char* display : {static_cast<const char*>(nullptr), ":987"}) {
    ChildResult result = start_without_display(display, nullptr);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "exit\n");
    std::string line = std::string("Quarnel: the window and its OpenGL context could not be created (no display: ") +
                       (display ? "cannot open the X display :987" : "DISPLAY is not set");
    EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
  }
}

// Asked for by name, SDL's offscreen driver gives a window and context without a display.
TEST(StartupWithoutDisplay, TheOffscreenDriverServesWhenNamed) {
  ChildResult result = start_without_display(nullptr, "offscreen");
  EXPECT_EQ(result.out, "window\nframes\nexit\n") << result.err;
  EXPECT_EQ(result.exit_code, 0) << result.err;
}

}  // namespace
}  // namespace qrn::test
