// OpenGL extension entry points, loaded once per process when the first window's context
// exists: swap control, multitexture with buffer objects, and shader objects.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace qrn {

struct GlExtensions {
  bool loaded = false;
  bool swap_control = false;  // the swap interval can be set

  // Listed with "GL_ARB_multitexture"
  PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
  PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
  PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
  PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
  PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
  PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
  PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
  PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;
  PFNGLGETBUFFERPARAMETERIVARBPROC glGetBufferParameterivARB = nullptr;

  // Listed with "GL_ARB_fragment_program"
  PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
  PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
  PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
  PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
  PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
  PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
  PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
  PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
  PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
  PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
  PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
  PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
  PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
  PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB = nullptr;
  PFNGLVERTEXATTRIB1FARBPROC glVertexAttrib1fARB = nullptr;
};

// The process's entry points (all null until a window was created).
const GlExtensions& gl_extensions();
// Loads the entry points of every extension the list names; a missing one is logged as
// "ext: <name>   [FAILED]". Swap control is whatever the platform offers.
void load_gl_extensions(const std::string& extension_list);
// True when the list names the extension exactly (not just a longer name starting with it).
bool has_gl_extension(const std::string& extension_list, const char* name);

}  // namespace qrn
