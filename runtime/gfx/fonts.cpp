// Bitmap fonts (see fonts.h): measuring font images, the built-in font, loading, printing and
// the text measurement commands.
#include "gfx/fonts.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/file_names.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/image.h"
#include "gfx/image_codecs.h"
#include "gfx/sprite_geometry.h"

namespace qrn {

const uint32_t BUILTIN_GLYPHS[96] = {
    // 32..47
    0x00000000, 0x08021080, 0x00002940, 0x15F57D40, 0x08E619C4, 0x14222140, 0x0ED114E0, 0x00001080,
    0x08210880, 0x04421040, 0x09575480, 0x08471080, 0x04400000, 0x00070000, 0x08000000, 0x04222100,
    // 48..63
    0x00E5294E, 0x004210C4, 0x00E1390E, 0x00E4390E, 0x0084394A, 0x00E4384E, 0x00E5384E, 0x0042210E,
    0x00E5394E, 0x00E4394E, 0x00020080, 0x00220080, 0x00820888, 0x000701C0, 0x00222082, 0x0040310E,
    // 64..79
    0x00E0B526, 0x00A5394E, 0x00E5194E, 0x00E5094E, 0x00E52946, 0x00E1384E, 0x0021384E, 0x00E5284E,
    0x00A5394A, 0x00E2108E, 0x00E5210C, 0x00A5194A, 0x00E10842, 0x015AD6BF, 0x00A5294E, 0x00E5294E,
    // 80..95
    0x0021394E, 0x00F294A7, 0x00A5194E, 0x00E4384E, 0x0042108E, 0x00E5294A, 0x0045294A, 0x01FAD6B5,
    0x00A5114A, 0x0042394A, 0x00E1110E, 0x00610846, 0x01041041, 0x00621086, 0x00000144, 0x00E00000,
    // 96..111
    0x00000082, 0x00E53000, 0x00E53842, 0x00E13800, 0x00E53908, 0x08273800, 0x00423888, 0x08873800,
    0x00A51842, 0x00421004, 0x04421004, 0x00A32842, 0x00421084, 0x015ABC00, 0x00A51800, 0x00E53800,
    // 112..127
    0x04E51800, 0x10E53000, 0x00253800, 0x00E409C0, 0x00C23884, 0x00C52800, 0x00452800, 0x00EAD400,
    0x00A22800, 0x1C872800, 0x00E121C0, 0x00821888, 0x00421084, 0x00223082, 0x0002A800, 0x3F18C63F,
};

namespace {

OpenGLZodidoze* device() { return g_runtime.device; }

bool valid_font(int32_t index) { return index >= 0 && index < FONT_COUNT; }

uint8_t to_byte(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// The grid of the image held by a font's sprite slot.
FontGrid slot_grid(const SpriteSlot& slot) { return font_grid(slot.width, slot.height); }

}  // namespace

// ---- Plain font data --------------------------------------------------------------------------

FontGrid font_grid(int32_t image_width, int32_t image_height) {
  FontGrid grid;
  grid.cell_width = image_width / 16;
  if (image_width >= image_height) {
    grid.rows = 8;
    grid.glyph_count = 128;
  } else {
    grid.rows = 16;
    grid.glyph_count = 256;
  }
  grid.cell_height = image_height / grid.rows;
  return grid;
}

void measure_font(const Image& image, FontSlot& font) {
  const FontGrid grid = font_grid(image.width, image.height);
  const float texture_width = static_cast<float>(texture_size_for(image.width));
  const int32_t cw = grid.cell_width, ch = grid.cell_height;
  for (int32_t c = 0; c < grid.glyph_count; ++c) {
    const int32_t cell_x = (c % 16) * cw, cell_y = (c / 16) * ch;
    int32_t first = -1, last = -1;
    for (int32_t x = 0; x < cw; ++x) {
      for (int32_t y = 0; y < ch; ++y) {
        if (image.at(cell_x + x, cell_y + y)[3] != 0) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    }
    GlyphInfo& glyph = font.glyphs[c];
    int32_t left = 0, advance = cw;
    if (first >= 0) {
      const int32_t ink = last - first + 1;
      left = first;
      advance = ink + (left + ink < cw ? 1 : 0);  // one pixel of spacing when it fits
    }
    glyph.left = to_byte(left);
    glyph.advance = to_byte(advance);
    glyph.u0 = static_cast<float>(cell_x + left) / texture_width;
    glyph.u1 = static_cast<float>(cell_x + left + advance) / texture_width;
    if (c == 'j') {  // a space is as wide as a "j"
      GlyphInfo& space = font.glyphs[static_cast<unsigned char>(' ')];
      space.advance = glyph.advance;
      space.u0 = 0.0f;
      space.u1 = glyph.u1 - glyph.u0;
    }
    if (grid.glyph_count == 128) font.glyphs[c + 128] = glyph;
  }
}

void build_builtin_font_image(Image& image) {
  if (!image.resize(128, 64)) return;
  image.alpha_from_file = 1;
  for (int32_t c = 32; c < 128; ++c) {
    const uint32_t pattern = BUILTIN_GLYPHS[c - 32];
    auto lit = [pattern](int32_t x, int32_t y) {  // cell coordinates; the pattern sits at (1, 1)
      const int32_t k = x - 1, r = y - 1;
      return k >= 0 && k < 5 && r >= 0 && r < 6 && ((pattern >> (5 * r + k)) & 1) != 0;
    };
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        uint8_t* p = image.at((c % 16) * 8 + x, (c / 16) * 8 + y);
        if (lit(x, y)) {
          p[0] = p[1] = p[2] = p[3] = 255;
        } else if (lit(x - 1, y) || lit(x + 1, y) || lit(x, y - 1) || lit(x, y + 1)) {
          p[0] = p[1] = p[2] = 8;  // the outline
          p[3] = 255;
        }
      }
    }
  }
}

// ---- Device operations ------------------------------------------------------------------------

bool OpenGLZodidoze::load_font_file(int32_t slot, const RtString& path) {
  if (!valid_font(slot)) return false;
  font_scale[slot] = 1.0f;
  Image image;
  const int32_t key = static_cast<int32_t>(font_colour_key);
  if (path.empty() || !(decode_bmp(image, path, key) || decode_png(image, path, key))) {
    delete_sprite(FONT_SLOT_BASE + slot);
    return false;
  }
  FontSlot measured;
  measure_font(image, measured);
  if (!create_sprite_from_image(FONT_SLOT_BASE + slot, image, false)) return false;
  fonts[slot] = measured;
  return true;
}

void OpenGLZodidoze::install_builtin_font(int32_t slot) {
  if (!valid_font(slot)) return;
  font_scale[slot] = 4.0f;
  Image image;
  build_builtin_font_image(image);
  create_sprite_from_image(FONT_SLOT_BASE + slot, image, false);
  for (int32_t c = 0; c < 256; ++c) {
    GlyphInfo& glyph = fonts[slot].glyphs[c];
    glyph.left = 0;
    glyph.advance = 8;
    glyph.u0 = static_cast<float>(c % 16) * 8.0f / 128.0f;
    glyph.u1 = static_cast<float>(c % 16 + 1) * 8.0f / 128.0f;
  }
}

void OpenGLZodidoze::print_glyphs(int32_t slot, const RtString& text, double x, double y,
                                  double z, bool proportional, bool use_scale) {
  if (text.empty() || !valid_font(slot)) return;
  const int32_t sprite = FONT_SLOT_BASE + slot;
  const SpriteSlot& font_sprite = sprites[sprite];
  if (!font_sprite.texture || font_sprite.width < 16) return;
  const FontGrid grid = slot_grid(font_sprite);
  const float row_height = font_sprite.v_max / static_cast<float>(grid.rows);
  const float s = use_scale ? font_scale[slot] : 1.0f;
  const float top = static_cast<float>(std::ceil(y));
  const float bottom = top + static_cast<float>(grid.cell_height) * s;
  float pen = static_cast<float>(std::ceil(x));
  const float depth = static_cast<float>(z);

  // One strip: consecutive quads share their joining edge, so the triangles that connect
  // them have no area.
  text_vertices.clear();
  if (text_vertices.capacity() < 512 * 5) text_vertices.reserve(512 * 5);
  for (uint32_t i = 0; i < text.length; ++i) {
    const int32_t c = static_cast<uint8_t>(text.data[i]) % grid.glyph_count;
    if (c == 0) break;
    const GlyphInfo& glyph = fonts[slot].glyphs[c];
    const int32_t advance = proportional ? glyph.advance : grid.cell_width;
    float u0, u1;
    if (proportional) {
      u0 = glyph.u0;
      u1 = glyph.u1;
    } else {
      u0 = static_cast<float>(c % 16) * font_sprite.u_max / 16.0f;
      u1 = u0 + font_sprite.u_max / 16.0f;
    }
    const float v0 = static_cast<float>(grid.rows - 1 - c / 16) * row_height;
    const float v1 = v0 + row_height;
    const float right = pen + static_cast<float>(advance) * s;
    if (text_vertices.size() + 20 > text_vertices.capacity()) {
      text_vertices.reserve(text_vertices.capacity() + 128 * 5);
    }
    const float quad[20] = {pen,   top,    depth, u0, v1, pen,   bottom, depth, u0, v0,
                            right, top,    depth, u1, v1, right, bottom, depth, u1, v0};
    text_vertices.insert(text_vertices.end(), quad, quad + 20);
    pen = right;
  }
  if (text_vertices.empty()) return;
  bind_sprite(sprite, -1, false, nullptr);
  gl_set_colour(1.0f, 1.0f, 1.0f, global_alpha);
  flush_drawing();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 5 * sizeof(float), text_vertices.data());
  glTexCoordPointer(2, GL_FLOAT, 5 * sizeof(float), text_vertices.data() + 3);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, static_cast<GLsizei>(text_vertices.size() / 5));
}

