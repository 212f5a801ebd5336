// find_path in its three forms: one planner per call, configured from the map, one search,
// the path copied out from the goal back along the parents.
#include "path/path_planner.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "path/planner_internal.h"

namespace qrn {

namespace {

// Integer maps are read as they are: an int32_t becomes the same float directly as through
// a double, so no double copy of the map is needed.
template <typename T>
int32_t find_path_in(const RtArray<T>& map, RtArray<int32_t>& path, double weight,
                     int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y) {
  PlannerConfiguration c;
  c.width = map.dim_i;
  c.height = map.dim_j;
  // A map needs two dimensions and storage behind every cell they describe.
  const int64_t cells = static_cast<int64_t>(c.width) * c.height;
  if (!map.data || c.width < 1 || c.height < 1 || cells > std::min(map.count, map.capacity))
    return 0;
  c.start_x = start_x;
  c.start_y = start_y;
  c.goal_x = goal_x;
  c.goal_y = goal_y;
  c.weight = std::isnan(weight) ? 1.0f : static_cast<float>(std::max(0.0, std::min(weight, 1.0)));
  if constexpr (std::is_same<T, double>::value) {
    c.map = map.data;
  } else {
    c.int_map = map.data;
  }

  AStarPlanner planner;
  if (!planner.configure(c)) return 0;
  planner.start_search();
  planner.search();

  int64_t n = 0;
  for (const Node* node = planner.result_node; node; node = planner.parent_of(node)) ++n;
  // An array holds at most INT32_MAX elements, so a path of more than 2^30 points (on a map
  // of over a billion cells) cannot be handed back: it counts as none.
  if (n == 0 || n > INT32_MAX / 2) {
    array_dim(path, 0);
    return 0;
  }
  const int32_t points = static_cast<int32_t>(n);
  array_dim(path, points, 2);
  int32_t row = points - 1;
  for (const Node* node = planner.result_node; node; node = planner.parent_of(node), --row) {
    path(row, 0) = planner.x_of(node);
    path(row, 1) = planner.y_of(node);
  }
  planner.clear_search();
  return path.dim_i;
}

}  // namespace

int32_t find_path(const RtArray<double>& map, RtArray<int32_t>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y) {
  return find_path_in(map, path, weight, start_x, start_y, goal_x, goal_y);
}

int32_t find_path(const RtArray<double>& map, RtArray<double>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y) {
  RtArray<int32_t> points;
  int32_t n = find_path_in(map, points, weight, start_x, start_y, goal_x, goal_y);
  array_dim(path, points.dim_i, 2);
  for (int32_t i = 0; i < points.dim_i; ++i) {
    path(i, 0) = points(i, 0);
    path(i, 1) = points(i, 1);
  }
  return n;
}

int32_t find_path(const RtArray<int32_t>& map, RtArray<int32_t>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y) {
  return find_path_in(map, path, weight, start_x, start_y, goal_x, goal_y);
}

}  // namespace qrn
