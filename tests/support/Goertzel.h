#pragma once
// Power of one frequency in a block of samples (any frequency, not only bin
// centres), for checking which DTMF components a sound holds.
#include <QList>
#include <cmath>

inline double goertzelPower(const QList<double> &x, double freq, double rate)
{
    const double c = 2 * std::cos(2 * M_PI * freq / rate);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

inline const QList<int> &dtmfFrequencies()
{
    static const QList<int> f{697, 770, 852, 941, 1209, 1336, 1477};
    return f;
}

// Weakest of the two wanted frequencies over the strongest of the other five.
inline double dtmfContrast(const QList<double> &x, double rate, int low, int high)
{
    double wanted = 1e300, other = 0;
    for (int f : dtmfFrequencies()) {
        const double p = goertzelPower(x, f, rate);
        if (f == low || f == high)
            wanted = std::min(wanted, p);
        else
            other = std::max(other, p);
    }
    return wanted / std::max(other, 1e-12);
}
