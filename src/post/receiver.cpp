// The airborne receiver: coherent tone detection against each carrier,
// two-carrier capture and the CDI or flag output.
#include <cmath>

#include "input/messages.h"
#include "post/post_data.h"

namespace ils {
namespace {

// First six coefficients of the power series of (2/pi)·E(m).
constexpr double kCapture[6] = {1.0,
                                -0.25,
                                -0.046875,
                                -0.01953125,
                                -0.01068115234375,
                                -0.0067291259765625};

// Carrier magnitude and the in-phase components of the two sidebands.
double detect(const Complex& carrier, const Complex& tone0, const Complex& tone1,
              double inPhase[2]) {
    const double a = std::abs(carrier);
    double e = 1.0;
    double f = 0.0;
    if (a > 0.0) {
        e = carrier.real() / a;
        f = -carrier.imag() / a;
    }
    inPhase[0] = e * tone0.real() - f * tone0.imag();
    inPhase[1] = e * tone1.real() - f * tone1.imag();
    return a;
}

}  // namespace

void captureSeries(double l, double r, double& cc, double& cp, double& cm) {
    cc = 0.0;
    cp = 0.0;
    cm = 0.0;
    double power = 1.0;
    for (int n = 0; n < 6; ++n) {
        const double term = kCapture[n] * power;
        cc += term;
        cp += term * (1.0 + n * (r - 1.0));
        cm += term * (1.0 + n * (1.0 / r - 1.0));
        power *= l;
    }
}

int32_t receiver(PostData& pd, int k, double& out) {
    Trace& t = pd.params.traces[k];
    FieldSums& s = pd.sums;

    for (int slot = 2; slot < 6; ++slot) s.slot[slot] *= t.toneDepths[slot - 2];
    s.vd[kCrs][0] *= t.toneDepths[0];
    s.vd[kCrs][1] *= t.toneDepths[1];
    s.vd[kClr][0] *= t.toneDepths[2];
    s.vd[kClr][1] *= t.toneDepths[3];

    double pc[2] = {0.0, 0.0};
    double vmc[2] = {0.0, 0.0};
    double aCrs = 0.0;
    double aClr = 0.0;
    if (t.arraySelect != 1) aCrs = detect(s.slot[0], s.slot[2], s.slot[3], pc);
    if (t.arraySelect != 0) aClr = detect(s.slot[1], s.slot[4], s.slot[5], vmc);
    if (aCrs == 0.0 && aClr == 0.0) {
        logMessage(pd.postLog, "ERROR! No signal in receiver().\n");
        return 2;
    }

    const double l = 4.0 * aCrs * aClr / ((aCrs + aClr) * (aCrs + aClr));
    double cc = 0.0;
    double cp = 0.0;
    double cm = 0.0;
    const double r = aCrs != 0.0 ? aClr / aCrs : 0.0;
    if (aCrs != 0.0 && r != 0.0) {
        captureSeries(l, r, cc, cp, cm);
    } else {
        t.clearanceWeight = 1.0;
        cc = 1.0;
        cp = aCrs == 0.0 ? 0.0 : 1.0;
        cm = aCrs == 0.0 ? 1.0 : 0.0;
    }
    const double compCarrier = cc * (aCrs + t.clearanceWeight * aClr);
    if (compCarrier == 0.0 || !std::isfinite(compCarrier)) {
        // A clearance weight that cancels the carriers leaves no level to
        // measure the tones against.
        logMessage(pd.postLog, "ERROR! No signal in receiver().\n");
        return 2;
    }

    double v[2];
    for (int j = 0; j < 2; ++j) {
        const double v1 = cc * s.vcd[j];
        const double v2 = (cp * s.vd[kCrs][j] + cm * s.vd[kClr][j]) * 0.5;
        const double v3 = cp * pc[j] + cm * vmc[j];
        v[j] = std::sqrt(v1 * v1 + v2 * v2 + v3 * v3) / compCarrier;
        FILE* table = pd.debugTables[0];
        if (table != nullptr) {
            std::fprintf(table,
                         "%d\t%d:\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t%e\t\n",
                         pd.counter, j, cc, s.vcd[j], v1, cp, s.vd[kCrs][j], cm, s.vd[kClr][j],
                         v2, cp, pc[j], cm, vmc[j], v3, v[j], compCarrier);
        }
    }
    ++pd.counter;

    if (v[0] == 0.0 && v[1] == 0.0) {
        logMessage(pd.postLog, "ERROR! in receiver().  No signal -- CDI indeterminate.\n");
        return 1;
    }
    switch (t.outputType) {
        case kOutputCdiSum:
            out = (v[1] - v[0]) / (v[1] + v[0]) * t.outputScale;
            break;
        case kOutputCdiFixed:
            out = (v[1] - v[0]) / 0.4 * t.outputScale;
            break;
        default:
            out = (v[1] + v[0]) * t.outputScale;
            break;
    }
    return 0;
}

}  // namespace ils
