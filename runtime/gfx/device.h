// The 2D rendering device: the window and its GL context, the sprite table, font slots,
// background images, off-screen screens, drawing state and frame pacing.
// The window and context operations are defined by the host (host/window.cpp); sprites,
// images, drawing and fonts by the files of this folder.
#pragma once

#include <cstdint>
#include <vector>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

struct Image;

constexpr int32_t SPRITE_COUNT = 65537;
constexpr int32_t FONT_SLOT_BASE = 65504;  // sprite id of font f's texture: FONT_SLOT_BASE + f
constexpr int32_t FONT_COUNT = 32;
constexpr int32_t BACKGROUND_COUNT = 8;
constexpr int32_t OFFSCREEN_COUNT = 32;

struct SpriteSlot {
  uint32_t texture = 0;      // GL texture name, 0 when empty
  uint32_t mip_texture = 0;  // mipmapped twin for the 3D engine, 0 when absent
  float u_max = 1.0f;        // width / texture_width
  float v_max = 1.0f;        // height / texture_height
  int16_t texture_width = -1;
  int16_t texture_height = -1;
  int16_t width = 0;  // 0: the slot is empty
  int16_t height = 0;
  int16_t frame_width = 0;  // animation frame size, 0: not an animation
  int16_t frame_height = 0;
};

struct GlyphInfo {
  uint8_t left = 0;     // first inked column inside the cell
  uint8_t advance = 0;  // printed width with proportional spacing
  float u0 = 0.0f;      // texture x of the inked part's left edge
  float u1 = 0.0f;      // u0 + advance / texture width
};

struct FontSlot {
  GlyphInfo glyphs[256];
};

struct BackgroundImage {
  uint32_t textures[64] = {};  // tile textures, index column * 8 + row
  int16_t drawn_width[64] = {};
  int16_t drawn_height[64] = {};
  int16_t tile_texture_width[64] = {};
  int16_t tile_texture_height[64] = {};
  uint8_t columns = 0;  // 0: no image
  uint8_t rows = 0;
};

// One vertex of a polygon under construction.
struct PolygonVertex {
  float x, y, u, v;
  uint8_t colour[4];  // red, green, blue, alpha
};

// The polygon buffer: vertices, the sprite (-1: untextured), the drawing mode (0 fan,
// 1 triangles, 2 strip) and the texture scale.
struct PolygonBuffer {
  std::vector<PolygonVertex> vertices;
  int32_t sprite = -1;
  int32_t mode = 0;
  float scale_x = 1.0f;
  float scale_y = 1.0f;
  bool per_vertex_colours = false;
  bool double_next = false;  // the next vertex is written twice (joins a new strip)
};

struct OffscreenScreen {
  uint32_t framebuffer = 0;
  uint32_t depth_buffer = 0;
  int32_t saved_binding = -1;
  int32_t width = 0;  // 0 while the screen is free
  int32_t height = 0;
  int32_t sprite = -1;
};

class OpenGLZodidoze {
 public:
  OpenGLZodidoze();
  virtual ~OpenGLZodidoze();
  OpenGLZodidoze(const OpenGLZodidoze&) = delete;
  OpenGLZodidoze& operator=(const OpenGLZodidoze&) = delete;

  // ---- Window, context and 2D set-up (host/window.cpp) -----------------------------------
  bool create_window(ModuleHandle module, int32_t width, int32_t height, int32_t depth, int32_t fps,
                     int32_t multisample);
  bool enter_window_mode();
  bool enter_full_screen();
  void hide_window();
  void release_window();
  void setup_2d();
  void set_viewport_raw(int32_t x, int32_t y, int32_t w, int32_t h, float scale);

  // ---- Sprites and backgrounds (gfx) ------------------------------------------------------
  // The slot of sprite id, or null for an id outside the table.
  SpriteSlot* sprite_slot(int32_t id) {
    return id >= 0 && id < SPRITE_COUNT ? &sprites[id] : nullptr;
  }
  // Builds a texture from the w × h rectangle at (x, y) of image (0: up to the image's edge)
  // into *texture (reusing a name already there), and a mipmapped twin into *mip_texture
  // when that is not null. Returns success.
  bool upload_texture(const Image& image, int32_t x, int32_t y, int32_t w, int32_t h,
                      uint32_t* texture, uint32_t* mip_texture, bool normal_map, bool nearest);
  bool create_sprite_from_image(int32_t id, Image& image, bool normal_map);
  // Sprite id as a fully transparent w × h image in a tw × th texture with linear filtering
  // and no mipmapped twin (a screen's colour texture). False, with the slot empty, when the
  // texture cannot be made.
  bool create_empty_sprite(int32_t id, int32_t w, int32_t h, int32_t tw, int32_t th);
  bool load_sprite_file(int32_t id, const RtString& path, int32_t colour_key, bool normal_map);
  void delete_sprite(int32_t id);
  // Binds sprite id on texture unit 0 (-1: texturing off) and second_id on unit 1 (-1: none).
  // table is reserved for the 3D engine and not used by 2D drawing.
  void bind_sprite(int32_t id, int32_t second_id, bool use_mip, const void* table);
  // Reads a sprite's pixels back from its texture into image; false for an empty slot.
  bool read_sprite_pixels(int32_t id, Image& image);
  // The sprite's alpha channel (texture_width × texture_height bytes, rows bottom-up),
  // fetched from its texture on first use; null for an empty slot.
  const uint8_t* alpha_mask(int32_t id);
  void free_alpha_mask(int32_t id);
  bool load_background(int32_t slot, const RtString& path);
  void delete_background(int32_t slot);
  // Draws background image slot over the whole screen (the frame's back-buffer preparation).
  void draw_background(int32_t slot);
  // Deletes every sprite and background image (what release_window does first).
  void delete_all_images();
  // Deletes every sprite and background, then releases the window (host/window.cpp). The
  // destructor deletes the images but leaves the window to whoever ends the device, which
  // calls this first.
  void release_all();

