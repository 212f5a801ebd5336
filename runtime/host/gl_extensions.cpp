// OpenGL extension entry points (see gl_extensions.h).
#include "host/gl_extensions.h"

#include <cstdio>

#include "core/errors.h"
#include "platform/platform.h"

namespace qrn {

namespace {

GlExtensions g_extensions;

struct EntryPoint {
  const char* name;
  void** slot;
};

void load_entry_points(const EntryPoint* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    *entries[i].slot = os_video().gl_proc_address(entries[i].name);
    if (!*entries[i].slot) {
      char line[96];
      std::snprintf(line, sizeof line, "ext: %-35s   [FAILED]", entries[i].name);
      log_write(line);
    }
  }
}

template <typename F>
void** slot(F& function) {
  return reinterpret_cast<void**>(&function);
}

}  // namespace

const GlExtensions& gl_extensions() { return g_extensions; }

bool has_gl_extension(const std::string& list, const char* name) {
  std::string wanted(name);
  size_t at = 0;
  while ((at = list.find(wanted, at)) != std::string::npos) {
    bool starts = at == 0 || list[at - 1] == ' ';
    size_t end = at + wanted.size();
    if (starts && (end == list.size() || list[end] == ' ')) return true;
    at = end;
  }
  return false;
}

void load_gl_extensions(const std::string& list) {
  GlExtensions& e = g_extensions;
  e.loaded = true;
  // Swap control comes from the windowing system's GL binding, which the platform wraps.
  e.swap_control = os_video().set_swap_interval(0);
  if (!e.swap_control) {
    char line[96];
    std::snprintf(line, sizeof line, "ext: %-35s   [FAILED]", "glXSwapIntervalEXT");
    log_write(line);
  }
  if (has_gl_extension(list, "GL_ARB_multitexture")) {
    const EntryPoint entries[] = {
        {"glActiveTextureARB", slot(e.glActiveTextureARB)},
        {"glMultiTexCoord2fARB", slot(e.glMultiTexCoord2fARB)},
        {"glClientActiveTextureARB", slot(e.glClientActiveTextureARB)},
        {"glGenBuffersARB", slot(e.glGenBuffersARB)},
        {"glBindBufferARB", slot(e.glBindBufferARB)},
        {"glBufferDataARB", slot(e.glBufferDataARB)},
        {"glDeleteBuffersARB", slot(e.glDeleteBuffersARB)},
        {"glMapBufferARB", slot(e.glMapBufferARB)},
        {"glUnmapBufferARB", slot(e.glUnmapBufferARB)},
        {"glGetBufferParameterivARB", slot(e.glGetBufferParameterivARB)},
    };
    load_entry_points(entries, sizeof entries / sizeof entries[0]);
  }
  if (has_gl_extension(list, "GL_ARB_fragment_program")) {
    const EntryPoint entries[] = {
        {"glCreateProgramObjectARB", slot(e.glCreateProgramObjectARB)},
        {"glDeleteObjectARB", slot(e.glDeleteObjectARB)},
        {"glCreateShaderObjectARB", slot(e.glCreateShaderObjectARB)},
        {"glShaderSourceARB", slot(e.glShaderSourceARB)},
        {"glCompileShaderARB", slot(e.glCompileShaderARB)},
        {"glGetObjectParameterivARB", slot(e.glGetObjectParameterivARB)},
        {"glAttachObjectARB", slot(e.glAttachObjectARB)},
        {"glGetInfoLogARB", slot(e.glGetInfoLogARB)},
        {"glLinkProgramARB", slot(e.glLinkProgramARB)},
        {"glUseProgramObjectARB", slot(e.glUseProgramObjectARB)},
        {"glGetUniformLocationARB", slot(e.glGetUniformLocationARB)},
        {"glUniform1fARB", slot(e.glUniform1fARB)},
        {"glUniform1iARB", slot(e.glUniform1iARB)},
        {"glGetAttribLocationARB", slot(e.glGetAttribLocationARB)},
        {"glVertexAttrib1fARB", slot(e.glVertexAttrib1fARB)},
    };
    load_entry_points(entries, sizeof entries / sizeof entries[0]);
  }
}

}  // namespace qrn
