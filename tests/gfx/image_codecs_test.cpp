// The image codecs on plain bytes: BMP layouts, colour keys, round trips through every
// encoder, edge fill, the size limits, what over-claiming files make the decoders allocate,
// and malformed files that must fail without crashing.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "files/file_stream.h"
#include "gfx/image_codecs.h"
#include "support/allocation_meter.h"
#include "support/temp_dir.h"

namespace qrn {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t KEY = 0x008000FF;  // RGB(255, 0, 128)

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A BMP with a 40-byte header, a colour table of palette_entries and the given rows (file
// order, already padded).
Bytes make_bmp(int32_t width, int32_t height, int bits, const Bytes& palette, const Bytes& pixels) {
  Bytes b(54);
  b[0] = 'B';
  b[1] = 'M';
  uint32_t offset = 54 + static_cast<uint32_t>(palette.size());
  put32(b, 2, offset + static_cast<uint32_t>(pixels.size()));
  put32(b, 10, offset);
  put32(b, 14, 40);
  put32(b, 18, static_cast<uint32_t>(width));
  put32(b, 22, static_cast<uint32_t>(height));
  put16(b, 26, 1);
  put16(b, 28, bits);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

uint32_t rgba(const Image& image, int x, int y) {
  const uint8_t* p = image.at(x, y);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A w × h test image: every pixel a different colour, opaque.
void fill_pattern(Image& image, int32_t w, int32_t h) {
  ASSERT_TRUE(image.resize(w, h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = image.at(x, y);
      p[0] = static_cast<uint8_t>(x * 40 + 3);
      p[1] = static_cast<uint8_t>(y * 50 + 7);
      p[2] = static_cast<uint8_t>((x + y) * 20 + 11);
      p[3] = 255;
    }
  }
}

// A PNG written with libpng directly, for the layouts the runtime's writer does not make.
Bytes write_png(int32_t w, int32_t h, int colour_type, int depth, const std::vector<Bytes>& rows,
                const png_color* palette = nullptr, int palette_size = 0,
                const png_byte* trans = nullptr, int trans_size = 0) {
  Bytes out;
  png_structp png = png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, depth, colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (palette) png_set_PLTE(png, info, palette, palette_size);
  if (trans) png_set_tRNS(png, info, trans, trans_size, nullptr);
  png_write_info(png, info);
  for (const Bytes& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(BmpDecoder, ReadsEveryBitCountWithPaddedBottomUpRows) {
  Image image;
  // 1 bit, 5 wide: 4-byte rows. Bottom row first: bottom row 10100, top row 01011.
  Bytes palette = {0, 0, 0, 0, 255, 255, 255, 0};
  Bytes one_bit = {0xA0, 0, 0, 0, 0x58, 0, 0, 0};
  ASSERT_TRUE(decode_bmp_bytes(image, make_bmp(5, 2, 1, palette, one_bit).data(),
                               make_bmp(5, 2, 1, palette, one_bit).size(), -1));
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(rgba(image, 0, 0), 0xFF000000u);
  EXPECT_EQ(rgba(image, 1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rgba(image, 0, 1), 0xFFFFFFFFu);
  EXPECT_EQ(rgba(image, 4, 1), 0xFF000000u);
  EXPECT_EQ(image.alpha_from_file, 0);

  // 4 bits: two pixels per byte, high nibble first.
  Bytes palette4(16 * 4, 0);
  palette4[4 * 3 + 2] = 200;  // entry 3: red 200
  palette4[4 * 9 + 0] = 50;   // entry 9: blue 50
  Bytes four = make_bmp(3, 1, 4, palette4, {0x39, 0x30, 0, 0});
  ASSERT_TRUE(decode_bmp_bytes(image, four.data(), four.size(), -1));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF0000C8u);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF320000u);
  EXPECT_EQ(rgba(image, 2, 0), 0xFF0000C8u);

  // 16 bits: 5-5-5 with red in bits 10-14; all red bits give 255, the value 16 gives 131.
  Bytes sixteen = make_bmp(2, 1, 16, {}, {0x00, 0x7C, 0x10, 0x00});
  ASSERT_TRUE(decode_bmp_bytes(image, sixteen.data(), sixteen.size(), -1));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF830000u);

  // 24 bits, 5 wide: 16-byte rows (15 bytes and one of padding).
  Bytes row24(16, 0);
  row24[12] = 1;  // pixel 4: blue 1, green 2, red 3
  row24[13] = 2;
  row24[14] = 3;
  Bytes rows24 = row24;
  rows24.insert(rows24.end(), row24.begin(), row24.end());
  Bytes bmp24 = make_bmp(5, 2, 24, {}, rows24);
  ASSERT_TRUE(decode_bmp_bytes(image, bmp24.data(), bmp24.size(), -1));
  EXPECT_EQ(rgba(image, 4, 1), 0xFF010203u);
  bmp24.pop_back();  // one byte short of the last row
  EXPECT_FALSE(decode_bmp_bytes(image, bmp24.data(), bmp24.size(), -1));
  EXPECT_EQ(image.width, 0);

  // 32 bits, top row first (negative height): the output is still top to bottom.
  Bytes bmp32 = make_bmp(1, -2, 32, {}, {10, 20, 30, 99, 40, 50, 60, 99});
  ASSERT_TRUE(decode_bmp_bytes(image, bmp32.data(), bmp32.size(), -1));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF0A141Eu);
  EXPECT_EQ(rgba(image, 0, 1), 0xFF28323Cu);
}

TEST(BmpDecoder, CoreHeaderAndOtherHeaderSizes) {
  // The 12-byte header: 16-bit sizes and 3-byte colour table entries.
  Bytes core(26);
  core[0] = 'B';
  core[1] = 'M';
  put32(core, 10, 26 + 6);
  put32(core, 14, 12);
  put16(core, 18, 2);
  put16(core, 20, 1);
  put16(core, 22, 1);
  put16(core, 24, 1);
  Bytes rest = {0, 0, 255, 0, 255, 0, 0x40, 0, 0, 0};  // red, green; pixels 0 then 1
  core.insert(core.end(), rest.begin(), rest.end());
  Image image;
  ASSERT_TRUE(decode_bmp_bytes(image, core.data(), core.size(), -1));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF00FF00u);

  // 108- and 124-byte headers are not read by this decoder.
  for (uint32_t size : {108u, 124u}) {
    Bytes bmp = make_bmp(1, 1, 24, Bytes(size - 40, 0), {1, 2, 3, 0});
    put32(bmp, 14, size);
    EXPECT_FALSE(decode_bmp_bytes(image, bmp.data(), bmp.size(), -1)) << size;
  }
}

TEST(BmpDecoder, ColourKeyMakesMatchingPixelsTransparent) {
  Bytes bmp = make_bmp(2, 1, 24, {}, {128, 0, 255, 128, 0, 254, 0, 0});
  Image image;
  ASSERT_TRUE(decode_bmp_bytes(image, bmp.data(), bmp.size(), KEY));
  EXPECT_EQ(rgba(image, 0, 0), 0u);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF8000FEu);
  ASSERT_TRUE(decode_bmp_bytes(image, bmp.data(), bmp.size(), -1));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF8000FFu);
}

