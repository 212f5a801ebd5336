// Text values: storage, growth, assignment, appending, concatenation and the number texts.
// Every operation keeps the text valid when an allocation fails (std::bad_alloc leaves the
// old buffer in place).
#include "core/text_value.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qrn {

char EMPTY_TEXT_BUFFER[1] = {0};

namespace {

uint32_t c_length(const char* text) { return text ? static_cast<uint32_t>(std::strlen(text)) : 0; }

char* allocate_bytes(uint32_t size) {
  char* bytes = static_cast<char*>(std::malloc(size));
  if (!bytes) throw std::bad_alloc();
  return bytes;
}

// Bytes usable in a block from malloc; without a way to ask, just the capacity's worth.
size_t block_size(const char* block) {
#if defined(__GLIBC__)
  return malloc_usable_size(const_cast<char*>(block));
#else
  (void)block;
  return 0;
#endif
}

}  // namespace

// The smallest multiple of 16 strictly greater than n + 1.
uint32_t text_growth_size(uint32_t n) { return ((n + 1) & ~15u) + 16; }

RtString text_from_bytes(const void* bytes, uint32_t count) {
  RtString text;
  if (count == 0) return text;
  text.reserve(count, false);
  std::memcpy(text.data, bytes, count);
  text.data[count] = 0;
  text.length = count;
  return text;
}

RtString::RtString(const char* text) : RtString() {
  uint32_t len = c_length(text);
  if (len == 0) return;
  reserve(len, false);
  std::memcpy(data, text, len);
  data[len] = 0;
  length = len;
}

RtString::RtString(const RtString& other) : RtString() {
  if (other.length == 0) return;
  reserve(other.length, false);
  std::memcpy(data, other.data, other.length + 1);
  length = other.length;
}

RtString::RtString(RtString&& other) noexcept : RtString() { swap(other); }

RtString::RtString(int32_t value) : RtString(int_to_text(value)) {}
RtString::RtString(int64_t value) : RtString(int64_to_text(value)) {}
RtString::RtString(float value) : RtString(double_to_text(static_cast<double>(value))) {}
RtString::RtString(double value) : RtString(double_to_text(value)) {}

// Behaves like assign: an empty source, or one that fits the buffer already owned, is
// copied so the target keeps its capacity; otherwise the source's buffer is taken over.
RtString& RtString::operator=(RtString&& other) noexcept {
  if (this == &other) return *this;
  if (other.length == 0 || capacity >= other.length + 1) {
    if (data != EMPTY_TEXT_BUFFER) {
      std::memcpy(data, other.data, other.length + 1);
      length = other.length;
    }
    return *this;
  }
  RtString gone;
  gone.swap(other);
  swap(gone);
  return *this;
}

void RtString::swap(RtString& other) noexcept {
  char* d = data;
  uint32_t c = capacity, l = length;
  data = other.data;
  capacity = other.capacity;
  length = other.length;
  other.data = d;
  other.capacity = c;
  other.length = l;
}

void RtString::release() noexcept {
  if (data != EMPTY_TEXT_BUFFER) std::free(data);
  data = EMPTY_TEXT_BUFFER;
  capacity = 0;
  length = 0;
}

// The capacity follows the 16-byte growth rule exactly, but a text that grows while holding
// bytes gets a block with room to spare (half again its size): later growth that fits the
// block only moves the capacity mark, so appending byte by byte costs amortised constant time
// instead of a copy of the whole text every 16 bytes.
void RtString::reserve(uint32_t n, bool keep) {
  if (n == 0 || capacity >= n + 1) return;
  if (n >= UINT32_MAX - 16) throw std::bad_alloc();
  uint32_t size = text_growth_size(n);
  bool growing = keep && length != 0;
  if (data != EMPTY_TEXT_BUFFER && block_size(data) >= size) {
    if (!growing) std::memset(data, 0, 4);
    capacity = size;
    if (!keep) length = 0;
    return;
  }
  if (growing) {
    size_t spare = static_cast<size_t>(capacity) + capacity / 2;
    size_t block = spare > size && spare < UINT32_MAX ? spare : size;
    char* bytes = static_cast<char*>(std::realloc(data, block));  // keeps the old block on failure
    if (!bytes) throw std::bad_alloc();
    data = bytes;
    capacity = size;
    return;
  }
  char* bytes = allocate_bytes(size);
  std::memset(bytes, 0, 4);
  if (data != EMPTY_TEXT_BUFFER) std::free(data);
  data = bytes;
  capacity = size;
  if (!keep) length = 0;  // the old bytes are gone; never let length point past the terminator
}

char* RtString::writable_buffer(uint32_t n) {
  reserve(n, true);
  return data;
}

void RtString::recount_length() noexcept {
  if (data == EMPTY_TEXT_BUFFER || capacity == 0) {
    length = 0;
    return;
  }
  const void* end = std::memchr(data, 0, capacity);
  if (end) {
    length = static_cast<uint32_t>(static_cast<const char*>(end) - data);
  } else {
    data[capacity - 1] = 0;
    length = capacity - 1;
  }
}

