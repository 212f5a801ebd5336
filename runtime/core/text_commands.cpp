// Text commands over RtString (see text_commands.h). Results are built with one allocation of
// their final size; searching is Boyer-Moore-Horspool with the skip table built once per call.
#include "core/text_commands.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

namespace qrn {

namespace {

// Sets the length of a text whose bytes were written into its buffer.
void finish_length(RtString& text, uint32_t count) {
  if (text.data == EMPTY_TEXT_BUFFER) return;
  text.data[count] = 0;
  text.length = count;
}

int32_t length_of(const RtString& text) {
  return text.length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(text.length);
}

// The Horspool searcher for one needle; the skip table is built once and reused.
class Horspool {
 public:
  Horspool(const char* needle, int32_t length)
      : needle_(reinterpret_cast<const unsigned char*>(needle)), n_(needle ? length : 0) {
    if (n_ < 2) return;
    for (int32_t& s : skip_) s = n_;
    for (int32_t i = 0; i < n_ - 1; ++i) skip_[needle_[i]] = n_ - 1 - i;
  }

  int32_t find(const char* haystack, int32_t length) const {
    if (n_ < 1 || !haystack || length < n_) return -1;
    const unsigned char* h = reinterpret_cast<const unsigned char*>(haystack);
    if (length == n_) return std::memcmp(h, needle_, static_cast<size_t>(n_)) == 0 ? 0 : -1;
    if (n_ == 1) {  // every skip would be 1: the C library's byte scan does the same, faster
      const void* at = std::memchr(h, needle_[0], static_cast<size_t>(length));
      return at ? static_cast<int32_t>(static_cast<const unsigned char*>(at) - h) : -1;
    }
    const unsigned char tail = needle_[n_ - 1];
    const size_t head = static_cast<size_t>(n_ - 1);
    const int32_t last = length - n_;
    int32_t pos = 0;
    while (pos <= last) {
      unsigned char c = h[pos + n_ - 1];
      if (c != tail) {
        // The shifts stop only where the needle's last byte lines up; for a short needle, whose
        // shifts are small, the C library's byte scan reaches that alignment faster.
        if (n_ > kScanUpTo) {
          pos += skip_[c];
          continue;
        }
        const void* at = std::memchr(h + pos + n_ - 1, tail, static_cast<size_t>(last - pos) + 1);
        if (!at) return -1;
        pos = static_cast<int32_t>(static_cast<const unsigned char*>(at) - h) - (n_ - 1);
      }
      if (std::memcmp(h + pos, needle_, head) == 0) return pos;
      pos += skip_[tail];
    }
    return -1;
  }

