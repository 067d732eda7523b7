#include "Utilities/AudioInterpolator.h"

#include <algorithm>
#include <iterator>

void AudioInterpolator::reset() noexcept
{
    std::fill (std::begin (history), std::end (history), 0.0f);
    position = 1.0;
}

float AudioInterpolator::valueAt (const float* h, float x) noexcept
{
    // Lagrange weights for the nodes +2 .. -2 as products of the distances
    // (x + 2 - i), sharing the partial products.
    const float d0 = x + 2.0f, d1 = x + 1.0f, d2 = x, d3 = x - 1.0f, d4 = x - 2.0f;
    const float d01 = d0 * d1, d34 = d3 * d4, d012 = d01 * d2;

    const float oldest = d1 * d2 * d34 * (1.0f / 24.0f);
    const float older = d0 * d2 * d34 * (-1.0f / 6.0f);
    const float middle = d01 * d34 * 0.25f;
    const float newer = d012 * d4 * (-1.0f / 6.0f);
    const float newest = d012 * d3 * (1.0f / 24.0f);

    return h[4] * oldest + h[3] * older + h[2] * middle + h[1] * newer + h[0] * newest;
}

int AudioInterpolator::process (const float* input, int available, int wrap, float* output, int numOutputs,
                                Ratio& ratio) noexcept
{
    const float* const begin = input;
    bool exhausted = available < 1;
    int taken = 0;

    float h[historyLength];
    std::copy (std::begin (history), std::end (history), h);
    double pos = position;

    for (int i = 0; i < numOutputs; ++i)
    {
        while (pos >= 1.0)
        {
            float sample = 0.0f;

            if (! exhausted)
            {
                sample = *input++;
                ++taken;

                if (available <= 1)
                {
                    if (wrap > 0)
                    {
                        input -= wrap;
                        available += wrap;
                    }
                    else
                    {
                        exhausted = true;
                    }
                }

                --available;
            }

            h[4] = h[3];
            h[3] = h[2];
            h[2] = h[1];
            h[1] = h[0];
            h[0] = sample;
            pos -= 1.0;
        }

        output[i] = valueAt (h, (float) pos);
        pos += ratio.getNextValue();
    }

    std::copy (std::begin (h), std::end (h), history);
    position = pos;

    if (wrap > 0)
        return (int) (((input - begin) + wrap) % wrap);

    return taken;
}
