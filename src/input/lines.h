// Reading lines and numbers from input files, and the text helpers for names
// and paths.
#pragma once

#include <cstdio>

#include "interface/types.h"

namespace ils {

// Reads one line (up to and including its line feed, at most 1023 characters)
// into buf[kLineSize]. A longer line is cut; its rest is the next line.
// At end of file buf becomes empty and false is returned: a reader that needs
// another line of its command then sees an empty line.
bool readLine(FILE* file, char* buf);

// As readLine, but at end of file buf keeps its previous content (the
// post-processing parameter file relies on this). Returns false at end.
bool readLineKeep(FILE* file, char* buf);

// Scans one number with "%lf" semantics straight from the stream, across line
// ends. Returns false at end of file or when the next word is not a number;
// an unreadable word is consumed so that reading moves on.
bool readStreamDouble(FILE* file, double& value);

// Reads and drops the rest of the current line.
void skipRestOfLine(FILE* file);

// Removes trailing, then leading characters whose value as a signed 8-bit
// number is 32 or less (blanks, controls, bytes 128..255), in place.
void trimBlanks(char* text);

// snprintf into a kLineSize buffer; returns the characters written, or -1
// when the result does not fit or formatting fails.
int formatPath(char* buf, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Backslashes in a path taken from input are read as '/'.
void normalizeSeparators(char* path);

}  // namespace ils
