// The device's sprite table and background images: building textures from images (power of
// two sizes, rows bottom-up, normal maps, mipmapped twins), loading, deleting, binding,
// reading pixels and alpha masks back.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/runtime_state.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/image.h"
#include "gfx/image_codecs.h"
#include "gfx/image_file.h"
#include "gfx/sprite_geometry.h"
#include "gfx/texture_persistence_internal.h"

namespace qrn {

namespace {

using ActiveTextureFn = void (*)(GLenum);

ActiveTextureFn active_texture_fn() {
  static ActiveTextureFn fn = reinterpret_cast<ActiveTextureFn>(gl_entry_point("glActiveTextureARB"));
  return fn;
}

// The rectangle an upload covers, after the rules for 0 sizes and the driver's limit.
struct UploadBox {
  int32_t x, y, w, h, texture_w, texture_h;
};

bool upload_box(const Image& image, int32_t x, int32_t y, int32_t w, int32_t h, UploadBox& box) {
  int32_t max = gl_max_texture_size();
  if (max <= 0 || !image.pixels || x < 0 || y < 0 || x >= image.width || y >= image.height)
    return false;
  if (w <= 0) w = image.width - x;  // 0: up to the right or bottom edge
  if (h <= 0) h = image.height - y;
  w = std::min({w, image.width - x, max});
  h = std::min({h, image.height - y, max});
  box = {x, y, w, h, std::min(texture_size_for(w), max), std::min(texture_size_for(h), max)};
  return true;
}

// A zeroed (transparent) tw × th RGBA buffer holding the rectangle upside down, as GL counts
// rows from the bottom: in the bottom-left corner (image row y in texture row h - 1 - y) for
// sprites, whose v_max addresses that part; in the top-left corner (row th - 1 - y) for
// background tiles, which are drawn whole from the top.
void build_texture_pixels(const Image& image, const UploadBox& box, std::vector<uint8_t>& out,
                          bool at_top = false) {
  out.assign(static_cast<size_t>(box.texture_w) * box.texture_h * 4, 0);
  const int32_t top_row = at_top ? box.texture_h - 1 : box.h - 1;
  for (int32_t row = 0; row < box.h; ++row) {
    const uint8_t* from = image.at(box.x, box.y + row);
    uint8_t* to = &out[(static_cast<size_t>(top_row - row) * box.texture_w) * 4];
    std::memcpy(to, from, static_cast<size_t>(box.w) * 4);
  }
}

// Replaces the colours by the normal map of the blue channel taken as a height field (Sobel
// differences, wrapping at the edges); alpha stays.
void make_normal_map(std::vector<uint8_t>& pixels, int32_t w, int32_t h) {
  std::vector<uint8_t> height(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < height.size(); ++i) height[i] = pixels[i * 4 + 2];
  auto at = [&](int32_t x, int32_t y) -> int32_t {
    x = (x % w + w) % w;
    y = (y % h + h) % h;
    return height[static_cast<size_t>(y) * w + x];
  };
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      int32_t gx = (at(x + 1, y - 1) + 2 * at(x + 1, y) + at(x + 1, y + 1)) -
                   (at(x - 1, y - 1) + 2 * at(x - 1, y) + at(x - 1, y + 1));
      int32_t gy = (at(x - 1, y + 1) + 2 * at(x, y + 1) + at(x + 1, y + 1)) -
                   (at(x - 1, y - 1) + 2 * at(x, y - 1) + at(x + 1, y - 1));
      // Slopes of at most one height unit per pixel map to 45 degrees.
      double nx = -gx / (4.0 * 255.0), ny = -gy / (4.0 * 255.0), nz = 1.0;
      double length = std::sqrt(nx * nx + ny * ny + nz * nz);
      uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>(std::lround((nx / length * 0.5 + 0.5) * 255.0));
      p[1] = static_cast<uint8_t>(std::lround((ny / length * 0.5 + 0.5) * 255.0));
      p[2] = static_cast<uint8_t>(std::lround((nz / length * 0.5 + 0.5) * 255.0));
    }
  }
}

// Halves an RGBA image: in x when halve_x, in y when halve_y, each new pixel the average of
// the two or four it covers.
std::vector<uint8_t> halve(const std::vector<uint8_t>& in, int32_t w, int32_t h, bool halve_x,
                           bool halve_y) {
  const int32_t nw = halve_x ? std::max(w / 2, 1) : w;
  const int32_t nh = halve_y ? std::max(h / 2, 1) : h;
  const int32_t sx = halve_x && w > 1 ? 2 : 1, sy = halve_y && h > 1 ? 2 : 1;
  std::vector<uint8_t> out(static_cast<size_t>(nw) * nh * 4);
  for (int32_t y = 0; y < nh; ++y) {
    for (int32_t x = 0; x < nw; ++x) {
      for (int c = 0; c < 4; ++c) {
        uint32_t sum = 0;
        for (int32_t dy = 0; dy < sy; ++dy) {
          for (int32_t dx = 0; dx < sx; ++dx) {
            sum += in[((static_cast<size_t>(y) * sy + dy) * w + x * sx + dx) * 4 + c];
          }
        }
        out[(static_cast<size_t>(y) * nw + x) * 4 + c] =
            static_cast<uint8_t>((sum + sx * sy / 2) / (sx * sy));
      }
    }
  }
  return out;
}

