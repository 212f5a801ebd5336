// The OpenGL state cache and quad queue (see gl_state.h).
#include "gfx/gl_state.h"

#include <GL/glext.h>

#include <algorithm>
#include <cmath>
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

// The part of a texture outside which every texel is transparent (alpha 0), in texture
// coordinates, widened by a texel for linear filtering; an edge that reaches the texture's
// border is open (infinite), as clamping repeats the border texels beyond it.
struct VisibleBox {
  bool known = false;
  float u0 = 0, v0 = 0, u1 = 0, v1 = 0;  // u0 > u1: nothing visible
  int32_t texture_w = 0, texture_h = 0;   // kept when only the texels are forgotten
};

// Per texture name: bit 0 linear, bit 1 clamp; UNKNOWN when not known.
constexpr int8_t PARAM_LINEAR = 1, PARAM_CLAMP = 2;

// Quads queued before they are drawn in any case.
constexpr size_t QUEUE_QUADS = 4096;
// The smallest queue for which the queue's programs are made (see quad_program).
constexpr size_t PROGRAM_QUADS = 256;

// The queue's own shader programs: the fixed pipeline's texturing (the texel, or the texel
// times the current colour) with the texture coordinates interpolated without the
// perspective divide. A 2D quad has w = 1 everywhere, so the coordinates are the same and
// the software rasterizer saves a division per pixel.
struct QuadPrograms {
  bool tried = false;  // made (or failed to make) for context
  void* context = nullptr;
  GLuint replace = 0, modulate = 0;  // 0: not available, the fixed pipeline draws
  PFNGLUSEPROGRAMPROC use = nullptr;
};

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
  std::vector<VisibleBox> visible;     // indexed by texture name
  bool program_bound = false;          // a shader program of the program's own is in use
  bool second_texture = false;         // texturing is on for unit 1 as well
  bool quad_programs_on = true;
  QuadPrograms programs;
  bool trimming = true;
  int64_t cut_quads = 0;
  int32_t max_texture_size = 0;

  std::vector<QuadCorner> queue;  // four corners per quad
  bool turned_queued = false;     // a quad of the queue is not upright
  // A quad of the queue samples its texture nearest at points that may fall on a border
  // between texels (scaled or turned), where the fixed pipeline and the programs may round
  // to different texels: the queue is then drawn by the fixed pipeline.
  bool border_samples_queued = false;
  std::vector<QuadCorner> triangles;  // the queue cut into triangles for drawing

  GlStateCache() {
    for (int8_t& flag : enabled) flag = UNKNOWN;
    queue.reserve(4 * QUEUE_QUADS);
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

// Textured quads in opaque white take the texel as it is (GL_REPLACE gives the same pixels
// as modulating by 1 and skips the multiply); everything else modulates, which is what the
// rest of the drawing code (fonts, polygons, the 3D engine) expects to find.
bool replaces_texture(const GlStateCache& c) {
  const int textured = c.enabled[tracked_index(GL_TEXTURE_2D)];
  return c.colour_known && textured == 1 && same_colour(c.colour, 1.0f, 1.0f, 1.0f, 1.0f);
}

const char* const QUAD_VERTEX_SHADER =
    "#version 130\n"
    "noperspective out vec2 uv;\n"
    "flat out vec4 tint;\n"
    "void main() {\n"
    "  gl_Position = ftransform();\n"
    "  uv = (gl_TextureMatrix[0] * gl_MultiTexCoord0).xy;\n"
    "  tint = clamp(gl_Color, 0.0, 1.0);\n"
    "}\n";
const char* const QUAD_REPLACE_SHADER =
    "#version 130\n"
    "noperspective in vec2 uv;\n"
    "uniform sampler2D image;\n"
    "void main() { gl_FragColor = texture(image, uv); }\n";
const char* const QUAD_MODULATE_SHADER =
    "#version 130\n"
    "noperspective in vec2 uv;\n"
    "flat in vec4 tint;\n"
    "uniform sampler2D image;\n"
    "void main() { gl_FragColor = texture(image, uv) * tint; }\n";

// Both programs, or neither: a driver without GLSL 1.30 (or a failed compile) keeps the fixed
// pipeline, which draws the same pixels more slowly.
void make_quad_programs(QuadPrograms& p) {
  auto create_shader = reinterpret_cast<PFNGLCREATESHADERPROC>(gl_entry_point("glCreateShader"));
  auto shader_source = reinterpret_cast<PFNGLSHADERSOURCEPROC>(gl_entry_point("glShaderSource"));
  auto compile_shader = reinterpret_cast<PFNGLCOMPILESHADERPROC>(gl_entry_point("glCompileShader"));
  auto get_shader = reinterpret_cast<PFNGLGETSHADERIVPROC>(gl_entry_point("glGetShaderiv"));
  auto delete_shader = reinterpret_cast<PFNGLDELETESHADERPROC>(gl_entry_point("glDeleteShader"));
  auto create_program = reinterpret_cast<PFNGLCREATEPROGRAMPROC>(gl_entry_point("glCreateProgram"));
  auto attach_shader = reinterpret_cast<PFNGLATTACHSHADERPROC>(gl_entry_point("glAttachShader"));
  auto link_program = reinterpret_cast<PFNGLLINKPROGRAMPROC>(gl_entry_point("glLinkProgram"));
  auto get_program = reinterpret_cast<PFNGLGETPROGRAMIVPROC>(gl_entry_point("glGetProgramiv"));
  auto delete_program = reinterpret_cast<PFNGLDELETEPROGRAMPROC>(gl_entry_point("glDeleteProgram"));
  p.use = reinterpret_cast<PFNGLUSEPROGRAMPROC>(gl_entry_point("glUseProgram"));
  if (!create_shader || !shader_source || !compile_shader || !get_shader || !delete_shader || !create_program ||
      !attach_shader || !link_program || !get_program || !delete_program || !p.use)
    return;
  auto compile = [&](GLenum kind, const char* source) -> GLuint {
    GLuint shader = create_shader(kind);
    if (!shader) return 0;
    shader_source(shader, 1, &source, nullptr);
    compile_shader(shader);
    GLint ok = GL_FALSE;
    get_shader(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
      delete_shader(shader);
      return 0;
    }
    return shader;
  };
  auto link = [&](GLuint vertex, GLuint fragment) -> GLuint {
    GLuint program = vertex && fragment ? create_program() : 0;
    if (!program) return 0;
    attach_shader(program, vertex);
    attach_shader(program, fragment);
    link_program(program);
    GLint ok = GL_FALSE;
    get_program(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
      delete_program(program);
      return 0;
    }
    return program;  // its sampler is unit 0 by default
  };
  GLuint vertex = compile(GL_VERTEX_SHADER, QUAD_VERTEX_SHADER);
  GLuint replace = compile(GL_FRAGMENT_SHADER, QUAD_REPLACE_SHADER);
  GLuint modulate = compile(GL_FRAGMENT_SHADER, QUAD_MODULATE_SHADER);
  p.replace = link(vertex, replace);
  p.modulate = link(vertex, modulate);
  for (GLuint shader : {vertex, replace, modulate}) {
    if (shader) delete_shader(shader);  // the programs keep them
  }
  if (!p.replace || !p.modulate) {
    for (GLuint program : {p.replace, p.modulate}) {
      if (program) delete_program(program);
    }
    p.replace = p.modulate = 0;
  }
  while (glGetError() != GL_NO_ERROR) {
  }
}

// The program that draws the queue like the fixed pipeline would under the current state, or
// 0 where only the fixed pipeline does: a program of the program's own, texturing off, a
// second texture unit, fog or lighting, nearest samples on texel borders.
GLuint quad_program(GlStateCache& c, bool replace) {
  if (!c.quad_programs_on || c.program_bound || c.second_texture || c.border_samples_queued) return 0;
  if (c.enabled[tracked_index(GL_TEXTURE_2D)] != 1 || gl_is_enabled(GL_FOG) || gl_is_enabled(GL_LIGHTING)) return 0;
  QuadPrograms& p = c.programs;
  void* context = os_video().current_gl_context();
  if (!context) return 0;
  if (p.tried && p.context == context) return replace ? p.replace : p.modulate;
  // Compiling them costs some 40 ms, which pays only where many sprites are drawn: they are
  // made for the first queue of PROGRAM_QUADS quads (a clock drawing a few never makes them).
  if (c.queue.size() < 4 * PROGRAM_QUADS) return 0;
  p = QuadPrograms();  // in another context the old names mean nothing
  p.tried = true;
  p.context = context;
  make_quad_programs(p);
  return replace ? p.replace : p.modulate;
}

void draw_queue(GlStateCache& c) {
  // Client arrays are set on every flush: other drawing code may have changed them.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  const float* data = &c.queue[0].x;
  glVertexPointer(2, GL_FLOAT, sizeof(QuadCorner), data);
  glTexCoordPointer(2, GL_FLOAT, sizeof(QuadCorner), data + 2);
  const bool replace = replaces_texture(c);
  const GLuint program = quad_program(c, replace);
  if (program) {
    c.programs.use(program);
  } else if (replace) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  }
  if (c.turned_queued) {
    // Turned quads as the triangle pairs of their fans, which is how they were always cut.
    c.triangles.resize(c.queue.size() / 4 * 6);
    QuadCorner* out = c.triangles.data();
    for (size_t i = 0; i < c.queue.size(); i += 4, out += 6) {
      const QuadCorner* q = &c.queue[i];
      out[0] = q[0], out[1] = q[1], out[2] = q[2], out[3] = q[0], out[4] = q[2], out[5] = q[3];
    }
    data = &c.triangles[0].x;
    glVertexPointer(2, GL_FLOAT, sizeof(QuadCorner), data);
    glTexCoordPointer(2, GL_FLOAT, sizeof(QuadCorner), data + 2);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(c.triangles.size()));
  } else {
    // Upright quads as quads: the rasterizer fills each as one rectangle instead of shading
    // the blocks along a shared diagonal twice, with the same pixels.
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(c.queue.size()));
  }
  if (program) {
    c.programs.use(0);
  } else if (replace) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  }
  c.queue.clear();
  c.turned_queued = false;
  c.border_samples_queued = false;
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
  if (texture < c.visible.size()) c.visible[texture] = VisibleBox();
  // Deleting the bound texture makes GL bind 0; the cache no longer knows.
  if (c.texture_known && c.texture == texture) c.texture_known = false;
}

