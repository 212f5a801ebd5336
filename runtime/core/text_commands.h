// Text commands: substrings, search and replace, case, trimming, hexadecimal and URL forms,
// width formatting and wide-string conversion, all over RtString. Every command returns a
// new text and leaves its arguments alone unless it says "in place". Positions are 0-based
// byte offsets; out-of-range positions give the empty text or -1, never a read outside.
// The text cipher is in text_cipher.h.
#pragma once

#include <cstdint>
#include <cwchar>

#include "core/text_value.h"

namespace qrn {

// ---- Substrings and bytes -------------------------------------------------------------------
// At most count bytes from start (count < 0: to the end); empty when start is outside.
RtString mid_text(const RtString& text, int32_t start, int32_t count);
// Cuts the text to n bytes when 0 <= n < length (in place).
void truncate_text(RtString& text, int32_t n);
// Removes trailing bytes with codes 0 to 31 (in place).
void strip_control_tail(RtString& text);
// Code 0 to 255 of the first byte; 0 for the empty text.
int32_t char_code(const RtString& text);
// Code of the byte at position; 0 outside the text.
int32_t char_code_at(const RtString& text, int32_t position);
// One-byte text of the code's low 8 bits (code 0 gives a text holding one 0 byte).
RtString char_from_code(int32_t code);

// ---- Search and replace ---------------------------------------------------------------------
// Boyer-Moore-Horspool: offset of the first occurrence of needle in haystack, or -1.
int32_t search_bytes(const char* haystack, int32_t haystack_length, const char* needle,
                     int32_t needle_length);
// First occurrence at or after start (a negative start counts as 0), or -1.
int32_t find_text(const RtString& text, const RtString& needle, int32_t start);
// Last occurrence beginning at or before start (start < 0: the last possible position), or -1.
int32_t find_text_last(const RtString& text, const RtString& needle, int32_t start);
// Every occurrence of old replaced by new, left to right; the inserted text is never searched.
RtString replace_text(const RtString& text, const RtString& old_text, const RtString& new_text);

// ---- Trimming and case ----------------------------------------------------------------------
// Without the leading (trailing) bytes that occur in set; unchanged when set is empty.
RtString trim_left_text(const RtString& text, const RtString& set);
RtString trim_right_text(const RtString& text, const RtString& set);
// "C" locale case mapping: only a to z (A to Z) change.
RtString upper_text(const RtString& text);
RtString lower_text(const RtString& text);
void upper_text_in_place(RtString& text);
void lower_text_in_place(RtString& text);

// ---- Hexadecimal and URL forms --------------------------------------------------------------
// Lower-case hexadecimal of the value's 32 bits, without leading zeros ("0" for zero).
RtString hex_text(int32_t value);
// Two digits per byte, high nibble first; upper-case digits when upper is not 0.
RtString bytes_to_hex(const void* bytes, int32_t count, int32_t upper);
// Value of a two-digit hexadecimal pair, a high (a character that is no digit counts its code).
int32_t hex_pair_value(char a, char b);
// Letters and digits stay; bytes from 128 become their two-byte UTF-8 form; the rest "%xx".
RtString url_encode(const RtString& text);
// "%xx" and "+" decoded, then folded by utf8_to_8bit.
RtString url_decode(const RtString& text);
// UTF-8 sequences folded to single bytes (in place): U+0080..U+00FF become Latin-1.
void utf8_to_8bit(RtString& text);

// ---- Width-formatted numbers ----------------------------------------------------------------
// printf's "%<width>.<decimals>f", "%<width>d" and "%<width>lld"; widths and decimals are
// truncated toward zero. A negative width aligns left, negative decimals mean the default 6.
// The whole result is returned whatever its length.
RtString format_fixed(double width, double decimals, double value);
RtString format_int(double width, int32_t value);
RtString format_int64(double width, int64_t value);

// ---- Wide strings ---------------------------------------------------------------------------
// The C library's multibyte-to-wide conversion in a process-wide buffer that the next call
// overwrites; a byte that does not convert stands for itself (Latin-1).
const wchar_t* to_wide_text(const RtString& text);
// The wide-to-multibyte conversion; a character that does not convert becomes "?".
RtString from_wide_text(const wchar_t* text);

}  // namespace qrn