// Creates (or re-creates under the same name) a 2D texture from tw × th RGBA pixels.
bool send_texture(uint32_t* name, const uint8_t* pixels, int32_t tw, int32_t th, bool nearest,
                  bool clamp) {
  flush_drawing();
  if (*name) {
    gl_forget_texture(*name);
    glDeleteTextures(1, name);  // the name is bound again at once below, so it is reused
  } else {
    glGenTextures(1, name);
    if (*name == 0) return false;
  }
  gl_bind_texture(*name);
  gl_set_texture_params(*name, !nearest, clamp);
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  if (glGetError() != GL_NO_ERROR) {
    gl_forget_texture(*name);
    glDeleteTextures(1, name);
    *name = 0;
    return false;
  }
  return true;
}

// The mipmapped twin: the texture made square by halving its longer side, then every level
// down to 1 × 1, each the box-filtered half of the one before.
bool send_mip_texture(uint32_t* name, std::vector<uint8_t> pixels, int32_t w, int32_t h) {
  while (w != h) {
    pixels = halve(pixels, w, h, w > h, h > w);
    if (w > h) w /= 2; else h /= 2;
  }
  if (*name) {
    gl_forget_texture(*name);
    glDeleteTextures(1, name);
  } else {
    glGenTextures(1, name);
    if (*name == 0) return false;
  }
  gl_forget_texture(*name);  // its filters are set here, not through the cache
  gl_bind_texture(*name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  while (glGetError() != GL_NO_ERROR) {
  }
  for (int32_t level = 0;; ++level) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, w, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (w == 1) break;
    pixels = halve(pixels, w, w, true, true);
    w /= 2;
  }
  if (glGetError() != GL_NO_ERROR) {
    gl_forget_texture(*name);
    glDeleteTextures(1, name);
    *name = 0;
    return false;
  }
  return true;
}

void delete_texture(uint32_t& name) {
  if (!name) return;
  gl_forget_texture(name);
  glDeleteTextures(1, &name);
  name = 0;
}

}  // namespace

// ---- Construction --------------------------------------------------------------------------

OpenGLZodidoze::OpenGLZodidoze() {
  sprites = new SpriteSlot[SPRITE_COUNT];
  alpha_masks = new uint8_t*[SPRITE_COUNT]();
  for (float& scale : font_scale) scale = 1.0f;
  delete_persistence_file();  // no stale file of an earlier device survives
}

OpenGLZodidoze::~OpenGLZodidoze() {
  delete_persistence_file();
  delete_all_images();
  for (int32_t id = 0; id < SPRITE_COUNT; ++id) delete[] alpha_masks[id];
  delete[] alpha_masks;
  delete[] sprites;
}

// ---- Textures ------------------------------------------------------------------------------

bool OpenGLZodidoze::upload_texture(const Image& image, int32_t x, int32_t y, int32_t w, int32_t h,
                                    uint32_t* texture, uint32_t* mip_texture, bool normal_map,
                                    bool nearest) {
  UploadBox box;
  if (!texture || !upload_box(image, x, y, w, h, box)) return false;
  std::vector<uint8_t> pixels;
  build_texture_pixels(image, box, pixels);
  if (normal_map) make_normal_map(pixels, box.texture_w, box.texture_h);
  // Sprites wrap by default; drawing switches a sprite's texture to clamping when it is used.
  if (!send_texture(texture, pixels.data(), box.texture_w, box.texture_h, nearest, false))
    return false;
  gl_note_texture_contents(*texture, pixels.data(), box.texture_w, box.texture_h);
  if (mip_texture && !send_mip_texture(mip_texture, std::move(pixels), box.texture_w, box.texture_h)) {
    delete_texture(*texture);
    return false;
  }
  return true;
}

