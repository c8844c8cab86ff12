// The element pattern block of a CO or CL command.
#pragma once

#include "interface/run_data.h"

namespace ils {

// Reads the block whose first line has number firstLineNumber within the
// command; rotation is the array rotation in radians. 0 or -1.
int readElementPattern(RunData& rd, int firstLineNumber, const char* command, int arrayIndex,
                       double rotation);

// As above; nextLineNumber receives the number, within the command, of the
// line that follows the block.
int readElementPattern(RunData& rd, int firstLineNumber, const char* command, int arrayIndex,
                       double rotation, int& nextLineNumber);

// Completes a table of k points to the full circle -180..180 degrees.
// Returns the new count, or -1 when it would exceed kMaxPatternPoints.
int completePatternTable(double* angles, double* values, int k);

}  // namespace ils
