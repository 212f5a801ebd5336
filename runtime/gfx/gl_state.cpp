// The OpenGL state cache and quad queue (see gl_state.h).
#include "gfx/gl_state.h"

#include <vector>

#include "core/runtime_state.h"
#include "platform/platform.h"

namespace qrn {

namespace {

// Capabilities the cache tracks; others pass straight through.
constexpr GLenum TRACKED[] = {GL_BLEND,      GL_ALPHA_TEST, GL_TEXTURE_2D, GL_DEPTH_TEST,
                              GL_CULL_FACE,  GL_FOG,        GL_LIGHTING,   GL_COLOR_MATERIAL,
                              GL_DITHER,     GL_STENCIL_TEST, GL_NORMALIZE, GL_LINE_SMOOTH,
                              GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_POLYGON_OFFSET_FILL};
constexpr int TRACKED_COUNT = sizeof TRACKED / sizeof TRACKED[0];

enum : int8_t { UNKNOWN = -1 };

// Per texture name: bit 0 linear, bit 1 clamp; UNKNOWN when not known.
constexpr int8_t PARAM_LINEAR = 1, PARAM_CLAMP = 2;

}  // namespace

struct GlStateCache {
  int8_t enabled[TRACKED_COUNT];
  bool colour_known = false;
  float colour[4] = {0, 0, 0, 0};
  // A colour to set once the queued quads are drawn (see gl_set_colour_after_queue).
  bool colour_pending = false;
  float pending_colour[4] = {0, 0, 0, 0};
  bool blend_known = false;
  GLenum blend_source = 0, blend_destination = 0;
  bool alpha_func_known = false;
  GLenum alpha_function = 0;
  float alpha_reference = 0;
  bool texture_known = false;
  GLuint texture = 0;
  std::vector<int8_t> texture_params;  // indexed by texture name
  int32_t max_texture_size = 0;

  std::vector<QuadCorner> queue;  // six corners per quad (two triangles of the fan)

  GlStateCache() {
    for (int8_t& flag : enabled) flag = UNKNOWN;
    queue.reserve(6 * 1024);
  }
};

namespace {

// RuntimeState::gl_cache, made on first use.
GlStateCache& cache() {
  if (!g_runtime.gl_cache) g_runtime.gl_cache = new GlStateCache();
  return *g_runtime.gl_cache;
}

int tracked_index(GLenum capability) {
  for (int i = 0; i < TRACKED_COUNT; ++i) {
    if (TRACKED[i] == capability) return i;
  }
  return -1;
}

bool same_colour(const float* colour, float red, float green, float blue, float alpha) {
  return colour[0] == red && colour[1] == green && colour[2] == blue && colour[3] == alpha;
}

void send_colour(GlStateCache& c, float red, float green, float blue, float alpha) {
  glColor4f(red, green, blue, alpha);
  c.colour[0] = red;
  c.colour[1] = green;
  c.colour[2] = blue;
  c.colour[3] = alpha;
  c.colour_known = true;
}

void draw_queue(GlStateCache& c) {
  // Client arrays are set on every flush: other drawing code may have changed them.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  const float* data = &c.queue[0].x;
  glVertexPointer(2, GL_FLOAT, sizeof(QuadCorner), data);
  glTexCoordPointer(2, GL_FLOAT, sizeof(QuadCorner), data + 2);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(c.queue.size()));
  c.queue.clear();
}

}  // namespace

void flush_drawing() {
  GlStateCache& c = cache();
  if (!c.queue.empty()) draw_queue(c);
  if (c.colour_pending) {
    c.colour_pending = false;
    send_colour(c, c.pending_colour[0], c.pending_colour[1], c.pending_colour[2], c.pending_colour[3]);
  }
}

void release_gl_state() {
  delete g_runtime.gl_cache;
  g_runtime.gl_cache = nullptr;
}

void invalidate_gl_state() {
  flush_drawing();
  GlStateCache& c = cache();
  for (int8_t& flag : c.enabled) flag = UNKNOWN;
  c.colour_known = c.blend_known = c.alpha_func_known = c.texture_known = false;
  c.texture_params.clear();
  c.max_texture_size = 0;
}

void gl_set_enabled(GLenum capability, bool on) {
  GlStateCache& c = cache();
  int index = tracked_index(capability);
  if (index >= 0 && c.enabled[index] == (on ? 1 : 0)) return;
  flush_drawing();
  if (on) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
  if (index >= 0) c.enabled[index] = on ? 1 : 0;
}

