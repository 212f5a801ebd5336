// Image decoding and encoding: the runtime's own BMP reader and writer, PNG over libpng and
// JPEG over libjpeg, with the colour key applied while decoding. Decoders accept disk files
// and memory-file names; every one survives malformed data (failure, never a crash), and
// none allocates for more pixels than its file's data can deliver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/text_value.h"
#include "gfx/image.h"

namespace qrn {

// Most scans a JPEG file may have (a progressive photograph has about ten).
constexpr int32_t MAX_JPEG_SCANS = 500;
// Most pixels a JPEG file may decode to for each of its bytes (Huffman-coded data holds at
// most 512; a photograph holds a few).
constexpr int64_t MAX_JPEG_PIXELS_PER_BYTE = 1024;

// ---- Decoders: success; on failure the image is left empty -------------------------------
// colour_key: 0x00BBGGRR, or -1 for none.
bool decode_bmp(Image& image, const RtString& path, int32_t colour_key);
bool decode_png(Image& image, const RtString& path, int32_t colour_key);
bool decode_jpeg(Image& image, const RtString& path);
// BMP, then PNG, then JPEG: the first that succeeds wins.
bool decode_any(Image& image, const RtString& path, int32_t colour_key);

// The same decoders over bytes already in memory.
bool decode_bmp_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key);
bool decode_png_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key,
                      const char* name_for_messages);
bool decode_jpeg_bytes(Image& image, const uint8_t* data, size_t size);
// BMP, then PNG, then JPEG over bytes in memory (name only for messages).
bool decode_any_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key,
                      const char* name_for_messages);

// Colours fully transparent inner pixels from the average of their visible inner
// neighbours, so linear filtering does not bleed the key colour into sprite edges.
void edge_fill(Image& image);

// ---- Encoders -------------------------------------------------------------------------------
// PNG for a path ending ".png", JPEG for ".jpg" (either case), BMP otherwise.
bool encode_image(const RtString& path, const Image& image);
// 24-bit bottom-up BMP; pixels not fully opaque become the default key RGB(255, 0, 128).
bool encode_bmp_bytes(const Image& image, std::vector<uint8_t>& out);
// 8-bit RGBA PNG with a white background chunk.
bool encode_png_bytes(const Image& image, std::vector<uint8_t>& out);
// RGB JPEG at quality 80 (alpha dropped).
bool encode_jpeg_bytes(const Image& image, std::vector<uint8_t>& out);

// ---- Commands -------------------------------------------------------------------------------
// Saves sprite id's pixels to a file (format by extension); error 3 on failure.
void save_sprite(const RtString& path, int32_t id);
// Saves the current screen to a file; error 3 on failure.
void save_screen(const RtString& path);

}  // namespace qrn
