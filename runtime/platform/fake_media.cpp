// Scripted media service (see fake_media.h).
#include "platform/fake_media.h"

#include <cstdint>

namespace qrn {

namespace {
MediaHandle handle_of(int32_t serial) { return reinterpret_cast<MediaHandle>(static_cast<intptr_t>(serial)); }
}  // namespace

std::vector<int32_t> FakeMedia::volumes() const {
  std::vector<int32_t> out;
  for (const MediaCall& call : calls) {
    if (call.op == MediaOp::volume) out.push_back(call.value);
  }
  return out;
}

int32_t FakeMedia::count(MediaOp op) const {
  int32_t n = 0;
  for (const MediaCall& call : calls) n += call.op == op ? 1 : 0;
  return n;
}

std::vector<MediaOp> FakeMedia::commands() const {
  std::vector<MediaOp> out;
  for (const MediaCall& call : calls) {
    if (call.op != MediaOp::length && call.op != MediaOp::position) out.push_back(call.op);
  }
  return out;
}

void FakeMedia::record(MediaHandle player, MediaOp op, int32_t value) {
  // Calls for a player that is not the open one reach nothing, as on a real device.
  if (player && player == handle_of(current_)) calls.push_back({op, value});
}

MediaHandle FakeMedia::open_music(const MusicSource& source) {
  calls.push_back({MediaOp::open});
  opened_path = source.bytes ? "" : (source.path ? source.path : "");
  opened_bytes.assign(source.bytes, source.bytes + (source.bytes ? source.size : 0));
  opened_hint_ms = source.length_hint_ms;
  if (open_fails) return nullptr;
  if (current_) --open_players;
  current_ = ++serial_;
  ++open_players;
  return handle_of(current_);
}

double FakeMedia::music_length_ms(MediaHandle player) {
  record(player, MediaOp::length);
  return player == handle_of(current_) && current_ ? length_ms : 0.0;
}

double FakeMedia::music_position_ms(MediaHandle player) {
  record(player, MediaOp::position);
  return player == handle_of(current_) && current_ ? position_ms : 0.0;
}

void FakeMedia::music_play(MediaHandle player) { record(player, MediaOp::play); }
void FakeMedia::music_seek_start(MediaHandle player) { record(player, MediaOp::seek_start); }
void FakeMedia::music_pause(MediaHandle player) { record(player, MediaOp::pause); }
void FakeMedia::music_resume(MediaHandle player) { record(player, MediaOp::resume); }
void FakeMedia::music_stop(MediaHandle player) { record(player, MediaOp::stop); }
void FakeMedia::music_set_volume(MediaHandle player, int32_t volume) { record(player, MediaOp::volume, volume); }

void FakeMedia::close_music(MediaHandle player) {
  record(player, MediaOp::close);
  if (player && player == handle_of(current_)) {
    current_ = 0;
    --open_players;
  }
}

}  // namespace qrn
