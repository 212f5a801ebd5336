// Text values: storage and growth, assignment and appending (also from themselves),
// concatenation and comparison with every operand kind, and the exact number texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "quarnel.h"

using qrn::RtString;

namespace {
std::string str(const RtString& t) { return std::string(t.data, t.length); }
}  // namespace

TEST(TextStorage, EmptyTextsShareTheStaticBufferAndNeverAllocate) {
  RtString a, b;
  EXPECT_EQ(a.data, qrn::EMPTY_TEXT_BUFFER);
  EXPECT_EQ(a.data, b.data);
  EXPECT_EQ(a.capacity, 0u);
  EXPECT_EQ(a.length, 0u);
  EXPECT_STREQ(a.data, "");
  a.release();
  a.release();  // twice is harmless
  EXPECT_EQ(a.data, qrn::EMPTY_TEXT_BUFFER);
  RtString from_null(static_cast<const char*>(nullptr));
  RtString from_empty("");
  EXPECT_EQ(from_null.data, qrn::EMPTY_TEXT_BUFFER);
  EXPECT_EQ(from_empty.data, qrn::EMPTY_TEXT_BUFFER);
  EXPECT_EQ(qrn::EMPTY_TEXT_BUFFER[0], 0);
}

TEST(TextStorage, GrowthIsTheNextMultipleOf16AboveLengthPlusTerminator) {
  EXPECT_EQ(qrn::text_growth_size(15), 32u);
  EXPECT_EQ(qrn::text_growth_size(16), 32u);
  EXPECT_EQ(qrn::text_growth_size(31), 48u);
  EXPECT_EQ(qrn::text_growth_size(63), 80u);
  EXPECT_EQ(qrn::text_growth_size(14), 16u);

  RtString one;
  one.append("x");
  EXPECT_EQ(one.capacity, 16u);
  RtString sixteen;
  sixteen.append("0123456789abcdef");
  EXPECT_EQ(sixteen.capacity, 32u);

  // Appending one byte at a time allocates at most once per 16 bytes and never shrinks.
  RtString grown;
  int reallocations = 0;
  for (int i = 0; i < 1000; ++i) {
    uint32_t before = grown.capacity;
    grown.append("z");
    if (grown.capacity != before) ++reallocations;
    ASSERT_EQ(grown.data[grown.length], 0);
    ASSERT_LT(grown.length, grown.capacity);
  }
  EXPECT_LE(reallocations, 1000 / 16 + 1);
  grown.reserve(5, true);
  EXPECT_GE(grown.capacity, 1001u);
}

TEST(TextStorage, BufferHelpersKeepTheTerminatorInvariant) {
  RtString t;
  char* buffer = t.writable_buffer(20);
  std::strcpy(buffer, "filled");
  t.recount_length();
  EXPECT_EQ(str(t), "filled");
  // A buffer filled without a terminator is cut at capacity - 1.
  std::memset(t.data, 'q', t.capacity);
  t.recount_length();
  EXPECT_EQ(t.length, t.capacity - 1);
  EXPECT_EQ(t.data[t.length], 0);

  RtString cut("abcdef");
  cut.truncate_text(3);
  EXPECT_EQ(str(cut), "abc");
  cut.truncate_text(-1);
  cut.truncate_text(3);
  cut.truncate_text(10);
  EXPECT_EQ(str(cut), "abc");
  cut.truncate_text(0);
  EXPECT_EQ(cut.length, 0u);

  RtString empty;
  empty.recount_length();
  EXPECT_EQ(empty.length, 0u);
  empty.truncate_text(0);
  EXPECT_EQ(qrn::EMPTY_TEXT_BUFFER[0], 0);
}

TEST(TextAssignment, KeepsOrReplacesTheBufferAsDescribed) {
  RtString big("0123456789012345678901234567890123");  // 34 bytes: capacity 48
  ASSERT_EQ(big.capacity, 48u);
  big = RtString();
  EXPECT_EQ(big.capacity, 48u);
  EXPECT_EQ(big.length, 0u);
  EXPECT_STREQ(big.data, "");

  RtString t("0123456789012345678901234567890123");
  t = "abc";  // from C text: a fresh buffer
  EXPECT_EQ(t.capacity, 16u);
  EXPECT_EQ(str(t), "abc");

  RtString self("same");
  const char* before = self.data;
  self = self;
  EXPECT_EQ(self.data, before);
  EXPECT_EQ(str(self), "same");

  // C text pointing into the target's own bytes.
  RtString inner("hello world");
  inner = inner.data + 6;
  EXPECT_EQ(str(inner), "world");

  RtString copy(t);
  copy.append("!");
  EXPECT_EQ(str(t), "abc");  // deep copies
  EXPECT_NE(copy.data, t.data);
}

