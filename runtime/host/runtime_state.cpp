// The process-wide runtime record.
#include "host/runtime_state.h"

namespace qrn {

RuntimeState g_runtime;

}  // namespace qrn
