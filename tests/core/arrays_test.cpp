// Arrays and data tables: storage and shape rules, re-shaping, pushing, sorting (including an
// adversary that drives quicksort to its worst case, on a small stack), splitting, the data
// reads, and the fatal paths with their reports, watched in a child process.
#include <gtest/gtest.h>

#include <pthread.h>
#include <strings.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/text_test_helpers.h"
#include "platform/fake_platform.h"
#include "quarnel.h"
#include "support/child_process.h"

using qrn::RtArray;
using qrn::RtString;

namespace {

using qrn::test::str;

std::vector<std::string> texts(const RtArray<RtString>& a) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < a.dim_i; ++i) out.push_back(str(a.data[i]));
  return out;
}

// Runs body on a thread with a small stack; a deep recursion there crashes the process.
void run_on_small_stack(void (*body)(), size_t stack_bytes) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, stack_bytes);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, [](void* f) -> void* {
    reinterpret_cast<void (*)()>(f)();
    return nullptr;
  }, reinterpret_cast<void*>(body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// McIlroy's adversary: values are decided only when the sort compares them, always so that
// the pivot candidate comes out as small as possible. Elements are texts holding an index.
std::vector<int> g_value;
int g_gas = 0, g_solid = 0, g_candidate = 0;
long g_comparisons = 0;
int adversary(const char* a, const char* b) {
  ++g_comparisons;
  int x = std::atoi(a), y = std::atoi(b);
  if (g_value[x] == g_gas && g_value[y] == g_gas) g_value[x == g_candidate ? x : y] = g_solid++;
  if (g_value[x] == g_gas) g_candidate = x;
  else if (g_value[y] == g_gas) g_candidate = y;
  return g_value[x] - g_value[y];
}

constexpr int kAdversaryCount = 3000;
bool g_adversary_sorted = false;
void sort_against_the_adversary() {
  std::vector<RtString> items;
  for (int i = 0; i < kAdversaryCount; ++i) items.emplace_back(RtString(static_cast<int32_t>(i)));
  g_value.assign(kAdversaryCount, kAdversaryCount);
  g_gas = kAdversaryCount;
  g_solid = g_candidate = 0;
  qrn::array_sort(&items.front(), &items.back(), adversary);
  g_adversary_sorted = true;
  for (int i = 1; i < kAdversaryCount; ++i) {
    if (g_value[std::atoi(items[i - 1].data)] > g_value[std::atoi(items[i].data)]) g_adversary_sorted = false;
  }
}

}  // namespace

TEST(Arrays, DimAllocatesByTheCapacityRules) {
  RtArray<int32_t> ints;
  qrn::array_dim(ints, 5);
  EXPECT_EQ(ints.capacity, 8);
  EXPECT_EQ(ints.dimensions, 1);
  RtArray<int32_t> eight;
  qrn::array_dim(eight, 8);
  EXPECT_EQ(eight.capacity, 16);
  qrn::array_dim(ints, 8);  // 8 elements fit the storage already there
  EXPECT_EQ(ints.capacity, 8);
  qrn::array_dim(ints, 0);
  EXPECT_EQ(ints.capacity, 8);  // numbers always hold storage
  EXPECT_NE(ints.data, nullptr);
  EXPECT_EQ(ints.dimensions, 0);

  RtArray<uint8_t> bytes;
  qrn::array_dim(bytes, 0);
  EXPECT_EQ(bytes.data, nullptr);
  EXPECT_EQ(bytes.capacity, 0);
  qrn::array_dim(bytes, 64);
  EXPECT_EQ(bytes.capacity, 128);
  RtArray<RtString> words;
  qrn::array_dim(words, 2, 3);
  EXPECT_EQ(words.capacity, 64);
  EXPECT_EQ(words(1, 2).length, 0u);

  // Storage is reused while it is large enough, and every element is reset.
  RtArray<double> reals;
  qrn::array_dim(reals, 6);
  reals(3) = 2.5;
  double* storage = reals.data;
  qrn::array_dim(reals, 7);
  EXPECT_EQ(reals.data, storage);
  EXPECT_EQ(reals(3), 0.0);
  words(0, 0) = "keep?";
  qrn::array_dim(words, 2, 2);
  EXPECT_EQ(str(words(0, 0)), "");
}

