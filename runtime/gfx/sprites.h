// Sprite commands: loading sprites and animation strips, sizes, free slots, the transparent
// colour, filtering and pixel-exact collision tests.
#pragma once

#include <cstdint>

#include "core/arrays.h"
#include "core/text_value.h"

namespace qrn {

// Loads an image file into sprite id with the transparent colour applied. An empty path only
// deletes the sprite; a missing or undecodable file sets error 3 and leaves the slot empty.
void load_sprite(const RtString& path, int32_t id);
// load_sprite, then the animation frame size.
void load_animation(const RtString& path, int32_t id, int32_t frame_width, int32_t frame_height);
// load_sprite, converting the image to a normal map for the 3D engine.
void load_normal_map_sprite(const RtString& path, int32_t id);
// Sets the frame size of a loaded sprite (an empty slot is left alone).
void set_animation_frame_size(int32_t id, int32_t frame_width, int32_t frame_height);

// Sprite id from width × height pixels 0xAABBGGRR (red in the low byte), row by row from the
// top. An array of any other length fails and leaves the sprite unchanged.
bool create_sprite_from_array(const RtArray<int32_t>& pixels, int32_t id, int32_t width,
                              int32_t height);
// The sprite's pixels read back from its texture, in the same encoding; the array becomes
// width × height (element (x, y)). False for an empty slot.
bool sprite_to_array(int32_t id, RtArray<int32_t>& pixels);
// Decodes an image file (transparent colour applied as for sprites) into a width × height
// array without making a sprite; a missing or undecodable file sets error 3.
bool load_image_to_array(const RtString& path, int32_t& width, int32_t& height,
                         RtArray<int32_t>& pixels);

// Image size of a sprite, 0 × 0 for an empty slot.
void get_sprite_size(int32_t id, int32_t& width, int32_t& height);
void get_sprite_size(int32_t id, double& width, double& height);
// The GL name of the sprite's texture (0 when empty).
uint32_t get_sprite_texture(int32_t id);

// Highest empty program sprite id (65503 down to 0), or -1.
int32_t find_free_sprite();
// Highest font slot 31..0 without a usable texture, or -1.
int32_t find_free_font();
// Highest off-screen screen 31..0 that is free, or -1.
int32_t find_free_screen();

// The colour (0x00BBGGRR) that becomes transparent when sprites and fonts are loaded and
// that solid colours draw invisibly in; -1 for none.
void set_transparent_colour(uint32_t colour);
// Linear (non-zero) or nearest texture filtering for following draws.
void set_smoothing(int32_t flag);

// 1 when the sprites drawn at those positions share a pixel where both are not transparent.
int32_t sprite_collision(int32_t id1, int32_t x1, int32_t y1, int32_t id2, int32_t x2, int32_t y2);
// The same for single animation frames.
int32_t animation_collision(int32_t id1, int32_t frame1, int32_t x1, int32_t y1, int32_t id2,
                            int32_t frame2, int32_t x2, int32_t y2);

}  // namespace qrn
