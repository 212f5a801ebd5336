// The drawing commands (see drawing.h). Sprite and rectangle quads go through the quad queue
// of gl_state; everything that reads pixels or changes state flushes it first.
#include "gfx/drawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/file_names.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/sprite_geometry.h"

namespace qrn {

namespace {

constexpr uint32_t NO_COLOUR = 0xFFFFFFFFu;

OpenGLZodidoze* device() { return g_runtime.device; }

float red_of(uint32_t colour) { return static_cast<float>(colour & 0xFF) / 255.0f; }
float green_of(uint32_t colour) { return static_cast<float>((colour >> 8) & 0xFF) / 255.0f; }
float blue_of(uint32_t colour) { return static_cast<float>((colour >> 16) & 0xFF) / 255.0f; }

// A solid colour: alpha 0 for the transparent colour, else the global alpha.
void set_solid_colour(const OpenGLZodidoze& dev, uint32_t colour) {
  float alpha = (colour & 0xFFFFFF) == dev.colour_key ? 0.0f : dev.global_alpha;
  gl_set_colour(red_of(colour), green_of(colour), blue_of(colour), alpha);
}

// Binds a sprite for a textured quad with the filtering of `smoothing` (or nearest where
// that gives the same pixels), clamped at the edges, in white with the global alpha. Null
// for an empty slot or an id outside the table.
const SpriteSlot* begin_sprite(OpenGLZodidoze& dev, int32_t id, bool texel_exact = false) {
  const SpriteSlot* slot = dev.sprite_slot(id);
  if (!slot || !slot->texture) return nullptr;
  dev.bind_sprite(id, -1, false, nullptr);
  gl_set_texture_params(slot->texture, dev.smoothing != 0 && !texel_exact, true);
  gl_set_colour(1.0f, 1.0f, 1.0f, dev.global_alpha);
  return slot;
}

// Binds an animation frame for drawing and gives its texture rectangle; null when the slot
// is empty or not an animation.
const SpriteSlot* begin_frame(int32_t id, int32_t frame, bool inset, TextureRect& t) {
  OpenGLZodidoze* dev = device();
  const SpriteSlot* slot = dev ? dev->sprite_slot(id) : nullptr;
  if (!slot || !animation_frame_rect(*slot, frame, inset, t)) return nullptr;
  return begin_sprite(*dev, id);
}

// The quad from (x0, y0) at the top-left to (x1, y1) with the texture rectangle.
void queue_box(float x0, float y0, float x1, float y1, const TextureRect& t) {
  queue_quad({x1, y0, t.u1, t.v1}, {x0, y0, t.u0, t.v1}, {x0, y1, t.u0, t.v0}, {x1, y1, t.u1, t.v0}, true);
}

void queue_rotated(double cx, double cy, double hw, double hh, double angle, const TextureRect& t) {
  float xs[4], ys[4];
  rotated_corners(cx, cy, hw, hh, angle, xs, ys);
  queue_quad({xs[0], ys[0], t.u0, t.v0}, {xs[1], ys[1], t.u1, t.v0}, {xs[2], ys[2], t.u1, t.v1},
             {xs[3], ys[3], t.u0, t.v1}, false);
}

// The window pixel (GL rows, from the bottom) under the centre of program pixel (x, y),
// through the current model-view, projection and viewport.
bool window_pixel(int32_t x, int32_t y, int32_t& wx, int32_t& wy) {
  GLdouble modelview[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  const double in[4] = {x + 0.5, y + 0.5, 0.0, 1.0};
  double eye[4], clip[4];
  for (int r = 0; r < 4; ++r) {
    eye[r] = 0;
    for (int k = 0; k < 4; ++k) eye[r] += modelview[k * 4 + r] * in[k];
  }
  for (int r = 0; r < 4; ++r) {
    clip[r] = 0;
    for (int k = 0; k < 4; ++k) clip[r] += projection[k * 4 + r] * eye[k];
  }
  if (clip[3] == 0.0) return false;
  double fx = viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * viewport[2];
  double fy = viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * viewport[3];
  if (!std::isfinite(fx) || !std::isfinite(fy) || std::fabs(fx) > 1e9 || std::fabs(fy) > 1e9)
    return false;
  wx = static_cast<int32_t>(std::floor(fx));
  wy = static_cast<int32_t>(std::floor(fy));
  return true;
}

// Reads one window pixel as red, green, blue, alpha bytes.
void read_window_pixel(const OpenGLZodidoze& dev, int32_t wx, int32_t wy, uint8_t rgba[4]) {
  flush_drawing();
  uint8_t bytes[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (dev.bgra_supported) {
    glReadPixels(wx, wy, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, bytes);
    rgba[0] = bytes[2];
    rgba[1] = bytes[1];
    rgba[2] = bytes[0];
    rgba[3] = bytes[3];
  } else {
    glReadPixels(wx, wy, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bytes);
    for (int i = 0; i < 4; ++i) rgba[i] = bytes[i];
  }
}

// Writes one program pixel with blending and alpha test off (the state is restored).
void write_pixel(OpenGLZodidoze& dev, int32_t x, int32_t y, const uint8_t rgba[4]) {
  const bool blend = gl_is_enabled(GL_BLEND), alpha_test = gl_is_enabled(GL_ALPHA_TEST);
  gl_set_enabled(GL_BLEND, false);
  gl_set_enabled(GL_ALPHA_TEST, false);
  dev.bind_sprite(-1, -1, false, nullptr);
  gl_set_colour(rgba[0] / 255.0f, rgba[1] / 255.0f, rgba[2] / 255.0f, rgba[3] / 255.0f);
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 1),
            static_cast<float>(y + 1), TextureRect{0, 0, 0, 0});
  flush_drawing();
  gl_set_enabled(GL_BLEND, blend);
  gl_set_enabled(GL_ALPHA_TEST, alpha_test);
}

// The colour key as the frame buffer stores it: drawn at (4, 4), read back, then the old
// pixel put back.
bool key_as_stored(OpenGLZodidoze& dev, uint8_t key[3]) {
  int32_t wx, wy;
  if (!window_pixel(4, 4, wx, wy)) return false;
  uint8_t saved[4], probe[4];
  read_window_pixel(dev, wx, wy, saved);
  const uint8_t key_rgba[4] = {static_cast<uint8_t>(dev.colour_key & 0xFF),
                               static_cast<uint8_t>((dev.colour_key >> 8) & 0xFF),
                               static_cast<uint8_t>((dev.colour_key >> 16) & 0xFF), 255};
  write_pixel(dev, 4, 4, key_rgba);
  read_window_pixel(dev, wx, wy, probe);
  write_pixel(dev, 4, 4, saved);
  for (int i = 0; i < 3; ++i) key[i] = probe[i];
  return true;
}

}  // namespace

// ---- Sprites ----------------------------------------------------------------------------------

void draw_sprite(int32_t id, int32_t x, int32_t y) {
  OpenGLZodidoze* dev = device();
  const SpriteSlot* slot = dev ? begin_sprite(*dev, id, gl_target_unscaled()) : nullptr;
  if (!slot) return;
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + slot->width),
            static_cast<float>(y + slot->height), TextureRect{0, 0, slot->u_max, slot->v_max});
}

