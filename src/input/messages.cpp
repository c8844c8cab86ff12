#include "input/messages.h"

#include <cstdarg>

namespace ils {

void logMessage(FILE* log, const char* format, ...) {
    if (log == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
}

void reportMissingInputs(FILE* log, const char* command, int needed, int lineNumber,
                         const char* line) {
    logMessage(log, "ERROR! %2s command requires %d inputs on line %d.\n", command, needed,
               lineNumber);
    logMessage(log, "Last line read:\n\t%s", line);
}

void reportNotFinite(FILE* log, const char* command, int lineNumber) {
    logMessage(log, "ERROR! %s command line %d gives a value that is not finite.\n", command,
               lineNumber);
}

}  // namespace ils
