// Off-screen screens: drawing into sprites.
//
// A screen is a framebuffer object with its sprite's texture as colour attachment and, where
// the driver allows, a depth buffer (32, 24 or 16 bits, else none). Without framebuffer
// objects (or with QUARNEL_NO_FBO set) a screen is emulated in the window: drawing goes to
// the window's top-left corner, whose pixels are first kept in the scratch sprite 65503; the
// area is filled with the colour key and the screen's picture, and when drawing ends it is
// copied into the sprite (the key becoming transparent again) and the window's pixels are
// put back. An emulated screen must fit in the window, and its pixels are either opaque or
// transparent.
#include "gfx/offscreen.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "gfx/device.h"
#include "gfx/drawing.h"
#include "gfx/gl_state.h"
#include "gfx/image.h"
#include "gfx/offscreen_internal.h"
#include "gfx/sprite_geometry.h"
#include "platform/platform.h"

namespace qrn {

namespace {

constexpr uint32_t NO_COLOUR = 0xFFFFFFFFu;

void log_format(const char* format, ...) {
  char line[160];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  log_write(line);
}

void clear_gl_errors() {
  for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

bool framebuffers_switched_off() {
  static const bool off = [] {
    std::string value;
    return os_process().env_get(NO_FRAMEBUFFERS_VARIABLE, value) && !value.empty() && value != "0";
  }();
  return off;
}

// True when the GL extension list names the extension (a whole word of it).
bool extension_listed(const char* name) {
  const GLubyte* text = glGetString(GL_EXTENSIONS);
  if (!text) return false;
  const char* list = reinterpret_cast<const char*>(text);
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
    const bool starts = at == list || at[-1] == ' ';
    const bool ends = at[length] == '\0' || at[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

// The viewport back to the whole current surface (the logical screen under a virtual
// resolution when drawing goes to the window); the host's viewport command does it.
void reset_viewport() {
  if (g_runtime.hooks.reset_viewport) g_runtime.hooks.reset_viewport();
}

// Drawing of the emulation's own: normal blending or none, full alpha, no alpha test. The
// program's settings come back when it ends.
class OwnDrawing {
 public:
  explicit OwnDrawing(OpenGLZodidoze& device)
      : device_(device),
        blend_(gl_is_enabled(GL_BLEND)),
        alpha_test_(gl_is_enabled(GL_ALPHA_TEST)),
        global_alpha_(device.global_alpha) {
    flush_drawing();
    glGetIntegerv(GL_BLEND_SRC, &source_);
    glGetIntegerv(GL_BLEND_DST, &destination_);
    gl_set_enabled(GL_ALPHA_TEST, false);
    gl_set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    device.global_alpha = 1.0f;
  }
  ~OwnDrawing() {
    flush_drawing();
    gl_set_enabled(GL_BLEND, blend_);
    gl_set_enabled(GL_ALPHA_TEST, alpha_test_);
    gl_set_blend_func(static_cast<GLenum>(source_), static_cast<GLenum>(destination_));
    device_.global_alpha = global_alpha_;
  }
  OwnDrawing(const OwnDrawing&) = delete;
  OwnDrawing& operator=(const OwnDrawing&) = delete;

  void blending(bool on) { gl_set_enabled(GL_BLEND, on); }

 private:
  OpenGLZodidoze& device_;
  bool blend_, alpha_test_;
  float global_alpha_;
  GLint source_ = GL_SRC_ALPHA, destination_ = GL_ONE_MINUS_SRC_ALPHA;
};

// glClear ignores the viewport: while an emulated screen is drawn into, the scissor keeps
// clearing (set_background_colour) inside the screen's area, as it stays inside a
// framebuffer.
void clip_to_emulated_screen(int32_t w, int32_t h) {
  flush_drawing();
  glScissor(0, g_runtime.window_height - h, w, h);
  glEnable(GL_SCISSOR_TEST);
}

void stop_clipping() {
  flush_drawing();
  glDisable(GL_SCISSOR_TEST);
}

// Emulated start: the window's pixels under the area go to the scratch sprite; the area
// shows the screen's picture on the colour key, so drawing continues on top of it.
void begin_emulated_screen(OpenGLZodidoze& device, int32_t s, int32_t w, int32_t h) {
  RuntimeState& rt = g_runtime;
  device.saved_orientation = rt.orientation;
  rt.orientation = 0;
  rt.current_offscreen = s;
  rt.target_screen = s;
  reset_viewport();
  OwnDrawing own(device);
  const uint32_t key = device.colour_key;
  device.colour_key = NO_COLOUR;
  grab_sprite(SCREEN_SCRATCH_SPRITE, 0, 0, w, h);
  device.colour_key = key;
  own.blending(false);
  draw_rect(0, 0, w, h, key);
  own.blending(true);
  draw_sprite(device.offscreen[s].sprite, 0, 0);
  flush_drawing();
  clip_to_emulated_screen(w, h);
}

// Emulated end: the area into the screen's sprite, then the window's pixels back.
void finish_emulated_screen(OpenGLZodidoze& device, OffscreenScreen& r) {
  RuntimeState& rt = g_runtime;
  stop_clipping();
  SpriteSlot* slot = device.sprite_slot(r.sprite);
  if (slot && slot->width >= 1 && slot->height >= 1) {
    const int32_t w = slot->width, h = slot->height;
    const int16_t frame_width = slot->frame_width, frame_height = slot->frame_height;
    reset_viewport();  // the whole screen again, whatever viewport the program left
    OwnDrawing own(device);
    grab_sprite(r.sprite, 0, 0, w, h);
    // The copy keeps the sprite an animation strip, as drawing into a framebuffer does.
    slot->frame_width = frame_width;
    slot->frame_height = frame_height;
    own.blending(false);
    draw_rect(0, 0, w, h, 0);
    draw_sprite(SCREEN_SCRATCH_SPRITE, 0, 0);
    flush_drawing();
    device.screen_sprite_changed(r.sprite);  // the copy may have made a larger texture
  }
  rt.orientation = device.saved_orientation;
}

}  // namespace

FramebufferFunctions& framebuffer_functions() {
  static FramebufferFunctions functions;
  return functions;
}

int32_t screen_texture_size(int32_t size) {
  if (size > MAX_SCREEN_SIDE) return 0;
  int32_t side = 2;
  while (side < size) side *= 2;
  return side;
}

// ---- Device operations -------------------------------------------------------------------------

void OpenGLZodidoze::init_framebuffers() {
  FramebufferFunctions& f = framebuffer_functions();
  f = FramebufferFunctions();
  // A GL library hands out entry points for names its driver does not implement, so the
  // extension must be listed as well.
  const bool usable = !framebuffers_switched_off() && extension_listed("GL_EXT_framebuffer_object");
  struct EntryPoint {
    const char* name;
    void** slot;
  };
  const EntryPoint entries[] = {
      {"glBindRenderbufferEXT", reinterpret_cast<void**>(&f.glBindRenderbufferEXT)},
      {"glDeleteRenderbuffersEXT", reinterpret_cast<void**>(&f.glDeleteRenderbuffersEXT)},
      {"glGenRenderbuffersEXT", reinterpret_cast<void**>(&f.glGenRenderbuffersEXT)},
      {"glRenderbufferStorageEXT", reinterpret_cast<void**>(&f.glRenderbufferStorageEXT)},
      {"glBindFramebufferEXT", reinterpret_cast<void**>(&f.glBindFramebufferEXT)},
      {"glDeleteFramebuffersEXT", reinterpret_cast<void**>(&f.glDeleteFramebuffersEXT)},
      {"glGenFramebuffersEXT", reinterpret_cast<void**>(&f.glGenFramebuffersEXT)},
      {"glCheckFramebufferStatusEXT", reinterpret_cast<void**>(&f.glCheckFramebufferStatusEXT)},
      {"glFramebufferTexture2DEXT", reinterpret_cast<void**>(&f.glFramebufferTexture2DEXT)},
      {"glFramebufferRenderbufferEXT", reinterpret_cast<void**>(&f.glFramebufferRenderbufferEXT)},
      {"glGetFramebufferAttachmentParameterivEXT",
       reinterpret_cast<void**>(&f.glGetFramebufferAttachmentParameterivEXT)},
  };
  for (const EntryPoint& entry : entries) {
    *entry.slot = usable ? gl_entry_point(entry.name) : nullptr;
    if (!*entry.slot) log_format("ext: %-35s   [FAILED]", entry.name);
  }
  // Every call a screen without depth needs; depth buffers are tried only when theirs exist.
  f.fbo_supported = f.glGenFramebuffersEXT && f.glBindFramebufferEXT && f.glDeleteFramebuffersEXT &&
                    f.glCheckFramebufferStatusEXT && f.glFramebufferTexture2DEXT;
  if (!f.fbo_supported) log_write("can't use framebuffer object\n");
}

namespace {

GLint current_framebuffer_binding() {
  GLint binding = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
  return binding;
}

// A depth renderbuffer of w × h attached to the bound framebuffer r: 32 bits, else 24, else
// 16. False when no renderbuffer could be made at all.
bool attach_depth_buffer(OffscreenScreen& r, int32_t w, int32_t h) {
  FramebufferFunctions& f = framebuffer_functions();
  GLuint depth = 0;
  if (f.glGenRenderbuffersEXT && f.glBindRenderbufferEXT && f.glRenderbufferStorageEXT &&
      f.glFramebufferRenderbufferEXT && f.glDeleteRenderbuffersEXT) {
    f.glGenRenderbuffersEXT(1, &depth);
  }
  if (!depth) {
    log_write("glGenRenderbuffersExt failed\n");
    return false;
  }
  r.depth_buffer = depth;
  f.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
  clear_gl_errors();
  f.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT32, w, h);
  if (glGetError() != GL_NO_ERROR) {
    log_write("depth 32 failed, try 24\n");
    f.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, w, h);
    if (glGetError() != GL_NO_ERROR) {
      log_write("depth 32 failed, try 16\n");
      f.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT16, w, h);
    }
  }
  f.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  f.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
  return true;
}

}  // namespace

bool OpenGLZodidoze::build_framebuffer(OffscreenScreen& r, int32_t w, int32_t h, uint32_t texture,
                                       bool with_depth) {
  FramebufferFunctions& f = framebuffer_functions();
  destroy_framebuffer(r);
  if (w < 1 || h < 1) {
    log_format("can't create FBO for neg dims %dx%d\n", w, h);
    return false;
  }
  GLuint framebuffer = 0;
  if (f.fbo_supported) f.glGenFramebuffersEXT(1, &framebuffer);
  if (!framebuffer) {
    log_write("glGenFramebuffersExt failed\n");
    return false;
  }
  r.framebuffer = framebuffer;
  bind_framebuffer(r);
  gl_forget_texture_contents(texture);  // what is drawn into it is not known here
  f.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
  if (with_depth && !attach_depth_buffer(r, w, h)) {
    destroy_framebuffer(r);
    log_write("Trying without a depth buffer as a fallback...\n");
    return build_framebuffer(r, w, h, texture, false);
  }
  const GLenum status = f.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  if (status == 0) log_format("glCheckFramebufferStatusExt()=0: glError=%x\n", glGetError());
  unbind_framebuffer(r);
  if (status == GL_FRAMEBUFFER_COMPLETE_EXT) {
    r.width = w;
    r.height = h;
    return true;
  }
  log_format("glBindRenderbufferExt failed %x\n", status);
  const bool had_depth = r.depth_buffer != 0;
  destroy_framebuffer(r);
  if (had_depth) {
    log_write("Trying without a depth buffer as a fallback...\n");
    return build_framebuffer(r, w, h, texture, false);
  }
  log_write("CAN'T CREATE FRAMEBUFFER (CREATESCREEN)\n");
  return false;
}

bool OpenGLZodidoze::bind_framebuffer(OffscreenScreen& r) {
  if (r.saved_binding != -1) {
    log_write("Trying to rebind the same FBO again. Need to end first\n");
    return false;
  }
  FramebufferFunctions& f = framebuffer_functions();
  if (!r.framebuffer || !f.glBindFramebufferEXT) return false;
  flush_drawing();
  r.saved_binding = current_framebuffer_binding();
  f.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, r.framebuffer);
  return true;
}

