// Drawing loaded objects: a perspective camera, one directional light, and one command that
// draws a frame of an object slot with its colours and textures, through the selected shader
// program when there is one. World coordinates are right-handed with y up; angles are degrees.
// The camera and light stay as set until they are set again (they survive frames).
#pragma once

#include <cstdint>

namespace qrn {

// The camera at (eye) looking at (target), y up. An eye equal to the target is ignored.
void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y,
                double target_z);
// Vertical field of view (above 0, below 180 degrees) and the near and far clipping
// distances (0 < near < far); a set of values outside those ranges is ignored.
// Defaults: 60 degrees, 0.1 and 1000.
void set_camera_lens(double fov_degrees, double near_distance, double far_distance);
// The direction towards the light (world coordinates) and the ambient share 0..1 (clamped).
// A zero direction draws colours unlit, as stored. Default: (0.4, 0.6, 1.0) with 0.35.
void set_light(double direction_x, double direction_y, double direction_z, double ambient);
// Draws frame `frame` of the object (frame numbers wrap around the mesh's frames; negative
// ones draw frame 0) scaled by `scale`, turned about z, then x, then y, and placed at
// (x, y, z), into the current viewport with depth testing. A scene's meshes take their
// textures; with a shader selected its "TextureID1" and "TextureID2" uniforms are set to the
// texture units 0 and 1. Empty slots and numbers out of range draw nothing.
void draw_object(int32_t object, int32_t frame, double x, double y, double z, double turn_x,
                 double turn_y, double turn_z, double scale);

}  // namespace qrn
