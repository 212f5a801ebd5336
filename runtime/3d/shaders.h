// Shader programs: a table of programs that drawing can select.
#pragma once

#include <cstdint>

namespace qrn {

// Selects program index (0..254) for drawing; any other index switches shaders off.
void use_shader(int32_t index);

}  // namespace qrn
