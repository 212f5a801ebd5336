// find_path and the planner: small maps with known answers, tie-breaking, blocked cells,
// weight clamping, the cost grid's scaling and its odd values, the configuration limits and
// what each form leaves in its path array, aliasing of map and path, planner reuse, a large
// map, and a map too large for the memory (in a child process with a small address space).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <fstream>
#include <limits>
#include <utility>
#include <vector>

#include "path/planner_internal.h"
#include "platform/fake_memory.h"
#include "quarnel.h"
#include "support/child_process.h"

using qrn::find_path;
using qrn::RtArray;

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;

RtArray<double> map_of(int32_t width, int32_t height, double value) {
  RtArray<double> map;
  qrn::array_dim(map, width, height);
  for (int32_t i = 0; i < map.count; ++i) map.data[i] = value;
  return map;
}

template <typename T>
Points points(const RtArray<T>& path) {
  Points out;
  for (int32_t i = 0; i < path.dim_i; ++i) {
    out.emplace_back(static_cast<int32_t>(path(i, 0)), static_cast<int32_t>(path(i, 1)));
  }
  return out;
}

Points path_of(const RtArray<double>& map, double weight, int32_t sx, int32_t sy, int32_t gx,
               int32_t gy) {
  RtArray<int32_t> path;
  int32_t n = find_path(map, path, weight, sx, sy, gx, gy);
  EXPECT_EQ(n, path.dim_i);
  return points(path);
}

// A path array holding something recognisable, to see whether a call touched it.
RtArray<int32_t> marked_path() {
  RtArray<int32_t> path;
  qrn::array_dim(path, 3, 5);
  path(2, 4) = 77;
  return path;
}

void expect_marked(const RtArray<int32_t>& path) {
  EXPECT_EQ(path.dim_i, 3);
  EXPECT_EQ(path.dim_j, 5);
  EXPECT_EQ(path(2, 4), 77);
}

TEST(FindPath, SmallMapsWithKnownAnswers) {
  EXPECT_EQ(path_of(map_of(3, 1, 1), 0.5, 0, 0, 2, 0), (Points{{0, 0}, {1, 0}, {2, 0}}));
  // Equal f: the neighbour (x + 1, y) entered the open list before (x, y + 1) and goes first.
  EXPECT_EQ(path_of(map_of(2, 2, 1), 0.5, 0, 0, 1, 1), (Points{{0, 0}, {1, 0}, {1, 1}}));
  EXPECT_EQ(path_of(map_of(2, 2, 1), 0.5, 1, 1, 0, 0), (Points{{1, 1}, {1, 0}, {0, 0}}));
  EXPECT_EQ(path_of(map_of(4, 4, 3), 0, 2, 1, 2, 2), (Points{{2, 1}, {2, 2}}));
  EXPECT_EQ(path_of(map_of(4, 4, 3), 1, 2, 1, 1, 1), (Points{{2, 1}, {1, 1}}));

  RtArray<double> map = map_of(4, 4, 1);
  RtArray<int32_t> path = marked_path();
  EXPECT_EQ(find_path(map, path, 0.5, 1, 2, 1, 2), 0);  // start = goal
  expect_marked(path);
}

