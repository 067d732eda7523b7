// Hands arbitrary bytes to the host stand-in's WAV reader, which reads any file
// a user names. What it reads writes back as 32-bit float and reads again as
// the very same samples, bit for bit.
#include "WavFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
void check (bool condition)
{
    if (! condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    AudioData audio;
    std::string error;

    if (! parseWav (std::vector<uint8_t> (data, data + size), audio, error))
    {
        check (! error.empty());
        return 0;
    }

    check (audio.numChannels() > 0 && audio.sampleRate >= 1.0);
    for (const auto& channel : audio.channels)
        check ((int) channel.size() == audio.numFrames());

    // No input of a fuzzing run comes near the 4 GiB a WAV file can hold, but
    // its channels may be more than a frame of floats holds.
    const auto encoded = encodeWav (audio, WavSampleFormat::float32, error);
    if (encoded.empty())
    {
        check (audio.numChannels() * 4 > 0xFFFF && ! error.empty());
        return 0;
    }

    AudioData again;
    check (parseWav (encoded, again, error));
    check (again.sampleRate == audio.sampleRate && again.numChannels() == audio.numChannels());

    for (size_t channel = 0; channel < audio.channels.size(); ++channel)
        check (again.channels[channel].size() == audio.channels[channel].size()
               && std::memcmp (again.channels[channel].data(), audio.channels[channel].data(),
                               audio.channels[channel].size() * sizeof (float)) == 0);

    return 0;
}
