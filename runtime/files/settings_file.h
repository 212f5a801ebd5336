// Settings file: one sections-and-keys text file at a time, loaded into a process-wide store
// that is written back (lines "[section]" and "key=value", each ended by CR LF) when it has
// changed and another file is opened, the empty name closes it, or the process exits.
// Writing never loses the old file: the new content replaces it in one rename.
// Limits: a file of at most MAX_SETTINGS_FILE_BYTES is read, its lines whole at any length;
// a larger file opens as a closed store (empty, never written back), so it is not lost.
// A file named relative to the working directory whose
// folder this process cannot write in (an installed program in /usr/bin) is kept in the
// user's settings folder instead ("$XDG_CONFIG_HOME/<program>/", see program_places.h), so
// changes are not lost; the copy beside the program is read until that one exists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/text_value.h"

namespace qrn {

// Largest settings file read (1 MiB).
constexpr uint64_t MAX_SETTINGS_FILE_BYTES = uint64_t{1} << 20;

struct IniEntry {
  RtString key;
  RtString value;  // never empty
};

struct IniSection {
  RtString name;
  std::vector<IniEntry> entries;
};

// The content of a changed store whose file another open held when it was to be written.
struct IniUnwritten {
  RtString file_name;
  std::string bytes;
};

struct IniStore {
  RtString file_name;                // empty when no file is open
  std::vector<IniSection> sections;  // file order, then order of creation
  bool dirty = false;                // set by every change; cleared only by ini_open
  // Changes kept for files that were held: tried again at every ini_open and ini_flush and
  // at exit; opening such a file again takes them back into the store.
  std::vector<IniUnwritten> unwritten;
};

// Writes back the open file if it changed, then loads the named file (an empty name only
// closes). A missing or unreadable file opens as an empty store; a file larger than
// MAX_SETTINGS_FILE_BYTES as a closed one. A file held open elsewhere (by a channel, by
// another process) is not replaced: its changes are kept and written by a later ini_open or
// ini_flush, or at exit, once the file is free.
void ini_open(const RtString& file_name);
// The value of the first matching key of the first matching section (case ignored), or a
// copy of default_value.
RtString ini_get(const RtString& section, const RtString& key, const RtString& default_value);
// Sets or adds the key; an empty value removes the key, an empty key the whole section.
void ini_put(const RtString& section, const RtString& key, const RtString& value);
// Writes the store to its file when it has changed (memory files are not written), and any
// changes kept for files that were held. A held file is left untouched and the store stays
// changed.
void ini_flush();

// ---- Plain data (used by the commands above, open to tests) ----------------------------------
// Reads one line of a settings file into the section being collected (step of the reader).
void ini_read_line(IniStore& store, IniSection& collecting, const char* line);
// Adds the section being collected to the store when it holds an entry.
void ini_finish_section(IniStore& store, IniSection& collecting);
// The file's bytes for a store.
std::string ini_file_bytes(const IniStore& store);

}  // namespace qrn
