// The mesh readers on plain bytes: both binary layouts and the text form, the debug-log lines,
// the triangle rules, the colour table, and hostile files that must be refused cleanly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>

#include "runtime.h"
#include "3d/mesh.h"
#include "3d/mesh_files.h"
#include "core/errors.h"
#include "core/runtime_state.h"
#include "platform/fake_platform.h"
#include "support/temp_dir.h"

namespace qrn::test {
namespace {

constexpr uint32_t RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000;

class MeshLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime_state();
    fake->temp_dir = dir.path();
  }
  std::string log() { return read_file(dir.file("ErrorLog.txt")); }

  // Loads bytes under their memory-file name; the name is kept for the log checks.
  bool load(const Bytes& bytes) {
    name = std::string(memory_name(bytes).data);
    return load_ddd(mesh, name.c_str());
  }
  bool load(const std::string& text) {
    name = std::string(memory_name(text).data);
    return load_ddd(mesh, name.c_str());
  }
  // The log of a refused file: the reason line, then the name.
  std::string refused() { return "# read error\n" + name + "\n"; }

  FakePlatformScope fake;
  TempDir dir;
  MeshObjectX mesh;
  std::string name;
};

// The position of triangle corner i of frame 0, as a tuple for comparisons.
std::tuple<float, float, float> corner(const MeshObject& mesh, size_t i) {
  const float* p = mesh.frames[0].triangles.at(i).position;
  return {p[0], p[1], p[2]};
}

// ---- Binary form ------------------------------------------------------------------------------

TEST_F(MeshLoader, QuantisedVerticesAreOffsetAndScaledAndNegateV) {
  ByteWriter w = binary_header(1.02, 1, {RED, 0x00336699}, {0.25f, 0.75f, 0.5f, -0.125f});
  w.i32(2).f32(0).f32(0).f32(0).f32(0.5f).f32(0.5f).f32(0.5f);
  w.u8(10).u8(20).u8(255).u8(5).u8(1);
  w.u8(4).u8(2).u8(0).u8(161).u8(0);
  ASSERT_TRUE(load(w.bytes));
  ASSERT_EQ(mesh.frames.size(), 1u);
  const MeshVertex& a = mesh.frames[0].vertices.at(0);
  EXPECT_EQ(a.position[0], 5.0f);
  EXPECT_EQ(a.position[1], 10.0f);
  EXPECT_EQ(a.position[2], 127.5f);
  EXPECT_EQ(a.normal[2], 1.0f);  // entry 5 is (0, 0, 1)
  EXPECT_EQ(a.u, 0.25f);
  EXPECT_EQ(a.v, -0.75f);
  EXPECT_EQ(a.colour, 0x00336699u);
  EXPECT_EQ(a.colour_index, 1);
  EXPECT_FLOAT_EQ(a.rgba[0], 0x99 / 255.0f);
  EXPECT_FLOAT_EQ(a.rgba[1], 0x66 / 255.0f);
  EXPECT_FLOAT_EQ(a.rgba[2], 0x33 / 255.0f);
  EXPECT_EQ(a.rgba[3], 1.0f);
  const MeshVertex& b = mesh.frames[0].vertices.at(1);
  EXPECT_EQ(b.v, 0.125f);
  EXPECT_FLOAT_EQ(b.normal[0], -0.688191f);
  EXPECT_EQ(mesh.colours, (std::vector<uint32_t>{RED, 0x00336699}));

  // A non-zero offset is taken away before scaling.
  ByteWriter shifted = binary_header(1.5, 1, {RED}, {0, 0});
  shifted.i32(1).f32(10).f32(20).f32(-1).f32(2).f32(0.25f).f32(1);
  shifted.u8(12).u8(24).u8(0).u8(0).u8(0);
  ASSERT_TRUE(load(shifted.bytes));
  const float* p = mesh.frames[0].vertices.at(0).position;
  EXPECT_EQ(std::make_tuple(p[0], p[1], p[2]), std::make_tuple(4.0f, 1.0f, 1.0f));
}

