// Grid path planner internals: the node pool, the open list, the closed table and the
// weighted A* planner behind find_path. Only find_path and the tests use these.
//
// The search is O(n log n) in the cells it reaches. Every cell owns one node, at the cell's
// own index in one contiguous pool, and the node records whether it is unreached, in the open
// list (and where) or in the closed table, so finding a cell's node anywhere is one look-up.
// The open list is a binary heap ordered by (f, entry number): the smallest f is taken first
// and among equal f the node that entered or re-entered the list first. That is exactly the
// order of a list kept sorted by f with each node inserted in front of its equals, so the
// paths are the same as those of that plainer (quadratic) arrangement.
//
// Memory per cell of the map: 4 bytes of cost grid, 12 bytes of node pool and 16 bytes of
// open-list capacity (32 bytes; a 1024 x 1024 map reserves 32 MiB). Configuration reads the
// map once for its largest value and writes nothing per cell: costs are worked out as the
// search enters cells, and a node is set up when its cell's cost is, so only the cost grid
// must start cleared and only what a search touches is ever written.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>

#include "platform/memory.h"

namespace qrn {

// count elements from the memory service (zero-filled or not), given back to the service
// they came from. Element types must be trivial.
template <typename T>
class WorkArray {
 public:
  WorkArray() = default;
  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;
  ~WorkArray() { reset(0, false); }

  // Gives the old block back and takes one of count elements; false (and nothing) when the
  // memory cannot be had.
  bool reset(size_t count, bool zeroed) {
    if (data_) from_->release(data_, count_ * sizeof(T));
    data_ = nullptr;
    count_ = 0;
    if (count == 0) return true;
    if (count > SIZE_MAX / sizeof(T)) return false;
    from_ = &os_memory();
    void* block = zeroed ? from_->allocate_zeroed(count * sizeof(T))
                         : from_->allocate(count * sizeof(T));
    if (!block) return false;
    data_ = static_cast<T*>(block);
    count_ = count;
    return true;
  }
  T* data() const { return data_; }
  size_t size() const { return count_; }
  T& operator[](size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  size_t count_ = 0;
  MemoryService* from_ = nullptr;
};

// One cell reached by the search. Node i of the pool is cell i (x + y * W), so the cell is
// not stored; the parent is stored as its cell. The ordering value f is kept where it is
// compared, in the node's open-list entry.
struct Node {
  uint32_t parent;  // cell of the node this one was reached from; NO_PARENT for the start
  uint32_t place;   // NODE_UNREACHED, NODE_CLOSED, or NODE_OPEN_AT + position in the open list
  float g;          // cost of the best known way from the start
};

enum : uint32_t { NODE_UNREACHED = 0, NODE_CLOSED = 1, NODE_OPEN_AT = 2 };
constexpr uint32_t NO_PARENT = UINT32_MAX;

// The pool of nodes, allocated once per configuration: node i belongs to cell i, so a cell's
// node is found without searching. The pool is not cleared: a node becomes valid (unreached)
// when the search first works out its cell's cost, so a call clears 4 bytes per cell (the
// cost grid) instead of 16.
class NodeFactory {
 public:
  NodeFactory() = default;
  NodeFactory(const NodeFactory&) = delete;
  NodeFactory& operator=(const NodeFactory&) = delete;
  virtual ~NodeFactory() = default;

  // Frees the old pool and allocates count nodes; false (and no pool) when the memory
  // cannot be had.
  bool resize(size_t count);
  // The node of a cell, handed out: it is counted until given back.
  Node* take_node(size_t cell) {
    ++handed_out_;
    return nodes_.data() + cell;
  }
  void give_back(size_t count) { handed_out_ -= count < handed_out_ ? count : handed_out_; }

  Node* nodes() const { return nodes_.data(); }
  size_t length() const { return nodes_.size(); }
  size_t handed_out() const { return handed_out_; }
  size_t cell_of(const Node* node) const { return static_cast<size_t>(node - nodes_.data()); }

 private:
  WorkArray<Node> nodes_;
  size_t handed_out_ = 0;
};

template <typename T>
class FixedDeque;

// The open list: a fixed-capacity binary min-heap of node pointers keyed by (f, entry number).
// back() is the node taken next. Each insertion, first or again, takes a fresh entry number.
template <>
class FixedDeque<Node*> {
 public:
  FixedDeque() = default;
  FixedDeque(const FixedDeque&) = delete;
  FixedDeque& operator=(const FixedDeque&) = delete;
  virtual ~FixedDeque() = default;

  // Empties the list and gives it room for capacity nodes; false (capacity 0) when the
  // memory cannot be had.
  bool resize(size_t capacity);
  size_t size() const { return size_; }
  size_t capacity() const { return entries_.size(); }
  bool is_empty() const { return size_ == 0; }
  // The node with the smallest (f, entry number).
  Node* back() const { return entries_[0].node; }
  // Removes back() and returns it (its place is left for the caller to set).
  Node* pop_back();
  // Adds a node with its ordering value f; false when the list is full.
  bool insert(Node* node, float f);
  // A node already in the list with a new f: it re-enters with a fresh entry number.
  void reposition(Node* node, float f);
  // Gives every node in the list back to the pool and empties it.
  void clear(NodeFactory& pool);

  // Entry numbers are 32-bit; when they reach the limit, the nodes in the list are numbered
  // again from 0 in their order, which keeps that order. Tests lower the limit.
  void set_entry_limit(uint32_t limit) { entry_limit_ = limit; }

 private:
  struct Entry {
    uint64_t key;  // bits of f (never negative, so they order as f does), then entry number
    Node* node;
  };

