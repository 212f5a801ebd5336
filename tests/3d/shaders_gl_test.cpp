// Shader programs on a real GL context: compiling and linking per stage with the reports in
// their order, selection and switching off, uniforms by name, and pixels drawn through them.
#include <string>

#include "3d/gl_3d_fixture.h"

namespace qrn::test {
namespace {

using ShadersGl = Gl3dTest;

GLint attached_objects(uint32_t program) {
  GLint count = -1;
  gl_extensions().glGetObjectParameterivARB(program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &count);
  return count;
}

GLint program_in_use() {
  GLint program = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return program;
}

TEST_F(ShadersGl, AFragmentOnlyProgramPaintsWhatIsDrawnAfterItIsSelected) {
  ASSERT_TRUE(load_shader(0, "", source("red.frag", kRedFragment)));
  const ShaderSlot& slot = engine->shader_slots[0];
  EXPECT_NE(slot.program, 0u);
  EXPECT_EQ(slot.vertex_shader, 0u);
  EXPECT_NE(slot.fragment_shader, 0u);
  EXPECT_EQ(attached_objects(slot.program), 1);
  EXPECT_EQ(debugger_.take(), "");

  draw_rect(10, 10, 20, 20, GREEN);  // queued before the selection: drawn without the shader
  use_shader(0);
  EXPECT_EQ(engine->current_shader, 0);
  EXPECT_EQ(program_in_use(), static_cast<GLint>(slot.program));
  draw_rect(40, 10, 20, 20, GREEN);
  EXPECT_EQ(raw_pixel(20, 20), GREEN);
  EXPECT_EQ(raw_pixel(50, 20), RED);

  use_shader(-1);
  draw_rect(70, 10, 20, 20, GREEN);
  EXPECT_EQ(raw_pixel(80, 20), GREEN);
}

TEST_F(ShadersGl, ManySpritesQueuedUnderTheProgramsShaderAreDrawnByIt) {
  // Enough sprites for the queue to draw with programs of its own where it may: not here.
  make_sprite(1, 8, 8, [](int32_t, int32_t) { return OPAQUE | GREEN; });
  ASSERT_TRUE(load_shader(0, "", source("red.frag", kRedFragment)));
  use_shader(0);
  for (int i = 0; i < 600; ++i) draw_sprite(1, i % 40 * 8, i / 40 * 8);
  flush_drawing();
  EXPECT_EQ(program_in_use(), static_cast<GLint>(engine->shader_slots[0].program));
  EXPECT_EQ(raw_pixel(4, 4), RED);
  EXPECT_EQ(raw_pixel(300, 100), RED);
  use_shader(-1);
  for (int i = 0; i < 600; ++i) draw_sprite(1, i % 40 * 8, i / 40 * 8);
  flush_drawing();
  EXPECT_EQ(gl_quad_programs_available(), driver_has_glsl_130());  // they leave no program bound
  EXPECT_EQ(program_in_use(), 0);
  EXPECT_EQ(raw_pixel(4, 4), GREEN);
  EXPECT_EQ(raw_pixel(300, 100), GREEN);
}

TEST_F(ShadersGl, EachStageReportsItsOutcomeAndAFailedStageFailsTheLink) {
  RtString bad_vertex = source("bad.vert", "void main() { this is not a shader; }\n");
  RtString good_fragment = source("red.frag", kRedFragment);
  EXPECT_FALSE(load_shader(1, bad_vertex, good_fragment));
  const std::string reports = debugger_.take();
  const size_t vertex_failed = reports.find("TXvertex shader failed\n");
  const size_t link_failed = reports.find("TXlink shader failed\n");
  ASSERT_NE(vertex_failed, std::string::npos) << reports;
  ASSERT_NE(link_failed, std::string::npos) << reports;
  EXPECT_LT(vertex_failed, link_failed);
  EXPECT_GT(vertex_failed, 2u) << "the compiler's log comes first";
  EXPECT_EQ(reports.rfind("TX", 0), 0u);
  EXPECT_EQ(reports.find("fragment shader failed"), std::string::npos);
  const ShaderSlot& slot = engine->shader_slots[1];
  EXPECT_NE(slot.vertex_shader, 0u);
  EXPECT_NE(slot.fragment_shader, 0u);
  EXPECT_NE(slot.program, 0u) << "the link was attempted";

  // A failing fragment stage after a good vertex stage: no link is attempted.
  RtString good_vertex = source("plain.vert", "void main() { gl_Position = ftransform(); }\n");
  RtString bad_fragment = source("bad.frag", "void main() { gl_FragColor = nothing; }\n");
  EXPECT_FALSE(load_shader(2, good_vertex, bad_fragment));
  const std::string second = debugger_.take();
  EXPECT_NE(second.find("TXfragment shader failed\n"), std::string::npos) << second;
  EXPECT_EQ(second.find("link shader failed"), std::string::npos) << second;
  EXPECT_EQ(engine->shader_slots[2].program, 0u);

  // Both stages good: linked, nothing reported.
  EXPECT_TRUE(load_shader(3, good_vertex, good_fragment));
  EXPECT_EQ(attached_objects(engine->shader_slots[3].program), 2);
  EXPECT_EQ(debugger_.take(), "");

  // Without debug mode the same failure is silent.
  g_runtime.debug_mode = 0;
  EXPECT_FALSE(load_shader(1, bad_vertex, good_fragment));
  EXPECT_EQ(debugger_.take(), "");
}

TEST_F(ShadersGl, MissingAndOversizedSourcesLeaveTheirStageOut) {
  RtString red = source("red.frag", kRedFragment);
  EXPECT_TRUE(load_shader(4, dir.file("missing.vert").c_str(), red));
  EXPECT_EQ(engine->shader_slots[4].vertex_shader, 0u);
  EXPECT_EQ(debugger_.take(), "");
  EXPECT_FALSE(load_shader(4, dir.file("missing.vert").c_str(), ""));
  EXPECT_FALSE(load_shader(4, "", ""));

  // A source of exactly the limit compiles; one byte more is left out like a missing file.
  std::string padded = kRedFragment;
  padded.resize(MAX_SHADER_SOURCE_BYTES, ' ');
  EXPECT_TRUE(load_shader(5, "", memory_file_name(padded.data(), static_cast<uint32_t>(padded.size()))));
  padded.push_back(' ');
  EXPECT_FALSE(load_shader(5, "", memory_file_name(padded.data(), static_cast<uint32_t>(padded.size()))));
  EXPECT_EQ(engine->shader_slots[5].fragment_shader, 0u);
  EXPECT_EQ(debugger_.take(), "");
}

TEST_F(ShadersGl, ReloadingASlotDeletesItsOldObjects) {
  RtString red = source("red.frag", kRedFragment);
  ASSERT_TRUE(load_shader(6, "", red));
  const uint32_t old_program = engine->shader_slots[6].program;
  const uint32_t old_fragment = engine->shader_slots[6].fragment_shader;
  ASSERT_TRUE(load_shader(6, "", red));
  while (glGetError() != GL_NO_ERROR) {
  }
  GLint status = 0;
  for (uint32_t old : {old_program, old_fragment}) {
    if (old == engine->shader_slots[6].program || old == engine->shader_slots[6].fragment_shader) continue;
    gl_extensions().glGetObjectParameterivARB(old, GL_OBJECT_DELETE_STATUS_ARB, &status);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_VALUE)) << "object " << old << " still exists";
  }
}

