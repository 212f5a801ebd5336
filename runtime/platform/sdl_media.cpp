// Media service on SDL_mixer's music stream. The player keeps its own state (stopped,
// playing, paused, finished) and position, so the answers stay those of a media player even
// for decoders that report no position (MIDI): there the position is the time played.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <vector>

#include "platform/media.h"
#include "platform/sdl_mixer_output.h"

namespace qrn {

namespace {

double steady_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct MusicPlayer {
  enum class State { stopped, playing, paused, finished };
  Mix_Music* music = nullptr;  // null: the piece cannot be played
  bool holds_output = false;
  std::vector<uint8_t> bytes;  // a piece from memory stays here while it plays
  double length_ms = 0.0;
  State state = State::stopped;
  double position_ms = 0.0;   // while not playing: where play goes on
  double started_ms = 0.0;    // steady clock when play began at position_ms
  bool decoder_positions = true;
  int32_t volume = MUSIC_VOLUME_NORMAL;
};

class SdlMedia final : public MediaService {
 public:
  MediaHandle open_music(const MusicSource& source) override {
    close_music(current_.get());
    std::unique_ptr<MusicPlayer> player;
    try {
      player = std::make_unique<MusicPlayer>();
      if (source.bytes) player->bytes.assign(source.bytes, source.bytes + source.size);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    MixerOutputFormat format;
    player->holds_output = mixer_output().acquire(format);
    if (player->holds_output) {
      if (source.bytes) {
        SDL_RWops* rw = SDL_RWFromConstMem(player->bytes.data(), static_cast<int>(player->bytes.size()));
        if (rw) player->music = Mix_LoadMUS_RW(rw, 1);
      } else if (source.path && *source.path) {
        player->music = Mix_LoadMUS(source.path);
      }
    }
    if (player->music) {
      double seconds = Mix_MusicDuration(player->music);
      if (source.length_hint_ms >= 0.0) {
        player->length_ms = source.length_hint_ms;
      } else if (seconds > 0.0) {
        player->length_ms = seconds * 1000.0;
      }
      Mix_VolumeMusic(MIX_MAX_VOLUME);
    }
    current_ = std::move(player);
    return current_.get();
  }

  double music_length_ms(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    return p ? p->length_ms : 0.0;
  }

  double music_position_ms(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p) return 0.0;
    update(*p);
    if (p->state == MusicPlayer::State::finished) return p->length_ms;
    if (p->state != MusicPlayer::State::playing) return p->position_ms;
    return current_position(*p);
  }

  void music_play(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p || !p->music) return;
    update(*p);
    switch (p->state) {
      case MusicPlayer::State::playing:
      case MusicPlayer::State::finished:  // at its end: nothing more to play
        return;
      case MusicPlayer::State::paused:
        Mix_ResumeMusic();
        p->started_ms = steady_ms();
        p->state = MusicPlayer::State::playing;
        return;
      case MusicPlayer::State::stopped:
        if (Mix_PlayMusic(p->music, 1) != 0) return;
        if (p->position_ms > 0.0) Mix_SetMusicPosition(p->position_ms / 1000.0);
        apply_volume(*p);
        p->started_ms = steady_ms();
        p->state = MusicPlayer::State::playing;
        return;
    }
  }

  void music_seek_start(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p) return;
    if (p->state == MusicPlayer::State::playing || p->state == MusicPlayer::State::paused) Mix_HaltMusic();
    p->state = MusicPlayer::State::stopped;
    p->position_ms = 0.0;
  }

  void music_pause(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p) return;
    update(*p);
    if (p->state != MusicPlayer::State::playing) return;
    p->position_ms = current_position(*p);
    Mix_PauseMusic();
    p->state = MusicPlayer::State::paused;
  }

  void music_resume(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p || p->state != MusicPlayer::State::paused) return;
    Mix_ResumeMusic();
    p->started_ms = steady_ms();
    p->state = MusicPlayer::State::playing;
  }

  void music_stop(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p) return;
    update(*p);
    if (p->state == MusicPlayer::State::playing) p->position_ms = current_position(*p);
    if (p->state == MusicPlayer::State::playing || p->state == MusicPlayer::State::paused) {
      Mix_HaltMusic();
      p->state = MusicPlayer::State::stopped;
    }
  }

  void music_set_volume(MediaHandle handle, int32_t volume) override {
    MusicPlayer* p = find(handle);
    if (!p) return;
    p->volume = std::clamp(volume, 0, MUSIC_VOLUME_NORMAL);
    apply_volume(*p);
  }

  void close_music(MediaHandle handle) override {
    MusicPlayer* p = find(handle);
    if (!p) return;
    if (p->music) {
      Mix_HaltMusic();
      Mix_FreeMusic(p->music);
    }
    if (p->holds_output) mixer_output().release();
    current_.reset();
  }

 private:
  MusicPlayer* find(MediaHandle handle) {
    return handle && handle == current_.get() ? current_.get() : nullptr;
  }

  // A playing piece whose stream has ended has finished.
  static void update(MusicPlayer& p) {
    if (p.state == MusicPlayer::State::playing && !Mix_PlayingMusic()) p.state = MusicPlayer::State::finished;
  }

  static double current_position(MusicPlayer& p) {
    if (p.decoder_positions) {
      double seconds = Mix_GetMusicPosition(p.music);
      if (seconds >= 0.0) return seconds * 1000.0;
      p.decoder_positions = false;  // this decoder keeps no position: count the time played
    }
    double position = p.position_ms + (steady_ms() - p.started_ms);
    return p.length_ms > 0.0 ? std::min(position, p.length_ms) : position;
  }

  static void apply_volume(const MusicPlayer& p) {
    if (p.music) Mix_VolumeMusic(p.volume * MIX_MAX_VOLUME / MUSIC_VOLUME_NORMAL);
  }

  std::unique_ptr<MusicPlayer> current_;
};

}  // namespace

template <>
MediaService& real_service<MediaService>() {
  static auto* media = new SdlMedia();
  return *media;
}

}  // namespace qrn
