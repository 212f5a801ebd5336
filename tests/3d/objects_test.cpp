// Object slots without a window: loading meshes and scenes by name, what a failure leaves
// behind and logs, the scene file's rules and limits, and the object queries.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime.h"
#include "3d/engine_3d.h"
#include "3d/mesh_files.h"
#include "3d/objects.h"
#include "core/errors.h"
#include "files/file_names.h"
#include "gfx/image_codecs.h"
#include "core/runtime_state.h"
#include "platform/fake_platform.h"
#include "support/temp_dir.h"

namespace qrn::test {
namespace {

// A unit square in the z = 0 plane as two fan triangles, with a second frame moved up by 2.
const char* const kSquare =
    "DDDA 1.0 0\n"
    "1 255 0 0 4 0 0 1 0 2 0 3 0\n"
    "2\n"
    "4 0 0 0 1 0 0 1 1 0 0 1 0\n"
    "4 0 2 0 1 2 0 1 3 0 0 3 0\n";

class Objects : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime_state();
    fake->temp_dir = dir.path();
    g_runtime.engine_3d = new Zodidoze3D(nullptr);
  }
  void TearDown() override {
    reset_runtime_state();
  }
  ObjectSlot& slot(int32_t n) { return *g_runtime.engine_3d->object_slot(n); }
  std::string log() { return read_file(dir.file("ErrorLog.txt")); }
  void clear_log() { std::remove(dir.file("ErrorLog.txt").c_str()); }

  FakePlatformScope fake;
  TempDir dir;
};

TEST_F(Objects, MeshesLoadFromDiskAndMemoryIntoNumberedSlots) {
  write_file(dir.file("square.ddd"), kSquare);
  load_object(dir.file("square.ddd").c_str(), 3);
  ASSERT_EQ(object_loaded(3), 1);
  EXPECT_EQ(slot(3).is_scene, 0);
  ASSERT_EQ(slot(3).meshes.size(), 1u);
  EXPECT_EQ(object_frame_count(3), 2);
  EXPECT_EQ(object_triangle_count(3, 0), 2);
  EXPECT_EQ(object_triangle_count(3, 7), 2) << "frame numbers wrap";

  double x0, y0, z0, x1, y1, z1;
  ASSERT_EQ(object_bounds(3, 1, x0, y0, z0, x1, y1, z1), 1);
  EXPECT_EQ(y0, 2.0);
  EXPECT_EQ(y1, 3.0);
  EXPECT_EQ(x1, 1.0);
  EXPECT_EQ(object_bounds(3, -4, x0, y0, z0, x1, y1, z1), 1);
  EXPECT_EQ(y1, 1.0) << "negative frames draw frame 0";

  std::string bytes = kSquare;
  load_object(memory_name(bytes), OBJECT_SLOT_COUNT - 1);
  EXPECT_EQ(object_loaded(OBJECT_SLOT_COUNT - 1), 1);
  // Numbers outside the table are ignored.
  load_object(memory_name(bytes), OBJECT_SLOT_COUNT);
  load_object(memory_name(bytes), -1);
  EXPECT_EQ(object_loaded(OBJECT_SLOT_COUNT), 0);
  EXPECT_EQ(object_triangle_count(-1, 0), 0);
  EXPECT_EQ(object_bounds(OBJECT_SLOT_COUNT, 0, x0, y0, z0, x1, y1, z1), 0);
  EXPECT_EQ(log(), "");
}

TEST_F(Objects, AFailedLoadLeavesTheSlotEmpty) {
  std::string good = kSquare;
  auto fill = [&] {
    load_object(memory_name(good), 5);
    ASSERT_EQ(object_loaded(5), 1);
  };

  // A missing file: the slot is emptied and nothing is logged.
  fill();
  load_object(dir.file("missing.ddd").c_str(), 5);
  EXPECT_EQ(object_loaded(5), 0);
  EXPECT_TRUE(slot(5).meshes.empty());
  EXPECT_EQ(log(), "");

  // The empty name empties the slot too.
  fill();
  load_object("", 5);
  EXPECT_EQ(object_loaded(5), 0);

  // Neither form: the reader logs the name.
  fill();
  write_file(dir.file("junk.ddd"), "this is no mesh");
  load_object(dir.file("junk.ddd").c_str(), 5);
  EXPECT_EQ(object_loaded(5), 0);
  EXPECT_TRUE(slot(5).meshes.empty());
  EXPECT_EQ(log(), "# read error\n" + dir.file("junk.ddd") + "\n");

  // A mesh that reads well but whose first frame is empty.
  clear_log();
  fill();
  std::string no_vertices = "DDDA 1.0 0 0 2 0 4 0 0 0 0 0 0 0 0 0 0 0 0";
  load_object(memory_name(no_vertices), 5);
  EXPECT_EQ(object_loaded(5), 0);
  EXPECT_TRUE(slot(5).meshes.empty());
  std::string no_frames = "DDDA 1.0 0 0 0";
  load_object(memory_name(no_frames), 5);
  EXPECT_EQ(object_loaded(5), 0);
  EXPECT_EQ(log(), "");
}

