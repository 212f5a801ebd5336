// Path-planner benchmark: find_path against the literal reference search (a sorted ring
// buffer, linear open-list scans and a closed table of 256 chains) and against Boost.Graph's
// astar_search on the same grids, in the same run. For each map and weight it prints the
// times (find_path and Boost best of five; the reference once, stopped after a time limit),
// literal / ours, ours / Boost, node expansions per second, and how many closed nodes were
// opened again. Times are processor time (the machine may be shared). find_path's time includes its configuration (the cost grid, the pool);
// Boost's includes its own initialisation but not building its graph.
// Maps: open maps (corner to corner), a 512 x 512 maze, random costs with 30% walls, and a
// generated 1024 x 1024 city of streets and buildings (passable cells cost 1).
// Usage: bench_path_planner [seconds allowed for each reference search, default 60] [only the
// maps whose name holds this text]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>

#include "path/literal_planner.h"
#include "path/planner_internal.h"
#include "quarnel.h"

namespace {

// Processor time of this process: the machine is shared, and wall time would count the
// other programs' turns. Page faults count (kernel time on our behalf).
struct Clock {
  using time_point = std::clock_t;
  static time_point now() { return std::clock(); }
};

double ms_since(Clock::time_point start) {
  return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

struct Map {
  std::string name;
  int32_t width = 0, height = 0;
  std::vector<double> cells;
  int32_t sx = 0, sy = 0, gx = 0, gy = 0;
  double& at(int32_t x, int32_t y) { return cells[static_cast<size_t>(y) * width + x]; }
};

Map open_map(int32_t side) {
  Map m{"open " + std::to_string(side), side, side, {}, 0, 0, side - 1, side - 1};
  m.cells.assign(static_cast<size_t>(side) * side, 1);
  return m;
}

// A perfect maze (one way between any two corridor cells) cut by a depth-first walk over the
// odd cells; walls are the even rows and columns between them.
Map maze_map(int32_t side, uint32_t seed) {
  Map m{"maze " + std::to_string(side), side, side, {}, 1, 1, 0, 0};
  m.cells.assign(static_cast<size_t>(side) * side, 0);
  const int32_t cells = (side - 1) / 2;
  std::mt19937 rng(seed);
  std::vector<std::pair<int32_t, int32_t>> stack{{0, 0}};
  std::vector<char> seen(static_cast<size_t>(cells) * cells, 0);
  seen[0] = 1;
  m.at(1, 1) = 1;
  const int32_t dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
  while (!stack.empty()) {
    auto [cx, cy] = stack.back();
    int order[4] = {0, 1, 2, 3};
    std::shuffle(order, order + 4, rng);
    bool moved = false;
    for (int d : order) {
      int32_t nx = cx + dx[d], ny = cy + dy[d];
      if (nx < 0 || ny < 0 || nx >= cells || ny >= cells || seen[ny * cells + nx]) continue;
      seen[ny * cells + nx] = 1;
      m.at(2 * cx + 1 + dx[d], 2 * cy + 1 + dy[d]) = 1;
      m.at(2 * nx + 1, 2 * ny + 1) = 1;
      stack.emplace_back(nx, ny);
      moved = true;
      break;
    }
    if (!moved) stack.pop_back();
  }
  m.gx = m.gy = 2 * (cells - 1) + 1;
  return m;
}

bool has_path(const Map& m) {
  qrn::RtArray<double> map;
  qrn::array_dim(map, m.width, m.height);
  std::copy(m.cells.begin(), m.cells.end(), map.data);
  qrn::RtArray<int32_t> path;
  return qrn::find_path(map, path, 1, m.sx, m.sy, m.gx, m.gy) > 0;
}

// Costs 1 to 9, 30% of the cells walls; the first seed from the given one whose corners are
// joined.
Map random_map(int32_t side, uint32_t seed) {
  Map m{"random 30% " + std::to_string(side), side, side, {}, 0, 0, side - 1, side - 1};
  m.cells.resize(static_cast<size_t>(side) * side);
  do {
    std::mt19937 rng(seed++);
    for (double& c : m.cells) c = (rng() % 100 < 30) ? 0 : 1 + rng() % 9;
    m.at(0, 0) = m.at(side - 1, side - 1) = 1;
  } while (!has_path(m));
  return m;
}

// A city: the map is split again and again by streets 1 to 4 cells wide, the blocks between
// them are built over with entrances, alleys and courtyards, some blocks are parks, and two
// avenues cross the city as staircases. Every street meets the streets it was cut from.
Map city_map(int32_t side, uint32_t seed) {
  Map m{"streets " + std::to_string(side), side, side, {}, 0, 0, 0, 0};
  m.cells.assign(static_cast<size_t>(side) * side, 0);
  std::mt19937 rng(seed);
  auto fill = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, double v) {
    for (int32_t y = std::max(0, y0); y < std::min(side, y1); ++y)
      for (int32_t x = std::max(0, x0); x < std::min(side, x1); ++x) m.at(x, y) = v;
  };
  std::function<void(int32_t, int32_t, int32_t, int32_t)> split = [&](int32_t x0, int32_t y0,
                                                                      int32_t x1, int32_t y1) {
    int32_t w = x1 - x0, h = y1 - y0;
    if (w < 24 && h < 24) {
      int kind = static_cast<int>(rng() % 20);
      if (kind == 0) {
        fill(x0, y0, x1, y1, 1);  // park
        return;
      }
      // buildings with a courtyard and entrances
      if (w > 10 && h > 10 && kind < 8) fill(x0 + 3, y0 + 3, x1 - 3, y1 - 3, 1);
      for (int e = 0; e < 3; ++e) {
        int32_t ex = x0 + static_cast<int32_t>(rng() % std::max(1, w));
        int32_t ey = y0 + static_cast<int32_t>(rng() % std::max(1, h));
        if (rng() & 1) fill(ex, y0, ex + 1, y0 + std::min(h, 4), 1);
        else fill(x0, ey, x0 + std::min(w, 4), ey + 1, 1);
      }
      if (kind < 6) fill(x0 + w / 2, y0, x0 + w / 2 + 1, y1, 1);  // alley
      return;
    }
    int32_t street = 1 + static_cast<int32_t>(rng() % 4);
    if (w >= h) {
      int32_t at = x0 + w / 4 + static_cast<int32_t>(rng() % std::max(1, w / 2));
      fill(at, y0, at + street, y1, 1);
      split(x0, y0, at, y1);
      split(at + street, y0, x1, y1);
    } else {
      int32_t at = y0 + h / 4 + static_cast<int32_t>(rng() % std::max(1, h / 2));
      fill(x0, at, x1, at + street, 1);
      split(x0, y0, x1, at);
      split(x0, at + street, x1, y1);
    }
  };
  fill(0, 0, side, 2, 1);  // ring road
  fill(0, side - 2, side, side, 1);
  fill(0, 0, 2, side, 1);
  fill(side - 2, 0, side, side, 1);
  split(2, 2, side - 2, side - 2);
  for (int32_t t = 0; t < side - 3; ++t) {  // avenues, one step across and one down
    fill(t, t, t + 3, t + 2, 1);
    fill(side - 3 - t, t, side - t, t + 2, 1);
  }
  // A long query: from near one corner to near the opposite one.
  m.sx = 5, m.sy = 1, m.gx = side - 6, m.gy = side - 2;
  return m;
}

// ---- Boost.Graph on the same grid -----------------------------------------------------------

struct EdgeCost {
  float cost;
};
using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, EdgeCost,
                                                 boost::no_property, uint32_t, uint32_t>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

// The planner's costs: value / largest + 1 for values above 0, blocked otherwise.
std::vector<float> cost_grid(const Map& m) {
  float largest = 0;
  for (double v : m.cells) largest = std::max(largest, static_cast<float>(v));
  std::vector<float> cost(m.cells.size());
  for (size_t i = 0; i < cost.size(); ++i) {
    float c = static_cast<float>(m.cells[i]);
    cost[i] = c > 0 ? c / largest + 1 : -1;
  }
  return cost;
}

// Edges to the four neighbours in the planner's order, each costing its target cell.
Graph build_graph(const Map& m, const std::vector<float>& cost) {
  std::vector<std::pair<uint32_t, uint32_t>> edges;
  std::vector<EdgeCost> costs;
  edges.reserve(m.cells.size() * 4);
  costs.reserve(m.cells.size() * 4);
  const int32_t dx[4] = {0, 1, -1, 0}, dy[4] = {-1, 0, 0, 1};
  for (int32_t y = 0; y < m.height; ++y) {
    for (int32_t x = 0; x < m.width; ++x) {
      for (int d = 0; d < 4; ++d) {
        int32_t nx = x + dx[d], ny = y + dy[d];
        if (nx < 0 || ny < 0 || nx >= m.width || ny >= m.height) continue;
        uint32_t to = static_cast<uint32_t>(ny * m.width + nx);
        if (cost[to] < 0) continue;
        edges.emplace_back(static_cast<uint32_t>(y * m.width + x), to);
        costs.push_back({cost[to]});
      }
    }
  }
  return Graph(boost::edges_are_sorted, edges.begin(), edges.end(), costs.begin(),
               static_cast<uint32_t>(m.cells.size()));
}

class Manhattan : public boost::astar_heuristic<Graph, float> {
 public:
  Manhattan(int32_t width, int32_t gx, int32_t gy, float scale)
      : width_(width), gx_(gx), gy_(gy), scale_(scale) {}
  float operator()(Vertex v) const {
    int32_t x = static_cast<int32_t>(v) % width_, y = static_cast<int32_t>(v) / width_;
    return scale_ * static_cast<float>(std::abs(gx_ - x) + std::abs(gy_ - y));
  }

