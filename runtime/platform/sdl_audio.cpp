// Audio service on SDL2_mixer: the voices are mixed by our own mixer (voice_mixer.h) in
// SDL_mixer's post-mix step, on top of the music, so every voice keeps its exact gain and pan
// (SDL_mixer's own channel volume has only 129 steps). Samples are converted to the device's
// format once, when a voice is created; playing only adds frames that are already in memory.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/audio.h"
#include "platform/sdl_mixer_output.h"
#include "platform/voice_mixer.h"

namespace qrn {

namespace {

// At most this many voices sound at once; a play beyond it fails.
constexpr size_t kMaxPlayingVoices = 1024;
// A voice whose conversion would need more memory than this is refused.
constexpr size_t kMaxConversionBytes = size_t{512} << 20;

class SdlAudio final : public AudioService {
 public:
  // The output is opened here only to learn that there is one (and its rate), then closed
  // again: it is held from the first voice on, so a program that loads no sound keeps no
  // audio thread running (an idle clock mixing silence 86 times a second).
  bool open_device() override {
    if (open_) return true;
    MixerOutputFormat format;  // 22050 Hz stereo until set_output_format says otherwise
    if (!mixer_output().acquire(format)) return false;
    frequency_ = mixer_output().format().frequency;
    mixer_output().release();
    open_ = true;
    return true;
  }

  bool set_device_window(WindowHandle /*window*/) override { return open_; }

  bool set_output_format(const AudioFormat& format) override {
    if (!open_ || format.channels != 2 || format.bits_per_sample != 16 || format.floating ||
        format.samples_per_second <= 0) {
      return false;
    }
    if (format.samples_per_second == frequency_) return true;
    // Another rate means opening the output again, which only this service may do alone
    // and only before any voice exists.
    if (mixer_output().holders() != (held_ ? 1 : 0) || !voices_.empty()) return false;
    const bool held = held_;
    release_output();
    MixerOutputFormat wanted;
    wanted.frequency = format.samples_per_second;
    const bool reopened = mixer_output().acquire(wanted);
    if (reopened) {
      frequency_ = mixer_output().format().frequency;
      mixer_output().release();
    }
    if (held && !hold_output()) {
      open_ = false;
      return false;
    }
    return reopened;
  }

  void close_device() override {
    if (!open_) return;
    release_output();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      playing_.clear();
      voices_.clear();
    }
    open_ = false;
  }

  AudioVoice create_voice(const AudioFormat& format, const uint8_t* samples, size_t bytes,
                          bool controls) override {
    if (!open_ || !samples || !hold_output()) return 0;
    VoiceFrames frames = convert(format, samples, bytes);
    if (!frames) return 0;
    return add_voice(std::move(frames), controls);
  }

  AudioVoice duplicate_voice(AudioVoice voice) override {
    VoiceFrames frames;
    bool controls = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      MixerVoice* source = find(voice);
      if (!source) return 0;
      frames = source->frames;
      controls = source->controls;
    }
    return add_voice(std::move(frames), controls);
  }

  void release_voice(AudioVoice voice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = voices_.find(voice);
    if (it == voices_.end()) return;
    forget_playing(it->second.get());
    voices_.erase(it);
  }

  bool voice_status(AudioVoice voice, uint32_t& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    status = v->playing ? uint32_t{AUDIO_VOICE_PLAYING} : 0u;
    return true;
  }

  bool restore_voice(AudioVoice voice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return find(voice) != nullptr;  // samples in memory are never lost
  }

