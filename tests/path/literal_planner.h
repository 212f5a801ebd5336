// The reference the planner is checked against: the weighted A* search over plain structures
// taken literally (a sorted ring buffer as the open list with a linear scan for a cell, a
// closed table of 256 chains, a pool of separately allocated nodes). Slow on purpose; it
// defines the paths. Header-only so the tests and the benchmark share it.
#pragma once

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace literal {

struct Node {
  Node* parent = nullptr;
  int32_t x = 0, y = 0;
  float f = 0, g = 0;
  Node* next = nullptr;
};

class NodeFactory {
 public:
  ~NodeFactory() { resize(0); }
  void resize(size_t n) {
    for (Node* node : pool_) delete node;
    pool_.clear();
    for (size_t i = 0; i < n; ++i) pool_.push_back(new Node);
    used_ = 0;
  }
  Node* take_node() { return used_ < pool_.size() ? pool_[used_++] : nullptr; }
  void give_back() { if (used_) --used_; }
  size_t used() const { return used_; }

 private:
  std::vector<Node*> pool_;
  size_t used_ = 0;
};

// Ring buffer with a fixed capacity; inserting or erasing inside rebuilds it into the spare
// buffer, front at 0.
template <typename T>
class FixedDeque {
 public:
  void resize(size_t capacity) {
    buffer_.assign(capacity, T());
    spare_.assign(capacity, T());
    capacity_ = capacity;
    front_ = back_ = 0;
    empty_ = true;
  }
  size_t size() const {
    if (empty_) return 0;
    return back_ > front_ ? back_ - front_ : back_ + capacity_ - front_;
  }
  bool is_empty() const { return empty_; }
  T& at(size_t i) { return buffer_[(front_ + i) % capacity_]; }
  T& back() { return buffer_[(back_ + capacity_ - 1) % capacity_]; }
  bool push_back(T value) {
    if (!capacity_ || (!empty_ && front_ == back_)) return false;
    buffer_[back_] = value;
    back_ = (back_ + 1) % capacity_;
    empty_ = false;
    return true;
  }
  bool push_front(T value) {
    if (!capacity_ || (!empty_ && front_ == back_)) return false;
    front_ = (front_ + capacity_ - 1) % capacity_;
    buffer_[front_] = value;
    empty_ = false;
    return true;
  }
  void pop_back() {
    if (empty_) return;
    back_ = (back_ + capacity_ - 1) % capacity_;
    empty_ = front_ == back_;
  }
  void pop_front() {
    if (empty_) return;
    front_ = (front_ + 1) % capacity_;
    empty_ = front_ == back_;
  }
  bool insert_at(size_t index, T value) {
    size_t n = size();
    if (n == capacity_) return false;
    if (index == 0) return push_front(value);
    if (index >= n) return push_back(value);
    for (size_t i = 0, o = 0; i <= n; ++i) spare_[i] = i == index ? value : at(o++);
    buffer_.swap(spare_);
    front_ = 0;
    back_ = (n + 1) % capacity_;
    empty_ = false;
    return true;
  }
  void erase_at(size_t index) {
    size_t n = size();
    if (index >= n) return;
    if (index == 0) return pop_front();
    if (index == n - 1) return pop_back();
    for (size_t i = 0, o = 0; i < n; ++i) {
      if (i != index) spare_[o++] = at(i);
    }
    buffer_.swap(spare_);
    front_ = 0;
    back_ = n - 1;
    empty_ = false;
  }

 private:
  std::vector<T> buffer_, spare_;
  size_t capacity_ = 0, front_ = 0, back_ = 0;
  bool empty_ = true;
};

class NodeHashTable {
 public:
  static size_t bucket(int32_t x, int32_t y) { return (x & 15) | ((y & 15) << 4); }
  void insert(Node* node) {
    Node*& head = heads_[bucket(node->x, node->y)];
    for (Node* n = head; n; n = n->next) {
      if (n == node) return;
    }
    node->next = head;
    head = node;
  }
  Node* find(int32_t x, int32_t y) {
    found_link_ = &heads_[bucket(x, y)];
    for (Node* n = *found_link_; n; found_link_ = &n->next, n = n->next) {
      if (n->x == x && n->y == y) return n;
    }
    found_link_ = nullptr;
    return nullptr;
  }
  void erase_found() {
    if (found_link_ && *found_link_) *found_link_ = (*found_link_)->next;
    found_link_ = nullptr;
  }
  void clear(NodeFactory& pool) {
    for (Node*& head : heads_) {
      for (Node* n = head; n; n = n->next) pool.give_back();
      head = nullptr;
    }
  }

 private:
  Node* heads_[256] = {};
  Node** found_link_ = nullptr;
};

struct Result {
  std::vector<int32_t> xs, ys;  // the path, start first; empty: none
  bool configured = false;
  bool finished = true;         // false when the deadline stopped the search
  uint64_t expansions = 0;
  uint64_t reopened = 0;
};

// The search over a double map of width x height (cell x + y * width).
class AStarPlanner {
 public:
  bool configure(const double* map, int32_t width, int32_t height, double weight, int32_t sx,
                 int32_t sy, int32_t gx, int32_t gy) {
    if (sx < 0 || sx >= width || sy < 0 || sy >= height || gx < 0 || gx >= width || gy < 0 ||
        gy >= height || (sx == gx && sy == gy))
      return false;
    size_t cells = static_cast<size_t>(width) * height;
    cost_.assign(cells, 0);
    float largest = 0;
    for (size_t i = 0; i < cells; ++i) {
      float c = static_cast<float>(map[i]);
      cost_[i] = c <= 0 ? -1 : c;
      if (c > largest) largest = c;
    }
    if (!(largest > 0)) return false;
    for (float& c : cost_) {
      if (c != -1) c = c / largest + 1;
    }
    pool_.resize(cells);
    open_.resize(cells);
    w_ = std::isnan(weight) ? 1.0f : static_cast<float>(std::fmax(0, std::fmin(weight, 1)));
    width_ = width;
    height_ = height;
    sx_ = sx, sy_ = sy, gx_ = gx, gy_ = gy;
    return true;
  }

  // Runs the search; a limit on processor time (checked every 1024 expansions) can stop it
  // unfinished.
  void search(Result& out, double seconds = 0) {
    const std::clock_t stop = std::clock() + static_cast<std::clock_t>(seconds * CLOCKS_PER_SEC);
    Node* start = pool_.take_node();
    start->parent = nullptr;
    start->x = sx_, start->y = sy_;
    start->g = 0;
    open_.push_back(start);
    Node* result = nullptr;
    while (!open_.is_empty()) {
      if (seconds > 0 && (out.expansions & 1023) == 0 && std::clock() > stop) {
        out.finished = false;
        return;
      }
      Node* current = open_.back();
      open_.pop_back();
      ++out.expansions;
      if (current->x == gx_ && current->y == gy_) {
        closed_.insert(current);
        result = current;
        break;
      }
      const int32_t dx[4] = {0, 1, -1, 0}, dy[4] = {-1, 0, 0, 1};
      for (int d = 0; d < 4; ++d) {
        int32_t nx = current->x + dx[d], ny = current->y + dy[d];
        if (nx < 0 || nx >= width_ || ny < 0 || ny >= height_) continue;
        float cost = cost_[static_cast<size_t>(ny) * width_ + nx];
        if (cost == -1) continue;
        float g = current->g + cost;
        int32_t h = std::abs(gx_ - nx) + std::abs(gy_ - ny);
        float f = g + w_ * (h - g);
        if (Node* closed = closed_.find(nx, ny)) {
          if (closed->g > g) {
            closed_.erase_found();
            closed->parent = current, closed->g = g, closed->f = f;
            insert_open(closed);
            ++out.reopened;
          }
          continue;
        }
        size_t found = open_.size();
        for (size_t i = open_.size(); i-- > 0;) {
          if (open_.at(i)->x == nx && open_.at(i)->y == ny) {
            found = i;
            break;
          }
        }
        if (found < open_.size()) {
          Node* open = open_.at(found);
          if (open->g > g) {
            open_.erase_at(found);
            open->parent = current, open->g = g, open->f = f;
            insert_open(open);
          }
          continue;
        }
        Node* fresh = pool_.take_node();
        fresh->x = nx, fresh->y = ny, fresh->parent = current, fresh->g = g, fresh->f = f;
        insert_open(fresh);
      }
      closed_.insert(current);
    }
    for (Node* n = result; n; n = n->parent) {
      out.xs.push_back(n->x);
      out.ys.push_back(n->y);
    }
    std::reverse(out.xs.begin(), out.xs.end());
    std::reverse(out.ys.begin(), out.ys.end());
  }

 private:
  // Sorted by f, largest at the front; a node goes in front of its equals.
  void insert_open(Node* node) {
    size_t lo = 0, hi = open_.size();
    while (lo < hi) {
      size_t mid = (lo + hi) / 2;
      if (open_.at(mid)->f > node->f) lo = mid + 1;
      else hi = mid;
    }
    open_.insert_at(lo, node);
  }

  std::vector<float> cost_;
  NodeFactory pool_;
  FixedDeque<Node*> open_;
  NodeHashTable closed_;
  float w_ = 1;
  int32_t width_ = 0, height_ = 0, sx_ = 0, sy_ = 0, gx_ = 0, gy_ = 0;
};

// One search of a double map; seconds > 0 bounds its time.
inline Result find_path(const double* map, int32_t width, int32_t height, double weight,
                        int32_t sx, int32_t sy, int32_t gx, int32_t gy, double seconds = 0) {
  Result out;
  AStarPlanner planner;
  out.configured = planner.configure(map, width, height, weight, sx, sy, gx, gy);
  if (out.configured) planner.search(out, seconds);
  return out;
}

}  // namespace literal