void gl_note_texture_contents(GLuint texture, const uint8_t* rgba, int32_t tw, int32_t th) {
  GlStateCache& c = cache();
  if (texture == 0 || texture > (1u << 22) || tw < 1 || th < 1) return;
  int32_t left = tw, right = -1, bottom = th, top = -1;
  for (int32_t row = 0; row < th; ++row) {
    const uint8_t* p = rgba + static_cast<size_t>(row) * tw * 4 + 3;
    for (int32_t column = 0; column < tw; ++column, p += 4) {
      if (*p == 0) continue;
      left = std::min(left, column);
      right = std::max(right, column);
      bottom = std::min(bottom, row);
      top = std::max(top, row);
    }
  }
  if (texture >= c.visible.size()) c.visible.resize(texture + 1);
  VisibleBox& box = c.visible[texture];
  box.known = true;
  box.texture_w = tw;
  box.texture_h = th;
  if (right < 0) {  // wholly transparent
    box.u0 = box.v0 = 1.0f;
    box.u1 = box.v1 = 0.0f;
    return;
  }
  // One texel more on every side: a linear sample reads the texels within half a texel.
  const float inf = INFINITY;
  box.u0 = left - 1 <= 0 ? -inf : static_cast<float>(left - 1) / tw;
  box.u1 = right + 2 >= tw ? inf : static_cast<float>(right + 2) / tw;
  box.v0 = bottom - 1 <= 0 ? -inf : static_cast<float>(bottom - 1) / th;
  box.v1 = top + 2 >= th ? inf : static_cast<float>(top + 2) / th;
}

