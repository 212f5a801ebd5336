// Shader programs (see shaders.h): loading, selection and uniforms over the shader-object
// entry points of the GL extension table.
#include "3d/shaders.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <vector>

#include "3d/engine_3d.h"
#include "core/errors.h"
#include "files/file_stream.h"
#include "gfx/gl_state.h"
#include "host/gl_extensions.h"
#include "core/runtime_state.h"

namespace qrn {

namespace {

// Cleared when the missing-support message has been given: at most once per process.
bool shader_support_unreported = true;

// Longest info log taken from the driver.
constexpr GLint MAX_INFO_LOG_BYTES = 1 << 16;

// The whole source file followed by a 0 byte; false when it cannot be opened, read in full,
// or is larger than MAX_SHADER_SOURCE_BYTES.
bool read_source(const RtString& name, std::vector<char>& source) {
  FileStream in;
  if (!stream_open_read(in, name.data)) return false;
  bool read = in.size <= MAX_SHADER_SOURCE_BYTES;
  if (read) {
    source.assign(static_cast<size_t>(in.size) + 1, 0);
    read = in.size == 0 || stream_read(in, source.data(), in.size);
  }
  stream_close(in);
  return read;
}

GLint object_parameter(const GlExtensions& gl, GLhandleARB object, GLenum parameter) {
  GLint value = 0;
  if (gl.glGetObjectParameterivARB && object) gl.glGetObjectParameterivARB(object, parameter, &value);
  return value;
}

// Reports the object's info log (a driver that claims none gives an empty text).
void report_info_log(const GlExtensions& gl, GLhandleARB object) {
  GLint length = std::clamp(object_parameter(gl, object, GL_OBJECT_INFO_LOG_LENGTH_ARB), 1, MAX_INFO_LOG_BYTES);
  std::vector<char> text(static_cast<size_t>(length), 0);
  if (gl.glGetInfoLogARB && object) gl.glGetInfoLogARB(object, length, nullptr, text.data());
  text.back() = 0;
  shader_report(text.data());
}

// Creates, compiles and checks one stage into handle; true when it compiled.
bool compile_stage(const GlExtensions& gl, GLenum kind, const std::vector<char>& source, uint32_t& handle,
                   const char* failure) {
  GLhandleARB object = gl.glCreateShaderObjectARB(kind);
  handle = object;
  const GLcharARB* text = source.data();
  if (object && gl.glShaderSourceARB) gl.glShaderSourceARB(object, 1, &text, nullptr);
  if (object) gl.glCompileShaderARB(object);
  if (object_parameter(gl, object, GL_OBJECT_COMPILE_STATUS_ARB) != 0) return true;
  report_info_log(gl, object);
  shader_report(failure);
  return false;
}

bool link_program(const GlExtensions& gl, ShaderSlot& slot) {
  GLhandleARB program = gl.glCreateProgramObjectARB ? gl.glCreateProgramObjectARB() : 0;
  slot.program = program;
  if (program && gl.glAttachObjectARB) {
    if (slot.vertex_shader) gl.glAttachObjectARB(program, slot.vertex_shader);
    if (slot.fragment_shader) gl.glAttachObjectARB(program, slot.fragment_shader);
  }
  if (program) gl.glLinkProgramARB(program);
  if (object_parameter(gl, program, GL_OBJECT_LINK_STATUS_ARB) != 0) return true;
  report_info_log(gl, program);
  shader_report("link shader failed");
  return false;
}

// The selected program's uniform location, or -1 (with the report when asked for one).
GLint uniform_location(const RtString& name, bool report) {
  const GlExtensions& gl = gl_extensions();
  Zodidoze3D* engine = g_runtime.engine_3d;
  if (!gl.glGetUniformLocationARB || !engine) return -1;
  const int32_t index = engine->current_shader;
  if (index < 0 || index >= SHADER_SLOT_COUNT) return -1;
  GLint location = gl.glGetUniformLocationARB(engine->shader_slots[index].program, name.data);
  if (location == -1 && report) {
    shader_report("undefined uniform:");
    shader_report(name);
  }
  return location;
}

}  // namespace

void shader_report(const RtString& text) {
  if (g_runtime.debug_mode) debug_output(text + "\n");
}

bool load_shader(int32_t index, const RtString& vertex_file, const RtString& fragment_file) {
  if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(SHADER_SLOT_COUNT)) return false;
  const GlExtensions& gl = gl_extensions();
  if (!gl.glCreateShaderObjectARB || !gl.glCompileShaderARB || !gl.glLinkProgramARB) {
    if (shader_support_unreported) {
      shader_support_unreported = false;
      shader_report("No OpenGL 2.0 Shader Support");
    }
    return false;
  }
  Zodidoze3D* engine = g_runtime.engine_3d;
  if (!engine) return false;
  ShaderSlot& slot = engine->shader_slots[index];
  flush_drawing();  // queued drawing may still use the slot's old program
  if (gl.glDeleteObjectARB) {
    for (uint32_t handle : {slot.program, slot.vertex_shader, slot.fragment_shader}) {
      if (handle) gl.glDeleteObjectARB(handle);
    }
  }
  // The old handles are forgotten even without a delete call, so they are never attached
  // to the new program.
  slot = ShaderSlot();

  bool result = false;
  std::vector<char> source;
  if (!vertex_file.empty() && read_source(vertex_file, source)) {
    result = compile_stage(gl, GL_VERTEX_SHADER_ARB, source, slot.vertex_shader, "vertex shader failed");
  }
  if (!fragment_file.empty() && read_source(fragment_file, source)) {
    result = compile_stage(gl, GL_FRAGMENT_SHADER_ARB, source, slot.fragment_shader, "fragment shader failed");
  }
  if (result && (slot.vertex_shader || slot.fragment_shader)) result = link_program(gl, slot);
  return result;
}

void use_shader(int32_t index) {
  const GlExtensions& gl = gl_extensions();
  if (!gl.glUseProgramObjectARB) return;
  Zodidoze3D* engine = g_runtime.engine_3d;
  GLhandleARB program = 0;
  flush_drawing();  // what was queued is drawn with the program it was queued under
  if (index >= 0 && index < SHADER_SLOT_COUNT && engine) {
    engine->current_shader = index;
    program = engine->shader_slots[index].program;
  } else if (engine) {
    engine->current_shader = -1;
  }
  gl.glUseProgramObjectARB(program);
  gl_note_program_bound(program != 0);
}

void set_shader_float(const RtString& name, double value) {
  GLint location = uniform_location(name, true);
  const GlExtensions& gl = gl_extensions();
  if (location == -1 || !gl.glUniform1fARB) return;
  flush_drawing();
  gl.glUniform1fARB(location, static_cast<float>(value));
}

void set_shader_int(const RtString& name, int32_t value) {
  GLint location = uniform_location(name, false);
  const GlExtensions& gl = gl_extensions();
  if (location == -1 || !gl.glUniform1iARB) return;
  flush_drawing();
  gl.glUniform1iARB(location, value);
}

}  // namespace qrn
