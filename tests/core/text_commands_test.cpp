// Text commands: substrings, Horspool search against a plain scan, replace against the
// step-by-step rebuild it stands for, trimming and case, hex and URL forms, width formatting
// and wide strings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "core/text_test_helpers.h"
#include "quarnel.h"

using qrn::RtString;

namespace {

using qrn::test::bytes;
using qrn::test::str;

std::string random_text(std::mt19937& rng, size_t n, char first, int alphabet) {
  std::string s(n, ' ');
  for (char& c : s) c = static_cast<char>(first + static_cast<int>(rng() % alphabet));
  return s;
}

// The rebuild-after-every-match procedure the replacement is defined by.
std::string replace_by_rebuilding(const std::string& text, const std::string& old_text,
                                  const std::string& new_text) {
  if (old_text.empty()) return text;
  std::string result = text;
  size_t p = 0;
  while (p < result.size()) {
    size_t m = result.find(old_text, p);
    if (m == std::string::npos) break;
    result = result.substr(0, m) + new_text + result.substr(m + old_text.size());
    p = m + new_text.size();
  }
  return result;
}

}  // namespace

TEST(TextCommands, SubstringsAndByteCodes) {
  RtString hello = "hello";
  EXPECT_EQ(str(qrn::mid_text(hello, 1, 3)), "ell");
  EXPECT_EQ(str(qrn::mid_text(hello, 3, -1)), "lo");
  EXPECT_EQ(str(qrn::mid_text(hello, 4, 10)), "o");
  EXPECT_EQ(str(qrn::mid_text(hello, 5, 1)), "");
  EXPECT_EQ(str(qrn::mid_text(hello, -1, 2)), "");
  EXPECT_EQ(str(qrn::mid_text(hello, 0, INT32_MAX)), "hello");

  EXPECT_EQ(qrn::char_code(""), 0);
  EXPECT_EQ(qrn::char_code("\xE9x"), 0xE9);
  EXPECT_EQ(qrn::char_code_at("A", 1), 0);
  EXPECT_EQ(qrn::char_code_at("A", -1), 0);
  RtString zero = qrn::char_from_code(0x100);  // low 8 bits only
  EXPECT_EQ(zero.length, 1u);
  EXPECT_EQ(zero.data[0], 0);
  EXPECT_EQ(str(qrn::char_from_code(0x141)), "A");

  RtString tail = bytes(std::string("ab\x1f\r\n\0", 6));
  qrn::strip_control_tail(tail);
  EXPECT_EQ(str(tail), "ab");
  RtString inner = "a\tb \n";
  qrn::strip_control_tail(inner);
  EXPECT_EQ(str(inner), "a\tb ");  // stops at the first byte above 31
}

TEST(TextCommands, FindFirstAndLast) {
  RtString t = "abcabc";
  EXPECT_EQ(qrn::find_text(t, "bc", 0), 1);
  EXPECT_EQ(qrn::find_text(t, "bc", 2), 4);
  EXPECT_EQ(qrn::find_text(t, "bc", 6), -1);
  EXPECT_EQ(qrn::find_text(t, "bc", -5), 1);  // a negative start counts as 0
  EXPECT_EQ(qrn::find_text(t, "", 0), -1);
  EXPECT_EQ(qrn::find_text_last(t, "bc", -1), 4);
  EXPECT_EQ(qrn::find_text_last(t, "bc", 3), 1);
  EXPECT_EQ(qrn::find_text_last(t, "", -1), -1);
  EXPECT_EQ(qrn::find_text_last("aaaa", "aa", -1), 2);  // overlapping occurrences count
  EXPECT_EQ(qrn::search_bytes("abc", 3, nullptr, 2), -1);
  EXPECT_EQ(qrn::search_bytes(nullptr, 0, "a", 1), -1);
}

