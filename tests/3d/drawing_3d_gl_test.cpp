// Drawing loaded objects on a real GL context: colours, light, depth, scene textures and the
// texture-unit uniforms of a selected shader, and the 2D drawing state left as it was.
#include <string>

#include "3d/gl_3d_fixture.h"

namespace qrn::test {
namespace {

// A square of side 2 centred on the origin in the z = 0 plane, facing +z, with texture
// coordinates over the whole image (v as stored: the loader negates it).
std::string square(int red, int green, int blue) {
  return "DDDA 1.0\n4 0 0 1 0 1 -1 0 -1\n1 " + std::to_string(red) + " " + std::to_string(green) + " " +
         std::to_string(blue) +
         " 4 0 0 1 1 2 2 3 3\n"
         "1 4 -1 -1 0 1 -1 0 1 1 0 -1 1 0\n";
}

class Drawing3dGl : public Gl3dTest {
 protected:
  void SetUp() override {
    Gl3dTest::SetUp();
    if (HasFatalFailure()) return;
    set_light(0, 0, 0, 0);  // unlit: colours exactly as stored
  }
  // Loads a text mesh into an object slot from a file of the test's folder.
  void load(int32_t object, const std::string& name, const std::string& text) {
    write_file(dir.file(name), text);
    load_object(dir.file(name).c_str(), object);
    ASSERT_EQ(object_loaded(object), 1) << name;
  }
  static constexpr int32_t CX = W / 2, CY = H / 2;
};

TEST_F(Drawing3dGl, AnObjectIsDrawnInItsColoursWhereTheCameraSeesIt) {
  load(0, "red.ddd", square(255, 0, 0));
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), RED);
  EXPECT_EQ(raw_pixel(2, 2), BLACK);
  // Camera at distance 5 with 60 degrees: one unit is H / 2 / (5 tan 30) pixels.
  const int unit = static_cast<int>(H / 2 / (5 * 0.57735));
  EXPECT_EQ(raw_pixel(CX + unit - 3, CY), RED);
  EXPECT_EQ(raw_pixel(CX + unit + 3, CY), BLACK);

  // Moved to the right, turned away edge-on: nothing where it was.
  set_background_colour(0);
  draw_object(0, 0, 0, 0, 0, 0, 90, 0, 1);
  EXPECT_EQ(raw_pixel(CX + unit / 2, CY), BLACK);
  draw_object(0, 0, 2, 0, 0, 0, 0, 0, 0.5);
  EXPECT_EQ(raw_pixel(CX + 2 * unit, CY), RED);
  EXPECT_EQ(raw_pixel(CX, CY), BLACK);

  // Every frame has its own positions: frame 1 of a two-frame mesh stands further right.
  set_background_colour(0);
  load(2, "frames.ddd",
       "DDDA 1.0 0 1 255 0 0 3 0 0 1 0 2 0\n2\n3 -1 -1 0 1 -1 0 0 1 0\n3 1 -1 0 3 -1 0 2 1 0\n");
  draw_object(2, 1, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX + 2 * unit, CY + unit / 2), RED);
  EXPECT_EQ(raw_pixel(CX, CY + unit / 2), BLACK);
  draw_object(2, 2, 0, 0, 0, 0, 0, 0, 1);  // wraps to frame 0
  EXPECT_EQ(raw_pixel(CX, CY + unit / 2), RED);

  // Empty slots and numbers out of range draw nothing.
  set_background_colour(0);
  draw_object(9, 0, 0, 0, 0, 0, 0, 0, 1);
  draw_object(-1, 0, 0, 0, 0, 0, 0, 0, 1);
  draw_object(OBJECT_SLOT_COUNT, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), BLACK);
}

