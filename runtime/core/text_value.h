// Text values: RtString, the runtime's one text type (counted 8-bit bytes, always
// NUL-terminated, deep copies), with concatenation, comparison and the number texts.
#pragma once

#include <cstdint>

namespace qrn {

// The one static buffer every empty text that owns nothing points at. Never freed or written.
extern char EMPTY_TEXT_BUFFER[1];

class RtString {
 public:
  char* data;         // the bytes followed by a NUL; never null
  uint32_t capacity;  // bytes owned at data; 0 for the shared empty buffer
  uint32_t length;    // bytes before the terminator

  RtString() noexcept : data(EMPTY_TEXT_BUFFER), capacity(0), length(0) {}
  RtString(const char* text);  // NOLINT: C text converts implicitly, as everywhere in the runtime
  RtString(const RtString& other);
  RtString(RtString&& other) noexcept;
  explicit RtString(int32_t value);
  explicit RtString(int64_t value);
  explicit RtString(float value);
  explicit RtString(double value);
  ~RtString() { release(); }

  RtString& operator=(const RtString& other) { return assign(other); }
  RtString& operator=(RtString&& other) noexcept;
  RtString& operator=(const char* text) { return assign(text); }

  RtString& assign(const RtString& other);
  RtString& assign(const char* text);

  RtString& append(const RtString& other);
  RtString& append(const char* text);
  RtString& append(int32_t value);
  RtString& append(int64_t value);
  RtString& append(float value);
  RtString& append(double value);
  template <typename T>
  RtString& operator+=(const T& value) {
    return append(value);
  }

  // Frees an owned buffer and becomes the shared empty text.
  void release() noexcept;
  // Makes room for n bytes plus terminator (see the growth rule in text_value.cpp).
  void reserve(uint32_t n, bool keep);
  // Room for n bytes for a platform call to fill; call recount_length afterwards.
  char* writable_buffer(uint32_t n);
  // Length becomes the index of the first 0 byte within the capacity.
  void recount_length() noexcept;
  // Cuts the text to n bytes when 0 <= n < length.
  void truncate_text(int64_t n) noexcept;

  const char* c_str() const noexcept { return data; }
  bool empty() const noexcept { return length == 0; }
  void swap(RtString& other) noexcept;
};

// Capacity a buffer gets when it must grow to hold n bytes and a terminator.
uint32_t text_growth_size(uint32_t n);

// A new text of exactly these count bytes (which may hold zeros).
RtString text_from_bytes(const void* bytes, uint32_t count);

// ---- Number texts ---------------------------------------------------------------------------
RtString int_to_text(int32_t value);
RtString int64_to_text(int64_t value);
// Digits in radix 2..36; only radix 10 treats the value as signed.
RtString int64_to_text_radix(int64_t value, int32_t radix);
// Ten significant digits, the runtime's canonical form ("1.e+010", "0.3333333333").
// Negative zero prints "0"; infinities "inf" and "-inf"; not-a-number "nan".
RtString double_to_text(double value);

// Whole-number conversion as the C library does it; values outside 32 bits saturate.
int32_t text_to_int(const RtString& text);
int32_t text_to_int(const char* text);
// Decimal digits with 64-bit wrap-around.
int64_t text_to_int64(const RtString& text);
int64_t text_to_int64(const char* text);
// Decimal floating-point number: sign, digits, fraction, exponent; nothing else (no hex, inf).
double text_to_double(const RtString& text);
double text_to_double(const char* text);

// ---- Comparison -----------------------------------------------------------------------------
// Byte-wise comparison as unsigned bytes up to the first 0 (strcmp order): <0, 0 or >0.
int32_t compare_text(const char* a, const char* b);
// Equal when the lengths and the bytes are equal.
bool text_equals(const RtString& a, const char* b);

#define QRN_TEXT_RELATIONS(LeftT, RightT, LEFT, RIGHT)                                        \
  inline bool operator==(LeftT a, RightT b) { return LEFT == RIGHT; }                        \
  inline bool operator!=(LeftT a, RightT b) { return LEFT != RIGHT; }                        \
  inline bool operator<(LeftT a, RightT b) { return LEFT < RIGHT; }                          \
  inline bool operator>(LeftT a, RightT b) { return LEFT > RIGHT; }                          \
  inline bool operator<=(LeftT a, RightT b) { return LEFT <= RIGHT; }                        \
  inline bool operator>=(LeftT a, RightT b) { return LEFT >= RIGHT; }

// Text with text: the sign of compare_text against 0.
QRN_TEXT_RELATIONS(const RtString&, const RtString&, compare_text(a.data, b.data), 0)
QRN_TEXT_RELATIONS(const RtString&, const char*, compare_text(a.data, b), 0)
QRN_TEXT_RELATIONS(const char*, const RtString&, compare_text(a, b.data), 0)
// Text with a number: the text is converted to the number's kind first.
QRN_TEXT_RELATIONS(const RtString&, int32_t, text_to_int(a), b)
QRN_TEXT_RELATIONS(int32_t, const RtString&, a, text_to_int(b))
QRN_TEXT_RELATIONS(const RtString&, int64_t, text_to_int64(a), b)
QRN_TEXT_RELATIONS(int64_t, const RtString&, a, text_to_int64(b))
QRN_TEXT_RELATIONS(const RtString&, double, text_to_double(a), b)
QRN_TEXT_RELATIONS(double, const RtString&, a, text_to_double(b))
// A float is widened exactly; the text is not rounded to float ("0.1" != 0.1f).
QRN_TEXT_RELATIONS(const RtString&, float, text_to_double(a), static_cast<double>(b))
QRN_TEXT_RELATIONS(float, const RtString&, static_cast<double>(a), text_to_double(b))
#undef QRN_TEXT_RELATIONS

// ---- Concatenation --------------------------------------------------------------------------
// The left operand's text followed by the right operand's text; numbers are never added.
RtString operator+(const RtString& a, const RtString& b);
RtString operator+(const RtString& a, const char* b);
RtString operator+(const char* a, const RtString& b);
RtString operator+(const RtString& a, int32_t b);
RtString operator+(int32_t a, const RtString& b);
RtString operator+(const RtString& a, int64_t b);
RtString operator+(int64_t a, const RtString& b);
RtString operator+(const RtString& a, float b);
RtString operator+(float a, const RtString& b);
RtString operator+(const RtString& a, double b);
RtString operator+(double a, const RtString& b);

}  // namespace qrn