TEST(TextAppending, WorksFromItselfAndFromItsOwnBytes) {
  RtString t("abcdefghijklmno");  // 15 bytes, capacity 16: the next append must grow
  t.append(t);
  EXPECT_EQ(str(t), "abcdefghijklmnoabcdefghijklmno");
  RtString u("0123456789abcde");
  u.append(u.data + 10);  // C text inside the buffer that is about to move
  EXPECT_EQ(str(u), "0123456789abcdeabcde");
  RtString n("n");
  n.append(int32_t{-12});
  n.append(int64_t{1} << 40);
  n.append(0.5);
  n.append(0.1f);
  EXPECT_EQ(str(n), "n-1210995116277760.50.1000000015");
  n.append("");
  n.append(static_cast<const char*>(nullptr));
  n.append(RtString());
  EXPECT_EQ(str(n), "n-1210995116277760.50.1000000015");
}

TEST(TextConcatenation, NumbersBesideTextsAreNeverAdded) {
  EXPECT_EQ(str(5 + RtString("3")), "53");
  EXPECT_EQ(str(RtString("3") + 5), "35");
  EXPECT_EQ(str(RtString("") + 1.5), "1.5");
  EXPECT_EQ(str(RtString("x") + 2.5), "x2.5");
  EXPECT_EQ(str(RtString("n=") + 10000000000.0), "n=1.e+010");
  EXPECT_EQ(str(RtString("v") + 0.1f), "v0.1000000015");
  EXPECT_EQ(str(int64_t{-9} + RtString("!")), "-9!");
  EXPECT_EQ(str(RtString("a") + "b"), "ab");
  EXPECT_EQ(str("a" + RtString("b")), "ab");
  EXPECT_EQ(str(0.25f + RtString("")), "0.25");
  RtString left("L");
  RtString joined = left + left;
  EXPECT_EQ(str(left), "L");
  EXPECT_EQ(str(joined), "LL");
}

TEST(TextComparison, TextsCompareAsUnsignedBytes) {
  EXPECT_TRUE(RtString("a") < RtString("b"));
  EXPECT_TRUE(RtString("B") < "a");
  EXPECT_TRUE(RtString("ab") > "a");
  EXPECT_TRUE("" < RtString("a"));
  EXPECT_TRUE(RtString("\xe9") > "z");  // unsigned: 0xe9 sorts after ASCII
  EXPECT_TRUE(RtString("same") == "same");
  EXPECT_TRUE(RtString("same") <= RtString("same"));
  EXPECT_TRUE(RtString("same") >= "same");
  EXPECT_TRUE(RtString("x") != "y");
  for (const char* a : {"", "a", "ab", "b", "\x7f", "\x80x"}) {
    for (const char* b : {"", "a", "ab", "b", "\x7f", "\x80x"}) {
      RtString ta(a);
      EXPECT_EQ(qrn::text_equals(ta, b), ta == b) << a << " vs " << b;
    }
  }
}

TEST(TextComparison, TextsAgainstNumbersConvertTheText) {
  EXPECT_TRUE(RtString("10") == 10);
  EXPECT_TRUE(RtString(" 10abc") == 10);
  EXPECT_TRUE(RtString("abc") == 0);
  EXPECT_TRUE(RtString("1e3") == 1000.0);
  EXPECT_TRUE(RtString("1e3") != 1000);
  EXPECT_TRUE(RtString("1e3") == 1);
  EXPECT_TRUE(10 == RtString("10"));
  EXPECT_TRUE(RtString("0.1") != 0.1f);
  EXPECT_TRUE(RtString("0.1") == 0.1);
  EXPECT_TRUE(RtString("0.100000001490116119384765625") == 0.1f);
  EXPECT_TRUE(RtString("-9223372036854775808") == std::numeric_limits<int64_t>::min());
  EXPECT_TRUE(RtString("9") < 10);  // numeric, not byte order
  EXPECT_TRUE(RtString("9") > RtString("10"));
  EXPECT_TRUE(2.5 <= RtString("2.5"));
  EXPECT_TRUE(int64_t{3} >= RtString("3"));
  EXPECT_TRUE(1.0f > RtString("0.5"));
}

