/*
 * ilscalc: ILS signal-in-space calculation library.
 *
 * A host writes a command file RUN.dat into a project directory, starts a
 * calculation with ILSCalc_Start, polls ILSCalc_GetProgress until it reports
 * 100 percent, and may ask for an early end with ILSCalc_Stop. The run writes
 * its message log RUN.out and the field file RUN.fld into SCRATCH_BASE/scratch/.
 * Afterwards the host writes ILSPOST.TMP into that directory and calls ILSPost.
 *
 * All texts are NUL-terminated narrow strings. A backslash in a path is read
 * as '/'. No function throws; every failure is a return code.
 */
#ifndef ILSCALC_ILSCALC_H
#define ILSCALC_ILSCALC_H

#include <stdint.h>

#include "ilscalc/version.h"

/* ILSCALC_STATIC: the caller links the static library (the tests do), so
 * the functions are neither imported from nor exported by a DLL. */
#if defined(_WIN32)
#  if defined(ILSCALC_STATIC)
#    define ILSCALC_API
#  elif defined(ILSCALC_BUILDING)
#    define ILSCALC_API __declspec(dllexport)
#  else
#    define ILSCALC_API __declspec(dllimport)
#  endif
#  define ILSCALC_CALL __stdcall
#else
#  define ILSCALC_API __attribute__((visibility("default")))
#  define ILSCALC_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Run states returned by ILSCalc_Stop and ILSCalc_GetProgress. */
#define ILSCALC_IDLE 0        /* no run since the library was loaded */
#define ILSCALC_RUNNING 1     /* the worker is executing the command file */
#define ILSCALC_FINISHED 2    /* ended after a successful EN command */
#define ILSCALC_FAILED 3      /* could not start, or ended on an error */
#define ILSCALC_INTERRUPTED 4 /* ended after ILSCalc_Stop */

/*
 * Return codes of ILSCalc_Start and ILSPost, one table each: code, name and
 * what it means for the user. A host expands them with a macro of its own,
 * for example to print the meaning of a code:
 *   #define ROW(code, name, text) case code: return text;
 *   switch (rc) { ILSCALC_START_RESULTS(ROW) }
 */
#define ILSCALC_START_RESULTS(X)                                                        \
    X(0, ILSCALC_START_OK, "started")                                                   \
    X(1, ILSCALC_START_BUSY, "a run is already running (nothing was changed)")          \
    X(2, ILSCALC_START_NO_COMMAND_FILE, "the command file cannot be opened")            \
    X(3, ILSCALC_START_NO_OUTPUT, "the message log or the field file cannot be opened") \
    X(4, ILSCALC_START_NO_PROJECT, "the project directory cannot be entered")           \
    X(5, ILSCALC_START_PATH_TOO_LONG, "the scratch directory path needs 1024 characters or more") \
    X(6, ILSCALC_START_NO_THREAD, "the worker thread cannot be started")

#define ILSPOST_RESULTS(X)                                                                      \
    X(0, ILSPOST_OK, "done")                                                                    \
    X(1, ILSPOST_NO_DIRECTORY, "the post directory cannot be entered")                          \
    X(2, ILSPOST_NO_PARAMETER_FILE, "ILSPOST.TMP cannot be opened")                             \
    X(3, ILSPOST_BAD_PARAMETERS, "the parameter file is invalid")                               \
    X(4, ILSPOST_CALC_FAILED, "the field file cannot be read or the receiver failed")           \
    X(5, ILSPOST_PATH_TOO_LONG, "a path would need 1024 characters or more")                    \
    X(6, ILSPOST_BUSY, "another ILSPost call is running")                                       \
    X(7, ILSPOST_NO_REPORT, "the report cannot be created or written (the reason is in ILSPOST.LOG)")

#define ILSCALC_RESULT_ENUM_ROW(code, name, text) name = code,
enum { ILSCALC_START_RESULTS(ILSCALC_RESULT_ENUM_ROW) ILSCALC_START_RESULT_COUNT };
enum { ILSPOST_RESULTS(ILSCALC_RESULT_ENUM_ROW) ILSPOST_RESULT_COUNT };
#undef ILSCALC_RESULT_ENUM_ROW

/*
 * Starts a calculation of runName (without extension) read from
 * projectDirectory/runName.dat, writing into scratchBase/scratch/.
 * An empty scratchBase means "scratch/" below the current directory.
 * option: the low 8 bits, when non-zero, cap the number of threads the
 * calculation uses (1 computes on the worker thread alone); 0 uses every
 * hardware thread. The other bits are ignored. The results do not depend on
 * the thread count: the field file is the same byte for byte.
 * Returns one of ILSCALC_START_RESULTS above. Codes 2 to 6 leave the run state Failed and no file open.
 * Thread-safe against the polling functions; returns at once.
 */
ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Start(const char* runName, const char* projectDirectory,
                                               const char* scratchBase, uint32_t option);

/* Asks a running calculation to stop at its next command boundary.
 * Returns the run state read at the call; does not wait. */
ILSCALC_API int32_t ILSCALC_CALL ILSCalc_Stop(void);

/* Stores the progress in whole percent in *percent (0 when idle or failed,
 * 100 when finished or interrupted, 1 to 99 while running) and returns the
 * run state read after storing it. A NULL percent stores nothing. */
ILSCALC_API int32_t ILSCALC_CALL ILSCalc_GetProgress(int32_t* percent);

/*
 * Post-processing: reads directory/ILSPOST.TMP and the field file it names,
 * writes the .PTS report and directory/ILSPOST.LOG. Runs on the caller's thread.
 * Returns one of ILSPOST_RESULTS above.
 */
ILSCALC_API int32_t ILSCALC_CALL ILSPost(const char* directory);

#ifdef __cplusplus
}
#endif

#endif
