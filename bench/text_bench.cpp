// Text benchmark: RtString and the text commands against std::string doing the same work in
// the same run. Prints, for each task, both times (best of several rounds) and ours / std.
// Tasks: appending one byte at a time to 1 MB; find_text of a 16-byte needle in 8 MB of words;
// replace_text over 1 MB with a longer and with a shorter replacement; double_to_text of
// 1 million values against snprintf ("%.10g") into a std::string.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quarnel.h"

using qrn::RtString;

namespace {

volatile size_t g_sink = 0;  // keeps results alive

template <typename F>
double best_ms(int rounds, F&& work) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    work();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms < best) best = ms;
  }
  return best;
}

void report(const char* task, double ours, double theirs) {
  std::printf("%-44s ours %9.3f ms   std %9.3f ms   ours/std %5.2f\n", task, ours, theirs, ours / theirs);
}

// Words of 2 to 8 lower-case letters separated by spaces, with "cat" now and then.
std::string word_text(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    if (rng() % 12 == 0) {
      text += "cat ";
      continue;
    }
    size_t n = 2 + rng() % 7;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('a' + rng() % 26);
    text += ' ';
  }
  text.resize(size);
  return text;
}

RtString to_rt(const std::string& s) {
  RtString t;
  std::memcpy(t.writable_buffer(static_cast<uint32_t>(s.size())), s.data(), s.size());
  t.length = static_cast<uint32_t>(s.size());
  t.data[t.length] = 0;
  return t;
}

// The same left-to-right, never-rescanning replacement, written the usual way for std::string.
std::string std_replace(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  out.reserve(text.size());
  size_t p = 0;
  for (size_t m; (m = text.find(from, p)) != std::string::npos; p = m + from.size()) {
    out.append(text, p, m - p);
    out += to;
  }
  out.append(text, p, std::string::npos);
  return out;
}

}  // namespace

int main() {
  const int rounds = 5;

  {  // Appending one byte at a time to 1 MB.
    const size_t n = 1 << 20;
    double ours = best_ms(rounds, [&] {
      RtString t;
      char one[2] = {0, 0};
      for (size_t i = 0; i < n; ++i) {
        one[0] = static_cast<char>('a' + (i & 15));
        t.append(one);
      }
      g_sink = g_sink + t.length;
    });
    double theirs = best_ms(rounds, [&] {
      std::string s;
      char one[2] = {0, 0};
      for (size_t i = 0; i < n; ++i) {
        one[0] = static_cast<char>('a' + (i & 15));
        s.append(one);
      }
      g_sink = g_sink + s.size();
    });
    report("append 1 byte x 1 MB", ours, theirs);
  }

  {  // find_text of a 16-byte needle in 8 MB.
    const std::string needle = "quintessentially";
    std::string hay = word_text(8 << 20, 1);
    hay.replace(hay.size() - 20, needle.size(), needle);
    RtString rt_hay = to_rt(hay), rt_needle = to_rt(needle);
    double ours = best_ms(rounds, [&] { g_sink = g_sink + qrn::find_text(rt_hay, rt_needle, 0); });
    double theirs = best_ms(rounds, [&] { g_sink = g_sink + hay.find(needle, 0); });
    report("find_text 16-byte needle in 8 MB", ours, theirs);
  }

  {  // replace_text over 1 MB, growing and shrinking.
    std::string text = word_text(1 << 20, 2);
    RtString rt_text = to_rt(text);
    RtString cat = "cat", tiger = "tiger";
    double ours = best_ms(rounds, [&] { g_sink = g_sink + qrn::replace_text(rt_text, cat, tiger).length; });
    double theirs = best_ms(rounds, [&] { g_sink = g_sink + std_replace(text, "cat", "tiger").size(); });
    report("replace_text 1 MB, \"cat\" -> \"tiger\"", ours, theirs);

    std::string grown = std_replace(text, "cat", "tiger");
    RtString rt_grown = to_rt(grown);
    ours = best_ms(rounds, [&] { g_sink = g_sink + qrn::replace_text(rt_grown, tiger, cat).length; });
    theirs = best_ms(rounds, [&] { g_sink = g_sink + std_replace(grown, "tiger", "cat").size(); });
    report("replace_text 1 MB, \"tiger\" -> \"cat\"", ours, theirs);
  }

  {  // double_to_text of 1 million values over many magnitudes.
    std::mt19937_64 rng(5);
    std::vector<double> values(1000000);
    for (double& v : values) {
      double mantissa = static_cast<double>(rng() % 100000000) / 1e4;
      int exponent = static_cast<int>(rng() % 25) - 12;
      v = (rng() & 1 ? -mantissa : mantissa) * std::pow(10.0, exponent);
    }
    double ours = best_ms(rounds, [&] {
      size_t total = 0;
      for (double v : values) total += qrn::double_to_text(v).length;
      g_sink = g_sink + total;
    });
    double theirs = best_ms(rounds, [&] {
      size_t total = 0;
      char buffer[64];
      for (double v : values) {
        std::snprintf(buffer, sizeof buffer, "%.10g", v);
        std::string s(buffer);
        total += s.size();
      }
      g_sink = g_sink + total;
    });
    report("double_to_text x 1 million", ours, theirs);
  }
  return 0;
}
