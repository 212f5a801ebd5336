// Sprite throughput: how many 32 × 32 sprites draw_sprite and draw_sprite_rotated can put on
// an 800 × 600 window per frame while holding 60 frames per second, beside the same scene
// drawn in the same run by SFML 2.5 (one sf::VertexArray of quads, and one sf::Sprite draw
// per sprite), SDL2's SDL_Renderer and plain OpenGL streaming one buffer object per frame.
// Needs a display (run it under Xvfb).
//
// Each figure is the largest sprite count whose frames (clear, draw, swap) average at most
// 1000/60 ms, found by doubling and then halving the step. Every side blends with alpha,
// filters turned sprites linearly and unscaled ones by nearest texel (the same pixels as
// linear there), swaps without waiting for vertical sync, and draws the same positions and
// angles. SDL draws once into a window of the runtime's pixel format and once into one of
// its own default format. Rounds alternate the sides; the medians count. The runtime's own
// CPU time per sprite is its queueing of the quads, timed apart from the GL draw.
//
// SPRITES_BENCH_ROUNDS=n sets the rounds (3), SPRITES_BENCH_EACH=1 adds the runtime drawing
// each sprite with a call of its own, SPRITES_BENCH_NO_ALPHA=1 the runtime drawing into a
// window without alpha bits, SPRITES_BENCH_DETAIL=1 prints frame times, and
// SPRITES_BENCH_DUMP=prefix only writes the window's pixels after 2000 plain and 2000 turned
// sprites to prefix-plain.rgba and prefix-rotated.rgba (for comparing two builds).
#include <SDL.h>

#include <GL/gl.h>
#include <GL/glext.h>

#ifdef QRN_BENCH_SFML
#include <SFML/Graphics.hpp>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
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

// Microseconds per sprite of the runtime's own code and of the GL draw, one figure per round.
std::vector<double> g_own_plain_us, g_own_rotated_us, g_gl_plain_us;

double median(std::vector<double> values);

struct Figures {
  int plain = 0;
  int rotated = 0;
};

// same_format: the window gets the runtime's pixel format (8 alpha bits, no depth or
// stencil); otherwise SDL's defaults (no alpha channel, a 16-bit depth buffer).
Figures measure_sdl_renderer(const std::vector<Placement>& at, bool same_format) {
  Figures figures;
  SDL_GL_ResetAttributes();
  if (same_format) {
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
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

// The corners of a 32 x 32 quad at (x, y) turned by angle degrees counter-clockwise on screen
// about its centre, in the order top-left, top-right, bottom-right, bottom-left.
void turned_corners(const Placement& p, bool rotated, float xs[4], float ys[4]) {
  const float h = SIDE * 0.5f, cx = p.x + h, cy = p.y + h;
  const float dx[4] = {-h, h, h, -h}, dy[4] = {-h, -h, h, h};
  float s = 0.0f, c = 1.0f;
  if (rotated) {
    s = std::sin(p.angle * 0.017453292f);
    c = std::cos(p.angle * 0.017453292f);
  }
  for (int k = 0; k < 4; ++k) {
    xs[k] = cx + dx[k] * c + dy[k] * s;
    ys[k] = cy - dx[k] * s + dy[k] * c;
  }
}

#ifdef QRN_BENCH_SFML
// SFML 2.5 in its own window (its default format: no depth or stencil), the sprites either
// as one sf::VertexArray of quads rebuilt every frame or as one sf::Sprite draw each.
Figures measure_sfml(const std::vector<Placement>& at, bool vertex_array) {
  Figures figures;
  sf::RenderWindow window(sf::VideoMode(W, H), "sfml", sf::Style::Titlebar);
  window.setVerticalSyncEnabled(false);
  std::vector<uint8_t> rgba(SIDE * SIDE * 4);
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) {
      const uint32_t c = sprite_pixel(x, y);
      for (int k = 0; k < 4; ++k) rgba[(y * SIDE + x) * 4 + k] = static_cast<uint8_t>(c >> (8 * k));
    }
  }
  sf::Image image;
  image.create(SIDE, SIDE, rgba.data());
  sf::Texture texture;
  texture.loadFromImage(image);
  sf::VertexArray quads(sf::Quads);
  sf::Sprite sprite(texture);
  sprite.setOrigin(SIDE * 0.5f, SIDE * 0.5f);
  auto frame = [&](int n, bool rotated) {
    window.clear(sf::Color::Black);
    if (vertex_array) {
      quads.resize(static_cast<size_t>(n) * 4);
      const float u[4] = {0, SIDE, SIDE, 0}, v[4] = {0, 0, SIDE, SIDE};
      for (int i = 0; i < n; ++i) {
        float xs[4], ys[4];
        turned_corners(at[i], rotated, xs, ys);
        for (int k = 0; k < 4; ++k) {
          sf::Vertex& corner = quads[static_cast<size_t>(i) * 4 + k];
          corner.position = {xs[k], ys[k]};
          corner.texCoords = {u[k], v[k]};
          corner.color = sf::Color::White;
        }
      }
      window.draw(quads, &texture);
    } else {
      for (int i = 0; i < n; ++i) {
        sprite.setPosition(at[i].x + SIDE * 0.5f, at[i].y + SIDE * 0.5f);
        sprite.setRotation(rotated ? -at[i].angle : 0.0f);  // SFML turns clockwise
        window.draw(sprite);
      }
    }
    window.display();
    sf::Event event;
    while (window.pollEvent(event)) {
    }
  };
  texture.setSmooth(true);
  figures.rotated = sprites_at_60([&](int n) { frame(n, true); });
  texture.setSmooth(false);
  figures.plain = sprites_at_60([&](int n) { frame(n, false); });
  window.close();
  return figures;
}
#endif

