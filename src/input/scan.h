// Formatted scanning of a line with the conventions of the command files:
// like sscanf, with these differences: "%Ns" word fields have a fixed size of
// N characters, and a longer word fails its conversion and leaves the field
// empty (the C library would truncate it); the scan stops at the first failed
// conversion. Supported conversions: %d (int32_t*), %lf (double*),
// %f (float*, single precision), %Ns (char* of N+1 bytes), %% and white space
// (any amount, CR and LF included). Returns the number of conversions made.
#pragma once

namespace ils {

int scanText(const char* text, const char* format, ...);

}  // namespace ils
