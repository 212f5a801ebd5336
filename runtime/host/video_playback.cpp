// Video playback over the window (see video_playback.h).
#include "host/video_playback.h"

#include <cmath>
#include <vector>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "gfx/device.h"
#include "gfx/video_surface.h"
#include "host/frame_loop.h"
#include "input/input_devices.h"
#include "input/keyboard.h"
#include "platform/video.h"
#include "platform/video_player.h"

namespace qrn {

namespace {

// Milliseconds between two looks at the player: well under a frame period, so every frame
// of a 60 frames per second video is shown in time.
constexpr int32_t kPollMs = 2;

VideoPlayerService& player_service() { return os_video_player(); }

// Waits until no mouse button is down, with the messages flowing (button state is fresh only
// after they are pumped) and looping music going on.
void wait_buttons_released() {
  for (;;) {
    music_frame_step();
    if (!pump_messages(message_hook())) end_program();
    if (!any_mouse_button()) return;
    sleep_ms(1);
  }
}

}  // namespace

VideoRect fit_video_rect(int32_t client_width, int32_t client_height, int32_t source_width, int32_t source_height) {
  VideoRect rect;
  if (client_width < 1 || client_height < 1 || source_width < 1 || source_height < 1) return rect;
  double ratio = std::fmin(static_cast<double>(client_width) / source_width,
                           static_cast<double>(client_height) / source_height);
  rect.width = static_cast<int32_t>(source_width * ratio);
  rect.height = static_cast<int32_t>(source_height * ratio);
  if (rect.width > client_width) rect.width = client_width;
  if (rect.height > client_height) rect.height = client_height;
  rect.x = (client_width - rect.width) / 2;
  rect.y = (client_height - rect.height) / 2;
  return rect;
}

void close_video_player() {
  RuntimeState& rt = g_runtime;
  if (!rt.video_player) return;
  VideoPlayerHandle player = rt.video_player;
  rt.video_player = nullptr;
  player_service().video_stop(player);
  player_service().close_video(player);
}

int32_t play_video(const RtString& path, int32_t loop) {
  RuntimeState& rt = g_runtime;
  // A file of the resource archive is written out, since the player opens files by name.
  RtString name;
  if (!archive_lookup(rt.resource_archives[1], path, name, ARCHIVE_TEMP_FILE)) return ERROR_NO_FILE;
  char platform_name[MAX_PATH_BYTES + 1];
  if (is_memory_file_name(name.data) || !platform_path(name.data, platform_name)) return ERROR_NO_FILE;

  close_video_player();
  VideoPlayerService& player_os = player_service();
  VideoPlayerHandle player = player_os.open_video(platform_name);
  if (!player) return ERROR_NO_FILE;
  rt.video_player = player;

  // Without a window nothing can be shown and no key can end the video: the file was
  // opened, which is all that can be done.
  if (!rt.device || !rt.window_handle) {
    close_video_player();
    return 0;
  }

  double start = player_os.video_start_ms(player);
  double length = player_os.video_length_ms(player);
  int32_t source_width = 0, source_height = 0;
  bool picture = player_os.video_source_size(player, source_width, source_height);
  VideoRect rect = fit_video_rect(rt.window_width, rt.window_height, source_width, source_height);
  player_os.video_set_destination(player, rect);
  // The picture goes over what the window shows now: the program's last presented frame.
  VideoSurface surface;
  bool shown = false;
  if (picture && rect.width > 0 && rect.height > 0) {
    int32_t shown_width = 0, shown_height = 0;
    std::vector<uint8_t> pixels;
    os_video().window_pixels(rt.window_handle, shown_width, shown_height, pixels);
    shown = surface.begin(*rt.device, rt.window_width, rt.window_height, pixels.empty() ? nullptr : pixels.data(),
                          shown_width, shown_height);
  }

  // The key or click that started the video must not end it: characters already typed
  // (also those still waiting among the window's messages) are dropped, and a held button
  // must be let go first.
  pump_messages(message_hook());
  while (any_typed_char()) {
  }
  wait_buttons_released();

  if (player_os.video_play(player)) {
    // Shows the newest frame, if one came; false when none did.
    auto show_next_frame = [&] {
      VideoFrame frame;
      if (!player_os.video_next_frame(player, frame)) return false;
      if (shown && surface.draw(frame, player_os.video_destination(player))) os_video().swap_buffers(rt.window_handle);
      return true;
    };
    double last_position = -1.0;
    double last_progress_ms = timer_ms();
    for (;;) {
      double position = player_os.video_position_ms(player);
      bool ended = player_os.video_ended(player) || (length > 0.0 && position >= start + length);
      if (ended && !loop) {
        show_next_frame();  // the last picture may have come with the end
        break;
      }
      if (any_typed_char() || any_mouse_button()) break;
      music_frame_step();
      if (!pump_messages(message_hook())) end_program();
      if (ended) {
        show_next_frame();
        player_os.video_seek_start(player);
        player_os.video_play(player);
        length = player_os.video_length_ms(player);
      }
      bool progress = position != last_position;
      if (show_next_frame()) progress = true;
      last_position = position;
      double now = timer_ms();
      if (progress) {
        last_progress_ms = now;
      } else if (now - last_progress_ms > VIDEO_STALL_MS) {
        break;  // a player that stopped moving ends the video
      }
      sleep_ms(kPollMs);
    }
  }
  close_video_player();
  surface.end();
  // The program's next frame starts on a fresh back buffer, as after show_screen.
  prepare_back_buffer(*rt.device);
  return 0;
}

}  // namespace qrn