TEST(FindPath, BlockedCells) {
  // A blocked start does not matter: its own cost is never counted.
  RtArray<double> map = map_of(3, 1, 1);
  map(0) = 0;
  EXPECT_EQ(path_of(map, 0.5, 0, 0, 2, 0).size(), 3u);
  map(0) = -2;
  EXPECT_EQ(path_of(map, 0.5, 0, 0, 2, 0).size(), 3u);

  // A blocked goal, or one behind a wall, gives 0 and an emptied path.
  for (double goal_value : {0.0, -1.0}) {
    map = map_of(3, 3, 1);
    map(2, 2) = goal_value;
    RtArray<int32_t> path = marked_path();
    EXPECT_EQ(find_path(map, path, 0.5, 0, 0, 2, 2), 0);
    EXPECT_EQ(path.dim_i, 0);
    EXPECT_EQ(path.dim_j, 0);
  }
  map = map_of(5, 3, 1);
  for (int32_t y = 0; y < 3; ++y) map(2, y) = 0;
  RtArray<int32_t> path = marked_path();
  EXPECT_EQ(find_path(map, path, 1, 0, 1, 4, 1), 0);
  EXPECT_EQ(path.dim_i, 0);

  // Nothing passable anywhere: the configuration fails and the path stays as it was.
  map = map_of(4, 4, 0);
  map(1, 1) = -3;
  path = marked_path();
  EXPECT_EQ(find_path(map, path, 0.5, 0, 0, 3, 3), 0);
  expect_marked(path);

  // A path goes around walls through the one gap, never through a blocked cell.
  map = map_of(5, 5, 1);
  for (int32_t y = 0; y < 5; ++y) map(2, y) = y == 4 ? 1 : 0;
  Points found = path_of(map, 0.5, 0, 0, 4, 0);
  ASSERT_FALSE(found.empty());
  for (auto [x, y] : found) EXPECT_TRUE(x != 2 || y == 4);
  EXPECT_EQ(found.size(), 13u);
}

// A row of dear cells between start and goal, cheap rows around it: the cheapest-first
// search (weight 0) goes around, the distance-led one (weight 1) straight through.
TEST(FindPath, WeightsAreClampedToZeroAndOne) {
  RtArray<double> map = map_of(12, 3, 1);
  for (int32_t x = 1; x < 11; ++x) map(x, 1) = 100;
  Points cheapest = path_of(map, 0, 0, 1, 11, 1);
  Points direct = path_of(map, 1, 0, 1, 11, 1);
  ASSERT_EQ(direct.size(), 12u);
  ASSERT_EQ(cheapest.size(), 14u);
  EXPECT_EQ(path_of(map, -3, 0, 1, 11, 1), cheapest);
  EXPECT_EQ(path_of(map, -0.0, 0, 1, 11, 1), cheapest);
  EXPECT_EQ(path_of(map, 7, 0, 1, 11, 1), direct);
  EXPECT_EQ(path_of(map, std::nan(""), 0, 1, 11, 1), direct);
  EXPECT_EQ(path_of(map, std::numeric_limits<double>::infinity(), 0, 1, 11, 1), direct);
  EXPECT_EQ(path_of(map, -std::numeric_limits<double>::infinity(), 0, 1, 11, 1), cheapest);
}

qrn::PlannerConfiguration config_for(const RtArray<double>& map) {
  qrn::PlannerConfiguration c;
  c.width = map.dim_i;
  c.height = map.dim_j;
  c.map = map.data;
  c.goal_x = 1;
  return c;
}

// Costs are relative to the largest value; odd values neither crash nor poison the search.
TEST(CostGrid, ScalesToOneToTwoAndTamesOddValues) {
  RtArray<double> map = map_of(3, 2, 1);
  map(2, 1) = 1e30;  // the only large value
  qrn::AStarPlanner planner;
  ASSERT_TRUE(planner.configure(config_for(map)));
  EXPECT_EQ(planner.cost_at(2, 1), 2.0f);
  EXPECT_EQ(planner.cost_at(0, 0), 1.0f);

  map = map_of(3, 2, 4);
  map(1, 0) = 2;
  map(2, 0) = 0;
  map(0, 1) = -7;
  ASSERT_TRUE(planner.configure(config_for(map)));
  EXPECT_EQ(planner.cost_at(0, 0), 2.0f);
  EXPECT_EQ(planner.cost_at(1, 0), 1.5f);
  EXPECT_EQ(planner.cost_at(2, 0), qrn::BLOCKED_COST);
  EXPECT_EQ(planner.cost_at(0, 1), qrn::BLOCKED_COST);

  // Beyond the float range (and infinity) counts as the largest float, NaN blocks, and a
  // positive value too small for a float stays passable.
  const double inf = std::numeric_limits<double>::infinity();
  map = map_of(3, 2, 1);
  map(0, 0) = 1e300;
  map(1, 0) = inf;
  map(2, 0) = std::nan("");
  map(0, 1) = 1e-60;
  map(1, 1) = -inf;
  ASSERT_TRUE(planner.configure(config_for(map)));
  EXPECT_EQ(planner.cost_at(0, 0), 2.0f);
  EXPECT_EQ(planner.cost_at(1, 0), 2.0f);
  EXPECT_EQ(planner.cost_at(2, 0), qrn::BLOCKED_COST);
  EXPECT_EQ(planner.cost_at(0, 1), 1.0f);
  EXPECT_EQ(planner.cost_at(1, 1), qrn::BLOCKED_COST);
  EXPECT_EQ(planner.cost_at(2, 1), 1.0f);

  // A map of nothing but tiny positive values is passable, not empty.
  map = map_of(3, 1, 1e-50);
  EXPECT_EQ(path_of(map, 0.5, 0, 0, 2, 0).size(), 3u);
  // NaN cells are walls the path goes around.
  map = map_of(3, 3, 1);
  map(1, 0) = map(1, 1) = std::nan("");
  EXPECT_EQ(path_of(map, 0.5, 0, 0, 2, 0).size(), 7u);
}