bool gl_is_enabled(GLenum capability) {
  GlStateCache& c = cache();
  int index = tracked_index(capability);
  if (index >= 0 && c.enabled[index] != UNKNOWN) return c.enabled[index] == 1;
  bool on = glIsEnabled(capability) == GL_TRUE;
  if (index >= 0) c.enabled[index] = on ? 1 : 0;
  return on;
}

void gl_forget_colour() { cache().colour_known = false; }

void gl_set_colour(float red, float green, float blue, float alpha) {
  GlStateCache& c = cache();
  if (c.colour_known && same_colour(c.colour, red, green, blue, alpha)) {
    c.colour_pending = false;  // the queued quads and what follows share this colour
    return;
  }
  flush_drawing();
  if (c.colour_known && same_colour(c.colour, red, green, blue, alpha)) return;
  send_colour(c, red, green, blue, alpha);
}

void gl_set_colour_after_queue(float red, float green, float blue, float alpha) {
  GlStateCache& c = cache();
  if (c.queue.empty()) {
    gl_set_colour(red, green, blue, alpha);
    return;
  }
  if (c.colour_known && same_colour(c.colour, red, green, blue, alpha)) {
    c.colour_pending = false;
    return;
  }
  c.colour_pending = true;
  c.pending_colour[0] = red;
  c.pending_colour[1] = green;
  c.pending_colour[2] = blue;
  c.pending_colour[3] = alpha;
}

void gl_set_blend_func(GLenum source, GLenum destination) {
  GlStateCache& c = cache();
  if (c.blend_known && c.blend_source == source && c.blend_destination == destination) return;
  flush_drawing();
  glBlendFunc(source, destination);
  c.blend_source = source;
  c.blend_destination = destination;
  c.blend_known = true;
}

void gl_set_alpha_func(GLenum function, float reference) {
  GlStateCache& c = cache();
  if (c.alpha_func_known && c.alpha_function == function && c.alpha_reference == reference) return;
  flush_drawing();
  glAlphaFunc(function, reference);
  c.alpha_function = function;
  c.alpha_reference = reference;
  c.alpha_func_known = true;
}

void gl_bind_texture(GLuint texture) {
  GlStateCache& c = cache();
  if (c.texture_known && c.texture == texture) return;
  flush_drawing();
  glBindTexture(GL_TEXTURE_2D, texture);
  c.texture = texture;
  c.texture_known = true;
}

GLuint gl_bound_texture() {
  GlStateCache& c = cache();
  return c.texture_known ? c.texture : 0;
}

void gl_set_texture_params(GLuint texture, bool linear, bool clamp) {
  GlStateCache& c = cache();
  int8_t wanted = static_cast<int8_t>((linear ? PARAM_LINEAR : 0) | (clamp ? PARAM_CLAMP : 0));
  if (texture < c.texture_params.size() && c.texture_params[texture] == wanted) return;
  flush_drawing();
  GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  GLint wrap = clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  if (texture >= c.texture_params.size()) {
    // Texture names are small consecutive numbers; an absurd one is simply not remembered.
    if (texture > (1u << 22)) return;
    c.texture_params.resize(texture + 1, UNKNOWN);
  }
  c.texture_params[texture] = wanted;
}

void gl_forget_texture(GLuint texture) {
  GlStateCache& c = cache();
  flush_drawing();
  if (texture < c.texture_params.size()) c.texture_params[texture] = UNKNOWN;
  // Deleting the bound texture makes GL bind 0; the cache no longer knows.
  if (c.texture_known && c.texture == texture) c.texture_known = false;
}

void queue_quad(const QuadCorner& c0, const QuadCorner& c1, const QuadCorner& c2,
                const QuadCorner& c3) {
  std::vector<QuadCorner>& queue = cache().queue;
  // The fan c0 c1 c2 c3 is the triangles (c0 c1 c2) and (c0 c2 c3).
  queue.push_back(c0);
  queue.push_back(c1);
  queue.push_back(c2);
  queue.push_back(c0);
  queue.push_back(c2);
  queue.push_back(c3);
  if (queue.size() >= 6 * 4096) flush_drawing();
}

int32_t gl_max_texture_size() {
  GlStateCache& c = cache();
  if (c.max_texture_size <= 0) {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    c.max_texture_size = size;
  }
  return c.max_texture_size;
}

void* gl_entry_point(const char* name) { return os_video().gl_proc_address(name); }

}  // namespace qrn