// Plain OpenGL 1.5 in an SDL window of the runtime's format (8 alpha bits, no depth or
// stencil): every frame the corners of all sprites go into one buffer object with
// glBufferData and are drawn as triangles (two per sprite) in one call.
Figures measure_raw_gl(const std::vector<Placement>& at) {
  Figures figures;
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_Window* window = SDL_CreateWindow("gl", 0, 0, W, H, SDL_WINDOW_SHOWN | SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  auto gen_buffers = reinterpret_cast<PFNGLGENBUFFERSPROC>(SDL_GL_GetProcAddress("glGenBuffers"));
  auto bind_buffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(SDL_GL_GetProcAddress("glBindBuffer"));
  auto buffer_data = reinterpret_cast<PFNGLBUFFERDATAPROC>(SDL_GL_GetProcAddress("glBufferData"));
  auto delete_buffers = reinterpret_cast<PFNGLDELETEBUFFERSPROC>(SDL_GL_GetProcAddress("glDeleteBuffers"));
  if (!context || !gen_buffers || !bind_buffer || !buffer_data || !delete_buffers) {
    std::printf("raw GL: not available (%s)\n", SDL_GetError());
    if (context) SDL_GL_DeleteContext(context);
    if (window) SDL_DestroyWindow(window);
    return figures;
  }
  SDL_GL_SetSwapInterval(0);
  std::vector<uint32_t> pixels(SIDE * SIDE);
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) pixels[y * SIDE + x] = sprite_pixel(x, y);
  }
  GLuint texture = 0, buffer = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, SIDE, SIDE, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glViewport(0, 0, W, H);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, W, H, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gen_buffers(1, &buffer);
  bind_buffer(GL_ARRAY_BUFFER, buffer);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), nullptr);
  glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), reinterpret_cast<const void*>(2 * sizeof(float)));
  std::vector<float> vertices;
  auto frame = [&](int n, bool rotated) {
    glClear(GL_COLOR_BUFFER_BIT);
    vertices.resize(static_cast<size_t>(n) * 6 * 4);
    const float u[4] = {0, 1, 1, 0}, v[4] = {0, 0, 1, 1};
    const int order[6] = {0, 1, 2, 0, 2, 3};
    float* out = vertices.data();
    for (int i = 0; i < n; ++i) {
      float xs[4], ys[4];
      turned_corners(at[i], rotated, xs, ys);
      for (int k : order) {
        *out++ = xs[k];
        *out++ = ys[k];
        *out++ = u[k];
        *out++ = v[k];
      }
    }
    buffer_data(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, n * 6);
    SDL_GL_SwapWindow(window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
  };
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  figures.rotated = sprites_at_60([&](int n) { frame(n, true); });
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  figures.plain = sprites_at_60([&](int n) { frame(n, false); });
  delete_buffers(1, &buffer);
  glDeleteTextures(1, &texture);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  return figures;
}

