// Drawing a playing video into the window (see video_surface.h).
#include "gfx/video_surface.h"

#include <GL/gl.h>

#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "platform/video_player.h"

namespace qrn {

namespace {

constexpr GLenum kCurrentProgram = 0x8B8D;  // GL_CURRENT_PROGRAM
using UseProgramFn = void (*)(GLuint);
using ActiveTextureFn = void (*)(GLenum);
constexpr GLenum kTexture0 = 0x84C0;  // GL_TEXTURE0

// Textures of any size (OpenGL 2.0 on): a texture is then exactly as large as its picture,
// so filtering never reaches beyond the picture's edge.
bool any_size_textures() {
  const GLubyte* version = glGetString(GL_VERSION);
  return version && version[0] >= '2' && version[0] <= '9';
}

// The side of a texture for n pixels: n itself where textures of any size are allowed, else
// the smallest power of two from 1 that reaches n.
int32_t side_for(int32_t n) {
  static const bool exact = any_size_textures();
  if (exact) return n;
  int32_t side = 1;
  while (side < n) side <<= 1;
  return side;
}

uint32_t make_texture(int32_t w, int32_t h, GLint filter) {
  GLuint name = 0;
  glGenTextures(1, &name);
  if (!name) return 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  return name;
}

void delete_texture(uint32_t& name) {
  if (!name) return;
  GLuint gl_name = name;
  glDeleteTextures(1, &gl_name);
  gl_forget_texture(name);
  name = 0;
}

// A textured quad from (x0, y0) to (x1, y1) in window pixels with texture corners (u0, v0)
// at the top left and (u1, v1) at the bottom right.
void quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1) {
  glBegin(GL_QUADS);
  glTexCoord2f(u0, v0);
  glVertex2f(x0, y0);
  glTexCoord2f(u1, v0);
  glVertex2f(x1, y0);
  glTexCoord2f(u1, v1);
  glVertex2f(x1, y1);
  glTexCoord2f(u0, v1);
  glVertex2f(x0, y1);
  glEnd();
}

// The program's GL state saved for the length of one draw, with plain 2D drawing in window
// pixels (origin top left) set up meanwhile.
class WindowPixelsState {
 public:
  WindowPixelsState(int32_t width, int32_t height) {
    flush_drawing();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    if (active_texture_) active_texture_(kTexture0);
    if (use_program_) {  // a context without shader programs has no current program to ask for
      glGetIntegerv(kCurrentProgram, &program_);
      if (program_) use_program_(0);
    }
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, width, height);
    for (GLenum off : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_LIGHTING, GL_CULL_FACE, GL_FOG, GL_SCISSOR_TEST,
                       GL_STENCIL_TEST, GL_COLOR_MATERIAL, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T}) {
      glDisable(off);
    }
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  }
  ~WindowPixelsState() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    if (program_ && use_program_) use_program_(static_cast<GLuint>(program_));
    glPopClientAttrib();
    glPopAttrib();
    invalidate_gl_state();  // textures were bound behind the cache
  }
  WindowPixelsState(const WindowPixelsState&) = delete;
  WindowPixelsState& operator=(const WindowPixelsState&) = delete;

 private:
  UseProgramFn use_program_ = reinterpret_cast<UseProgramFn>(gl_entry_point("glUseProgram"));
  ActiveTextureFn active_texture_ = reinterpret_cast<ActiveTextureFn>(gl_entry_point("glActiveTextureARB"));
  GLint program_ = 0;
};

}  // namespace

bool VideoSurface::begin(OpenGLZodidoze& device, int32_t width, int32_t height, const uint8_t* shown_rgba,
                         int32_t shown_width, int32_t shown_height) {
  end();
  int32_t max = gl_max_texture_size();
  if (max <= 0 || width < 1 || height < 1 || width > max || height > max) return false;
  device.end_offscreen();  // the video is shown in the window
  device_ = &device;
  width_ = width;
  height_ = height;
  backdrop_side_w_ = side_for(width);
  backdrop_side_h_ = side_for(height);
  WindowPixelsState state(width, height);
  backdrop_ = make_texture(backdrop_side_w_, backdrop_side_h_, GL_NEAREST);
  if (!backdrop_) return true;
  backdrop_top_first_ = shown_rgba && shown_width == width && shown_height == height;
  if (backdrop_top_first_) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, shown_rgba);
  } else {
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
  }
  return true;
}

bool VideoSurface::draw(const VideoFrame& frame, const VideoRect& rect) {
  if (!device_ || !frame.pixels || frame.width < 1 || frame.height < 1 || frame.stride < frame.width * 4 ||
      frame.stride % 4 != 0) {
    return false;
  }
  int32_t max = gl_max_texture_size();
  if (frame.width > max || frame.height > max) return false;
  WindowPixelsState state(width_, height_);
  if (!picture_ || side_for(frame.width) != picture_side_w_ || side_for(frame.height) != picture_side_h_) {
    delete_texture(picture_);
    picture_side_w_ = side_for(frame.width);
    picture_side_h_ = side_for(frame.height);
    picture_ = make_texture(picture_side_w_, picture_side_h_, GL_LINEAR);
    if (!picture_) return false;
  }
  glBindTexture(GL_TEXTURE_2D, picture_);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, frame.stride / 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.pixels);
  picture_w_ = frame.width;
  picture_h_ = frame.height;

  bool covers_window = rect.x <= 0 && rect.y <= 0 && rect.x + rect.width >= width_ && rect.y + rect.height >= height_;
  if (backdrop_ && !covers_window) {
    // A copy of the framebuffer counts its rows from the bottom: the window's top row is
    // then the texture's row h - 1.
    glBindTexture(GL_TEXTURE_2D, backdrop_);
    float u1 = static_cast<float>(width_) / static_cast<float>(backdrop_side_w_);
    float v_end = static_cast<float>(height_) / static_cast<float>(backdrop_side_h_);
    float v_top = backdrop_top_first_ ? 0.0f : v_end;
    float v_bottom = backdrop_top_first_ ? v_end : 0.0f;
    quad(0.0f, 0.0f, static_cast<float>(width_), static_cast<float>(height_), 0.0f, v_top, u1, v_bottom);
  }
  glBindTexture(GL_TEXTURE_2D, picture_);
  float u1 = static_cast<float>(picture_w_) / static_cast<float>(picture_side_w_);
  float v1 = static_cast<float>(picture_h_) / static_cast<float>(picture_side_h_);
  quad(static_cast<float>(rect.x), static_cast<float>(rect.y), static_cast<float>(rect.x + rect.width),
       static_cast<float>(rect.y + rect.height), 0.0f, 0.0f, u1, v1);
  ++frames_drawn_;
  return true;
}

void VideoSurface::end() {
  if (!device_) return;
  delete_texture(backdrop_);
  delete_texture(picture_);
  picture_side_w_ = picture_side_h_ = picture_w_ = picture_h_ = 0;
  device_ = nullptr;
  frames_drawn_ = 0;
}

}  // namespace qrn