TEST(PngDecoder, KeyAppliesToRgbButNotToAnAlphaChannel) {
  Bytes rgb_rows = {255, 0, 128, 1, 2, 3};
  Bytes rgb = write_png(2, 1, PNG_COLOR_TYPE_RGB, 8, {rgb_rows});
  Image image;
  ASSERT_TRUE(decode_png_bytes(image, rgb.data(), rgb.size(), KEY, "rgb.png"));
  EXPECT_EQ(rgba(image, 0, 0), 0u);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF030201u);
  EXPECT_EQ(image.alpha_from_file, 0);

  Bytes rgba_png = write_png(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {{255, 0, 128, 77}});
  ASSERT_TRUE(decode_png_bytes(image, rgba_png.data(), rgba_png.size(), KEY, "a.png"));
  EXPECT_EQ(rgba(image, 0, 0), 0x4D8000FFu);
  EXPECT_EQ(image.alpha_from_file, 1);

  // A paletted image with a transparency chunk gets its alpha; the key is then ignored.
  png_color palette[2] = {{255, 0, 128}, {9, 8, 7}};
  png_byte trans[2] = {255, 0};
  Bytes paletted = write_png(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}}, palette, 2, trans, 2);
  ASSERT_TRUE(decode_png_bytes(image, paletted.data(), paletted.size(), KEY, "p.png"));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF8000FFu);
  EXPECT_EQ(rgba(image, 1, 0), 0x00070809u);
  EXPECT_EQ(image.alpha_from_file, 1);

  // Grey of 2 bits expands to 8 and to three equal channels; 16-bit samples are cut to 8.
  Bytes grey = write_png(2, 1, PNG_COLOR_TYPE_GRAY, 2, {{0xC0}});
  ASSERT_TRUE(decode_png_bytes(image, grey.data(), grey.size(), KEY, "g.png"));
  EXPECT_EQ(rgba(image, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rgba(image, 1, 0), 0xFF000000u);
  Bytes deep = write_png(1, 1, PNG_COLOR_TYPE_RGB, 16, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}});
  ASSERT_TRUE(decode_png_bytes(image, deep.data(), deep.size(), -1, "d.png"));
  EXPECT_EQ(rgba(image, 0, 0), 0xFF9A5612u);

  // Grey with alpha is refused, quietly.
  Bytes grey_alpha = write_png(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{100, 200}});
  EXPECT_FALSE(decode_png_bytes(image, grey_alpha.data(), grey_alpha.size(), -1, "ga.png"));
}

