// Quarnel: a 2D runtime of free commands over one process-wide state record.
// A program includes only this header and links the quarnel library.
#pragma once

// Text values and commands, errors, callbacks
#include "core/arrays.h"
#include "core/errors.h"
#include "core/math_random.h"
#include "core/named_callbacks.h"
#include "core/text_cipher.h"
#include "core/text_commands.h"
#include "core/text_value.h"

// Files, settings, clocks, platform information, foreign calls and other programs
#include "files/channels.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "files/file_system.h"
#include "files/foreign_calls.h"
#include "files/platform_info.h"
#include "files/process_launch.h"
#include "files/settings_file.h"

// Graphics
#include "gfx/drawing.h"
#include "gfx/fonts.h"
#include "gfx/image_codecs.h"
#include "gfx/offscreen.h"
#include "gfx/sprites.h"
#include "gfx/texture_persistence.h"

// Input
#include "input/input_devices.h"
#include "input/joysticks.h"
#include "input/keyboard.h"

// Host: runtime state, start-up, window and screen geometry, frame loop, window messages
#include "core/build_info.h"
#include "core/runtime_state.h"
#include "host/frame_loop.h"
#include "host/line_entry.h"
#include "host/screen.h"
#include "host/startup.h"
#include "host/window_messages.h"

// Sound, network game, 3D engine
#include "3d/drawing_3d.h"
#include "3d/engine_3d.h"
#include "3d/mesh.h"
#include "3d/objects.h"
#include "3d/shaders.h"
#include "net/net_game.h"
#include "net/socket_slots.h"
#include "net/web_download.h"
#include "sound/music.h"
#include "sound/sound_effects.h"

// Grid path finding
#include "path/path_planner.h"

// The runtime put together: start-up
#include "runtime.h"
