// Grid path planner: node pool, open-list heap, cost grid and the weighted A* search (see
// planner_internal.h for the structures and why they give the same paths as a sorted list).
#include "path/planner_internal.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qrn {

// ---- Node pool ------------------------------------------------------------------------------

NodeFactory::~NodeFactory() { std::free(nodes_); }

bool NodeFactory::resize(size_t count) {
  std::free(nodes_);
  nodes_ = nullptr;
  length_ = handed_out_ = 0;
  if (count == 0) return true;
  // calloc: all-zero bytes are an unreached node, and large zeroed blocks come straight from
  // the system, so only the pages a search touches cost anything.
  nodes_ = static_cast<Node*>(std::calloc(count, sizeof(Node)));
  if (!nodes_) return false;
  length_ = count;
  return true;
}

Node* NodeFactory::take_node(size_t cell, int32_t x, int32_t y) {
  Node* node = nodes_ + cell;
  node->x = x;
  node->y = y;
  ++handed_out_;
  return node;
}

void NodeFactory::reset() {
  if (nodes_) std::memset(static_cast<void*>(nodes_), 0, length_ * sizeof(Node));
  handed_out_ = 0;
}

// ---- Open list ------------------------------------------------------------------------------

namespace {
constexpr size_t kArity = 4;
}

FixedDeque<Node*>::~FixedDeque() { std::free(entries_); }

bool FixedDeque<Node*>::resize(size_t capacity) {
  std::free(entries_);
  entries_ = nullptr;
  capacity_ = size_ = 0;
  next_entry_ = 0;
  if (capacity == 0) return true;
  // Not zeroed: only the part the search fills is ever touched.
  entries_ = static_cast<Entry*>(std::malloc(capacity * sizeof(Entry)));
  if (!entries_) return false;
  capacity_ = capacity;
  return true;
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
  std::sort(entries_, entries_ + size_,
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

bool FixedDeque<Node*>::insert(Node* node) {
  if (size_ >= capacity_) return false;
  Entry entry{next_key(node->f), node};
  move_up(size_++, entry);
  return true;
}

void FixedDeque<Node*>::reposition(Node* node) {
  // next_key may renumber the list, which moves entries: read the place afterwards.
  uint64_t key = next_key(node->f);
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

float map_value_to_cost(double value) {
  if (!(value > 0)) return BLOCKED_COST;  // NaN too
  if (value >= static_cast<double>(FLT_MAX)) return FLT_MAX;
  float c = static_cast<float>(value);
  return c > 0 ? c : FLT_TRUE_MIN;
}

namespace {

template <typename T>
float fill_cost_grid(float* grid, const T* map, size_t cells) {
  float largest = 0;
  for (size_t i = 0; i < cells; ++i) {
    float c = map_value_to_cost(static_cast<double>(map[i]));
    grid[i] = c;
    if (c > largest) largest = c;
  }
  if (largest > 0) {
    for (size_t i = 0; i < cells; ++i) {
      if (grid[i] != BLOCKED_COST) grid[i] = grid[i] / largest + 1.0f;
    }
  }
  return largest;
}

bool inside(int32_t x, int32_t y, int32_t width, int32_t height) {
  return x >= 0 && x < width && y >= 0 && y < height;
}

float clamp_weight(float weight) {
  if (std::isnan(weight)) return 1;
  return std::max(0.0f, std::min(weight, 1.0f));
}

}  // namespace

Planner::~Planner() {
  open_list.clear(pool);
  closed_table.clear(pool);
  delete[] cost_grid;
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
  delete[] cost_grid;
  cost_grid = new (std::nothrow) float[cells];
  if (!cost_grid) return false;
  float largest = c.map ? fill_cost_grid(cost_grid, c.map, cells)
                        : fill_cost_grid(cost_grid, c.int_map, cells);
  if (!(largest > 0)) return false;

  if (!pool.resize(cells) || !open_list.resize(cells)) {
    pool.resize(0);
    open_list.resize(0);
    return false;
  }
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
  if (pool_used_) pool.reset();
  pool_used_ = true;
  counts = SearchCounts();
  const PlannerConfiguration& c = configuration;
  Node* start = pool.take_node(
      static_cast<size_t>(c.start_y) * static_cast<size_t>(c.width) + static_cast<size_t>(c.start_x),
      c.start_x, c.start_y);
  start->parent = nullptr;
  start->g = 0;
  start->f = 0;  // alone in the list: never compared
  open_list.insert(start);
}

inline void AStarPlanner::visit(Node* current, size_t cell, int32_t x, int32_t y) {
  const float cost = cost_grid[cell];
  if (cost == BLOCKED_COST) return;
  const float g = current->g + cost;
  const int32_t h = std::abs(configuration.goal_x - x) + std::abs(configuration.goal_y - y);
  const float f = g + configuration.weight * (static_cast<float>(h) - g);
  Node* node = pool.nodes() + cell;
  const uint32_t place = node->place;
  if (place == NODE_UNREACHED) {
    node = pool.take_node(cell, x, y);
    node->parent = current;
    node->g = g;
    node->f = f;
    open_list.insert(node);
  } else if (node->g > g) {
    node->parent = current;
    node->g = g;
    node->f = f;
    if (place == NODE_CLOSED) {
      closed_table.erase(node);
      open_list.insert(node);
      ++counts.reopened;
    } else {
      open_list.reposition(node);
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
    const int32_t x = current->x, y = current->y;
    if (x == goal_x && y == goal_y) {
      closed_table.insert(current);
      finished = 1;
      result_node = current;
      return true;
    }
    const size_t cell = static_cast<size_t>(y) * row + static_cast<size_t>(x);
    if (y > 0) visit(current, cell - row, x, y - 1);
    if (x + 1 < width) visit(current, cell + 1, x + 1, y);
    if (x > 0) visit(current, cell - 1, x - 1, y);
    if (y + 1 < height) visit(current, cell + row, x, y + 1);
    closed_table.insert(current);
  }
  finished = 1;
  return true;
}

}  // namespace qrn
