// Math and random numbers: the generation step against ISAAC's published output, the seeding's
// fixed sequence, random_int's range, and the clamps and zero divisors of the numeric commands.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>

#include "quarnel.h"

namespace {

// ISAAC's reference initialisation with an all-zero seed array, straight into the runtime's
// state, so that random_next can be checked against the reference program's output.
void reference_initialisation() {
  qrn::RuntimeState& rt = qrn::g_runtime;
  uint32_t r[8];
  for (uint32_t& v : r) v = 0x9E3779B9u;
  auto mix = [&r] {
    uint32_t &a = r[0], &b = r[1], &c = r[2], &d = r[3], &e = r[4], &f = r[5], &g = r[6], &h = r[7];
    a ^= b << 11; d += a; b += c;
    b ^= c >> 2;  e += b; c += d;
    c ^= d << 8;  f += c; d += e;
    d ^= e >> 16; g += d; e += f;
    e ^= f << 10; h += e; f += g;
    f ^= g >> 4;  a += f; g += h;
    g ^= h << 8;  b += g; h += a;
    h ^= a >> 9;  c += h; a += b;
  };
  for (int i = 0; i < 4; ++i) mix();
  for (uint32_t* source : {rt.random_results, rt.random_memory}) {
    for (int i = 0; i < 256; i += 8) {
      for (int x = 0; x < 8; ++x) r[x] += source[i + x];
      mix();
      for (int x = 0; x < 8; ++x) rt.random_memory[i + x] = r[x];
    }
  }
  rt.random_accumulator = rt.random_last = rt.random_counter = 0;
}

}  // namespace

TEST(Random, GenerationStepMatchesIsaacsPublishedOutput) {
  qrn::reset_runtime_state();
  reference_initialisation();
  qrn::random_next();  // the reference initialisation ends with one pass
  uint32_t first = qrn::random_next();
  const uint32_t expected[] = {0xf650e4c8, 0xe448e96d, 0x98db2fb4, 0xf5fad54f,
                               0x433f1afb, 0xedec154a, 0xd8370487, 0x46ca4f9a};
  EXPECT_EQ(first, expected[0]);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(qrn::g_runtime.random_results[i], expected[i]) << i;
}

TEST(Random, SeedFixesTheSequence) {
  qrn::reset_runtime_state();
  qrn::random_seed(12345);
  uint32_t a[4];
  for (uint32_t& v : a) v = qrn::random_next();
  qrn::random_int(100);
  qrn::random_seed(12345);  // reseeding clears whatever came before
  for (uint32_t v : a) EXPECT_EQ(qrn::random_next(), v);
  qrn::random_seed(12346);
  EXPECT_NE(qrn::random_next(), a[0]);

  // Pinned values: the seeding runs the seed through the mixing registers before the two
  // initialisation passes, unlike ISAAC's reference start, and programs rely on the sequence.
  qrn::random_seed(12345);
  EXPECT_EQ(qrn::random_next(), 0xc79536eeu);
  EXPECT_EQ(qrn::random_next(), 0xf1c4793du);
  EXPECT_EQ(qrn::random_next(), 0xc0bcf2a7u);
  qrn::random_seed(0);
  uint32_t seeded_zero = qrn::random_next();
  EXPECT_EQ(seeded_zero, 0x52f1b2dau);
  qrn::reset_runtime_state();
  reference_initialisation();
  qrn::random_next();
  EXPECT_NE(seeded_zero, qrn::random_next());
}

TEST(Random, RandomIntRange) {
  qrn::random_seed(99);
  uint32_t counter = qrn::g_runtime.random_counter;
  EXPECT_EQ(qrn::random_int(0), 0);
  EXPECT_EQ(qrn::random_int(-5), 0);
  EXPECT_EQ(qrn::g_runtime.random_counter, counter);  // the generator did not advance

  std::set<int32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    int32_t v = qrn::random_int(6);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 6);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 7u);  // 0 to n inclusive
  for (int i = 0; i < 100; ++i) EXPECT_GE(qrn::random_int(INT32_MAX), 0);
}

TEST(MathCommands, ClampsAndZeroDivisors) {
  EXPECT_DOUBLE_EQ(qrn::sin_deg(90), 1.0);
  EXPECT_DOUBLE_EQ(qrn::atan2_deg(1, 0), 90.0);
  EXPECT_EQ(qrn::asin_deg(1.5), 90.0);
  EXPECT_EQ(qrn::asin_deg(-1), -90.0);
  EXPECT_EQ(qrn::acos_deg(-2), 180.0);
  EXPECT_EQ(qrn::acos_deg(1), 0.0);
  EXPECT_EQ(qrn::int_mod(7, 0), 0);
  EXPECT_EQ(qrn::int_mod(-7, 3), -1);
  EXPECT_EQ(qrn::int_mod(INT32_MIN, -1), 0);  // would trap as a plain division
  EXPECT_EQ(qrn::real_mod(-5.5, 2), -1.5);
  EXPECT_EQ(qrn::real_mod(1, 0), 0.0);
  EXPECT_TRUE(std::isnan(qrn::real_mod(1, std::nan(""))));
}
