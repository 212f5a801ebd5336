// RuntimeState: the one process-wide record of the runtime. Every long-lived object and every
// field that crosses modules lives here, grouped by the module that owns its meaning.
// Queries only read it; start-up fills it; shutdown releases what it owns.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

class OpenGLZodidoze;
class Zodidoze3D;
class NetGame;
struct InputDevices;
class SoundDevice;
struct SoundSlot;
struct ResourceArchive;
struct NamedCallback;
struct DataTable;
struct FilesState;
struct GlStateCache;

using MessageHook = void (*)();

// One touch or pen pointer known from the window's pointer messages.
struct TouchSlot {
  int32_t x = 0, y = 0;     // client pixels of the main window
  int32_t down = 0;         // 1 while the pointer is down
  int32_t pointer_id = 0;   // the platform's pointer id; 0: the slot is free
};
constexpr int32_t TOUCH_SLOT_COUNT = 32;
// The two optional pointer functions of the platform (bound when the program is loaded).
using GetPointerTouchInfoFn = bool (*)(int32_t pointer_id, int32_t& screen_x, int32_t& screen_y);
using EnableMouseInPointerFn = bool (*)(bool on);
bool platform_get_pointer_touch_info(int32_t pointer_id, int32_t& screen_x, int32_t& screen_y);
bool platform_enable_mouse_in_pointer(bool on);

// Steps of the layers above the host (sound and music, network game, 3D engine) that the
// lower layers run at their places. The runtime's assembly (quarnel.cpp) installs them at
// start-up and with every reset; a step left null is skipped.
struct LayerHooks {
  void (*shutdown)() = nullptr;           // the end of the program: the host's shutdown
  void (*start_network)() = nullptr;      // start-up: the network-game object
  void (*start_engine_3d)() = nullptr;    // start-up: the 3D engine object
  void (*start_sound)() = nullptr;        // start-up: the sound device and its slots
  void (*engine_frame)() = nullptr;       // show_screen: the 3D engine's frame step
  void (*engine_reset)() = nullptr;       // reset_draw_state: the engine's per-frame defaults
  void (*reset_viewport)() = nullptr;     // the viewport back to the whole drawing surface
  // The 2D viewport is about to change to this window rectangle.
  void (*engine_viewport)(int32_t x, int32_t y, int32_t width, int32_t height) = nullptr;
  void (*restart_music)() = nullptr;      // the frame loop and the waiting loops
  void (*rebind_sound)() = nullptr;       // the window was made anew
  void (*window_mode)() = nullptr;        // another program starts: full screen becomes a window
  void (*stop_music)() = nullptr;         // shutdown, in its order
  void (*shutdown_network)() = nullptr;
  void (*release_sound)() = nullptr;
  void (*destroy_engine_3d)() = nullptr;
};

struct RuntimeState {
  // ---- Project settings (copied in before start-up) ---------------------------------------
  int32_t screen_width = 0;
  int32_t screen_height = 0;
  int32_t full_screen = 0;
  int32_t exclusive_mouse = 0;
  int32_t frame_rate = 0;
  int32_t debug_mode = 0;
  int32_t multisample = 0;
  RtString command_line;

  // ---- Errors -----------------------------------------------------------------------------
  int32_t error_code = 0;
  int32_t error_line = 0;
  int32_t source_line = 0;
  int32_t source_module = 0;

  // ---- Named callbacks and pausing --------------------------------------------------------
  const NamedCallback* callbacks = nullptr;  // the program's table; null: no callbacks
  RtString current_routine;
  RtString pending_routine;
  int32_t paused = 0;
  int32_t pause_enabled = 1;

  // ---- Window, display and geometry -------------------------------------------------------
  int32_t desktop_width = 0;
  int32_t desktop_height = 0;
  WindowHandle window_handle = nullptr;  // the main window (the device's window)
  int32_t window_width = 0;              // its client size
  int32_t window_height = 0;
  int32_t orientation = 0;               // 0..3 quarter turns of the program's picture
  int32_t current_offscreen = -1;        // the off-screen screen drawing goes to; -1: the window
  RtString caption;
  float virtual_scale = 0.0f;
  int32_t virtual_offset_x = 0;
  int32_t virtual_offset_y = 0;
  int32_t virtual_screen_width = 0;
  int32_t virtual_screen_height = 0;
  int32_t target_screen = -1;

  // ---- Frame loop and ending --------------------------------------------------------------
  int32_t escape_quits = 1;
  int32_t activation_requested = 0;
  double frame_start_ms = 0.0;
  double previous_frame_start_ms = 0.0;
  MessageHook window_message_hook = nullptr;
  int32_t window_message_hook_state = -1;
  uint8_t ending = 0;
  uint8_t quit_callback_done = 0;
  WindowMessage current_message;  // the message the window procedure is handling
  LayerHooks hooks;

  // ---- Clocks -----------------------------------------------------------------------------
  double timer_base_ms = 0.0;
  int32_t counter_available = 0;   // the high-resolution counter was found at start-up
  double counter_frequency = 0.0;  // its counts per second; 0: not queried yet
  double clock_base = 0.0;         // value of the first clock read
  int32_t clock_started = 0;       // clock_base holds the first read

  // ---- Files: the eight channels and the line-file cache (made on first use) --------------
  FilesState* files = nullptr;

  // ---- Random numbers (ISAAC) -------------------------------------------------------------
  uint32_t random_memory[256] = {};
  uint32_t random_results[256] = {};
  uint32_t random_accumulator = 0;
  uint32_t random_last = 0;
  uint32_t random_counter = 0;

  // ---- Data tables ------------------------------------------------------------------------
  DataTable* data_table = nullptr;  // the current table; null: none set

  // ---- Owned subsystem objects ------------------------------------------------------------
  OpenGLZodidoze* device = nullptr;
  Zodidoze3D* engine_3d = nullptr;
  NetGame* network = nullptr;
  InputDevices* input = nullptr;
  SoundDevice* sound = nullptr;
  SoundSlot* sound_channels = nullptr;
  ResourceArchive* resource_archives[2] = {nullptr, nullptr};

  // ---- Input ------------------------------------------------------------------------------
  TouchSlot touch_slots[TOUCH_SLOT_COUNT];
  int32_t pointer_mode = -1;  // -1 not chosen yet, 0 mouse, 1 pointer messages
  int32_t key_query_counter = 0;
  GetPointerTouchInfoFn get_pointer_touch_info = platform_get_pointer_touch_info;
  EnableMouseInPointerFn enable_mouse_in_pointer = platform_enable_mouse_in_pointer;

  // ---- Drawing ----------------------------------------------------------------------------
  int32_t current_font = 0;
  GlStateCache* gl_cache = nullptr;  // the OpenGL state cache and quad queue (made on first use)

  // ---- Music ------------------------------------------------------------------------------
  WindowHandle music_window = nullptr;  // the media player of the current piece (a MediaHandle)
  double music_restart_ms = 0.0;  // >0: restart time of a looping piece; <0: its negation, paused
  double music_pause_ms = 0.0;    // timer_ms when a looping piece was paused
  double music_volume = -1.0;     // the volume last applied; -1: unknown, the next is always sent
  RtString music_file;            // the resolved file name of the current piece

  // ---- Network game -----------------------------------------------------------------------
  int32_t last_message_sender = 0;  // sender id of the message net_receive_message took last
};

// The process-wide record.
extern RuntimeState g_runtime;

}  // namespace qrn
