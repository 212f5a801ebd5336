// File channels (see channels.h). Placeholder until the module is built.
#include "files/channels.h"

namespace qrn {

void close_all_channels() {}

}  // namespace qrn
