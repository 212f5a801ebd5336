// Math and random numbers: the ISAAC generator (state in RuntimeState), trigonometry in
// degrees, remainders that tolerate a zero divisor, powers, rounding and square roots.
#pragma once

#include <cstdint>

namespace qrn {

// ---- Random numbers -------------------------------------------------------------------------
// Clears the generator and initialises it from the seed; the sequence after a seed is fixed.
void random_seed(int32_t seed);
// One complete ISAAC pass over the 256-word memory; the first result word of the pass.
uint32_t random_next();
// 0 to n inclusive; 0 without advancing the generator when n <= 0.
int32_t random_int(int32_t n);

// ---- Trigonometry in degrees ----------------------------------------------------------------
double sin_deg(double angle);
double cos_deg(double angle);
double tan_deg(double angle);
double atan2_deg(double y, double x);
// Clamped: 90 (-90) for x >= 1 (x <= -1).
double asin_deg(double x);
// Clamped: 0 (180) for x >= 1 (x <= -1).
double acos_deg(double x);

// ---- Remainders, powers and rounding --------------------------------------------------------
// a % b with the sign of a; 0 when b is 0 (and when b is -1, where the quotient overflows).
int32_t int_mod(int32_t a, int32_t b);
// fmod (x, y); 0 when y is 0.
double real_mod(double x, double y);
double real_pow(double x, double y);
double real_floor(double x);
double real_ceil(double x);
double real_sqrt(double x);

}  // namespace qrn