void draw_sprite_rotated(int32_t id, double x, double y, double angle) {
  draw_sprite_rotozoom(id, x, y, angle, 1.0);
}

void draw_sprite_rotozoom(int32_t id, double x, double y, double angle, double zoom) {
  OpenGLZodidoze* dev = device();
  const SpriteSlot* slot = dev ? begin_sprite(*dev, id) : nullptr;
  if (!slot) return;
  const int32_t w = slot->width, h = slot->height;
  const float tw = slot->texture_width, th = slot->texture_height;
  // Half a texel in from each edge, so linear filtering never reaches the border texels.
  const TextureRect t{0.5f / tw, 0.5f / th, (w - 0.5f) / tw, (h - 0.5f) / th};
  const float hw = static_cast<float>(zoom * w * 0.5), hh = static_cast<float>(zoom * h * 0.5);
  queue_rotated(x + w / 2, y + h / 2, hw, hh, angle, t);
}

void draw_sprite_zoomed(int32_t id, double x, double y, double zoom_x, double zoom_y) {
  OpenGLZodidoze* dev = device();
  const SpriteSlot* slot = dev ? begin_sprite(*dev, id) : nullptr;
  if (!slot) return;
  const int32_t w = slot->width, h = slot->height;
  const int32_t sw = static_cast<int32_t>(zoom_x * w), sh = static_cast<int32_t>(zoom_y * h);
  const float left = static_cast<float>(x - (sw - w) / 2);
  const float top = static_cast<float>(y - (sh - h) / 2);
  queue_box(left, top, left + sw, top + sh, TextureRect{0, 0, slot->u_max, slot->v_max});
}

void draw_sprite_stretched(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
  OpenGLZodidoze* dev = device();
  const SpriteSlot* slot = dev ? begin_sprite(*dev, id) : nullptr;
  if (!slot) return;
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + width),
            static_cast<float>(y + height), TextureRect{0, 0, slot->u_max, slot->v_max});
}

