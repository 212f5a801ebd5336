// RuntimeState: the one process-wide record of the runtime. Every long-lived object and every
// field that crosses modules lives here, grouped by the module that owns its meaning.
// Queries only read it; start-up fills it; shutdown releases what it owns.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "files/file_stream.h"
#include "platform/platform.h"

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
  WindowHandle window_handle = nullptr;
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

  // ---- Clocks -----------------------------------------------------------------------------
  double timer_base_ms = 0.0;
  int32_t counter_available = 0;   // the high-resolution counter was found at start-up
  double counter_frequency = 0.0;  // its counts per second; 0: not queried yet
  double clock_base = 0.0;         // value of the first clock read
  int32_t clock_started = 0;       // clock_base holds the first read

  // ---- File channels ----------------------------------------------------------------------
  FileStream file_channels[FILE_CHANNEL_COUNT];

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

  // ---- Fonts ------------------------------------------------------------------------------
  int32_t current_font = 0;

  // ---- Music ------------------------------------------------------------------------------
  WindowHandle music_window = nullptr;
  double music_restart_ms = 0.0;

  // ---- Network game -----------------------------------------------------------------------
  int32_t last_message_sender = 0;  // sender id of the message net_receive_message took last
};

// The process-wide record.
extern RuntimeState g_runtime;

}  // namespace qrn
