// printoutput: the fixed-width ".PTS" report.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "post/post_data.h"

namespace ils {
namespace {

const char* traceLabel(int32_t outputType) {
    switch (outputType) {
        case kOutputFlag: return "FLG";
        case kOutputCsb: return "CSB";
        case kOutputSbo: return "SBO";
        default: return "CDI";
    }
}

struct Column {
    const char* label;
    const char* format;
};

Column xColumn(int32_t distanceUnitsCode) {
    switch (distanceUnitsCode) {
        case 1: return {"(meters)", " %11.2f"};
        case 2: return {"(nmi)", " %11.4f"};
        case 3: return {"(degrees)", " %11.2f"};
        default: return {"(feet)", " %11.1f"};
    }
}

Column traceColumn(const Trace& t) {
    switch (t.unitsCode) {
        case 1: return {t.outputType == kOutputFlag ? "(% mod)" : "(ddm)", " %11.4f"};
        case 2: return {"(rel amp)", " %11.3e"};
        case 3: return {"(dB)", " %11.2f"};
        case 4: return {"(degrees)", " %11.4f"};
        default: return {"(uA)", " %11.3f"};
    }
}

}  // namespace

bool reportPath(const PostParameters& p, char* path) {
    if (formatPath(path, "%s%s.PTS", p.outputPrefix, p.outputName) < 0) return false;
    normalizeSeparators(path);
    return true;
}

bool printoutput(PostData& pd) {
    const PostParameters& p = pd.params;
    char path[kLineSize];
    if (!reportPath(p, path)) return false;
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        // A missing report is a failure the host must see, not a success.
        logMessage(pd.postLog, "ERROR! Cannot create report file %s: %s\n", path,
                   std::strerror(errno));
        return false;
    }
    std::fprintf(out, "   Data File:  %-8s      Output File:  %-8s\n", p.dataName, p.outputName);
    std::fprintf(out, "   Flight Points:  %3d       Traces:  %1d\n\n", pd.pointCount,
                 p.traceCount);
    std::fprintf(out, "%62s\n", "Crs Wid  Mod Bal  SBO Phs  Clr/Crs  Cpt Ang");
    for (int k = 0; k < p.traceCount; ++k) {
        const Trace& t = p.traces[k];
        const char* label = traceLabel(t.outputType);
        if (t.arraySelect != 1) {
            std::fprintf(out, "   Tr %1d %s CRS: %8.2f %8.3f %8.1f\n", k + 1, label,
                         t.course.width, t.course.modulationBalance, t.course.sboPhase);
        }
        if (t.arraySelect != 0) {
            std::fprintf(out, "   Tr %1d %s CLR: %8.2f %8.3f %8.1f %8.2f %8.2f\n", k + 1, label,
                         t.clearance.width, t.clearance.modulationBalance,
                         t.clearance.sboPhase, t.clearanceRatio, t.captureAngle);
        }
    }

    std::fprintf(out, "\n%11s ", "X");
    for (int k = 0; k < p.traceCount; ++k) std::fprintf(out, "%10s%1d ", "Y", k + 1);
    std::fprintf(out, "\n");
    const Column x = xColumn(p.distanceUnitsCode);
    Column columns[kMaxTraces];
    std::fprintf(out, " %11s", x.label);
    for (int k = 0; k < p.traceCount; ++k) {
        columns[k] = traceColumn(p.traces[k]);
        std::fprintf(out, " %11s", columns[k].label);
    }
    std::fprintf(out, "\n\n");

    // Rows are bounded by what calcoutput stored, not by the header alone.
    size_t rowCount = std::min(pd.xValues.size(), static_cast<size_t>(pd.pointCount));
    for (int k = 0; k < p.traceCount; ++k) rowCount = std::min(rowCount, p.traces[k].values.size());
    for (size_t i = 0; i < rowCount; ++i) {
        std::fprintf(out, x.format, pd.xValues[i]);
        for (int k = 0; k < p.traceCount; ++k)
            std::fprintf(out, columns[k].format, p.traces[k].values[i]);
        std::fprintf(out, "\n");
    }
    const bool written = !std::ferror(out);
    if (std::fclose(out) != 0 || !written) {
        logMessage(pd.postLog, "ERROR! Cannot write report file %s\n", path);
        return false;
    }
    return true;
}

}  // namespace ils
