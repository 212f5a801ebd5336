// The 3D engine object: created with the 2D device at start-up, stepped once per frame,
// reset with the drawing state, destroyed after the device at shutdown. It holds the object
// slots (meshes and scenes), the shader programs and the camera and light that drawing uses.
#pragma once

#include <cstdint>
#include <vector>

#include "3d/mesh.h"

namespace qrn {

class OpenGLZodidoze;

// Object numbers are 0 .. OBJECT_SLOT_COUNT - 1.
constexpr int32_t OBJECT_SLOT_COUNT = 1024;
// Shader program numbers are 0 .. SHADER_SLOT_COUNT - 1.
constexpr int32_t SHADER_SLOT_COUNT = 255;

struct ObjectSlot {
  uint8_t loaded = 0;    // holds a loaded object
  uint8_t is_scene = 0;  // the content came from a scene file
  std::vector<MeshObjectX> meshes;
  std::vector<uint32_t> textures;  // GL texture names of a scene, file order (0: none)
  // Per texture: the part of the (power-of-two) texture the image covers, u then v, so that
  // drawing can map coordinates 0..1 onto the image.
  std::vector<float> texture_extents;
};

// Three GL object handles, 0 meaning none.
struct ShaderSlot {
  uint32_t program = 0;
  uint32_t vertex_shader = 0;
  uint32_t fragment_shader = 0;
};

// Where drawing looks from and how wide it sees (right-handed, y up).
struct Camera3D {
  double eye[3] = {0.0, 0.0, 5.0};
  double target[3] = {0.0, 0.0, 0.0};
  double fov_degrees = 60.0;
  double near_distance = 0.1;
  double far_distance = 1000.0;
};

// One directional light; a zero direction draws the colours unlit.
struct Light3D {
  double direction[3] = {0.4, 0.6, 1.0};  // towards the light, world coordinates
  double ambient = 0.35;                  // 0..1, the share of a colour that needs no light
};

class Zodidoze3D {
 public:
  explicit Zodidoze3D(OpenGLZodidoze* device);
  virtual ~Zodidoze3D();
  Zodidoze3D(const Zodidoze3D&) = delete;
  Zodidoze3D& operator=(const Zodidoze3D&) = delete;

  // Once per frame, from show_screen.
  virtual void frame_step() {}
  // Back to the per-frame defaults, from reset_draw_state: shaders are switched off and the
  // next object drawn clears the depth buffer first.
  virtual void reset_frame_settings();
  // The 2D viewport is about to change to this window rectangle.
  virtual void viewport_changed(int32_t /*x*/, int32_t /*y*/, int32_t /*width*/, int32_t /*height*/) {}

  // The device given at creation; no longer valid once shutdown has destroyed the device.
  OpenGLZodidoze* device() const { return device_; }
  // The slot of an object number, or null outside 0 .. OBJECT_SLOT_COUNT - 1.
  ObjectSlot* object_slot(int32_t number) {
    return number >= 0 && number < OBJECT_SLOT_COUNT ? &objects[static_cast<size_t>(number)] : nullptr;
  }

  std::vector<ObjectSlot> objects;  // OBJECT_SLOT_COUNT slots
  ShaderSlot shader_slots[SHADER_SLOT_COUNT];
  int32_t current_shader = -1;  // the selected program, -1 when shaders are off
  Camera3D camera;
  Light3D light;
  // The drawing target (RuntimeState::target_screen) whose depth buffer drawing cleared in
  // this frame; DEPTH_NOT_CLEARED when none was cleared yet.
  static constexpr int32_t DEPTH_NOT_CLEARED = INT32_MIN;
  int32_t depth_cleared_for = DEPTH_NOT_CLEARED;

 private:
  OpenGLZodidoze* device_;
};

}  // namespace qrn
