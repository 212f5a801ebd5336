// Sprite commands over the device's sprite table (see sprites.h), and saving sprites and the
// screen to image files.
#include <algorithm>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/file_names.h"
#include "gfx/device.h"
#include "gfx/drawing.h"
#include "gfx/image.h"
#include "gfx/image_codecs.h"
#include "gfx/sprites.h"

namespace qrn {

namespace {

OpenGLZodidoze* device() { return g_runtime.device; }

// Clears the error code, then loads path into sprite id; the frame size is set afterwards
// when frame_width is not 0.
void load_sprite_command(const RtString& path, int32_t id, bool normal_map, int32_t frame_width,
                         int32_t frame_height) {
  clear_error();
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  if (!dev->sprite_slot(id)) {
    set_error(ERROR_OUT_OF_MEMORY);  // 7: slot number out of range
    return;
  }
  dev->delete_sprite(id);
  if (path.empty()) return;
  RtString name = path;
  if (!resolve_file_name(name) ||
      !dev->load_sprite_file(id, name, static_cast<int32_t>(dev->colour_key), normal_map)) {
    set_error(ERROR_NO_FILE);
    return;
  }
  if (frame_width || frame_height) set_animation_frame_size(id, frame_width, frame_height);
}

// A sprite (or one animation frame of it) placed on the screen, with its alpha mask.
struct CollisionShape {
  const uint8_t* mask = nullptr;
  int32_t texture_width = 0;
  int32_t image_height = 0;
  int32_t origin_x = 0, origin_y = 0;  // the frame's top-left corner inside the image
  int32_t x = 0, y = 0, width = 0, height = 0;  // on screen

  bool solid(int32_t screen_x, int32_t screen_y) const {
    int32_t ix = origin_x + screen_x - x, iy = origin_y + screen_y - y;
    if (ix >= texture_width || iy >= image_height) return false;
    return mask[static_cast<size_t>(image_height - 1 - iy) * texture_width + ix] != 0;
  }
};

// frame -1: the whole sprite.
bool collision_shape(OpenGLZodidoze& dev, int32_t id, int32_t frame, int32_t x, int32_t y,
                     CollisionShape& shape) {
  const SpriteSlot* slot = dev.sprite_slot(id);
  if (!slot || slot->width < 1) return false;
  shape.mask = dev.alpha_mask(id);
  if (!shape.mask) return false;
  shape.texture_width = slot->texture_width;
  shape.image_height = slot->height;
  shape.x = x;
  shape.y = y;
  if (frame >= 0 && slot->frame_width > 0 && slot->frame_height > 0) {
    const int32_t per_row = slot->width / slot->frame_width;
    shape.origin_x = (per_row > 0 ? frame % per_row : frame) * slot->frame_width;
    shape.origin_y = (per_row > 0 ? frame / per_row : 0) * slot->frame_height;
    shape.width = slot->frame_width;
    shape.height = slot->frame_height;
  } else {
    shape.width = slot->width;
    shape.height = slot->height;
  }
  return true;
}

int32_t shapes_collide(const CollisionShape& a, const CollisionShape& b) {
  // Bounding boxes first; only their overlap is examined pixel by pixel.
  const int32_t left = std::max(a.x, b.x), right = std::min(a.x + a.width, b.x + b.width);
  const int32_t top = std::max(a.y, b.y), bottom = std::min(a.y + a.height, b.y + b.height);
  for (int32_t y = top; y < bottom; ++y) {
    for (int32_t x = left; x < right; ++x) {
      if (a.solid(x, y) && b.solid(x, y)) return 1;
    }
  }
  return 0;
}

int32_t collide(int32_t id1, int32_t frame1, int32_t x1, int32_t y1, int32_t id2, int32_t frame2,
                int32_t x2, int32_t y2) {
  OpenGLZodidoze* dev = device();
  CollisionShape a, b;
  if (!dev || !collision_shape(*dev, id1, frame1, x1, y1, a) ||
      !collision_shape(*dev, id2, frame2, x2, y2, b))
    return 0;
  return shapes_collide(a, b);
}

}  // namespace

void load_sprite(const RtString& path, int32_t id) { load_sprite_command(path, id, false, 0, 0); }

void load_animation(const RtString& path, int32_t id, int32_t frame_width, int32_t frame_height) {
  load_sprite_command(path, id, false, frame_width, frame_height);
}

void load_normal_map_sprite(const RtString& path, int32_t id) {
  load_sprite_command(path, id, true, 0, 0);
}

void set_animation_frame_size(int32_t id, int32_t frame_width, int32_t frame_height) {
  SpriteSlot* slot = device() ? device()->sprite_slot(id) : nullptr;
  if (!slot || slot->width == 0) return;
  slot->frame_width = static_cast<int16_t>(std::clamp(frame_width, 0, 32767));
  slot->frame_height = static_cast<int16_t>(std::clamp(frame_height, 0, 32767));
}

void get_sprite_size(int32_t id, int32_t& width, int32_t& height) {
  const SpriteSlot* slot = device() ? device()->sprite_slot(id) : nullptr;
  width = slot ? slot->width : 0;
  height = slot ? slot->height : 0;
}

void get_sprite_size(int32_t id, double& width, double& height) {
  int32_t w, h;
  get_sprite_size(id, w, h);
  width = w;
  height = h;
}

uint32_t get_sprite_texture(int32_t id) {
  const SpriteSlot* slot = device() ? device()->sprite_slot(id) : nullptr;
  return slot ? slot->texture : 0;
}

int32_t find_free_sprite() {
  OpenGLZodidoze* dev = device();
  if (!dev) return -1;
  for (int32_t id = FONT_SLOT_BASE - 1; id >= 0; --id) {
    if (dev->sprites[id].width == 0) return id;
  }
  return -1;
}

int32_t find_free_font() {
  OpenGLZodidoze* dev = device();
  if (!dev) return -1;
  for (int32_t font = FONT_COUNT - 1; font >= 0; --font) {
    if (dev->sprites[FONT_SLOT_BASE + font].width < 16) return font;  // cell width 0
  }
  return -1;
}

int32_t find_free_screen() {
  OpenGLZodidoze* dev = device();
  if (!dev) return -1;
  for (int32_t screen = OFFSCREEN_COUNT - 1; screen >= 0; --screen) {
    if (dev->offscreen[screen].width == 0) return screen;
  }
  return -1;
}

void set_transparent_colour(uint32_t colour) {
  OpenGLZodidoze* dev = device();
  if (!dev) return;
  dev->colour_key = colour;
  dev->font_colour_key = colour;
}

void set_smoothing(int32_t flag) {
  if (device()) device()->smoothing = flag ? 1 : 0;
}

int32_t sprite_collision(int32_t id1, int32_t x1, int32_t y1, int32_t id2, int32_t x2, int32_t y2) {
  return collide(id1, -1, x1, y1, id2, -1, x2, y2);
}

int32_t animation_collision(int32_t id1, int32_t frame1, int32_t x1, int32_t y1, int32_t id2,
                            int32_t frame2, int32_t x2, int32_t y2) {
  return collide(id1, std::max(frame1, 0), x1, y1, id2, std::max(frame2, 0), x2, y2);
}

// ---- Arrays -----------------------------------------------------------------------------------

namespace {

int32_t pack_pixel(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// array_dim(width, height), element (x, y) the pixel at x, y.
void image_to_array(const Image& image, RtArray<int32_t>& pixels) {
  array_dim(pixels, image.width, image.height);
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      pixels.data[x + y * image.width] = pack_pixel(image.at(x, y));
    }
  }
}

}  // namespace