TEST(TextCommands, HorspoolAgreesWithAPlainScan) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6000; ++round) {
    int alphabet = 1 + round % 3;
    std::string hay = random_text(rng, rng() % 80, 'a', alphabet);
    std::string needle = random_text(rng, 1 + rng() % 12, 'a', alphabet);
    int32_t start = static_cast<int32_t>(rng() % 64) - 2;
    size_t expected = hay.find(needle, static_cast<size_t>(std::max(0, start)));
    int32_t want = (start >= static_cast<int32_t>(hay.size()) || expected == std::string::npos)
                       ? -1
                       : static_cast<int32_t>(expected);
    ASSERT_EQ(qrn::find_text(bytes(hay), bytes(needle), start), want) << hay << " / " << needle;
    size_t last = hay.rfind(needle, static_cast<size_t>(start < 0 ? hay.size() : start));
    ASSERT_EQ(qrn::find_text_last(bytes(hay), bytes(needle), start),
              last == std::string::npos ? -1 : static_cast<int32_t>(last))
        << hay << " / " << needle << " @" << start;
  }
  // Bytes above 127 index the skip table as unsigned values.
  std::string hay = "\xff\xfe\x80\x7f\xff\xfe\x80";
  EXPECT_EQ(qrn::find_text(bytes(hay), bytes("\xfe\x80"), 2), 5);
}

TEST(TextCommands, ReplaceScansLeftToRightAndNeverRescansTheInsertion) {
  EXPECT_EQ(str(qrn::replace_text("a-b-c", "-", "/")), "a/b/c");
  EXPECT_EQ(str(qrn::replace_text("aaaa", "aa", "a")), "aa");
  EXPECT_EQ(str(qrn::replace_text("abab", "ab", "abc")), "abcabc");
  EXPECT_EQ(str(qrn::replace_text("xyz", "", "q")), "xyz");
  EXPECT_EQ(str(qrn::replace_text("abc", "abc", "")), "");

  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    std::string text = random_text(rng, rng() % 40, 'a', 3);
    std::string old_text = random_text(rng, 1 + rng() % 3, 'a', 3);
    std::string new_text = random_text(rng, rng() % 5, 'a', 3);
    ASSERT_EQ(str(qrn::replace_text(bytes(text), bytes(old_text), bytes(new_text))),
              replace_by_rebuilding(text, old_text, new_text))
        << text << " / " << old_text << " / " << new_text;
  }
}

TEST(TextCommands, TrimmingAndCase) {
  EXPECT_EQ(str(qrn::trim_right_text("ab  ", " ")), "ab");
  EXPECT_EQ(str(qrn::trim_left_text("   ", " ")), "");
  EXPECT_EQ(str(qrn::trim_left_text(" a", "")), " a");
  EXPECT_EQ(str(qrn::trim_left_text("\t x y \t", " \t")), "x y \t");
  EXPECT_EQ(str(qrn::trim_right_text("\xE9\xE9x\xE9", "\xE9")), "\xE9\xE9x");

  RtString mixed = "Hello, World! \xE9\xC9 [az]{AZ}@`";
  EXPECT_EQ(str(qrn::upper_text(mixed)), "HELLO, WORLD! \xE9\xC9 [AZ]{AZ}@`");
  EXPECT_EQ(str(qrn::lower_text(mixed)), "hello, world! \xE9\xC9 [az]{az}@`");
  EXPECT_EQ(str(mixed), "Hello, World! \xE9\xC9 [az]{AZ}@`");  // argument unchanged
}

TEST(TextCommands, HexadecimalForms) {
  EXPECT_EQ(str(qrn::hex_text(255)), "ff");
  EXPECT_EQ(str(qrn::hex_text(0)), "0");
  EXPECT_EQ(str(qrn::hex_text(-1)), "ffffffff");
  const unsigned char data[] = {0x01, 0xAB, 0x00, 0xF0};
  EXPECT_EQ(str(qrn::bytes_to_hex(data, 2, 1)), "01AB");
  EXPECT_EQ(str(qrn::bytes_to_hex(data, 4, 0)), "01ab00f0");
  EXPECT_EQ(str(qrn::bytes_to_hex(data, -3, 0)), "");
  EXPECT_EQ(qrn::hex_pair_value('f', 'F'), 255);
  EXPECT_EQ(qrn::hex_pair_value('g', '1'), 'g' * 16 + 1);  // not a digit: its own code
}