TEST(Arrays, ShapeStridesAndBounds) {
  RtArray<int32_t> a;
  qrn::array_dim(a, 3, 2);
  a(2, 1) = 77;
  EXPECT_EQ(a.data[5], 77);
  EXPECT_EQ(qrn::array_bounds(a, 1), 2);
  EXPECT_EQ(qrn::array_bounds(a, 4), 0);

  RtArray<int32_t> four;
  qrn::array_dim(four, 2, 3, 4, 5);
  EXPECT_EQ(four.count, 120);
  four(1, 2, 3, 4) = 9;
  EXPECT_EQ(four.data[119], 9);  // the last element

  // One index: negative counts from the end.
  RtArray<int32_t> list;
  int32_t values[] = {10, 20, 30};
  qrn::array_fill_list(list, 3, values);
  EXPECT_EQ(list(-1), 30);
  EXPECT_EQ(list(-3), 10);
}

// A non-negative index into a dimension of size 0 is accepted and adds nothing to the
// element's place, so it never reaches past the elements the array has.
TEST(Arrays, IndexesIntoDimensionsOfSizeZeroStayOnTheExistingElements) {
  RtArray<int32_t> a;
  qrn::array_dim(a, 5);
  a(3) = 33;
  EXPECT_EQ(a(0, 1), 0);
  EXPECT_EQ(a(3, 1), 33);
  EXPECT_EQ(a(3, 1000000, 7, INT32_MAX), 33);
  a(4, 2) = 44;
  EXPECT_EQ(a(4), 44);

  // A missing middle dimension: the count makes room for one step of it, the place does not move.
  RtArray<RtString> texts;
  qrn::array_dim(texts, 2, 0, 3);
  EXPECT_EQ(texts.count, 6);
  texts(1, 9, 2) = "last";
  EXPECT_EQ(str(texts(1, 0, 0)), "last");
  for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(&texts(1, 0, k) - texts.data, 1);
}

TEST(Arrays, RedimKeepsWhatFitsBothShapes) {
  RtArray<int32_t> a;
  qrn::array_dim(a, 3, 3);
  for (int32_t j = 0; j < 3; ++j)
    for (int32_t i = 0; i < 3; ++i) a(i, j) = 10 * i + j + 1;
  qrn::array_redim(a, 2, 2);
  EXPECT_EQ(a.count, 4);
  EXPECT_EQ(a(0, 0), 1);
  EXPECT_EQ(a(1, 0), 11);
  EXPECT_EQ(a(0, 1), 2);
  EXPECT_EQ(a(1, 1), 12);
  qrn::array_redim(a, 4, 3);
  EXPECT_EQ(a(1, 1), 12);
  EXPECT_EQ(a(3, 2), 0);
  qrn::array_redim(a, 4);  // down to one dimension: the first row stays
  EXPECT_EQ(a(1), 11);
  EXPECT_EQ(a(2), 0);

  // Numbers keep all four dimensions; texts only the first two.
  RtArray<double> reals;
  RtArray<RtString> words;
  qrn::array_dim(reals, 2, 2, 2);
  qrn::array_dim(words, 2, 2, 2);
  reals(1, 1, 0) = 1.5;
  reals(1, 1, 1) = 2.5;
  words(1, 1, 0) = "kept";
  words(1, 1, 1) = "lost";
  qrn::array_redim(reals, 3, 3, 3);
  qrn::array_redim(words, 3, 3, 3);
  EXPECT_EQ(reals(1, 1, 0), 1.5);
  EXPECT_EQ(reals(1, 1, 1), 2.5);
  EXPECT_EQ(str(words(1, 1, 0)), "kept");
  EXPECT_EQ(str(words(1, 1, 1)), "");

  // Emptying keeps the storage.
  RtString* storage = words.data;
  qrn::array_redim(words, 0);
  EXPECT_EQ(words.data, storage);
  EXPECT_EQ(words.dim_i + words.dim_j + words.dim_k + words.count + words.dimensions, 0);
}

