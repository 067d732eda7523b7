#include "Resample.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double pi = 3.141592653589793238462643383279502884;

// Zero crossings of the sinc on either side, in periods of the lower rate.
constexpr int zeroCrossings = 32;
// Table points per zero crossing; between them the kernel is interpolated.
constexpr int resolution = 512;
// The pass band ends this far below the lower rate's Nyquist frequency, where the filter closes.
constexpr double bandwidth = 0.92;
// Kaiser window shape: about 90 dB of stop-band attenuation.
constexpr double beta = 9.0;

// The windowed sinc at 0, 1 / resolution, ... zeroCrossings (in zero crossings).
std::vector<double> kernelTable()
{
    std::vector<double> table ((size_t) (zeroCrossings * resolution + 2), 0.0);
    const double norm = std::cyl_bessel_i (0.0, beta);

    for (int i = 0; i <= zeroCrossings * resolution; ++i)
    {
        const double x = (double) i / resolution;
        const double ratio = x / zeroCrossings;
        const double sinc = i == 0 ? 1.0 : std::sin (pi * x) / (pi * x);
        table[(size_t) i] = sinc * std::cyl_bessel_i (0.0, beta * std::sqrt (1.0 - ratio * ratio)) / norm;
    }

    return table;
}
} // namespace

std::vector<float> resample (const std::vector<float>& samples, double fromRate, double toRate, int numFrames)
{
    static const auto table = kernelTable();

    std::vector<float> output ((size_t) std::max (numFrames, 0), 0.0f);
    const double step = fromRate / toRate;                      // input samples per output sample
    const double cutoff = std::min (1.0, toRate / fromRate) * bandwidth; // of the input's Nyquist frequency
    const double reach = zeroCrossings / cutoff;                // input samples on either side
    const auto inputs = (long) samples.size();

    for (size_t n = 0; n < output.size(); ++n)
    {
        const double centre = (double) n * step;
        const auto first = std::max (0L, (long) std::ceil (centre - reach));
        const auto last = std::min (inputs - 1, (long) std::floor (centre + reach));
        double sum = 0.0;

        for (auto k = first; k <= last; ++k)
        {
            const double position = std::abs (centre - (double) k) * cutoff * resolution;
            const auto index = (size_t) position;

            if (index >= (size_t) zeroCrossings * resolution)
                continue;

            const double fraction = position - (double) index;
            sum += samples[(size_t) k] * (table[index] + fraction * (table[index + 1] - table[index]));
        }

        output[n] = (float) (sum * cutoff);
    }

    return output;
}