TEST_F(MeshLoader, FloatFramesKeepVAndEveryFrameStatesItsOwnCount) {
  ByteWriter w = binary_header(2.0, 2, {GREEN}, {0.5f, 0.25f, 1.0f, 2.0f, 3.0f, 4.0f});
  w.i32(3);
  w.f32(1.5f).f32(-2).f32(3).u8(0).u8(0);
  w.f32(0).f32(1).f32(0).u8(1).u8(0);
  w.f32(1).f32(0).f32(0).u8(2).u8(0);
  w.i32(1).f32(9).f32(8).f32(7).u8(3).u8(0);
  ASSERT_TRUE(load(w.bytes));
  ASSERT_EQ(mesh.frames.size(), 2u);
  const MeshVertex& a = mesh.frames[0].vertices.at(0);
  EXPECT_EQ(a.position[0], 1.5f);
  EXPECT_EQ(a.position[1], -2.0f);
  EXPECT_EQ(a.u, 0.5f);
  EXPECT_EQ(a.v, 0.25f);
  EXPECT_EQ(mesh.frames[1].vertices.size(), 1u);
  EXPECT_EQ(mesh.frames[1].vertices[0].position[0], 9.0f);
  EXPECT_EQ(mesh.frames[1].vertices[0].u, 0.5f) << "pairs are shared by position across frames";
}

TEST_F(MeshLoader, VersionsOutsideTheRangeAreRefusedWithTheTwoDecimalMessage) {
  for (double version : {1.02, 2.0}) {
    Bytes ok = binary_header(version, 1, {RED}, {0, 0}).bytes;
    if (version < 2.0) {
      ByteWriter w{ok};
      w.i32(1).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1).u8(1).u8(1).u8(1).u8(0).u8(0);
      ok = w.bytes;
    } else {
      ByteWriter w{ok};
      w.i32(1).f32(1).f32(1).f32(1).u8(0).u8(0);
      ok = w.bytes;
    }
    EXPECT_TRUE(load(ok)) << version;
  }
  EXPECT_EQ(log(), "");
  for (double version : {2.01, 1.01, 2.5}) {
    std::remove(dir.file("ErrorLog.txt").c_str());
    ByteWriter w = binary_header(version, 1, {RED}, {0, 0});
    w.i32(0);
    EXPECT_FALSE(load(w.bytes));
    char expected[96];
    std::snprintf(expected, sizeof expected, "Wrong .ddd version: %.2f. Can use 1.02-2.00\n", version);
    EXPECT_EQ(log(), expected + refused());
    EXPECT_TRUE(mesh.frames.empty());
  }
  // Not even a number: refused as well.
  std::remove(dir.file("ErrorLog.txt").c_str());
  EXPECT_FALSE(load(binary_header(std::nan(""), 0, {}, {}).bytes));
  EXPECT_NE(log().find("Wrong .ddd version: "), std::string::npos);
}

TEST_F(MeshLoader, BinaryFilesBreakingTheLimitsAreRefusedAndLeaveTheMeshEmpty) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  auto one_vertex = [](uint8_t normal, uint8_t colour, int32_t pairs) {
    ByteWriter w = binary_header(2.0, 1, {RED, GREEN}, std::vector<float>(static_cast<size_t>(pairs) * 2, 0.0f));
    w.i32(1).f32(0).f32(0).f32(0).u8(normal).u8(colour);
    return w.bytes;
  };
  ASSERT_TRUE(load(one_vertex(161, 1, 1)));  // the highest normal, the last colour
  std::vector<Case> cases = {
      {"normal index 162", one_vertex(162, 0, 1)},
      {"colour index at the colour count", one_vertex(0, 2, 1)},
      {"fewer pairs than vertices", one_vertex(0, 0, 0)},
  };
  {
    ByteWriter w;
    w.u32(DDD_MAGIC).f64(2.0).i32(-1).i32(0).i32(0);
    cases.push_back({"negative frame count", w.bytes});
  }
  {
    ByteWriter w;
    w.u32(DDD_MAGIC).f64(2.0).i32(1).i32(-4).i32(0);
    cases.push_back({"negative colour count", w.bytes});
  }
  {
    ByteWriter w;
    w.u32(DDD_MAGIC).f64(2.0).i32(1).i32(1).i32(0x7FFFFFFF).u32(RED);
    cases.push_back({"pairs beyond the file", w.bytes});
  }
  {
    ByteWriter w = binary_header(2.0, 1000000, {RED}, {0, 0});
    cases.push_back({"frames beyond the file", w.bytes});
  }
  {
    ByteWriter w = binary_header(2.0, 1, {RED}, {0, 0});
    w.i32(-1);
    cases.push_back({"negative vertex count", w.bytes});
  }
  {
    ByteWriter w = binary_header(2.0, 1, {RED}, {0, 0, 0, 0});
    w.i32(2).f32(0).f32(0).f32(0).u8(0).u8(0).f32(0);
    cases.push_back({"a vertex cut short", w.bytes});
  }
  {
    ByteWriter w = binary_header(1.5, 1, {RED}, {0, 0});
    w.i32(1).f32(0).f32(0).f32(0).f32(1);
    cases.push_back({"a frame header cut short", w.bytes});
  }
  cases.push_back({"three bytes", {0x17, 0xB3, 0xC6}});
  cases.push_back({"empty", {}});
  for (const Case& c : cases) {
    std::remove(dir.file("ErrorLog.txt").c_str());
    EXPECT_FALSE(load(c.bytes)) << c.what;
    EXPECT_TRUE(mesh.frames.empty() && mesh.colours.empty()) << c.what;
    EXPECT_EQ(log(), refused()) << c.what;
  }
}