// ---- Commands ---------------------------------------------------------------------------------

void load_font(const RtString& path, int32_t index) {
  clear_error();
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  if (path.empty()) {
    if (valid_font(index)) dev->load_font_file(index, path);  // empties the slot
    return;
  }
  int32_t slot = index;
  if (!valid_font(index)) {
    set_error(ERROR_OUT_OF_MEMORY);  // 7: no such font slot; the current one is used
    slot = g_runtime.current_font;
    if (!valid_font(slot)) return;
  } else {
    g_runtime.current_font = index;
    dev->font_scale[index] = 1.0f;
  }
  RtString name = path;
  if (resolve_file_name(name) && dev->load_font_file(slot, name)) return;
  set_error(ERROR_NO_FILE);
  // The built-in font takes the slot the file was meant for (the current one for an index
  // out of range, which the failed load has just emptied).
  dev->install_builtin_font(slot);
}

void set_font(int32_t index, double scale) {
  if (!valid_font(index)) {
    set_error(ERROR_OUT_OF_MEMORY);
    return;
  }
  g_runtime.current_font = index;
  if (device()) device()->font_scale[index] = static_cast<float>(scale);
}

int32_t get_font() { return g_runtime.current_font; }

void print_text(const RtString& text, double x, double y, int32_t proportional) {
  OpenGLZodidoze* dev = device();
  if (dev) dev->print_glyphs(g_runtime.current_font, text, x, y, 0.0, proportional != 0, true);
}

