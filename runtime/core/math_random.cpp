// Math and random numbers (see math_random.h). The generator is ISAAC; its seeding runs the
// seed through the mixing registers before ISAAC's usual two initialisation passes.
#include "core/math_random.h"

#include <cmath>

#include "core/runtime_state.h"

namespace qrn {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;

// ISAAC's eight-register mixing step.
struct Mixer {
  uint32_t a, b, c, d, e, f, g, h;

  void mix() {
    a ^= b << 11; d += a; b += c;
    b ^= c >> 2;  e += b; c += d;
    c ^= d << 8;  f += c; d += e;
    d ^= e >> 16; g += d; e += f;
    e ^= f << 10; h += e; f += g;
    f ^= g >> 4;  a += f; g += h;
    g ^= h << 8;  b += g; h += a;
    h ^= a >> 9;  c += h; a += b;
  }
  void add(const uint32_t* w) {
    a += w[0]; b += w[1]; c += w[2]; d += w[3];
    e += w[4]; f += w[5]; g += w[6]; h += w[7];
  }
  void store(uint32_t* w) const {
    w[0] = a; w[1] = b; w[2] = c; w[3] = d;
    w[4] = e; w[5] = f; w[6] = g; w[7] = h;
  }
};

}  // namespace

void random_seed(int32_t seed) {
  RuntimeState& rt = g_runtime;
  uint32_t* memory = rt.random_memory;
  for (int i = 0; i < 256; ++i) memory[i] = rt.random_results[i] = 0;
  rt.random_accumulator = rt.random_last = rt.random_counter = 0;

  const uint32_t golden = 0x9E3779B9u;
  Mixer m{golden, golden, golden, golden, golden, golden, golden, golden};
  for (int i = 0; i < 256; i += 8) {
    m.a += static_cast<uint32_t>(seed);
    m.mix();
    m.store(memory + i);
  }
  for (int i = 0; i < 4; ++i) m.mix();
  for (int i = 0; i < 256; i += 8) {
    m.add(rt.random_results + i);
    m.mix();
    m.store(memory + i);
  }
  for (int i = 0; i < 256; i += 8) {
    m.add(memory + i);
    m.mix();
    m.store(memory + i);
  }
  random_next();
}

uint32_t random_next() {
  RuntimeState& rt = g_runtime;
  uint32_t* mm = rt.random_memory;
  uint32_t a = rt.random_accumulator;
  uint32_t b = rt.random_last + ++rt.random_counter;
  for (int i = 0; i < 256; ++i) {
    uint32_t x = mm[i];
    switch (i & 3) {
      case 0: a ^= a << 13; break;
      case 1: a ^= a >> 6; break;
      case 2: a ^= a << 2; break;
      default: a ^= a >> 16; break;
    }
    a += mm[(i + 128) & 255];
    uint32_t y = mm[(x >> 2) & 255] + a + b;
    mm[i] = y;
    b = mm[(y >> 10) & 255] + x;
    rt.random_results[i] = b;
  }
  rt.random_accumulator = a;
  rt.random_last = b;
  return rt.random_results[0];
}

int32_t random_int(int32_t n) {
  if (n <= 0) return 0;
  return static_cast<int32_t>(random_next() % (static_cast<uint32_t>(n) + 1u));
}

double sin_deg(double angle) { return std::sin(angle * kRadiansPerDegree); }
double cos_deg(double angle) { return std::cos(angle * kRadiansPerDegree); }
double tan_deg(double angle) { return std::tan(angle * kRadiansPerDegree); }
double atan2_deg(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }

double asin_deg(double x) {
  if (x >= 1) return 90;
  if (x <= -1) return -90;
  return std::asin(x) * kDegreesPerRadian;
}

double acos_deg(double x) {
  if (x >= 1) return 0;
  if (x <= -1) return 180;
  return std::acos(x) * kDegreesPerRadian;
}

int32_t int_mod(int32_t a, int32_t b) {
  if (b == 0 || b == -1) return 0;  // -1: INT32_MIN % -1 traps; every other remainder is 0
  return a % b;
}

double real_mod(double x, double y) { return y == 0 ? 0.0 : std::fmod(x, y); }
double real_pow(double x, double y) { return std::pow(x, y); }
double real_floor(double x) { return std::floor(x); }
double real_ceil(double x) { return std::ceil(x); }
double real_sqrt(double x) { return std::sqrt(x); }

}  // namespace qrn
