// Fuzz entry: the resource archive and its LZO unpacking. The input is a name length byte,
// the name to look up, then the archive file (read from memory). The entry found must read
// back whole, in memory and as a temporary file alike.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

std::vector<uint8_t> read_all(const qrn::RtString& name) {
  std::vector<uint8_t> bytes;
  qrn::FileStream in;
  if (!qrn::stream_open_read(in, name.data)) qrn::fuzz::fail("a found entry does not open");
  bytes.resize(static_cast<size_t>(in.size));
  if (!bytes.empty() && !qrn::stream_read(in, bytes.data(), bytes.size())) qrn::fuzz::fail("a found entry does not read");
  qrn::stream_close(in);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  size_t name_length = fuzz::take_u8(data, size);
  if (name_length > size) name_length = size;
  const RtString name = text_from_bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(name_length));
  data += name_length;
  size -= name_length;
  fuzz::MemoryInput archive(data, size);
  set_archive_paths(archive.name(), archive.name());

  RtString found = name;
  if (resolve_file_name(found) && is_memory_file_name(found.data)) {
    std::vector<uint8_t> in_memory = read_all(found);
    RtString extracted;
    if (archive_lookup(g_runtime.resource_archives[1], name, extracted, ARCHIVE_TEMP_FILE)) {
      if (read_all(extracted) != in_memory) fuzz::fail("the temporary file differs from the memory block");
    }
  }
  RtString other("other.bin");
  resolve_file_name(other);
  for (ResourceArchive*& record : g_runtime.resource_archives) {
    release_resource_archive(record);
    record = nullptr;
  }
  return 0;
}
