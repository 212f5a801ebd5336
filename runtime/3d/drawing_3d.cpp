// Drawing loaded objects (see drawing_3d.h): fixed-function matrices and client arrays over
// the triangles build_triangles made, leaving the 2D drawing state as it found it.
#include "3d/drawing_3d.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "3d/engine_3d.h"
#include "3d/shaders.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "host/gl_extensions.h"
#include "core/runtime_state.h"

namespace qrn {

namespace {

constexpr double PI = 3.14159265358979323846;

bool finite3(double a, double b, double c) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); }

// The view matrix of a camera at eye looking at target, y up (or z when looking straight up
// or down), in GL's column order.
void look_at(const Camera3D& camera) {
  double f[3] = {camera.target[0] - camera.eye[0], camera.target[1] - camera.eye[1],
                 camera.target[2] - camera.eye[2]};
  double length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& c : f) c /= length;
  double up[3] = {0.0, 1.0, 0.0};
  if (std::fabs(f[1]) > 0.999) up[1] = 0.0, up[2] = f[1] > 0 ? 1.0 : -1.0;
  double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
  length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  for (double& c : s) c /= length;
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
  const GLdouble m[16] = {s[0], u[0], -f[0], 0, s[1], u[1], -f[1], 0, s[2], u[2], -f[2], 0, 0, 0, 0, 1};
  glMultMatrixd(m);
  glTranslated(-camera.eye[0], -camera.eye[1], -camera.eye[2]);
}

void set_projection(const Camera3D& camera, int32_t orientation) {
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  double aspect = viewport[3] > 0 ? static_cast<double>(viewport[2]) / viewport[3] : 1.0;
  const bool sideways = orientation == 1 || orientation == 3;
  if (sideways && aspect > 0) aspect = 1.0 / aspect;
  glLoadIdentity();
  // The same quarter turns the 2D projection makes for the screen's orientation.
  if (orientation) glRotatef(-90.0f * static_cast<float>(orientation), 0.0f, 0.0f, 1.0f);
  const double top = camera.near_distance * std::tan(camera.fov_degrees * PI / 360.0);
  glFrustum(-top * aspect, top * aspect, -top, top, camera.near_distance, camera.far_distance);
}

void set_lighting(const Light3D& light) {
  const double* d = light.direction;
  if (d[0] == 0.0 && d[1] == 0.0 && d[2] == 0.0) return;
  const float ambient = static_cast<float>(light.ambient);
  const float diffuse = 1.0f - ambient;
  const GLfloat position[4] = {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2]), 0.0f};
  const GLfloat scene_ambient[4] = {ambient, ambient, ambient, 1.0f};
  const GLfloat light_diffuse[4] = {diffuse, diffuse, diffuse, 1.0f};
  const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  gl_set_enabled(GL_LIGHTING, true);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_POSITION, position);  // after the view: a direction in the world
  glLightfv(GL_LIGHT0, GL_DIFFUSE, light_diffuse);
  glLightfv(GL_LIGHT0, GL_AMBIENT, none);
  glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, scene_ambient);
  // One-sided: mesh files do not agree on a winding, so a triangle is lit by its normals
  // alone, whichever way it faces the camera.
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  gl_set_enabled(GL_COLOR_MATERIAL, true);
  gl_set_enabled(GL_NORMALIZE, true);
}

void clear_lighting() {
  gl_set_enabled(GL_LIGHTING, false);
  gl_set_enabled(GL_COLOR_MATERIAL, false);
  gl_set_enabled(GL_NORMALIZE, false);
  glDisable(GL_LIGHT0);
}

// The scene texture a mesh names, 0 when it names none that exists.
uint32_t scene_texture(const ObjectSlot& slot, int32_t number, float& extent_u, float& extent_v) {
  extent_u = extent_v = 1.0f;
  if (!slot.is_scene || number < 0 || static_cast<size_t>(number) >= slot.textures.size()) return 0;
  extent_u = slot.texture_extents[static_cast<size_t>(number) * 2];
  extent_v = slot.texture_extents[static_cast<size_t>(number) * 2 + 1];
  return slot.textures[static_cast<size_t>(number)];
}

void bind_second_texture(uint32_t texture) {
  const GlExtensions& gl = gl_extensions();
  if (!gl.glActiveTextureARB) return;
  gl.glActiveTextureARB(GL_TEXTURE1_ARB);
  if (texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
  } else {
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
  }
  gl.glActiveTextureARB(GL_TEXTURE0_ARB);
  gl_note_second_texture(texture != 0);
}

void draw_frame(const MeshFrame& frame, bool second_unit) {
  const MeshVertex* first = frame.triangles.data();
  const GLsizei stride = sizeof(MeshVertex);
  glVertexPointer(3, GL_FLOAT, stride, first->position);
  glNormalPointer(GL_FLOAT, stride, first->normal);
  glColorPointer(4, GL_FLOAT, stride, first->rgba);
  glTexCoordPointer(2, GL_FLOAT, stride, &first->u);
  const GlExtensions& gl = gl_extensions();
  if (second_unit && gl.glClientActiveTextureARB) {
    gl.glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, &first->u);
    gl.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(std::min<size_t>(frame.triangles.size(), INT32_MAX / 3 * 3)));
  if (second_unit && gl.glClientActiveTextureARB) {
    gl.glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

}  // namespace