  uint64_t next_key(float f);
  void renumber();
  void move_up(size_t at, Entry entry);
  void move_down(size_t at, Entry entry);
  void put(size_t at, const Entry& entry) {
    entries_[at] = entry;
    entry.node->place = NODE_OPEN_AT + static_cast<uint32_t>(at);
  }

  WorkArray<Entry> entries_;
  size_t size_ = 0;
  uint32_t next_entry_ = 0;
  uint32_t entry_limit_ = UINT32_MAX;
};

// The closed table: the nodes whose place is NODE_CLOSED. Membership lives in the node, so
// insert, find and erase are one look-up each.
class NodeHashTable {
 public:
  virtual ~NodeHashTable() = default;

  void insert(Node* node) {
    if (node->place != NODE_CLOSED) ++count_;
    node->place = NODE_CLOSED;
  }
  bool holds(const Node* node) const { return node->place == NODE_CLOSED; }
  // Takes a node out of the table (it goes to the open list next).
  void erase(Node* node) {
    if (node->place == NODE_CLOSED) --count_;
    node->place = NODE_UNREACHED;
  }
  size_t size() const { return count_; }
  // Gives every node in the table back to the pool (the count; the nodes stay allocated).
  void clear(NodeFactory& pool) {
    pool.give_back(count_);
    count_ = 0;
  }

 private:
  size_t count_ = 0;
};

// What find_path hands the planner. Exactly one of map (doubles) and int_map (32-bit
// integers) is set, holding at least width * height elements, cell (x, y) at x + y * width.
// The map must stay as it is while the planner uses it: configuration finds its largest
// value, and the search reads the cells it reaches.
struct PlannerConfiguration {
  int32_t start_x = 0;
  int32_t start_y = 0;
  int32_t goal_x = 0;
  int32_t goal_y = 0;
  float weight = 1;  // clamped to 0 to 1
  int32_t width = 0;
  int32_t height = 0;
  const double* map = nullptr;
  const int32_t* int_map = nullptr;
};

// How much work the last search did.
struct SearchCounts {
  uint64_t expansions = 0;   // nodes taken from the open list
  uint64_t reopened = 0;     // closed nodes put back into the open list with a lower g
  uint64_t repositioned = 0; // open nodes given a lower g
};

// Value of a blocked cell in the cost grid.
constexpr float BLOCKED_COST = -1.0f;

// The map value of one cell as its single-precision value before scaling: NaN and values at
// or below 0 are blocked (BLOCKED_COST); values above the float range count as the largest
// float; a positive value too small for a float counts as the smallest positive float, so a
// positive value is always passable.
inline float map_value_to_cost(double value) {
  if (!(value > 0)) return BLOCKED_COST;  // NaN too
  if (value >= static_cast<double>(FLT_MAX)) return FLT_MAX;
  const float c = static_cast<float>(value);
  return c > 0 ? c : FLT_TRUE_MIN;
}

class Planner {
 public:
  Planner() = default;
  Planner(const Planner&) = delete;
  Planner& operator=(const Planner&) = delete;
  // Gives all nodes back and frees the cost grid, open list and pool.
  virtual ~Planner();

  // Checks the cells, finds the map's largest value M and sizes the cost grid, the pool and
  // the open list for W * H. False on bad cells, on a map without a passable cell, or when
  // the memory for the map's size cannot be had.
  bool configure(const PlannerConfiguration& configuration);
  // finished = 0, no result.
  virtual void start_search();
  // Runs the search to its end; true when it has ended.
  virtual bool search() = 0;
  // Gives every listed node back, empties both lists; no result, finished = 1.
  virtual void clear_search();

  // Cost of entering cell (x, y): c / M + 1 for a passable value c, else BLOCKED_COST.
  float cost_at(int32_t x, int32_t y) {
    return cost_of(static_cast<size_t>(y) * static_cast<size_t>(configuration.width) +
                   static_cast<size_t>(x));
  }
  // A node's cell and its parent (null for the start).
  int32_t x_of(const Node* node) const {
    return static_cast<int32_t>(pool.cell_of(node) % static_cast<size_t>(configuration.width));
  }
  int32_t y_of(const Node* node) const {
    return static_cast<int32_t>(pool.cell_of(node) / static_cast<size_t>(configuration.width));
  }
  Node* parent_of(const Node* node) const {
    return node->parent == NO_PARENT ? nullptr : pool.nodes() + node->parent;
  }

  uint8_t finished = 1;
  NodeFactory pool;
  PlannerConfiguration configuration;
  // W * H costs, each worked out when the search first reaches its cell (0: not yet; the
  // cell's node is valid only once it is).
  WorkArray<float> cost_grid;
  FixedDeque<Node*> open_list;
  NodeHashTable closed_table;
  Node* result_node = nullptr;  // the goal's node after a successful search
  SearchCounts counts;

 protected:
  float cost_of(size_t cell) {
    float cost = cost_grid[cell];
    if (cost == 0) {
      cost = cost_grid[cell] = scaled_cost(cell);
      if (cost != BLOCKED_COST) pool.nodes()[cell].place = NODE_UNREACHED;
    }
    return cost;
  }
  float scaled_cost(size_t cell) const;

  float largest_ = 0;       // M
  bool pool_used_ = false;  // the cost grid must be cleared before the next search
};

// Weighted A*: f = g + w * (h - g) with h the Manhattan distance to the goal; closed nodes
// reached again with a lower g are opened again.
class AStarPlanner : public Planner {
 public:
  // The base's, then the start node (g = 0, no parent) into the open list.
  void start_search() override;
  bool search() override;

 private:
  void visit(Node* current, uint32_t from, size_t cell, int32_t x, int32_t y);
};

}  // namespace qrn
