// The one-time warning that OpenGL runs on a software renderer (llvmpipe, softpipe and the
// like): a log line and a warning box whose text "opengldriver.txt" may replace.
#pragma once

#include <string>

namespace qrn {

// True for renderers that draw on the processor.
bool is_software_renderer(const std::string& renderer);
// Logs and shows the warning for a software renderer, at most once per process.
void warn_if_software_renderer(const std::string& renderer);
// The warning's text: the content of "opengldriver.txt" (up to 2047 bytes) or the built-in
// text, as UTF-8 (a file that is not UTF-8 is read as Western European).
std::string software_warning_text();

}  // namespace qrn
