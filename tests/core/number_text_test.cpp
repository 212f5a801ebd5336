// double_to_text against a slow, plainly correct construction of the same texts (exact
// exponent from 25 digits, then one printf per form), over random values of every magnitude
// and the values next to powers of ten and to the rounding carries; and the growth of a text
// appended to byte by byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "quarnel.h"

namespace {

std::string reference_text(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return "0";
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.25e", value);
  int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  std::string out;
  auto strip = [&out](size_t point, size_t end) {
    size_t last = end;
    while (last > point + 1 && out[last - 1] == '0') --last;
    out.erase(last, end - last);
  };
  if (exponent < -1 || exponent > 9) {
    std::snprintf(buffer, sizeof buffer, "%.9e", value);
    out = buffer;
    size_t e = out.find('e');
    int shown = std::atoi(out.c_str() + e + 1);
    out.erase(e);
    strip(out.find('.'), out.size());
    std::snprintf(buffer, sizeof buffer, "e%c%03d", shown < 0 ? '-' : '+', std::abs(shown));
    out += buffer;
  } else {
    std::snprintf(buffer, sizeof buffer, "%.*f", 9 - exponent, value);
    out = buffer;
    size_t point = out.find('.');
    if (point != std::string::npos) strip(point, out.size());
  }
  if (out.back() == '.') out.pop_back();
  return out;
}

std::string ours(double value) {
  qrn::RtString t = qrn::double_to_text(value);
  return std::string(t.data, t.length);
}

}  // namespace

TEST(NumberText, AgreesWithTheSlowConstructionEverywhere) {
  std::mt19937_64 rng(17);
  for (int i = 0; i < 300000; ++i) {
    double v;
    switch (i % 3) {
      case 0: {  // any bit pattern
        uint64_t bits = rng();
        std::memcpy(&v, &bits, sizeof v);
        break;
      }
      case 1:  // few significant digits over the interesting magnitudes
        v = static_cast<double>(rng() % 100000) * std::pow(10.0, static_cast<int>(rng() % 30) - 15);
        break;
      default:  // long digit strings in and around the plain range
        v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 90) - 90);
        break;
    }
    if (rng() & 1) v = -v;
    ASSERT_EQ(ours(v), reference_text(v)) << std::hexfloat << v;
  }
  // Next to every power of ten and next to the ten-digit rounding carries.
  for (int k = -30; k <= 30; ++k) {
    for (double base : {std::pow(10.0, k), 9.9999999995 * std::pow(10.0, k), 0.99999999995 * std::pow(10.0, k)}) {
      double v = base;
      for (int step = 0; step < 40; ++step) v = std::nextafter(v, 0.0);
      for (int step = 0; step < 80; ++step, v = std::nextafter(v, INFINITY)) {
        ASSERT_EQ(ours(v), reference_text(v)) << std::hexfloat << v;
        ASSERT_EQ(ours(-v), reference_text(-v)) << std::hexfloat << v;
      }
    }
  }
  EXPECT_EQ(ours(9999999999.7), "10000000000");
  EXPECT_EQ(ours(0.099999999999), "1.e-001");
  EXPECT_EQ(ours(0.99999999999), "1");
  EXPECT_EQ(ours(-0.0), "0");
  EXPECT_EQ(ours(5e-324), "4.940656458e-324");
  EXPECT_EQ(ours(1.7976931348623157e308), "1.797693135e+308");
}

TEST(NumberText, ByteByByteGrowthKeepsTheCapacityRuleAndTheBytes) {
  qrn::RtString t;
  std::string expected;
  char one[2] = {0, 0};
  uint32_t capacity = 0;  // the 16-byte growth rule, followed by hand
  for (int i = 0; i < 300000; ++i) {
    one[0] = static_cast<char>('a' + i % 26);
    t.append(one);
    expected += one[0];
    if (capacity < t.length + 1) capacity = qrn::text_growth_size(t.length);
    ASSERT_EQ(t.capacity, capacity);
    if (i % 4999 == 0) qrn::RtString copy(t);  // other blocks come and go meanwhile
  }
  ASSERT_EQ(std::string(t.data, t.length), expected);
  EXPECT_EQ(t.data[t.length], 0);
  // Assigning a shorter text keeps the buffer; growing again within it keeps the bytes.
  t = qrn::RtString("short");
  t.append(qrn::RtString("er"));
  EXPECT_STREQ(t.data, "shorter");
}
