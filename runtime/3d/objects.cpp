// Object slots: mesh and scene loading, slot release and the object queries (see objects.h).
#include "3d/objects.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "core/errors.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "files/settings_file.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/image.h"
#include "gfx/image_codecs.h"
#include "gfx/sprite_geometry.h"
#include "core/runtime_state.h"

namespace qrn {

namespace {

// The 2D device's colour key when there is no device: RGB(255, 0, 128).
constexpr uint32_t DEFAULT_COLOUR_KEY = 0x008000FF;

ObjectSlot* slot_of(int32_t object) {
  Zodidoze3D* engine = g_runtime.engine_3d;
  return engine ? engine->object_slot(object) : nullptr;
}

void log_read_error(const RtString& name) {
  log_write("# read error\n");
  std::string line(name.data, name.length);
  line += "\n";
  log_write(line.c_str());
}

// The value of the first matching key of the first matching section (case ignored), "0" when
// there is none.
RtString scene_value(const IniStore& store, const char* section, const RtString& key) {
  for (const IniSection& s : store.sections) {
    if (compare_text_nocase(s.name.data, section) != 0) continue;
    for (const IniEntry& entry : s.entries) {
      if (compare_text_nocase(entry.key.data, key.data) == 0) return entry.value;
    }
    break;
  }
  return RtString("0");
}

int32_t texture_number(const IniStore& store, const RtString& key) {
  int32_t number = text_to_int(scene_value(store, "objects", key));
  return number > 0 ? number - 1 : number;
}

// A frame number as drawing uses it: wrapped into the mesh's frames; negative ones draw 0.
const MeshFrame* frame_of(const MeshObject& mesh, int32_t frame) {
  if (mesh.frames.empty()) return nullptr;
  size_t index = frame < 0 ? 0 : static_cast<size_t>(frame) % mesh.frames.size();
  return &mesh.frames[index];
}

// One scene texture: found through the archive, decoded, uploaded while a device lives.
void load_scene_texture(ObjectSlot& slot, const RtString& path, uint32_t colour_key) {
  uint32_t texture = 0;
  float extent_u = 1.0f, extent_v = 1.0f;
  RtString found;
  if (archive_lookup(g_runtime.resource_archives[0], path, found, ARCHIVE_MEMORY)) {
    Image image;
    if (decode_any(image, found, static_cast<int32_t>(colour_key))) {
      if (!image.alpha_from_file) edge_fill(image);
      OpenGLZodidoze* device = g_runtime.device;
      if (device && device->upload_texture(image, 0, 0, 0, 0, &texture, nullptr, false, false)) {
        // The image sits in the lower left of a power-of-two texture, as upload_texture lays it.
        const int32_t limit = gl_max_texture_size();
        const int32_t w = std::min(image.width, limit), h = std::min(image.height, limit);
        extent_u = static_cast<float>(w) / std::min(texture_size_for(w), limit);
        extent_v = static_cast<float>(h) / std::min(texture_size_for(h), limit);
      } else {
        texture = 0;
      }
    }
  }
  slot.textures.push_back(texture);
  slot.texture_extents.push_back(extent_u);
  slot.texture_extents.push_back(extent_v);
}

}  // namespace

RtString scene_folder(const RtString& name) {
  if (is_memory_file_name(name.data)) return RtString();
  for (uint32_t i = name.length; i > 0; --i) {
    if (name.data[i - 1] == '/' || name.data[i - 1] == '\\') return text_from_bytes(name.data, i);
  }
  return RtString();
}

bool read_scene_entries(const uint8_t* data, size_t size, const RtString& folder, SceneEntries& entries) {
  entries = SceneEntries();
  // Lines end at LF (a CR before it goes too); each is read with the settings-file rules.
  IniStore store;
  IniSection collecting;
  std::string line;
  size_t at = 0;
  while (at < size) {
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data + at, '\n', size - at));
    size_t stop = end ? static_cast<size_t>(end - data) : size;
    line.assign(reinterpret_cast<const char*>(data + at), stop - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ini_read_line(store, collecting, line.c_str());
    at = stop + 1;
  }
  ini_finish_section(store, collecting);

  const int32_t texture_count = text_to_int(scene_value(store, "textures", "count"));
  const int32_t object_count = text_to_int(scene_value(store, "objects", "count"));
  if (texture_count > MAX_SCENE_ITEMS || object_count > MAX_SCENE_ITEMS) return false;
  for (int32_t i = 1; i <= texture_count; ++i) {
    entries.textures.push_back(folder + scene_value(store, "textures", int_to_text(i)));
  }
  for (int32_t i = 1; i <= object_count; ++i) {
    SceneObjectEntry object;
    const RtString number = int_to_text(i);
    object.file = folder + scene_value(store, "objects", number);
    object.texture_a = texture_number(store, number + "ta");
    object.texture_b = texture_number(store, number + "tb");
    entries.objects.push_back(object);
  }
  return true;
}

void empty_object_slot(ObjectSlot& slot) {
  // Without the device the GL context is gone, and its textures with it.
  if (g_runtime.device) {
    for (uint32_t& texture : slot.textures) {
      if (!texture) continue;
      gl_forget_texture(texture);
      glDeleteTextures(1, &texture);
    }
  }
  slot = ObjectSlot();
}