void OpenGLZodidoze::unbind_framebuffer(OffscreenScreen& r) {
  if (r.saved_binding == -1) return;
  FramebufferFunctions& f = framebuffer_functions();
  flush_drawing();  // what was queued belongs to this framebuffer
  if (f.glBindFramebufferEXT) f.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(r.saved_binding));
  r.saved_binding = -1;
}

void OpenGLZodidoze::destroy_framebuffer(OffscreenScreen& r) {
  FramebufferFunctions& f = framebuffer_functions();
  unbind_framebuffer(r);
  if (r.framebuffer && f.glDeleteFramebuffersEXT) f.glDeleteFramebuffersEXT(1, &r.framebuffer);
  if (r.depth_buffer && f.glDeleteRenderbuffersEXT) f.glDeleteRenderbuffersEXT(1, &r.depth_buffer);
  r = OffscreenScreen();
}

void OpenGLZodidoze::end_offscreen() {
  RuntimeState& rt = g_runtime;
  const int32_t s = rt.current_offscreen;
  if (s == -1 || ending_offscreen) return;
  ending_offscreen = 1;
  flush_drawing();
  if (s >= 0 && s < OFFSCREEN_COUNT) {
    OffscreenScreen& r = offscreen[s];
    if (r.saved_binding != -1) {
      unbind_framebuffer(r);
    } else if (!framebuffers_supported()) {
      finish_emulated_screen(*this, r);
    }
  }
  ending_offscreen = 0;
  rt.current_offscreen = -1;
  rt.target_screen = -1;
  reset_viewport();
}

