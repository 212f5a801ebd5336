// A real window and GL context with the 2D device and the 3D engine set up as start-up does,
// the extension table loaded, and the debugger channel captured (the rest of the platform is
// the real one).
#pragma once

#include <GL/gl.h>

#include <string>

#include "gfx/gl_fixture.h"
#include "host/gl_extensions.h"
#include "platform/process.h"

namespace qrn::test {

// The real process service with an attached debugger whose output is kept.
class DebuggerCapture : public ProcessService {
 public:
  bool debugger_attached() override { return true; }
  void debugger_output(const char* text) override { text_ += text ? text : ""; }
  std::string take() {
    std::string out;
    out.swap(text_);
    return out;
  }

 private:
  std::string text_;
};

class Gl3dTest : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    if (HasFatalFailure()) return;
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    ASSERT_NE(extensions, nullptr) << "no current GL context";
    load_gl_extensions(reinterpret_cast<const char*>(extensions));
    engine = new Zodidoze3D(device);
    g_runtime.engine_3d = engine;
    g_runtime.debug_mode = 1;
  }

  void TearDown() override {
    use_shader(-1);
    GfxGlTest::TearDown();  // the engine goes first, while the device and its context live
  }

  // Writes text to a file of the test's folder and returns its path.
  RtString source(const std::string& name, const std::string& text) {
    write_file(dir.file(name), text);
    return dir.file(name).c_str();
  }

  DebuggerCapture debugger_;
  ServiceScope<ProcessService> debugger_scope_{&debugger_};
  Zodidoze3D* engine = nullptr;
};

// Fragment shaders used by several tests.
constexpr const char* kRedFragment = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";
constexpr const char* kLevelFragment =
    "uniform float level;\nvoid main() { gl_FragColor = vec4(level, 0.0, 0.0, 1.0); }\n";

}  // namespace qrn::test
