// Shader programs: a table of GLSL programs (0..254) that the program loads from source files,
// selects for drawing and feeds by uniform name, on the GL's shader-object entry points.
// Without those entry points every command does nothing, and "No OpenGL 2.0 Shader Support"
// is reported once per process. Reports go to the debugger channel, in debug mode only.
// A source file is read whole; one larger than MAX_SHADER_SOURCE_BYTES is left out like a
// missing one.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

constexpr uint32_t MAX_SHADER_SOURCE_BYTES = 1u << 20;

// Compiles the vertex and fragment source files (an empty name leaves that stage out) and
// links them into program `index`; true when that succeeded. Index 255 and up (negative
// ones included) give false at once.
bool load_shader(int32_t index, const RtString& vertex_file, const RtString& fragment_file);
// Selects program index (0..254) for drawing; any other index switches shaders off.
void use_shader(int32_t index);
// Sets a float uniform of the selected program; a name it lacks is reported and sets nothing.
void set_shader_float(const RtString& name, double value);
// Sets an integer uniform of the selected program, without reports.
void set_shader_int(const RtString& name, int32_t value);
// In debug mode, the text and a line end to the debugger channel; otherwise nothing.
void shader_report(const RtString& text);

}  // namespace qrn