TEST(Arrays, PushCopyAndFill) {
  RtArray<RtString> a;
  qrn::array_push(a, RtString("first"));
  EXPECT_EQ(a.dim_i, 1);
  EXPECT_EQ(a.dimensions, 1);
  EXPECT_EQ(str(a(0)), "first");
  for (int32_t i = 1; i < 200; ++i) qrn::array_push(a, RtString(i));
  EXPECT_EQ(a.count, 200);
  EXPECT_EQ(a.stride_j, 200);
  EXPECT_EQ(str(a(199)), "199");
  EXPECT_EQ(str(a(0)), "first");
  qrn::array_push(a, a(0));  // an element of the array itself
  EXPECT_EQ(str(a(-1)), "first");

  RtArray<RtString> copy(a);
  copy(0) = "changed";
  EXPECT_EQ(str(a(0)), "first");
  EXPECT_EQ(copy.dim_i, 201);

  RtArray<RtString> listed;
  const char* names[] = {"x", "y"};
  qrn::array_fill_list(listed, 2, names);
  EXPECT_EQ(texts(listed), (std::vector<std::string>{"x", "y"}));
}

TEST(Arrays, SortOrdersAndToleratesHardInputs) {
  RtArray<RtString> a;
  const char* names[] = {"b", "B", "a", "ab", "", "A", "\xE9"};
  qrn::array_fill_list(a, 7, names);
  qrn::array_sort(&a(0), &a(-1));
  EXPECT_EQ(texts(a), (std::vector<std::string>{"", "A", "B", "a", "ab", "b", "\xE9"}));
  qrn::array_sort(&a(0), &a(-1), strcasecmp);
  std::vector<std::string> sorted = texts(a);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](const std::string& x, const std::string& y) {
    return strcasecmp(x.c_str(), y.c_str()) < 0;
  }));
  qrn::array_sort(&a(2), &a(1));  // an empty range does nothing
  qrn::array_sort(nullptr, nullptr);

  // Random, sorted, reversed and all-equal inputs of 100000 texts, against std::sort.
  std::mt19937 rng(3);
  const int32_t n = 100000;
  for (int shape = 0; shape < 4; ++shape) {
    std::vector<std::string> expected(n);
    for (int32_t i = 0; i < n; ++i) {
      int32_t v = shape == 0 ? static_cast<int32_t>(rng() % 1000) : shape == 1 ? i : shape == 2 ? n - i : 7;
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%08d", v);
      expected[i] = buffer;
    }
    qrn::array_dim(a, n);
    for (int32_t i = 0; i < n; ++i) a(i) = expected[i].c_str();
    qrn::array_sort(&a(0), &a(-1));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(texts(a), expected) << "shape " << shape;
  }
}

TEST(Arrays, WorstCaseSortKeepsTheStackSmall) {
  // The adversary makes every partition as lopsided as it can; recursing into the larger side
  // would need thousands of frames, more than this 64 KB stack holds.
  run_on_small_stack(sort_against_the_adversary, 64 * 1024);
  EXPECT_TRUE(g_adversary_sorted);
  EXPECT_GT(g_comparisons, 100000);  // the adversary did force a slow sort
}

TEST(Arrays, SplitText) {
  RtArray<RtString> parts;
  EXPECT_EQ(qrn::split_text("a,,b", parts, ",", 0), 3);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(qrn::split_text("a,,b", parts, ",", 1), 2);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(qrn::split_text(",a,", parts, ",", 0), 2);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"", "a"}));
  EXPECT_EQ(qrn::split_text("  one two\tthree  ", parts, " \t", 1), 3);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(qrn::split_text("", parts, ",", 0), 0);
  EXPECT_EQ(qrn::split_text(",,,", parts, ",", 1), 0);
  EXPECT_EQ(qrn::split_text("abc", parts, "", 0), 1);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"abc"}));

  // The text may be an element of the target; a two-dimensional target is re-shaped.
  qrn::array_dim(parts, 2, 2);
  parts(1, 1) = "x;y;z";
  EXPECT_EQ(qrn::split_text(parts(1, 1), parts, ";", 0), 3);
  EXPECT_EQ(texts(parts), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(parts.dim_j, 0);
}

TEST(Arrays, BoundsReportGoesToTheDebuggerAndStandardError) {
  qrn::FakePlatformScope fake;
  fake->debugger = true;
  RtArray<int32_t> a;
  qrn::array_dim(a, 10, 5);
  qrn::report_bounds_error(a, 12, 3, 0, 0);
  EXPECT_EQ(fake->stderr_text, "bounds: [  10][   5]\naccess: [  12][   3]\n");
  EXPECT_EQ(fake->debugger_text, "TXbounds: [  10][   5]\nTXaccess: [  12][   3]\n");
}