  // ---- Fonts (gfx) ------------------------------------------------------------------------
  bool load_font_file(int32_t slot, const RtString& path);
  void install_builtin_font(int32_t slot);
  // Prints text with font slot at (x, y): one strip of quads in one draw call.
  void print_glyphs(int32_t slot, const RtString& text, double x, double y, double z,
                    bool proportional, bool use_scale);

  // ---- Off-screen screens (gfx/offscreen.cpp) ---------------------------------------------
  // Loads the framebuffer entry points (once the window's context exists).
  void init_framebuffers();
  // Makes r a framebuffer of w × h with texture as its colour attachment and, with_depth, a
  // depth buffer (32, 24 or 16 bits, else none). Whatever r held before is released first.
  bool build_framebuffer(OffscreenScreen& r, int32_t w, int32_t h, uint32_t texture, bool with_depth);
  // Binds r's framebuffer, remembering the binding before it; true when it was bound now
  // (false when r is bound already or has no framebuffer).
  bool bind_framebuffer(OffscreenScreen& r);
  // Puts back the binding that was there before r was bound.
  void unbind_framebuffer(OffscreenScreen& r);
  // Releases r's framebuffer and depth buffer and frees the record.
  void destroy_framebuffer(OffscreenScreen& r);
  // Ends drawing into a screen: drawing goes to the window again.
  void end_offscreen();
  // Ends drawing and frees all 32 screens.
  void destroy_all_screens();
  // The screen whose colour texture sprite id is, or -1.
  int32_t screen_of_sprite(int32_t id) const;
  // Sprite id got a new texture: rebuilds the framebuffer of its screen around it.
  void screen_sprite_changed(int32_t id);

  // ---- Texture persistence (gfx/texture_persistence.cpp) --------------------------------
  // Every sprite's pixels into the persistence file; false when it cannot be written whole.
  bool save_textures();
  // Every sprite of the persistence file made again, then the file deleted; false when the
  // file cannot be opened or a record could not be restored.
  bool restore_textures();
  // After the GL context was made anew: forgets the objects of the old one and makes the
  // sprites (and the screens drawing into them) again from the persistence file.
  bool restore_textures_in_new_context();

  // ---- Fields (its window, the window's client size and orientation and the current
  // off-screen screen are kept in RuntimeState, where the input reads them too) ----------
  int32_t bound_sprite = -1;
  int32_t bound_second_sprite = -1;
  int32_t bound_uses_mip_texture = 0;
  FontSlot fonts[FONT_COUNT];
  float font_scale[FONT_COUNT];
  SpriteSlot* sprites = nullptr;  // SPRITE_COUNT slots, owned
  float global_alpha = 1.0f;
  float alpha_test_threshold = 1.0f;
  uint8_t clear_each_frame = 1;
  uint8_t clear_depth_pending = 1;
  uint8_t bgra_supported = 0;
  OffscreenScreen offscreen[OFFSCREEN_COUNT];
  uint8_t** alpha_masks = nullptr;  // SPRITE_COUNT lazily fetched alpha copies, owned
  BackgroundImage backgrounds[BACKGROUND_COUNT];
  uint8_t smoothing = 1;
  int32_t virtual_width = 0;
  int32_t virtual_height = 0;
  int32_t colour_depth = 0;
  uint8_t full_screen_active = 0;
  int32_t multisample = 0;
  int32_t viewport_x = 0;
  int32_t viewport_y = 0;
  int32_t viewport_width = 0;
  int32_t viewport_height = 0;
  uint32_t colour_key = 0x008000FF;  // RGB(255, 0, 128)
  uint32_t font_colour_key = 0;
  double next_frame_ms = 0.0;
  double frame_interval_ms = 0.0;
  ModuleHandle module = nullptr;
  void* gl_context = nullptr;
  int32_t saved_orientation = 0;  // the orientation while an emulated screen is drawn into
  uint8_t ending_offscreen = 0;   // end_offscreen is at work (its own steps do not end again)

  // ---- Working buffers of the drawing code ------------------------------------------------
  std::vector<float> text_vertices;  // x, y, z, u, v per vertex, for print_glyphs
  PolygonBuffer polygon;
};

}  // namespace qrn
