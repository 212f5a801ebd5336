// Shader commands without a GL context: refused indexes, the once-per-process missing-support
// report (in a fresh child process), and the report channel's debug-mode rule.
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime.h"
#include "3d/engine_3d.h"
#include "3d/shaders.h"
#include "core/runtime_state.h"
#include "platform/fake_platform.h"
#include "support/child_process.h"

namespace qrn::test {
namespace {

TEST(ShadersWithoutGl, SupportIsReportedMissingOncePerProcessAndBadIndexesNotAtAll) {
  ChildResult child = run_in_child([] {
    FakePlatformScope fake;
    fake->debugger = true;
    reset_runtime_state();
    g_runtime.debug_mode = 1;
    Zodidoze3D engine(nullptr);
    g_runtime.engine_3d = &engine;
    bool any = load_shader(255, "v.glsl", "f.glsl") || load_shader(-1, "v.glsl", "f.glsl");
    std::string before = fake->debugger_text;
    any = any || load_shader(0, "v.glsl", "f.glsl") || load_shader(254, "", "f.glsl");
    use_shader(3);
    set_shader_float("x", 1.0);
    std::printf("%d|%s|%s|%d", any ? 1 : 0, before.c_str(), fake->debugger_text.c_str(), engine.current_shader);
    std::fflush(stdout);
    g_runtime.engine_3d = nullptr;
  });
  ASSERT_TRUE(child.exited) << child.err;
  EXPECT_EQ(child.out, "0||TXNo OpenGL 2.0 Shader Support\n|-1");
}

TEST(ShadersWithoutGl, ReportsReachTheDebuggerOnlyInDebugMode) {
  FakePlatformScope fake;
  fake->debugger = true;
  reset_runtime_state();
  shader_report("quiet");
  EXPECT_EQ(fake->debugger_text, "");
  g_runtime.debug_mode = 1;
  shader_report("heard");
  EXPECT_EQ(fake->debugger_text, "TXheard\n");
  reset_runtime_state();
}

}  // namespace
}  // namespace qrn::test
