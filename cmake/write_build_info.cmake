# Writes the build-information source: build date as the compiler's date form
# ("Mmm dd yyyy", day padded with a blank), "-", and the time "hh:mm:ss".
string(TIMESTAMP month "%b")
string(TIMESTAMP day "%d")
string(TIMESTAMP year "%Y")
string(TIMESTAMP clock "%H:%M:%S")
string(REGEX REPLACE "^0" " " day "${day}")
set(content "// Generated at build time; do not edit.
namespace qrn {
extern const char* const build_date_text = \"${month} ${day} ${year}-${clock}\";
extern const char* const build_host_id = \"${HOST_ID}\";
}  // namespace qrn
")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