TEST(Encoders, RoundTripsThroughEveryFormat) {
  Image source;
  fill_pattern(source, 7, 5);
  source.at(2, 3)[3] = 0;  // one transparent pixel
  Image back;
  Bytes bytes;

  // BMP: the transparent pixel comes back through the default key.
  ASSERT_TRUE(encode_bmp_bytes(source, bytes));
  EXPECT_EQ(bytes.size(), 54u + 24u * 5u);  // 7 × 3 = 21 bytes padded to 24
  ASSERT_TRUE(decode_bmp_bytes(back, bytes.data(), bytes.size(), KEY));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(rgba(back, x, y), x == 2 && y == 3 ? 0u : rgba(source, x, y)) << x << "," << y;
    }
  }

  // PNG keeps every byte, alpha included.
  ASSERT_TRUE(encode_png_bytes(source, bytes));
  ASSERT_TRUE(decode_png_bytes(back, bytes.data(), bytes.size(), KEY, "x.png"));
  EXPECT_EQ(std::memcmp(back.pixels, source.pixels, 7 * 5 * 4), 0);

  // JPEG is lossy and drops alpha: a smooth image comes back close.
  Image smooth;
  ASSERT_TRUE(smooth.resize(32, 16));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      uint8_t* p = smooth.at(x, y);
      p[0] = static_cast<uint8_t>(x * 8);
      p[1] = static_cast<uint8_t>(y * 16);
      p[2] = 100;
      p[3] = 255;
    }
  }
  ASSERT_TRUE(encode_jpeg_bytes(smooth, bytes));
  ASSERT_TRUE(decode_jpeg_bytes(back, bytes.data(), bytes.size()));
  ASSERT_EQ(back.width, 32);
  ASSERT_EQ(back.height, 16);
  for (int i = 0; i < 32 * 16 * 4; ++i) {
    EXPECT_NEAR(back.pixels[i], smooth.pixels[i], 12) << i;
  }
  EXPECT_EQ(back.alpha_from_file, 0);
}