// ---- Animation frames -------------------------------------------------------------------------

void draw_animation(int32_t id, int32_t frame, int32_t x, int32_t y) {
  TextureRect t;
  const SpriteSlot* slot = begin_frame(id, frame, false, t);
  if (!slot) return;
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + slot->frame_width),
            static_cast<float>(y + slot->frame_height), t);
}

void draw_animation_rotozoom(int32_t id, int32_t frame, double x, double y, double angle,
                             double zoom) {
  TextureRect t;
  const SpriteSlot* slot = begin_frame(id, frame, true, t);
  if (!slot) return;
  const int32_t fw = slot->frame_width, fh = slot->frame_height;
  queue_rotated(x + fw / 2, y + fh / 2, zoom * fw * 0.5, zoom * fh * 0.5, angle, t);
}

void draw_animation_stretched(int32_t id, int32_t frame, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
  TextureRect t;
  const SpriteSlot* slot = begin_frame(id, frame, false, t);
  if (!slot) return;
  // The far edges lie a tenth of a pixel further out.
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + width + 0.1),
            static_cast<float>(y + height + 0.1), t);
}

// ---- Solid shapes and pixels ------------------------------------------------------------------

void draw_rect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  normalise_rect(x, y, width, height);
  set_solid_colour(*dev, colour);
  dev->bind_sprite(-1, -1, false, nullptr);
  queue_box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x) + width,
            static_cast<float>(y) + height, TextureRect{0, 0, 0, 0});
  gl_set_colour_after_queue(1.0f, 1.0f, 1.0f, dev->global_alpha);
}

void plot(int32_t x, int32_t y, uint32_t colour) { draw_rect(x, y, 1, 1, colour); }

void draw_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  set_solid_colour(*dev, colour);
  dev->bind_sprite(-1, -1, false, nullptr);
  flush_drawing();
  // A shift of 3/8 pixel puts the end points inside pixels, so the segment and the extra point
  // at its end cover both end points exactly.
  const GLfloat points[6] = {static_cast<GLfloat>(x1), static_cast<GLfloat>(y1),
                             static_cast<GLfloat>(x2), static_cast<GLfloat>(y2),
                             static_cast<GLfloat>(x2), static_cast<GLfloat>(y2)};
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glTranslatef(0.375f, 0.375f, 0.0f);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, points);
  glDrawArrays(GL_LINES, 0, 2);
  glDrawArrays(GL_POINTS, 2, 1);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  gl_set_colour(1.0f, 1.0f, 1.0f, dev->global_alpha);
}

uint32_t get_pixel(int32_t x, int32_t y) {
  OpenGLZodidoze* dev = device();
  int32_t wx, wy;
  if (!dev || !window_pixel(x, y, wx, wy)) return 0;
  uint8_t rgba[4];
  read_window_pixel(*dev, wx, wy, rgba);
  return rgba[0] | (rgba[1] << 8) | (static_cast<uint32_t>(rgba[2]) << 16);
}

// ---- Background -------------------------------------------------------------------------------

void set_background_colour(uint32_t colour) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  dev->delete_background(0);
  if (colour == NO_COLOUR) {
    dev->clear_each_frame = 0;
    return;
  }
  dev->clear_each_frame = 1;
  flush_drawing();
  glClearColor(red_of(colour), green_of(colour), blue_of(colour),
               (colour & 0xFFFFFF) == dev->colour_key ? 0.0f : 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

void load_background(const RtString& path) {
  clear_error();
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  RtString name = path;
  if (resolve_file_name(name) && dev->load_background(0, name)) {
    dev->draw_background(0);
    return;
  }
  set_error(ERROR_NO_FILE);
  set_background_colour(0);
}

void capture_background() {
  OpenGLZodidoze* dev = device();
  if (!dev || g_runtime.window_width < 1 || g_runtime.window_height < 1) return;
  const int32_t max = gl_max_texture_size();
  if (max <= 0) return;
  // Square tiles: the smallest power of two from 128 that covers the window, or the limit.
  int32_t tile = 128;
  while (tile < std::max(g_runtime.window_width, g_runtime.window_height) && tile < max) tile *= 2;
  tile = std::min(tile, max);
  dev->delete_background(0);
  flush_drawing();
  BackgroundImage& bg = dev->backgrounds[0];
  const int32_t columns = std::min((g_runtime.window_width + tile - 1) / tile, 8);
  const int32_t rows = std::min((g_runtime.window_height + tile - 1) / tile, 8);
  const std::vector<uint8_t> clear(static_cast<size_t>(tile) * tile * 4, 0);
  for (int32_t column = 0; column < columns; ++column) {
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t index = column * 8 + row;
      GLuint name = 0;
      glGenTextures(1, &name);
      bg.textures[index] = name;
      gl_forget_texture(name);
      gl_bind_texture(name);
      gl_set_texture_params(name, false, true);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tile, tile, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear.data());
      // The tile's image rows top-down land in texture rows from the top of the tile; the
      // window's rows count from the bottom.
      const int32_t copy_w = std::min(tile, g_runtime.window_width - column * tile);
      const int32_t bottom_edge = std::min((row + 1) * tile, g_runtime.window_height);
      const int32_t copy_h = bottom_edge - row * tile;
      const int32_t window_y = g_runtime.window_height - bottom_edge;
      const int32_t texture_y = tile - copy_h;
      glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, texture_y, column * tile, window_y, copy_w, copy_h);
      bg.drawn_width[index] = bg.drawn_height[index] = static_cast<int16_t>(tile);
      bg.tile_texture_width[index] = bg.tile_texture_height[index] = static_cast<int16_t>(tile);
    }
  }
  bg.columns = static_cast<uint8_t>(columns);
  bg.rows = static_cast<uint8_t>(rows);
}