void gl_forget_texture_contents(GLuint texture) {
  GlStateCache& c = cache();
  flush_drawing();
  if (texture < c.visible.size()) c.visible[texture].known = false;
}

void gl_note_program_bound(bool bound) { cache().program_bound = bound; }

void gl_note_second_texture(bool on) { cache().second_texture = on; }

void gl_set_quad_programs(bool on) {
  flush_drawing();
  cache().quad_programs_on = on;
}

bool gl_quad_programs_available() {
  const QuadPrograms& p = cache().programs;
  return p.tried && p.replace && p.context == os_video().current_gl_context();
}

void gl_forget_context_objects() {
  flush_drawing();
  cache().programs = QuadPrograms();
}

int64_t gl_cut_quad_count() { return cache().cut_quads; }

void gl_set_quad_trimming(bool on) {
  flush_drawing();
  cache().trimming = on;
}

namespace {

// The visible box of the bound texture when a fully transparent fragment changes nothing
// under the current state: blending that keeps the target where the source alpha is 0, or
// an alpha test that discards it; no depth or stencil test (which would still write), no
// program of the program's own, clamped texture coordinates. Null otherwise; linear is set
// to the texture's filter.
const VisibleBox* trimming_box(const GlStateCache& c, bool& linear) {
  if (!c.trimming || c.program_bound || !c.texture_known || c.texture >= c.visible.size()) return nullptr;
  const VisibleBox& box = c.visible[c.texture];
  if (!box.known) return nullptr;
  if (c.texture >= c.texture_params.size() || c.texture_params[c.texture] == UNKNOWN ||
      !(c.texture_params[c.texture] & PARAM_CLAMP))
    return nullptr;
  linear = (c.texture_params[c.texture] & PARAM_LINEAR) != 0;
  auto on = [&c](GLenum capability) { return c.enabled[tracked_index(capability)]; };
  if (on(GL_TEXTURE_2D) != 1 || on(GL_DEPTH_TEST) != 0 || on(GL_STENCIL_TEST) != 0) return nullptr;
  const bool discarded = on(GL_ALPHA_TEST) == 1 && c.alpha_func_known &&
                         ((c.alpha_function == GL_GREATER && c.alpha_reference >= 0.0f) ||
                          (c.alpha_function == GL_GEQUAL && c.alpha_reference > 0.0f));
  const bool kept = on(GL_BLEND) == 1 && c.blend_known && c.blend_source == GL_SRC_ALPHA &&
                    (c.blend_destination == GL_ONE_MINUS_SRC_ALPHA || c.blend_destination == GL_ONE);
  return discarded || kept ? &box : nullptr;
}

bool whole(double value) { return value == std::floor(value); }

// Cuts a quad down to the part of it that shows texels of the visible box: the texture
// rectangle of the quad is clipped to the box and the corners moved along the quad's own
// edges. Only where the cut quad gives the pixels of the whole one: an upright quad one
// texel per pixel at whole coordinates (the cut corners are whole pixels and every texture
// coordinate comes out exactly as before), or a turned quad filtered linearly (where the
// rounding of the cut corners moves a sample by far less than the 1/256 of a texel a
// filter weight resolves, so a colour changes by 1/255 at most). Anything else, a quad that
// is not a parallelogram or whose texture rectangle does not run along its edges included,
// is left whole. NOTHING when nothing of the quad can show (whatever its scale: every sample
// it takes is then transparent).
enum class Trim { WHOLE, CUT, NOTHING };
Trim trim_quad(const VisibleBox& box, bool upright, bool linear, QuadCorner q[4]) {
  // Which edge from corner 1 carries u: to corner 0 (upright and turned sprites) or to 2.
  const double du0 = q[0].u - q[1].u, dv0 = q[0].v - q[1].v;
  const double du2 = q[2].u - q[1].u, dv2 = q[2].v - q[1].v;
  const QuadCorner *along_u, *along_v;
  if (dv0 == 0 && du2 == 0 && du0 != 0 && dv2 != 0) {
    along_u = &q[0];
    along_v = &q[2];
  } else if (du0 == 0 && dv2 == 0 && dv0 != 0 && du2 != 0) {
    along_u = &q[2];
    along_v = &q[0];
  } else {
    return Trim::WHOLE;
  }
  if (q[3].u != q[0].u + q[2].u - q[1].u || q[3].v != q[0].v + q[2].v - q[1].v) return Trim::WHOLE;
  if (std::fabs(q[3].x - (q[0].x + q[2].x - q[1].x)) > 1e-3f ||
      std::fabs(q[3].y - (q[0].y + q[2].y - q[1].y)) > 1e-3f)
    return Trim::WHOLE;
  const QuadCorner base = q[1];
  const double span_u = along_u->u - base.u, span_v = along_v->v - base.v;
  // Positions per unit of u and of v along the two edges.
  const double ux = (along_u->x - base.x) / span_u, uy = (along_u->y - base.y) / span_u;
  const double vx = (along_v->x - base.x) / span_v, vy = (along_v->y - base.y) / span_v;
  const float u_low = std::min(q[0].u, q[2].u), u_high = std::max(q[0].u, q[2].u);
  const float v_low = std::min(q[0].v, q[2].v), v_high = std::max(q[0].v, q[2].v);
  const float cut_u0 = std::max(u_low, box.u0), cut_u1 = std::min(u_high, box.u1);
  const float cut_v0 = std::max(v_low, box.v0), cut_v1 = std::min(v_high, box.v1);
  if (!(cut_u0 < cut_u1) || !(cut_v0 < cut_v1)) return Trim::NOTHING;
  if (cut_u0 == u_low && cut_u1 == u_high && cut_v0 == v_low && cut_v1 == v_high) return Trim::WHOLE;
  if (upright) {
    const double tw = box.texture_w, th = box.texture_h;
    const bool texel_per_pixel = uy == 0 && vx == 0 && std::fabs(ux) == tw && std::fabs(vy) == th;
    if (!texel_per_pixel || !whole(base.x) || !whole(base.y) || !whole(base.u * tw) || !whole(base.v * th) ||
        !gl_target_unscaled())
      return Trim::WHOLE;
  } else if (!linear) {
    return Trim::WHOLE;
  }
  for (int i = 0; i < 4; ++i) {
    const float u = q[i].u == u_low ? cut_u0 : cut_u1;
    const float v = q[i].v == v_low ? cut_v0 : cut_v1;
    const double s = u - base.u, t = v - base.v;
    q[i] = {static_cast<float>(base.x + s * ux + t * vx), static_cast<float>(base.y + s * uy + t * vy), u, v};
  }
  return Trim::WHOLE;
}

// An upright quad one texel per pixel at whole coordinates of an unscaled target: every
// sample falls on the centre of a texel.
bool samples_texel_centres(const QuadCorner* q, int32_t tw, int32_t th) {
  if (tw <= 0 || th <= 0 || q[0].y != q[1].y || q[2].x != q[1].x || q[0].v != q[1].v || q[2].u != q[1].u)
    return false;
  const double du = q[0].u - q[1].u, dv = q[2].v - q[1].v;
  return std::fabs(q[0].x - q[1].x) == std::fabs(du) * tw && std::fabs(q[2].y - q[1].y) == std::fabs(dv) * th &&
         whole(q[1].x) && whole(q[1].y) && whole(q[1].u * static_cast<double>(tw)) &&
         whole(q[1].v * static_cast<double>(th)) && gl_target_unscaled();
}

// Whether the quad's nearest samples may fall on texel borders (see border_samples_queued).
bool samples_on_borders(const GlStateCache& c, const QuadCorner* q, bool upright) {
  if (!c.texture_known || c.texture >= c.texture_params.size() || c.texture >= c.visible.size()) return true;
  const int8_t params = c.texture_params[c.texture];
  if (params == UNKNOWN) return true;
  if (params & PARAM_LINEAR) return false;
  const VisibleBox& box = c.visible[c.texture];
  return !upright || !samples_texel_centres(q, box.texture_w, box.texture_h);
}

}  // namespace

void queue_quad(const QuadCorner& c0, const QuadCorner& c1, const QuadCorner& c2,
                const QuadCorner& c3, bool upright) {
  GlStateCache& c = cache();
  std::vector<QuadCorner>& queue = c.queue;
  const size_t end = queue.size();
  queue.resize(end + 4);
  QuadCorner* corner = &queue[end];
  corner[0] = c0;
  corner[1] = c1;
  corner[2] = c2;
  corner[3] = c3;
  bool linear = false;
  if (const VisibleBox* box = trimming_box(c, linear)) {
    const Trim trim = trim_quad(*box, upright, linear, corner);
    if (trim != Trim::WHOLE) ++c.cut_quads;
    if (trim == Trim::NOTHING) {
      queue.resize(end);
      return;
    }
  }
  if (!upright) c.turned_queued = true;
  if (!c.border_samples_queued && samples_on_borders(c, corner, upright)) c.border_samples_queued = true;
  if (queue.size() >= 4 * QUEUE_QUADS) flush_drawing();
}

bool gl_target_unscaled() {
  const float scale = g_runtime.virtual_scale;
  return scale == 0.0f || scale == 1.0f || g_runtime.target_screen != -1 || g_runtime.current_offscreen != -1;
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
