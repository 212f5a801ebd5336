// Arrays and data tables (see arrays.h). One template serves the four element types; the
// storage, shape and copy rules differ only in the allocation step and in how far re-shaping
// keeps text elements.
#include "core/arrays.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "core/text_commands.h"

namespace qrn {

namespace {

template <typename T>
constexpr bool kWideSteps = std::is_same<T, uint8_t>::value || std::is_same<T, RtString>::value;

// Bytes and texts grow in steps of 64 and allocate nothing for no elements; numbers grow in
// steps of 8 and always hold at least 8.
template <typename T>
int64_t storage_for(int64_t needed) {
  const int64_t step = kWideSteps<T> ? 64 : 8;
  if (needed == 0 && kWideSteps<T>) return 0;
  return needed / step * step + step;
}

template <typename T>
T* allocate_elements(int64_t n) {
  if (n > INT32_MAX) fatal_error(ERROR_OUT_OF_MEMORY);
  T* elements = new (std::nothrow) T[static_cast<size_t>(n)]();
  if (!elements) fatal_error(ERROR_OUT_OF_MEMORY);
  return elements;
}

int32_t at_least_one(int32_t size) { return size < 1 ? 1 : size; }

template <typename T>
void set_shape(RtArray<T>& a, int32_t i, int32_t j, int32_t k, int32_t l) {
  a.dim_i = std::max(0, i);
  a.dim_j = std::max(0, j);
  a.dim_k = std::max(0, k);
  a.dim_l = std::max(0, l);
  a.stride_j = a.dim_i;
  a.stride_k = a.dim_i * a.dim_j;
  a.stride_l = a.stride_k * a.dim_k;
  a.count = a.dim_i * at_least_one(a.dim_j) * at_least_one(a.dim_k) * at_least_one(a.dim_l);
  a.dimensions = a.dim_l ? 4 : a.dim_k ? 3 : a.dim_j ? 2 : a.dim_i > 0 ? 1 : 0;
}

void clear_element(RtString& text) { text = RtString(); }
template <typename T>
void clear_element(T& number) {
  number = 0;
}

void move_element(RtString& to, RtString& from) { to.swap(from); }
template <typename T>
void move_element(T& to, T& from) {
  to = from;
}

// Both halves of a failed access report: "[" + format_int (4, n) + "]" per used dimension.
RtString bracketed(const int32_t* values, int32_t used) {
  RtString text;
  for (int32_t d = 0; d < used; ++d) text.append("[" + format_int(4, values[d]) + "]");
  return text;
}

}  // namespace

template <typename T>
void RtArray<T>::release() noexcept {
  delete[] data;
  data = nullptr;
  stride_j = stride_k = stride_l = dim_i = dim_j = dim_k = dim_l = 0;
  count = dimensions = capacity = 0;
}

template <typename T>
void RtArray<T>::swap(RtArray& other) noexcept {
  std::swap(data, other.data);
  std::swap(stride_j, other.stride_j);
  std::swap(stride_k, other.stride_k);
  std::swap(stride_l, other.stride_l);
  std::swap(dim_i, other.dim_i);
  std::swap(dim_j, other.dim_j);
  std::swap(dim_k, other.dim_k);
  std::swap(dim_l, other.dim_l);
  std::swap(count, other.count);
  std::swap(dimensions, other.dimensions);
  std::swap(capacity, other.capacity);
}

template <typename T>
RtArray<T>::RtArray(const RtArray& other) {
  if (other.dim_i < 1) return;
  array_dim(*this, other.dim_i, other.dim_j, other.dim_k, other.dim_l);
  std::copy(other.data, other.data + other.count, data);
}

template <typename T>
RtArray<T>& RtArray<T>::operator=(const RtArray& other) {
  if (this != &other) {
    RtArray copy(other);
    swap(copy);
  }
  return *this;
}

template <typename T>
void report_bounds_error(const RtArray<T>& array, int32_t i, int32_t j, int32_t k, int32_t l) {
  const int32_t sizes[4] = {array.dim_i, array.dim_j, array.dim_k, array.dim_l};
  const int32_t indexes[4] = {i, j, k, l};
  int32_t used = 1;
  while (used < 4 && sizes[used] > 0) ++used;
  RtString bounds = "bounds: " + bracketed(sizes, used) + "\n";
  RtString access = "access: " + bracketed(indexes, used) + "\n";
  debug_output(bounds);
  debug_output(access);
  print_stderr(bounds);
  print_stderr(access);
}

template <typename T>
void array_access_failed(const RtArray<T>& array, int32_t i, int32_t j, int32_t k, int32_t l) {
  report_bounds_error(array, i, j, k, l);
  fatal_error(ERROR_OUT_OF_BOUNDS);
}

template <typename T>
void array_dim(RtArray<T>& array, int32_t i, int32_t j, int32_t k, int32_t l) {
  int64_t needed = static_cast<int64_t>(std::max(0, i)) * at_least_one(j) * at_least_one(k) *
                   at_least_one(l);
  if (needed > INT32_MAX) fatal_error(ERROR_OUT_OF_MEMORY);
  if (array.capacity < needed || i < 1) {
    int64_t size = storage_for<T>(needed);
    T* fresh = size ? allocate_elements<T>(size) : nullptr;
    delete[] array.data;
    array.data = fresh;
    array.capacity = static_cast<int32_t>(size);
  }
  set_shape(array, i, j, k, l);
  for (int32_t x = 0; x < array.count; ++x) clear_element(array.data[x]);
}

// Copies (moves: the old storage is released right after) every element whose indexes fit
// both shapes into a freshly dimensioned array, which then takes the old one's place.
template <typename T>
void array_redim(RtArray<T>& array, int32_t i, int32_t j, int32_t k, int32_t l) {
  if (i < 1) {
    set_shape(array, 0, 0, 0, 0);
    return;
  }
  RtArray<T> fresh;
  array_dim(fresh, i, j, k, l);
  const bool all_four = !std::is_same<T, RtString>::value;
  const int32_t ni = std::min(array.dim_i, fresh.dim_i);
  const int32_t nj = std::min(at_least_one(array.dim_j), at_least_one(fresh.dim_j));
  const int32_t nk = all_four ? std::min(at_least_one(array.dim_k), at_least_one(fresh.dim_k)) : 1;
  const int32_t nl = all_four ? std::min(at_least_one(array.dim_l), at_least_one(fresh.dim_l)) : 1;
  for (int32_t dl = 0; dl < nl; ++dl) {
    for (int32_t dk = 0; dk < nk; ++dk) {
      for (int32_t dj = 0; dj < nj; ++dj) {
        T* from = array.data + dj * array.stride_j + dk * array.stride_k + dl * array.stride_l;
        T* to = fresh.data + dj * fresh.stride_j + dk * fresh.stride_k + dl * fresh.stride_l;
        for (int32_t di = 0; di < ni; ++di) move_element(to[di], from[di]);
      }
    }
  }
  array.swap(fresh);
}

template <typename T>
int32_t array_bounds(const RtArray<T>& array, int32_t dimension) {
  switch (dimension) {
    case 0: return array.dim_i;
    case 1: return array.dim_j;
    case 2: return array.dim_k;
    case 3: return array.dim_l;
    default: return 0;
  }
}

template <typename T>
void array_push(RtArray<T>& array, const T& value) {
  if (array.dim_j != 0) fatal_error(ERROR_PUSH_MULTI_DIM);
  T copy(value);  // the value may be an element of this very array
  int32_t at = array.dim_i;
  if (at + 1 < array.capacity) {
    set_shape(array, at + 1, 0, 0, 0);
  } else {
    array_redim(array, at + 1);
  }
  move_element(array.data[at], copy);
}

#define QRN_ARRAY_INSTANCES(T)                                                                \
  template class RtArray<T>;                                                                  \
  template void report_bounds_error(const RtArray<T>&, int32_t, int32_t, int32_t, int32_t);  \
  template void array_access_failed(const RtArray<T>&, int32_t, int32_t, int32_t, int32_t);  \
  template void array_dim(RtArray<T>&, int32_t, int32_t, int32_t, int32_t);                  \
  template void array_redim(RtArray<T>&, int32_t, int32_t, int32_t, int32_t);                \
  template int32_t array_bounds(const RtArray<T>&, int32_t);                                 \
  template void array_push(RtArray<T>&, const T&);
QRN_ARRAY_INSTANCES(int32_t)
QRN_ARRAY_INSTANCES(double)
QRN_ARRAY_INSTANCES(uint8_t)
QRN_ARRAY_INSTANCES(RtString)
#undef QRN_ARRAY_INSTANCES

// ---- Sorting and splitting ------------------------------------------------------------------

namespace {

int byte_order(const char* a, const char* b) { return compare_text(a, b); }

// Three-way partition around the last element after a median-of-three choice moved it there:
// runs of equal texts and already sorted ranges cost no more than random ones. Recursion
// takes the smaller side and the loop the larger, so the stack stays below log2(n) frames.
void quicksort(RtString* a, ptrdiff_t lo, ptrdiff_t hi, TextCompare compare) {
  while (hi > lo) {
    ptrdiff_t mid = lo + (hi - lo) / 2;
    if (compare(a[mid].data, a[lo].data) < 0) a[mid].swap(a[lo]);
    if (compare(a[hi].data, a[lo].data) < 0) a[hi].swap(a[lo]);
    if (compare(a[mid].data, a[hi].data) < 0) a[mid].swap(a[hi]);  // the median is now at hi
    // [lo, less) < pivot, [less, at) == pivot, (greater, hi) > pivot; the pivot waits at hi.
    ptrdiff_t less = lo, at = lo, greater = hi - 1;
    while (at <= greater) {
      int order = compare(a[at].data, a[hi].data);
      if (order < 0) {
        if (at != less) a[at].swap(a[less]);
        ++less;
        ++at;
      } else if (order > 0) {
        a[at].swap(a[greater--]);
      } else {
        ++at;
      }
    }
    if (greater + 1 != hi) a[greater + 1].swap(a[hi]);  // the pivot joins the equal run
    ptrdiff_t left_end = less - 1, right_begin = greater + 2;
    if (left_end - lo < hi - right_begin) {
      quicksort(a, lo, left_end, compare);
      lo = right_begin;
    } else {
      quicksort(a, right_begin, hi, compare);
      hi = left_end;
    }
  }
}

}  // namespace

void array_sort(RtString* first, RtString* last, TextCompare compare) {
  if (!first || !last || last <= first) return;
  quicksort(first, 0, last - first, compare ? compare : byte_order);
}

int32_t split_text(const RtString& text, RtArray<RtString>& target, const RtString& separators,
                   int32_t skip_empty) {
  array_redim(target, 0);
  const RtString copy(text);  // the text may be an element of the target
  bool is_separator[256] = {};
  for (uint32_t s = 0; s < separators.length; ++s)
    is_separator[static_cast<unsigned char>(separators.data[s])] = true;
  auto separator_at = [&](uint32_t at) { return is_separator[static_cast<unsigned char>(copy.data[at])]; };
  const uint32_t n = copy.length;
  uint32_t p = 0;
  while (true) {
    if (skip_empty) {
      while (p < n && separator_at(p)) ++p;
    }
    uint32_t q = p;
    while (q < n && !separator_at(q)) ++q;
    if (q >= n) {
      if (p < n) array_push(target, mid_text(copy, static_cast<int32_t>(p), static_cast<int32_t>(n - p)));
      break;
    }
    if (q > p || !skip_empty)
      array_push(target, mid_text(copy, static_cast<int32_t>(p), static_cast<int32_t>(q - p)));
    p = q + 1;
  }
  return target.dim_i;
}

// ---- Data tables ----------------------------------------------------------------------------

void set_data_table(DataTable& table) {
  table.position = 0;
  g_runtime.data_table = &table;
}

namespace {

// The current table's next item; fatal error 20 when there is none.
const DataItem& next_item() {
  DataTable* table = g_runtime.data_table;
  if (!table || !table->items || table->position < 0 || table->position >= table->count)
    fatal_error(ERROR_OUT_OF_DATA);
  return table->items[table->position++];
}

}  // namespace

void read_data_int(int32_t& target) {
  const DataItem& item = next_item();
  if (item.text) {
    target = text_to_int(item.text);
  } else {
    // Truncated toward zero; out-of-range numbers take the nearest 32-bit value.
    double n = item.number;
    target = !(n == n) ? 0 : n >= 2147483647.0 ? INT32_MAX : n <= -2147483648.0 ? INT32_MIN
                                                                                : static_cast<int32_t>(n);
  }
}

void read_data_double(double& target) {
  const DataItem& item = next_item();
  target = item.text ? text_to_double(item.text) : item.number;
}

void read_data_text(RtString& target) {
  const DataItem& item = next_item();
  target = item.text ? RtString(item.text) : double_to_text(item.number);
}

}  // namespace qrn
