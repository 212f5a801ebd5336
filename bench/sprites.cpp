// Sprite throughput: how many 32 × 32 sprites draw_sprite and draw_sprite_rotated can put on
// an 800 × 600 window per frame while holding 60 frames per second, beside the same scene
// drawn with SDL2's own SDL_Renderer in the same run. Needs a display (run it under Xvfb).
//
// Each figure is the largest sprite count whose frames (clear, draw, swap) average at most
// 1000/60 ms, found by doubling and then halving the step. Both sides blend with alpha, filter
// turned sprites linearly and unscaled ones by nearest texel (the same pixels as linear there),
// swap without waiting for vertical sync, and draw the same positions and angles.
// SDL draws once into a window of the runtime's pixel format (the ratio that compares the
// drawing code) and once into a window of its own default format (no alpha channel, which
// llvmpipe fills faster). Three rounds alternate the sides; the medians count.
#include <SDL.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "platform/video.h"
#include "quarnel.h"

namespace {

constexpr int W = 800;
constexpr int H = 600;
constexpr int SIDE = 32;
constexpr double FRAME_MS = 1000.0 / 60.0;
constexpr int MAX_SPRITES = 1 << 20;

struct Placement {
  float x, y, angle;
};

std::vector<Placement> placements() {
  std::vector<Placement> out(MAX_SPRITES);
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (Placement& p : out) {
    p.x = static_cast<float>(next() % (W - SIDE));
    p.y = static_cast<float>(next() % (H - SIDE));
    p.angle = static_cast<float>(next() % 3600) / 10.0f;
  }
  return out;
}

// A soft disc with a coloured ring: some transparent, some half-transparent pixels.
uint32_t sprite_pixel(int x, int y) {
  double dx = x - 15.5, dy = y - 15.5, d = std::sqrt(dx * dx + dy * dy);
  if (d > 16) return 0;
  uint32_t alpha = d > 14 ? static_cast<uint32_t>((16 - d) * 127) : 255;
  uint32_t red = static_cast<uint32_t>(128 + 127 * std::cos(d / 3));
  return (alpha << 24) | (static_cast<uint32_t>(x * 8) << 16) | (static_cast<uint32_t>(y * 8) << 8) | red;
}

double now_ms() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double, std::milli>(clock::now().time_since_epoch()).count();
}

// Milliseconds of one frame with n sprites: the best of three runs of four frames (after two
// to warm up), so other work on the machine disturbs the figure less.
double frame_ms(const std::function<void(int)>& frame, int n) {
  frame(n);
  frame(n);
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const int frames = 4;
    double start = now_ms();
    for (int i = 0; i < frames; ++i) frame(n);
    best = std::min(best, (now_ms() - start) / frames);
  }
  return best;
}

// The largest n whose frames stay within the 60 fps budget.
int sprites_at_60(const std::function<void(int)>& frame) {
  int good = 0, step = 256;
  while (good + step <= MAX_SPRITES && frame_ms(frame, good + step) <= FRAME_MS) {
    good += step;
    step *= 2;
  }
  for (step /= 2; step >= 16; step /= 2) {
    if (good + step <= MAX_SPRITES && frame_ms(frame, good + step) <= FRAME_MS) good += step;
  }
  return good;
}

struct Figures {
  int plain = 0;
  int rotated = 0;
};

// same_format: the window gets the runtime's pixel format (8 alpha, 24 depth and 8 stencil
// bits); otherwise SDL's defaults (no alpha channel), which llvmpipe draws into faster.
Figures measure_sdl_renderer(const std::vector<Placement>& at, bool same_format) {
  Figures figures;
  SDL_GL_ResetAttributes();
  if (same_format) {
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  }
  SDL_Window* window = SDL_CreateWindow("sdl", 0, 0, W, H, SDL_WINDOW_SHOWN | SDL_WINDOW_OPENGL);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
  if (!renderer) {
    std::printf("SDL_Renderer: not available (%s)\n", SDL_GetError());
    if (window) SDL_DestroyWindow(window);
    return figures;
  }
  SDL_RendererInfo info;
  SDL_GetRendererInfo(renderer, &info);
  std::vector<uint32_t> pixels(SIDE * SIDE);
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) pixels[y * SIDE + x] = sprite_pixel(x, y);
  }
  // Turned copies filter linearly, as the runtime's default smoothing does; unscaled copies use
  // SDL's default nearest filtering, which gives the same pixels as linear there and is faster.
  auto make_texture = [&](SDL_ScaleMode mode) {
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, SIDE, SIDE);
    SDL_UpdateTexture(t, nullptr, pixels.data(), SIDE * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(t, mode);
    return t;
  };
  SDL_Texture* linear = make_texture(SDL_ScaleModeLinear);
  SDL_Texture* nearest = make_texture(SDL_ScaleModeNearest);
  SDL_Texture* texture = linear;
  auto frame = [&](int n, bool rotated) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    for (int i = 0; i < n; ++i) {
      SDL_FRect rect{at[i].x, at[i].y, SIDE, SIDE};
      if (rotated) {
        // SDL turns clockwise for positive angles: the negative angle is the same turn.
        SDL_RenderCopyExF(renderer, texture, nullptr, &rect, -at[i].angle, nullptr, SDL_FLIP_NONE);
      } else {
        SDL_RenderCopyF(renderer, texture, nullptr, &rect);
      }
    }
    SDL_RenderPresent(renderer);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
  };
  if (std::getenv("SPRITES_BENCH_DETAIL")) {
    for (int n : {0, 100, 1000, 4000}) {
      std::printf("sdl n=%d: %.2f ms plain, %.2f ms rotated\n", n, frame_ms([&](int k) { frame(k, false); }, n),
                  frame_ms([&](int k) { frame(k, true); }, n));
    }
  }
  figures.rotated = sprites_at_60([&](int n) { frame(n, true); });
  texture = nearest;
  figures.plain = sprites_at_60([&](int n) { frame(n, false); });
  SDL_DestroyTexture(linear);
  SDL_DestroyTexture(nearest);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  return figures;
}