// Each coordinate at its last valid value and one past it, on both sides.
TEST(FindPath, CoordinateLimits) {
  RtArray<double> map = map_of(5, 4, 1);
  const int32_t good[4] = {0, 0, 4, 3};
  EXPECT_EQ(path_of(map, 0.5, good[0], good[1], good[2], good[3]).size(), 8u);
  EXPECT_EQ(path_of(map, 0.5, 4, 3, 0, 0).size(), 8u);
  const int32_t past[4][2] = {{-1, 5}, {-1, 4}, {-1, 5}, {-1, 4}};
  for (int which = 0; which < 4; ++which) {
    for (int32_t bad : past[which]) {
      int32_t c[4] = {good[0], good[1], good[2], good[3]};
      c[which] = bad;
      RtArray<int32_t> path = marked_path();
      EXPECT_EQ(find_path(map, path, 0.5, c[0], c[1], c[2], c[3]), 0) << which << " " << bad;
      expect_marked(path);
    }
  }
  for (int32_t extreme : {INT32_MIN, INT32_MAX}) {
    RtArray<int32_t> path = marked_path();
    EXPECT_EQ(find_path(map, path, 0.5, extreme, 0, 1, 1), 0);
    expect_marked(path);
  }
}

TEST(FindPath, MapsThatAreNotMaps) {
  RtArray<double> empty;
  RtArray<double> line;
  qrn::array_dim(line, 6);
  for (int32_t i = 0; i < 6; ++i) line(i) = 1;
  RtArray<double> emptied = map_of(4, 4, 1);
  qrn::array_redim(emptied, 0);  // storage kept, no elements
  for (const RtArray<double>* map : {&empty, &line, &emptied}) {
    RtArray<int32_t> path = marked_path();
    EXPECT_EQ(find_path(*map, path, 0.5, 0, 0, 1, 0), 0);
    expect_marked(path);
  }
  // Dimensions beyond the second are ignored: only the first W x H elements count.
  RtArray<double> deep;
  qrn::array_dim(deep, 3, 1, 2);
  deep(0, 0, 0) = deep(1, 0, 0) = deep(2, 0, 0) = 1;
  EXPECT_EQ(path_of(deep, 0.5, 0, 0, 2, 0).size(), 3u);

  // Fields that claim more cells than the storage holds are refused, not read.
  RtArray<double> lying = map_of(2, 2, 1);
  lying.dim_i = lying.stride_j = 1000;
  RtArray<int32_t> path = marked_path();
  EXPECT_EQ(find_path(lying, path, 0.5, 0, 0, 900, 1), 0);
  expect_marked(path);
  lying.dim_i = lying.stride_j = 2;  // back to its real shape before it is released
}

