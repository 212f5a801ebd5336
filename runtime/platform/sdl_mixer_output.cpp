// The shared SDL_mixer output (see sdl_mixer_output.h).
#include "platform/sdl_mixer_output.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <string>

namespace qrn {

namespace {

// 256 frames at 22050 Hz is 11.6 ms: a sound starts within two such periods of its play.
constexpr int kChunkFrames = 256;

// A General MIDI sound font for the MIDI decoder, unless the user named one.
void choose_sound_fonts() {
  const char* named = std::getenv("SDL_SOUNDFONTS");
  if (named && *named) return;
  static const char* const kFonts[] = {"/usr/share/sounds/sf2/default-GM.sf2",
                                       "/usr/share/sounds/sf2/TimGM6mb.sf2",
                                       "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
  for (const char* font : kFonts) {
    if (SDL_RWops* probe = SDL_RWFromFile(font, "rb")) {
      SDL_RWclose(probe);
      Mix_SetSoundFonts(font);
      return;
    }
  }
}

}  // namespace

MixerOutput& mixer_output() {
  static auto* output = new MixerOutput();
  return *output;
}

bool MixerOutput::acquire(const MixerOutputFormat& format) {
  if (holders_ > 0) {
    ++holders_;
    return true;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (SDL_GetNumAudioDrivers() <= 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_Init(MIX_INIT_FLAC | MIX_INIT_MOD | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID | MIX_INIT_OPUS);
  choose_sound_fonts();
  // No changes allowed: SDL converts to whatever the hardware takes, so the mixers always
  // see exactly this format.
  if (Mix_OpenAudioDevice(format.frequency, AUDIO_S16SYS, format.channels, kChunkFrames, nullptr, 0) != 0) {
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  format_ = format;
  holders_ = 1;
  return true;
}

void MixerOutput::release() {
  if (holders_ <= 0) return;
  if (--holders_ > 0) return;
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace qrn
