// The clock's main routine (see clock_main.h).
#include "clock_main.h"

#include "quarnel.h"

namespace qrn {

int32_t clock_main() { return 0; }

}  // namespace qrn
