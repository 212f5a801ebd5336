// The planner against the literal reference search: every point of every path on thousands
// of random maps (2 x 2 to 64 x 64; walls, blocked cells, ties, wide and narrow costs) for
// five weights, the double-path and integer-map forms against the first form, and the
// open list's entry renumbering, which must not change any order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "path/literal_planner.h"
#include "path/planner_internal.h"
#include "quarnel.h"

using qrn::RtArray;

namespace {

enum class Kind { kUniform, kFewCosts, kSmooth, kWideRange, kMaze, kIntegers, kCount };

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::kUniform: return "Uniform";
    case Kind::kFewCosts: return "FewCosts";
    case Kind::kSmooth: return "Smooth";
    case Kind::kWideRange: return "WideRange";
    case Kind::kMaze: return "Maze";
    case Kind::kIntegers: return "Integers";
    default: return "?";
  }
}

struct Map {
  int32_t width = 0, height = 0;
  std::vector<double> cells;
  int32_t sx = 0, sy = 0, gx = 0, gy = 0;
  double& at(int32_t x, int32_t y) { return cells[static_cast<size_t>(y) * width + x]; }
};

// Straight walls with a gap or two, as rooms and corridors have.
void add_walls(Map& m, std::mt19937& rng, int count) {
  for (int i = 0; i < count; ++i) {
    bool across = rng() & 1;
    int32_t length = across ? m.width : m.height;
    int32_t line = static_cast<int32_t>(rng() % (across ? m.height : m.width));
    int32_t gap = static_cast<int32_t>(rng() % length), gap2 = static_cast<int32_t>(rng() % length);
    int32_t gap3 = static_cast<int32_t>(rng() % length);
    for (int32_t t = 0; t < length; ++t) {
      if (t == gap || t == gap2 || (t == gap3 && (rng() & 1))) continue;
      (across ? m.at(t, line) : m.at(line, t)) = (rng() & 3) ? 0 : -5;
    }
  }
}

Map random_map(Kind kind, std::mt19937& rng) {
  Map m;
  std::uniform_int_distribution<int32_t> side(2, 64);
  m.width = side(rng);
  m.height = side(rng);
  if (rng() % 16 == 0) (rng() & 1 ? m.width : m.height) = 1 + static_cast<int32_t>(rng() % 2);
  if (m.width * m.height < 2) m.width = 2;
  m.cells.assign(static_cast<size_t>(m.width) * m.height, 1);
  std::uniform_real_distribution<double> unit(0, 1);
  const bool walls = kind == Kind::kMaze || kind == Kind::kFewCosts;
  const double blocked = unit(rng) * (walls ? 0.15 : 0.35);
  for (int32_t y = 0; y < m.height; ++y) {
    for (int32_t x = 0; x < m.width; ++x) {
      double& c = m.at(x, y);
      switch (kind) {
        case Kind::kUniform: c = 7; break;
        case Kind::kFewCosts: c = 1 + rng() % 3; break;
        case Kind::kSmooth: c = 1 + std::sin(x * 0.3) * std::cos(y * 0.2) * 0.5 + unit(rng) * 1e-3; break;
        case Kind::kWideRange: c = std::exp(unit(rng) * 40 - 20); break;
        case Kind::kMaze: c = 1 + (rng() % 8 == 0 ? 9 : 0); break;
        case Kind::kIntegers: c = static_cast<double>(rng() % 200) - 20; break;
        default: break;
      }
      if (unit(rng) < blocked) c = (rng() & 1) ? 0 : -unit(rng) * 100;
    }
  }
  if (walls) add_walls(m, rng, 1 + static_cast<int>(rng() % 6));
  if (kind == Kind::kWideRange && (rng() & 3) == 0) m.at(0, 0) = 1e30;  // one value dwarfs the rest
  std::uniform_int_distribution<int32_t> px(0, m.width - 1), py(0, m.height - 1);
  m.sx = px(rng), m.sy = py(rng), m.gx = px(rng), m.gy = py(rng);
  if (rng() % 4 == 0) {  // far corners, the longest searches
    m.sx = 0, m.sy = 0, m.gx = m.width - 1, m.gy = m.height - 1;
  }
  if (rng() % 3 != 0) {  // mostly an open goal, so most searches find a path
    if (m.at(m.gx, m.gy) <= 0) m.at(m.gx, m.gy) = 1;
  }
  return m;
}

RtArray<double> to_array(const Map& m) {
  RtArray<double> a;
  qrn::array_dim(a, m.width, m.height);
  for (size_t i = 0; i < m.cells.size(); ++i) a.data[i] = m.cells[i];
  return a;
}

std::string describe(const Map& m, double weight) {
  return std::to_string(m.width) + "x" + std::to_string(m.height) + " from (" +
         std::to_string(m.sx) + "," + std::to_string(m.sy) + ") to (" + std::to_string(m.gx) +
         "," + std::to_string(m.gy) + ") weight " + std::to_string(weight);
}

// The reference's path must itself be a path: start first, goal last, orthogonal steps onto
// passable cells. This keeps a broken reference from agreeing with a broken planner.
void expect_valid(const Map& m, const literal::Result& r) {
  if (r.xs.empty()) return;
  ASSERT_EQ(r.xs.front(), m.sx);
  ASSERT_EQ(r.ys.front(), m.sy);
  ASSERT_EQ(r.xs.back(), m.gx);
  ASSERT_EQ(r.ys.back(), m.gy);
  for (size_t i = 1; i < r.xs.size(); ++i) {
    ASSERT_EQ(std::abs(r.xs[i] - r.xs[i - 1]) + std::abs(r.ys[i] - r.ys[i - 1]), 1);
    ASSERT_GT(m.cells[static_cast<size_t>(r.ys[i]) * m.width + r.xs[i]], 0);
  }
}