TEST(NumberTexts, DoublesUseTenSignificantDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1.0, "1"},
      {0.0, "0"},
      {100.0, "100"},
      {0.5, "0.5"},
      {0.1, "0.1"},
      {-2.5, "-2.5"},
      {123.456, "123.456"},
      {1.0 / 3.0, "0.3333333333"},
      {2.0 / 3.0, "0.6666666667"},
      {0.123456789012, "0.123456789"},
      {1234567890.0, "1234567890"},
      {9999999999.0, "9999999999"},
      {10000000000.0, "1.e+010"},
      {12345678901.0, "1.23456789e+010"},
      {0.05, "5.e-002"},
      {0.001, "1.e-003"},
      {1e20, "1.e+020"},
      {1e100, "1.e+100"},
      {static_cast<double>(0.1f), "0.1000000015"},
      {static_cast<double>(3.14159f), "3.141590118"},
      {9999999999.7, "10000000000"},
      {0.099999999999, "1.e-001"},
      {-0.05, "-5.e-002"},
      {1e-300, "1.e-300"},
      {-1234.5, "-1234.5"},
      {5e-324, "4.940656458e-324"},
      {-0.0, "0"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::nan(""), "nan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str(qrn::double_to_text(c.value)), c.text) << c.value;
    EXPECT_EQ(str(RtString(c.value)), c.text) << c.value;
  }
}

TEST(NumberTexts, IntegersInEveryRange) {
  EXPECT_EQ(str(qrn::int_to_text(0)), "0");
  EXPECT_EQ(str(qrn::int_to_text(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(str(qrn::int_to_text(2147483647)), "2147483647");
  EXPECT_EQ(str(qrn::int64_to_text(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(str(qrn::int64_to_text(std::numeric_limits<int64_t>::max())), "9223372036854775807");
  EXPECT_EQ(str(qrn::int64_to_text(0)), "0");
  EXPECT_EQ(str(qrn::int64_to_text_radix(255, 16)), "ff");
  EXPECT_EQ(str(qrn::int64_to_text_radix(-1, 16)), "ffffffffffffffff");
  EXPECT_EQ(str(qrn::int64_to_text_radix(5, 2)), "101");
  EXPECT_EQ(str(qrn::int64_to_text_radix(35, 36)), "z");
}

TEST(NumberTexts, ParsingStopsAtTheFirstByteThatDoesNotFit) {
  EXPECT_EQ(qrn::text_to_int64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(qrn::text_to_int64("12x"), 12);
  EXPECT_EQ(qrn::text_to_int64(" +7"), 7);
  EXPECT_EQ(qrn::text_to_int64("\t\n\v\f\r-3"), -3);
  EXPECT_EQ(qrn::text_to_int64(""), 0);
  EXPECT_EQ(qrn::text_to_int64("x1"), 0);
  EXPECT_EQ(qrn::text_to_int64(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(qrn::text_to_int64("18446744073709551617"), 1);  // wraps

  EXPECT_EQ(qrn::text_to_int(" -42z"), -42);
  EXPECT_EQ(qrn::text_to_int("0x10"), 0);
  EXPECT_EQ(qrn::text_to_int("99999999999"), 2147483647);  // saturates
  EXPECT_EQ(qrn::text_to_int("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(qrn::text_to_int(static_cast<const char*>(nullptr)), 0);

  EXPECT_DOUBLE_EQ(qrn::text_to_double("  -1.5e2xyz"), -150.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double(".5"), 0.5);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("5."), 5.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("1e"), 1.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("2E+"), 2.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("0x10"), 0.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("inf"), 0.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("."), 0.0);
  EXPECT_DOUBLE_EQ(qrn::text_to_double("-"), 0.0);
  EXPECT_EQ(qrn::text_to_double(std::string(5000, '1').c_str()), HUGE_VAL);  // no overrun
  EXPECT_DOUBLE_EQ(qrn::text_to_double(("0." + std::string(3000, '0') + "5").c_str()), 0.0);
}

TEST(NumberTexts, DoubleTextsReadBackToTheSameTenDigits) {
  for (double v : {1.0 / 7.0, 12345.678, -0.75, 6.02214076e23, 1.5e-7}) {
    RtString text = qrn::double_to_text(v);
    EXPECT_NEAR(qrn::text_to_double(text), v, std::fabs(v) * 1e-9) << str(text);
  }
}