TEST(Encoders, ExtensionChoosesTheFormatAndFilesDecodeAgain) {
  test::TempDir dir;
  Image source;
  fill_pattern(source, 4, 4);
  const struct {
    const char* name;
    const char* magic;
  } cases[] = {{"a.png", "\x89PNG"}, {"b.PNG", "\x89PNG"}, {"c.JPG", "\xFF\xD8"},
               {"d.jpeg", "BM"},     {"e.bmp", "BM"},      {"f", "BM"}};
  for (const auto& c : cases) {
    std::string path = dir.file(c.name);
    ASSERT_TRUE(encode_image(path.c_str(), source)) << c.name;
    std::string bytes = test::read_file(path);
    EXPECT_EQ(bytes.compare(0, std::strlen(c.magic), c.magic), 0) << c.name;
    Image back;
    EXPECT_TRUE(decode_any(back, path.c_str(), -1)) << c.name;
    EXPECT_EQ(back.width, 4);
  }
  Image empty;
  EXPECT_FALSE(encode_image(dir.file("g.png").c_str(), empty));
  Image back;
  EXPECT_FALSE(decode_any(back, dir.file("missing.png").c_str(), -1));
  EXPECT_FALSE(decode_any(back, dir.path().c_str(), -1));  // a directory
  EXPECT_FALSE(decode_any(back, "", -1));
}

TEST(Decoders, ReadMemoryFilesLikeDiskFiles) {
  Image source;
  fill_pattern(source, 6, 4);
  for (auto encode : {encode_png_bytes, encode_jpeg_bytes, encode_bmp_bytes}) {
    Bytes bytes;
    ASSERT_TRUE(encode(source, bytes));
    RtString name = memory_file_name(bytes.data(), static_cast<uint32_t>(bytes.size()));
    Image back;
    EXPECT_TRUE(decode_any(back, name, -1)) << name.c_str();
    EXPECT_EQ(back.width, 6);
    EXPECT_EQ(back.height, 4);
    release_memory_file(bytes.data());
    EXPECT_FALSE(decode_any(back, name, -1)) << "a released block is a missing file";
  }
}

TEST(EdgeFill, ColoursInnerTransparentPixelsFromVisibleInnerNeighbours) {
  Image image;
  ASSERT_TRUE(image.resize(5, 4));
  auto set = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    uint8_t* p = image.at(x, y);
    p[0] = r, p[1] = g, p[2] = b, p[3] = a;
  };
  set(1, 1, 100, 10, 40, 255);
  set(3, 1, 200, 30, 80, 255);
  set(0, 2, 250, 250, 250, 255);  // on the border: never used as a neighbour
  edge_fill(image);
  // (2, 1) and (2, 2) see both visible pixels: all three channels averaged, alpha stays 0.
  EXPECT_EQ(rgba(image, 2, 1), 0x003C1496u);
  EXPECT_EQ(rgba(image, 2, 2), 0x003C1496u);
  // (1, 2) sees only (1, 1).
  EXPECT_EQ(rgba(image, 1, 2), 0x00280A64u);
  // Border pixels are left alone.
  EXPECT_EQ(rgba(image, 0, 0), 0u);
}

// ---- Malformed files ---------------------------------------------------------------------------

Bytes valid_png() {
  return write_png(3, 2, PNG_COLOR_TYPE_RGB, 8, {Bytes(9, 50), Bytes(9, 90)});
}

Bytes valid_jpeg() {
  Image image;
  image.resize(16, 16);
  for (int i = 0; i < 16 * 16 * 4; ++i) image.pixels[i] = static_cast<uint8_t>(i * 7);
  Bytes bytes;
  encode_jpeg_bytes(image, bytes);
  return bytes;
}

