// mastering.cpp -- tone shaping, loudness and peak limiting of the generated
// music and effects (see mastering.h).
#include "mastering.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "biquad.h"
#include "sound_measure.h"

namespace valmoren::assetgen {

namespace {

constexpr double HIGH_PASS_HZ = 20.0;
constexpr double LOW_SHELF_HZ = 110.0;
constexpr double HIGH_SHELF_HZ = 6000.0;
constexpr double LIMITER_ATTACK_S = 0.003;
constexpr double LIMITER_RELEASE_S = 0.025;  // time constant: back to full gain in about 80 ms
// A looping sound's filters are run over this much of its end before its start.
constexpr double LOOP_WARM_UP_S = 2.0;

double db(double x) { return 20.0 * std::log10(x); }

}  // namespace

void apply_gain(Stereo& s, double gain) {
    const float k = static_cast<float>(gain);
    for (size_t i = 0; i < s.frames(); ++i) {
        s.left[i] *= k;
        s.right[i] *= k;
    }
}

void shape_tone(Stereo& s, float low_shelf_db, float high_shelf_db, bool loop) {
    const size_t n = s.frames();
    if (n == 0) return;
    for (int side = 0; side < 2; ++side) {
        std::vector<float>& x = side == 0 ? s.left : s.right;
        std::vector<Biquad> chain = {Biquad::make(Biquad::HighPass, HIGH_PASS_HZ, RATE, 0.7071)};
        if (low_shelf_db != 0.0f) chain.push_back(Biquad::make(Biquad::LowShelf, LOW_SHELF_HZ, RATE, 0.7071, low_shelf_db));
        if (high_shelf_db != 0.0f)
            chain.push_back(Biquad::make(Biquad::HighShelf, HIGH_SHELF_HZ, RATE, 0.7071, high_shelf_db));
        auto run = [&](float v) {
            double y = v;
            for (Biquad& f : chain) y = f.run(y);
            return y;
        };
        if (loop) {
            const size_t warm = std::min(n, static_cast<size_t>(LOOP_WARM_UP_S * RATE));
            for (size_t i = n - warm; i < n; ++i) run(x[i]);
        }
        for (size_t i = 0; i < n; ++i) x[i] = static_cast<float>(run(x[i]));
    }
}

double limit_peaks(Stereo& s, double ceiling, bool loop) {
    const size_t n = s.frames();
    if (n == 0 || ceiling <= 0.0) return 0.0;
    // The gain each sample needs on its own.
    std::vector<float> need(n);
    const float top = static_cast<float>(ceiling * 0.9999);
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        const float p = std::max(std::fabs(s.left[i]), std::fabs(s.right[i]));
        need[i] = p > top ? top / p : 1.0f;
        any = any || p > top;
    }
    if (!any) return 0.0;
    // Ahead of each loud sample the gain ramps down (walked backwards), and
    // after it comes back up smoothly (walked forwards). Each walk never rises
    // above what it was given, so no sample ends above the ceiling. A loop is
    // walked twice round, so its join is treated like any other moment.
    const float down = static_cast<float>(1.0 / (LIMITER_ATTACK_S * RATE));
    const float up = static_cast<float>(1.0 / (LIMITER_RELEASE_S * RATE));
    std::vector<float> gain(need);
    const int laps = loop ? 2 : 1;
    float carry = 1.0f;
    for (int lap = 0; lap < laps; ++lap) {
        for (size_t k = n; k-- > 0;) {
            gain[k] = std::min(need[k], carry + down);
            carry = gain[k];
        }
    }
    std::vector<float> ramped(gain);
    carry = 1.0f;
    for (int lap = 0; lap < laps; ++lap) {
        for (size_t k = 0; k < n; ++k) {
            ramped[k] = std::min(gain[k], carry + (1.0f - carry) * up);
            carry = ramped[k];
        }
    }
    float lowest = 1.0f;
    for (size_t k = 0; k < n; ++k) {
        s.left[k] *= ramped[k];
        s.right[k] *= ramped[k];
        lowest = std::min(lowest, ramped[k]);
    }
    return -db(lowest);
}

namespace {

// Finds the gain that brings `measure` of the limited sound to `target`: the
// limiter takes a little loudness off, which the next round makes up.
template <typename Measure>
double master_with(Stereo& s, double target, double ceiling, bool loop, Measure measure) {
    const Stereo dry = s;
    const double start = measure(dry);
    if (!std::isfinite(start)) return 0.0;
    // Secant steps on the gain: the limiter makes loudness grow slower than gain.
    double gain_db = target - start, last_gain = 0.0, last_level = start;
    double reduction = 0.0;
    for (int round = 0; round < 6; ++round) {
        s = dry;
        apply_gain(s, std::pow(10.0, gain_db / 20.0));
        reduction = limit_peaks(s, ceiling, loop);
        const double now = measure(s);
        if (std::fabs(now - target) < 0.1) break;
        const double slope = std::clamp((now - last_level) / (gain_db - last_gain), 0.2, 1.0);
        last_gain = gain_db;
        last_level = now;
        gain_db += (target - now) / slope;
    }
    return reduction;
}

}  // namespace

double master_to_loudness(Stereo& s, double lufs, double ceiling, bool loop) {
    return master_with(s, lufs, ceiling, loop, [](const Stereo& x) { return integrated_loudness(x); });
}

double master_effect(Stereo& s, double momentary_lufs, double ceiling) {
    return master_with(s, momentary_lufs, ceiling, false,
                       [](const Stereo& x) { return measure_loudness(x, false).momentary_max; });
}

}  // namespace valmoren::assetgen
