// Numbers of the log's tables as printf writes them, mostly without printf:
// the field run formats some ten numbers per point, and printf's conversion
// was a fifth of the run's serial time. The value scaled by a power of ten
// is rounded directly where its one rounding error cannot change the
// result; the rest (near a decimal tie, extreme magnitudes) take printf.
#pragma once

#include <string>

namespace ils {

// Appends value as std::snprintf's "%<width>.<precision>f" (fixed) or
// "%<width>.<precision>e" (scientific) would write it, byte for byte:
// correctly rounded (ties to even on the exact binary value), right-aligned
// in width, "inf" and "nan" with their signs.
void appendFixed(std::string& text, double value, int width, int precision);
void appendScientific(std::string& text, double value, int width, int precision);

}  // namespace ils