bool OpenGLZodidoze::create_sprite_from_image(int32_t id, Image& image, bool normal_map) {
  SpriteSlot* slot = sprite_slot(id);
  if (!slot) return false;
  // A screen's sprite gets its framebuffer rebuilt around the new texture (or is freed when
  // there is none).
  const int32_t screen = screen_of_sprite(id);
  delete_sprite(id);
  UploadBox box;
  bool made = image.width >= 1 && image.height >= 1 && upload_box(image, 0, 0, 0, 0, box);
  // Font textures: nearest filtering, no normal map, no mipmapped twin.
  const bool font = id >= FONT_SLOT_BASE;
  made = made && upload_texture(image, 0, 0, 0, 0, &slot->texture, font ? nullptr : &slot->mip_texture,
                                font ? false : normal_map, font);
  if (made) {
    set_slot_sizes(*slot, box.w, box.h, box.texture_w, box.texture_h);
  } else {
    delete_sprite(id);
  }
  if (screen >= 0) screen_sprite_changed(id);
  return made;
}

bool OpenGLZodidoze::create_empty_sprite(int32_t id, int32_t w, int32_t h, int32_t tw, int32_t th) {
  SpriteSlot* slot = sprite_slot(id);
  if (!slot || w < 1 || h < 1 || tw < w || th < h) return false;
  delete_sprite(id);
  const std::vector<uint8_t> clear(static_cast<size_t>(tw) * th * 4, 0);
  if (!send_texture(&slot->texture, clear.data(), tw, th, false, false)) {
    delete_sprite(id);
    return false;
  }
  set_slot_sizes(*slot, w, h, tw, th);
  return true;
}

bool OpenGLZodidoze::load_sprite_file(int32_t id, const RtString& path, int32_t colour_key,
                                      bool normal_map) {
  if (!sprite_slot(id)) return false;
  delete_sprite(id);
  if (path.empty()) return false;
  Image image;
  if (!decode_any(image, path, colour_key)) return false;
  if (!image.alpha_from_file) edge_fill(image);
  return create_sprite_from_image(id, image, normal_map);
}

void OpenGLZodidoze::delete_sprite(int32_t id) {
  SpriteSlot* slot = sprite_slot(id);
  if (!slot) return;
  // Drawing into this sprite ends first (an emulated screen puts the window's pixels back).
  if (g_runtime.current_offscreen >= 0 && screen_of_sprite(id) == g_runtime.current_offscreen) end_offscreen();
  delete_texture(slot->texture);
  delete_texture(slot->mip_texture);
  free_alpha_mask(id);
  *slot = SpriteSlot();
  if (bound_sprite == id) bound_sprite = -1;
  if (bound_second_sprite == id) bound_second_sprite = -1;
}

void OpenGLZodidoze::bind_sprite(int32_t id, int32_t second_id, bool use_mip, const void*) {
  SpriteSlot* slot = sprite_slot(id);
  if (!slot || !slot->texture) {
    gl_set_enabled(GL_TEXTURE_2D, false);
    bound_sprite = -1;
  } else {
    gl_set_enabled(GL_TEXTURE_2D, true);
    gl_bind_texture(use_mip && slot->mip_texture ? slot->mip_texture : slot->texture);
    bound_sprite = id;
  }
  bound_uses_mip_texture = use_mip ? 1 : 0;
  SpriteSlot* second = sprite_slot(second_id);
  if (second && !second->texture) second = nullptr;
  if (!second && bound_second_sprite < 0) return;
  ActiveTextureFn active_texture = active_texture_fn();
  if (!active_texture) return;
  flush_drawing();
  active_texture(GL_TEXTURE1);
  if (second) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, use_mip && second->mip_texture ? second->mip_texture : second->texture);
    bound_second_sprite = second_id;
  } else {
    glDisable(GL_TEXTURE_2D);
    bound_second_sprite = -1;
  }
  active_texture(GL_TEXTURE0);
  gl_note_second_texture(second != nullptr);
}

bool OpenGLZodidoze::read_sprite_pixels(int32_t id, Image& image) {
  SpriteSlot* slot = sprite_slot(id);
  image.clear();
  if (!slot || !slot->texture || slot->width < 1 || slot->height < 1) return false;
  const int32_t tw = slot->texture_width, th = slot->texture_height;
  std::vector<uint8_t> texels(static_cast<size_t>(tw) * th * 4);
  gl_bind_texture(slot->texture);
  flush_drawing();
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  if (!image.resize(slot->width, slot->height)) return false;
  for (int32_t y = 0; y < slot->height; ++y) {
    std::memcpy(image.at(0, y), &texels[static_cast<size_t>(slot->height - 1 - y) * tw * 4],
                static_cast<size_t>(slot->width) * 4);
  }
  image.alpha_from_file = 1;
  return true;
}

const uint8_t* OpenGLZodidoze::alpha_mask(int32_t id) {
  SpriteSlot* slot = sprite_slot(id);
  if (!slot || !slot->texture || slot->width < 1) return nullptr;
  if (alpha_masks[id]) return alpha_masks[id];
  size_t bytes = static_cast<size_t>(slot->texture_width) * slot->texture_height;
  uint8_t* mask = new uint8_t[std::max<size_t>(bytes, 64)]();
  gl_bind_texture(slot->texture);
  flush_drawing();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  alpha_masks[id] = mask;
  return mask;
}