 private:
  int32_t width_, gx_, gy_;
  float scale_;
};

struct GoalReached {};
class StopAtGoal : public boost::default_astar_visitor {
 public:
  explicit StopAtGoal(Vertex goal) : goal_(goal) {}
  void examine_vertex(Vertex u, const Graph&) const {
    if (u == goal_) throw GoalReached();
  }

 private:
  Vertex goal_;
};

// f = g + h orders as the planner's weight 0.5; a heuristic a million times larger stands in
// for weight 1 (the distance alone, ties by g). Returns the number of path points.
size_t boost_search(const Graph& g, const Map& m, double weight, std::vector<uint32_t>& pred,
                    std::vector<float>& dist, std::vector<float>& rank,
                    std::vector<boost::default_color_type>& color) {
  const Vertex start = static_cast<Vertex>(m.sy * m.width + m.sx);
  const Vertex goal = static_cast<Vertex>(m.gy * m.width + m.gx);
  auto index = get(boost::vertex_index, g);
  const float scale = weight >= 1 ? 1e6f : static_cast<float>(weight / (1 - weight));
  try {
    boost::astar_search(
        g, start, Manhattan(m.width, m.gx, m.gy, scale),
        boost::predecessor_map(boost::make_iterator_property_map(pred.begin(), index))
            .distance_map(boost::make_iterator_property_map(dist.begin(), index))
            .rank_map(boost::make_iterator_property_map(rank.begin(), index))
            .color_map(boost::make_iterator_property_map(color.begin(), index))
            .weight_map(get(&EdgeCost::cost, g))
            .visitor(StopAtGoal(goal)));
  } catch (const GoalReached&) {
    size_t n = 1;
    for (Vertex v = goal; v != start; v = pred[v]) ++n;
    return n;
  }
  return 0;
}

// ---- The table ------------------------------------------------------------------------------

template <typename F>
double best_ms(int rounds, F&& work) {
  double best = std::numeric_limits<double>::max();
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    work();
    best = std::min(best, ms_since(start));
  }
  return best;
}

