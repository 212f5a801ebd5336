// Object slots of the 3D engine: loading a binary or text mesh, or a scene file that combines
// meshes with textures, into a numbered slot, and what programs can ask about a slot.
//
// A scene (";DDW") is a settings-style text: [textures] count, 1, 2, ... image files and
// [objects] count, 1, 2, ... mesh files (both relative to the scene's folder), 1ta/1tb ...
// the 1-based texture numbers of each object. Limits: at most MAX_SCENE_ITEMS textures and
// as many objects; the scene file at most MAX_MESH_FILE_BYTES; all meshes of a slot together
// at most MAX_MESH_VERTICES vertices (a mesh past the budget stays empty).
#pragma once

#include <cstdint>
#include <vector>

#include "3d/engine_3d.h"
#include "core/text_value.h"

namespace qrn {

constexpr int32_t MAX_SCENE_ITEMS = 4096;

// ---- Commands -----------------------------------------------------------------------------
// Empties slot `object`, then loads the file when the runtime's file-name resolution finds
// it (disk, memory file or resource archive). Reports nothing: after a failure the slot is
// simply empty. Object numbers outside 0 .. OBJECT_SLOT_COUNT - 1 are ignored.
void load_object(const RtString& file_name, int32_t object);
// 1 when the slot holds a loaded object, else 0.
int32_t object_loaded(int32_t object);
// The most frames any mesh of the object has (0 for an empty slot).
int32_t object_frame_count(int32_t object);
// Triangles the object draws for a frame (frame numbers wrap as in draw_object).
int32_t object_triangle_count(int32_t object, int32_t frame);
// The box around the object's triangles in a frame; 0 (and zeros) when it has none.
int32_t object_bounds(int32_t object, int32_t frame, double& min_x, double& min_y, double& min_z,
                      double& max_x, double& max_y, double& max_z);

// ---- For the engine and its tests ----------------------------------------------------------
// Releases the slot's meshes and textures (textures only while the device lives); loaded = 0.
void empty_object_slot(ObjectSlot& slot);
// Empties the slot, then reads a scene or a mesh from the name (no resolution); success.
// given_name is the name the program used when `name` is what resolution made of it: a scene
// takes its folder from that (a memory-file name from the archive has no folder).
bool load_object_file(ObjectSlot& slot, const RtString& name, const RtString& given_name = RtString());
// Reads the scene file `name` into the slot with the colour key for its textures; its entries
// are relative to `folder` (null: the name's own folder). A scene beyond the limits fails
// with "# read error\n" and the name; any other scene succeeds, its failed entries left
// empty (texture 0, a mesh without frames).
bool load_scene(ObjectSlot& slot, const RtString& name, uint32_t colour_key, const RtString* folder = nullptr);

// What a scene file names: paths are the scene's folder followed by the file's value.
struct SceneObjectEntry {
  RtString file;
  int32_t texture_a = 0;  // 0-based texture numbers (1 becomes 0; 0 stays 0)
  int32_t texture_b = 0;
};
struct SceneEntries {
  std::vector<RtString> textures;
  std::vector<SceneObjectEntry> objects;
};
// Parses a scene's bytes; false when a count is above MAX_SCENE_ITEMS.
bool read_scene_entries(const uint8_t* data, size_t size, const RtString& folder, SceneEntries& entries);
// The scene file's folder: the name up to and including its last "/" or "\" ("" when none,
// and for a memory-file name).
RtString scene_folder(const RtString& name);

}  // namespace qrn
