// The software-renderer warning (see software_warning.h). Whether a box appears is the
// platform's business: in an unattended run its text goes to standard error instead.
#include "host/software_warning.h"

#include <cstdio>

#include "core/errors.h"
#include "platform/platform.h"

namespace qrn {

namespace {

bool g_warned = false;

constexpr const char* kDefaultText =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE unterst\xC3\xBCtzt!";

bool valid_utf8(const std::string& text) {
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t follow = 0;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0) {
        follow = 1;
      } else if ((c & 0xF0) == 0xE0) {
        follow = 2;
      } else if ((c & 0xF8) == 0xF0) {
        follow = 3;
      } else {
        return false;
      }
    }
    if (i + follow >= n && follow) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += follow + 1;
  }
  return true;
}

std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

bool is_software_renderer(const std::string& renderer) {
  static const char* const kSoftware[] = {"llvmpipe", "softpipe", "Software Rasterizer", "swrast",
                                          "GDI Generic"};
  if (renderer == "Mesa Windows GDI Driver") return true;
  for (const char* name : kSoftware) {
    if (renderer.find(name) != std::string::npos) return true;
  }
  return false;
}

std::string software_warning_text() {
  std::string text;
  if (FILE* file = std::fopen("opengldriver.txt", "rb")) {
    char buffer[2048];
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    text.assign(buffer, n);
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
  }
  if (text.empty()) return kDefaultText;
  return valid_utf8(text) ? text : latin1_to_utf8(text);
}

void warn_if_software_renderer(const std::string& renderer) {
  if (g_warned || !is_software_renderer(renderer)) return;
  g_warned = true;
  log_write("*** OpenGL Software Emulation - update driver!\n");
  os_video().message_box("No OpenGL Hardware Drivers", software_warning_text().c_str());
}

}  // namespace qrn