 private:
  // Needles up to this length move with the byte scan; longer ones with their own shifts.
  static constexpr int32_t kScanUpTo = 8;
  const unsigned char* needle_;
  int32_t n_;
  int32_t skip_[256];
};

// Membership table of a set of bytes.
struct ByteSet {
  explicit ByteSet(const RtString& set) {
    for (uint32_t i = 0; i < set.length; ++i) member[static_cast<unsigned char>(set.data[i])] = true;
  }
  bool has(char c) const { return member[static_cast<unsigned char>(c)]; }
  bool member[256] = {};
};

int32_t hex_digit_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char kLowerDigits[] = "0123456789abcdef";
const char kUpperDigits[] = "0123456789ABCDEF";

}  // namespace

// ---- Substrings and bytes -------------------------------------------------------------------

RtString mid_text(const RtString& text, int32_t start, int32_t count) {
  int32_t length = length_of(text);
  if (start < 0 || start >= length) return RtString();
  int32_t available = length - start;
  if (count < 0 || count > available) count = available;
  if (count < 1) return RtString();
  return text_from_bytes(text.data + start, static_cast<uint32_t>(count));
}

void truncate_text(RtString& text, int32_t n) { text.truncate_text(n); }

void strip_control_tail(RtString& text) {
  uint32_t end = text.length;
  while (end > 0 && static_cast<unsigned char>(text.data[end - 1]) < 32) --end;
  if (end < text.length) finish_length(text, end);
}

int32_t char_code(const RtString& text) {
  return text.length ? static_cast<unsigned char>(text.data[0]) : 0;
}

int32_t char_code_at(const RtString& text, int32_t position) {
  if (position < 0 || position >= length_of(text)) return 0;
  return static_cast<unsigned char>(text.data[position]);
}

RtString char_from_code(int32_t code) {
  RtString text;
  text.reserve(1, false);
  text.data[0] = static_cast<char>(code & 0xFF);
  finish_length(text, 1);
  return text;
}

// ---- Search and replace ---------------------------------------------------------------------

int32_t search_bytes(const char* haystack, int32_t haystack_length, const char* needle,
                     int32_t needle_length) {
  return Horspool(needle, needle_length).find(haystack, haystack_length);
}

int32_t find_text(const RtString& text, const RtString& needle, int32_t start) {
  int32_t length = length_of(text);
  if (start < 0) start = 0;
  if (start >= length) return -1;
  int32_t found = search_bytes(text.data + start, length - start, needle.data, length_of(needle));
  return found < 0 ? -1 : found + start;
}

// The last occurrence at or before start is the first one met scanning backwards from the
// last position where the needle still fits.
int32_t find_text_last(const RtString& text, const RtString& needle, int32_t start) {
  int32_t length = length_of(text);
  int32_t n = length_of(needle);
  if (n == 0 || n > length) return -1;
  int32_t last = length - n;
  if (start < 0 || start > last) start = last;
  const char first = needle.data[0];
  for (int32_t p = start; p >= 0; --p) {
    if (text.data[p] == first && std::memcmp(text.data + p, needle.data, static_cast<size_t>(n)) == 0)
      return p;
  }
  return -1;
}

// Scanning the result after each insertion equals scanning the original after each match,
// so the matches are found in the original and the result is assembled once.
RtString replace_text(const RtString& text, const RtString& old_text, const RtString& new_text) {
  int32_t length = length_of(text);
  int32_t f = length_of(old_text);
  if (f == 0 || length < f) return text;
  Horspool searcher(old_text.data, f);
  std::vector<int32_t> matches;
  for (int32_t p = 0; p < length;) {
    int32_t m = searcher.find(text.data + p, length - p);
    if (m < 0) break;
    matches.push_back(p + m);
    p += m + f;
  }
  if (matches.empty()) return text;
  uint64_t total = static_cast<uint64_t>(length) +
                   static_cast<uint64_t>(matches.size()) * static_cast<uint64_t>(new_text.length) -
                   static_cast<uint64_t>(matches.size()) * static_cast<uint64_t>(f);
  if (total >= UINT32_MAX - 32) throw std::bad_alloc();
  RtString result;
  if (total == 0) return result;
  result.reserve(static_cast<uint32_t>(total), false);
  char* out = result.data;
  int32_t from = 0;
  for (int32_t m : matches) {
    std::memcpy(out, text.data + from, static_cast<size_t>(m - from));
    out += m - from;
    std::memcpy(out, new_text.data, new_text.length);
    out += new_text.length;
    from = m + f;
  }
  std::memcpy(out, text.data + from, static_cast<size_t>(length - from));
  finish_length(result, static_cast<uint32_t>(total));
  return result;
}

// ---- Trimming and case ----------------------------------------------------------------------

RtString trim_left_text(const RtString& text, const RtString& set) {
  if (set.length == 0) return text;
  ByteSet members(set);
  uint32_t begin = 0;
  while (begin < text.length && members.has(text.data[begin])) ++begin;
  return text_from_bytes(text.data + begin, text.length - begin);
}

RtString trim_right_text(const RtString& text, const RtString& set) {
  if (set.length == 0) return text;
  ByteSet members(set);
  uint32_t end = text.length;
  while (end > 0 && members.has(text.data[end - 1])) --end;
  return text_from_bytes(text.data, end);
}

void upper_text_in_place(RtString& text) {
  for (uint32_t i = 0; i < text.length; ++i) {
    if (text.data[i] >= 'a' && text.data[i] <= 'z') text.data[i] = static_cast<char>(text.data[i] - 32);
  }
}

void lower_text_in_place(RtString& text) {
  for (uint32_t i = 0; i < text.length; ++i) {
    if (text.data[i] >= 'A' && text.data[i] <= 'Z') text.data[i] = static_cast<char>(text.data[i] + 32);
  }
}

RtString upper_text(const RtString& text) {
  RtString copy(text);
  upper_text_in_place(copy);
  return copy;
}

RtString lower_text(const RtString& text) {
  RtString copy(text);
  lower_text_in_place(copy);
  return copy;
}

// ---- Hexadecimal and URL forms --------------------------------------------------------------

RtString hex_text(int32_t value) {
  char buffer[16];
  int n = std::snprintf(buffer, sizeof buffer, "%x", static_cast<uint32_t>(value));
  return text_from_bytes(buffer, static_cast<uint32_t>(n));
}

RtString bytes_to_hex(const void* bytes, int32_t count, int32_t upper) {
  RtString text;
  if (!bytes || count <= 0 || count > INT32_MAX / 2) return text;
  const char* digits = upper ? kUpperDigits : kLowerDigits;
  const unsigned char* in = static_cast<const unsigned char*>(bytes);
  text.reserve(static_cast<uint32_t>(count) * 2, false);
  for (int32_t i = 0; i < count; ++i) {
    text.data[2 * i] = digits[in[i] >> 4];
    text.data[2 * i + 1] = digits[in[i] & 15];
  }
  finish_length(text, static_cast<uint32_t>(count) * 2);
  return text;
}

int32_t hex_pair_value(char a, char b) {
  auto value = [](char c) {
    int32_t v = hex_digit_value(static_cast<unsigned char>(c));
    return v >= 0 ? v : static_cast<int32_t>(static_cast<unsigned char>(c));
  };
  return value(a) * 16 + value(b);
}

RtString url_encode(const RtString& text) {
  auto plain = [](unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  uint64_t total = 0;
  for (uint32_t i = 0; i < text.length; ++i) {
    unsigned char c = static_cast<unsigned char>(text.data[i]);
    total += plain(c) ? 1 : (c >= 128 ? 6 : 3);
  }
  RtString result;
  if (total == 0) return result;
  if (total >= UINT32_MAX - 32) throw std::bad_alloc();
  result.reserve(static_cast<uint32_t>(total), false);
  char* out = result.data;
  auto escape = [&out](unsigned char c) {
    *out++ = '%';
    *out++ = kLowerDigits[c >> 4];
    *out++ = kLowerDigits[c & 15];
  };
  for (uint32_t i = 0; i < text.length; ++i) {
    unsigned char c = static_cast<unsigned char>(text.data[i]);
    if (plain(c)) {
      *out++ = static_cast<char>(c);
    } else if (c >= 128) {
      escape(c < 0xC0 ? 0xC2 : 0xC3);
      escape(static_cast<unsigned char>((c & 0x3F) + 0x80));
    } else {
      escape(c);
    }
  }
  finish_length(result, static_cast<uint32_t>(total));
  return result;
}

RtString url_decode(const RtString& text) {
  RtString result;
  if (text.length == 0) return result;
  result.reserve(text.length, false);  // decoding never lengthens the text
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data);
  uint32_t n = text.length, out = 0;
  for (uint32_t i = 0; i < n;) {
    if (in[i] == '%') {
      int32_t high = i + 1 < n ? hex_digit_value(in[i + 1]) : -1;
      int32_t low = i + 2 < n ? hex_digit_value(in[i + 2]) : -1;
      if (high >= 0 && low >= 0) {
        result.data[out++] = static_cast<char>(high * 16 + low);
        i += 3;
      } else {
        i += 2;  // the "%" and the byte after it are dropped
      }
    } else {
      result.data[out++] = in[i] == '+' ? ' ' : static_cast<char>(in[i]);
      ++i;
    }
  }
  finish_length(result, out);
  utf8_to_8bit(result);
  return result;
}

void utf8_to_8bit(RtString& text) {
  unsigned char* b = reinterpret_cast<unsigned char*>(text.data);
  uint32_t n = text.length, out = 0;
  for (uint32_t i = 0; i < n;) {
    unsigned char c = b[i];
    if (c < 0x80) {
      b[out++] = c;
      i += 1;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < n) {
      b[out++] = static_cast<unsigned char>((c << 6) | (b[i + 1] & 0x3F));
      i += 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < n) {
      b[out++] = static_cast<unsigned char>((b[i + 1] << 6) | (b[i + 2] & 0x3F));
      i += 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < n) {
      b[out++] = static_cast<unsigned char>(((b[i + 2] << 6) | (b[i + 3] & 0x3F)) + 0xB0);
      i += 4;
    } else {
      i += 1;  // a continuation byte, a byte above 0xF7, or a lead byte cut short
    }
  }
  if (out < n) finish_length(text, out);
}

// ---- Width-formatted numbers ----------------------------------------------------------------

namespace {

// A width or decimal count truncated toward zero, kept where printf can take it.
int whole_count(double value) {
  if (!(value == value)) return 0;
  if (value >= INT_MAX) return INT_MAX;
  if (value <= -INT_MAX) return -INT_MAX;
  return static_cast<int>(value);
}

// printf into a scratch buffer, or straight into a text of the full size when it is longer.
template <typename... Args>
RtString formatted(const char* format, Args... args) {
  char scratch[128];
  int n = std::snprintf(scratch, sizeof scratch, format, args...);
  if (n <= 0) return RtString();
  if (n < static_cast<int>(sizeof scratch)) return text_from_bytes(scratch, static_cast<uint32_t>(n));
  RtString text;
  text.reserve(static_cast<uint32_t>(n), false);
  std::snprintf(text.data, static_cast<size_t>(n) + 1, format, args...);
  finish_length(text, static_cast<uint32_t>(n));
  return text;
}

}  // namespace

// "%*.*f" is "%8.2f" with the numbers passed as arguments, which also keeps a negative decimal
// count well defined (printf then uses its default precision).
RtString format_fixed(double width, double decimals, double value) {
  return formatted("%*.*f", whole_count(width), whole_count(decimals), value);
}

RtString format_int(double width, int32_t value) {
  return formatted("%*d", whole_count(width), static_cast<int>(value));
}

RtString format_int64(double width, int64_t value) {
  return formatted("%*lld", whole_count(width), static_cast<long long>(value));
}

// ---- Wide strings ---------------------------------------------------------------------------

const wchar_t* to_wide_text(const RtString& text) {
  static std::vector<wchar_t> buffer;
  const char* in = text.data;
  size_t n = std::strlen(in);  // the C conversion ends at the first 0 byte
  buffer.resize(n + 1);        // never more wide characters than bytes
  std::mbstate_t state{};
  size_t out = 0;
  for (size_t i = 0; i < n;) {
    wchar_t wide = 0;
    size_t used = std::mbrtowc(&wide, in + i, n - i, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0) {
      wide = static_cast<wchar_t>(static_cast<unsigned char>(in[i]));
      used = 1;
      state = std::mbstate_t{};
    }
    buffer[out++] = wide;
    i += used;
  }
  buffer[out] = 0;
  return buffer.data();
}

RtString from_wide_text(const wchar_t* text) {
  if (!text) return RtString();
  std::vector<char> bytes;
  std::mbstate_t state{};
  char one[MB_LEN_MAX];
  for (const wchar_t* at = text; *at; ++at) {
    size_t used = std::wcrtomb(one, *at, &state);
    if (used == static_cast<size_t>(-1)) {
      one[0] = '?';
      used = 1;
      state = std::mbstate_t{};
    }
    bytes.insert(bytes.end(), one, one + used);
  }
  return text_from_bytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace qrn
