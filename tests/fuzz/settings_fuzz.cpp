// Fuzz entry: the settings file. The input is opened as a settings file (from memory), read,
// changed and closed; and its lines are read into a store of its own whose written form,
// read again, must write the very same bytes.
#include <string>

#include "fuzz/fuzz_support.h"

namespace {

// The store the file's lines make, read the way ini_open reads them.
qrn::IniStore read_store(const qrn::RtString& name) {
  qrn::IniStore store;
  qrn::FileStream in;
  if (!qrn::stream_open_read(in, name.data)) return store;
  qrn::IniSection collecting;
  qrn::RtString line;
  while (qrn::stream_read_whole_line(in, line)) qrn::ini_read_line(store, collecting, line.data);
  qrn::ini_finish_section(store, collecting);
  qrn::stream_close(in);
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  fuzz::MemoryInput input(data, size);
  ini_open(input.name());
  RtString first_section, first_key;
  {
    IniStore store = read_store(input.name());
    if (!store.sections.empty()) {
      first_section = store.sections[0].name;
      if (!store.sections[0].entries.empty()) first_key = store.sections[0].entries[0].key;
    }
    const std::string written = ini_file_bytes(store);
    fuzz::MemoryInput again(reinterpret_cast<const uint8_t*>(written.data()), written.size());
    if (ini_file_bytes(read_store(again.name())) != written) fuzz::fail("a written settings file reads differently");
  }
  // Look-ups and changes through the commands; the memory file is never written.
  ini_get(first_section, first_key, "none");
  ini_get("TIME", "AWAKE", "0700");
  ini_put(first_section, first_key, "changed");
  ini_put("TIME", "AWAKE", "0730");
  ini_put(first_section, "", "");
  ini_open(RtString());
  return 0;
}