const double kWeights[] = {0, 0.25, 0.5, 0.75, 1};
constexpr int kMapsPerKind = 450;  // six kinds: 2700 maps, five weights each

class LiteralMatch : public ::testing::TestWithParam<Kind> {};

TEST_P(LiteralMatch, EveryPointOfEveryPathAgrees) {
  std::mt19937 rng(1234u + static_cast<unsigned>(GetParam()) * 7919u);
  int found = 0, searches = 0;
  for (int i = 0; i < kMapsPerKind; ++i) {
    Map m = random_map(GetParam(), rng);
    RtArray<double> map = to_array(m);
    for (double weight : kWeights) {
      SCOPED_TRACE(describe(m, weight));
      literal::Result want = literal::find_path(m.cells.data(), m.width, m.height, weight, m.sx,
                                                m.sy, m.gx, m.gy);
      expect_valid(m, want);
      RtArray<int32_t> path;
      int32_t n = qrn::find_path(map, path, weight, m.sx, m.sy, m.gx, m.gy);
      ++searches;
      ASSERT_EQ(n, static_cast<int32_t>(want.xs.size()));
      if (n == 0) continue;
      ++found;
      ASSERT_EQ(path.dim_i, n);
      ASSERT_EQ(path.dim_j, 2);
      for (int32_t p = 0; p < n; ++p) {
        ASSERT_EQ(path(p, 0), want.xs[p]) << "point " << p;
        ASSERT_EQ(path(p, 1), want.ys[p]) << "point " << p;
      }

      // The double-path form holds the same numbers.
      RtArray<double> dpath;
      ASSERT_EQ(qrn::find_path(map, dpath, weight, m.sx, m.sy, m.gx, m.gy), n);
      ASSERT_EQ(dpath.dim_i, n);
      for (int32_t p = 0; p < n * 2; ++p) ASSERT_EQ(dpath.data[p], path.data[p]);
    }
  }
  // The maps must mostly have paths, or the comparison says little.
  EXPECT_GT(found, searches / 2);
}

// An integer map gives the same paths as the same numbers in a double map, including values
// near the 32-bit limits, which become floats the same way either route.
TEST_P(LiteralMatch, IntegerMapsAgreeWithTheSameValuesAsDoubles) {
  std::mt19937 rng(99u + static_cast<unsigned>(GetParam()));
  for (int i = 0; i < kMapsPerKind / 3; ++i) {
    Map m = random_map(GetParam(), rng);
    RtArray<int32_t> imap;
    qrn::array_dim(imap, m.width, m.height);
    const bool huge = i % 5 == 0;
    for (size_t c = 0; c < m.cells.size(); ++c) {
      double v = m.cells[c];
      imap.data[c] = huge ? (v > 0 ? INT32_MAX - static_cast<int32_t>(c % 977) * 64 : INT32_MIN)
                          : static_cast<int32_t>(std::lround(v));
      m.cells[c] = imap.data[c];
    }
    RtArray<double> dmap = to_array(m);
    for (double weight : kWeights) {
      SCOPED_TRACE(describe(m, weight));
      RtArray<int32_t> from_int, from_double;
      int32_t n = qrn::find_path(imap, from_int, weight, m.sx, m.sy, m.gx, m.gy);
      ASSERT_EQ(n, qrn::find_path(dmap, from_double, weight, m.sx, m.sy, m.gx, m.gy));
      for (int32_t p = 0; p < n * 2; ++p) ASSERT_EQ(from_int.data[p], from_double.data[p]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Maps, LiteralMatch,
                         ::testing::Values(Kind::kUniform, Kind::kFewCosts, Kind::kSmooth,
                                           Kind::kWideRange, Kind::kMaze, Kind::kIntegers),
                         [](const auto& info) { return std::string(kind_name(info.param)); });

// With a tiny entry-number limit the open list renumbers itself again and again mid-search;
// the order it keeps must stay the reference's.
TEST(LiteralMatchRenumbering, FrequentRenumberingKeepsTheOrder) {
  std::mt19937 rng(4242);
  for (int i = 0; i < 150; ++i) {
    Map m = random_map(i % 2 ? Kind::kUniform : Kind::kMaze, rng);
    for (double weight : {0.0, 0.5, 1.0}) {
      SCOPED_TRACE(describe(m, weight));
      literal::Result want = literal::find_path(m.cells.data(), m.width, m.height, weight, m.sx,
                                                m.sy, m.gx, m.gy);
      qrn::PlannerConfiguration c;
      c.width = m.width, c.height = m.height, c.map = m.cells.data();
      c.start_x = m.sx, c.start_y = m.sy, c.goal_x = m.gx, c.goal_y = m.gy;
      c.weight = static_cast<float>(weight);
      qrn::AStarPlanner planner;
      ASSERT_EQ(planner.configure(c), want.configured);
      if (!want.configured) continue;
      planner.open_list.set_entry_limit(static_cast<uint32_t>(5 + i % 40));
      planner.start_search();
      ASSERT_TRUE(planner.search());
      std::vector<int32_t> xs, ys;
      for (const qrn::Node* n = planner.result_node; n; n = planner.parent_of(n)) {
        xs.insert(xs.begin(), planner.x_of(n));
        ys.insert(ys.begin(), planner.y_of(n));
      }
      ASSERT_EQ(xs, want.xs);
      ASSERT_EQ(ys, want.ys);
      EXPECT_EQ(planner.counts.expansions, want.expansions);
      EXPECT_EQ(planner.counts.reopened, want.reopened);
    }
  }
}

}  // namespace
