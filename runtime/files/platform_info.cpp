// Platform information (see platform_info.h). Placeholder until the module is built.
#include "files/platform_info.h"

namespace qrn {

RtString platform_info(const RtString&) { return RtString(); }

}  // namespace qrn