void grab_sprite(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
  OpenGLZodidoze* dev = device();
  SpriteSlot* slot = dev ? dev->sprite_slot(id) : nullptr;
  if (!slot) return;
  slot->frame_width = slot->frame_height = 0;
  dev->free_alpha_mask(id);
  if (width == 0 || height == 0) {
    dev->delete_sprite(id);
    return;
  }
  normalise_rect(x, y, width, height);
  const int32_t max = gl_max_texture_size();
  if (max <= 0) return;
  width = std::min(width, max);
  height = std::min(height, max);
  const int32_t tw = std::min(texture_size_for(width), max);
  const int32_t th = std::min(texture_size_for(height), max);
  const bool new_texture = !slot->texture || slot->texture_width != tw || slot->texture_height != th;
  if (new_texture) {
    dev->delete_sprite(id);
    GLuint name = 0;
    glGenTextures(1, &name);
    if (!name) return;
    slot->texture = name;
    gl_forget_texture(name);
    gl_bind_texture(name);
    gl_set_texture_params(name, true, false);
    const std::vector<uint8_t> clear(static_cast<size_t>(tw) * th * 4, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear.data());
  }
  set_slot_sizes(*slot, width, height, tw, th);
  // A screen drawing into this sprite follows it to the new texture.
  if (new_texture) dev->screen_sprite_changed(id);
  // The window pixel under the rectangle's bottom-left program pixel: the copy runs from
  // there up and to the right, which puts image row y in texture row height - 1 - y.
  int32_t wx, wy;
  if (!window_pixel(x, y + height - 1, wx, wy)) return;
  flush_drawing();
  gl_forget_texture_contents(slot->texture);
  gl_bind_texture(slot->texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, wx, wy, width, height);
  if (dev->colour_key == NO_COLOUR) return;
  uint8_t key[3];
  if (!key_as_stored(*dev, key)) return;
  std::vector<uint8_t> texels(static_cast<size_t>(tw) * th * 4);
  gl_bind_texture(slot->texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  bool changed = false;
  for (int32_t row = 0; row < height; ++row) {
    uint8_t* p = &texels[static_cast<size_t>(row) * tw * 4];
    for (int32_t column = 0; column < width; ++column, p += 4) {
      if (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) {
        p[0] = p[1] = p[2] = p[3] = 0;
        changed = true;
      }
    }
  }
  if (changed) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tw, th, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  }
}

// ---- Blending and alpha test ------------------------------------------------------------------

void set_alpha_mode(double mode) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  float a = static_cast<float>(mode);
  if (std::isnan(a)) a = 0.0f;
  if (a != 0.0f) {
    gl_set_enabled(GL_BLEND, true);
    gl_set_blend_func(GL_SRC_ALPHA, a > 0.0f ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  } else {
    gl_set_enabled(GL_BLEND, false);
    a = 1.0f;
  }
  dev->global_alpha = std::min(std::fabs(a), 1.0f);
  gl_set_colour(1.0f, 1.0f, 1.0f, dev->global_alpha);
}

void set_alpha_test(double threshold) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  if (!(threshold < 1.0)) {  // 1 or more (or not a number): off
    dev->alpha_test_threshold = 1.0f;
    gl_set_enabled(GL_ALPHA_TEST, false);
    return;
  }
  dev->alpha_test_threshold = static_cast<float>(threshold);
  gl_set_alpha_func(GL_GREATER, dev->alpha_test_threshold);
  gl_set_enabled(GL_ALPHA_TEST, true);
}

