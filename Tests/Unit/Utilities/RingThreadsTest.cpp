#include "Utilities/ResamplingCircularAudioBuffer.h"

#include "Support/Waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// One writer thread and one reader thread on one ring, as the audio bridge runs
// them; ThreadSanitizer checks the hand-over of the samples.
TEST (RingThreads, ResamplingRingAtRatioOneHandsOverEverySampleTwoSamplesLate)
{
    constexpr int length = 100000, checked = length - 1000;
    ResamplingCircularAudioBuffer ring (1, 256);
    std::atomic<bool> readerDone { false };

    // A counting stream in blocks of 37 against reads of 53, each side retrying
    // while the ring is full or short.
    std::thread writer ([&] {
        float block[37];
        const float* const source[] = { block };
        for (int sent = 0; sent < length && ! readerDone;)
        {
            for (int i = 0; i < 37; ++i)
                block[i] = (float) (sent + i + 1);
            if (ring.writeBuffer (source, 1, 37, 0, true))
                sent += 37;
            else
                std::this_thread::yield();
        }
    });

    std::vector<float> received (length);
    int got = 0;
    const auto readAll = waitUntil ("the reader to take " + std::to_string (checked) + " samples", [&]
    {
        float* const dest[] = { received.data() + got };
        if (ring.readBuffer (dest, 1, 53, 0, true))
            got += 53;
        return got >= checked;
    }, patience, [] { std::this_thread::yield(); });

    readerDone = true;
    writer.join();
    ASSERT_TRUE (readAll);

    for (int i = 0; i < checked; ++i)
        ASSERT_EQ (received[(size_t) i], (float) std::max (0, i - 1)) << i;
}
