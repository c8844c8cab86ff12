// The run data of the library: one RunData instance per loaded library,
// holding the state shared with the host (atomics) and every store of the
// calculation run in progress. Computations take it by reference so that
// tests can build their own instance.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <future>
#include <vector>

#include "interface/types.h"
#include "path/table_store.h"

namespace ils {

enum RunStateValue : int32_t { kIdle = 0, kRunning = 1, kFinished = 2, kFailed = 3, kInterrupted = 4 };

struct SystemDefinition {
    char systemType = 'L';        // 'G' glide slope, 'L' localizer
    char groundPlaneCode = 'F';   // 'F' none, 'G' ground image
    char farFieldCode = 'N';      // 'A', 'F', 'N'
    int32_t captureEffect = 0;    // 1 two-frequency, 0 single-frequency
    double carrierWavelength = 0.0;  // feet
    double captureWeight = 1.0;
};

struct ElementPattern {
    char patternType = 'D';       // 'I' input table, or 'D', 'F', 'G', 'M'
    int32_t patternPointCount = 0;
    double patternAxis = 0.0;     // radians
    double patternAngles[kMaxPatternPoints] = {};  // degrees, ascending
    double patternValues[kMaxPatternPoints] = {};
};

struct AntennaArray {
    int32_t elementCount = 0;
    double originX = 0.0, originY = 0.0;
    double centroidX = 0.0, centroidY = 0.0, centroidZ = 0.0;
    double wavelength = 0.0;      // feet
    double waveNumber = 0.0;      // radians per foot
    double elementX[kMaxArrayElements] = {};
    double elementY[kMaxArrayElements] = {};
    double elementZ[kMaxArrayElements] = {};
    Complex csbCurrent[kMaxArrayElements] = {};
    Complex sboCurrent[kMaxArrayElements] = {};
    ElementPattern pattern;
    std::vector<std::vector<Complex>> elementMatrix;  // optional coefficient block
};

struct ObservationPoint {
    double x, y, z;      // feet
    double vx, vy, vz;   // feet per second
};
static_assert(sizeof(ObservationPoint) == 48);

// FieldSlots 0..14; layout fixed by the accumulation (direct_field.h).
struct FieldRecord {
    Complex slot[15];
};
static_assert(sizeof(FieldRecord) == 240);

struct MovingPosition {
    double offsetX, offsetY, offsetZ;
    double velocityX, velocityY, velocityZ;
    double rotation;  // radians, counter-clockwise
};
static_assert(sizeof(MovingPosition) == 56);

// One plate (SP) or wire (SW). tilt holds the wire's elevation for SW.
struct Scatterer {
    double x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
    double horizontalLength = 0, height = 0, length = 0, radius = 0;
    double azimuth = 0, tilt = 0;
    double permeability = 0, permittivity = 0, conductivity = 0;
    int32_t contributionCode = 0;
    int32_t bothSidesFlag = 0;
    bool materialDefined = false;  // an SP with a valid material code has been read
};

class WorkerPool;

struct RunData {
    // ---- shared with the host's threads ----
    std::atomic<int32_t> runState{kIdle};
    std::atomic<int32_t> progressPercent{0};
    std::atomic<bool> stopRequested{false};
    uint8_t startOption = 0;

    // ---- run files and directories ----
    char scratchDirectory[kLineSize] = {};  // ends in '/', at most 1023 characters
    FILE* messageLog = nullptr;
    FILE* commandFile = nullptr;
    FILE* fieldFileStream = nullptr;        // opened to append; see fieldFileEmptying
    std::future<bool> fieldFileEmptying;    // the previous content being removed (true: done)
    char fieldFilePath[kLineSize] = {};     // for messages about the field file
    long commandLineNumber = 0;  // not used for messages; diagnostics only

    // ---- driver bookkeeping ----
    int32_t scatterCommandCount = 0;
    double progressAccumulator = 0.0;
    double step = 100.0;

    // ---- transmitting system ----
    SystemDefinition system;
    AntennaArray arrays[2];
    double farFieldDistance = 0.0;

    // ---- flight and tables ----
    int32_t pointCount = 0;
    double meanTimeStep = 0.0;
    double speedRatio = 0.0;
    TableStore<ObservationPoint> pointTable;  // "flight.tmp" in the file storage
    TableStore<FieldRecord> fieldTable;       // "fields.tmp", passes through "fields1.tmp"
    TableStore<MovingPosition> movingTable;   // "dynscat.tmp"
    double plateMotionCentreX = 0.0, plateMotionCentreY = 0.0;

    // ---- pseudo-random generator and gaussianRandom's kept value ----
    uint32_t randomState = 1;
    bool gaussianKept = false;
    double gaussianValue = 0.0;

    // ---- engine ----
    // The worker threads of the run in progress (the driver starts them);
    // without a pool the computations run on the calling thread alone.
    WorkerPool* workers = nullptr;
};

// The library's one instance.
RunData& runData();

}  // namespace ils