int32_t text_width(const RtString& text, int32_t proportional) {
  OpenGLZodidoze* dev = device();
  const int32_t slot = g_runtime.current_font;
  if (!dev || !valid_font(slot)) return 0;
  const float scale = dev->font_scale[slot];
  double width = 0;
  if (proportional) {
    for (const char* p = text.data; *p; ++p) width += dev->fonts[slot].glyphs[static_cast<uint8_t>(*p)].advance;
  } else {
    const FontGrid grid = slot_grid(dev->sprites[FONT_SLOT_BASE + slot]);
    for (const char* p = text.data; *p; ++p) width += grid.cell_width;
  }
  return static_cast<int32_t>(width * scale);
}

void get_font_size(double& width, double& height) {
  OpenGLZodidoze* dev = device();
  const int32_t slot = g_runtime.current_font;
  width = height = 0;
  if (!dev || !valid_font(slot)) return;
  const FontGrid grid = slot_grid(dev->sprites[FONT_SLOT_BASE + slot]);
  width = grid.cell_width * static_cast<double>(dev->font_scale[slot]);
  height = grid.cell_height * static_cast<double>(dev->font_scale[slot]);
}

void get_font_size(int32_t& width, int32_t& height) {
  double w, h;
  get_font_size(w, h);
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
}

}  // namespace qrn