Figures measure_runtime(const std::vector<Placement>& at, bool flush_each) {
  using namespace qrn;
  Figures figures;
  WindowRequest request;
  request.width = W;
  request.height = H;
  request.title = "quarnel";
  WindowHandle window = os_video().create_window(request);
  if (!window) {
    std::printf("quarnel: no window\n");
    return figures;
  }
  os_video().show_window(window, true);
  g_runtime = RuntimeState();
  OpenGLZodidoze* device = new OpenGLZodidoze();
  g_runtime.device = device;
  g_runtime.window_handle = window;
  g_runtime.window_width = W;
  g_runtime.window_height = H;
  device->setup_2d();
  if (!flush_each) {
    const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("GL renderer: %s\n", name ? name : "?");
  }
  Image image;
  image.resize(SIDE, SIDE);
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) {
      uint32_t c = sprite_pixel(x, y);
      for (int k = 0; k < 4; ++k) image.at(x, y)[k] = static_cast<uint8_t>(c >> (8 * k));
    }
  }
  device->create_sprite_from_image(1, image, false);
  auto frame = [&](int n, bool rotated) {
    set_background_colour(0);
    for (int i = 0; i < n; ++i) {
      if (rotated) {
        draw_sprite_rotated(1, at[i].x, at[i].y, at[i].angle);
      } else {
        draw_sprite(1, static_cast<int32_t>(at[i].x), static_cast<int32_t>(at[i].y));
      }
      if (flush_each) flush_drawing();
    }
    flush_drawing();
    os_video().swap_buffers(window);
    WindowMessage message;
    while (os_video().next_message(window, message)) {
    }
  };
  if (std::getenv("SPRITES_BENCH_DETAIL")) {
    for (int n : {0, 100, 1000, 4000}) {
      std::printf("quarnel%s n=%d: %.2f ms plain, %.2f ms rotated\n", flush_each ? " (each)" : "", n,
                  frame_ms([&](int k) { frame(k, false); }, n), frame_ms([&](int k) { frame(k, true); }, n));
    }
  }
  figures.plain = sprites_at_60([&](int n) { frame(n, false); });
  figures.rotated = sprites_at_60([&](int n) { frame(n, true); });
  device->release_all();  // the sprite and the window
  delete device;
  g_runtime = RuntimeState();
  return figures;
}

// The middle of three values.
int median(std::vector<int> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || !qrn::os_video().video_init()) {
    std::printf("no display: run under Xvfb\n");
    return 1;
  }
  const std::vector<Placement> at = placements();
  // Three rounds, each side measured in turn, so a busy machine slows all alike.
  std::vector<int> sdl_plain, sdl_rotated, own_plain, own_rotated, ours_plain, ours_rotated,
      each_plain, each_rotated;
  for (int round = 0; round < 3; ++round) {
    Figures sdl = measure_sdl_renderer(at, true);
    Figures queued = measure_runtime(at, false);
    Figures each = measure_runtime(at, true);
    Figures own = measure_sdl_renderer(at, false);
    std::printf("round %d: draw_sprite %d (one call each %d, SDL %d, SDL own format %d); "
                "rotated %d (one call each %d, SDL %d, SDL own format %d)\n",
                round + 1, queued.plain, each.plain, sdl.plain, own.plain, queued.rotated,
                each.rotated, sdl.rotated, own.rotated);
    sdl_plain.push_back(sdl.plain);
    sdl_rotated.push_back(sdl.rotated);
    own_plain.push_back(own.plain);
    own_rotated.push_back(own.rotated);
    ours_plain.push_back(queued.plain);
    ours_rotated.push_back(queued.rotated);
    each_plain.push_back(each.plain);
    each_rotated.push_back(each.rotated);
  }
  std::printf("32x32 sprites per frame at 60 fps, %dx%d window, llvmpipe (median of 3 rounds)\n", W, H);
  std::printf("%-20s %8s %10s %14s %8s %15s %8s\n", "", "quarnel", "one call", "SDL_Renderer", "ratio",
              "SDL own format", "ratio");
  auto row = [&](const char* name, int ours, int flushed, int baseline, int own) {
    std::printf("%-20s %8d %10d %14d %8.2f %15d %8.2f\n", name, ours, flushed, baseline,
                baseline ? static_cast<double>(ours) / baseline : 0.0, own,
                own ? static_cast<double>(ours) / own : 0.0);
  };
  row("draw_sprite", median(ours_plain), median(each_plain), median(sdl_plain), median(own_plain));
  row("draw_sprite_rotated", median(ours_rotated), median(each_rotated), median(sdl_rotated),
      median(own_rotated));
  qrn::os_video().video_quit();
  SDL_Quit();
  return 0;
}