// The PNG with its header's width and height replaced (the chunk's check sum made right).
Bytes resized_png(Bytes b, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    b[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    b[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  uint32_t crc = static_cast<uint32_t>(crc32(0, b.data() + 12, 17));
  for (int i = 0; i < 4; ++i) b[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return b;
}

Bytes png_with_size(uint32_t width, uint32_t height) { return resized_png(valid_png(), width, height); }

// The JPEG with its frame header's height and width replaced.
Bytes jpeg_with_size(uint16_t width, uint16_t height) {
  Bytes b = valid_jpeg();
  for (size_t i = 2; i + 9 < b.size(); ++i) {
    if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
      b[i + 5] = height >> 8;
      b[i + 6] = height & 0xFF;
      b[i + 7] = width >> 8;
      b[i + 8] = width & 0xFF;
      break;
    }
  }
  return b;
}

TEST(MalformedImages, EveryDecoderFailsCleanly) {
  Bytes palette(2 * 4, 0);
  Bytes bmp_ok = make_bmp(2, 2, 24, {}, Bytes(16, 7));
  auto bmp_with = [&](size_t at, uint32_t value) {
    Bytes b = bmp_ok;
    put32(b, at, value);
    return b;
  };
  Bytes truncated_png = valid_png();
  truncated_png.resize(truncated_png.size() - 20);
  Bytes truncated_jpeg = valid_jpeg();
  truncated_jpeg.resize(truncated_jpeg.size() / 2);
  Bytes garbage_jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x13, 0x37, 0xFF, 0xD9};
  Bytes signature_only = valid_png();
  signature_only.resize(8);
  Bytes corrupt_jpeg = valid_jpeg();
  for (size_t i = 20; i < corrupt_jpeg.size(); i += 3) corrupt_jpeg[i] = 0xFF;

  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"bmp header only", Bytes(bmp_ok.begin(), bmp_ok.begin() + 20)},
      {"bmp width 0", bmp_with(18, 0)},
      {"bmp height 0", bmp_with(22, 0)},
      {"bmp negative width", bmp_with(18, 0xFFFFFFFE)},
      {"bmp height -2^31", bmp_with(22, 0x80000000)},
      {"bmp width 2^31-1", bmp_with(18, 0x7FFFFFFF)},
      {"bmp rows overflowing 32 bits", [&] {
         Bytes b = bmp_with(18, 0x40000001);
         put16(b, 28, 32);
         return b;
       }()},
      {"bmp 20000 wide", bmp_with(18, 20000)},
      {"bmp bit count 7", [&] {
         Bytes b = bmp_ok;
         put16(b, 28, 7);
         return b;
       }()},
      {"bmp pixel offset past the end", bmp_with(10, 100000)},
      {"bmp pixel offset inside the header", bmp_with(10, 20)},
      {"bmp header size lies", bmp_with(14, 0x7FFFFFF0)},
      {"bmp index past a short palette", make_bmp(4, 1, 8, palette, {0, 1, 2, 0})},
      {"bmp indexed without a palette", make_bmp(4, 1, 8, {}, {0, 0, 0, 0})},
      {"png truncated", truncated_png},
      {"png 0 wide", png_with_size(0, 2)},
      {"png 2^31 wide", png_with_size(0x80000000u, 2)},
      {"png 16384 × 16384", png_with_size(16384, 16384)},
      {"png 100000 tall", png_with_size(3, 100000)},
      {"png signature only", signature_only},
      {"jpeg truncated", truncated_jpeg},
      {"jpeg claiming more rows than its data holds", jpeg_with_size(16, 64)},
      {"jpeg garbage frame", garbage_jpeg},
      {"jpeg corrupt", corrupt_jpeg},
      {"jpeg 0 wide", jpeg_with_size(0, 16)},
      {"jpeg 65500 × 65500", jpeg_with_size(65500, 65500)},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
  };
  for (const auto& c : cases) {
    Image image;
    const uint8_t* data = c.bytes.data();
    size_t size = c.bytes.size();
    bool decoded = decode_bmp_bytes(image, data, size, KEY) ||
                   decode_png_bytes(image, data, size, KEY, "bad") ||
                   decode_jpeg_bytes(image, data, size);
    EXPECT_FALSE(decoded) << c.what;
    EXPECT_EQ(image.width, 0) << c.what;
    EXPECT_EQ(image.height, 0) << c.what;
  }
}

// ---- Size limits and what a file can make a decoder allocate ----------------------------------

