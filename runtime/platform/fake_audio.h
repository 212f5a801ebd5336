// Scripted audio service for tests: records every device and voice operation (with the
// attenuation and pan it carried) and plays back what a test scripts (a missing device,
// refused voices, failing plays, lost samples). Voices play until the test finishes them.
// Install it with ServiceScope<AudioService> scope(&fake).
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/audio.h"

namespace qrn {

enum class AudioOp : int32_t {
  open_device, set_device_window, set_output_format, close_device,
  create_voice, duplicate_voice, release_voice, voice_status, restore_voice,
  set_volume, set_pan, play, stop, rewind,
};

struct AudioCall {
  AudioOp op;
  AudioVoice voice = 0;
  int32_t value = 0;  // volume, pan, or the new voice of a duplicate
};

class FakeAudio : public AudioService {
 public:
  struct Voice {
    AudioFormat format;
    std::shared_ptr<const std::vector<uint8_t>> samples;  // shared by duplicates
    bool controls = true;
    bool playing = false;
    bool lost = false;
    int32_t volume = 0;
    int32_t pan = 0;
    int32_t plays = 0;
  };

  // ---- Script --------------------------------------------------------------------------
  bool device_available = true;   // open_device succeeds
  bool window_accepted = true;    // set_device_window succeeds
  bool format_accepted = true;    // set_output_format succeeds
  bool refuse_controlled = false; // create_voice with controls fails (without succeeds)
  bool refuse_voices = false;     // create_voice always fails
  bool play_fails = false;
  bool status_fails = false;
  bool restore_fails = false;

  // ---- Record --------------------------------------------------------------------------
  std::vector<AudioCall> calls;
  std::map<AudioVoice, Voice> voices;  // live voices
  bool open = false;
  WindowHandle window = nullptr;
  AudioFormat output_format;

  // The values of every call of one kind, in order (volumes, pans, voices played...).
  std::vector<int32_t> values(AudioOp op) const;
  std::vector<AudioVoice> voices_of(AudioOp op) const;
  // Ends a playing voice as if its samples ran out (its position goes back to the start).
  void finish(AudioVoice voice);
  void finish_all();
  // The voice's samples as they would be lost by the device.
  void lose(AudioVoice voice);

  bool open_device() override;
  bool set_device_window(WindowHandle window) override;
  bool set_output_format(const AudioFormat& format) override;
  void close_device() override;
  AudioVoice create_voice(const AudioFormat& format, const uint8_t* samples, size_t bytes, bool controls) override;
  AudioVoice duplicate_voice(AudioVoice voice) override;
  void release_voice(AudioVoice voice) override;
  bool voice_status(AudioVoice voice, uint32_t& status) override;
  bool restore_voice(AudioVoice voice) override;
  bool set_voice_volume(AudioVoice voice, int32_t hundredths_db) override;
  bool set_voice_pan(AudioVoice voice, int32_t pan) override;
  bool play_voice(AudioVoice voice) override;
  bool stop_voice(AudioVoice voice) override;
  bool rewind_voice(AudioVoice voice) override;

 private:
  Voice* find(AudioVoice voice);
  AudioVoice next_voice_ = 1;
};

}  // namespace qrn
