// Math and random numbers (see math_random.h). Placeholder until the module is built.
#include "core/math_random.h"

namespace qrn {

void random_seed(int32_t) {}

}  // namespace qrn
