// The mesh viewer as a user runs it: a picture of a generated mesh, checked pixel by pixel,
// and its answers to files it cannot load and to wrong arguments.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "gfx/image_codecs.h"
#include "support/temp_dir.h"

namespace qrn::test {
namespace {

#ifdef QRN_MESH_VIEW

// Runs the viewer with the arguments; its exit code (-1 when it did not exit normally,
// 124 when it was still running after 90 seconds).
int run_viewer(const std::string& arguments, const std::string& error_file) {
  const std::string command =
      "timeout -k 5 90 " + std::string(QRN_MESH_VIEW) + " " + arguments + " >/dev/null 2>" + error_file;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MeshViewGl, WritesAPictureOfAGeneratedMesh) {
  TempDir dir;
  // A red square facing the camera, with normals.
  write_file(dir.file("square.ddd"),
             "DDDA 1.1 0\n1 255 0 0 4 0 0 1 0 2 0 3 0\n1 4\n"
             "-1 -1 0 0 0 1\n1 -1 0 0 0 1\n1 1 0 0 0 1\n-1 1 0 0 0 1\n");
  const std::string picture = dir.file("square.png");
  ASSERT_EQ(run_viewer(dir.file("square.ddd") + " --png " + picture +
                           " --size 64x48 --turn 0 --tilt 0 --background 000000",
                       dir.file("err.txt")),
            0)
      << read_file(dir.file("err.txt"));
  Image image;
  ASSERT_TRUE(decode_png(image, picture.c_str(), -1));
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 48);
  const uint8_t* centre = image.at(32, 24);
  EXPECT_GT(centre[0], 150) << "lit red";
  EXPECT_LT(centre[1], 20);
  EXPECT_LT(centre[2], 20);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{63, 0}, std::pair{0, 47}, std::pair{63, 47}}) {
    const uint8_t* p = image.at(x, y);
    EXPECT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y << " is background";
  }
  // The square is seen whole and centred: its left and right edges are equally far in.
  int left = 0, right = 63;
  while (left < 64 && image.at(left, 24)[0] < 100) ++left;
  while (right >= 0 && image.at(right, 24)[0] < 100) --right;
  EXPECT_GT(left, 4);
  EXPECT_NEAR(left, 63 - right, 1);
}

TEST(MeshViewGl, ExplainsWhatItCannotDo) {
  TempDir dir;
  const std::string errors = dir.file("err.txt");
  EXPECT_EQ(run_viewer(dir.file("missing.ddd") + " --png " + dir.file("out.png"), errors), 1);
  EXPECT_NE(read_file(errors).find("could not be loaded"), std::string::npos) << read_file(errors);
  EXPECT_EQ(read_file(dir.file("out.png")), "");

  write_file(dir.file("red.frag"), "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0) }\n");
  write_file(dir.file("square.ddd"), "DDDA 1.0 0 1 9 9 9 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0\n");
  EXPECT_EQ(run_viewer(dir.file("square.ddd") + " --shader \"\" " + dir.file("red.frag") + " --png " +
                           dir.file("out.png"),
                       errors),
            1);
  EXPECT_NE(read_file(errors).find("shader"), std::string::npos) << read_file(errors);

  EXPECT_EQ(run_viewer("", errors), 2);
  EXPECT_NE(read_file(errors).find("usage: mesh_view FILE"), std::string::npos);
  EXPECT_EQ(run_viewer(dir.file("square.ddd") + " --size 10x10", errors), 2);
  EXPECT_EQ(run_viewer(dir.file("square.ddd") + " --frobnicate", errors), 2);
}

#endif

}  // namespace
}  // namespace qrn::test