TEST(Arrays, DataTablesReadItemByItem) {
  qrn::reset_runtime_state();
  const qrn::DataItem items[] = {{2.9, nullptr}, {2.9, nullptr}, {-2.9, nullptr}, {0, "42 apples"},
                                 {0, "1e3"},     {1e10, nullptr}, {5e9, nullptr}};
  qrn::DataTable table{items, 7, 4};
  qrn::set_data_table(table);
  EXPECT_EQ(table.position, 0);
  int32_t whole = 0;
  double real = 0;
  RtString text;
  qrn::read_data_int(whole);
  EXPECT_EQ(whole, 2);
  qrn::read_data_text(text);
  EXPECT_EQ(str(text), "2.9");
  qrn::read_data_int(whole);
  EXPECT_EQ(whole, -2);
  qrn::read_data_int(whole);
  EXPECT_EQ(whole, 42);
  qrn::read_data_double(real);
  EXPECT_EQ(real, 1000.0);
  qrn::read_data_text(text);
  EXPECT_EQ(str(text), "1.e+010");
  qrn::read_data_int(whole);
  EXPECT_EQ(whole, INT32_MAX);  // out of range: the nearest 32-bit value
  EXPECT_EQ(table.position, 7);
  qrn::set_data_table(table);
  qrn::read_data_double(real);
  EXPECT_EQ(real, 2.9);
}

TEST(ArraysFatal, FailedAccessReportsAndEndsWithError9) {
  auto past_end = qrn::test::run_in_child([] {
    RtArray<int32_t> a;
    qrn::array_dim(a, 5);
    a(5) = 1;
  });
  EXPECT_TRUE(past_end.exited);
  EXPECT_EQ(past_end.exit_code, 0);
  EXPECT_EQ(past_end.out, "error: 9\nexit\n");
  EXPECT_EQ(past_end.err, "bounds: [   5]\naccess: [   5]\n");

  auto two_dims = qrn::test::run_in_child([] {
    RtArray<double> a;
    qrn::array_dim(a, 10, 5);
    a(12, 3) = 1;
  });
  EXPECT_EQ(two_dims.out, "error: 9\nexit\n");
  EXPECT_EQ(two_dims.err, "bounds: [  10][   5]\naccess: [  12][   3]\n");

  auto before_start = qrn::test::run_in_child([] {
    RtArray<RtString> a;
    qrn::array_dim(a, 3);
    a(-4) = "x";
  });
  EXPECT_EQ(before_start.out, "error: 9\nexit\n");
  EXPECT_EQ(before_start.err, "bounds: [   3]\naccess: [  -4]\n");

  auto no_storage = qrn::test::run_in_child([] {
    RtArray<uint8_t> a;
    a(0) = 1;
  });
  EXPECT_EQ(no_storage.out, "error: 9\nexit\n");
  EXPECT_EQ(no_storage.err, "bounds: [   0]\naccess: [   0]\n");

  // A dimension of size 0 still refuses a negative index.
  auto missing_dimension = qrn::test::run_in_child([] {
    RtArray<int32_t> a;
    qrn::array_dim(a, 4);
    a(3, 7) = 1;
    a(3, -1) = 1;
  });
  EXPECT_EQ(missing_dimension.out, "error: 9\nexit\n");
  EXPECT_EQ(missing_dimension.err, "bounds: [   4]\naccess: [   3]\n");
}

TEST(ArraysFatal, PushOnSeveralDimensionsAndReadingPastTheData) {
  auto push = qrn::test::run_in_child([] {
    RtArray<RtString> a;
    qrn::array_dim(a, 2, 2);
    qrn::array_push(a, RtString("x"));
  });
  EXPECT_TRUE(push.exited);
  EXPECT_EQ(push.exit_code, 0);
  EXPECT_EQ(push.out, "error: 8\nexit\n");

  auto past_end = qrn::test::run_in_child([] {
    static const qrn::DataItem items[] = {{1, nullptr}};
    static qrn::DataTable table{items, 1, 0};
    qrn::set_data_table(table);
    int32_t v = 0;
    qrn::read_data_int(v);
    qrn::print_stdout(RtString("read ") + v + "\n");
    qrn::read_data_int(v);
  });
  EXPECT_EQ(past_end.exit_code, 0);
  EXPECT_EQ(past_end.out, "read 1\nerror: 14\nexit\n");

  auto no_table = qrn::test::run_in_child([] {
    qrn::g_runtime.data_table = nullptr;
    RtString t;
    qrn::read_data_text(t);
  });
  EXPECT_EQ(no_table.out, "error: 14\nexit\n");
}
