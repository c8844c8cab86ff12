/* Library version: the one place it is defined. CMake reads these lines. */
#ifndef ILSCALC_VERSION_H
#define ILSCALC_VERSION_H

#define ILSCALC_VERSION_MAJOR 1
#define ILSCALC_VERSION_MINOR 0
#define ILSCALC_VERSION_PATCH 0
#define ILSCALC_VERSION_STRING "1.0.0"

#endif
