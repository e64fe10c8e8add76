#pragma once
// Fits a series of any length into a fixed number of destination values:
// short series are linearly interpolated up, long ones are reduced to
// minimum/maximum pairs so that peaks survive. Source and destination are
// strided so that one channel of an interleaved array can be read or written.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Korvel {
namespace Frontend {

template<typename Source, typename Destination>
void resampleMinMaxPairs(const Source *source, int sourceStride, int sourceCount, Destination *destination,
                         int destinationStride, int destinationCount)
{
    const int n = sourceCount;
    const int m = destinationCount;
    if (n <= 0 || m <= 0)
        return;
    auto src = [&](int i) { return source[static_cast<std::ptrdiff_t>(i) * sourceStride]; };
    auto dst = [&](int i) -> Destination & { return destination[static_cast<std::ptrdiff_t>(i) * destinationStride]; };

    if (m >= n) {
        if (n == 1) {
            // No slope to interpolate along: the one value everywhere.
            for (int e = 0; e < m; ++e)
                dst(e) = static_cast<Destination>(src(0));
            return;
        }
        const double ratio = double(m - 1) / double(n - 1);
        for (int e = 0; e < m; ++e) {
            const double f = e / ratio;
            const bool endSample = e == 0 || e == m - 1;
            int g = endSample ? static_cast<int>(std::lround(f)) : static_cast<int>(f);
            g = std::clamp(g, 0, n - 1);
            if (e == m - 1) {
                dst(e) = static_cast<Destination>(src(g));
                continue;
            }
            if (g > n - 2)
                g = n - 2;
            const double a = src(g);
            const double b = src(g + 1);
            dst(e) = static_cast<Destination>(a + (b - a) * (f - g));
        }
        return;
    }

    // Pair k of destination slots (2k, 2k + 1) takes the source samples b
    // with floor(b * m / n / 2) == k, computed exactly in integers.
    const int pairs = m / 2;
    auto pairOf = [&](int b) {
        return static_cast<int>((static_cast<std::int64_t>(b) * m) / (2 * static_cast<std::int64_t>(n)));
    };
    int pair = -1;
    double minValue = 0.0, maxValue = 0.0;
    int minIndex = 0, maxIndex = 0;
    auto flush = [&]() {
        if (pair < 0 || pair >= pairs)
            return;
        const bool minFirst = minIndex <= maxIndex;
        dst(2 * pair) = static_cast<Destination>(minFirst ? minValue : maxValue);
        dst(2 * pair + 1) = static_cast<Destination>(minFirst ? maxValue : minValue);
    };
    for (int b = 0; b < n; ++b) {
        const int k = pairOf(b);
        const double v = src(b);
        if (k != pair) {
            flush();
            pair = k;
            minValue = maxValue = v;
            minIndex = maxIndex = b;
            continue;
        }
        if (v < minValue) {
            minValue = v;
            minIndex = b;
        }
        if (v > maxValue) {
            maxValue = v;
            maxIndex = b;
        }
    }
    flush();
    // An odd destination count leaves one slot without a pair: repeat the
    // last value there rather than leave it stale.
    if (m % 2 == 1)
        dst(m - 1) = dst(m - 2);
}

} // namespace Frontend
} // namespace Korvel