void RtString::truncate_text(int64_t n) noexcept {
  if (n >= 0 && n < static_cast<int64_t>(length)) {
    data[n] = 0;
    length = static_cast<uint32_t>(n);
  }
}

RtString& RtString::assign(const RtString& other) {
  if (data == other.data) return *this;
  if (other.length == 0) {
    if (data != EMPTY_TEXT_BUFFER) data[0] = 0;
    length = 0;
    return *this;
  }
  reserve(other.length, false);
  std::memcpy(data, other.data, other.length + 1);
  length = other.length;
  return *this;
}

// Built in a temporary first, so the C text may point into this text's own bytes.
RtString& RtString::assign(const char* text) {
  RtString fresh(text);
  swap(fresh);
  return *this;
}

RtString& RtString::append(const RtString& other) {
  uint32_t add = other.length;
  if (add == 0) return *this;
  if (length > UINT32_MAX - 17 - add) throw std::bad_alloc();
  reserve(length + add, true);
  // Read the source after growing: appending a text to itself reads the new buffer.
  std::memmove(data + length, other.data, add);
  length += add;
  data[length] = 0;
  return *this;
}

RtString& RtString::append(const char* text) {
  uint32_t add = c_length(text);
  if (add == 0) return *this;
  if (length > UINT32_MAX - 17 - add) throw std::bad_alloc();
  // C text inside this text's own buffer would dangle if the buffer moves: keep its offset.
  bool inside = data != EMPTY_TEXT_BUFFER && text >= data && text < data + capacity;
  size_t offset = inside ? static_cast<size_t>(text - data) : 0;
  reserve(length + add, true);
  if (inside) text = data + offset;
  std::memmove(data + length, text, add);
  length += add;
  data[length] = 0;
  return *this;
}

RtString& RtString::append(int32_t value) { return append(int_to_text(value)); }
RtString& RtString::append(int64_t value) { return append(int64_to_text(value)); }
RtString& RtString::append(float value) { return append(double_to_text(static_cast<double>(value))); }
RtString& RtString::append(double value) { return append(double_to_text(value)); }

// ---- Number texts ---------------------------------------------------------------------------

RtString int_to_text(int32_t value) {
  RtString text;
  char* buffer = text.writable_buffer(15);
  std::snprintf(buffer, 16, "%d", value);
  text.recount_length();
  return text;
}

RtString int64_to_text_radix(int64_t value, int32_t radix) {
  if (radix < 2 || radix > 36) radix = 10;
  RtString text;
  text.reserve(63, false);
  char scratch[72];
  char* at = scratch + sizeof scratch;
  *--at = 0;
  bool negative = radix == 10 && value < 0;
  uint64_t rest = negative ? (~static_cast<uint64_t>(value) + 1) : static_cast<uint64_t>(value);
  do {
    uint32_t digit = static_cast<uint32_t>(rest % static_cast<uint64_t>(radix));
    *--at = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    rest /= static_cast<uint64_t>(radix);
  } while (rest != 0);
  if (negative) *--at = '-';
  std::memcpy(text.data, at, static_cast<size_t>(scratch + sizeof scratch - at));
  text.recount_length();
  return text;
}

RtString int64_to_text(int64_t value) { return int64_to_text_radix(value, 10); }

