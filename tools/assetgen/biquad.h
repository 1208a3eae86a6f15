// biquad.h -- second-order filter sections (the usual audio-cookbook shapes)
// for the mastering of the music and for measuring frequency bands.
#pragma once

#include <cmath>

namespace valmoren::assetgen {

struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double z1 = 0.0, z2 = 0.0;  // transposed direct form II state

    double run(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
    void reset() { z1 = z2 = 0.0; }

    enum Kind { LowPass, HighPass, LowShelf, HighShelf };

    // `q` is the filter's Q for the passes and the shelf's slope-setting Q for
    // the shelves; `gain_db` is used by the shelves only.
    static Biquad make(Kind kind, double hz, double rate, double q, double gain_db = 0.0) {
        const double pi = 3.14159265358979323846;
        const double w = 2.0 * pi * hz / rate;
        const double cw = std::cos(w), sw = std::sin(w);
        const double alpha = sw / (2.0 * q);
        const double a = std::pow(10.0, gain_db / 40.0);
        double b0, b1, b2, a0, a1, a2;
        switch (kind) {
            case LowPass:
                b0 = (1 - cw) / 2; b1 = 1 - cw; b2 = (1 - cw) / 2;
                a0 = 1 + alpha; a1 = -2 * cw; a2 = 1 - alpha;
                break;
            case HighPass:
                b0 = (1 + cw) / 2; b1 = -(1 + cw); b2 = (1 + cw) / 2;
                a0 = 1 + alpha; a1 = -2 * cw; a2 = 1 - alpha;
                break;
            case LowShelf: {
                const double r = 2.0 * std::sqrt(a) * alpha;
                b0 = a * ((a + 1) - (a - 1) * cw + r);
                b1 = 2 * a * ((a - 1) - (a + 1) * cw);
                b2 = a * ((a + 1) - (a - 1) * cw - r);
                a0 = (a + 1) + (a - 1) * cw + r;
                a1 = -2 * ((a - 1) + (a + 1) * cw);
                a2 = (a + 1) + (a - 1) * cw - r;
                break;
            }
            case HighShelf:
            default: {
                const double r = 2.0 * std::sqrt(a) * alpha;
                b0 = a * ((a + 1) + (a - 1) * cw + r);
                b1 = -2 * a * ((a - 1) + (a + 1) * cw);
                b2 = a * ((a + 1) + (a - 1) * cw - r);
                a0 = (a + 1) - (a - 1) * cw + r;
                a1 = 2 * ((a - 1) - (a + 1) * cw);
                a2 = (a + 1) - (a - 1) * cw - r;
                break;
            }
        }
        Biquad f;
        f.b0 = b0 / a0; f.b1 = b1 / a0; f.b2 = b2 / a0;
        f.a1 = a1 / a0; f.a2 = a2 / a0;
        return f;
    }
};

}  // namespace valmoren::assetgen