void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y,
                double target_z) {
  Zodidoze3D* engine = g_runtime.engine_3d;
  if (!engine || !finite3(eye_x, eye_y, eye_z) || !finite3(target_x, target_y, target_z)) return;
  if (eye_x == target_x && eye_y == target_y && eye_z == target_z) return;
  Camera3D& camera = engine->camera;
  camera.eye[0] = eye_x, camera.eye[1] = eye_y, camera.eye[2] = eye_z;
  camera.target[0] = target_x, camera.target[1] = target_y, camera.target[2] = target_z;
}

void set_camera_lens(double fov_degrees, double near_distance, double far_distance) {
  Zodidoze3D* engine = g_runtime.engine_3d;
  if (!engine) return;
  if (!(fov_degrees > 0.0 && fov_degrees < 180.0) || !(near_distance > 0.0) ||
      !(far_distance > near_distance) || !std::isfinite(far_distance))
    return;
  engine->camera.fov_degrees = fov_degrees;
  engine->camera.near_distance = near_distance;
  engine->camera.far_distance = far_distance;
}

void set_light(double direction_x, double direction_y, double direction_z, double ambient) {
  Zodidoze3D* engine = g_runtime.engine_3d;
  if (!engine || !finite3(direction_x, direction_y, direction_z)) return;
  Light3D& light = engine->light;
  light.direction[0] = direction_x, light.direction[1] = direction_y, light.direction[2] = direction_z;
  light.ambient = std::isnan(ambient) ? light.ambient : std::clamp(ambient, 0.0, 1.0);
}

void draw_object(int32_t object, int32_t frame, double x, double y, double z, double turn_x,
                 double turn_y, double turn_z, double scale) {
  RuntimeState& rt = g_runtime;
  Zodidoze3D* engine = rt.engine_3d;
  OpenGLZodidoze* device = rt.device;
  if (!engine || !device) return;
  const ObjectSlot* slot = engine->object_slot(object);
  if (!slot || !slot->loaded) return;

  if (device->bound_second_sprite >= 0) device->bind_sprite(-1, -1, false, nullptr);
  flush_drawing();
  // A framebuffer screen has a depth buffer of its own; the window (and a screen emulated in
  // it) gets one the first time it is needed.
  const int32_t selected = rt.current_offscreen;
  const bool own_depth = selected >= 0 && selected < OFFSCREEN_COUNT && device->offscreen[selected].framebuffer;
  if (!own_depth) {
    const WindowHandle before = rt.window_handle;
    device->add_window_depth();
    if (rt.window_handle != before) {
      // A new context: the buffer is cleared afresh and the selected program bound again.
      engine->depth_cleared_for = Zodidoze3D::DEPTH_NOT_CLEARED;
      if (engine->current_shader != -1) use_shader(engine->current_shader);
    }
  }
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  // Off-screen screens are drawn unturned; the window follows the screen's orientation.
  const int32_t target = rt.target_screen;
  const bool offscreen = target >= 0 && target < OFFSCREEN_COUNT && device->offscreen[target].width != 0;
  set_projection(engine->camera, offscreen ? 0 : rt.orientation);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  look_at(engine->camera);
  set_lighting(engine->light);
  glTranslated(x, y, z);
  glRotated(turn_y, 0.0, 1.0, 0.0);
  glRotated(turn_x, 1.0, 0.0, 0.0);
  glRotated(turn_z, 0.0, 0.0, 1.0);
  glScaled(scale, scale, scale);

  gl_set_enabled(GL_DEPTH_TEST, true);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  // The first object of a frame on each target starts from a clear depth buffer.
  if (engine->depth_cleared_for != rt.target_screen) {
    glClear(GL_DEPTH_BUFFER_BIT);
    engine->depth_cleared_for = rt.target_screen;
  }
  gl_set_enabled(GL_CULL_FACE, false);
  glShadeModel(GL_SMOOTH);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);

  const bool shading = engine->current_shader != -1;
  for (const MeshObjectX& mesh : slot->meshes) {
    if (mesh.frames.empty()) continue;
    const MeshFrame& f = mesh.frames[frame < 0 ? 0 : static_cast<size_t>(frame) % mesh.frames.size()];
    if (f.triangles.empty()) continue;
    float extent_u = 1.0f, extent_v = 1.0f, unused_u = 1.0f, unused_v = 1.0f;
    const uint32_t texture = scene_texture(*slot, mesh.texture_a, extent_u, extent_v);
    const uint32_t second = shading ? scene_texture(*slot, mesh.texture_b, unused_u, unused_v) : 0;
    if (texture) {
      gl_set_enabled(GL_TEXTURE_2D, true);
      gl_bind_texture(texture);
      gl_set_texture_params(texture, true, false);
    } else {
      gl_set_enabled(GL_TEXTURE_2D, false);
    }
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(extent_u, extent_v, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    if (shading) {
      bind_second_texture(second);
      set_shader_int("TextureID1", 0);
      set_shader_int("TextureID2", 1);
    }
    draw_frame(f, second != 0);
  }

  if (shading) bind_second_texture(0);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  clear_lighting();
  glShadeModel(GL_FLAT);
  gl_set_enabled(GL_DEPTH_TEST, false);
  gl_set_enabled(GL_TEXTURE_2D, false);
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  // The colour array left GL's current colour undefined, and the sprite binding changed.
  gl_forget_colour();
  device->bound_sprite = -1;
}

}  // namespace qrn
