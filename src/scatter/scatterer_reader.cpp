#include "scatter/scatterer_reader.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "input/lines.h"
#include "input/messages.h"
#include "input/scan.h"

namespace ils {
namespace {

constexpr double kMuZero = 1.25663706143e-6;       // H/m
constexpr double kEpsilonZero = 8.85418781762e-12;  // F/m

// Relative permeability, relative permittivity, conductivity (S/m) of
// material codes 0 to 10, held in single precision.
constexpr float kMaterials[11][3] = {
    {2000.0f, 1.0f, 2.0e6f},    {1.00002f, 1.0f, 3.96e7f}, {1.0f, 10.0f, 1.0e-4f},
    {1.0f, 10.0f, 5.0e-6f},     {1.0f, 2.8f, 1.0e-14f},    {1.0f, 6.0f, 1.0e-12f},
    {1.0f, 3.4f, 0.0051f},      {1.0f, 2.1f, 0.008f},      {1.0f, 12.0f, 0.002f},
    {1.0f, 10.0f, 0.002f},      {1.0f, 5.0f, 0.001f},
};

void setMaterial(Scatterer& record, float relPermeability, float relPermittivity,
                 float conductivity) {
    record.permeability = static_cast<double>(relPermeability) * kMuZero;
    record.permittivity = static_cast<double>(relPermittivity) * kEpsilonZero;
    record.conductivity = static_cast<double>(conductivity);
    record.materialDefined = true;
}

bool unitsFactor(const RunData& rd, const char* token, double& factor) {
    switch (std::toupper(static_cast<unsigned char>(token[0]))) {
        case 'F': factor = 1.0; return true;
        case 'I': factor = kFeetPerInch; return true;
        case 'M': factor = kFeetPerMetre; return true;
        case 'W': factor = rd.system.carrierWavelength; return true;
        default: return false;
    }
}

}  // namespace

int readScatterer(RunData& rd, const char* command, Scatterer& record) {
    FILE* log = rd.messageLog;
    const bool plate = std::strcmp(command, "SP") == 0;
    char line[kLineSize];

    readLine(rd.commandFile, line);
    char units[16] = {};
    int32_t contribution = 0, bothSides = 0, material = 0;
    float relPermeability = 0.0f, relPermittivity = 0.0f, conductivity = 0.0f;
    const int got = scanText(line, "%15s %d %d %d %f %f %f", units, &contribution, &bothSides,
                             &material, &relPermeability, &relPermittivity, &conductivity);
    if (got < 3) {
        reportMissingInputs(log, command, 3, 1, line);
        return -1;
    }
    record.contributionCode = contribution;
    record.bothSidesFlag = bothSides;
    if (contribution == 2) {
        readLine(rd.commandFile, line);  // read but not examined
        return 0;
    }

    double factor = 1.0;
    if (!unitsFactor(rd, units, factor)) {
        logMessage(log, "ERROR! Invalid scatterer dimensions units code: %s.\n", units);
        return -1;
    }

    if (plate) {
        if (material >= 0 && material <= 10) {
            setMaterial(record, kMaterials[material][0], kMaterials[material][1],
                        kMaterials[material][2]);
        } else if (material == 11 && got == 7) {
            setMaterial(record, relPermeability, relPermittivity, conductivity);
        } else {
            // Code 11 without its three values counts as invalid too. The plate
            // keeps the previous plate's material; the first plate of a run,
            // having none, gets material 0.
            logMessage(log, "ERROR! Invalid scatterer material code: %d.\n", material);
            if (!record.materialDefined) {
                setMaterial(record, kMaterials[0][0], kMaterials[0][1], kMaterials[0][2]);
            }
        }
    }

    readLine(rd.commandFile, line);
    double v[7] = {};
    if (scanText(line, "%lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                 &v[6]) < 7) {
        reportMissingInputs(log, command, 7, 2, line);
        return -1;
    }
    record.x1 = v[0] * factor;
    record.y1 = v[1] * factor;
    record.x2 = v[2] * factor;
    record.y2 = v[3] * factor;
    record.z1 = v[4] * factor;
    record.z2 = plate ? record.z1 : v[5] * factor;
    const double dx = record.x2 - record.x1;
    const double dy = record.y2 - record.y1;
    record.azimuth = std::atan2(dy, dx);
    record.horizontalLength = std::hypot(dx, dy);
    if (plate) {
        record.height = v[5] * factor;
        record.tilt = v[6] * kDegToRad;  // degrees whatever the units
    } else {
        record.radius = v[6] * factor;
        record.tilt = std::atan2(record.horizontalLength, record.z2 - record.z1);  // elevation
        record.length = std::hypot(record.horizontalLength, record.z2 - record.z1);
    }
    // Values that convert can still overflow once scaled to feet, or in the
    // differences and lengths taken from them; such a scatterer would bring
    // infinities into every field, or a plate an unbounded patch count.
    const double derived[] = {record.x1,     record.y1,     record.z1,      record.x2,
                              record.y2,     record.z2,     dx,             dy,
                              record.z2 - record.z1, record.horizontalLength,
                              plate ? record.height : record.radius, record.tilt,
                              plate ? 0.0 : record.length};
    for (double d : derived) {
        if (!std::isfinite(d)) {
            reportNotFinite(log, command, 2);
            return -1;
        }
    }
    return 0;
}

}  // namespace ils