// flush_each: every sprite is drawn with a GL call of its own; alpha_bits: of the window
// (the device asks for 8).
Figures measure_runtime(const std::vector<Placement>& at, bool flush_each, int alpha_bits = 8) {
  using namespace qrn;
  Figures figures;
  WindowRequest request;
  request.width = W;
  request.height = H;
  request.title = "quarnel";
  request.alpha_bits = alpha_bits;
  request.depth_bits = 0;  // what the device asks for a program without 3D
  request.stencil_bits = 0;
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
  if (const char* dump = std::getenv("SPRITES_BENCH_DUMP")) {
    // The window's pixels after 2000 plain and 2000 rotated sprites, for comparing two builds.
    for (bool rotated : {false, true}) {
      frame(2000, rotated);
      frame(2000, rotated);  // drawn into the back buffer again, read before the swap
      set_background_colour(0);
      for (int i = 0; i < 2000; ++i) {
        if (rotated) {
          draw_sprite_rotated(1, at[i].x, at[i].y, at[i].angle);
        } else {
          draw_sprite(1, static_cast<int32_t>(at[i].x), static_cast<int32_t>(at[i].y));
        }
      }
      flush_drawing();
      std::vector<uint8_t> pixels(static_cast<size_t>(W) * H * 4);
      glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      std::string name = std::string(dump) + (rotated ? "-rotated.rgba" : "-plain.rgba");
      if (FILE* out = std::fopen(name.c_str(), "wb")) {
        std::fwrite(pixels.data(), 1, pixels.size(), out);
        std::fclose(out);
      }
    }
  }
  const bool measure = !std::getenv("SPRITES_BENCH_DUMP");
  if (measure && !flush_each) {
    // The runtime's own share: 4000 draws fill the quad queue (4096 quads) without a flush;
    // the flush after them is the GL share.
    const int n = 4000;
    for (bool rotated : {false, true}) {
      std::vector<double> own, gl;
      for (int rep = 0; rep < 15; ++rep) {
        set_background_colour(0);
        flush_drawing();
        const double start = now_ms();
        for (int i = 0; i < n; ++i) {
          if (rotated) {
            draw_sprite_rotated(1, at[i].x, at[i].y, at[i].angle);
          } else {
            draw_sprite(1, static_cast<int32_t>(at[i].x), static_cast<int32_t>(at[i].y));
          }
        }
        const double queued = now_ms();
        flush_drawing();
        glFinish();
        own.push_back((queued - start) * 1000.0 / n);
        gl.push_back((now_ms() - queued) * 1000.0 / n);
      }
      (rotated ? g_own_rotated_us : g_own_plain_us).push_back(median(own));
      if (!rotated) g_gl_plain_us.push_back(median(gl));
    }
  }
  if (std::getenv("SPRITES_BENCH_DETAIL")) {
    for (int n : {0, 100, 1000, 4000}) {
      std::printf("quarnel%s n=%d: %.2f ms plain, %.2f ms rotated\n", flush_each ? " (each)" : "", n,
                  frame_ms([&](int k) { frame(k, false); }, n), frame_ms([&](int k) { frame(k, true); }, n));
    }
  }
  if (measure) {
    figures.plain = sprites_at_60([&](int n) { frame(n, false); });
    figures.rotated = sprites_at_60([&](int n) { frame(n, true); });
  }
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

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Peer {
  const char* name;
  std::function<Figures()> measure;
  std::vector<int> plain, rotated;
};

}  // namespace

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || !qrn::os_video().video_init()) {
    std::printf("no display: run under Xvfb\n");
    return 1;
  }
  const std::vector<Placement> at = placements();
  if (std::getenv("SPRITES_BENCH_DUMP")) {
    measure_runtime(at, false);
    return 0;
  }
  std::vector<Peer> peers;
  peers.push_back({"quarnel", [&] { return measure_runtime(at, false); }, {}, {}});
#ifdef QRN_BENCH_SFML
  peers.push_back({"SFML sf::VertexArray", [&] { return measure_sfml(at, true); }, {}, {}});
  peers.push_back({"SFML sf::Sprite", [&] { return measure_sfml(at, false); }, {}, {}});
#endif
  peers.push_back({"SDL_Renderer", [&] { return measure_sdl_renderer(at, true); }, {}, {}});
  peers.push_back({"SDL_Renderer own fmt", [&] { return measure_sdl_renderer(at, false); }, {}, {}});
  peers.push_back({"raw GL, one VBO", [&] { return measure_raw_gl(at); }, {}, {}});
  if (std::getenv("SPRITES_BENCH_NO_ALPHA")) {
    peers.push_back({"quarnel, no alpha bits", [&] { return measure_runtime(at, false, 0); }, {}, {}});
  }
  if (std::getenv("SPRITES_BENCH_EACH")) {
    peers.push_back({"quarnel, flush each", [&] { return measure_runtime(at, true); }, {}, {}});
  }
  // Rounds (3, or SPRITES_BENCH_ROUNDS), each side measured in turn, so a busy machine
  // slows all alike.
  int rounds = 3;
  if (const char* text = std::getenv("SPRITES_BENCH_ROUNDS")) rounds = std::max(1, std::atoi(text));
  for (int round = 0; round < rounds; ++round) {
    std::printf("round %d:", round + 1);
    for (Peer& peer : peers) {
      Figures f = peer.measure();
      peer.plain.push_back(f.plain);
      peer.rotated.push_back(f.rotated);
      std::printf(" %s %d/%d;", peer.name, f.plain, f.rotated);
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  std::printf("\n32x32 alpha-blended sprites per frame at 60 fps, %dx%d window (median of %d rounds)\n", W, H,
              rounds);
  std::printf("%-22s %8s %8s %13s %13s\n", "", "plain", "rotated", "ours/peer", "ours/peer");
  const int ours_plain = median(peers[0].plain), ours_rotated = median(peers[0].rotated);
  for (const Peer& peer : peers) {
    const int plain = median(peer.plain), rotated = median(peer.rotated);
    std::printf("%-22s %8d %8d %13.2f %13.2f\n", peer.name, plain, rotated,
                plain ? static_cast<double>(ours_plain) / plain : 0.0,
                rotated ? static_cast<double>(ours_rotated) / rotated : 0.0);
  }
  std::printf("\nCPU time of the runtime's own code per sprite (queueing, no GL): %.4f us plain, "
              "%.4f us rotated; one GL draw of the same quads: %.4f us per sprite plain\n",
              median(g_own_plain_us), median(g_own_rotated_us), median(g_gl_plain_us));
  qrn::os_video().video_quit();
  SDL_Quit();
  return 0;
}
