// Grid path planner: node pool, open-list heap, cost grid and the weighted A* search (see
// planner_internal.h for the structures and why they give the same paths as a sorted list).
#include "path/planner_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qrn {

// ---- Node pool ------------------------------------------------------------------------------

bool NodeFactory::resize(size_t count) {
  handed_out_ = 0;
  return nodes_.reset(count, false);
}

// ---- Open list ------------------------------------------------------------------------------

namespace {
constexpr size_t kArity = 2;
}

// Only the part of the list a search fills is ever touched.
bool FixedDeque<Node*>::resize(size_t capacity) {
  size_ = 0;
  next_entry_ = 0;
  return entries_.reset(capacity, false);
}

uint64_t FixedDeque<Node*>::next_key(float f) {
  if (next_entry_ >= entry_limit_) renumber();
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return static_cast<uint64_t>(bits) << 32 | next_entry_++;
}

// A list sorted by key is a valid heap, and numbering it 0, 1, 2... keeps every comparison
// between the nodes already listed as it was.
void FixedDeque<Node*>::renumber() {
  std::sort(entries_.data(), entries_.data() + size_,
            [](const Entry& a, const Entry& b) { return a.key < b.key; });
  for (size_t i = 0; i < size_; ++i) {
    entries_[i].key = (entries_[i].key & ~uint64_t{UINT32_MAX}) | static_cast<uint32_t>(i);
    entries_[i].node->place = NODE_OPEN_AT + static_cast<uint32_t>(i);
  }
  next_entry_ = static_cast<uint32_t>(size_);
}

void FixedDeque<Node*>::move_up(size_t at, Entry entry) {
  while (at > 0) {
    size_t parent = (at - 1) / kArity;
    if (entries_[parent].key < entry.key) break;
    put(at, entries_[parent]);
    at = parent;
  }
  put(at, entry);
}

void FixedDeque<Node*>::move_down(size_t at, Entry entry) {
  for (;;) {
    size_t first = at * kArity + 1;
    if (first >= size_) break;
    size_t end = std::min(first + kArity, size_);
    size_t best = first;
    for (size_t child = first + 1; child < end; ++child) {
      if (entries_[child].key < entries_[best].key) best = child;
    }
    if (entry.key < entries_[best].key) break;
    put(at, entries_[best]);
    at = best;
  }
  put(at, entry);
}

Node* FixedDeque<Node*>::pop_back() {
  Node* top = entries_[0].node;
  if (--size_ > 0) move_down(0, entries_[size_]);
  return top;
}

bool FixedDeque<Node*>::insert(Node* node, float f) {
  if (size_ >= entries_.size()) return false;
  Entry entry{next_key(f), node};
  move_up(size_++, entry);
  return true;
}

void FixedDeque<Node*>::reposition(Node* node, float f) {
  // next_key may renumber the list, which moves entries: read the place afterwards.
  uint64_t key = next_key(f);
  size_t at = node->place - NODE_OPEN_AT;
  Entry entry{key, node};
  if (at > 0 && entry.key < entries_[(at - 1) / kArity].key) {
    move_up(at, entry);
  } else {
    move_down(at, entry);
  }
}

void FixedDeque<Node*>::clear(NodeFactory& pool) {
  pool.give_back(size_);
  size_ = 0;
  next_entry_ = 0;
}

// ---- Cost grid and configuration ------------------------------------------------------------

namespace {

// M, the largest cost before scaling, or 0 without a passable cell. The conversion to a cost
// never lowers a larger value below a smaller one, so it is applied to the largest map value
// alone (NaN never compares larger, so it is skipped), and the scan stays a plain maximum.
template <typename T>
float largest_value(const T* map, size_t cells) {
  T largest = 0;
  for (size_t i = 0; i < cells; ++i) largest = map[i] > largest ? map[i] : largest;
  return largest > 0 ? map_value_to_cost(static_cast<double>(largest)) : 0;
}

bool inside(int32_t x, int32_t y, int32_t width, int32_t height) {
  return x >= 0 && x < width && y >= 0 && y < height;
}

float clamp_weight(float weight) {
  if (std::isnan(weight)) return 1;
  return std::max(0.0f, std::min(weight, 1.0f));
}

}  // namespace

float Planner::scaled_cost(size_t cell) const {
  const float c = map_value_to_cost(configuration.map ? configuration.map[cell]
                                                      : configuration.int_map[cell]);
  return c == BLOCKED_COST ? BLOCKED_COST : c / largest_ + 1.0f;
}

