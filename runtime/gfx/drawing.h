// Sprite drawing: sprites plain, rotated, zoomed and stretched; animation frames;
// rectangles, lines and pixels; textured polygons; the frame's background colour or image;
// blending, alpha test and filtering for following draws.
//
// Coordinates are pixels of the current drawing surface, origin top-left, y down. Colours are
// 0x00BBGGRR; a colour equal to the transparent colour draws with alpha 0. Angles are degrees,
// positive counter-clockwise on screen.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// ---- Sprites ----------------------------------------------------------------------------------
// The sprite with its top-left corner at (x, y), unscaled.
void draw_sprite(int32_t id, int32_t x, int32_t y);
// Turned about the centre of the box draw_sprite would cover.
void draw_sprite_rotated(int32_t id, double x, double y, double angle);
// Turned about the same centre and scaled by zoom.
void draw_sprite_rotozoom(int32_t id, double x, double y, double angle, double zoom);
// Scaled separately in x and y about the box's centre; negative factors mirror.
void draw_sprite_zoomed(int32_t id, double x, double y, double zoom_x, double zoom_y);
// The whole image over the rectangle; negative sizes mirror.
void draw_sprite_stretched(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);

// ---- Animation frames (frames numbered row by row; nothing is drawn without a frame size) ---
void draw_animation(int32_t id, int32_t frame, int32_t x, int32_t y);
void draw_animation_rotozoom(int32_t id, int32_t frame, double x, double y, double angle,
                             double zoom);
void draw_animation_stretched(int32_t id, int32_t frame, int32_t x, int32_t y, int32_t width,
                              int32_t height);

// ---- Solid shapes and pixels ------------------------------------------------------------------
// A negative width extends the rectangle to the left (from x + width + 1), a negative height
// upwards.
void draw_rect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
void plot(int32_t x, int32_t y, uint32_t colour);
// A one-pixel line including both end points.
void draw_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// The colour (0x00BBGGRR) of a pixel of the current target.
uint32_t get_pixel(int32_t x, int32_t y);

// ---- Background ---------------------------------------------------------------------------------
// Clear colour of following frames (0x00BBGGRR), clearing now; -1: frames are not cleared.
// Removes background image 0.
void set_background_colour(uint32_t colour);
// Background image 0 from a file, drawn now and at every frame start; error 3 when it cannot
// be loaded (the background then becomes black).
void load_background(const RtString& path);
// Background image 0 from the current window contents.
void capture_background();

// Copies a rectangle of the current target into sprite id (0 width or height: deletes it).
void grab_sprite(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);

// ---- Blending and alpha test ------------------------------------------------------------------
// a > 0: additive blending with alpha a; a < 0: normal blending with alpha -a; 0: opaque
// without blending. Alpha is limited to 1.
void set_alpha_mode(double mode);
// Threshold below 1: only pixels with a greater alpha are drawn; 1 or more: off.
void set_alpha_test(double threshold);

// ---- Polygons ---------------------------------------------------------------------------------
// Begins a polygon with sprite id (-1: untextured); mode 0 fan, 1 triangles, 2 strip.
void start_polygon(int32_t id, int32_t mode);
// Texture x and y are pixel coordinates in the image, y down. Colour 0xFFFFFF is plain white.
void polygon_vertex(double x, double y, double texture_x, double texture_y, uint32_t colour);
// Joins a new strip to the current one with degenerate triangles.
void polygon_new_strip();
void end_polygon();

// ---- For the host and the other drawing code --------------------------------------------------
// Size of the current drawing surface: the off-screen screen's, else the virtual size
// (window size when none is set), swapped for orientations 1 and 3.
void get_target_size(int32_t& width, int32_t& height);

}  // namespace qrn
