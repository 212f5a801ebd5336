// fuzz_seeds: writes small valid inputs for the runtime's fuzz targets, one folder per
// target under the folder given: images in every layout the decoders read (through the
// runtime's encoders, libpng and libjpeg, and a BMP writer of the other bit counts), a font
// image, settings files, line files, wake times, number texts, cipher and URL texts. The
// archive seeds are made by tools/make_fuzz_seeds.sh with kix_pack.
//
//   fuzz_seeds <corpus folder>
#include <png.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "quarnel.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_root;

void write_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string folder = g_root + "/" + target;
  mkdir(g_root.c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())) {
    std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(file);
}

void write_text_seed(const std::string& target, const std::string& name, const std::string& text) {
  write_seed(target, name, Bytes(text.begin(), text.end()));
}

// A w × h image of smooth colours, with transparent pixels where transparent is set.
void pattern(qrn::Image& image, int32_t w, int32_t h, bool transparent) {
  image.resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = image.at(x, y);
      p[0] = static_cast<uint8_t>(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = static_cast<uint8_t>(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = static_cast<uint8_t>((x + y) * 17);
      p[3] = transparent && (x + y) % 3 == 0 ? 0 : 255;
    }
  }
}

// ---- BMP of any bit count the decoder reads --------------------------------------------------

