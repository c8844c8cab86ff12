// Post-processing data: the parameters and Traces read from ILSPOST.TMP, the
// working sums of the receiver and the results of one ILSPost call, in one
// record. The stages take it as an argument; the library keeps one instance.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "interface/types.h"

namespace ils {

inline constexpr int kMaxTraces = 4;
inline constexpr int kDebugTableCount = 5;

// Output types of a Trace.
inline constexpr int32_t kOutputCdiSum = 0;    // CDI normalised by the tone sum
inline constexpr int32_t kOutputCdiFixed = 1;  // CDI normalised by 0.4
inline constexpr int32_t kOutputFlag = 2;
inline constexpr int32_t kOutputCsb = 3;
inline constexpr int32_t kOutputSbo = 4;

// Settings of one antenna array of a Trace.
struct ArraySettings {
    double width = 0.0;              // shown in the report only
    double modulationBalance = 0.0;  // tone 1 depth minus tone 0 depth
    double sboPhase = 0.0;           // radians after reading
    double sboAmplitude = 0.0;       // factor on the SBO signal
};

struct Trace {
    int32_t outputType = 0;
    int32_t arraySelect = 0;  // 0 course, 1 clearance, other: both (CDI, flag)
    int32_t fieldType = 0;    // 0 incident, 1 scattered, 2 both
    int32_t cdiFilter = 0;
    int32_t flightCorrections = 0;
    int32_t unitsCode = 0;
    double outputScale = 1.0;
    ArraySettings course;
    ArraySettings clearance;
    double clearanceRatio = 0.0;  // shown in the report only
    double captureAngle = 0.0;    // shown in the report only
    double clearanceScale = 0.0;
    double clearanceWeight = 1.0;  // working value of the receiver
    double toneDepths[4] = {0.0, 0.0, 0.0, 0.0};
    Complex sboPhasor[2] = {};
    double correctionX = 0.0;
    double correctionY = 0.0;
    double correctionZ = 0.0;
    double nominalAngle = 0.0;  // degrees
    double angularWidth = 0.0;  // degrees
    std::vector<double> values;  // one result per ObservationPoint
};

struct PostParameters {
    char outputPrefix[kLineSize] = {};
    char dataName[kLineSize] = {};
    char outputName[kLineSize] = {};
    int32_t ilsType = 0;  // 0 localizer, 1 glide slope
    double nominalDepth = 0.0;
    double backcourseOffset = 0.0;
    double referenceX = 0.0;
    double referenceY = 0.0;
    int32_t backcourseCode = 0;
    int32_t referenceCode = 0;
    int32_t distanceUnitsCode = 0;
    double distanceFactor = 1.0;
    int32_t traceCount = 0;
    Trace traces[kMaxTraces];
};

// FieldSlots 0..5 and the multipath magnitudes of slots 12..14 of the summed
// FieldRecords of one Trace at one point.
struct FieldSums {
    Complex slot[6] = {};  // carriers 0, 1; sidebands 2..5
    double vd[2][2] = {};  // [course/clearance][tone]: slots 12 and 13
    double vcd[2] = {};    // slot 14
};

inline constexpr int kCrs = 0;
inline constexpr int kClr = 1;

struct PostData {
    char postDirectory[kLineSize] = {};  // ends in '/'
    FILE* parameterFile = nullptr;
    FILE* postLog = nullptr;
    FILE* fieldFile = nullptr;
    FILE* debugTables[kDebugTableCount] = {};  // v1, v2, intermediate, scat, inc
    PostParameters params;
    int32_t pointCount = 0;
    double meanTimeStep = 0.0;
    double speedRatio = 0.0;
    std::vector<double> xValues;
    FieldSums sums;
    int32_t counter = 0;  // receiver evaluations; lives as long as the process
};

// The library's one instance.
PostData& postData();

// Clears everything an earlier call left, except the evaluation counter.
void resetPostData(PostData& pd);

// Closes every file of the call that is still open and releases the results.
void cleanUpPost(PostData& pd);

// Stages. Each returns 0 on success.
int32_t readparams(PostData& pd);
int32_t calcoutput(PostData& pd);
bool printoutput(PostData& pd);  // false after its ERROR! message

// Receiver model for Trace k over pd.sums (changed in place). Returns 0 and
// sets out, 2 without carrier, 1 when both tone levels are zero.
int32_t receiver(PostData& pd, int k, double& out);

// Two-carrier capture: l = 4ab/(a+b)^2 and r = b/a for carrier magnitudes a
// (course) and b (clearance), both non-zero. Sets the capture coefficient cc
// and the course and clearance weights cp and cm.
void captureSeries(double l, double r, double& cc, double& cp, double& cm);

// Pieces of calcoutput, usable alone.
double xValueOf(const PostParameters& p, double x, double y, double z);
void applyCdiFilter(std::vector<double>& values, double sampleTime, double timeConstant);
void normaliseFields(PostParameters& p);
// Reads the header and every point of the open pd.fieldFile, which may be a
// stream that cannot be measured or positioned (a pipe). Returns calcoutput's
// results.
int32_t readFieldStream(PostData& pd);

// The report path (prefix, name, ".PTS"); false when it needs kLineSize
// characters or more.
bool reportPath(const PostParameters& p, char* path);
// The FieldFile path (post directory, data name, ".fld"); false when too long.
bool fieldFilePath(const PostData& pd, char* path);

}  // namespace ils