namespace {

// Removes trailing zeros after the point in [0, end); the point itself stays. Returns the end.
size_t strip_fraction_zeros(const char* text, size_t point, size_t end) {
  while (end > point + 1 && text[end - 1] == '0') --end;
  return end;
}

// Exact powers of ten 1e-1 .. 1e10 (1e-1 as the double nearest to it, which lies above it, so
// "below it" means the same for the double and the real number).
const double kPowersOfTen[] = {1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

// Ten significant digits from one printf "%.9e": the digits and the shown exponent give both
// forms, because the plain form with 9 - E decimals rounds at the same digit. E is the exponent
// of the value itself; it is one less than the shown one when rounding carried up to the next
// power of ten, which can only be when the digits read 1000000000. That matters only near the
// plain range and is settled there by an exact comparison (and the plain text then built by
// printf, since its length changes).
size_t write_number(char* out, double value) {
  char sci[48];
  std::snprintf(sci, sizeof sci, "%.9e", value);
  bool negative = sci[0] == '-';
  const char* m = sci + (negative ? 1 : 0);  // "d.ddddddddde+XX"
  char digits[10];
  digits[0] = m[0];
  std::memcpy(digits + 1, m + 2, 9);
  int shown = std::atoi(m + 12);
  int exponent = shown;
  if (std::memcmp(digits, "1000000000", 10) == 0 && shown >= -1 && shown <= 10 &&
      std::fabs(value) < kPowersOfTen[shown + 1]) {
    exponent = shown - 1;
  }
  size_t n = 0;
  if (exponent < -1 || exponent > 9) {
    if (negative) out[n++] = '-';
    out[n++] = digits[0];
    size_t point = n;
    out[n++] = '.';
    std::memcpy(out + n, digits + 1, 9);
    n = strip_fraction_zeros(out, point, n + 9);
    int magnitude = shown < 0 ? -shown : shown;
    n += static_cast<size_t>(std::snprintf(out + n, 16, "e%c%03d", shown < 0 ? '-' : '+', magnitude));
    return n;
  }
  if (exponent != shown) {
    int written = std::snprintf(out, 64, "%.*f", 9 - exponent, value);
    const char* point = std::strchr(out, '.');
    return point ? strip_fraction_zeros(out, static_cast<size_t>(point - out), static_cast<size_t>(written))
                 : static_cast<size_t>(written);
  }
  if (negative) out[n++] = '-';
  if (exponent == -1) {
    out[n++] = '0';
    out[n++] = '.';
    std::memcpy(out + n, digits, 10);
    return strip_fraction_zeros(out, n - 1, n + 10);
  }
  std::memcpy(out + n, digits, static_cast<size_t>(exponent) + 1);
  n += static_cast<size_t>(exponent) + 1;
  if (exponent == 9) return n;
  size_t point = n;
  out[n++] = '.';
  size_t decimals = static_cast<size_t>(9 - exponent);
  std::memcpy(out + n, digits + exponent + 1, decimals);
  return strip_fraction_zeros(out, point, n + decimals);
}

}  // namespace

RtString double_to_text(double value) {
  RtString text;
  text.reserve(63, false);
  char* out = text.data;
  size_t n;
  if (std::isnan(value)) {
    n = 3;
    std::memcpy(out, "nan", 3);
  } else if (std::isinf(value)) {
    n = value < 0 ? 4 : 3;
    std::memcpy(out, value < 0 ? "-inf" : "inf", n);
  } else if (value == 0.0) {
    n = 2;
    std::memcpy(out, "0.", 2);  // negative zero too
  } else {
    n = write_number(out, value);
  }
  if (n == 2 && out[0] == '.' && out[1] == '0') {
    out[0] = '0';
    n = 1;
  } else if (n > 0 && out[n - 1] == '.') {
    --n;
  }
  out[n] = 0;
  text.recount_length();
  return text;
}

int32_t text_to_int(const char* text) {
  if (!text) return 0;
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}
int32_t text_to_int(const RtString& text) { return text_to_int(text.data); }

int64_t text_to_int64(const char* text) {
  if (!text) return 0;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
  while (*at == ' ' || (*at >= 9 && *at <= 13)) ++at;
  bool negative = false;
  if (*at == '+' || *at == '-') negative = *at++ == '-';
  uint64_t value = 0;
  while (*at >= '0' && *at <= '9') value = value * 10 + (*at++ - '0');
  return static_cast<int64_t>(negative ? ~value + 1 : value);
}
int64_t text_to_int64(const RtString& text) { return text_to_int64(text.data); }

double text_to_double(const char* text) {
  if (!text) return 0.0;
  // Measure the part that fits the decimal grammar, then let the C library convert just that.
  const char* at = text;
  while (*at == ' ' || (*at >= 9 && *at <= 13)) ++at;
  const char* start = at;
  if (*at == '+' || *at == '-') ++at;
  const char* digits = at;
  while (*at >= '0' && *at <= '9') ++at;
  bool any = at != digits;
  if (*at == '.') {
    const char* fraction = ++at;
    while (*at >= '0' && *at <= '9') ++at;
    any = any || at != fraction;
  }
  if (!any) return 0.0;
  if (*at == 'e' || *at == 'E') {
    const char* mark = at++;
    if (*at == '+' || *at == '-') ++at;
    const char* exp_digits = at;
    while (*at >= '0' && *at <= '9') ++at;
    if (at == exp_digits) at = mark;  // "1e" or "1e+" stops before the "e"
  }
  std::string number(start, static_cast<size_t>(at - start));
  return std::strtod(number.c_str(), nullptr);
}
double text_to_double(const RtString& text) { return text_to_double(text.data); }

// ---- Comparison -----------------------------------------------------------------------------

int32_t compare_text(const char* a, const char* b) {
  int result = std::strcmp(a ? a : "", b ? b : "");
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

bool text_equals(const RtString& a, const char* b) {
  uint32_t len = c_length(b);
  return a.length == len && (len == 0 || std::memcmp(a.data, b, len) == 0);
}

// ---- Concatenation --------------------------------------------------------------------------

namespace {
template <typename L, typename R>
RtString joined(const L& left, const R& right) {
  RtString result(left);
  result.append(right);
  return result;
}
}  // namespace

RtString operator+(const RtString& a, const RtString& b) { return joined(a, b); }
RtString operator+(const RtString& a, const char* b) { return joined(a, b); }
RtString operator+(const char* a, const RtString& b) { return joined(a, b); }
RtString operator+(const RtString& a, int32_t b) { return joined(a, b); }
RtString operator+(int32_t a, const RtString& b) { return joined(a, b); }
RtString operator+(const RtString& a, int64_t b) { return joined(a, b); }
RtString operator+(int64_t a, const RtString& b) { return joined(a, b); }
RtString operator+(const RtString& a, float b) { return joined(a, b); }
RtString operator+(float a, const RtString& b) { return joined(a, b); }
RtString operator+(const RtString& a, double b) { return joined(a, b); }
RtString operator+(double a, const RtString& b) { return joined(a, b); }

}  // namespace qrn