void OpenGLZodidoze::free_alpha_mask(int32_t id) {
  if (id < 0 || id >= SPRITE_COUNT || !alpha_masks[id]) return;
  delete[] alpha_masks[id];
  alpha_masks[id] = nullptr;
}

// ---- Background images ---------------------------------------------------------------------

bool OpenGLZodidoze::load_background(int32_t slot, const RtString& path) {
  if (slot < 0 || slot >= BACKGROUND_COUNT) return false;
  std::vector<uint8_t> bytes;
  if (!read_image_file(path.c_str(), bytes)) return false;
  // The same bytes make the same picture: the tiles already made stay (a program that loads
  // its background on every pass pays for the file's reading only).
  if (backgrounds[slot].columns && bytes == backgrounds[slot].source) return true;
  Image image;
  if (!decode_any_bytes(image, bytes.data(), bytes.size(), -1, path.c_str()) || image.width < 1 ||
      image.height < 1)
    return false;
  const int32_t tile = std::min(512, gl_max_texture_size());
  if (tile <= 0) return false;
  delete_background(slot);
  BackgroundImage& bg = backgrounds[slot];
  // The record holds 8 × 8 tiles: a larger image is clipped to its top-left part.
  const int32_t columns = std::min((image.width + tile - 1) / tile, 8);
  const int32_t rows = std::min((image.height + tile - 1) / tile, 8);
  std::vector<uint8_t> pixels;
  for (int32_t column = 0; column < columns; ++column) {
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t x = column * tile, y = row * tile;
      UploadBox box{x, y, std::min(tile, image.width - x), std::min(tile, image.height - y), tile, tile};
      build_texture_pixels(image, box, pixels, true);
      const int32_t index = column * 8 + row;
      if (!send_texture(&bg.textures[index], pixels.data(), tile, tile, true, true)) {
        delete_background(slot);
        return false;
      }
      bg.drawn_width[index] = bg.drawn_height[index] = static_cast<int16_t>(tile);
      bg.tile_texture_width[index] = bg.tile_texture_height[index] = static_cast<int16_t>(tile);
    }
  }
  bg.columns = static_cast<uint8_t>(columns);
  bg.rows = static_cast<uint8_t>(rows);
  bg.source = std::move(bytes);
  return true;
}

void OpenGLZodidoze::delete_background(int32_t slot) {
  if (slot < 0 || slot >= BACKGROUND_COUNT) return;
  BackgroundImage& bg = backgrounds[slot];
  for (uint32_t& texture : bg.textures) delete_texture(texture);
  bg = BackgroundImage();
}

void OpenGLZodidoze::draw_background(int32_t slot) {
  if (slot < 0 || slot >= BACKGROUND_COUNT || backgrounds[slot].columns == 0) return;
  const BackgroundImage& bg = backgrounds[slot];
  gl_set_enabled(GL_BLEND, false);
  gl_set_enabled(GL_ALPHA_TEST, false);
  gl_set_colour(1.0f, 1.0f, 1.0f, 1.0f);
  if (bound_second_sprite >= 0) bind_sprite(-1, -1, false, nullptr);  // unit 0 only
  gl_set_enabled(GL_TEXTURE_2D, true);
  int32_t left = 0;
  for (int32_t column = 0; column < bg.columns; ++column) {
    int32_t top = 0;
    for (int32_t row = 0; row < bg.rows; ++row) {
      const int32_t index = column * 8 + row;
      const float x0 = static_cast<float>(left), y0 = static_cast<float>(top);
      const float x1 = x0 + bg.drawn_width[index], y1 = y0 + bg.drawn_height[index];
      gl_bind_texture(bg.textures[index]);
      gl_set_texture_params(bg.textures[index], false, true);
      queue_quad({x1, y0, 1.0f, 1.0f}, {x0, y0, 0.0f, 1.0f}, {x0, y1, 0.0f, 0.0f}, {x1, y1, 1.0f, 0.0f}, true);
      top += bg.drawn_height[index];
    }
    left += bg.drawn_width[column * 8];
  }
  gl_set_enabled(GL_TEXTURE_2D, false);
  bound_sprite = -1;
}

// ---- Release -----------------------------------------------------------------------------------

void OpenGLZodidoze::delete_all_images() {
  destroy_all_screens();  // a screen without its sprite has nothing to draw into
  for (int32_t id = 0; id < SPRITE_COUNT; ++id) {
    if (sprites[id].texture || sprites[id].mip_texture || sprites[id].width || alpha_masks[id])
      delete_sprite(id);
  }
  for (int32_t slot = 0; slot < BACKGROUND_COUNT; ++slot) delete_background(slot);
}

}  // namespace qrn