void OpenGLZodidoze::destroy_all_screens() {
  end_offscreen();
  for (OffscreenScreen& r : offscreen) {
    if (r.framebuffer || r.depth_buffer || r.width || r.sprite != -1) destroy_framebuffer(r);
  }
}

int32_t OpenGLZodidoze::screen_of_sprite(int32_t id) const {
  if (id < 0) return -1;
  for (int32_t s = 0; s < OFFSCREEN_COUNT; ++s) {
    if (offscreen[s].sprite == id) return s;
  }
  return -1;
}

void OpenGLZodidoze::screen_sprite_changed(int32_t id) {
  const int32_t s = screen_of_sprite(id);
  if (s < 0) return;
  OffscreenScreen& r = offscreen[s];
  const SpriteSlot* slot = sprite_slot(id);
  if (!slot || !slot->texture || slot->width < 1) {
    if (s == g_runtime.current_offscreen) end_offscreen();
    destroy_framebuffer(r);  // nothing left to draw into
    return;
  }
  if (!framebuffers_supported()) {
    r.width = slot->texture_width;
    r.height = slot->texture_height;
    return;
  }
  if (s == g_runtime.current_offscreen) end_offscreen();
  if (build_framebuffer(r, slot->texture_width, slot->texture_height, slot->texture, true)) r.sprite = id;
}

