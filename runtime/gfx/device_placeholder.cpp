// Sprite, font and off-screen placeholders of the device until the graphics module is built:
// the tables exist and stay empty.
#include "gfx/device.h"
#include "gfx/fonts.h"
#include "gfx/drawing.h"
#include "host/runtime_state.h"

namespace qrn {

OpenGLZodidoze::OpenGLZodidoze() {
  sprites = new SpriteSlot[SPRITE_COUNT];
  alpha_masks = new uint8_t*[SPRITE_COUNT]();
  for (float& scale : font_scale) scale = 1.0f;
}

OpenGLZodidoze::~OpenGLZodidoze() {
  release_all();
  delete[] sprites;
  delete[] alpha_masks;
}

bool OpenGLZodidoze::create_sprite_from_image(int32_t, Image&, bool) { return false; }
bool OpenGLZodidoze::load_sprite_file(int32_t, const RtString&, int32_t, bool) { return false; }
void OpenGLZodidoze::delete_sprite(int32_t) {}
void OpenGLZodidoze::bind_sprite(int32_t, int32_t, bool, const void*) {}
bool OpenGLZodidoze::load_background(int32_t, const RtString&) { return false; }
void OpenGLZodidoze::delete_background(int32_t) {}
void OpenGLZodidoze::draw_background(int32_t) {}
void OpenGLZodidoze::release_all() { release_window(); }
bool OpenGLZodidoze::load_font_file(int32_t, const RtString&) { return false; }
void OpenGLZodidoze::install_builtin_font(int32_t) {}
void OpenGLZodidoze::init_framebuffers() {}
void OpenGLZodidoze::end_offscreen() {}

void load_font(const RtString&, int32_t index) { g_runtime.current_font = index; }
void set_font(int32_t index, double) { g_runtime.current_font = index; }
void set_background_colour(uint32_t) {}

}  // namespace qrn
