// Build information fixed when the runtime is built (the texts behind the "COMPILED",
// "HOSTID" and "VERSION" platform-information keys).
#pragma once

namespace qrn {

// Build date and time: "May 10 2016-11:52:50" (day padded with a blank below 10).
extern const char* const build_date_text;
// Eight lower-case hexadecimal digits identifying the build machine.
extern const char* const build_host_id;
// "004.400"
extern const char* const runtime_version_text;

}  // namespace qrn
