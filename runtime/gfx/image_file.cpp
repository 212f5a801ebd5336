// Whole-file reading and writing for the image codecs (see image_file.h), through the file
// streams, so disk files and memory files read alike.
#include "gfx/image_file.h"

#include "files/file_stream.h"

namespace qrn {

bool read_image_file(const char* name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileStream stream;
  if (!name || !*name || !stream_open_read(stream, name)) return false;
  bool ok = stream.size <= MAX_IMAGE_FILE_BYTES;
  if (ok) {
    bytes.resize(static_cast<size_t>(stream.size));
    ok = bytes.empty() || stream_read(stream, bytes.data(), stream.size);
  }
  stream_close(stream);
  if (!ok) bytes.clear();
  return ok;
}

bool write_image_file(const char* name, const uint8_t* data, size_t size) {
  FileStream stream;
  if (!name || !*name || !stream_open_write(stream, name)) return false;
  bool ok = stream_write(stream, data, size) != 0;
  stream_close(stream);
  return ok;
}

}  // namespace qrn
