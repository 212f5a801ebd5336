// Real backend, display side: SDL2 video, windows with an OpenGL compatibility context
// (Mesa's llvmpipe where there is no GPU), buffer swaps and GL entry points.
#include <SDL.h>

#include "platform/linux_platform.h"

namespace qrn {

namespace {
SDL_GLContext g_context = nullptr;  // one context for the process; it outlives windows

SDL_Window* sdl(WindowHandle window) { return static_cast<SDL_Window*>(window); }
}  // namespace

bool LinuxPlatform::video_init() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void LinuxPlatform::video_quit() {
  if (g_context) {
    SDL_GL_DeleteContext(g_context);
    g_context = nullptr;
  }
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

ScreenRect LinuxPlatform::display_bounds() {
  SDL_Rect r{0, 0, 0, 0};
  if (!video_init() || SDL_GetDisplayBounds(0, &r) != 0) return Platform::display_bounds();
  return {r.x, r.y, r.w, r.h};
}

ScreenRect LinuxPlatform::display_usable_bounds() {
  SDL_Rect r{0, 0, 0, 0};
  if (!video_init() || SDL_GetDisplayUsableBounds(0, &r) != 0) return display_bounds();
  return {r.x, r.y, r.w, r.h};
}

int32_t LinuxPlatform::display_bits_per_pixel() {
  SDL_DisplayMode mode;
  if (!video_init() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 24;
  return static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
}

bool LinuxPlatform::display_has_mode(int32_t width, int32_t height, int32_t bits) {
  if (!video_init()) return false;
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    if (mode.w != width || mode.h != height) continue;
    if (bits == 0 || static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format)) == bits) return true;
  }
  return false;
}

WindowHandle LinuxPlatform::create_window(const WindowRequest& request) {
  if (!video_init()) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  int colour = request.colour_bits > 24 ? 24 : request.colour_bits;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colour / 3);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colour / 3);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colour / 3);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.alpha_bits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depth_bits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.stencil_bits);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, request.samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, request.samples > 0 ? request.samples : 0);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_Window* window = SDL_CreateWindow(request.title ? request.title : "", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, request.width, request.height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) return nullptr;
  if (g_context && SDL_GL_MakeCurrent(window, g_context) == 0) return window;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return nullptr;
  }
  if (g_context) SDL_GL_DeleteContext(g_context);
  g_context = context;
  return window;
}

void LinuxPlatform::destroy_window(WindowHandle window) {
  if (window) SDL_DestroyWindow(sdl(window));
}

void LinuxPlatform::set_window_title(WindowHandle window, const char* title) {
  if (window) SDL_SetWindowTitle(sdl(window), title ? title : "");
}

void LinuxPlatform::show_window(WindowHandle window, bool shown) {
  if (!window) return;
  if (shown) {
    SDL_ShowWindow(sdl(window));
  } else {
    SDL_HideWindow(sdl(window));
  }
}

void LinuxPlatform::swap_buffers(WindowHandle window) {
  if (window) SDL_GL_SwapWindow(sdl(window));
}

bool LinuxPlatform::set_swap_interval(int32_t interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void* LinuxPlatform::gl_proc_address(const char* name) {
  return name && video_init() ? SDL_GL_GetProcAddress(name) : nullptr;
}

}  // namespace qrn