// A grey 8-bit PNG of zero pixels, written row by row (a big one compresses to little).
Bytes grey_png(uint32_t w, uint32_t h, int interlace = PNG_INTERLACE_NONE) {
  Bytes out;
  png_structp png = png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes row(w, 0);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_GRAY, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < h; ++y) png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A grey JPEG of w × h with its own scan script (null: one baseline scan).
Bytes grey_jpeg(uint32_t w, uint32_t h, const std::vector<jpeg_scan_info>* scans = nullptr,
                bool arithmetic = false) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = w;
  info.image_height = h;
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  if (scans) {
    info.scan_info = scans->data();
    info.num_scans = static_cast<int>(scans->size());
  }
  info.arith_code = arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&info, TRUE);
  Bytes row(w);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>((x * 7 + y * 3) & 0xFF);
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// A progressive scan script for a grey image of exactly count scans (64 to 496): the DC
// scan, then each AC coefficient in a scan of its own, with refinement scans (lowering the
// successive-approximation bit one at a time) until the count is reached.
std::vector<jpeg_scan_info> scan_script(int count) {
  std::vector<jpeg_scan_info> scans;
  scans.push_back(jpeg_scan_info{1, {0}, 0, 0, 0, 0});
  int extra = count - 64;  // refinement scans to share out
  for (int k = 1; k <= 63; ++k) {
    int bits = std::min(extra, 7);
    extra -= bits;
    scans.push_back(jpeg_scan_info{1, {0}, k, k, 0, bits});
    for (int al = bits - 1; al >= 0; --al) scans.push_back(jpeg_scan_info{1, {0}, k, k, al + 1, al});
  }
  return scans;
}

TEST(ImageLimits, A4097SquareImageLoads) {
  // More than 2^24 pixels, well within 2^26.
  Image image;
  Bytes png = grey_png(4097, 4097);
  ASSERT_TRUE(decode_png_bytes(image, png.data(), png.size(), -1, "big.png"));
  EXPECT_EQ(image.width, 4097);
  EXPECT_EQ(image.height, 4097);
  EXPECT_EQ(rgba(image, 4096, 4096), 0xFF000000u);
  Bytes jpeg = grey_jpeg(4097, 4097);
  ASSERT_TRUE(decode_jpeg_bytes(image, jpeg.data(), jpeg.size()));
  EXPECT_EQ(image.width, 4097);
  EXPECT_EQ(image.height, 4097);
}

TEST(ImageLimits, ImagesLoadUpToThePixelLimit) {
  // 16384 × 4096 = 2^26 loads; a header claiming one row more is refused before anything is
  // allocated, and so is any size of 2^26 + 1 pixels.
  Image image;
  const Bytes at_limit = grey_png(16384, 4096);
  ASSERT_TRUE(decode_png_bytes(image, at_limit.data(), at_limit.size(), -1, "limit.png"));
  EXPECT_EQ(image.height, 4096);
  const Bytes past_limit = resized_png(at_limit, 16384, 4097);
  EXPECT_FALSE(decode_png_bytes(image, past_limit.data(), past_limit.size(), -1, "past.png"));
  EXPECT_EQ(image.width, 0);
  EXPECT_TRUE(image_size_allowed(8192, 8192));
  EXPECT_FALSE(image_size_allowed(8065, 8321));  // 2^26 + 1 pixels
}

TEST(ImageLimits, ImagesLoadUpToTheSideLimit) {
  Image image;
  const Bytes wide = grey_png(16384, 1);
  EXPECT_TRUE(decode_png_bytes(image, wide.data(), wide.size(), -1, "wide.png"));
  const Bytes too_wide = grey_png(16385, 1);
  EXPECT_FALSE(decode_png_bytes(image, too_wide.data(), too_wide.size(), -1, "too_wide.png"));
  const Bytes tall_jpeg = grey_jpeg(1, 16384);
  EXPECT_TRUE(decode_jpeg_bytes(image, tall_jpeg.data(), tall_jpeg.size()));
  const Bytes too_tall_jpeg = grey_jpeg(1, 16385);
  EXPECT_FALSE(decode_jpeg_bytes(image, too_tall_jpeg.data(), too_tall_jpeg.size()));
}

