// File channels: eight numbered files (RuntimeState::file_channels) that programs read and
// write with typed commands (numbers little-endian, lines ended by CR LF on writing), plus
// file_size, file_time and line-indexed access to small text files through a one-file cache.
// A bad channel number or a failed read or write ends the program (fatal 7 or 3); only
// open_channel reports failure as a result.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "files/file_stream.h"

namespace qrn {

// ---- Opening and closing ----------------------------------------------------------------
// mode > 0 reads (a name from the resource archive too), 0 writes a new file, < 0 appends.
// 1 on success; 0 with error 7 (bad channel) or 3 (cannot open).
int32_t open_channel(int32_t n, const RtString& name, int32_t mode);
void close_channel(int32_t n);
// Closes every channel (the program's end).
void close_all_channels();
// The lowest channel that is not open, or 255.
int32_t free_channel();
// 1 when the channel's position is at or past its size.
int32_t end_of_channel(int32_t n);
// mode < 0 from the end, > 0 from the position, 0 from the start. Nothing on a closed channel.
void seek_channel(int32_t n, int64_t offset, int32_t mode);
int64_t channel_position(int32_t n);

// ---- Writing (disk files only) --------------------------------------------------------------
void write_text(int32_t n, const RtString& text);
void write_line(int32_t n, const RtString& text);  // the text, then CR LF
void write_float32(int32_t n, double value);
void write_float64(int32_t n, double value);
void write_int32(int32_t n, int32_t value);
void write_int16(int32_t n, int32_t value);  // its low 2 bytes
void write_int8(int32_t n, int32_t value);   // its low byte

// ---- Reading --------------------------------------------------------------------------------
// One line (at most 1023 bytes; a longer one comes in pieces) without its line end.
void read_line(int32_t n, RtString& target);
int32_t read_line_int(int32_t n);
double read_line_double(int32_t n);
// count bytes (count <= 0: the empty text); bytes past the end of a memory file read as 0.
void read_bytes_text(int32_t n, RtString& target, int32_t count);
double read_float32(int32_t n);
double read_float64(int32_t n);
int32_t read_uint32(int32_t n);
int32_t read_int32(int32_t n);
int32_t read_uint16(int32_t n);
int32_t read_int16(int32_t n);
int32_t read_uint8(int32_t n);
int32_t read_int8(int32_t n);

// ---- Files by name ----------------------------------------------------------------------
// Size of a disk file or of the block of a memory-file name; 0 and error 3 when it cannot
// be opened.
int64_t file_size(const RtString& name);
// Last-write time in local time, "YYYY-MM-DD hh:mm:ss"; empty and error 3 when unknown.
RtString file_time(const RtString& name);

// ---- Line files: up to 256 lines of up to 1023 bytes of one file at a time ------------------
// Line index of the file: "NO_FILE" when it cannot be read, "NO_DATA" for an empty line or
// an index outside 0..255 (error 7). Trailing control bytes are removed.
RtString read_file_line(const RtString& name, double index);
int32_t read_file_line_int(const RtString& name, double index);
double read_file_line_double(const RtString& name, double index);
// Changes line index in the cache; the file is written when the cache moves to another file
// and at process exit.
void write_file_line(const RtString& name, double index, const RtString& text);
void write_file_line(const RtString& name, double index, double value);

}  // namespace qrn