Planner::~Planner() {
  open_list.clear(pool);
  closed_table.clear(pool);
}

bool Planner::configure(const PlannerConfiguration& c) {
  const int32_t width = c.width, height = c.height;
  if (!inside(c.start_x, c.start_y, width, height) || !inside(c.goal_x, c.goal_y, width, height))
    return false;
  if (c.start_x == c.goal_x && c.start_y == c.goal_y) return false;
  if ((c.map == nullptr) == (c.int_map == nullptr)) return false;

  const size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
  open_list.clear(pool);
  closed_table.clear(pool);
  result_node = nullptr;
  // The grid starts as all "not worked out yet"; the search fills in what it reaches.
  if (!cost_grid.reset(cells, true)) return false;
  const float largest = c.map ? largest_value(c.map, cells) : largest_value(c.int_map, cells);
  if (!(largest > 0)) return false;

  if (!pool.resize(cells) || !open_list.resize(cells)) {
    pool.resize(0);
    open_list.resize(0);
    cost_grid.reset(0, false);
    return false;
  }
  largest_ = largest;
  pool_used_ = false;
  configuration = c;
  configuration.weight = clamp_weight(c.weight);
  finished = 1;
  return true;
}

void Planner::start_search() {
  finished = 0;
  result_node = nullptr;
}

void Planner::clear_search() {
  open_list.clear(pool);
  closed_table.clear(pool);
  result_node = nullptr;
  finished = 1;
}

// ---- Weighted A* ----------------------------------------------------------------------------

void AStarPlanner::start_search() {
  Planner::start_search();
  if (pool.length() == 0) return;  // not configured
  open_list.clear(pool);
  closed_table.clear(pool);
  if (pool_used_) std::memset(cost_grid.data(), 0, cost_grid.size() * sizeof(float));
  pool_used_ = true;
  counts = SearchCounts();
  const PlannerConfiguration& c = configuration;
  const size_t cell =
      static_cast<size_t>(c.start_y) * static_cast<size_t>(c.width) + static_cast<size_t>(c.start_x);
  cost_of(cell);  // its cost is never counted, but a neighbour may look at its node
  Node* start = pool.take_node(cell);
  start->parent = NO_PARENT;
  start->g = 0;
  open_list.insert(start, 0);  // alone in the list: its f is never compared
}

inline void AStarPlanner::visit(Node* current, uint32_t from, size_t cell, int32_t x, int32_t y) {
  const float cost = cost_of(cell);
  if (cost == BLOCKED_COST) return;
  const float g = current->g + cost;
  const int32_t h = std::abs(configuration.goal_x - x) + std::abs(configuration.goal_y - y);
  const float f = g + configuration.weight * (static_cast<float>(h) - g);
  Node* node = pool.nodes() + cell;
  const uint32_t place = node->place;
  if (place == NODE_UNREACHED) {
    pool.take_node(cell);
    node->parent = from;
    node->g = g;
    open_list.insert(node, f);
  } else if (node->g > g) {
    node->parent = from;
    node->g = g;
    if (place == NODE_CLOSED) {
      closed_table.erase(node);
      open_list.insert(node, f);
      ++counts.reopened;
    } else {
      open_list.reposition(node, f);
      ++counts.repositioned;
    }
  }
}

bool AStarPlanner::search() {
  const int32_t width = configuration.width, height = configuration.height;
  const int32_t goal_x = configuration.goal_x, goal_y = configuration.goal_y;
  const size_t row = static_cast<size_t>(width);
  while (!open_list.is_empty()) {
    Node* current = open_list.pop_back();
    current->place = NODE_UNREACHED;  // in neither list while its neighbours are visited
    ++counts.expansions;
    const size_t cell = pool.cell_of(current);
    const int32_t y = static_cast<int32_t>(cell / row);
    const int32_t x = static_cast<int32_t>(cell - static_cast<size_t>(y) * row);
    if (x == goal_x && y == goal_y) {
      closed_table.insert(current);
      finished = 1;
      result_node = current;
      return true;
    }
    const uint32_t from = static_cast<uint32_t>(cell);
    if (y > 0) visit(current, from, cell - row, x, y - 1);
    if (x + 1 < width) visit(current, from, cell + 1, x + 1, y);
    if (x > 0) visit(current, from, cell - 1, x - 1, y);
    if (y + 1 < height) visit(current, from, cell + row, x, y + 1);
    closed_table.insert(current);
  }
  finished = 1;
  return true;
}

}  // namespace qrn
