// Math and random numbers: the ISAAC generator, degree trigonometry, modulo and rounding.
#pragma once

#include <cstdint>

namespace qrn {

// Clears the generator and initialises it from the seed.
void random_seed(int32_t seed);

}  // namespace qrn
