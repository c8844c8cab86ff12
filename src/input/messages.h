// Messages for the user: formatted lines in the run's message log.
#pragma once

#include <cstdio>

namespace ils {

// printf-style write to a log; does nothing when log is null.
void logMessage(FILE* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The two-write report of a line with too few values:
// "ERROR! %2s command requires %d inputs on line %d.\n" then
// "Last line read:\n\t%s" with the line as read.
void reportMissingInputs(FILE* log, const char* command, int needed, int lineNumber,
                         const char* line);

// A line whose numbers convert but whose derived values (scaled lengths,
// wavelengths, wave numbers, currents) overflow:
// "ERROR! %s command line %d gives a value that is not finite.\n".
void reportNotFinite(FILE* log, const char* command, int lineNumber);

}  // namespace ils
