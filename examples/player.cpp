// Sound and music player: plays a piece of music in a loop (the file named on the command
// line: WAV, Ogg Vorbis, MP3, FLAC or MIDI; without one, a short tune it writes itself) and a
// sound effect on a key or a click.
//   player [MUSIC_FILE]
// Keys: Space or a click plays the effect (panned to where the pointer is), M pauses and
// resumes the music, + and - change its volume, Escape ends.
#include <quarnel/quarnel.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "example_frames.h"

using namespace qrn;

namespace {

constexpr int32_t kWidth = 640, kHeight = 240, kRate = 22050;

// A 16-bit mono WAV file of the samples.
bool write_wav(const std::string& path, const std::vector<int16_t>& samples) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f), u32(36 + bytes), std::fwrite("WAVEfmt ", 1, 8, f), u32(16);
  u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
  std::fwrite("data", 1, 4, f), u32(bytes);
  std::fwrite(samples.data(), 2, samples.size(), f);
  return std::fclose(f) == 0;
}

// Appends a note: a plucked sine at hz for ms milliseconds (hz 0: a rest).
void note(std::vector<int16_t>& out, double hz, int ms, double loudness) {
  const int frames = kRate * ms / 1000;
  for (int i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / kRate;
    double envelope = std::exp(-4.0 * t) * std::fmin(1.0, i / 80.0);
    out.push_back(static_cast<int16_t>(hz > 0 ? loudness * 12000 * envelope * std::sin(2 * M_PI * hz * t) : 0));
  }
}

}  // namespace

int main(int argc, char** argv) {
  example::open_window(kWidth, kHeight, "Sound and music");
  set_background_colour(0x00403020);
  set_pause_enabled(0);  // the music plays on while another window has the focus

  // Files the player makes go to the temporary folder: the program's own may be read-only.
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/quarnel-player-" + std::to_string(getpid());
  std::vector<int16_t> blip;
  note(blip, 880, 120, 1.0);
  std::vector<int16_t> tune;
  for (double hz : {523.25, 659.25, 783.99, 659.25, 587.33, 698.46, 880.0, 0.0}) note(tune, hz, 250, 0.6);
  write_wav(base + "-blip.wav", blip);
  RtString music = argc > 1 ? RtString(argv[1]) : RtString((base + "-tune.wav").c_str());
  if (argc <= 1) write_wav(base + "-tune.wav", tune);
  const char* slash = std::strrchr(music.data, '/');
  RtString shown_name = argc > 1 ? RtString(slash ? slash + 1 : music.data) : RtString("a tune of its own");

  const int32_t effect = find_free_sound();
  load_sound((base + "-blip.wav").c_str(), effect, 4);  // four voices: quick presses overlap
  play_music(music, 1);
  double volume = 1.0;
  int32_t paused = 0, played = 0, was_down = 0;
  const bool scripted = example::frame_limit() > 0;

  for (;;) {
    int32_t mx = 0, my = 0, left = 0, right = 0;
    read_mouse(mx, my, left, right);
    bool play = left && !was_down;
    was_down = left;
    for (RtString typed = take_typed_char(); !typed.empty(); typed = take_typed_char()) {
      char c = typed.data[0];
      if (c == ' ') play = true;
      if (c == 'm' || c == 'M') pause_music(paused = !paused);
      if (c == '+' || c == '=') set_music_volume(volume = std::fmin(1.0, volume + 0.1));
      if (c == '-') set_music_volume(volume = std::fmax(0.0, volume - 0.1));
    }
    if (scripted && example::frames_shown() % 30 == 0) play = true;  // a run with a frame limit plays by itself
    if (play && play_sound(effect, 2.0 * mx / kWidth - 1.0, 1.0) >= 0) ++played;

    print_text("Music: " + shown_name, 8, 8, 1);
    print_text(RtString(music_playing() ? (paused ? "paused" : "playing") : "silent") + ", volume " +
                   static_cast<int32_t>(std::lround(volume * 100)) + "%",
               8, 8 + example::kLine, 1);
    draw_rect(8, 56, static_cast<int32_t>(volume * (kWidth - 16)), 16, 0x0040C0F0);
    print_text(RtString("Effects played: ") + played, 8, 90, 1);
    print_text("Space or click: effect", 8, 150, 1);
    print_text("M: pause   + -: volume", 8, 150 + example::kLine, 1);
    print_text("Esc: quit", 8, 150 + 2 * example::kLine, 1);
    example::next_frame();
    if (scripted && example::frames_shown() + 1 == example::frame_limit()) {
      print_stdout(RtString("effects played: ") + played + ", music " + (music_playing() ? "playing" : "silent") + "\n");
      std::remove((base + "-blip.wav").c_str());
      if (argc <= 1) std::remove((base + "-tune.wav").c_str());
    }
  }
}