TEST(TextCommands, UrlForms) {
  EXPECT_EQ(str(qrn::url_encode("a b")), "a%20b");
  EXPECT_EQ(str(qrn::url_encode("Az09-._~+")), "Az09%2d%2e%5f%7e%2b");
  EXPECT_EQ(str(qrn::url_encode("\xE9\xA0")), "%c3%a9%c2%a0");
  EXPECT_EQ(str(qrn::url_decode("a%20b+c")), "a b c");
  EXPECT_EQ(str(qrn::url_decode("%zz")), "z");
  EXPECT_EQ(str(qrn::url_decode("%c3%a9")), "\xE9");
  EXPECT_EQ(str(qrn::url_decode("%C3%A9%4a")), "\xE9J");
  // A "%" near the end drops itself and at most the byte after it.
  EXPECT_EQ(str(qrn::url_decode("ab%")), "ab");
  EXPECT_EQ(str(qrn::url_decode("ab%4")), "ab");
  EXPECT_EQ(str(qrn::url_decode("ab%4x")), "abx");

  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(str(qrn::url_decode(qrn::url_encode(bytes(all)))), all);
}

TEST(TextCommands, Utf8FoldsToSingleBytes) {
  auto fold = [](const std::string& s) {
    RtString t = bytes(s);
    qrn::utf8_to_8bit(t);
    EXPECT_EQ(t.data[t.length], 0);
    return str(t);
  };
  EXPECT_EQ(fold("caf\xC3\xA9!"), "caf\xE9!");
  EXPECT_EQ(fold("\xE2\x82\xAC"), "\xAC");  // three bytes: built from the second and third
  EXPECT_EQ(fold("\xF0\x9F\x98\x80"), "\xB0");  // four bytes: from the third and fourth, + 0xB0
  EXPECT_EQ(fold("a\x80\xBF\xF8\xFFz"), "az");  // stray continuation and invalid bytes dropped
  EXPECT_EQ(fold("ab\xC3"), "ab");              // lead byte without its follower
  EXPECT_EQ(fold("\xE2\x82"), "");             // cut-short lead dropped, then a stray byte
  EXPECT_EQ(fold("\xF0\x9F\x98"), "");
}

TEST(TextCommands, WidthFormattingProducesTheWholeResult) {
  EXPECT_EQ(str(qrn::format_fixed(8, 2, 3.14159)), "    3.14");
  EXPECT_EQ(str(qrn::format_fixed(8.9, 2.7, 3.14159)), "    3.14");  // truncated toward zero
  EXPECT_EQ(str(qrn::format_fixed(-8, 1, 2.25)), "2.2     ");
  EXPECT_EQ(str(qrn::format_fixed(0, -1, 1.5)), "1.500000");
  EXPECT_EQ(str(qrn::format_int(4, 12345)), "12345");
  EXPECT_EQ(str(qrn::format_int(-4, -7)), "-7  ");
  EXPECT_EQ(str(qrn::format_int64(22, INT64_MIN)), "  -9223372036854775808");

  RtString wide = qrn::format_int(300, 42);
  EXPECT_EQ(wide.length, 300u);
  EXPECT_EQ(str(wide), std::string(298, ' ') + "42");
  RtString precise = qrn::format_fixed(1, 150, 1.0);
  EXPECT_EQ(str(precise), "1." + std::string(150, '0'));
  RtString big = qrn::format_fixed(0, 0, 1e300);
  EXPECT_EQ(big.length, 301u);
  EXPECT_EQ(big.data[0], '1');
  EXPECT_EQ(str(qrn::format_int(std::nan(""), 1)), "1");
}

TEST(TextCommands, WideStrings) {
  std::string long_text(5000, 'x');
  EXPECT_EQ(std::wstring(qrn::to_wide_text(bytes(long_text))), std::wstring(5000, L'x'));
  EXPECT_EQ(std::wstring(qrn::to_wide_text("hello")), L"hello");  // the buffer is reused
  EXPECT_EQ(str(qrn::from_wide_text(L"round trip")), "round trip");
  EXPECT_EQ(str(qrn::from_wide_text(nullptr)), "");
}