class Scenes : public Objects {
 protected:
  void SetUp() override {
    Objects::SetUp();
    write_file(dir.file("square.ddd"), kSquare);
    Image image;
    ASSERT_TRUE(image.resize(16, 16));
    ASSERT_TRUE(encode_image(dir.file("wall.png").c_str(), image));
  }
};

TEST_F(Scenes, ASceneCombinesMeshesWithTexturesFromItsFolder) {
  write_file(dir.file("scene.ddw"),
             ";DDW scene\r\n"
             "[Textures]\r\n"
             "Count = 2\r\n"
             "1=wall.png\r\n"
             "2=missing.png\r\n"
             "[objects]\r\n"
             "count=3\r\n"
             "1=square.ddd\r\n"
             "1TA=2\r\n"
             "1tb=1\r\n"
             "2=gone.ddd\r\n"
             "3 = square.ddd\t\r\n"
             "3ta=0\r\n"
             "3tb=7\r\n");
  load_object(dir.file("scene.ddw").c_str(), 0);
  ObjectSlot& s = slot(0);
  ASSERT_EQ(s.loaded, 1);
  EXPECT_EQ(s.is_scene, 1);
  // Without a device nothing is uploaded, but every texture has its entry.
  EXPECT_EQ(s.textures, (std::vector<uint32_t>{0, 0}));
  ASSERT_EQ(s.meshes.size(), 3u);
  EXPECT_EQ(s.meshes[0].texture_a, 1);
  EXPECT_EQ(s.meshes[0].texture_b, 0) << "texture 1 becomes 0";
  EXPECT_TRUE(s.meshes[1].frames.empty()) << "a missing mesh stays empty";
  EXPECT_EQ(s.meshes[2].texture_a, 0) << "0 stays 0";
  EXPECT_EQ(s.meshes[2].texture_b, 6);
  EXPECT_EQ(s.meshes[2].frames.size(), 2u);
  EXPECT_EQ(s.meshes[2].frames[0].triangles.size(), 6u);
  EXPECT_EQ(object_triangle_count(0, 0), 4);
  // The missing mesh is logged by its reader; the scene still counts as loaded.
  EXPECT_EQ(log(), "# read error\n" + dir.file("gone.ddd") + "\n");
}

TEST_F(Scenes, SceneEntriesFollowTheSettingsFileRules) {
  const std::string text =
      ";DDW\n"
      "  ; a comment\n"
      "[objects]\n"
      "count=2\n"
      "1=first.ddd\n"
      "1=shadowed.ddd\n"
      "2 =  with blanks.ddd  \r\n"
      "2ta=\n"
      "2tb 5\n"
      "[OBJECTS]\n"
      "count=9\n"
      "[textures]\n"
      "count=-3\n";
  SceneEntries entries;
  ASSERT_TRUE(read_scene_entries(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "dir/", entries));
  EXPECT_TRUE(entries.textures.empty()) << "a negative count names nothing";
  ASSERT_EQ(entries.objects.size(), 2u) << "the first matching section wins";
  EXPECT_STREQ(entries.objects[0].file.data, "dir/first.ddd");
  EXPECT_STREQ(entries.objects[1].file.data, "dir/with blanks.ddd  ") << "trailing blanks stay";
  EXPECT_EQ(entries.objects[1].texture_a, 0) << "an empty value is dropped, so the key reads 0";
  EXPECT_EQ(entries.objects[1].texture_b, 0) << "a line without = is ignored";

  // Missing keys read "0": the object's file is the folder's "0".
  const std::string sparse = "[objects]\ncount=1\n";
  ASSERT_TRUE(read_scene_entries(reinterpret_cast<const uint8_t*>(sparse.data()), sparse.size(), "", entries));
  EXPECT_STREQ(entries.objects.at(0).file.data, "0");

  EXPECT_STREQ(scene_folder("a/b\\c.ddw").data, "a/b\\");
  EXPECT_STREQ(scene_folder("c.ddw").data, "");
}

