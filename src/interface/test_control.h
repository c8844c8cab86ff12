// Switches that only tests set, kept apart from the run data: the exports
// never change them, so a production run always sees the defaults.
#pragma once

#include <cstdint>

namespace ils {

struct RunData;

struct TestControl {
    // Tables go to scratch files as if memory ran short.
    bool forceFileStorage = false;
    // Called on the worker thread after each command has been carried out
    // (before the status is examined), so tests can watch the progress or
    // hold the run at a command boundary.
    void (*afterCommand)(RunData& rd, const char* word) = nullptr;
    // ILSCalc_Start acts as if no thread could be started.
    bool failWorkerStart = false;
    // The thread start throws std::bad_alloc instead.
    bool workerStartThrows = false;
    // Called by ILSCalc_Stop between reading the Running state and setting the
    // request, so tests can place a run's end and the next start in between.
    void (*insideStop)() = nullptr;
    // Points per block of the field passes; 0 keeps the engine's own choice.
    int32_t blockPoints = 0;
    // Points EN makes and writes as one group; 0 keeps the engine's own.
    int32_t writeGroupPoints = 0;
    // The helper that empties the previous field file reports failure
    // without touching it (the field run then opens the file anew).
    bool fieldFileEmptyingFails = false;
};

// The one instance, next to the run data's owner.
TestControl& testControl();

}  // namespace ils