TEST_F(ShadersGl, IndexesOutsideTheTableSwitchShadersOffAndTheFrameResetsThem) {
  ASSERT_TRUE(load_shader(0, "", source("red.frag", kRedFragment)));
  EXPECT_FALSE(load_shader(255, "", source("red.frag", kRedFragment)));
  EXPECT_FALSE(load_shader(-1, "", source("red.frag", kRedFragment)));
  for (int32_t off : {-5, 300, 255}) {
    use_shader(0);
    ASSERT_EQ(engine->current_shader, 0);
    use_shader(off);
    EXPECT_EQ(engine->current_shader, -1) << off;
    EXPECT_EQ(program_in_use(), 0) << off;
  }
  // A slot never loaded: selected, drawing through the fixed pipeline.
  use_shader(200);
  EXPECT_EQ(engine->current_shader, 200);
  EXPECT_EQ(program_in_use(), 0);

  use_shader(0);
  reset_draw_state();
  EXPECT_EQ(engine->current_shader, -1);
  use_shader(0);
  show_screen();
  EXPECT_EQ(engine->current_shader, -1);
  EXPECT_EQ(program_in_use(), 0);
}

TEST_F(ShadersGl, UniformsAreSetByNameAndMisspelledNamesReported) {
  ASSERT_TRUE(load_shader(7, "", source("level.frag", kLevelFragment)));
  use_shader(7);
  set_shader_float("level", 0.5);
  draw_rect(10, 10, 10, 10, WHITE);
  const uint32_t half = raw_pixel(15, 15);
  EXPECT_NEAR(static_cast<int>(half & 0xFF), 128, 2);

  set_shader_float("levle", 1.0);
  EXPECT_EQ(debugger_.take(), "TXundefined uniform:\nTXlevle\n");
  draw_rect(30, 10, 10, 10, WHITE);
  EXPECT_EQ(raw_pixel(35, 15), half) << "nothing was set";

  // The integer form never reports.
  set_shader_int("levle", 1);
  EXPECT_EQ(debugger_.take(), "");
  // Without a selected program nothing is looked up or reported.
  use_shader(-1);
  set_shader_float("levle", 1.0);
  EXPECT_EQ(debugger_.take(), "");
}

}  // namespace
}  // namespace qrn::test
