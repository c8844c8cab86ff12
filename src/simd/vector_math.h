// Array forms of the engine's vector mathematics (simd/vector_math-inl.h),
// dispatched at run time to the best instruction set of the machine. Each
// output element is the function of the same input element alone: results
// do not depend on the array length or on an element's position.
#pragma once

#include <cstddef>

namespace ils {

// s[i] = sin x[i], c[i] = cos x[i].
void vectorSinCos(const double* x, std::size_t n, double* s, double* c);
// out[i] = sin x[i] / x[i] (1 - x^2/6 where |x| < 1e-4).
void vectorSinc(const double* x, std::size_t n, double* out);
// out[i] = atan2(y[i], x[i]).
void vectorAtan2(const double* y, const double* x, std::size_t n, double* out);
// out[i] = log x[i].
void vectorLog(const double* x, std::size_t n, double* out);
// re[i] = J0(|x[i]|), im[i] = Y0(|x[i]|) by the polynomials of besselZero.
void vectorHankel0First(const double* x, std::size_t n, double* re, double* im);

// Name of the instruction set the calls above use now.
const char* vectorTargetName();

}  // namespace ils