  bool set_voice_volume(AudioVoice voice, int32_t hundredths_db) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    v->volume = std::clamp(hundredths_db, AUDIO_VOLUME_SILENCE, 0);
    update_voice_gains(*v);
    return true;
  }

  bool set_voice_pan(AudioVoice voice, int32_t pan) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    v->pan = std::clamp(pan, AUDIO_PAN_LEFT, AUDIO_PAN_RIGHT);
    update_voice_gains(*v);
    return true;
  }

  bool play_voice(AudioVoice voice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    if (v->playing) return true;
    if (playing_.size() >= kMaxPlayingVoices) return false;
    v->playing = true;
    playing_.push_back(v);
    return true;
  }

  bool stop_voice(AudioVoice voice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    forget_playing(v);
    return true;
  }

  bool rewind_voice(AudioVoice voice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    MixerVoice* v = find(voice);
    if (!v) return false;
    v->position = 0;
    return true;
  }

 private:
  // Holds the shared output from the first voice until the device closes; the voices are
  // converted to the rate it runs at (a music player may have opened it at its own).
  bool hold_output() {
    if (held_) return true;
    MixerOutputFormat wanted;
    wanted.frequency = frequency_;
    if (!mixer_output().acquire(wanted)) return false;
    frequency_ = mixer_output().format().frequency;
    Mix_SetPostMix(&SdlAudio::post_mix, this);
    held_ = true;
    return true;
  }

  void release_output() {
    if (!held_) return;
    Mix_SetPostMix(nullptr, nullptr);  // waits for a mix in progress
    mixer_output().release();
    held_ = false;
  }

  static void SDLCALL post_mix(void* self, Uint8* stream, int len) {
    auto* audio = static_cast<SdlAudio*>(self);
    std::lock_guard<std::mutex> lock(audio->mutex_);
    if (audio->playing_.empty() || len <= 0) return;
    size_t frames = static_cast<size_t>(len) / 4;
    size_t kept = mix_voices(audio->playing_.data(), audio->playing_.size(),
                             reinterpret_cast<int16_t*>(stream), frames, audio->scratch_);
    audio->playing_.resize(kept);
  }

  MixerVoice* find(AudioVoice voice) {
    auto it = voices_.find(voice);
    return it == voices_.end() ? nullptr : it->second.get();
  }

  void forget_playing(MixerVoice* v) {
    if (!v->playing) return;
    v->playing = false;
    playing_.erase(std::remove(playing_.begin(), playing_.end(), v), playing_.end());
  }

  AudioVoice add_voice(VoiceFrames frames, bool controls) {
    try {
      auto voice = std::make_unique<MixerVoice>();
      voice->frames = std::move(frames);
      voice->controls = controls;
      update_voice_gains(*voice);
      std::lock_guard<std::mutex> lock(mutex_);
      AudioVoice id = next_id_++;
      if (next_id_ == 0) next_id_ = 1;
      voices_[id] = std::move(voice);
      return id;
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }

  // The samples as 16-bit stereo frames at the device's rate; null when SDL cannot convert
  // the format or the conversion would need too much memory.
  VoiceFrames convert(const AudioFormat& format, const uint8_t* samples, size_t bytes) const {
    int32_t bytes_per_sample = format.bits_per_sample / 8;
    if (format.channels < 1 || format.channels > AUDIO_MAX_CHANNELS || format.samples_per_second <= 0 ||
        bytes_per_sample < 1 || bytes_per_sample > 4 || format.block_align != format.channels * bytes_per_sample) {
      return nullptr;
    }
    SDL_AudioFormat source_format;
    switch (format.bits_per_sample) {
      case 8: source_format = AUDIO_U8; break;
      case 16: source_format = AUDIO_S16LSB; break;
      case 24:  // widened to 32 bits below
      case 32: source_format = format.floating ? AUDIO_F32LSB : AUDIO_S32LSB; break;
      default: return nullptr;
    }
    if (format.floating && format.bits_per_sample != 32) return nullptr;
    size_t frames_in = bytes / static_cast<size_t>(format.block_align);
    if (frames_in == 0) return nullptr;
    size_t samples_in = frames_in * static_cast<size_t>(format.channels);
    size_t input_bytes = samples_in * (format.bits_per_sample == 24 ? 4 : bytes_per_sample);
    if (input_bytes > static_cast<size_t>(INT32_MAX)) return nullptr;

    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, source_format, static_cast<Uint8>(format.channels), format.samples_per_second,
                          AUDIO_S16SYS, 2, frequency_) < 0) {
      return nullptr;
    }
    size_t mult = cvt.needed ? static_cast<size_t>(std::max(cvt.len_mult, 1)) : 1;
    if (input_bytes > kMaxConversionBytes / mult) return nullptr;
    try {
      std::vector<uint8_t> work(input_bytes * mult);
      if (format.bits_per_sample == 24) {
        // 24-bit samples become the top three bytes of 32-bit ones.
        for (size_t i = 0; i < samples_in; ++i) {
          const uint8_t* s = samples + i * 3;
          uint32_t wide = (uint32_t{s[0]} << 8) | (uint32_t{s[1]} << 16) | (uint32_t{s[2]} << 24);
          std::memcpy(work.data() + i * 4, &wide, 4);
        }
      } else {
        std::memcpy(work.data(), samples, input_bytes);
      }
      size_t output_bytes = input_bytes;
      if (cvt.needed) {
        cvt.buf = work.data();
        cvt.len = static_cast<int>(input_bytes);
        if (SDL_ConvertAudio(&cvt) != 0) return nullptr;
        output_bytes = static_cast<size_t>(cvt.len_cvt);
      }
      size_t frames_out = output_bytes / 4;
      if (frames_out == 0) return nullptr;
      auto out = std::make_shared<std::vector<int16_t>>(frames_out * 2);
      std::memcpy(out->data(), work.data(), frames_out * 4);
      return out;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

  std::mutex mutex_;  // shared with the audio thread's post-mix step
  std::unordered_map<AudioVoice, std::unique_ptr<MixerVoice>> voices_;
  std::vector<MixerVoice*> playing_;  // the voices sounding, in the order they started
  std::vector<float> scratch_;
  AudioVoice next_id_ = 1;
  bool open_ = false;
  bool held_ = false;  // this service holds the shared output (see hold_output)
  int32_t frequency_ = 22050;
};

}  // namespace

template <>
AudioService& real_service<AudioService>() {
  static auto* audio = new SdlAudio();
  return *audio;
}

}  // namespace qrn
