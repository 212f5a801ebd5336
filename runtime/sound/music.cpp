// Background music (see music.h) over the media service.
#include "sound/music.h"

#include <cmath>
#include <new>
#include <vector>

#include "core/errors.h"
#include "core/named_callbacks.h"
#include "files/clocks.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "core/runtime_state.h"
#include "input/input_devices.h"
#include "platform/media.h"
#include "sound/midi_length.h"
#include "sound/mp3_length.h"

namespace qrn {

namespace {

// MIDI and MP3 files larger than this are not read for their length (the player's answer
// stands).
constexpr uint64_t kMaxScannedBytes = uint64_t{64} << 20;

bool scanned_for_length(const uint8_t* bytes, size_t size) {
  return looks_like_midi(bytes, size) || looks_like_mp3(bytes, size);
}

MediaHandle player() { return g_runtime.music_window; }

// The piece's length in milliseconds, at least MUSIC_MIN_LENGTH_MS.
double piece_length_ms() {
  double length = player() ? os_media().music_length_ms(player()) : 0.0;
  return length < MUSIC_MIN_LENGTH_MS ? MUSIC_MIN_LENGTH_MS : length;
}

void close_player() {
  RuntimeState& rt = g_runtime;
  if (!rt.music_window) return;
  os_media().music_stop(rt.music_window);
  os_media().close_music(rt.music_window);
  rt.music_window = nullptr;
}

// Opens the player for a resolved name. A memory file's bytes go to the player (they stay
// valid only until the next archive lookup). The length of a MIDI file is read from its
// events and that of an MP3 file from its frames, since the player cannot tell the one and
// only estimates the other.
MediaHandle open_player(const RtString& name) {
  MusicSource source;
  source.path = name.data;
  std::vector<uint8_t> bytes;
  const uint8_t* block = nullptr;
  uint64_t size = 0;
  if (is_memory_file_name(name.data)) {
    if (parse_memory_file_name(name.data, block, size)) {
      source.bytes = block;
      source.size = static_cast<size_t>(size);
    }
  } else {
    FileStream stream;
    uint8_t magic[12] = {};
    if (stream_open_read(stream, name.data) && stream.size <= kMaxScannedBytes && stream.size >= 4 &&
        stream_read(stream, magic, stream.size < 12 ? stream.size : 12) &&
        scanned_for_length(magic, stream.size < 12 ? static_cast<size_t>(stream.size) : 12)) {
      try {
        bytes.resize(static_cast<size_t>(stream.size));
        if (stream_seek(stream, 0, 0) && stream_read(stream, bytes.data(), stream.size)) {
          block = bytes.data();
          size = bytes.size();
        }
      } catch (const std::bad_alloc&) {
      }
    }
    stream_close(stream);
  }
  if (block && size <= kMaxScannedBytes) {
    size_t n = static_cast<size_t>(size);
    if (looks_like_midi(block, n)) {
      source.length_hint_ms = midi_length_ms(block, n);
    } else if (looks_like_mp3(block, n)) {
      source.length_hint_ms = mp3_length_ms(block, n);
    }
  }
  return os_media().open_music(source);
}

// volume x 1000 truncated toward zero, kept inside the 32-bit range.
int32_t media_volume(double volume) {
  double scaled = std::trunc(volume * 1000.0);
  if (std::isnan(scaled)) return 0;
  if (scaled > 2147483647.0) return INT32_MAX;
  if (scaled < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}

}  // namespace

void play_music(const RtString& file, int32_t loop) {
  RuntimeState& rt = g_runtime;
  clear_error();
  rt.music_volume = -1.0;
  rt.music_restart_ms = 0.0;
  close_player();
  rt.music_file = file;
  if (!resolve_file_name(rt.music_file)) {
    set_error(ERROR_NO_FILE);
    return;
  }
  // The pointer is hidden while the player is made and its mode restored afterwards, as on
  // systems where the media player's window takes the pointer and the focus.
  InputDevices* input = rt.input;
  int32_t pointer_shown = input ? input->system_pointer : 0;
  if (input) set_pointer_mode(0);
  rt.music_window = open_player(rt.music_file);
  double length = piece_length_ms();
  rt.music_restart_ms = loop ? timer_ms() + length : 0.0;
  if (rt.music_window) {
    os_media().music_seek_start(rt.music_window);
    os_media().music_play(rt.music_window);
  }
  if (input) set_pointer_mode(pointer_shown);
  set_music_volume(1.0);
  set_focus_lost(0);
  if (rt.input && rt.input->system_pointer == 0) {
    set_pointer_mode(1);
    set_pointer_mode(0);
  }
}

void stop_music() {
  RuntimeState& rt = g_runtime;
  rt.music_volume = -1.0;
  rt.music_restart_ms = 0.0;
  close_player();
}

void restart_music() {
  if (!player()) return;
  os_media().music_seek_start(player());
  os_media().music_play(player());
}

void pause_music(int32_t pause) {
  RuntimeState& rt = g_runtime;
  if (!rt.music_window) return;
  if (pause) {
    if (rt.music_restart_ms > 0.0) {
      rt.music_pause_ms = timer_ms();
      rt.music_restart_ms = -rt.music_restart_ms;
    }
    os_media().music_pause(rt.music_window);
  } else {
    if (rt.music_restart_ms < 0.0) {
      rt.music_restart_ms = -rt.music_restart_ms + (timer_ms() - rt.music_pause_ms);
    }
    os_media().music_resume(rt.music_window);
  }
}

int32_t music_playing() {
  RuntimeState& rt = g_runtime;
  if (!rt.music_window) return 0;
  if (rt.music_restart_ms > 0.0) return 1;
  // The player's end is its length.
  return os_media().music_length_ms(rt.music_window) > os_media().music_position_ms(rt.music_window) ? 1 : 0;
}

void set_music_volume(double volume) {
  RuntimeState& rt = g_runtime;
  if (volume == rt.music_volume) return;
  rt.music_volume = volume;
  if (rt.music_window) os_media().music_set_volume(rt.music_window, media_volume(volume));
}

void restart_music_if_due() {
  RuntimeState& rt = g_runtime;
  if (rt.music_restart_ms <= 0.0 || timer_ms() < rt.music_restart_ms) return;
  double length = piece_length_ms();
  rt.music_restart_ms = timer_ms() + length;
  if (!rt.music_window) return;
  os_media().music_play(rt.music_window);
  os_media().music_seek_start(rt.music_window);
  os_media().music_play(rt.music_window);
}

}  // namespace qrn