TEST_F(Scenes, SceneCountsAreLimited) {
  for (int32_t count : {MAX_SCENE_ITEMS, MAX_SCENE_ITEMS + 1}) {
    for (const char* section : {"textures", "objects"}) {
      clear_log();
      std::string text = ";DDW\n[" + std::string(section) + "]\ncount=" + std::to_string(count) + "\n";
      const std::string path = dir.file("big.ddw");
      write_file(path, text);
      load_object(path.c_str(), 2);
      const bool fits = count == MAX_SCENE_ITEMS;
      EXPECT_EQ(object_loaded(2), fits ? 1 : 0) << section << " " << count;
      if (fits) {
        const size_t entries = std::string(section) == "textures" ? slot(2).textures.size() : slot(2).meshes.size();
        EXPECT_EQ(entries, static_cast<size_t>(count));
      } else {
        EXPECT_EQ(log(), "# read error\n" + path + "\n");
      }
    }
  }
}

TEST_F(Scenes, AllMeshesOfASceneShareTheVertexBudget) {
  // Each mesh holds 60% of the budget: the first fits, the second does not.
  const uint32_t count = MAX_MESH_VERTICES / 10 * 6;
  ByteWriter w = binary_header(1.5, 1, {0x0000FF}, std::vector<float>(static_cast<size_t>(count) * 2, 0.0f));
  w.i32(static_cast<int32_t>(count)).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1);
  w.bytes.resize(w.bytes.size() + static_cast<size_t>(count) * 5, 0);
  write_file(dir.file("big.ddd"), std::string(w.bytes.begin(), w.bytes.end()));
  write_file(dir.file("two.ddw"), ";DDW\n[objects]\ncount=3\n1=big.ddd\n2=big.ddd\n3=square.ddd\n");
  load_object(dir.file("two.ddw").c_str(), 1);
  ASSERT_EQ(object_loaded(1), 1);
  EXPECT_EQ(slot(1).meshes[0].frames.size(), 1u);
  EXPECT_TRUE(slot(1).meshes[1].frames.empty());
  EXPECT_EQ(slot(1).meshes[2].frames.size(), 2u) << "a small mesh still fits in what is left";
}

#ifdef QRN_KIX_PACK
TEST_F(Scenes, AScenePackedInTheArchiveFindsItsMeshesThere) {
  write_file(dir.file("scene.ddw"), ";DDW\n[textures]\ncount=1\n1=wall.png\n[objects]\ncount=2\n1=square.ddd\n2=Square.DDD\n");
  const std::string program = dir.file("prog");
  write_file(program, "#!program bytes#");
  std::string command = std::string("'") + QRN_KIX_PACK + "' '" + program + "'";
  for (const char* name : {"scene.ddw", "square.ddd", "wall.png"}) command += " '" + dir.file(name) + "'";
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  for (const char* name : {"scene.ddw", "square.ddd", "wall.png"}) std::remove(dir.file(name).c_str());
  set_archive_paths(program.c_str(), program.c_str());

  // The scene comes from the archive as a memory block that the next lookup releases; its
  // entries are found by the folder of the name the program gave, then by base name.
  load_object("Media/scene.ddw", 0);
  ASSERT_EQ(object_loaded(0), 1);
  EXPECT_EQ(slot(0).is_scene, 1);
  ASSERT_EQ(slot(0).meshes.size(), 2u);
  EXPECT_EQ(slot(0).meshes[0].frames.size(), 2u);
  EXPECT_EQ(slot(0).meshes[1].frames.size(), 2u);
  EXPECT_EQ(log(), "");
  for (ResourceArchive*& archive : g_runtime.resource_archives) {
    release_resource_archive(archive);
    archive = nullptr;
  }
}
#endif

}  // namespace
}  // namespace qrn::test