TEST_F(MeshLoader, ColourTablesFramesAndVerticesAreLimited) {
  // 256 distinct colours are allowed, 257 are not (repeats do not count).
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 256; ++i) colours.push_back(i);
  Bytes at_limit = float_mesh(colours, {{0, 0, 0, 0, 255}});
  EXPECT_TRUE(load(at_limit));
  colours.push_back(7);
  EXPECT_TRUE(load(float_mesh(colours, {{0, 0, 0, 0, 0}})));
  colours.push_back(256);
  EXPECT_FALSE(load(float_mesh(colours, {{0, 0, 0, 0, 0}})));

  // 65536 frames, not 65537.
  for (int32_t frames : {65536, 65537}) {
    ByteWriter w = binary_header(2.0, frames, {RED}, {0, 0});
    for (int32_t f = 0; f < frames; ++f) w.i32(0);
    EXPECT_EQ(load(w.bytes), frames == 65536) << frames;
    std::string text = "DDDA 1.0 0 0 " + std::to_string(frames);
    for (int32_t f = 0; f < frames; ++f) text += " 0";
    EXPECT_EQ(load(text), frames == 65536) << "text " << frames;
  }

  // The vertex budget: all frames together.
  for (uint32_t budget : {6u, 5u}) {
    ByteWriter w = binary_header(2.0, 2, {RED}, std::vector<float>(6, 0.0f));
    for (int32_t count : {3, 3}) {
      w.i32(count);
      for (int32_t i = 0; i < count; ++i) w.f32(0).f32(0).f32(0).u8(0).u8(0);
    }
    EXPECT_EQ(read_ddd_bytes(mesh, w.bytes.data(), w.bytes.size(), budget) == DddRead::ok, budget == 6) << budget;
  }
}

TEST_F(MeshLoader, TheVertexLimitHoldsForAMillionVertices) {
  for (uint32_t count : {MAX_MESH_VERTICES, MAX_MESH_VERTICES + 1}) {
    ByteWriter w = binary_header(1.5, 1, {RED}, std::vector<float>(static_cast<size_t>(count) * 2, 0.0f));
    w.i32(static_cast<int32_t>(count)).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1);
    w.bytes.resize(w.bytes.size() + static_cast<size_t>(count) * 5, 0);
    EXPECT_EQ(load(w.bytes), count == MAX_MESH_VERTICES) << count;
  }
  mesh.clear();
  // A file claiming more bytes than the reader accepts is refused before it is read.
  uint8_t small[8] = {};
  RtString huge = memory_file_name(small, static_cast<uint32_t>(MAX_MESH_FILE_BYTES + 1));
  EXPECT_FALSE(load_ddd(mesh, huge));
}

// ---- Text form --------------------------------------------------------------------------------