// ---- Commands ----------------------------------------------------------------------------------

bool create_screen(int32_t screen, int32_t sprite, int32_t width, int32_t height) {
  OpenGLZodidoze* device = g_runtime.device;
  if (!device || screen < 0 || screen >= OFFSCREEN_COUNT) return false;
  device->end_offscreen();
  reset_viewport();
  OffscreenScreen& r = device->offscreen[screen];
  device->destroy_framebuffer(r);
  if (sprite >= 0) {
    // One sprite is the target of one screen at most.
    const int32_t other = device->screen_of_sprite(sprite);
    if (other >= 0) device->destroy_framebuffer(device->offscreen[other]);
    device->delete_sprite(sprite);
  }
  if (width < 1 || height < 1 || sprite < 0 || !device->sprite_slot(sprite)) return false;
  const bool emulated = !framebuffers_supported();
  if (emulated && sprite == SCREEN_SCRATCH_SPRITE) return false;
  const int32_t tw = screen_texture_size(width), th = screen_texture_size(height);
  const int32_t limit = gl_max_texture_size();
  if (tw == 0 || th == 0 || tw > limit || th > limit || int64_t{tw} * th > MAX_SCREEN_TEXELS) {
    log_format("can't create FBO for big dims %dx%d\n", width, height);
    return false;
  }
  if (emulated && (width > g_runtime.window_width || height > g_runtime.window_height)) {
    log_format("can't emulate a screen larger than the window %dx%d\n", width, height);
    return false;
  }
  if (!device->create_empty_sprite(sprite, width, height, tw, th)) return false;
  if (emulated) {
    r.width = tw;
    r.height = th;
  } else if (!device->build_framebuffer(r, tw, th, device->sprite_slot(sprite)->texture, true)) {
    return false;
  }
  r.sprite = sprite;
  reset_viewport();
  return true;
}

void use_screen(int32_t screen) {
  RuntimeState& rt = g_runtime;
  OpenGLZodidoze* device = rt.device;
  if (!device) return;
  device->end_offscreen();
  if (screen < 0) return;
  reset_viewport();
  if (screen >= OFFSCREEN_COUNT) return;
  OffscreenScreen& r = device->offscreen[screen];
  const SpriteSlot* slot = device->sprite_slot(r.sprite);
  if (r.width == 0 || !slot || !slot->texture || slot->width < 1) return;
  const int32_t w = slot->width, h = slot->height;
  if (framebuffers_supported()) {
    if (!device->bind_framebuffer(r)) return;
    rt.current_offscreen = screen;
    rt.target_screen = screen;
    reset_viewport();  // (0, 0, w, h), scale 1
  } else {
    if (w > rt.window_width || h > rt.window_height) return;  // the window shrank since
    begin_emulated_screen(*device, screen, w, h);
  }
  device->free_alpha_mask(r.sprite);  // its pixels are about to change
}

}  // namespace qrn
