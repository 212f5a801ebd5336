// Off-screen screens inside the runtime: the framebuffer entry points, whether screens are
// framebuffer objects or emulated in the window, and the limits of a screen.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

namespace qrn {

// The process's framebuffer entry points, filled by init_framebuffers (null: missing).
// fbo_supported: screens are framebuffer objects; otherwise they are emulated in the window.
// Tests replace an entry point to play a driver that behaves otherwise.
struct FramebufferFunctions {
  PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT = nullptr;
  PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT = nullptr;
  PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT = nullptr;
  PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT = nullptr;
  PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT = nullptr;
  PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT = nullptr;
  PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT = nullptr;
  PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC glGetFramebufferAttachmentParameterivEXT = nullptr;
  bool fbo_supported = false;
};

FramebufferFunctions& framebuffer_functions();
inline bool framebuffers_supported() { return framebuffer_functions().fbo_supported; }

// Set to anything but "" or "0", screens are emulated even where the driver offers
// framebuffer objects (read once per process, at the first init_framebuffers).
constexpr const char* NO_FRAMEBUFFERS_VARIABLE = "QUARNEL_NO_FBO";

// The sprite an emulated screen keeps the window's pixels in while it is drawn into.
constexpr int32_t SCREEN_SCRATCH_SPRITE = 65503;

// Largest screen texture: as many texels as the largest image (4096 × 4096), no side above
// 16384, and never beyond the driver's texture limit.
constexpr int64_t MAX_SCREEN_TEXELS = int64_t{1} << 24;
constexpr int32_t MAX_SCREEN_SIDE = 16384;

// The texture side of a screen: the smallest power of two from 2 upwards that reaches size
// (1 and 2 give 2, 100 gives 128); 0 above MAX_SCREEN_SIDE.
int32_t screen_texture_size(int32_t size);

}  // namespace qrn
