// The runtime's version text; the date and host id are generated at build time.
#include "core/build_info.h"

namespace qrn {

extern const char* const runtime_version_text = "004.400";

}  // namespace qrn