TEST_F(MeshLoader, TextVersionOneHasNoNormalsAndOnePointOneHasThem) {
  const std::string v10 =
      "DDDA 1.0\n"
      "2  0.25 0.5  1 1\n"             // two pairs
      "1  255 128 0  3  0 0  1 1  2 0\n"  // one triangle
      "1  3  1 2 3  4 5 6  7 8 9\n";    // one frame of three vertices
  ASSERT_TRUE(load(v10));
  ASSERT_EQ(mesh.frames.size(), 1u);
  const std::vector<MeshVertex>& stream = mesh.frames[0].vertices;
  ASSERT_EQ(stream.size(), 4u);
  EXPECT_EQ(stream[0].colour, PRIM_FAN);
  EXPECT_EQ(stream[0].rgba[0], 1.0f);
  EXPECT_EQ(stream[0].position[0], 0.0f);
  EXPECT_EQ(stream[1].position[2], 3.0f);
  EXPECT_EQ(stream[2].position[0], 4.0f);
  EXPECT_EQ(stream[1].normal[0], 0.0f);
  EXPECT_EQ(stream[1].colour, 0x000080FFu);
  EXPECT_EQ(stream[1].u, 0.25f);
  EXPECT_EQ(stream[1].v, -0.5f);
  EXPECT_EQ(stream[2].v, -1.0f);
  EXPECT_EQ(mesh.colours, (std::vector<uint32_t>{PRIM_FAN, 0x000080FFu}));
  EXPECT_EQ(stream[1].colour_index, 1);

  const std::string v11 =
      "DDDA 1.1 0\n"
      "1 0 0 255 3 0 0 1 0 2 0\n"
      "1 3\n"
      "1 2 3 0 0 1\n"
      "4 5 6 0 1 0\n"
      "7 8 9 1 0 0\n";
  ASSERT_TRUE(load(v11));
  const std::vector<MeshVertex>& lit = mesh.frames[0].vertices;
  ASSERT_EQ(lit.size(), 4u);
  EXPECT_EQ(lit[1].normal[2], 1.0f);
  EXPECT_EQ(lit[2].position[0], 4.0f) << "six numbers per vertex";
  EXPECT_EQ(lit[3].normal[0], 1.0f);
  EXPECT_EQ(lit[1].u, 0.0f) << "no pairs: u and v are 0";
  EXPECT_EQ(lit[1].v, 0.0f);

  EXPECT_FALSE(load(std::string("DDDA 1.2 0 0 0")));
  EXPECT_FALSE(load(std::string("DDDAX 1.0 0 0 0")));
  EXPECT_FALSE(load(std::string("dddA 1.0 0 0 0")));
  EXPECT_TRUE(load(std::string("DDDA 1.100000001 0 0 0"))) << "compared as floats";
}

