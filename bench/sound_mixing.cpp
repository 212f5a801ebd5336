// Cost of mixing sound-effect voices: the runtime's mixer (exact gain and pan per voice)
// beside SDL's own SDL_MixAudioFormat, which SDL_mixer uses for each of its channels, on the
// same voices in the same run. Both mix one second of 16-bit stereo at 22050 Hz in blocks of
// 256 frames, as the device asks for it.
//
// Output: per voice count, milliseconds of processor time per second of sound (the share of
// one core, in tenths of a percent) for both, and the runtime's cost as a ratio of SDL's.
#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/voice_mixer.h"

namespace {

constexpr int kRate = 22050;
constexpr size_t kBlock = 256;

double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Processor milliseconds to mix `seconds` of sound, best of three.
template <class Mix>
double measure(Mix mix, int seconds) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    double start = cpu_ms();
    for (int s = 0; s < seconds; ++s) {
      for (size_t done = 0; done + kBlock <= static_cast<size_t>(kRate); done += kBlock) mix();
    }
    best = std::min(best, (cpu_ms() - start) / seconds);
  }
  return best;
}

}  // namespace

int main() {
  // Ten seconds of a varying signal, shared by every voice, as duplicates share theirs.
  auto frames = std::make_shared<std::vector<int16_t>>(static_cast<size_t>(kRate) * 10 * 2);
  for (size_t i = 0; i < frames->size(); ++i) (*frames)[i] = static_cast<int16_t>((i * 7919) % 2000 - 1000);
  std::vector<int16_t> out(kBlock * 2);
  std::vector<float> scratch;
  std::printf("voices  runtime ms/s  SDL ms/s  ratio  runtime per voice (%% of a core)\n");
  for (size_t count : {64, 256, 1024}) {
    std::vector<qrn::MixerVoice> voices(count);
    for (size_t i = 0; i < count; ++i) {
      voices[i].frames = frames;
      voices[i].volume = -602;
      voices[i].pan = static_cast<int32_t>(i % 200) * 100 - 10000;
      qrn::update_voice_gains(voices[i]);
    }
    std::vector<qrn::MixerVoice*> playing;
    auto ours = [&] {
      playing.clear();
      for (qrn::MixerVoice& v : voices) {
        if (v.position + kBlock * 2 > frames->size() / 2) v.position = 0;
        v.playing = true;
        playing.push_back(&v);
      }
      std::fill(out.begin(), out.end(), 0);
      qrn::mix_voices(playing.data(), playing.size(), out.data(), kBlock, scratch);
    };
    size_t position = 0;
    auto sdl = [&] {
      std::fill(out.begin(), out.end(), 0);
      if (position + kBlock * 2 > frames->size() / 2) position = 0;
      for (size_t i = 0; i < count; ++i) {
        SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                           reinterpret_cast<const Uint8*>(frames->data() + position * 2), AUDIO_S16SYS,
                           static_cast<Uint32>(kBlock * 4), SDL_MIX_MAXVOLUME / 2);
      }
      position += kBlock;
    };
    double a = measure(ours, 2);
    double b = measure(sdl, 2);
    std::printf("%6zu  %12.2f  %8.2f  %5.2f  %.4f\n", count, a, b, a / b, a / 10.0 / count);
  }
  return 0;
}