bool load_scene(ObjectSlot& slot, const RtString& name, uint32_t colour_key, const RtString* folder) {
  empty_object_slot(slot);
  // The whole file is parsed before the first lookup: an archive lookup releases the block
  // the scene itself may have come from.
  SceneEntries entries;
  bool read = false;
  FileStream in;
  if (stream_open_read(in, name.data)) {
    std::vector<uint8_t> owned;
    const uint8_t* data = nullptr;
    size_t size = 0;
    try {
      read = read_rest_of_stream(in, MAX_MESH_FILE_BYTES, owned, data, size) &&
             read_scene_entries(data, size, folder ? *folder : scene_folder(name), entries);
    } catch (const std::bad_alloc&) {
      read = false;
    }
    stream_close(in);
  }
  if (!read) {
    log_read_error(name);
    return false;
  }

  slot.loaded = 1;
  slot.is_scene = 1;
  for (const RtString& path : entries.textures) load_scene_texture(slot, path, colour_key);

  slot.meshes.resize(entries.objects.size());
  uint64_t budget = MAX_MESH_VERTICES;
  for (size_t i = 0; i < entries.objects.size(); ++i) {
    const SceneObjectEntry& entry = entries.objects[i];
    MeshObjectX& mesh = slot.meshes[i];
    RtString found;
    if (!archive_lookup(g_runtime.resource_archives[0], entry.file, found, ARCHIVE_MEMORY)) found = entry.file;
    if (load_ddd(mesh, found, static_cast<uint32_t>(budget))) budget -= mesh_vertex_count(mesh);
    mesh.texture_a = entry.texture_a;
    mesh.texture_b = entry.texture_b;
    mesh.build_triangles();
    prepare_mesh(mesh);
  }
  return true;
}

bool load_object_file(ObjectSlot& slot, const RtString& name, const RtString& given_name) {
  empty_object_slot(slot);
  FileStream in;
  if (!stream_open_read(in, name.data)) return false;
  char head[4] = {};
  const bool scene = in.size >= 4 && stream_read(in, head, 4) && std::memcmp(head, ";DDW", 4) == 0;
  stream_close(in);
  if (scene) {
    uint32_t key = g_runtime.device ? g_runtime.device->colour_key : DEFAULT_COLOUR_KEY;
    const RtString folder = scene_folder(given_name.empty() ? name : given_name);
    return load_scene(slot, name, key, &folder);
  }

  slot.meshes.emplace_back();
  MeshObjectX& mesh = slot.meshes.front();
  if (!load_ddd(mesh, name) || mesh.frames.empty() || mesh.frames.front().vertices.empty()) {
    empty_object_slot(slot);
    return false;
  }
  slot.loaded = 1;
  slot.is_scene = 0;
  mesh.build_triangles();
  prepare_mesh(mesh);
  return true;
}

void load_object(const RtString& file_name, int32_t object) {
  ObjectSlot* slot = slot_of(object);
  if (!slot) return;
  empty_object_slot(*slot);
  RtString resolved = file_name;
  if (resolve_file_name(resolved)) load_object_file(*slot, resolved, file_name);
}

int32_t object_loaded(int32_t object) {
  ObjectSlot* slot = slot_of(object);
  return slot && slot->loaded ? 1 : 0;
}

int32_t object_frame_count(int32_t object) {
  ObjectSlot* slot = slot_of(object);
  if (!slot || !slot->loaded) return 0;
  size_t most = 0;
  for (const MeshObjectX& mesh : slot->meshes) most = std::max(most, mesh.frames.size());
  return static_cast<int32_t>(most);
}

int32_t object_triangle_count(int32_t object, int32_t frame) {
  ObjectSlot* slot = slot_of(object);
  if (!slot || !slot->loaded) return 0;
  size_t count = 0;
  for (const MeshObjectX& mesh : slot->meshes) {
    if (const MeshFrame* f = frame_of(mesh, frame)) count += f->triangles.size() / 3;
  }
  return static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
}

int32_t object_bounds(int32_t object, int32_t frame, double& min_x, double& min_y, double& min_z,
                      double& max_x, double& max_y, double& max_z) {
  min_x = min_y = min_z = max_x = max_y = max_z = 0.0;
  ObjectSlot* slot = slot_of(object);
  if (!slot || !slot->loaded) return 0;
  bool any = false;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  for (const MeshObjectX& mesh : slot->meshes) {
    const MeshFrame* f = frame_of(mesh, frame);
    if (!f) continue;
    for (const MeshVertex& vertex : f->triangles) {
      for (int axis = 0; axis < 3; ++axis) {
        const float p = vertex.position[axis];
        if (!any || p < low[axis]) low[axis] = p;
        if (!any || p > high[axis]) high[axis] = p;
      }
      any = true;
    }
  }
  if (!any) return 0;
  min_x = low[0], min_y = low[1], min_z = low[2];
  max_x = high[0], max_y = high[1], max_z = high[2];
  return 1;
}

}  // namespace qrn