TEST_F(MeshLoader, TextPolygonsBecomeFansAndFramesShareThem) {
  const std::string quad =
      "DDDA 1.0 0\n"
      "2 10 20 30 4 0 0 1 0 2 0 3 0\n"
      "  40 50 60 3 3 0 2 0 1 0\n"
      "2\n"
      "4 0 0 0 1 0 0 1 1 0 0 1 0\n"
      "4 0 0 5 1 0 5 1 1 5 0 1 5\n";
  ASSERT_TRUE(load(quad));
  ASSERT_EQ(mesh.frames.size(), 2u);
  mesh.build_triangles();
  for (const MeshFrame& frame : mesh.frames) {
    EXPECT_EQ(frame.vertices.size(), 9u);  // marker + 4, marker + 3
    EXPECT_EQ(frame.triangles.size(), 9u) << "a fan of two triangles, then one";
  }
  EXPECT_EQ(corner(mesh, 0), std::make_tuple(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(corner(mesh, 2), std::make_tuple(1.0f, 1.0f, 0.0f));
  EXPECT_EQ(corner(mesh, 3), std::make_tuple(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(corner(mesh, 4), std::make_tuple(1.0f, 1.0f, 0.0f));
  EXPECT_EQ(corner(mesh, 5), std::make_tuple(0.0f, 1.0f, 0.0f));
  EXPECT_EQ(mesh.frames[1].triangles[0].position[2], 5.0f);
  EXPECT_EQ(mesh.frames[0].triangles[6].colour, 0x003C3228u);
}

TEST_F(MeshLoader, TextTokensCommentsAndMissingNumbers) {
  // Comments end tokens; numbers in C notation; missing tokens read as 0.
  const std::string text =
      "DDDA# the header\n"
      "1.0 # version\n"
      "1 5e-1 -.25\n"
      "1 1 2 3 3 0 0 0 0 0 0\n"
      "1 1 7.9 8 ";  // the last vertex lacks its z
  ASSERT_TRUE(load(text));
  const std::vector<MeshVertex>& stream = mesh.frames[0].vertices;
  ASSERT_EQ(stream.size(), 4u);
  EXPECT_EQ(stream[1].u, 0.5f);
  EXPECT_EQ(stream[1].v, 0.25f);
  EXPECT_EQ(stream[1].colour, 0x00030201u);
  EXPECT_EQ(stream[1].position[0], 7.9f);
  EXPECT_EQ(stream[1].position[2], 0.0f);

  // A comment skips at most 512 bytes (its "#" included); the rest of a longer line is read.
  auto with_comment = [](size_t length) {
    return "DDDA 1.0 #" + std::string(length - 1, 'x') + "\n0 0 1 1 0 0 0\n";
  };
  ASSERT_TRUE(load(with_comment(512)));
  EXPECT_EQ(mesh.frames.size(), 1u);
  // One byte more: the last "x" is a token (the pair count, 0) and shifts every count.
  ASSERT_TRUE(load(with_comment(513)));
  EXPECT_EQ(mesh.frames.size(), 0u);

  // Tokens of 1023 bytes are fine, 1024 are not.
  EXPECT_TRUE(load("DDDA " + std::string(1022, '0') + "1 0 0 0"));
  EXPECT_FALSE(load("DDDA " + std::string(1023, '0') + "1 0 0 0"));
  EXPECT_EQ(log(), refused());
}

TEST_F(MeshLoader, TextFilesBreakingTheLimitsAreRefused) {
  const std::pair<const char*, std::string> cases[] = {
      {"corner names a missing vertex", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 3 0 1 3 0 0 0 0 0 0 0 0 0"},
      {"corner names a missing pair", "DDDA 1.0 1 0 0 1 0 0 0 3 0 0 1 0 2 1 1 3 0 0 0 0 0 0 0 0 0"},
      {"negative vertex index", "DDDA 1.0 0 1 0 0 0 3 0 0 -1 0 2 0 1 3 0 0 0 0 0 0 0 0 0"},
      {"negative pair count", "DDDA 1.0 -1 0 0"},
      {"negative corner count", "DDDA 1.0 0 1 0 0 0 -3 0"},
      {"pairs beyond the file", "DDDA 1.0 1000000 0 0"},
      {"polygons beyond the file", "DDDA 1.0 0 1000000 0 0"},
      {"corners beyond the file", "DDDA 1.0 0 1 0 0 0 2000000000 0"},
      {"vertices beyond the file", "DDDA 1.0 0 0 1 99999999"},
      {"frames beyond the file", "DDDA 1.0 0 0 4000000000"},
      {"a count that is not a number", "DDDA 1.0 nan 0 0"},
      {"a version that is not a number", "DDDA nan 0 0 0"},
      {"no text at all", ""},
      {"only blanks", "  \r\n\t "},
  };
  for (const auto& [what, text] : cases) {
    std::remove(dir.file("ErrorLog.txt").c_str());
    EXPECT_FALSE(load(text)) << what;
    EXPECT_EQ(log(), refused()) << what;
    EXPECT_TRUE(mesh.frames.empty()) << what;
  }
  // A pair index is not checked when the file has no pairs at all.
  EXPECT_TRUE(load(std::string("DDDA 1.0 0 1 0 0 0 3 0 7 0 7 0 7 1 1 0 0 0")));
  // -0.5 truncates to index 0.
  EXPECT_TRUE(load(std::string("DDDA 1.0 0 1 0 0 0 3 -0.5 0 0 0 0 0 1 1 0 0 0")));
}

TEST_F(MeshLoader, TextMeshesHaveAtMost256ColoursMarkerIncluded) {
  auto polygons = [](int count) {
    std::string text = "DDDA 1.0 0 " + std::to_string(count) + "\n";
    for (int i = 0; i < count; ++i) text += std::to_string(i % 256) + " " + std::to_string(i / 256) + " 0 3 0 0 0 0 0 0\n";
    return text + "1 1 0 0 0\n";
  };
  EXPECT_TRUE(load(polygons(255)));
  EXPECT_EQ(mesh.colours.size(), 256u);
  EXPECT_FALSE(load(polygons(256)));
  EXPECT_EQ(log(), refused());
}

TEST_F(MeshLoader, TextStreamsCountAgainstTheVertexBudget) {
  // One polygon of 1023 corners (1024 stream entries) in 1024 frames fills the budget exactly.
  auto text = [](int frames) {
    std::string t = "DDDA 1.0 0 1 0 0 0 1023";
    for (int i = 0; i < 1023; ++i) t += " 0 0";
    t += " " + std::to_string(frames);
    for (int f = 0; f < frames; ++f) t += " 1 0 0 0";
    return t;
  };
  EXPECT_TRUE(load(text(1024)));
  EXPECT_EQ(mesh_vertex_count(mesh), MAX_MESH_VERTICES);
  EXPECT_FALSE(load(text(1025)));

  // A frame may list as many vertices as a mesh may hold, even unused ones; not one more.
  for (uint32_t count : {MAX_MESH_VERTICES, MAX_MESH_VERTICES + 1}) {
    std::string big = "DDDA 1.0 0 0 1 " + std::to_string(count);
    big.reserve(big.size() + static_cast<size_t>(count) * 6);
    for (uint32_t i = 0; i < count; ++i) big += " 0 0 0";
    EXPECT_EQ(load(big), count == MAX_MESH_VERTICES) << count;
  }
}

// ---- Triangles and colours ----------------------------------------------------------------------

// A mesh whose frame 0 stream has these colours, at x positions 0, 1, 2, ...
MeshObjectX stream_of(const std::vector<uint32_t>& colours) {
  MeshObjectX mesh;
  mesh.frames.emplace_back();
  for (size_t i = 0; i < colours.size(); ++i) {
    MeshVertex v;
    v.position[0] = static_cast<float>(i);
    set_vertex_colour(v, colours[i]);
    mesh.frames[0].vertices.push_back(v);
  }
  EXPECT_TRUE(build_colour_table(mesh));
  mesh.build_triangles();
  return mesh;
}

// The x positions of the triangle corners of frame 0.
std::vector<int> corners_of(const MeshObject& mesh) {
  std::vector<int> xs;
  for (const MeshVertex& v : mesh.frames[0].triangles) xs.push_back(static_cast<int>(v.position[0]));
  return xs;
}

TEST(MeshTriangles, ListsStripsAndFansFollowTheirMarkers) {
  const uint32_t c = RED;
  // Strip a b c d e f at 1..6: a b c, c b d, c d e, e d f.
  EXPECT_EQ(corners_of(stream_of({PRIM_STRIP, c, c, c, c, c, c})),
            (std::vector<int>{1, 2, 3, 3, 2, 4, 3, 4, 5, 5, 4, 6}));
  // List a..f at 1..6; the seventh vertex alone forms nothing.
  EXPECT_EQ(corners_of(stream_of({PRIM_LIST, c, c, c, c, c, c, c})), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  // Before any marker: independent triangles.
  EXPECT_EQ(corners_of(stream_of({c, c, c, c, c, c})), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  // A fan keeps its first vertex.
  EXPECT_EQ(corners_of(stream_of({PRIM_FAN, c, c, c, c})), (std::vector<int>{1, 2, 3, 1, 3, 4}));
  // A marker drops what was collected, and a new strip starts its alternation anew.
  EXPECT_EQ(corners_of(stream_of({PRIM_STRIP, c, c, c, c, PRIM_STRIP, c, c, PRIM_FAN, c, c, c})),
            (std::vector<int>{1, 2, 3, 3, 2, 4, 9, 10, 11}));
}

TEST(MeshTriangles, WhiteIsAColourAndMarkersAreDecidedByTheTable) {
  MeshObjectX mesh = stream_of({MESH_WHITE, GREEN, BLUE});
  ASSERT_EQ(mesh.frames[0].triangles.size(), 3u);
  for (float channel : mesh.frames[0].triangles[0].rgba) EXPECT_EQ(channel, 1.0f);
  EXPECT_EQ(mesh.frames[0].triangles[1].rgba[1], 1.0f);
  EXPECT_EQ(mesh.frames[0].triangles[1].rgba[0], 0.0f);

  // A binary table entry 0xFFFFFFFD makes its vertices fan markers.
  ByteWriter w = binary_header(2.0, 1, {PRIM_FAN, RED}, std::vector<float>(10, 0.0f));
  w.i32(5);
  const uint8_t colours[5] = {0, 1, 1, 1, 1};
  for (int i = 0; i < 5; ++i) w.f32(static_cast<float>(i)).f32(0).f32(0).u8(0).u8(colours[i]);
  MeshObjectX fan;
  ASSERT_EQ(read_ddd_bytes(fan, w.bytes.data(), w.bytes.size()), DddRead::ok);
  fan.build_triangles();
  EXPECT_EQ(corners_of(fan), (std::vector<int>{1, 2, 3, 1, 3, 4}));

  // A colour index outside the table falls back on the vertex's own colour.
  MeshObjectX odd = stream_of({PRIM_STRIP, RED, RED, RED});
  odd.frames[0].vertices[0].colour_index = 200;
  odd.frames[0].vertices[1].colour_index = 255;
  odd.build_triangles();
  EXPECT_EQ(corners_of(odd), (std::vector<int>{1, 2, 3}));
}

TEST(MeshNormals, PreparationGivesUnlitTrianglesTheirFaceNormal) {
  MeshObjectX mesh;
  const std::string text =
      "DDDA 1.0 0 3\n"
      "0 0 0 3 0 0 1 0 2 0\n"   // counter-clockwise in the xy plane
      "0 0 0 3 0 0 2 0 1 0\n"   // the same, clockwise
      "0 0 0 3 0 0 0 0 1 0\n"   // degenerate
      "1 3 0 0 0 2 0 0 0 2 0\n";
  ASSERT_EQ(read_ddd_bytes(mesh, reinterpret_cast<const uint8_t*>(text.data()), text.size()), DddRead::ok);
  mesh.build_triangles();
  prepare_mesh(mesh);
  const std::vector<MeshVertex>& t = mesh.frames[0].triangles;
  ASSERT_EQ(t.size(), 9u);
  EXPECT_EQ(t[0].normal[2], 1.0f);
  EXPECT_EQ(t[2].normal[2], 1.0f);
  EXPECT_EQ(t[3].normal[2], -1.0f);
  EXPECT_EQ(t[6].normal[2], 0.0f) << "no face, no normal";
  EXPECT_EQ(mesh.frames[0].vertices[1].normal[2], 0.0f) << "the stream keeps what the file said";

  // Normals the file gives are kept.
  ByteWriter w = binary_header(2.0, 1, {RED}, std::vector<float>(6, 0.0f));
  w.i32(3);
  for (int i = 0; i < 3; ++i) w.f32(static_cast<float>(i == 1)).f32(static_cast<float>(i == 2)).f32(0).u8(52).u8(0);
  ASSERT_EQ(read_ddd_bytes(mesh, w.bytes.data(), w.bytes.size()), DddRead::ok);
  mesh.build_triangles();
  prepare_mesh(mesh);
  EXPECT_EQ(mesh.frames[0].triangles[0].normal[0], 1.0f);  // entry 52 is (1, 0, 0)
}

TEST(MeshNormals, TheTableHoldsDistinctUnitNormalsClosedUnderNegation) {
  std::set<std::tuple<float, float, float>> seen;
  for (const auto& n : DDD_NORMALS) {
    EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 2e-6);
    seen.insert({n[0], n[1], n[2]});
  }
  EXPECT_EQ(seen.size(), 162u);
  for (const auto& n : DDD_NORMALS) {
    EXPECT_EQ(seen.count({-n[0], -n[1], -n[2]}), 1u);
  }
  EXPECT_EQ(seen.count({-0.525731f, 0.0f, 0.850651f}), 1u);
  EXPECT_EQ(DDD_NORMALS[0][0], -0.525731f);
  EXPECT_EQ(DDD_NORMALS[5][2], 1.0f);
  EXPECT_EQ(DDD_NORMALS[161][0], -0.688191f);
  EXPECT_EQ(DDD_NORMALS[161][1], -0.587785f);
  EXPECT_EQ(DDD_NORMALS[161][2], -0.425325f);
}

}  // namespace
}  // namespace qrn::test