TEST(FindPath, WhatEachFormLeavesInItsPath) {
  RtArray<double> map = map_of(3, 3, 2);
  RtArray<int32_t> imap;
  qrn::array_dim(imap, 3, 3);
  for (int32_t i = 0; i < 9; ++i) imap.data[i] = 2;

  // Found: n x 2 in every form, the same points.
  RtArray<double> dpath;
  RtArray<int32_t> ipath;
  ASSERT_EQ(find_path(map, dpath, 0.5, 0, 2, 2, 0), 5);
  ASSERT_EQ(find_path(imap, ipath, 0.5, 0, 2, 2, 0), 5);
  EXPECT_EQ(dpath.dim_j, 2);
  EXPECT_EQ(points(dpath), points(ipath));
  EXPECT_EQ(points(ipath), path_of(map, 0.5, 0, 2, 2, 0));

  // A failed configuration: the double path is always re-dimensioned (0 x 2); the integer
  // map's path is left alone.
  qrn::array_dim(dpath, 4, 4);
  EXPECT_EQ(find_path(map, dpath, 0.5, 1, 1, 1, 1), 0);
  EXPECT_EQ(dpath.dim_i, 0);
  EXPECT_EQ(dpath.dim_j, 2);
  ipath = marked_path();
  EXPECT_EQ(find_path(imap, ipath, 0.5, 1, 1, 1, 1), 0);
  expect_marked(ipath);

  // No path: every form ends with a path of no elements.
  map(2, 0) = 0;
  imap(2, 0) = 0;
  qrn::array_dim(dpath, 4, 4);
  EXPECT_EQ(find_path(map, dpath, 0.5, 0, 2, 2, 0), 0);
  EXPECT_EQ(dpath.dim_i, 0);
  ipath = marked_path();
  EXPECT_EQ(find_path(imap, ipath, 0.5, 0, 2, 2, 0), 0);
  EXPECT_EQ(ipath.dim_i, 0);
}

// The map is read completely before the path is written, so one array can be both.
TEST(FindPath, MapAndPathMayBeTheSameArray) {
  RtArray<int32_t> grid;
  qrn::array_dim(grid, 4, 3);
  for (int32_t i = 0; i < 12; ++i) grid.data[i] = 5;
  RtArray<int32_t> copy = grid;
  RtArray<int32_t> want;
  ASSERT_EQ(find_path(copy, want, 0.25, 3, 0, 0, 2), 6);
  EXPECT_EQ(find_path(grid, grid, 0.25, 3, 0, 0, 2), 6);
  EXPECT_EQ(points(grid), points(want));

  RtArray<double> dgrid = map_of(4, 3, 5);
  EXPECT_EQ(find_path(dgrid, dgrid, 0.25, 3, 0, 0, 2), 6);
  EXPECT_EQ(points(dgrid), points(want));
}

// A planner can search again after clear_search; every node goes back to the pool.
TEST(Planner, SearchesAgainAfterClearing) {
  RtArray<double> map = map_of(9, 7, 1);
  for (int32_t y = 0; y < 6; ++y) map(4, y) = 0;
  qrn::PlannerConfiguration c = config_for(map);
  c.goal_x = 8;
  c.goal_y = 0;
  c.weight = 0.75f;
  qrn::AStarPlanner planner;
  EXPECT_EQ(planner.finished, 1);
  ASSERT_TRUE(planner.configure(c));
  std::vector<Points> runs;
  for (int run = 0; run < 3; ++run) {
    planner.start_search();
    EXPECT_EQ(planner.finished, 0);
    ASSERT_TRUE(planner.search());
    EXPECT_EQ(planner.finished, 1);
    ASSERT_NE(planner.result_node, nullptr);
    EXPECT_EQ(planner.pool.handed_out(), planner.open_list.size() + planner.closed_table.size());
    Points found;
    for (const qrn::Node* n = planner.result_node; n; n = planner.parent_of(n)) {
      found.emplace_back(planner.x_of(n), planner.y_of(n));
    }
    runs.push_back(found);
    planner.clear_search();
    EXPECT_EQ(planner.pool.handed_out(), 0u);
    EXPECT_TRUE(planner.open_list.is_empty());
    EXPECT_EQ(planner.closed_table.size(), 0u);
    EXPECT_EQ(planner.result_node, nullptr);
  }
  EXPECT_EQ(runs[0].size(), 21u);
  EXPECT_EQ(runs[1], runs[0]);
  EXPECT_EQ(runs[2], runs[0]);
  // An unconfigured planner has nothing to search.
  qrn::AStarPlanner fresh;
  fresh.start_search();
  EXPECT_TRUE(fresh.search());
  EXPECT_EQ(fresh.result_node, nullptr);
}