// ---- Polygons ---------------------------------------------------------------------------------

void start_polygon(int32_t id, int32_t mode) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  PolygonBuffer& p = dev->polygon;
  p.vertices.clear();
  p.sprite = id;
  p.mode = mode;
  p.per_vertex_colours = false;
  p.double_next = false;
  const SpriteSlot* slot = dev->sprite_slot(id);
  if (slot && slot->texture) {
    p.scale_x = 1.0f / slot->texture_width;
    p.scale_y = 1.0f / slot->texture_height;
  } else {
    p.scale_x = p.scale_y = 1.0f;
  }
}

void polygon_vertex(double x, double y, double texture_x, double texture_y, uint32_t colour) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  PolygonBuffer& p = dev->polygon;
  const SpriteSlot* slot = dev->sprite_slot(p.sprite);
  PolygonVertex v;
  v.x = static_cast<float>(x);
  v.y = static_cast<float>(y);
  v.u = slot ? static_cast<float>(texture_x * p.scale_x) : 0.0f;
  v.v = slot ? static_cast<float>((slot->height - texture_y) * p.scale_y) : 0.0f;
  const bool keyed = (colour & 0xFFFFFF) == dev->colour_key;
  if ((colour & 0xFFFFFF) != 0xFFFFFF || keyed) p.per_vertex_colours = true;
  v.colour[0] = static_cast<uint8_t>(colour & 0xFF);
  v.colour[1] = static_cast<uint8_t>((colour >> 8) & 0xFF);
  v.colour[2] = static_cast<uint8_t>((colour >> 16) & 0xFF);
  v.colour[3] = keyed ? 0 : static_cast<uint8_t>(std::lround(dev->global_alpha * 255.0f));
  p.vertices.push_back(v);
  if (p.double_next) {
    p.vertices.push_back(v);
    p.double_next = false;
  }
}

void polygon_new_strip() {
  OpenGLZodidoze* dev = device();
  if (!dev || dev->polygon.vertices.empty()) return;
  PolygonBuffer& p = dev->polygon;
  p.vertices.push_back(p.vertices.back());
  p.double_next = true;
}

void end_polygon() {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  PolygonBuffer& p = dev->polygon;
  if (p.vertices.empty()) return;
  const SpriteSlot* slot = dev->sprite_slot(p.sprite);
  if (slot && slot->texture) {
    dev->bind_sprite(p.sprite, -1, false, nullptr);
    gl_set_texture_params(slot->texture, dev->smoothing != 0, true);
  } else {
    dev->bind_sprite(-1, -1, false, nullptr);
  }
  if (!p.per_vertex_colours) gl_set_colour(1.0f, 1.0f, 1.0f, dev->global_alpha);
  flush_drawing();
  const PolygonVertex* v = p.vertices.data();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->u);
  if (p.per_vertex_colours) {
    glShadeModel(GL_SMOOTH);
    gl_set_enabled(GL_COLOR_MATERIAL, true);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(PolygonVertex), v->colour);
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
  }
  const GLenum modes[3] = {GL_TRIANGLE_FAN, GL_TRIANGLES, GL_TRIANGLE_STRIP};
  glDrawArrays(modes[std::clamp(p.mode, 0, 2)], 0, static_cast<GLsizei>(p.vertices.size()));
  if (p.per_vertex_colours) {
    glDisableClientState(GL_COLOR_ARRAY);
    gl_set_enabled(GL_COLOR_MATERIAL, false);
    glShadeModel(GL_FLAT);
    gl_forget_colour();  // a colour array leaves the current colour undefined
  }
}

// ---- Host support -----------------------------------------------------------------------------

void get_target_size(int32_t& width, int32_t& height) {
  OpenGLZodidoze* dev = device();
  width = height = 0;
  if (!dev) return;
  if (g_runtime.current_offscreen >= 0 && g_runtime.current_offscreen < OFFSCREEN_COUNT) {
    const SpriteSlot* slot = dev->sprite_slot(dev->offscreen[g_runtime.current_offscreen].sprite);
    if (slot) {
      width = slot->width;
      height = slot->height;
    }
    return;
  }
  width = dev->virtual_height ? dev->virtual_width : g_runtime.window_width;
  height = dev->virtual_height ? dev->virtual_height : g_runtime.window_height;
  if (g_runtime.orientation == 1 || g_runtime.orientation == 3) std::swap(width, height);
}

}  // namespace qrn