bool create_sprite_from_array(const RtArray<int32_t>& pixels, int32_t id, int32_t width,
                              int32_t height) {
  OpenGLZodidoze* dev = device();
  if (!dev || !dev->sprite_slot(id) || width < 1 || height < 1 ||
      static_cast<int64_t>(width) * height != pixels.count || !pixels.data)
    return false;
  Image image;
  if (!image.resize(width, height)) return false;
  for (int32_t i = 0; i < width * height; ++i) {
    const uint32_t value = static_cast<uint32_t>(pixels.data[i]);
    for (int c = 0; c < 4; ++c) image.pixels[i * 4 + c] = static_cast<uint8_t>(value >> (8 * c));
  }
  return dev->create_sprite_from_image(id, image, false);
}

bool sprite_to_array(int32_t id, RtArray<int32_t>& pixels) {
  OpenGLZodidoze* dev = device();
  Image image;
  if (!dev || !dev->read_sprite_pixels(id, image)) return false;
  image_to_array(image, pixels);
  return true;
}

bool load_image_to_array(const RtString& path, int32_t& width, int32_t& height,
                         RtArray<int32_t>& pixels) {
  clear_error();
  OpenGLZodidoze* dev = device();
  const int32_t key = dev ? static_cast<int32_t>(dev->colour_key) : 0x008000FF;
  RtString name = path;
  Image image;
  if (!resolve_file_name(name) || !decode_any(image, name, key)) {
    set_error(ERROR_NO_FILE);
    return false;
  }
  if (!image.alpha_from_file) edge_fill(image);
  width = image.width;
  height = image.height;
  image_to_array(image, pixels);
  return true;
}

// ---- Saving ----------------------------------------------------------------------------------

void save_sprite(const RtString& path, int32_t id) {
  clear_error();
  OpenGLZodidoze* dev = device();
  Image image;
  if (!dev || !dev->read_sprite_pixels(id, image) || !encode_image(path, image)) {
    set_error(ERROR_NO_FILE);
  }
}

void save_screen(const RtString& path) {
  clear_error();
  OpenGLZodidoze* dev = device();
  int32_t id = find_free_sprite();
  if (!dev || id < 0) {
    set_error(ERROR_NO_FILE);
    return;
  }
  int32_t width, height;
  get_target_size(width, height);
  grab_sprite(id, 0, 0, width, height);
  Image image;
  bool saved = dev->read_sprite_pixels(id, image) && encode_image(path, image);
  dev->delete_sprite(id);
  if (!saved) set_error(ERROR_NO_FILE);
}

}  // namespace qrn
