// Arrays and data tables. RtArray<T> is the runtime's array of up to four dimensions of
// int32_t, double, uint8_t or RtString elements (one implementation, instantiated for those four),
// with every element access checked against the bounds; a failed access prints a report and
// ends the program with error 9. Data tables are constant lists read one item after the other.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

template <typename T>
class RtArray;

// The report of a failed access: "bounds: [  10][   5]" and "access: [  12][   3]" lines on
// the debugger channel and standard error.
template <typename T>
void report_bounds_error(const RtArray<T>& array, int32_t i, int32_t j, int32_t k, int32_t l);
// The report, then fatal error 9.
template <typename T>
[[noreturn]] void array_access_failed(const RtArray<T>& array, int32_t i, int32_t j, int32_t k,
                                      int32_t l);

template <typename T>
class RtArray {
 public:
  T* data = nullptr;       // element storage, owned; null when nothing was allocated
  int32_t stride_j = 0;    // dim_i
  int32_t stride_k = 0;    // dim_i * dim_j
  int32_t stride_l = 0;    // dim_i * dim_j * dim_k
  int32_t dim_i = 0;       // 0: no elements
  int32_t dim_j = 0;       // 0 when the array has fewer dimensions
  int32_t dim_k = 0;
  int32_t dim_l = 0;
  int32_t count = 0;       // dim_i * max(1, dim_j) * max(1, dim_k) * max(1, dim_l)
  int32_t dimensions = 0;  // 0 to 4
  int32_t capacity = 0;    // elements allocated at data

  RtArray() = default;
  RtArray(const RtArray& other);  // deep copy of shape and elements
  RtArray(RtArray&& other) noexcept { swap(other); }
  RtArray& operator=(const RtArray& other);
  RtArray& operator=(RtArray&& other) noexcept {
    RtArray gone;
    gone.swap(other);
    swap(gone);
    return *this;
  }
  ~RtArray() { release(); }

  // One index: a negative i counts from the end (-1 is the last element of the first row).
  T& operator()(int32_t i) { return data[checked_index(i)]; }
  const T& operator()(int32_t i) const { return data[checked_index(i)]; }
  // Several indexes; a dimension of size 0 takes any index that is not negative.
  T& operator()(int32_t i, int32_t j, int32_t k = 0, int32_t l = 0) {
    return data[checked_index(i, j, k, l)];
  }
  const T& operator()(int32_t i, int32_t j, int32_t k = 0, int32_t l = 0) const {
    return data[checked_index(i, j, k, l)];
  }

  // Frees the storage; every field becomes 0.
  void release() noexcept;
  void swap(RtArray& other) noexcept;

 private:
  static bool fits(int32_t index, int32_t size) { return index >= 0 && (size == 0 || index < size); }
  // A dimension of size 0 moves nothing (its stride counts as 0), so any index into it stays
  // inside the storage; a dimension that exists moves by its stride.
  static int32_t step(int32_t index, int32_t size, int32_t stride) { return size == 0 ? 0 : index * stride; }
  int32_t checked_index(int32_t i) const {
    int32_t at = i < 0 ? dim_i + i : i;
    if (!data || at < 0 || at >= dim_i) array_access_failed(*this, i, 0, 0, 0);
    return at;
  }
  int32_t checked_index(int32_t i, int32_t j, int32_t k, int32_t l) const {
    if (!data || i < 0 || i >= dim_i || !fits(j, dim_j) || !fits(k, dim_k) || !fits(l, dim_l))
      array_access_failed(*this, i, j, k, l);
    return i + step(j, dim_j, stride_j) + step(k, dim_k, stride_k) + step(l, dim_l, stride_l);
  }
};

// New dimensions (missing sizes 0); every element becomes 0 or the empty text. Storage grows
// to (needed rounded down to a multiple of 8) + 8 elements for numbers, 64 for bytes and texts.
template <typename T>
void array_dim(RtArray<T>& array, int32_t i, int32_t j = 0, int32_t k = 0, int32_t l = 0);
// New dimensions keeping the elements whose indexes fit both shapes (texts: the first two
// dimensions only). i < 1 empties the array but keeps its storage.
template <typename T>
void array_redim(RtArray<T>& array, int32_t i, int32_t j = 0, int32_t k = 0, int32_t l = 0);
// Size of dimension 0 to 3; 0 for any other number.
template <typename T>
int32_t array_bounds(const RtArray<T>& array, int32_t dimension);
// Appends a last element to a one-dimensional array; fatal error 8 on more dimensions.
template <typename T>
void array_push(RtArray<T>& array, const T& value);

// array_dim (n), then element x = values[x].
template <typename T, typename U>
void array_fill_list(RtArray<T>& array, int32_t n, const U* values) {
  array_dim(array, n);
  for (int32_t x = 0; x < n; ++x) array.data[x] = values[x];
}

// Negative, zero or positive, as strcmp (strcasecmp fits too).
using TextCompare = int (*)(const char*, const char*);
// Sorts first..last (inclusive) ascending with compare, or byte order without one. Equal
// elements may change places. Quicksort with the stack bounded by recursing on the smaller side.
void array_sort(RtString* first, RtString* last, TextCompare compare = nullptr);
// Cuts text at every byte of separators into target; returns the element count.
int32_t split_text(const RtString& text, RtArray<RtString>& target, const RtString& separators,
                   int32_t skip_empty);

// ---- Data tables ----------------------------------------------------------------------------
struct DataItem {
  double number;
  const char* text;  // not null: a text item
};

struct DataTable {
  const DataItem* items;
  int32_t count;
  int32_t position;  // next item to read
};

// Makes the table current and rewinds it.
void set_data_table(DataTable& table);
// The current table's next item; past its end, or without a table, fatal error 20.
void read_data_int(int32_t& target);
void read_data_double(double& target);
void read_data_text(RtString& target);

}  // namespace qrn