void run(Map& m, double weight, double literal_seconds) {
  qrn::RtArray<double> map;
  qrn::array_dim(map, m.width, m.height);
  std::copy(m.cells.begin(), m.cells.end(), map.data);

  // The work the search does, and the search alone timed (a fresh planner each round).
  qrn::PlannerConfiguration c;
  c.width = m.width, c.height = m.height, c.map = m.cells.data(), c.weight = static_cast<float>(weight);
  c.start_x = m.sx, c.start_y = m.sy, c.goal_x = m.gx, c.goal_y = m.gy;
  qrn::SearchCounts counts;
  double search_ms = std::numeric_limits<double>::max();
  for (int round = 0; round < 5; ++round) {
    qrn::AStarPlanner planner;
    if (!planner.configure(c)) break;
    auto start = Clock::now();
    planner.start_search();
    planner.search();
    search_ms = std::min(search_ms, ms_since(start));
    counts = planner.counts;
  }

  qrn::RtArray<int32_t> path;
  int32_t n = 0;
  double ours = best_ms(5, [&] { n = qrn::find_path(map, path, weight, m.sx, m.sy, m.gx, m.gy); });

  std::vector<float> cost = cost_grid(m);
  Graph graph = build_graph(m, cost);
  std::vector<uint32_t> pred(m.cells.size());
  std::vector<float> dist(m.cells.size()), rank(m.cells.size());
  std::vector<boost::default_color_type> color(m.cells.size());
  size_t boost_n = 0;
  double boost_ms = best_ms(5, [&] { boost_n = boost_search(graph, m, weight, pred, dist, rank, color); });
  // The same with its per-vertex arrays made for each search, as one call of an API that
  // takes a map and returns a path must.
  double boost_fresh_ms = best_ms(5, [&] {
    std::vector<uint32_t> p(m.cells.size());
    std::vector<float> d(m.cells.size()), r(m.cells.size());
    std::vector<boost::default_color_type> k(m.cells.size());
    boost_n = boost_search(graph, m, weight, p, d, r, k);
  });

  auto start = Clock::now();
  literal::Result lit = literal::find_path(m.cells.data(), m.width, m.height, weight, m.sx, m.sy,
                                           m.gx, m.gy, literal_seconds);
  double literal_ms = ms_since(start);
  bool same = lit.finished && lit.xs.size() == static_cast<size_t>(n);
  for (int32_t i = 0; same && i < n; ++i) same = lit.xs[i] == path(i, 0) && lit.ys[i] == path(i, 1);

  char literal_text[32], ratio_text[32];
  if (lit.finished) {
    std::snprintf(literal_text, sizeof literal_text, "%10.1f", literal_ms);
    std::snprintf(ratio_text, sizeof ratio_text, "%8.0f", literal_ms / ours);
  } else {
    std::snprintf(literal_text, sizeof literal_text, "  >%5.0f s", literal_seconds);
    std::snprintf(ratio_text, sizeof ratio_text, "  >%5.0f", literal_ms / ours);
  }
  std::printf("| %-16s | %4.2f | %6d | %8llu | %8llu | %8.2f | %s | %s | %s | %8.2f | %5.2f | %8.2f | %5.2f | %6.1f | %6.1f |\n",
              m.name.c_str(), weight, n, static_cast<unsigned long long>(counts.expansions),
              static_cast<unsigned long long>(counts.reopened), ours, literal_text, ratio_text,
              lit.finished ? (same ? "same" : "DIFF") : " -  ", boost_ms, ours / boost_ms,
              boost_fresh_ms, ours / boost_fresh_ms, counts.expansions / search_ms / 1e3,
              counts.expansions / ours / 1e3);
  std::fflush(stdout);
  (void)boost_n;
}

}  // namespace

