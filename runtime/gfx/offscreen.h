// Off-screen screens: drawing into sprites. Each of the 32 screens is bound to one sprite;
// while a screen is selected every drawing command renders into that sprite, which can then
// be drawn like any other. Failures are reported in the debug log only.
#pragma once

#include <cstdint>

namespace qrn {

// Makes sprite id a fully transparent width × height drawing target bound to screen
// (0..31), replacing whatever the sprite held. The texture's sides are the smallest powers of
// two from 2 that reach width and height. False when the screen or sprite is out of range,
// a size is below 1 or too large, or no framebuffer can be made (the sprite then keeps its
// empty transparent texture).
bool create_screen(int32_t screen, int32_t sprite, int32_t width, int32_t height);
// Draws into screen from now on (coordinates from the top-left of the sprite's image, y
// down, no logical-resolution scale) until use_screen with a negative value, the next
// show_screen or the selection of another screen. A negative value, or a screen that is free
// or whose sprite is empty, sends drawing to the window.
void use_screen(int32_t screen);

}  // namespace qrn
