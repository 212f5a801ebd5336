// Shader placeholder until the 3D module is built: no programs, the fixed pipeline only.
#include "3d/shaders.h"

namespace qrn {

void use_shader(int32_t) {}

}  // namespace qrn