// The JPEG with a comment segment after its start marker that brings it to file_size bytes,
// and its frame header (baseline, progressive or arithmetic) claiming width × height.
Bytes padded_jpeg(const Bytes& jpeg, size_t file_size, uint16_t width, uint16_t height) {
  Bytes b(jpeg.begin(), jpeg.begin() + 2);
  const size_t comment = file_size - jpeg.size() - 4;
  b.push_back(0xFF);
  b.push_back(0xFE);
  b.push_back(static_cast<uint8_t>((comment + 2) >> 8));
  b.push_back(static_cast<uint8_t>((comment + 2) & 0xFF));
  b.insert(b.end(), comment, ' ');
  b.insert(b.end(), jpeg.begin() + 2, jpeg.end());
  for (size_t i = 2; i + 9 < b.size(); ++i) {
    if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2 || b[i + 1] == 0xC9)) {
      b[i + 5] = static_cast<uint8_t>(height >> 8);
      b[i + 6] = static_cast<uint8_t>(height & 0xFF);
      b[i + 7] = static_cast<uint8_t>(width >> 8);
      b[i + 8] = static_cast<uint8_t>(width & 0xFF);
      break;
    }
  }
  return b;
}

TEST(ImageLimits, JpegPixelsPerByteUpToTheLimit) {
  // Arithmetic-coded data whose end is missing decodes as zeros without a warning: an 8 × 8
  // file made to claim 1024 columns and as many rows as it has bytes, padded with a comment.
  static_assert(MAX_JPEG_PIXELS_PER_BYTE == 1024, "the file below is sized for 1024 pixels a byte");
  const Bytes small = grey_jpeg(8, 8, nullptr, true);
  Image image;
  const Bytes at_limit = padded_jpeg(small, 1024, 1024, 1024);
  ASSERT_EQ(at_limit.size(), 1024u);
  ASSERT_TRUE(decode_jpeg_bytes(image, at_limit.data(), at_limit.size()));
  EXPECT_EQ(image.width, 1024);
  EXPECT_EQ(image.height, 1024);
  const Bytes one_byte_short = padded_jpeg(small, 1023, 1024, 1024);
  EXPECT_FALSE(decode_jpeg_bytes(image, one_byte_short.data(), one_byte_short.size()));
  EXPECT_EQ(image.width, 0);
}

TEST(ImageLimits, JpegScansUpToTheLimit) {
  static_assert(MAX_JPEG_SCANS == 500, "the scripts below make 500 and 501 scans");
  Image image;
  std::vector<jpeg_scan_info> scans = scan_script(496);
  Bytes progressive = grey_jpeg(24, 16, &scans);
  ASSERT_TRUE(decode_jpeg_bytes(image, progressive.data(), progressive.size()));
  EXPECT_EQ(image.width, 24);
  // Repeat the last refinement's scan header and data to reach 500 and 501 scans: each
  // repeated scan is a valid (if useless) scan of the same coefficient bit.
  for (int total : {500, 501}) {
    // The last scan runs from its SOS marker to the EOI marker at the end.
    size_t last_sos = 0;
    for (size_t i = 0; i + 1 < progressive.size(); ++i) {
      if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) last_sos = i;
    }
    ASSERT_GT(last_sos, 0u);
    Bytes scan(progressive.begin() + static_cast<long>(last_sos), progressive.end() - 2);
    Bytes file(progressive.begin(), progressive.end() - 2);
    for (int i = 496; i < total; ++i) file.insert(file.end(), scan.begin(), scan.end());
    file.push_back(0xFF);
    file.push_back(0xD9);
    EXPECT_EQ(decode_jpeg_bytes(image, file.data(), file.size()), total <= MAX_JPEG_SCANS) << total;
  }
}