TEST_F(Drawing3dGl, LightShadesAndNearerTrianglesHideFartherOnes) {
  load(0, "white.ddd", square(255, 255, 255));
  set_light(0, 0, 1, 0.25);
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), WHITE) << "light straight on: full colour";
  set_light(1, 0, 1, 0.25);  // 45 degrees: 0.25 + 0.75 * 0.707
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_NEAR(static_cast<int>(raw_pixel(CX, CY) & 0xFF), static_cast<int>(255 * (0.25 + 0.75 * 0.7071)), 3);

  set_light(0, 0, 0, 0);
  set_background_colour(0);
  load(1, "blue.ddd", square(0, 0, 255));
  draw_object(1, 0, 0, 0, 1, 0, 0, 0, 0.5);  // nearer, drawn first
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), BLUE);

  // A new frame starts from a clear depth buffer: the farther square is seen again.
  reset_draw_state();
  set_background_colour(0);
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), WHITE);
}

TEST_F(Drawing3dGl, SceneTexturesAreMappedOntoTheirMeshes) {
  write_image("left.png", 16, 16, [](int32_t x, int32_t) { return OPAQUE | (x < 8 ? GREEN : BLUE); });
  write_image("blue.png", 16, 16, [](int32_t, int32_t) { return OPAQUE | BLUE; });
  write_file(dir.file("square.ddd"), square(255, 255, 255));
  write_file(dir.file("scene.ddw"),
             ";DDW\n[textures]\ncount=2\n1=left.png\n2=blue.png\n[objects]\ncount=1\n1=square.ddd\n1ta=1\n1tb=2\n");
  load_object(dir.file("scene.ddw").c_str(), 4);
  ASSERT_EQ(object_loaded(4), 1);
  ASSERT_EQ(engine->object_slot(4)->textures.size(), 2u);
  EXPECT_NE(engine->object_slot(4)->textures[0], 0u);
  draw_object(4, 0, 0, 0, 0, 0, 0, 0, 1);
  const int unit = static_cast<int>(H / 2 / (5 * 0.57735));
  EXPECT_EQ(raw_pixel(CX - unit / 2, CY), GREEN) << "the image's left half on the square's left";
  EXPECT_EQ(raw_pixel(CX + unit / 2, CY), BLUE);

  // With a shader selected the engine names the units: TextureID2 samples the second texture.
  RtString vertex = source("pass.vert",
                           "void main() { gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;"
                           " gl_Position = ftransform(); }\n");
  RtString fragment = source("second.frag",
                             "uniform sampler2D TextureID1; uniform sampler2D TextureID2;\n"
                             "void main() { gl_FragColor = texture2D(TextureID2, gl_TexCoord[0].st)"
                             " + 0.0 * texture2D(TextureID1, gl_TexCoord[0].st); }\n");
  ASSERT_TRUE(load_shader(8, vertex, fragment)) << debugger_.take();
  use_shader(8);
  set_background_colour(0);
  draw_object(4, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX - unit / 2, CY), BLUE);
  EXPECT_EQ(debugger_.take(), "") << "the unit uniforms are set without reports";
}

TEST_F(Drawing3dGl, ASelectedShaderPaintsTheObjectAndTwoDDrawingIsUnchangedAfterwards) {
  load(0, "green.ddd", square(0, 255, 0));
  ASSERT_TRUE(load_shader(0, "", source("red.frag", kRedFragment)));
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), GREEN);
  use_shader(0);
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(raw_pixel(CX, CY), RED);
  use_shader(-1);

  // 2D drawing after a 3D draw lands where it would have without it, in its own colour.
  draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  draw_rect(5, 6, 4, 3, BLUE);
  EXPECT_EQ(raw_pixel(5, 6), BLUE);
  EXPECT_EQ(raw_pixel(8, 8), BLUE);
  EXPECT_EQ(raw_pixel(9, 8), BLACK);
  EXPECT_EQ(raw_pixel(5, 9), BLACK);
  make_sprite(1, 2, 2, [](int32_t, int32_t) { return OPAQUE | WHITE; });
  draw_sprite(1, 20, 20);
  EXPECT_EQ(raw_pixel(21, 21), WHITE);
}

}  // namespace
}  // namespace qrn::test