void put(Bytes& b, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes bmp(int32_t w, int32_t h, int bits, bool core_header) {
  const uint32_t entries = bits <= 8 ? 1u << bits : 0;
  const uint32_t entry_size = core_header ? 3 : 4;
  const uint32_t header = core_header ? 12 : 40;
  const uint32_t row = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
  const int32_t rows = h < 0 ? -h : h;
  const uint32_t offset = 14 + header + entries * entry_size;
  Bytes b = {'B', 'M'};
  put(b, offset + row * rows, 4);
  put(b, 0, 4);
  put(b, offset, 4);
  put(b, header, 4);
  if (core_header) {
    put(b, w, 2);
    put(b, h, 2);
    put(b, 1, 2);
    put(b, bits, 2);
  } else {
    put(b, w, 4);
    put(b, static_cast<uint32_t>(h), 4);
    put(b, 1, 2);
    put(b, bits, 2);
    put(b, 0, 4);
    put(b, row * rows, 4);
    put(b, 2835, 4);
    put(b, 2835, 4);
    put(b, entries, 4);
    put(b, 0, 4);
  }
  for (uint32_t i = 0; i < entries; ++i) {
    b.push_back(static_cast<uint8_t>(i * 37));
    b.push_back(static_cast<uint8_t>(i * 91));
    b.push_back(static_cast<uint8_t>(255 - i));
    if (!core_header) b.push_back(0);
  }
  for (int32_t y = 0; y < rows; ++y) {
    Bytes line(row, 0);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = static_cast<uint32_t>(x * 7 + y * 3);
      if (bits < 8) {
        const uint32_t per_byte = 8 / bits;
        line[x / per_byte] |= static_cast<uint8_t>((v & ((1u << bits) - 1)) << (8 - bits * (x % per_byte + 1)));
      } else {
        for (int i = 0; i < bits / 8; ++i) line[x * (bits / 8) + i] = static_cast<uint8_t>(v * (i + 5));
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

// ---- PNG in the layouts libpng writes -------------------------------------------------------

Bytes png(int32_t w, int32_t h, int colour_type, int depth, int interlace, bool with_trns) {
  Bytes out;
  png_structp p = png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_write_struct(&p, &info);
    return {};
  }
  png_set_write_fn(
      p, &out,
      [](png_structp s, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(s));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(p, info, w, h, depth, colour_type, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[16];
  png_byte alpha[16];
  for (int i = 0; i < 16; ++i) {
    palette[i] = png_color{static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 16), static_cast<png_byte>(i * 7)};
    alpha[i] = static_cast<png_byte>(i * 17);
  }
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(p, info, palette, 1 << (depth < 4 ? depth : 4));
  if (with_trns && colour_type == PNG_COLOR_TYPE_PALETTE) png_set_tRNS(p, info, alpha, 4, nullptr);
  png_color_16 key{};
  key.red = key.green = key.blue = key.gray = 1;
  if (with_trns && colour_type != PNG_COLOR_TYPE_PALETTE) png_set_tRNS(p, info, nullptr, 0, &key);
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>("Software");
  text.text = const_cast<char*>("fuzz_seeds");
  png_set_text(p, info, &text, 1);
  png_write_info(p, info);
  const int channels = colour_type == PNG_COLOR_TYPE_RGB ? 3 : colour_type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 :
                       colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const size_t row_bytes = (static_cast<size_t>(w) * channels * depth + 7) / 8;
  std::vector<Bytes> rows(h, Bytes(row_bytes));
  std::vector<png_bytep> pointers(h);
  for (int32_t y = 0; y < h; ++y) {
    for (size_t i = 0; i < row_bytes; ++i) rows[y][i] = static_cast<uint8_t>(i * 13 + y * 29);
    if (colour_type == PNG_COLOR_TYPE_PALETTE && depth == 8) {
      for (size_t i = 0; i < row_bytes; ++i) rows[y][i] &= 15;
    }
    pointers[y] = rows[y].data();
  }
  png_write_image(p, pointers.data());
  png_write_end(p, info);
  png_destroy_write_struct(&p, &info);
  return out;
}

// ---- JPEG in the layouts libjpeg writes -----------------------------------------------------

struct JpegLayout {
  int components;
  J_COLOR_SPACE space;
  bool progressive;
  bool arithmetic;
  int restart_rows;
  bool full_chroma;
};

Bytes jpeg(int32_t w, int32_t h, const JpegLayout& layout) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = layout.components;
  info.in_color_space = layout.space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 75, TRUE);
  if (layout.progressive) jpeg_simple_progression(&info);
  info.arith_code = layout.arithmetic ? TRUE : FALSE;
  info.restart_in_rows = layout.restart_rows;
  if (layout.full_chroma && layout.components == 3) {
    info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  Bytes row(static_cast<size_t>(w) * layout.components);
  for (int32_t y = 0; y < h; ++y) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 5 + y * 11);
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes with_prefix(const Bytes& prefix, const std::string& text) {
  Bytes b = prefix;
  b.insert(b.end(), text.begin(), text.end());
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
    return 2;
  }
  g_root = argv[1];
  using qrn::Image;

  // BMP: the runtime's writer, and every bit count and header the decoder reads.
  Image image;
  pattern(image, 5, 3, true);
  Bytes bytes;
  qrn::encode_bmp_bytes(image, bytes);
  write_seed("bmp", "written_24bit.bmp", bytes);
  for (int bits : {1, 4, 8, 16, 24, 32}) write_seed("bmp", "info_" + std::to_string(bits) + "bit.bmp", bmp(7, 3, bits, false));
  write_seed("bmp", "top_down_32bit.bmp", bmp(3, -2, 32, false));
  write_seed("bmp", "core_8bit.bmp", bmp(6, 2, 8, true));
  write_seed("bmp", "core_1bit.bmp", bmp(9, 2, 1, true));

  // PNG: the runtime's writer, and the colour types, depths and interlacing libpng writes.
  qrn::encode_png_bytes(image, bytes);
  write_seed("png", "written_rgba.png", bytes);
  write_seed("png", "rgb8.png", png(6, 4, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, false));
  write_seed("png", "rgb16_trns.png", png(3, 3, PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_NONE, true));
  write_seed("png", "grey1.png", png(17, 3, PNG_COLOR_TYPE_GRAY, 1, PNG_INTERLACE_NONE, false));
  write_seed("png", "grey4_trns.png", png(5, 5, PNG_COLOR_TYPE_GRAY, 4, PNG_INTERLACE_NONE, true));
  write_seed("png", "grey8_interlaced.png", png(9, 9, PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_ADAM7, false));
  write_seed("png", "palette2_trns.png", png(7, 2, PNG_COLOR_TYPE_PALETTE, 2, PNG_INTERLACE_NONE, true));
  write_seed("png", "palette8_interlaced.png", png(10, 6, PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_ADAM7, true));
  write_seed("png", "rgba16.png", png(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16, PNG_INTERLACE_NONE, false));
  write_seed("png", "grey_alpha8.png", png(2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, PNG_INTERLACE_NONE, false));

  // JPEG: the runtime's writer, and grey, CMYK, progressive, arithmetic and restart layouts.
  Image photo;
  pattern(photo, 24, 16, false);
  qrn::encode_jpeg_bytes(photo, bytes);
  write_seed("jpeg", "written_rgb.jpg", bytes);
  write_seed("jpeg", "grey.jpg", jpeg(16, 9, {1, JCS_GRAYSCALE, false, false, 0, false}));
  write_seed("jpeg", "rgb_444.jpg", jpeg(12, 12, {3, JCS_RGB, false, false, 0, true}));
  write_seed("jpeg", "progressive.jpg", jpeg(20, 18, {3, JCS_RGB, true, false, 0, false}));
  write_seed("jpeg", "arithmetic.jpg", jpeg(16, 16, {3, JCS_RGB, false, true, 0, false}));
  write_seed("jpeg", "restarts.jpg", jpeg(32, 24, {3, JCS_RGB, false, false, 1, false}));
  write_seed("jpeg", "cmyk.jpg", jpeg(8, 8, {4, JCS_CMYK, false, false, 0, false}));
  write_seed("jpeg", "progressive_grey.jpg", jpeg(9, 17, {1, JCS_GRAYSCALE, true, false, 0, false}));

  // Fonts: the built-in font's image, and a small wide and a small tall grid.
  Image font;
  qrn::build_builtin_font_image(font);
  qrn::encode_png_bytes(font, bytes);
  write_seed("font", "builtin.png", bytes);
  pattern(image, 32, 16, true);
  qrn::encode_bmp_bytes(image, bytes);
  write_seed("font", "wide_keyed.bmp", bytes);
  pattern(image, 16, 32, true);
  qrn::encode_png_bytes(image, bytes);
  write_seed("font", "tall.png", bytes);

  // Settings files.
  write_text_seed("settings", "clock.ini", "[TIME]\r\nAWAKE=0730\r\n");
  write_text_seed("settings", "mixed.ini",
                  "top=before any header\n; a comment\n[ Game ]\r\nlevel = 3\r\nname=Ann  \r\n\r\n[Empty]\n"
                  "[Game]\nlevel=4\n=no key\nbroken line\n[Keys\nfire=space\t\n#hash=1\n");
  write_text_seed("settings", "long_value.ini", "[L]\r\nvalue=" + std::string(1500, 'v') + "\r\nafter=1\r\n");

  // Line files: two bytes for the buffer size, then lines around a 1023-byte buffer.
  const Bytes buffer_1024 = {0x00, 0x04};
  const Bytes buffer_8 = {0x08, 0x00};
  write_seed("lines", "crlf.txt", with_prefix(buffer_1024, "first\r\nsecond\r\n\r\nlast"));
  write_seed("lines", "lf_and_cr.txt", with_prefix(buffer_8, "a\rb\nlonger than eight\n\r\nend\r"));
  write_seed("lines", "long.txt", with_prefix(buffer_1024, std::string(1022, 'x') + "\r\n" + std::string(1023, 'y') +
                                                               "\n" + std::string(2046, 'z') + "\r\nnext\r\n"));

  // Wake times, as texts and as the clock's settings file.
  for (const char* text : {"0730", "730", "7:30", "07.30", "7h30", " 0615\r", "2500"}) {
    write_text_seed("wake_time", std::string("text_") + std::to_string(std::strlen(text)) + "_" +
                                     std::to_string(static_cast<unsigned char>(text[1])), text);
  }
  write_text_seed("wake_time", "orvl.ini", "[TIME]\r\nAWAKE=0615\r\n");

  // Number texts: a width byte, a decimals byte, then the text.
  const Bytes width = {0x8A, 0x0B};  // width 10, decimals 3
  for (const char* text : {"3.14159", "-42", "1e10", "  12abc", "1.5e-300", "2147483648", "-9223372036854775809",
                           "0.1", ".5e+3"}) {
    write_seed("number_text", std::string("number_") + std::to_string(std::strlen(text)) + "_" +
                                  std::to_string(static_cast<unsigned char>(text[0])),
               with_prefix(width, text));
  }

  // Cipher: a key length byte, the key, then a text (plain, and the hex of an encryption).
  write_seed("cipher", "plain.txt", with_prefix({6}, "secretHello, world"));
  const qrn::RtString encrypted = qrn::encrypt_text("key", "attack at dawn");
  write_seed("cipher", "encrypted.txt", with_prefix({3}, std::string("key") + encrypted.data));
  write_seed("cipher", "empty_key.txt", with_prefix({0}, "0123456789abcdef0123"));

  // URL and hexadecimal texts.
  write_text_seed("url_hex", "plain.txt", "a%20b+c%2Bd");
  write_text_seed("url_hex", "utf8.txt", "%C3%A9t%C3%A9 \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  write_text_seed("url_hex", "broken.txt", "%G1%4%%zz\x80\xC3");
  return 0;
}
