// The OpenGL state cache and the quad queue of the 2D drawing code.
//
// The cache remembers the enable flags, blend and alpha functions, the current colour, the
// texture bound on unit 0 and each texture's filter and wrap, and makes a GL call only when a
// value changes. Sprite and rectangle quads are queued and drawn together in one call; every
// cached change, read-back, texture upload and buffer swap flushes the queue first, so what
// appears on screen is the same as drawing each quad at once. A queue of upright quads is
// drawn as quads (one rectangle each for the software rasterizer), one with turned quads as
// triangle pairs; textured quads in opaque white replace rather than modulate (the same
// pixels, less work). Where it can, the queue draws with shader programs of its own that
// texture like the fixed pipeline without a perspective divide per pixel.
//
// Code outside this folder that calls OpenGL directly must call flush_drawing() first (for
// instance before clearing, setting the viewport or a matrix, or swapping buffers), and
// invalidate_gl_state() after changing state behind the cache's back.
#pragma once

#include <GL/gl.h>

#include <cstdint>

namespace qrn {

// Draws the queued quads now.
void flush_drawing();
// Flushes, then forgets every cached value so the next setting of each is sent to GL.
void invalidate_gl_state();
// Frees the cache and its queue (RuntimeState::gl_cache); the next use starts knowing nothing.
void release_gl_state();

// Enable flag of a capability (blending, alpha and depth test, face culling, texturing...).
void gl_set_enabled(GLenum capability, bool on);
// The cached enable flag (asks GL when the cache does not know).
bool gl_is_enabled(GLenum capability);
void gl_set_colour(float red, float green, float blue, float alpha);
// The colour for what comes after the queued quads: sent once they are drawn (at the next
// flush), so a run of quads in another colour still goes out in one call.
void gl_set_colour_after_queue(float red, float green, float blue, float alpha);
// GL's current colour changed behind the cache (a colour array was drawn).
void gl_forget_colour();
void gl_set_blend_func(GLenum source, GLenum destination);
void gl_set_alpha_func(GLenum function, float reference);
// Binds a texture on unit 0 (0: none; texturing is switched separately).
void gl_bind_texture(GLuint texture);
// Filter and wrap of the texture bound on unit 0.
void gl_set_texture_params(GLuint texture, bool linear, bool clamp);
// A texture was deleted or re-created: forget what is known about it.
void gl_forget_texture(GLuint texture);
// A texture's texels as uploaded (tw × th RGBA, GL's row order): the cache remembers where
// they are not transparent. While a fully transparent fragment changes nothing (see
// queue_quad), quads are cut down to that part, which saves the rasterizer filling the
// empty margins of a sprite. Only for textures whose texels change by a new upload.
void gl_note_texture_contents(GLuint texture, const uint8_t* rgba, int32_t tw, int32_t th);
// The texture's texels changed on the GPU (a copy from the screen, drawing into it): forget
// where they are visible.
void gl_forget_texture_contents(GLuint texture);
// A shader program of the program's own is in use (its colours are its own: no cutting).
void gl_note_program_bound(bool bound);
// Texturing on unit 1 was switched on or off (a second texture the fixed pipeline combines;
// flush before switching it).
void gl_note_second_texture(bool on);
// Drawing the queue with its own shader programs on or off (on by default, where the driver
// has GLSL 1.30; for tests and benchmarks), and whether they were made in this context.
void gl_set_quad_programs(bool on);
bool gl_quad_programs_available();
// The GL context was made again: objects of the old one (the queue's programs) are forgotten.
void gl_forget_context_objects();
// Cutting quads to the visible texels on or off (on by default; for tests and benchmarks),
// and how many quads were cut or left out so far.
void gl_set_quad_trimming(bool on);
int64_t gl_cut_quad_count();
// The texture currently bound on unit 0 as far as the cache knows (0: none or unknown).
GLuint gl_bound_texture();

// One corner of a queued quad: position and texture coordinates.
struct QuadCorner {
  float x, y, u, v;
};
// Queues a quad drawn as the fan c0 c1 c2 c3 with the current state. upright: its edges
// run along the axes and its texture is not turned (it may then be drawn as one quad).
// Over a texture whose visible texels are known, with blending that keeps the target under
// alpha 0 (or an alpha test that drops it) and no depth or stencil test, the quad is cut to
// the visible part and a wholly transparent one is not drawn at all: the same pixels.
void queue_quad(const QuadCorner& c0, const QuadCorner& c1, const QuadCorner& c2,
                const QuadCorner& c3, bool upright);

// True when program pixels are target pixels: no scale of a virtual resolution is applied
// (the projection itself is always one unit per pixel). A sprite drawn unscaled at whole
// coordinates then samples every texel at its centre, where linear filtering gives exactly
// the texel, so the cheaper nearest filtering draws the same pixels.
bool gl_target_unscaled();

// The driver's largest texture side (queried once per context; 0 without a context).
int32_t gl_max_texture_size();

// An extension entry point through the platform layer (null when missing).
void* gl_entry_point(const char* name);

}  // namespace qrn
