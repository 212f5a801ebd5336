// Screen geometry: window size and mode, viewport and projection, screen orientation, the
// logical (virtual) resolution scaled into the window, and the point transforms between
// program coordinates and window pixels.
#pragma once

#include <cstdint>

#include "core/screen_points.h"
#include "platform/handles.h"

namespace qrn {

// ---- Commands ---------------------------------------------------------------------------
// Stores the size and mode, resizes or switches mode, re-binds input and sound to the
// window, and shows 5 frames.
void set_screen_size(int32_t width, int32_t height, int32_t full);
// After the window was re-made or switched: the mouse mode is applied again, and the input
// object, window_handle and the sound device get the device's current window.
void rebind_window_users();
int32_t is_full_screen();
WindowHandle get_window_handle();
void get_desktop_size(int32_t& width, int32_t& height);
void get_desktop_size(double& width, double& height);
// Size of the current drawing surface (an off-screen screen, or the logical screen).
void get_screen_size(int32_t& width, int32_t& height);
void get_screen_size(double& width, double& height);
// Clips and translates drawing to a rectangle (width or height below 1: the whole surface).
void set_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
// The current viewport, in logical coordinates under a virtual resolution.
void get_viewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height);
void get_viewport(double& x, double& y, double& width, double& height);
// 0..3 quarter turns, clamped; resets the viewport.
void set_orientation(int32_t orientation);
int32_t get_orientation();
// Draw in a logical resolution scaled into the window by a stepped whole factor.
void set_virtual_resolution(double width, double height);

// ---- Plain arithmetic behind the commands ------------------------------------------------
// The scale a factor steps to: whole from 10, then 8, 4, 3, 2, 1.5, and 1 below 1.5.
float step_virtual_scale(double factor);

// Where a viewport lands in the window and how the projection maps it.
struct ViewportPlacement {
  int32_t left = 0, top = 0;        // window pixels, top measured from the window's top
  int32_t width = 0, height = 0;    // window pixels
  int32_t gl_y = 0;                 // the same top measured from the window's bottom
  double ortho_width = 0, ortho_height = 0;  // program units across and down the viewport
};
// A viewport (x, y, w, h) in program coordinates on a window of window_width x
// window_height pixels turned by orientation o.
ViewportPlacement place_viewport(int32_t o, int32_t window_width, int32_t window_height, int32_t x, int32_t y,
                                 int32_t w, int32_t h);

}  // namespace qrn
