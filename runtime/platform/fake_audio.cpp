// Scripted audio service (see fake_audio.h).
#include "platform/fake_audio.h"

namespace qrn {

std::vector<int32_t> FakeAudio::values(AudioOp op) const {
  std::vector<int32_t> out;
  for (const AudioCall& call : calls) {
    if (call.op == op) out.push_back(call.value);
  }
  return out;
}

std::vector<AudioVoice> FakeAudio::voices_of(AudioOp op) const {
  std::vector<AudioVoice> out;
  for (const AudioCall& call : calls) {
    if (call.op == op) out.push_back(call.voice);
  }
  return out;
}

void FakeAudio::finish(AudioVoice voice) {
  if (Voice* v = find(voice)) v->playing = false;
}

void FakeAudio::finish_all() {
  for (auto& [id, v] : voices) v.playing = false;
}

void FakeAudio::lose(AudioVoice voice) {
  if (Voice* v = find(voice)) v->lost = true;
}

FakeAudio::Voice* FakeAudio::find(AudioVoice voice) {
  auto it = voices.find(voice);
  return it == voices.end() ? nullptr : &it->second;
}

bool FakeAudio::open_device() {
  calls.push_back({AudioOp::open_device});
  open = device_available;
  return open;
}

bool FakeAudio::set_device_window(WindowHandle w) {
  calls.push_back({AudioOp::set_device_window});
  if (!open || !window_accepted) return false;
  window = w;
  return true;
}

bool FakeAudio::set_output_format(const AudioFormat& format) {
  calls.push_back({AudioOp::set_output_format, 0, format.samples_per_second});
  if (!open || !format_accepted) return false;
  output_format = format;
  return true;
}

void FakeAudio::close_device() {
  calls.push_back({AudioOp::close_device});
  voices.clear();
  open = false;
}

AudioVoice FakeAudio::create_voice(const AudioFormat& format, const uint8_t* samples, size_t bytes,
                                   bool controls) {
  calls.push_back({AudioOp::create_voice, 0, controls ? 1 : 0});
  if (!open || refuse_voices || (controls && refuse_controlled)) return 0;
  Voice v;
  v.format = format;
  v.samples = std::make_shared<const std::vector<uint8_t>>(samples, samples + bytes);
  v.controls = controls;
  AudioVoice id = next_voice_++;
  voices[id] = v;
  calls.back().voice = id;
  return id;
}

AudioVoice FakeAudio::duplicate_voice(AudioVoice voice) {
  calls.push_back({AudioOp::duplicate_voice, voice});
  Voice* source = find(voice);
  if (!source) return 0;
  Voice copy;
  copy.format = source->format;
  copy.samples = source->samples;
  copy.controls = source->controls;
  AudioVoice id = next_voice_++;
  voices[id] = copy;
  calls.back().value = static_cast<int32_t>(id);
  return id;
}

void FakeAudio::release_voice(AudioVoice voice) {
  calls.push_back({AudioOp::release_voice, voice});
  voices.erase(voice);
}

bool FakeAudio::voice_status(AudioVoice voice, uint32_t& status) {
  calls.push_back({AudioOp::voice_status, voice});
  Voice* v = find(voice);
  if (!v || status_fails) return false;
  status = (v->playing ? AUDIO_VOICE_PLAYING : 0u) | (v->lost ? AUDIO_VOICE_LOST : 0u);
  return true;
}

bool FakeAudio::restore_voice(AudioVoice voice) {
  calls.push_back({AudioOp::restore_voice, voice});
  Voice* v = find(voice);
  if (!v || restore_fails) return false;
  v->lost = false;
  return true;
}

bool FakeAudio::set_voice_volume(AudioVoice voice, int32_t hundredths_db) {
  calls.push_back({AudioOp::set_volume, voice, hundredths_db});
  Voice* v = find(voice);
  if (!v || !v->controls) return false;
  v->volume = hundredths_db;
  return true;
}

bool FakeAudio::set_voice_pan(AudioVoice voice, int32_t pan) {
  calls.push_back({AudioOp::set_pan, voice, pan});
  Voice* v = find(voice);
  if (!v || !v->controls) return false;
  v->pan = pan;
  return true;
}

bool FakeAudio::play_voice(AudioVoice voice) {
  calls.push_back({AudioOp::play, voice});
  Voice* v = find(voice);
  if (!v || play_fails || v->lost) return false;
  v->playing = true;
  ++v->plays;
  return true;
}

bool FakeAudio::stop_voice(AudioVoice voice) {
  calls.push_back({AudioOp::stop, voice});
  Voice* v = find(voice);
  if (!v) return false;
  v->playing = false;
  return true;
}

bool FakeAudio::rewind_voice(AudioVoice voice) {
  calls.push_back({AudioOp::rewind, voice});
  return find(voice) != nullptr;
}

}  // namespace qrn