int main(int argc, char** argv) {
  double literal_seconds = argc > 1 ? std::atof(argv[1]) : 60;
  if (!(literal_seconds > 0)) literal_seconds = 60;
  std::printf("find_path (ours) against the literal reference search and Boost.Graph astar_search\n");
  std::printf("processor time in ms; ours and Boost best of 5, the reference once (stopped after %.0f s)\n\n",
              literal_seconds);
  std::printf("Boost: graph built beforehand; 'Boost' reuses its per-vertex arrays (warm), 'B new'\n"
              "makes them for each search. M exp/s: million expansions per second of the search\n"
              "alone ('srch') and of the whole find_path call ('call').\n\n");
  std::printf("| %-16s | %4s | %6s | %8s | %8s | %8s | %10s | %8s | %4s | %8s | %5s | %8s | %5s | %6s | %6s |\n",
              "map", "w", "points", "expanded", "reopened", "ours ms", "literal ms", "lit/ours",
              "path", "Boost ms", "o/B", "B new ms", "o/Bn", "srch", "call");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  std::vector<Map> maps;
  for (int32_t side : {256, 512, 1024}) maps.push_back(open_map(side));
  maps.push_back(maze_map(512, 7));
  for (int32_t side : {256, 512, 1024}) maps.push_back(random_map(side, 11));
  maps.push_back(city_map(1024, 5));
  const std::string only = argc > 2 ? argv[2] : "";
  for (Map& m : maps) {
    if (m.name.find(only) == std::string::npos) continue;
    for (double weight : {0.5, 1.0}) run(m, weight, literal_seconds);
  }
  return 0;
}