// At a size where a slow open list would show: corner to corner across an open map the
// path is as short as the Manhattan distance allows.
TEST(FindPath, LargeOpenMapCornerToCorner) {
  RtArray<double> map = map_of(512, 512, 1);
  for (double weight : {0.0, 0.5, 1.0}) {
    Points found = path_of(map, weight, 0, 0, 511, 511);
    ASSERT_EQ(found.size(), 1023u);
    EXPECT_EQ(found.front(), std::make_pair(0, 0));
    EXPECT_EQ(found.back(), std::make_pair(511, 511));
  }
}

// Every block the planner takes (cost grid, node pool, open list, each W * H long) may be
// refused; the call then gives 0, leaves the path alone and gives back what it had taken.
TEST(FindPath, RefusedMemoryGivesZeroAndLeaksNothing) {
  RtArray<double> map = map_of(64, 32, 1);
  const size_t cells = 64 * 32;
  qrn::FakeMemory memory;
  qrn::ServiceScope<qrn::MemoryService> scope(&memory);
  RtArray<int32_t> path = marked_path();
  ASSERT_EQ(find_path(map, path, 0.5, 0, 0, 63, 31), 95);
  ASSERT_EQ(memory.requests.size(), 3u);
  EXPECT_TRUE(memory.held.empty());
  // Refuse each block in turn, by its size: the cost grid is the smallest, then the pool's
  // and the open list's.
  std::vector<size_t> sizes = memory.requests;
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes[0], cells * sizeof(float));
  for (size_t refused : sizes) {
    memory.refuse_above = refused - 1;
    memory.requests.clear();
    path = marked_path();
    EXPECT_EQ(find_path(map, path, 0.5, 0, 0, 63, 31), 0) << refused;
    expect_marked(path);
    EXPECT_TRUE(memory.held.empty()) << refused;
  }
  // A map without a passable cell is refused before the pool and the open list are asked for.
  memory.refuse_above = SIZE_MAX;
  memory.requests.clear();
  RtArray<double> walls = map_of(64, 32, 0);
  EXPECT_EQ(find_path(walls, path, 0.5, 0, 0, 63, 31), 0);
  EXPECT_EQ(memory.requests.size(), 1u);
  EXPECT_TRUE(memory.held.empty());
}

#if defined(__SANITIZE_ADDRESS__)
#define QRN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QRN_ASAN 1
#endif
#endif

// Address space in use now, in bytes (from /proc/self/statm, in pages).
[[maybe_unused]] size_t address_space_in_use() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  statm >> pages;
  return pages * 4096;
}

TEST(FindPath, MapTooLargeForTheMemoryGivesZero) {
#ifdef QRN_ASAN
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
  auto result = qrn::test::run_in_child([] {
    // 4096 x 4096 cells: 128 MiB of doubles here, about 850 MiB more for a search.
    RtArray<double> map = map_of(4096, 4096, 1);
    RtArray<int32_t> path = marked_path();
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = address_space_in_use() + (160u << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    int32_t n = find_path(map, path, 0.5, 0, 0, 4095, 4095);
    if (n != 0 || path.dim_i != 3 || path(2, 4) != 77) std::_Exit(4);
    // Smaller maps still work in what is left.
    RtArray<double> small = map_of(64, 64, 1);
    if (find_path(small, path, 0.5, 0, 0, 63, 63) != 127) std::_Exit(5);
    std::_Exit(0);
  }, 60000);
  EXPECT_TRUE(result.exited) << result.err;
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
#endif
}

}  // namespace