// A progressive RGB JPEG of w × h (4:2:0).
Bytes progressive_rgb_jpeg(uint32_t w, uint32_t h) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = w;
  info.image_height = h;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  Bytes row(static_cast<size_t>(w) * 3);
  for (uint32_t y = 0; y < h; ++y) {
    for (size_t x = 0; x < row.size(); ++x) row[x] = static_cast<uint8_t>((x * 5 + y * 3) & 0xFF);
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

TEST(ImageAllocation, FilesThatClaimMoreThanTheirDataHoldsAllocateLittle) {
  if (!test::allocation_meter_available()) GTEST_SKIP() << "no allocation meter under a sanitizer";
  // Each file claims an image its data cannot hold; what decoding it holds at once at most.
  Bytes png_claim = png_with_size(16384, 1024);  // 16 M pixels in 80 bytes
  Bytes interlaced_claim = png_claim;
  interlaced_claim[28] = 1;  // Adam7
  interlaced_claim = resized_png(interlaced_claim, 16384, 1024);
  // Within 1024 pixels a byte, so the data is read until it runs out.
  Bytes baseline = valid_jpeg();
  Bytes baseline_claim = padded_jpeg(baseline, 4096, 16384, 256);
  // A progressive file keeps every coefficient of the image: 16 M pixels need 48 MiB, more
  // than the 20 MiB a 16 KiB file may use.
  Bytes progressive_claim = padded_jpeg(progressive_rgb_jpeg(16, 16), 16384, 4096, 4096);
  Bytes arithmetic_claim = padded_jpeg(grey_jpeg(8, 8, nullptr, true), 4096, 16384, 4096);
  const struct {
    const char* what;
    Bytes bytes;
    bool png;
    int64_t bound;
  } cases[] = {
      {"png claiming 16384 x 1024", png_claim, true, 64 << 10},
      {"interlaced png claiming 16384 x 1024", interlaced_claim, true, 64 << 10},
      {"baseline jpeg claiming 16384 x 256, data for 16 x 16", baseline_claim, false, 4 << 20},
      {"progressive jpeg claiming 4096 x 4096", progressive_claim, false, 4 << 20},
      {"arithmetic jpeg claiming 16384 x 4096", arithmetic_claim, false, 64 << 10},
  };
  for (const auto& c : cases) {
    Image image;
    bool decoded = true;
    int64_t peak = test::peak_allocation([&] {
      decoded = c.png ? decode_png_bytes(image, c.bytes.data(), c.bytes.size(), -1, "claim")
                      : decode_jpeg_bytes(image, c.bytes.data(), c.bytes.size());
    });
    std::printf("%s (%zu bytes): at most %lld bytes held while decoding\n", c.what, c.bytes.size(),
                static_cast<long long>(peak));
    EXPECT_FALSE(decoded) << c.what;
    EXPECT_LT(peak, c.bound) << c.what;
  }
}

TEST(MalformedImages, RandomDamageNeverCrashes) {
  std::vector<Bytes> seeds = {valid_png(), valid_jpeg(), make_bmp(3, 3, 8, Bytes(1024, 1), Bytes(12, 1)),
                              make_bmp(3, -2, 16, {}, Bytes(16, 0xAB))};
  std::mt19937 random(1234);
  int decoded = 0;
  for (int round = 0; round < 400; ++round) {
    Bytes b = seeds[round % seeds.size()];
    int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) b[random() % b.size()] = static_cast<uint8_t>(random());
    if (round % 5 == 0) b.resize(random() % b.size());
    Image image;
    if (decode_bmp_bytes(image, b.data(), b.size(), KEY) ||
        decode_png_bytes(image, b.data(), b.size(), KEY, "fuzz") ||
        decode_jpeg_bytes(image, b.data(), b.size())) {
      ++decoded;
      EXPECT_TRUE(image_size_allowed(image.width, image.height));
    }
  }
  EXPECT_GT(decoded, 0);  // the damage is not always fatal, so both paths ran
}

}  // namespace
}  // namespace qrn
