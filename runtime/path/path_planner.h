// Grid path finding: the cheapest path found by a weighted A* search over a 2-D cost map.
// The map's first index is x (0 to dim_i - 1), its second y (0 to dim_j - 1). A value at or
// below 0 (or NaN) blocks its cell; every passable cell costs its value / the map's largest
// value + 1, so entering a cell costs between 1 and 2. Moves go to the four orthogonal
// neighbours. The weight (0 to 1; NaN counts as 1) moves the search from cheapest-first
// (0) towards the Manhattan distance alone (1). Memory: 32 bytes per map cell during a call.
#pragma once

#include <cstdint>

#include "core/arrays.h"

namespace qrn {

// Writes the path from (start_x, start_y) to (goal_x, goal_y) into path, dimensioned n x 2
// (element (i, 0) the x, (i, 1) the y of point i; point 0 the start, n - 1 the goal), and
// returns n. 0 means no path: with a start or goal outside the map, start equal to goal, a
// map of fewer than two dimensions, without a passable cell or too large for the memory, the
// path is left as it was; with a goal that cannot be reached it is dimensioned to nothing.
int32_t find_path(const RtArray<double>& map, RtArray<int32_t>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y);
// The same with a double path array, which is always re-dimensioned: 0 x 2 without a path.
int32_t find_path(const RtArray<double>& map, RtArray<double>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y);
// The same over an integer map.
int32_t find_path(const RtArray<int32_t>& map, RtArray<int32_t>& path, double weight,
                  int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y);

}  // namespace qrn
