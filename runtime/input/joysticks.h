// Joysticks: up to ten game controllers in the input object, found once when the input
// devices open and read again by every command (nothing is polled per frame). Axis pairs and
// hat directions are turned with the screen orientation, so "up" on the stick stays "up" on
// a turned screen. Failures are never reported: a missing or silent controller reads as
// centred, with no buttons.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "input/input_devices.h"
#include "platform/handles.h"

namespace qrn {

struct JoystickState;  // one read of a controller, from the platform's joystick service

// Limits of the names kept for the controllers: the composed name is cut to this many bytes.
constexpr int32_t JOYSTICK_NAME_LIMIT = JOYSTICK_NAME_SIZE - 1;

// ---- Commands ------------------------------------------------------------------------------
// The number of controllers found (at most JOYSTICK_COUNT).
int32_t joystick_count();
// The controller's name ("instance, product"); empty outside 0..joystick_count() - 1.
RtString joystick_name(int32_t index);
// The raw button byte 0..255, non-zero while pressed; 0 for a button outside 0..31.
int32_t joystick_button(int32_t index, int32_t button);
// Axes in -1..1: X and Y (and the rotations Rx and Ry) turned as pairs with the orientation;
// Z and Rz as they are.
double joystick_axis_x(int32_t index);
double joystick_axis_y(int32_t index);
double joystick_axis_z(int32_t index);
double joystick_axis_rx(int32_t index);
double joystick_axis_ry(int32_t index);
double joystick_axis_rz(int32_t index);
// The first hat as a direction -1, 0 or 1 on each axis, turned with the orientation
// (y -1 is north).
int32_t joystick_hat_x(int32_t index);
int32_t joystick_hat_y(int32_t index);
// Joystick 0: X and Y divided by 30000 and cut toward zero (-1, 0 or 1), not turned, and the
// raw bytes of buttons 0 and 1.
void read_joystick(int32_t& x, int32_t& y, int32_t& button1, int32_t& button2);
void read_joystick(double& x, double& y, double& button1, double& button2);
// Plays a constant force for duration milliseconds on a force-feedback controller, with
// strengths x and y in -1..1 (clamped); nothing happens on any other.
void joystick_rumble(int32_t index, double duration, double x, double y);

// ---- Operations used by other modules ------------------------------------------------------
// One read of a controller: the common read behind every command. All zero (hats centred)
// for an index without a controller; indices 0 and 1 without one are read through the
// legacy interface.
JoystickState read_joystick_raw(int32_t index);
// Finds the controllers for the input object (the last step of opening the input devices):
// through the game-controller enumeration, or through the legacy interface (legacy true)
// when there is no input-device system.
void enumerate_joysticks(InputDevices& input, bool legacy);
// Closes the ten joystick slots and ends the platform's joystick support.
void release_joysticks(InputDevices& input);
// True when a controller has a button pressed, X, Y or Z deflected more than a tenth of full
// scale, or its first hat pushed (a waiting loop ends on it).
bool any_joystick_active();

}  // namespace qrn
