// The 3D engine object (see engine_3d.h).
#include "3d/engine_3d.h"

#include "3d/objects.h"
#include "3d/shaders.h"

namespace qrn {

Zodidoze3D::Zodidoze3D(OpenGLZodidoze* device)
    : objects(static_cast<size_t>(OBJECT_SLOT_COUNT)), device_(device) {}

Zodidoze3D::~Zodidoze3D() {
  for (ObjectSlot& slot : objects) empty_object_slot(slot);
}

void Zodidoze3D::reset_frame_settings() {
  use_shader(-1);
  depth_cleared_for = DEPTH_NOT_CLEARED;
}

}  // namespace qrn
